// Program entry: start-up order, window classes, the message loop and the
// steps after it.
#include <windows.h>
#include <commctrl.h>

#include "library/win32/phrase_views.h"
#include "output/win32/clipboard_keeper.h"
#include "shell/win32/app.h"
#include "shell/settings_record.h"

const char PRODUCT_NAME[] = "Fenlop";
const char TRAY_CLASS[] = "FLPTray";
const char SPLITTER_CLASS[] = "OrboSprit";
// Held by the running instance for its whole run, one per logon session.
static const char INSTANCE_MUTEX[] = "Local\\Fenlop.Running";

AppWindows g_app;
Session g_session;
Options g_options;

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
    return SetLibraryFiles(&g_views.files, phrase);
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

// The accelerators belong to the phrase window as the user sees it: a key
// typed into the pad, a menu or another window of the thread while the
// phrase window is hidden must not move or store phrases nobody can see.
static bool ForPhraseWindow(const MSG& msg)
{
    HWND window = g_app.phraseWindow;
    return IsWindowVisible(window) && (msg.hwnd == window || IsChild(window, msg.hwnd));
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
    if (AnotherInstanceRuns())
        return 0;
    InitCommonControls();
    g_app.instance = instance;
    // Refused before anything is read or written.
    if (BuildProgramPaths() != 0)
        return 1;
    // Only now: the running instance's clip file would hold a label cut there.
    DeleteFileA(g_views.files.clip);

    RegisterWindowClasses(instance);
    LoadSettings();

    g_app.phraseWindow = CreateWindowExA(WS_EX_TOPMOST, PRODUCT_NAME, PRODUCT_NAME, WS_OVERLAPPEDWINDOW,
                                         g_settings.windowLeft, g_settings.windowTop,
                                         g_settings.windowWidth, g_settings.windowHeight,
                                         nullptr, nullptr, instance, nullptr);
    if (!g_app.phraseWindow)
        return 1;
    g_app.trayWindow = CreateWindowExA(0, TRAY_CLASS, TRAY_CLASS, WS_POPUPWINDOW, 0, 0, 1, 1,
                                       g_app.phraseWindow, nullptr, instance, nullptr);
    if (g_app.trayWindow)
        SetTrayIcon(g_app.trayWindow, 1);
    SetupMenuBar();

    SetHold(g_app.phraseWindow, g_settings.hold);
    RegisterCallHotKey(g_app.trayWindow, HOTKEY_ID_PHRASE, g_settings.phraseHotKey);
    RegisterCallHotKey(g_app.trayWindow, HOTKEY_ID_CALC, g_settings.calcHotKey);
    HACCEL accelerators = LoadAcceleratorsA(instance, "FLP_ACC");

    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        if (accelerators && ForPhraseWindow(msg) && TranslateAcceleratorA(g_app.phraseWindow, accelerators, &msg))
            continue;
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }

    ReleaseMenuBar();
    ReleaseClipboardKeeper();
    SetTrayIcon(g_app.trayWindow, 0);
    SaveSettings();
    DeleteFileA(g_views.files.clip);
    return (int)msg.wParam;
}
