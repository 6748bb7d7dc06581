// The label tree on a real tree view: loading, selecting and expanding by
// name path, and the label edits with their follow-ups.
#include "tests/win32/views_fixture.h"


namespace {

const char* const LIBRARY = R"(<u>"root"
    <u>"a"
        <p>
        "in a"
        </p>
        <u>"x"
            <u>"y"
            </u>
        </u>
        <u>"z"
        </u>
    </u>
    <u>"b"
        <p>
        "in b"
        </p>
    </u>
    <u>"c"
    </u>
</u>
)";

TEST_F(ViewsTest, LoadLabelTreeMirrorsTheFile)
{
    // Phrases between labels and ignored lines do not disturb the order.
    Load("<U>\"root\"\n<p>\n\"r\"\n</p>\njunk\n<u>\"a\"\n<u>\"x\"\n<u>\"y\"\n</u>\n</u>\n"
         "<p>\n</p>\n<u>\"z\"\n</u>\n</u>\n<u>\"b\"\n</u>\n</u>\n");
    EXPECT_EQ("a(x(y),z),b", Dump());
    EXPECT_EQ("(none)", Selected());
    EXPECT_EQ(nullptr, g_views.labelRoot->parent);

    WriteBytes(phrasePath, Crlf("<u>\"root\"\n<u>\"a\"\n</u>\n"));  // root never closed
    EXPECT_EQ(-1, LoadLabelTree(tree));
    EXPECT_EQ("", Dump());
}

TEST_F(ViewsTest, OverlongNamesAreShownCutAndStoredWhole)
{
    std::string name = std::string(81, 'n') + "日本";  // 85 bytes
    Load("<u>\"root\"\n    <u>\"" + name + "\"\n        <p>\n        \"old\"\n        </p>\n"
         "    </u>\n    <u>\"b\"\n    </u>\n</u>\n");
    std::string held = std::string(81, 'n') + "日";  // 83 bytes, cut between characters
    EXPECT_EQ(held + ",b", Dump());
    Select(held);
    EXPECT_EQ(Strings{"old"}, Phrases());
    SetPhrase(list, 0, "new");
    Select("b");
    EXPECT_EQ(Crlf("<u>\"root\"\n    <u>\"" + name + "\"\n        <p>\n        \"new\"\n"
                   "        </p>\n    </u>\n    <u>\"b\"\n    </u>\n</u>\n"),
              File());
}

TEST_F(ViewsTest, SelectAndExpandByNamePath)
{
    Load(LIBRARY);
    SelectLabelByNamePath(tree, nullptr, "a\0q\0");  // no a/q: nothing
    EXPECT_EQ("(none)", Selected());
    SelectLabelByNamePath(tree, nullptr, "b\0c\0d\0");  // deeper than the tree: b
    EXPECT_EQ("b", Selected());
    SelectLabelByNamePath(tree, nullptr, "a\0x\0y\0");
    EXPECT_EQ(Item("a/x/y"), Next(nullptr, TVGN_CARET));
    ASSERT_TRUE(g_views.selectedPath);
    EXPECT_EQ(Record(Item("a/x/y")), PathTarget(g_views.selectedPath));
    EXPECT_EQ(Record(Item("a")), g_views.selectedPath[0]);

    Load(LIBRARY);
    ExpandLabelByNamePath(tree, nullptr, "a\0x\0q\0");
    EXPECT_TRUE(Expanded("a"));
    EXPECT_TRUE(Expanded("a/x"));
    EXPECT_EQ("(none)", Selected());
}

TEST_F(ViewsTest, NewLabelsAreSelectedAndStoreTheOpenList)
{
    Open(LIBRARY, "b");
    InsertPhrase(list, -1, "typed");
    ASSERT_EQ(0, NewLabel(tree, 1));
    EXPECT_EQ("a(x(y),z),b,新しいラベル,c", Dump());
    EXPECT_EQ(Item("新しいラベル"), Next(nullptr, TVGN_CARET));
    EXPECT_EQ(Strings{}, Phrases());
    // The list of b went back into b through the path built before the reload.
    Select("b");
    EXPECT_EQ((Strings{"in b", "typed"}), Phrases());

    ASSERT_EQ(0, NewLabel(tree, 0));
    ASSERT_EQ(0, NewChildLabel(tree));  // into the new 新しいラベル～1
    EXPECT_EQ("a(x(y),z),新しいラベル～1(新しいラベル),b,新しいラベル,c", Dump());
    EXPECT_EQ("新しいラベル", Selected());
    Select("a");
    ASSERT_EQ(0, NewChildLabel(tree));
    EXPECT_EQ("a(新しいラベル,x(y),z),新しいラベル～1(新しいラベル),b,新しいラベル,c", Dump());
    // a's list was not changed, so it is not written again on the way to
    // the new label: its phrase stays where the file had it.
    EXPECT_NE(std::string::npos, File().find(Crlf("    <u>\"a\"\n        <u>\"新しいラベル\"\n"
                                                  "        </u>\n        <p>\n        \"in a\"\n"
                                                  "        </p>\n        <u>\"x\"\n")));
}

