// The invisible tray window: the controller that receives the hot keys, the
// icon's mouse messages and the messages of other processes.
#include "shell/win32/tray_window.h"
#include "common/win32/window_messages.h"
#include "shell/win32/shell_state.h"

#include <windows.h>
#include "calc/win32/calc_pad.h"
#include "common/win32/key_state.h"
#include "library/win32/phrase_views.h"
#include "output/win32/clipboard_keeper.h"
#include "output/win32/text_output.h"
#include "resources/resource.h"
#include "shell/win32/phrase_window.h"
#include "shell/win32/settings_dialog.h"
#include "ui/win32/context_menu.h"
#include "ui/win32/fill_input.h"
#include "ui/win32/notifications.h"
#include "ui/win32/phrase_editor.h"

#include <shellapi.h>
#include "shell/settings_record.h"

static const UINT BALLOON_TIMEOUT_MS = 10000;  // systems since Vista take their own

void SetTrayIcon(HWND window, int add)
{
    if (!window)
        return;
    NOTIFYICONDATAA data = {};
    data.cbSize = NOTIFYICONDATAA_V1_SIZE;
    data.hWnd = window;
    data.uID = TRAY_ICON_ID;
    data.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    data.uCallbackMessage = MSG_TRAY_NOTIFY;
    data.hIcon = (HICON)LoadImageA(g_globals.app.instance, "ICON_APP", IMAGE_ICON, GetSystemMetrics(SM_CXSMICON),
                                   GetSystemMetrics(SM_CYSMICON), 0);
    lstrcpynA(data.szTip, PRODUCT_NAME, sizeof data.szTip);
    Shell_NotifyIconA(add ? NIM_ADD : NIM_DELETE, &data);
    if (data.hIcon)
        DestroyIcon(data.hIcon);
}

// What the icon says of a send; a warning when nothing arrived.
struct SendWord {
    int why;  // a PasteWithheld
    DWORD icon;
    const char* text;
};
static const SendWord SEND_WORDS[] = {
    {WITHHELD_NOT_PLACED, NIIF_WARNING, "定型文をクリップボードに置けなかったため、貼り付けませんでした。"},
    {WITHHELD_REPLACED, NIIF_WARNING,
     "定型文を貼り付ける前にクリップボードが書き換えられたため、貼り付けませんでした。"},
    {WITHHELD_TARGET_CLOSED, NIIF_WARNING,
     "貼り付け先のウィンドウが閉じられたため、貼り付けませんでした。文字列はクリップボードにあります。"
     "Ctrl+V で貼り付けてください。"},
    {WITHHELD_TARGET_ELEVATED, NIIF_WARNING,
     "貼り付け先のウィンドウは管理者として実行されているため、キーを送れませんでした。文字列はクリップボードに"
     "あります。Ctrl+V で貼り付けてください。"},
    {TOLD_TYPED_TOO_LONG, NIIF_INFO, "4000文字を超えるため、1文字ずつの入力ではなく Ctrl+V で貼り付けました。"},
    {TOLD_TYPING_STOPPED, NIIF_WARNING,
     "入力中にフォーカスが貼り付け先のウィンドウから移ったため、入力を途中でやめました。"},
};

// The phrase window is hidden by the time a send is told of: the icon says
// what became of it. A balloon needs the larger record; the icon itself was
// added with the first one.
void TellPasteWithheld(int why)
{
    HWND window = g_globals.app.trayWindow;
    if (!window)
        return;
    const SendWord* word = &SEND_WORDS[0];
    for (const SendWord& w : SEND_WORDS)
        if (w.why == why)
            word = &w;
    NOTIFYICONDATAA data = {};
    data.cbSize = NOTIFYICONDATAA_V2_SIZE;
    data.hWnd = window;
    data.uID = TRAY_ICON_ID;
    data.uFlags = NIF_INFO;
    data.dwInfoFlags = word->icon;
    data.uTimeout = BALLOON_TIMEOUT_MS;
    lstrcpynA(data.szInfoTitle, PRODUCT_NAME, sizeof data.szInfoTitle);
    lstrcpynA(data.szInfo, word->text, sizeof data.szInfo);
    Shell_NotifyIconA(NIM_MODIFY, &data);
}

void CaptureTargetWindow()
{
    DWORD own = GetCurrentThreadId();
    DWORD foreground = GetWindowThreadProcessId(GetForegroundWindow(), nullptr);
    if (foreground == 0 || foreground == own)
        return;
    if (!AttachThreadInput(foreground, own, TRUE))
        return;
    g_globals.session.targetWindow = GetFocus();
    AttachThreadInput(foreground, own, FALSE);
}

static void SyncModifierKeys();

