// The phrase package (phrase_package.cpp).
#pragma once

#include <cstddef>

#include "library/phrase_io.h"

// The phrase package, the clipboard form of several phrases: 08h, each text
// with its NUL, and an extra NUL.
const char PHRASE_PACKAGE_MARK = 0x08;

// Writes the package of texts into block (when block is not null and
// blockSize suffices). Returns the package's size in bytes.
size_t EncodePhrasePackage(const char* const* texts, const size_t* lengths, int count,
                           char* block, size_t blockSize);

// Hands the phrases of a clipboard text of blockSize bytes to sink: the
// strings of a package, or the whole text as one phrase. Never reads past
// the block. Each phrase is cut to 65,535 bytes on a character boundary.
// Returns the number of phrases, or -1 when sink stopped.
int DecodePhrasePackage(const char* block, size_t blockSize, const PhraseSink* sink);
