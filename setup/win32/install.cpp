// Install mode: the folder dialog, the progress dialog's steps, then the
// [Exec] programs and the final message.
#include "setup/win32/setup.h"

#include <string>

// Runs one program and waits for its end, keeping the screen painted.
static void RunAndWait(const std::string& commandLine)
{
    std::string line = commandLine;
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_SHOWNORMAL;
    PROCESS_INFORMATION info = {};
    if (!CreateProcessA(nullptr, &line[0], nullptr, nullptr, TRUE, CREATE_DEFAULT_ERROR_MODE, nullptr, nullptr,
                        &startup, &info))
        return;
    HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION | SYNCHRONIZE, FALSE, info.dwProcessId);
    CloseHandle(info.hThread);
    CloseHandle(info.hProcess);
    if (!process)
        return;
    DWORD code = STILL_ACTIVE;
    for (;;) {
        if (!GetExitCodeProcess(process, &code) || code != STILL_ACTIVE)
            break;
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE | PM_NOYIELD)) {
            if (msg.message == WM_PAINT)
                SendMessageA(msg.hwnd, WM_PAINT, msg.wParam, msg.lParam);
        }
        // Sleeps until the program ends or a message comes, instead of spinning.
        MsgWaitForMultipleObjects(1, &process, FALSE, 100, QS_ALLINPUT);
    }
    CloseHandle(process);
}

static void RunExecEntries()
{
    for (const std::string& entry : g_settings.execEntries) {
        // Quoted, so that D:\My Apps\x.exe is never taken for D:\My.exe.
        char command[2 * SETUP_PATH_SIZE];
        if (ExecCommandLine(g_setup.installFolder, entry.c_str(), command, sizeof command))
            RunAndWait(command);
    }
}

void RunInstall()
{
    SetCurrentDirectoryA(g_setup.setupFolder);
    if (!AskInstallFolder())
        return;
    RunInstallSteps();
    g_setup.owner = nullptr;
    if (!g_setup.stopped)
        RunExecEntries();
    std::string text = g_setup.failed ? "ｲﾝｽﾄｰﾙ中にｴﾗｰがありました。一部のﾌｧｲﾙはｲﾝｽﾄｰﾙされていません。"
                                      : "ｲﾝｽﾄｰﾙは正常に終了しました。";
    if (!g_settings.noUninst)
        text += "\nﾌﾟﾛｸﾞﾗﾑの削除はｺﾝﾄﾛｰﾙﾊﾟﾈﾙの 'ｱﾌﾟﾘｹｰｼｮﾝの追加と削除' を実行してください。";
    Message(nullptr, text.c_str(), "ｲﾝｽﾄｰﾙの終了", g_setup.failed ? MB_ICONWARNING : MB_ICONINFORMATION);
}