void TogglePhraseWindow()
{
    bool padClosed = false;
    if (g_globals.app.calcPad) {
        CloseCalculatorPad();
        g_globals.app.calcPad = nullptr;
        padClosed = true;
    }
    if (IsWindowVisible(g_globals.app.phraseWindow)) {
        ShowWindow(g_globals.app.phraseWindow, SW_HIDE);
        return;
    }
    if (!padClosed) {
        // Shown as the file is now: another program may have changed it
        // while the window was hidden.
        CheckLibraryFile(g_globals.app.labelTree, g_globals.app.phraseList);
        ShowPhraseWindow();
        g_globals.session.autoHideArmed = 0;
    }
}

static void AdjustTrayMenu(HMENU popup)
{
    // The settings dialog opens only while the tool is idle.
    if (g_globals.app.calcPad || IsWindowVisible(g_globals.app.phraseWindow)) {
        EnableMenuItem(popup, 0, MF_BYPOSITION | MF_GRAYED);
        EnableMenuItem(popup, 1, MF_BYPOSITION | MF_GRAYED);
    }
}

// Where the program's sends go, as its settings say: the window of the
// last call-up.
SendTarget ProgramSendTarget()
{
    return SendTarget{g_globals.session.targetWindow, g_globals.options.restoreClipboard,
                      &g_globals.session.autoHideArmed, TellPasteWithheld, &g_globals.options.pasteRules};
}

// The pad's Ent.
static void TypePadValues(HWND pad, const char* values)
{
    SendText(pad, values, ProgramSendTarget(), g_globals.settings.calcEnterNewline);
}

static void ForgetPad()
{
    g_globals.app.calcPad = nullptr;
}

void ToggleCalculatorPad()
{
    bool wasVisible = false;
    if (IsWindowVisible(g_globals.app.phraseWindow)) {
        ShowWindow(g_globals.app.phraseWindow, SW_HIDE);
        wasVisible = true;
    }
    if (g_globals.app.calcPad) {
        CloseCalculatorPad();
        g_globals.app.calcPad = nullptr;
        return;
    }
    if (!wasVisible) {
        CalcPadHost host = {g_globals.app.instance, g_globals.app.phraseWindow, TypePadValues, ForgetPad};
        g_globals.app.calcPad = OpenCalculatorPad(g_globals.app.trayWindow, host);
        g_globals.session.autoHideArmed = 0;
        SyncModifierKeys();
    }
}

// The list belongs to the selected label; with none selected there is no
// label to store it under (the root label's phrases must not be replaced).
int SavePhrasesOfSelectedLabel()
{
    if (g_views.selectedPath && IsWindow(g_globals.app.phraseList))
        return StorePhraseListNow(g_globals.app.phraseList);
    return 0;
}

// Before fenlop ends: another program (a scanner, a sync tool, an flp
// script under the writers' lock) may hold the phrase file a moment, so a
// store it refuses is tried again for about three seconds in all, each try
// with the views' short wait for the lock. Edits it still cannot take then
// go into a recovery file beside it, which the next start adds to the
// library.
static const DWORD LEAVING_STORE_WAIT_MS = 3000;
static const DWORD LEAVING_STORE_PAUSE_MS = 300;

int StorePhrasesBeforeLeaving()
{
    DWORD start = GetTickCount();
    for (;;) {
        if (SavePhrasesOfSelectedLabel() == 0)
            return 0;
        if (GetTickCount() - start + LEAVING_STORE_PAUSE_MS > LEAVING_STORE_WAIT_MS)
            break;
        Sleep(LEAVING_STORE_PAUSE_MS);
    }
    char kept[PATH_BUFFER_SIZE];
    return IsWindow(g_globals.app.phraseList) ? KeepListInRecoveryFile(g_globals.app.phraseList, kept) : -1;
}

static void OnTrayNotify(HWND hwnd, UINT mouseMessage)
{
    switch (mouseMessage) {
    case WM_MOUSEMOVE:
        if (!IsWindowVisible(g_globals.app.phraseWindow) && !g_globals.app.calcPad && !KeyDown(VK_LBUTTON) &&
            !KeyDown(VK_RBUTTON))
            CaptureTargetWindow();
        break;
    case WM_LBUTTONUP:
        ReturnKeptContent();
        if (KeyDown(VK_SHIFT))
            ToggleCalculatorPad();
        else
            TogglePhraseWindow();
        break;
    case WM_RBUTTONUP:
        switch (ShowContextMenu(hwnd, "POPUP_TRY", AdjustTrayMenu)) {
        case IDM_PHRASE_WINDOW: TogglePhraseWindow(); break;
        case IDM_EXIT: ExitProgram(); break;
        case IDM_CALCULATOR: ToggleCalculatorPad(); break;
        case IDM_SETTINGS: ShowSettingsDialog(hwnd); break;
        }
        break;
    }
}

static void OnCallUp(WPARAM which, HWND target)
{
    // From any process: only a real window becomes the target.
    if ((which != HOTKEY_ID_PHRASE && which != HOTKEY_ID_CALC) || !IsWindow(target))
        return;
    g_globals.session.targetWindow = target;
    ReturnKeptContent();
    if (which == HOTKEY_ID_PHRASE)
        TogglePhraseWindow();
    else
        ToggleCalculatorPad();
}

