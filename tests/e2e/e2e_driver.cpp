#include "tests/e2e/e2e_driver.h"

#include "tests/core/test_files.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

Process StartProcess(const std::string& commandLine, const std::string& folder, const std::string& inputPath)
{
    Process p;
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    HANDLE input = INVALID_HANDLE_VALUE;
    if (!inputPath.empty()) {
        SECURITY_ATTRIBUTES inherited = {sizeof inherited, nullptr, TRUE};
        input = CreateFileA(inputPath.c_str(), GENERIC_READ, FILE_SHARE_READ, &inherited, OPEN_EXISTING, 0,
                            nullptr);
        if (input == INVALID_HANDLE_VALUE)
            return p;
        si.dwFlags = STARTF_USESTDHANDLES;
        si.hStdInput = input;
    }
    PROCESS_INFORMATION pi = {};
    std::string line = commandLine;
    BOOL started = CreateProcessA(nullptr, &line[0], nullptr, nullptr, input != INVALID_HANDLE_VALUE, 0, nullptr,
                                  folder.empty() ? nullptr : folder.c_str(), &si, &pi);
    DWORD error = GetLastError();
    if (input != INVALID_HANDLE_VALUE)
        CloseHandle(input);
    if (!started) {
        p.error = error;
        return p;
    }
    CloseHandle(pi.hThread);
    p.handle = pi.hProcess;
    p.id = pi.dwProcessId;
    return p;
}

long WaitForExit(Process* process, DWORD ms)
{
    if (!process->handle || WaitForSingleObject(process->handle, ms) != WAIT_OBJECT_0)
        return -1;
    DWORD code = 0;
    GetExitCodeProcess(process->handle, &code);
    return (long)code;
}

void EndProcess(Process* process)
{
    if (!process->handle)
        return;
    if (WaitForSingleObject(process->handle, 0) != WAIT_OBJECT_0) {
        TerminateProcess(process->handle, 99);
        WaitForSingleObject(process->handle, WAIT_MS);
    }
    CloseHandle(process->handle);
    process->handle = nullptr;
}

long RunUnix(const std::string& commandLine, DWORD ms)
{
    // Wine starts a Unix program detached, without a handle to wait on: the
    // command itself leaves its exit code in a marker file when it ends.
    static int serial;
    std::string marker = std::string(E2E_UNIX_WORK) + "/unix-" + std::to_string(GetCurrentProcessId()) + "-" +
                         std::to_string(++serial);
    std::string windowsMarker = "Z:" + marker;
    for (char& c : windowsMarker)
        if (c == '/')
            c = '\\';
    DeleteFileA(windowsMarker.c_str());
    // Wine leaves the process record of a Unix program as it finds it, or
    // with stale values: none of its handles is this process's to close (a
    // close would hit one of ours, the standard output among them, and the
    // run's report would stop there).
    std::string line = "/bin/sh -c \"" + commandLine + "; echo $? > " + marker + ".tmp && mv " + marker + ".tmp " +
                       marker + "\"";
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    if (!CreateProcessA(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
        return -1;
    long code = -1;
    WaitUntil([&] {
        std::string text = ReadFileBytes(windowsMarker);
        if (text.empty())
            return false;
        code = atol(text.c_str());
        return true;
    }, ms);
    DeleteFileA(windowsMarker.c_str());
    return code;
}

struct FindRequest {
    DWORD processId;
    const char* className;
    const char* title;
    HWND found;
};

static BOOL CALLBACK FindInProcess(HWND window, LPARAM param)
{
    FindRequest* r = (FindRequest*)param;
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner != r->processId)
        return TRUE;
    char name[256];
    GetClassNameA(window, name, sizeof name);
    if (lstrcmpiA(name, r->className) != 0)
        return TRUE;
    if (r->title && WindowText(window) != r->title)
        return TRUE;
    r->found = window;
    return FALSE;
}

HWND FindProcessWindow(const Process& process, const char* className, const char* title)
{
    FindRequest r = {process.id, className, title, nullptr};
    EnumWindows(FindInProcess, (LPARAM)&r);
    return r.found;
}

HWND ShownProcessWindow(const Process& process, const char* className, const char* title, DWORD ms)
{
    HWND found = nullptr;
    WaitUntil([&] { return (found = FindProcessWindow(process, className, title)) && IsWindowVisible(found); }, ms);
    return found && IsWindowVisible(found) ? found : nullptr;
}

std::string WindowText(HWND window)
{
    char text[1024] = "";
    GetWindowTextA(window, text, sizeof text);
    return text;
}

HWND FocusOf(HWND window)
{
    GUITHREADINFO info = {};
    info.cbSize = sizeof info;
    if (!GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info))
        return nullptr;
    return info.hwndFocus;
}

