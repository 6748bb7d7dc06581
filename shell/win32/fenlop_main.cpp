// Program entry: start-up order, window classes, the message loop and the
// steps after it.
#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <cstring>

#include "calc/win32/calc_pad.h"
#include "common/writer_lock.h"
#include "library/label_tree.h"
#include "library/phrase_recovery.h"
#include "library/win32/library_views.h"
#include "library/win32/outside_changes.h"
#include "output/win32/clipboard_keeper.h"
#include "common/win32/window_messages.h"
#include "shell/win32/shell_state.h"
#include "shell/win32/menu_bar.h"
#include "shell/win32/phrase_window.h"
#include "shell/win32/settings_store.h"
#include "shell/win32/tray_window.h"
#include "shell/settings_record.h"

const char PRODUCT_NAME[] = "Fenlop";
const char TRAY_CLASS[] = "FLPTray";
const char SPLITTER_CLASS[] = "OrboSprit";
// Held by the running instance for its whole run, one per logon session.
static const char INSTANCE_MUTEX[] = "Local\\Fenlop.Running";

Globals g_globals;

// The phrase file beside the program, its backup and the clip file. Fails
// when the module path or a path derived from it does not fit.
static int BuildProgramPaths()
{
    char module[MAX_PATH + 1];
    DWORD n = GetModuleFileNameA(nullptr, module, sizeof module);
    if (n == 0 || n >= MAX_PATH)
        return -1;
    char phrase[PATH_BUFFER_SIZE];
    if (PhrasePathFromModule(module, phrase, sizeof phrase) != 0)
        return -1;
    return SetViewedLibrary(phrase);
}

// The single-instance test. The tray window appears only after the whole
// library has been read, so two starts close together would both miss it;
// the mutex is there from the first instruction on.
static bool AnotherInstanceRuns()
{
    // The handle is never closed: the system lets go of it when we end.
    HANDLE running = CreateMutexA(nullptr, FALSE, INSTANCE_MUTEX);
    if (running)
        return GetLastError() == ERROR_ALREADY_EXISTS;
    return FindWindowA(TRAY_CLASS, nullptr) != nullptr;
}

static void RegisterWindowClasses(HINSTANCE instance)
{
    WNDCLASSA wc = {};
    wc.lpfnWndProc = TrayWindowProc;
    wc.hInstance = instance;
    wc.lpszClassName = TRAY_CLASS;
    RegisterClassA(&wc);

    wc = WNDCLASSA{};
    wc.lpfnWndProc = PhraseWindowProc;
    wc.hInstance = instance;
    wc.hIcon = LoadIconA(instance, "ICON_APP");
    wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
    wc.lpszMenuName = "MENU_APP";
    wc.lpszClassName = PRODUCT_NAME;
    RegisterClassA(&wc);

    wc = WNDCLASSA{};
    wc.lpfnWndProc = SplitterProc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorA(instance, "CUR_SEP");
    wc.hbrBackground = (HBRUSH)(COLOR_BTNFACE + 1);
    wc.lpszClassName = SPLITTER_CLASS;
    RegisterClassA(&wc);
}

// Edits an earlier session could not store wait in recovery files beside
// the library: each becomes a new top-level label before the tree is read.
// What happened goes into message (STATUS_BUFFER_SIZE bytes, empty: none),
// for the status bar. A file the library cannot take stays for the next
// start.
static const char RECOVERY_KEPT[] = "前回保存できなかったフレーズをライブラリに入れられません（%s に残しています）";
static const char RECOVERY_ADDED[] = "前回保存できなかったフレーズをラベル「%s」に入れました";
static const char RECOVERIES_ADDED[] = "前回保存できなかったフレーズをラベル「%s」ほか %d 個に入れました";

