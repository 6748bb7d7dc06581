// Drives the real fenlop.exe from outside, as a user would: processes,
// windows, keys through the system's input, the mouse through the X server
// (xdotool), and cross-process reads of the phrase list. Every wait is
// bounded; every process started is ended by its handle.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <string>
#include <vector>

#include "tests/e2e/target_editor.h"
#include "tests/win32/screen_pixels.h"

const DWORD WAIT_MS = 10000;

// fenlop.exe's private messages that other processes send, and its tray
// icon's id in the notifications.
const UINT MSG_TRAY_NOTIFY = 2082;
const UINT MSG_PASTE_CLIPBOARD = 2085;
const UINT MSG_CALL_UP = 2095;
const UINT TRAY_ICON = 107;

struct Process {
    HANDLE handle = nullptr;
    DWORD id = 0;
    DWORD error = 0;  // GetLastError of a start that failed
};

// Starts a Windows program, its standard input read from the file at
// inputPath when one is given. (Not a Unix one: Wine gives it no handles,
// and the record it leaves must not be closed; use RunUnix.)
Process StartProcess(const std::string& commandLine, const std::string& folder = "",
                     const std::string& inputPath = "");
// Waits for the exit; returns the exit code, or -1 after the timeout.
long WaitForExit(Process* process, DWORD ms = WAIT_MS);
// Ends the process when it still runs, and closes its handle.
void EndProcess(Process* process);
// Runs a Unix command to its end (bounded); returns its exit code.
long RunUnix(const std::string& commandLine, DWORD ms = WAIT_MS);

// Polls every period ms until the condition holds; false after ms.
template <class F> bool WaitUntil(F condition, DWORD ms = WAIT_MS, DWORD period = 10)
{
    DWORD start = GetTickCount();
    for (;;) {
        if (condition())
            return true;
        if (GetTickCount() - start > ms)
            return false;
        Sleep(period);
    }
}

// A top-level window of the class (and title, when given) owned by process.
HWND FindProcessWindow(const Process& process, const char* className, const char* title = nullptr);
// The same once it is shown (nullptr if not within ms). A dialog is found
// from its creation, with its caption but before its init has filled it.
HWND ShownProcessWindow(const Process& process, const char* className, const char* title, DWORD ms = WAIT_MS);
std::string WindowText(HWND window);
// The focus window of the thread that owns window.
HWND FocusOf(HWND window);

// Returns once the X server has handed its keyboard focus to window (a
// top-level window of any process) and the window's thread has handled it,
// or after a bound. Wine's X driver takes the X server's key map as the
// truth for the modifiers when the X focus comes to a window, 15-120 ms
// after the window is in front: Ctrl or Alt pressed with keybd_event before
// then (the X server never sees them) would be let go, and a chord's letter
// arrive alone.
void SettleXFocus(HWND window);
// Waits (up to 2 s) until the X server has the window where Wine has put
// it: a click right after a move may otherwise land where it was.
void SettleXPlace(HWND window);

// Keys through the system's input stream (the foreground thread gets them).
void PressKey(BYTE key);
void PressChord(const std::vector<BYTE>& modifiers, BYTE key);

// The mouse through the X server; screen and X root coordinates agree with
// the Wine desktop at (0, 0).
void MouseMove(int x, int y);
void MouseButton(int button, bool down);
void XKey(const char* key, bool down);

// The phrase list of another process.
struct RemoteList {
    HWND list;
    HANDLE process;
};
int ItemCount(HWND list);
std::vector<std::string> ListTexts(const RemoteList& list);
int FirstSelected(HWND list);
RECT ItemRect(const RemoteList& list, int index);  // screen coordinates
// The text rectangle of the tree item with this name path (top level first),
// in screen coordinates; empty rectangle when not found.
RECT TreeItemRect(HWND tree, HANDLE process, const std::vector<std::string>& names);

// Tree items of another process, found without expanding anything.
std::string TreeItemText(HWND tree, HANDLE process, HTREEITEM item);
HTREEITEM FindTreeItem(HWND tree, HANDLE process, const std::vector<std::string>& names);
// The names from the top level down to the selected item; empty: none.
std::vector<std::string> SelectedTreeNames(HWND tree, HANDLE process);
// The names of parent's children (null: the top level).
std::vector<std::string> TreeChildNames(HWND tree, HANDLE process, HTREEITEM parent);

// The grey cue text of another process's edit control, in the ANSI code
// page; "" when it has none.
std::string CueBanner(HWND edit, HANDLE process);
// The text a tooltip of another process shows for a window registered as
// its own tool (TTF_IDISHWND); "" when no tooltip of the process has one.
std::string ToolTipText(HWND tool, HANDLE process);

// The text of the balloon another process's notification icon shows; ""
// while none is shown.
std::string BalloonText();

// Bytes of a file; empty when it cannot be read.
std::string ReadFileBytes(const std::string& path);
bool WriteFileBytes(const std::string& path, const std::string& bytes);

// Saves a screenshot of the X screen as PNG at a Unix path.
void Screenshot(const std::string& unixPath);

// A registry value set for the programs started from now on, and put back
// as it was (or removed) at the end of the scope.
class RegistryValue {
public:
    RegistryValue(HKEY root, const char* keyPath, const char* name, DWORD value);
    RegistryValue(HKEY root, const char* keyPath, const char* name, const char* value);
    ~RegistryValue();
    bool set() const { return set_; }

private:
    void Set(DWORD type, const void* data, DWORD size);
    HKEY root_;
    const char* keyPath_;
    const char* name_;
    std::vector<BYTE> old_;
    DWORD oldType_ = 0;
    bool had_ = false;
    bool set_ = false;
};