void SettleXFocus(HWND window)
{
    HANDLE xWindow = GetPropA(window, "__wine_x11_whole_window");
    if (xWindow)
        WaitUntil([&] {
            return RunUnix("test $(/usr/bin/xdotool getwindowfocus) -eq " +
                           std::to_string((unsigned long long)(UINT_PTR)xWindow)) == 0;
        }, 2000);
    // Answered only after the thread has handled the focus change. A thread
    // that a sent message wakes answers it before it reads its X connection,
    // where the focus and key map events may already wait; the second is
    // answered only after a pass through its wait, which reads them first.
    // Handled after a chord's Ctrl went down, the key map would let it go.
    DWORD_PTR result;
    for (int pass = 0; pass < 2; pass++)
        SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 5000, &result);
}

void SettleXPlace(HWND window)
{
    HANDLE xWindow = GetPropA(window, "__wine_x11_whole_window");
    RECT rc;
    if (!xWindow || !GetWindowRect(window, &rc))
        return;
    // xwininfo: xdotool's window geometry counts a window's place twice
    // where no window manager runs.
    WaitUntil([&] {
        return RunUnix("/usr/bin/xwininfo -id " + std::to_string((unsigned long long)(UINT_PTR)xWindow) +
                       " | grep -c -E '^ *Absolute upper-left (X: +" + std::to_string(rc.left) + "|Y: +" +
                       std::to_string(rc.top) + ")$' | grep -q -x 2") == 0;
    }, 2000);
}

void PressKey(BYTE key)
{
    keybd_event(key, 0, 0, 0);
    keybd_event(key, 0, KEYEVENTF_KEYUP, 0);
}

void PressChord(const std::vector<BYTE>& modifiers, BYTE key)
{
    for (BYTE m : modifiers)
        keybd_event(m, 0, 0, 0);
    PressKey(key);
    for (size_t i = modifiers.size(); i-- > 0;)
        keybd_event(modifiers[i], 0, KEYEVENTF_KEYUP, 0);
}

static void Xdotool(const std::string& arguments)
{
    RunUnix("/usr/bin/xdotool " + arguments);
}

void MouseMove(int x, int y)
{
    Xdotool("mousemove " + std::to_string(x) + " " + std::to_string(y));
}

void MouseButton(int button, bool down)
{
    Xdotool(std::string(down ? "mousedown " : "mouseup ") + std::to_string(button));
}

void XKey(const char* key, bool down)
{
    Xdotool(std::string(down ? "keydown " : "keyup ") + key);
}

int ItemCount(HWND list)
{
    return (int)SendMessageA(list, LVM_GETITEMCOUNT, 0, 0);
}

int FirstSelected(HWND list)
{
    return (int)SendMessageA(list, LVM_GETNEXTITEM, (WPARAM)-1, LVNI_SELECTED);
}

