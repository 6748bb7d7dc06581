// A top-level window with a real label tree and phrase list, wired as the
// phrase window wires them: a selection change in the tree runs
// OnLabelSelectionChanged. The library is a scratch phrase file.
#pragma once

#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "library/win32/phrase_views.h"
#include "tests/core/test_files.h"

// Canonical file text from readable literals: "\n" becomes CR LF.
inline std::string Crlf(const std::string& text)
{
    std::string out;
    for (char c : text) {
        if (c == '\n')
            out += '\r';
        out += c;
    }
    return out;
}

class ViewsTest : public ::testing::Test {
protected:
    HWND frame = nullptr;
    HWND tree = nullptr;
    HWND list = nullptr;
    std::string phrasePath, backupPath, clipPath;

    static LRESULT CALLBACK FrameProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
    {
        ViewsTest* self = (ViewsTest*)GetWindowLongPtrA(hwnd, GWLP_USERDATA);
        if (msg == WM_NOTIFY && self && self->tree) {
            NMHDR* header = (NMHDR*)lParam;
            if (header->hwndFrom == self->tree &&
                (header->code == TVN_SELCHANGEDA || header->code == TVN_SELCHANGEDW)) {
                self->selectionChanges++;
                if (self->onSelectionChange)
                    self->onSelectionChange();
                OnLabelSelectionChanged(self->tree, self->list);
            }
            return 0;
        }
        return DefWindowProcA(hwnd, msg, wParam, lParam);
    }

    int selectionChanges = 0;
    std::function<void()> onSelectionChange;  // runs before the switch

    void SetUp() override
    {
        ASSERT_EQ(932u, GetACP()) << "run with LANG=ja_JP.UTF-8";
        INITCOMMONCONTROLSEX icc = {sizeof icc, ICC_TREEVIEW_CLASSES | ICC_LISTVIEW_CLASSES};
        ASSERT_TRUE(InitCommonControlsEx(&icc));
        WNDCLASSA wc = {};
        wc.lpfnWndProc = FrameProc;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.lpszClassName = "FenlopViewsTest";
        RegisterClassA(&wc);  // fails harmlessly from the second test on
        frame = CreateWindowExA(0, "FenlopViewsTest", "views", WS_OVERLAPPEDWINDOW, 0, 0, 600,
                                400, nullptr, nullptr, wc.hInstance, nullptr);
        ASSERT_TRUE(frame);
        SetWindowLongPtrA(frame, GWLP_USERDATA, (LONG_PTR)this);
        HWND t = CreateWindowExA(WS_EX_CLIENTEDGE, WC_TREEVIEWA, "",
                                 WS_CHILD | WS_VISIBLE | TVS_HASLINES | TVS_HASBUTTONS |
                                     TVS_LINESATROOT | TVS_EDITLABELS | TVS_SHOWSELALWAYS,
                                 0, 0, 200, 400, frame, (HMENU)105, wc.hInstance, nullptr);
        list = CreateWindowExA(WS_EX_CLIENTEDGE, WC_LISTVIEWA, "",
                               WS_CHILD | WS_VISIBLE | LVS_REPORT | LVS_NOCOLUMNHEADER |
                                   LVS_SHOWSELALWAYS,
                               200, 0, 400, 400, frame, (HMENU)107, wc.hInstance, nullptr);
        ASSERT_TRUE(t && list);
        LVCOLUMNA column = {};
        column.mask = LVCF_WIDTH;
        column.cx = 1000;
        SendMessageA(list, LVM_INSERTCOLUMNA, 0, (LPARAM)&column);
        ShowWindow(frame, SW_SHOWNOACTIVATE);

        char dir[MAX_PATH];
        GetCurrentDirectoryA(sizeof dir, dir);
        phrasePath = std::string(dir) + "\\views.htm";
        ASSERT_EQ(0, SetLibraryFiles(&g_views.files, phrasePath.c_str()));
        backupPath = g_views.files.backup;
        clipPath = g_views.files.clip;
        char temp[PATH_BUFFER_SIZE + 16];
        SafeWriteTempPath(phrasePath.c_str(), temp, sizeof temp);
        for (const std::string& p : {phrasePath, backupPath, clipPath, std::string(temp)})
            DeleteFileA(p.c_str());
        g_views.showingResults = false;
        tree = t;
    }

    void TearDown() override
    {
        tree = nullptr;  // no more selection handling
        DestroyWindow(frame);
        FreeSelectedPath();
        FreeLabelTree(g_views.labelRoot);
        g_views.labelRoot = nullptr;
    }

