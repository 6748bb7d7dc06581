// What the kept clipboard decides, apart from the clipboard itself: which
// read of the offered text is the paste, and which of the user's formats
// are kept. The Win32 keeper gathers the facts and acts on the answers.
#pragma once

#include <cstddef>

// Offers of one text, the first included: a monitor that reads every offer
// must not keep the clipboard busy for ever.
const int KEEP_OFFER_LIMIT = 8;

// A format of the user's content larger than this (bytes) is not kept: its
// copy and its way back would hold the send up.
const size_t KEEP_FORMAT_LIMIT = 4 * 1024 * 1024;

// The previous owner may render each format only when it is taken. Once the
// take has run this long (milliseconds), no further format is asked for.
const unsigned long KEEP_TAKE_BUDGET_MS = 250;

// One read of the offered text, as the system tells it.
struct ReadFacts {
    bool readerIsTarget;   // the reader opened the clipboard with a window of the target's process
    bool readerHasWindow;  // it opened the clipboard with a window at all
    bool keysSent;         // the paste keys have gone out
    bool waitOver;         // the wait for the paste ended with none seen
    int offers;            // offers of this text so far
};

enum ReadVerdict {
    READ_IS_PASTE,        // the content goes back once the reader is done
    READ_OFFER_AGAIN,     // another reader: offer the text again to see the paste
    READ_LEAVE_RENDERED,  // offered too often: the text stays rendered
};

struct ReadJudgement {
    ReadVerdict verdict;
    // A reader without a window after the keys, during the wait: it may be
    // the target; it is taken for it once nobody else has read for a while.
    bool maybeTarget;
};

// Before the keys, the target's own reads (an editor that follows the
// clipboard when activated) are no paste. After the wait, only the
// target's process counts (the paste by hand there).
ReadJudgement JudgeRead(const ReadFacts& facts);

// Whether a format is asked for at all, elapsedMs into the take. The text
// formats come first and are asked for together.
bool TakesFormat(unsigned long elapsedMs);

// Whether a format taken with this size is kept (a zero-size block cannot
// always be read back).
bool KeepsTakenSize(size_t size);
