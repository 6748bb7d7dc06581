// A library as JSON (UTF-8): export and import.
//
// The document is the root label: {"name": ..., "phrases": [...], "labels":
// [...]}, each label {"name": ..., "phrases": [...], "labels": [...]} with
// its phrases and child labels in file order. An export of one label is a
// document holding only "labels": [that label].
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "library/phrase_walker.h"

// Writes the JSON of the library at phrasePath, or of the label at path
// (null or count 0: the whole library), to write in pieces; nothing is
// written before the whole file has been read. Returns false with *error
// set when the file cannot be read or holds text that JSON cannot give
// back exactly, or with *error empty when write failed.
bool ExportJson(const char* phrasePath, const LabelPath* path,
                bool (*write)(void* context, const char* bytes, size_t n), void* context,
                std::string* error);
// The same into *json.
bool ExportJson(const char* phrasePath, const LabelPath* path, std::string* json,
                std::string* error);

// A label taken from JSON, its texts in code page 932.
struct ImportedLabel {
    std::string name;
    std::vector<std::string> phrases;
    std::vector<ImportedLabel> labels;
};

// The document: the root label (hasName: the document named it).
struct ImportedLibrary {
    ImportedLabel root;
    bool hasName;
};

// Parses and checks a document. Returns false with *error saying where
// (line and column, or the label's path) and what is wrong.
bool ParseJson(const std::string& json, ImportedLibrary* library, std::string* error);

// The file form of a label at level 0 named name, holding labels and then
// phrases, as the program's rewrites write it.
std::string LabelText(const std::string& name, const std::vector<ImportedLabel>& labels,
                      const std::vector<std::string>& phrases);

// A whole library file: the root label with its labels, then its phrases.
std::string LibraryText(const ImportedLibrary& library);

// LibraryText of the document of n bytes at json, written to file as the
// document is read, holding little of it: for the documents flp export
// writes and the like. Returns false when it gives up (on an error, a
// label's name after its labels, anything unusual: ParseJson then reads
// the document whole and says what is wrong, if anything) or the file
// cannot be written. done (may be null) is told now and then that the
// bytes before upTo have been read.
bool StreamLibraryText(const char* json, size_t n, FILE* file,
                       void (*done)(void* context, size_t upTo) = nullptr, void* context = nullptr);