// A block of memory in the other process, freed at the end of the scope.
struct RemoteBlock {
    HANDLE process;
    void* address;
    RemoteBlock(HANDLE p, size_t size) : process(p)
    {
        address = VirtualAllocEx(p, nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    }
    ~RemoteBlock()
    {
        if (address)
            VirtualFreeEx(process, address, 0, MEM_RELEASE);
    }
    char* at(size_t offset) const { return (char*)address + offset; }
};

std::vector<std::string> ListTexts(const RemoteList& list)
{
    std::vector<std::string> texts;
    const size_t textSize = 65536;
    RemoteBlock block(list.process, sizeof(LVITEMA) + textSize);
    if (!block.address)
        return texts;
    std::string text(textSize, '\0');
    int count = ItemCount(list.list);
    for (int i = 0; i < count; i++) {
        LVITEMA item = {};
        item.iSubItem = 0;
        item.pszText = block.at(sizeof item);
        item.cchTextMax = (int)textSize;
        WriteProcessMemory(list.process, block.address, &item, sizeof item, nullptr);
        int n = (int)SendMessageA(list.list, LVM_GETITEMTEXTA, i, (LPARAM)block.address);
        ReadProcessMemory(list.process, block.at(sizeof item), &text[0], textSize, nullptr);
        texts.push_back(text.substr(0, n < 0 ? 0 : n));
    }
    return texts;
}

RECT ItemRect(const RemoteList& list, int index)
{
    RECT rc = {};
    RemoteBlock block(list.process, sizeof rc);
    rc.left = LVIR_LABEL;
    WriteProcessMemory(list.process, block.address, &rc, sizeof rc, nullptr);
    SendMessageA(list.list, LVM_GETITEMRECT, index, (LPARAM)block.address);
    ReadProcessMemory(list.process, block.address, &rc, sizeof rc, nullptr);
    MapWindowPoints(list.list, nullptr, (POINT*)&rc, 2);
    return rc;
}

std::string TreeItemText(HWND tree, HANDLE process, HTREEITEM item)
{
    RemoteBlock block(process, sizeof(TVITEMA) + 256);
    TVITEMA tvi = {};
    tvi.mask = TVIF_TEXT;
    tvi.hItem = item;
    tvi.pszText = block.at(sizeof tvi);
    tvi.cchTextMax = 256;
    WriteProcessMemory(process, block.address, &tvi, sizeof tvi, nullptr);
    SendMessageA(tree, TVM_GETITEMA, 0, (LPARAM)block.address);
    char text[256] = "";
    ReadProcessMemory(process, block.at(sizeof tvi), text, sizeof text, nullptr);
    text[255] = '\0';
    return text;
}

// The item of a name path; each item on the way expanded when asked.
static HTREEITEM ItemAt(HWND tree, HANDLE process, const std::vector<std::string>& names, bool expand)
{
    HTREEITEM item = (HTREEITEM)SendMessageA(tree, TVM_GETNEXTITEM, TVGN_ROOT, 0);
    for (size_t level = 0; item && level < names.size();) {
        if (TreeItemText(tree, process, item) != names[level]) {
            item = (HTREEITEM)SendMessageA(tree, TVM_GETNEXTITEM, TVGN_NEXT, (LPARAM)item);
            continue;
        }
        if (++level == names.size())
            return item;
        if (expand)
            SendMessageA(tree, TVM_EXPAND, TVE_EXPAND, (LPARAM)item);
        item = (HTREEITEM)SendMessageA(tree, TVM_GETNEXTITEM, TVGN_CHILD, (LPARAM)item);
    }
    return nullptr;
}

RECT TreeItemRect(HWND tree, HANDLE process, const std::vector<std::string>& names)
{
    RECT rc = {};
    HTREEITEM item = ItemAt(tree, process, names, true);
    if (!item)
        return rc;
    RemoteBlock block(process, sizeof rc);
    RECT request = {};
    memcpy(&request, &item, sizeof item);
    WriteProcessMemory(process, block.address, &request, sizeof request, nullptr);
    if (SendMessageA(tree, TVM_GETITEMRECT, TRUE, (LPARAM)block.address)) {
        ReadProcessMemory(process, block.address, &rc, sizeof rc, nullptr);
        MapWindowPoints(tree, nullptr, (POINT*)&rc, 2);
    }
    return rc;
}

HTREEITEM FindTreeItem(HWND tree, HANDLE process, const std::vector<std::string>& names)
{
    return ItemAt(tree, process, names, false);
}

std::vector<std::string> SelectedTreeNames(HWND tree, HANDLE process)
{
    std::vector<std::string> names;
    HTREEITEM item = (HTREEITEM)SendMessageA(tree, TVM_GETNEXTITEM, TVGN_CARET, 0);
    for (; item; item = (HTREEITEM)SendMessageA(tree, TVM_GETNEXTITEM, TVGN_PARENT, (LPARAM)item))
        names.insert(names.begin(), TreeItemText(tree, process, item));
    return names;
}

std::vector<std::string> TreeChildNames(HWND tree, HANDLE process, HTREEITEM parent)
{
    std::vector<std::string> names;
    HTREEITEM item = (HTREEITEM)SendMessageA(tree, TVM_GETNEXTITEM, parent ? TVGN_CHILD : TVGN_ROOT, (LPARAM)parent);
    for (; item; item = (HTREEITEM)SendMessageA(tree, TVM_GETNEXTITEM, TVGN_NEXT, (LPARAM)item))
        names.push_back(TreeItemText(tree, process, item));
    return names;
}

std::string CueBanner(HWND edit, HANDLE process)
{
    const int size = 256;
    RemoteBlock block(process, size * sizeof(WCHAR));
    WCHAR cue[size] = {};
    if (!block.address || !SendMessageA(edit, EM_GETCUEBANNER, (WPARAM)block.address, size))
        return "";
    ReadProcessMemory(process, block.address, cue, sizeof cue, nullptr);
    cue[size - 1] = 0;
    char text[2 * size] = "";
    WideCharToMultiByte(CP_ACP, 0, cue, -1, text, sizeof text, nullptr, nullptr);
    return text;
}

struct TipSearch {
    DWORD processId;
    std::vector<HWND> tips;
};

static BOOL CALLBACK CollectTip(HWND window, LPARAM lParam)
{
    TipSearch* search = (TipSearch*)lParam;
    char name[64] = "";
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner == search->processId && GetClassNameA(window, name, sizeof name) && !lstrcmpiA(name, TOOLTIPS_CLASSA))
        search->tips.push_back(window);
    return TRUE;
}