TEST_F(ViewsTest, FailedNewLabelReloadsAndReselects)
{
    std::string text = "<u>\"root\"\n    <u>\"新しいラベル\"\n    </u>\n";
    for (int n = 1; n <= 99; n++)
        text += "    <u>\"新しいラベル～" + std::to_string(n) + "\"\n    </u>\n";
    Load(text + "    <u>\"t\"\n    </u>\n</u>\n");
    Select("t");
    // Changed outside the program: the reload after the failure shows it.
    std::string changed = Crlf(text + "    <u>\"t\"\n    </u>\n    <u>\"u\"\n    </u>\n</u>\n");
    WriteBytes(phrasePath, changed);
    EXPECT_EQ(-1, NewLabel(tree, 1));
    EXPECT_EQ(changed, File());
    EXPECT_TRUE(Item("u"));
    EXPECT_EQ("t", Selected());

    SendMessageA(tree, TVM_SELECTITEM, TVGN_CARET, 0);
    EXPECT_EQ(-1, NewLabel(tree, 1));  // nothing selected: no file touched
    EXPECT_EQ(changed, File());
}

TEST_F(ViewsTest, RenameChecksTheNameAndUpdatesItemAndRecord)
{
    Open(LIBRARY, "a/x");
    HTREEITEM x = Item("a/x");
    std::string before = File();
    auto rename = [&](const char* name) {
        TVITEMA item = {};
        item.hItem = x;
        item.pszText = (char*)name;
        return RenameLabel(tree, &item);
    };
    EXPECT_EQ(0, rename(nullptr));  // cancelled
    EXPECT_EQ(-1, rename("z"));
    EXPECT_EQ(-1, rename("x"));
    EXPECT_EQ(-1, rename(""));
    EXPECT_EQ(-1, rename(std::string(80, 'n').c_str()));
    EXPECT_EQ(before, File());

    std::string longest(79, 'n');
    ASSERT_EQ(0, rename(longest.c_str()));
    EXPECT_EQ(longest, Text(x));
    EXPECT_EQ(longest, Record(x)->name);
    EXPECT_EQ(x, Item("a/" + longest));
    EXPECT_NE(std::string::npos, File().find("        <u>\"" + longest + "\"\r\n"));

    // The edited item must be the label the path ends at.
    x = Item("a/z");
    EXPECT_EQ(-1, rename("w"));
}

TEST_F(ViewsTest, CutCopyAndPasteLabels)
{
    Open(LIBRARY, "a");
    std::string before = File();
    ASSERT_EQ(0, CutOrCopyLabel(tree, 0));
    EXPECT_EQ(before, File());
    std::string clip = ReadBytes(clipPath);
    EXPECT_EQ(0u, clip.find(Crlf("    <u>\"a\"\n        <p>\n        \"in a\"\n")));
    EXPECT_EQ("a(x(y),z),b,c", Dump());

    Select("a/x");
    ASSERT_EQ(0, CutOrCopyLabel(tree, 1));
    EXPECT_EQ("a(z),b,c", Dump());
    EXPECT_TRUE(Expanded("a"));
    EXPECT_EQ(Crlf("        <u>\"x\"\n            <u>\"y\"\n            </u>\n        </u>\n"),
              ReadBytes(clipPath));

    // The list of the cut label has nowhere to go.
    before = File();
    Select("c");
    EXPECT_EQ(before, File());

    ASSERT_EQ(0, PasteLabel(tree, 1));
    EXPECT_EQ("a(z),b,c,x(y)", Dump());
    EXPECT_EQ("(none)", Selected());
    EXPECT_EQ(-1, PasteLabel(tree, 0));  // nothing selected now
    Select("b");
    ASSERT_EQ(0, PasteLabel(tree, 0));
    Select("b");
    ASSERT_EQ(0, PasteChildLabel(tree));
    EXPECT_TRUE(Expanded("b"));
    Select("c");
    ASSERT_EQ(0, PasteChildLabel(tree));
    EXPECT_EQ("a(z),x～1(y),b(x(y)),c(x(y)),x(y)", Dump());
    EXPECT_TRUE(FileExists(g_views.files.clip));

    DeleteFileA(clipPath.c_str());
    Select("b");
    before = File();
    EXPECT_EQ(-1, PasteLabel(tree, 1));
    EXPECT_EQ(before, File());
}

TEST_F(ViewsTest, CreateLibraryOnlyIntoAnEmptyTree)
{
    Open(LIBRARY, "b");
    EXPECT_EQ(-1, CreateLibrary(tree));
    FreeSelectedPath();
    DeleteFileA(phrasePath.c_str());
    EXPECT_EQ(-1, LoadLabelTree(tree));
    ASSERT_EQ(0, CreateLibrary(tree));
    EXPECT_EQ(Crlf("<u>\"root\"\n    <u>\"新しいラベル\"\n    </u>\n</u>\n"), File());
    EXPECT_EQ("新しいラベル", Dump());
    EXPECT_EQ("(none)", Selected());
}

}  // namespace
