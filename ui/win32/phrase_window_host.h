// The phrase window as the windows of the interaction see it. The shell owns
// the phrase window, the user's settings and what the tool remembers between
// a call-up and its send; it fills in one host record when it starts and
// hands it down here. This layer reads and acts on the shell through that
// record only: its handles, the state it points to and its calls.
#pragma once

#include <windows.h>

#include <vector>

#include "output/paste_methods.h"
#include "output/win32/text_output.h"
#include "shell/settings_record.h"

// What the tool remembers between a call-up and its send.
struct Session {
    HWND targetWindow;  // focus window when the tool was called up; null: none yet
    int autoHideArmed;  // 1: losing activation hides the phrase window; every
                        // action that moves the activation away clears it first
};

// Options kept in the registry beside the settings record, each a value of
// its own, so that the record keeps its layout.
struct Options {
    int restoreClipboard;  // 1: the clipboard's content comes back after a send
    int fillPhrases;       // 1: placeholders in a phrase are filled in at a send
    std::vector<PasteRule> pasteRules;  // the paste method of a kind of window
};

// What the shell does when this layer asks.
struct ShellCalls {
    int (*savePhrasesOfSelectedLabel)();  // 0, or -1 when the file did not take it
    int (*saveSettings)();
    void (*hidePhraseWindow)();
    SendTarget (*sendTarget)();           // where a send goes, as the settings say
};

struct PhraseWindowHost {
    HINSTANCE instance;         // the program's: resources and dialogs
    HWND labelTree;             // the phrase window's children, set once they
    HWND phraseList;            // exist and not changed after
    HWND filterBox;
    SettingsRecord* settings;   // the find dialog's words and modes, the hold
    const Options* options;
    Session* session;
    ShellCalls calls;
};

// The shell hands its record down before the phrase window is made; the
// layer keeps the pointer, not a copy, so later handles and settings show.
void SetPhraseWindowHost(PhraseWindowHost* host);
const PhraseWindowHost& Host();

// Modal boxes owned by the tool: the auto-hide is cleared first, as the box
// takes the activation.
INT_PTR ShowModalDialog(const char* name, HWND owner, DLGPROC proc, LPARAM param);
int ShowMessageBox(HWND owner, const char* text, UINT type);