std::string ToolTipText(HWND tool, HANDLE process)
{
    TipSearch search = {GetProcessId(process), {}};
    EnumWindows(CollectTip, (LPARAM)&search);
    const size_t textSize = 256;
    RemoteBlock block(process, sizeof(TOOLINFOA) + textSize);
    if (!block.address)
        return "";
    for (HWND tip : search.tips) {
        TOOLINFOA info = {};
        info.cbSize = sizeof info;
        info.uFlags = TTF_IDISHWND;
        info.hwnd = GetParent(tool);
        info.uId = (UINT_PTR)tool;
        info.lpszText = block.at(sizeof info);
        char text[textSize] = "";
        WriteProcessMemory(process, block.address, &info, sizeof info, nullptr);
        WriteProcessMemory(process, info.lpszText, text, sizeof text, nullptr);
        SendMessageA(tip, TTM_GETTEXTA, textSize, (LPARAM)block.address);
        ReadProcessMemory(process, info.lpszText, text, sizeof text, nullptr);
        text[textSize - 1] = '\0';
        if (text[0])
            return text;
    }
    return "";
}

std::string ReadFileBytes(const std::string& path)
{
    return ReadBytes(path);
}

bool WriteFileBytes(const std::string& path, const std::string& bytes)
{
    FILE* f = fopen(path.c_str(), "wb");
    if (!f)
        return false;
    bool ok = fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return fclose(f) == 0 && ok;
}

void Screenshot(const std::string& unixPath)
{
    RunUnix("/usr/bin/import -window root " + unixPath, 20000);
}

// The text of a balloon shown from a notification icon: the shell shows it
// as a balloon tooltip of its own process, and a tooltip answers WM_GETTEXT
// with the text it shows. "" while none is shown.
std::string BalloonText()
{
    std::string text;
    for (HWND tip = FindWindowExA(nullptr, nullptr, "tooltips_class32", nullptr); tip && text.empty();
         tip = FindWindowExA(nullptr, tip, "tooltips_class32", nullptr)) {
        DWORD process = 0;
        GetWindowThreadProcessId(tip, &process);
        if (process == GetCurrentProcessId() || !IsWindowVisible(tip) || !(GetWindowLongA(tip, GWL_STYLE) & TTS_BALLOON))
            continue;
        char bytes[512] = "";
        DWORD_PTR n = 0;
        if (SendMessageTimeoutA(tip, WM_GETTEXT, sizeof bytes, (LPARAM)bytes, SMTO_ABORTIFHUNG, 2000, &n))
            text.assign(bytes, n);
    }
    return text;
}

RegistryValue::RegistryValue(HKEY root, const char* keyPath, const char* name, DWORD value)
    : root_(root), keyPath_(keyPath), name_(name)
{
    Set(REG_DWORD, &value, sizeof value);
}

RegistryValue::RegistryValue(HKEY root, const char* keyPath, const char* name, const char* value)
    : root_(root), keyPath_(keyPath), name_(name)
{
    Set(REG_SZ, value, (DWORD)strlen(value) + 1);
}

void RegistryValue::Set(DWORD type, const void* data, DWORD size)
{
    HKEY key;
    if (RegCreateKeyExA(root_, keyPath_, 0, nullptr, 0, KEY_READ | KEY_WRITE, nullptr, &key, nullptr) != ERROR_SUCCESS)
        return;
    DWORD oldSize = 0;
    if (RegQueryValueExA(key, name_, nullptr, &oldType_, nullptr, &oldSize) == ERROR_SUCCESS) {
        old_.resize(oldSize);
        had_ = RegQueryValueExA(key, name_, nullptr, &oldType_, old_.data(), &oldSize) == ERROR_SUCCESS;
    }
    set_ = RegSetValueExA(key, name_, 0, type, (const BYTE*)data, size) == ERROR_SUCCESS;
    RegCloseKey(key);
}

RegistryValue::~RegistryValue()
{
    HKEY key;
    if (!set_ || RegOpenKeyExA(root_, keyPath_, 0, KEY_WRITE, &key) != ERROR_SUCCESS)
        return;
    if (had_)
        RegSetValueExA(key, name_, 0, oldType_, old_.data(), (DWORD)old_.size());
    else
        RegDeleteValueA(key, name_);
    RegCloseKey(key);
}