static void MergeRecoveryFiles(char* message)
{
    message[0] = '\0';
    int merged = 0;
    char name[NAME_BUFFER_SIZE] = "";
    char kept[PATH_BUFFER_SIZE] = "";
    // The writers' lock is waited for once, in full: no window shows yet.
    bool held = false;
    for (int n = 1; n <= RECOVERY_FILE_COUNT; n++) {
        char path[PATH_BUFFER_SIZE];
        if (RecoveryFilePath(ViewedFiles(), n, path) != 0 || !FileExists(path))
            continue;
        if (!held && !kept[0])
            held = TakeWriterLock(ViewedFiles()->phrase, WRITER_LOCK_WAIT_MS) == 0;
        char added[NAME_BUFFER_SIZE];
        if (held && MergeRecoveryFile(ViewedFiles(), path, added) == 0) {
            merged++;
            memcpy(name, added, strlen(added) + 1);
        } else if (!kept[0]) {
            const char* file = path + FolderLength(path);
            memcpy(kept, file, strlen(file) + 1);
        }
    }
    if (held)
        ReleaseWriterLock(ViewedFiles()->phrase);
    if (kept[0])
        snprintf(message, STATUS_BUFFER_SIZE, RECOVERY_KEPT, kept);
    else if (merged == 1)
        snprintf(message, STATUS_BUFFER_SIZE, RECOVERY_ADDED, name);
    else if (merged > 1)
        snprintf(message, STATUS_BUFFER_SIZE, RECOVERIES_ADDED, name, merged - 1);
}

// The accelerators belong to the phrase window as the user sees it: a key
// typed into the pad, a menu or another window of the thread while the
// phrase window is hidden must not move or store phrases nobody can see.
static bool ForPhraseWindow(const MSG& msg)
{
    HWND window = g_globals.app.phraseWindow;
    return IsWindowVisible(window) && (msg.hwnd == window || IsChild(window, msg.hwnd));
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
    if (AnotherInstanceRuns())
        return 0;
    InitCommonControls();
    g_globals.app.instance = instance;
    // The phrase window's children join the host as they are made.
    g_globals.host = {instance, nullptr, nullptr, nullptr, &g_globals.settings, &g_globals.options, &g_globals.session,
                      {SavePhrasesOfSelectedLabel, SaveSettings, HidePhraseWindow, ProgramSendTarget}};
    SetPhraseWindowHost(&g_globals.host);
    // Refused before anything is read or written.
    if (BuildProgramPaths() != 0)
        return 1;

    RegisterWindowClasses(instance);
    LoadSettings();
    char recovered[STATUS_BUFFER_SIZE];
    MergeRecoveryFiles(recovered);

    g_globals.app.phraseWindow = CreatePhraseWindow(instance);
    if (!g_globals.app.phraseWindow)
        return 1;
    g_globals.app.trayWindow = CreateWindowExA(0, TRAY_CLASS, TRAY_CLASS, WS_POPUPWINDOW, 0, 0, 1, 1,
                                       g_globals.app.phraseWindow, nullptr, instance, nullptr);
    if (g_globals.app.trayWindow)
        SetTrayIcon(g_globals.app.trayWindow, 1);
    SetupMenuBar();
    if (recovered[0])
        SetStatusText("%s", recovered);

    SetHold(g_globals.app.phraseWindow, g_globals.settings.hold);
    // The window is complete (menu bar, status); no call-up can come before
    // the hot keys, so none waits for this.
    PrepareFirstShow();
    RegisterCallHotKey(g_globals.app.trayWindow, HOTKEY_ID_PHRASE, g_globals.settings.phraseHotKey);
    RegisterCallHotKey(g_globals.app.trayWindow, HOTKEY_ID_CALC, g_globals.settings.calcHotKey);
    HACCEL accelerators = LoadAcceleratorsA(instance, "FLP_ACC");
    // Made ahead, hidden: the calculator hot key only shows it.
    MakeCalculatorPad(instance, g_globals.app.trayWindow);

    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        if (accelerators && ForPhraseWindow(msg) && TranslateAcceleratorA(g_globals.app.phraseWindow, accelerators, &msg))
            continue;
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }

    ReleaseMenuBar();
    ReleaseClipboardKeeper();
    SetTrayIcon(g_globals.app.trayWindow, 0);
    SaveSettings();
    RemoveOwnClipFile();
    return (int)msg.wParam;
}