    // Writes the library and loads the tree from it, as at a start: no
    // label is open.
    void Load(const std::string& text)
    {
        if (g_views.selectedPath)
            CloseOpenLabel(list);
        WriteBytes(phrasePath, Crlf(text));
        ASSERT_EQ(0, LoadLabelTree(tree));
    }

    // Loads text as at a start and opens the label at path.
    void Open(const std::string& text, const std::string& path)
    {
        ASSERT_NO_FATAL_FAILURE(Load(text));
        ASSERT_NO_FATAL_FAILURE(Select(path));
    }

    std::string File() { return ReadBytes(phrasePath); }

    std::string Text(HTREEITEM item)
    {
        char text[LABEL_NAME_SIZE] = "";
        TVITEMA tvi = {};
        tvi.mask = TVIF_TEXT;
        tvi.hItem = item;
        tvi.pszText = text;
        tvi.cchTextMax = sizeof text;
        SendMessageA(tree, TVM_GETITEMA, 0, (LPARAM)&tvi);
        return text;
    }

    LabelNode* Record(HTREEITEM item)
    {
        TVITEMA tvi = {};
        tvi.mask = TVIF_PARAM;
        tvi.hItem = item;
        SendMessageA(tree, TVM_GETITEMA, 0, (LPARAM)&tvi);
        return (LabelNode*)tvi.lParam;
    }

    HTREEITEM Next(HTREEITEM item, UINT how)
    {
        return (HTREEITEM)SendMessageA(tree, TVM_GETNEXTITEM, how, (LPARAM)item);
    }

    // The tree as "a(x(y),z),b". Checks on the way that every item's record
    // bears its text and hangs below its parent item's record.
    std::string Dump(HTREEITEM first = nullptr, const LabelNode* parent = nullptr)
    {
        if (!first) {
            first = Next(nullptr, TVGN_ROOT);
            parent = g_views.labelRoot;
        }
        std::string out;
        for (HTREEITEM item = first; item; item = Next(item, TVGN_NEXT)) {
            LabelNode* node = Record(item);
            EXPECT_TRUE(node && node->parent == parent && Text(item) == node->name);
            out += (out.empty() ? "" : ",") + Text(item);
            if (HTREEITEM child = Next(item, TVGN_CHILD))
                out += "(" + Dump(child, node) + ")";
        }
        return out;
    }

    // The item at a path "a/x/y" of texts; null when missing.
    HTREEITEM Item(const std::string& path)
    {
        HTREEITEM item = Next(nullptr, TVGN_ROOT);
        size_t start = 0;
        for (;;) {
            size_t end = path.find('/', start);
            std::string name = path.substr(start, end - start);
            while (item && Text(item) != name)
                item = Next(item, TVGN_NEXT);
            if (!item || end == std::string::npos)
                return item;
            item = Next(item, TVGN_CHILD);
            start = end + 1;
        }
    }

    void Select(const std::string& path)
    {
        HTREEITEM item = Item(path);
        ASSERT_TRUE(item) << path;
        SendMessageA(tree, TVM_SELECTITEM, TVGN_CARET, (LPARAM)item);
    }

    std::string Selected()
    {
        HTREEITEM item = Next(nullptr, TVGN_CARET);
        return item ? Text(item) : "(none)";
    }

    bool Expanded(const std::string& path)
    {
        UINT state = (UINT)SendMessageA(tree, TVM_GETITEMSTATE, (WPARAM)Item(path), TVIS_EXPANDED);
        return (state & TVIS_EXPANDED) != 0;
    }

    std::vector<std::string> Phrases()
    {
        std::vector<std::string> out;
        std::vector<char> text(65536);
        int count = (int)SendMessageA(list, LVM_GETITEMCOUNT, 0, 0);
        for (int i = 0; i < count; i++) {
            int length = GetPhraseText(list, i, text.data(), (int)text.size());
            out.push_back(std::string(text.data(), length < 0 ? 0 : length));
        }
        return out;
    }

    void SelectRows(std::initializer_list<int> rows)
    {
        LVITEMA item = {};
        item.stateMask = LVIS_SELECTED;
        item.state = 0;
        SendMessageA(list, LVM_SETITEMSTATE, (WPARAM)-1, (LPARAM)&item);
        item.state = LVIS_SELECTED;
        for (int row : rows)
            SendMessageA(list, LVM_SETITEMSTATE, row, (LPARAM)&item);
    }
};

using Strings = std::vector<std::string>;