// The attach in CaptureTargetWindow leaves this thread with the target's key
// state of that moment: the hot key's Ctrl and Alt down. Their releases may
// since have gone to the target, and the list would then take the user's
// next arrow key as Ctrl+arrow (moving the focus but not the selection, so
// Enter would send another phrase than the one shown). Take the keyboard's
// real state of the modifiers.
static void SyncModifierKeys()
{
    BYTE state[256];
    if (!GetKeyboardState(state))
        return;
    const int keys[] = {VK_SHIFT,    VK_CONTROL,  VK_MENU,  VK_LSHIFT, VK_RSHIFT,
                        VK_LCONTROL, VK_RCONTROL, VK_LMENU, VK_RMENU};
    for (int key : keys) {
        if (GetAsyncKeyState(key) & 0x8000)
            state[key] |= 0x80;
        else
            state[key] &= (BYTE)~0x80;
    }
    SetKeyboardState(state);
}

static void OnFocusList()
{
    // After a toggle that hid the window, focusing it would send the user's
    // keys into a hidden window.
    if (!IsWindowVisible(g_globals.app.phraseWindow))
        return;
    SetForegroundWindow(g_globals.app.phraseWindow);
    SetFocus(g_globals.app.phraseList);
    SyncModifierKeys();
}

// Sent to every top-level window when the shell (re)starts its taskbar.
static UINT s_taskbarCreated;

// What calls up a window of the tool: a hot key, a click on the icon, a
// call from another process. While the settings dialog is open the tool
// stays idle (the dialog holds hot keys not yet confirmed): the dialog comes
// to the front instead. So does the phrase editor, whose text would be lost
// with the phrase window (the icon's menu would end the program).
static bool CallsUpWindow(UINT msg, LPARAM lParam)
{
    return msg == WM_HOTKEY || msg == MSG_CALL_UP ||
           (msg == MSG_TRAY_NOTIFY && (lParam == WM_LBUTTONUP || lParam == WM_RBUTTONUP));
}

static void OnCreate()
{
    s_taskbarCreated = RegisterWindowMessageA("TaskbarCreated");
}

static void OnHotKey(HWND hwnd, WPARAM which)
{
    ReturnKeptContent();
    if (which == HOTKEY_ID_PHRASE) {
        CaptureTargetWindow();
        TogglePhraseWindow();
        PostMessageA(hwnd, MSG_FOCUS_LIST, 0, 0);
    } else if (which == HOTKEY_ID_CALC) {
        CaptureTargetWindow();
        ToggleCalculatorPad();
    }
}

static void OnPasteClipboard()
{
    SendPasteToTarget(ProgramSendTarget(), g_globals.settings.calcEnterNewline);
}

static void OnDestroy()
{
    // The last store. Ended without the exit's wait (a WM_CLOSE from
    // another process), the edits it cannot take still wait for the next
    // start. The exit cannot be chosen while the editor is open, so an open
    // editor means another process ends us: its text goes with the list.
    CommitOpenEditor();
    char kept[PATH_BUFFER_SIZE];
    if (SavePhrasesOfSelectedLabel() != 0 && IsWindow(g_globals.app.phraseList))
        KeepListInRecoveryFile(g_globals.app.phraseList, kept);
    PostQuitMessage(0);
}

// Whether or not the session really ends, the list is stored. Only a real
// end takes the open editor's text, which the user may still be writing:
// once this returns the process may be ended at any moment.
static void OnEndSession(BOOL ending)
{
    if (ending)
        CommitOpenEditor();
    StorePhrasesBeforeLeaving();
}

LRESULT CALLBACK TrayWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    HWND dialog = g_globals.app.settingsDialog ? g_globals.app.settingsDialog
                  : OpenInputDialog()          ? OpenInputDialog()
                                               : OpenPhraseEditor();
    if (dialog && CallsUpWindow(msg, lParam)) {
        SetForegroundWindow(dialog);
        return 0;
    }
    switch (msg) {
    case WM_CREATE: OnCreate(); return 0;
    case WM_HOTKEY: OnHotKey(hwnd, wParam); return 0;
    case MSG_TRAY_NOTIFY: OnTrayNotify(hwnd, (UINT)lParam); return 0;
    case MSG_PASTE_CLIPBOARD: OnPasteClipboard(); return 0;
    case MSG_CALL_UP: OnCallUp(wParam, (HWND)lParam); return 0;
    case MSG_FOCUS_LIST: OnFocusList(); return 0;
    case WM_DESTROY: OnDestroy(); return 0;
    case WM_ENDSESSION: OnEndSession((BOOL)wParam); return 0;
    }
    // The shell restarted: its notification area no longer has the icon.
    if (msg == s_taskbarCreated && msg != 0) {
        SetTrayIcon(hwnd, 1);
        return 0;
    }
    return DefWindowProcA(hwnd, msg, wParam, lParam);
}
