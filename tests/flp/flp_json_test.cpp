// Export and import of JSON: round trips over the golden inputs and random
// libraries, and the refusals of documents the file cannot hold; the bytes
// they put aside.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "tests/core/test_files.h"
#include "tools/flp_json.h"
#include "tools/flp_spill.h"
#include "tools/flp_text.h"

namespace {

// The file that the import written as the document is read makes of json
// ("" when it gives up).
std::string StreamedText(const std::string& json)
{
    FILE* f = tmpfile();
    std::string text;
    if (f && StreamLibraryText(json.data(), json.size(), f)) {
        text.resize((size_t)ftell(f));
        rewind(f);
        text.resize(fread(&text[0], 1, text.size(), f));
    }
    if (f)
        fclose(f);
    return text;
}

// Export of the file at path, imported again: the new file's bytes, the
// same whether the document is read whole or as it comes.
bool RoundTrip(const std::string& path, std::string* bytes, std::string* error)
{
    std::string json;
    ImportedLibrary library;
    if (!ExportJson(path.c_str(), nullptr, &json, error) || !ParseJson(json, &library, error))
        return false;
    *bytes = LibraryText(library);
    EXPECT_EQ(StreamedText(json), *bytes);
    return true;
}

TEST(FlpJson, GoldenInputsComeBackInCanonicalForm)
{
    StartTerminal(TERMINAL_LOCALE);
    std::string path = std::string(FENLOP_TEST_DATA) + "/golden/reader/canonical.htm";
    std::string back, error;
    ASSERT_TRUE(RoundTrip(path, &back, &error)) << error;
    EXPECT_EQ(back, ReadBytes(path));
    // A hand-edited input comes back in the canonical form, which then
    // stays as it is.
    path = std::string(FENLOP_TEST_DATA) + "/golden/reader/variants.htm";
    ASSERT_TRUE(RoundTrip(path, &back, &error)) << error;
    WriteBytes("again.htm", back);
    std::string again;
    ASSERT_TRUE(RoundTrip("again.htm", &again, &error)) << error;
    EXPECT_EQ(again, back);
    // This one holds a name longer than a user can give: refused, named.
    path = std::string(FENLOP_TEST_DATA) + "/golden/reader/handedited.htm";
    EXPECT_FALSE(RoundTrip(path, &back, &error));
    EXPECT_NE(error.find("longer than 79 bytes"), std::string::npos) << error;
}

// Texts in code page 932 (the source is compiled to it): quotes, tags, 5Ch
// trail bytes, the program's own wave dash, spaces.
const char* const kPieces[] = {"a", "Z", " ", "\"", "<u>", "</p>", "表", "ソ", "\\", "あ",
                               "漢字", "～", "ｶﾅ", "①", "\t", "#"};

std::string RandomText(std::mt19937* random, size_t pieces, bool lines)
{
    std::string text;
    size_t n = (*random)() % (pieces + 1);
    for (size_t i = 0; i < n; i++) {
        unsigned pick = (*random)() % 20;
        if (lines && pick >= 16)
            text += pick == 19 ? "\r" : "\r\n";
        else
            text += kPieces[pick % 16];
    }
    return text;
}

void RandomLabels(std::mt19937* random, std::vector<ImportedLabel>* labels, int depth)
{
    size_t count = depth > 4 ? 0 : (*random)() % 4;
    for (size_t i = 0; i < count; i++) {
        ImportedLabel label;
        // Names of one or two pieces repeat among siblings now and then.
        label.name = "n" + RandomText(random, 2, false);
        size_t phrases = (*random)() % 4;
        for (size_t k = 0; k < phrases; k++)
            label.phrases.push_back(RandomText(random, 12, true));
        RandomLabels(random, &label.labels, depth + 1);
        labels->push_back(label);
    }
}

TEST(FlpJson, RandomLibrariesComeBackByteForByte)
{
    StartTerminal(TERMINAL_LOCALE);
    std::mt19937 random(20261208);
    for (int round = 0; round < 300; round++) {
        ImportedLibrary library;
        library.hasName = round % 2 == 0;
        library.root.name = "root";
        RandomLabels(&random, &library.root.labels, 1);
        if (round % 3 == 0)
            library.root.phrases.push_back(RandomText(&random, 6, true));
        std::string file = LibraryText(library);
        WriteBytes("random.htm", file);
        std::string back, error;
        ASSERT_TRUE(RoundTrip("random.htm", &back, &error)) << round << ": " << error;
        ASSERT_EQ(back, file) << "round " << round;
    }
}

TEST(FlpJson, RefusesWhatTheFileCannotHold)
{
    StartTerminal(TERMINAL_LOCALE);
    std::string longName(80, 'n');
    std::string longPhrase(65536, 'p');
    struct Case {
        std::string json;
        std::string error;
    } cases[] = {
        {"{\"labels\": [\n  {\"name\": \"a\",,}]}", "line 2, column 16: malformed JSON"},
        {" ", "line 1, column 2: malformed JSON"},
        {"[]", "the document: a label is not an object"},
        {"{\"labels\": {}}", "labels is not an array"},
        {"{\"labels\": [{\"phrases\": []}]}", "label /(label 1): a label without a name"},
        {"{\"labels\": [{\"name\": \"a\", \"labels\": [{\"name\": \"" + longName + "\"}]}]}",
         "label /a/" + longName + ": the name is longer than 79 bytes"},
        // 40 two-byte characters: 80 bytes in code page 932.
        {"", ""},
        {"{\"labels\": [{\"name\": \"a\\nb\"}]}", "the name holds a line break"},
        {"{\"labels\": [{\"name\": \"\"}]}", "the name is empty"},
        {"{\"labels\": [{\"name\": \"x\", \"phrases\": [\"" + longPhrase + "\"]}]}",
         "label /x: phrase 1 is longer than 65,535 bytes"},
        {"{\"labels\": [{\"name\": \"x\", \"phrases\": [\"ok\", \"\xF0\x9F\x98\x80\"]}]}",
         "phrase 2: U+1F600 at character 1 has no place in code page 932"},
        {"{\"labels\": [{\"name\": \"x\", \"phrases\": [\"a\\u0000b\"]}]}", "holds a NUL"},
        {"{\"labels\": [{\"name\": \"x\", \"colour\": 1}]}", "unknown key \"colour\""},
        {"{\"name\": 5}", "the name is not a string"},
    };
    for (Case& c : cases) {
        if (c.json.empty()) {
            // 40 x あ in UTF-8.
            std::string a40;
            for (int i = 0; i < 40; i++)
                a40 += "\xE3\x81\x82";
            c.json = "{\"labels\": [{\"name\": \"" + a40 + "\"}]}";
            c.error = "longer than 79 bytes";
        }
        ImportedLibrary library;
        std::string error;
        EXPECT_FALSE(ParseJson(c.json, &library, &error)) << c.json.substr(0, 80);
        EXPECT_NE(error.find(c.error), std::string::npos) << "got: " << error.substr(0, 200);
    }
    // 79 bytes and 65,535 bytes are taken.
    ImportedLibrary library;
    std::string error;
    EXPECT_TRUE(ParseJson("{\"labels\": [{\"name\": \"" + std::string(79, 'n') +
                              "\", \"phrases\": [\"" + std::string(65535, 'p') + "\"]}]}",
                          &library, &error))
        << error;
}

// What is put aside comes back the same from memory, from the file, and
// across the two, after writes over it and cuts on either side.
TEST(FlpJson, SpillGivesBackItsBytesFromMemoryAndFile)
{
    Spill spill(8);  // bytes past 8 go to the file
    std::string model;
    auto append = [&](const std::string& bytes) {
        spill.Append(bytes.data(), bytes.size());
        model += bytes;
    };
    auto expectSame = [&](const char* when) {
        ASSERT_EQ(spill.Size(), model.size()) << when;
        for (size_t from = 0; from < model.size(); from += 3) {
            size_t n = std::min<size_t>(11, model.size() - from);
            std::string got(n, '?');
            spill.Read(from, &got[0], n);
            EXPECT_EQ(got, model.substr(from, n)) << when << " at " << from;
        }
    };
    append("0123456789");  // to the file at once
    append("abc");
    append("defghijkl");
    expectSame("appended");
    spill.Write(7, "XYZ", 3);  // over the file's end
    model.replace(7, 3, "XYZ");
    spill.Write(model.size() - 2, "!!", 2);
    model.replace(model.size() - 2, 2, "!!");
    expectSame("written over");
    spill.Cut(model.size() - 1);  // in memory
    model.resize(model.size() - 1);
    expectSame("cut in memory");
    spill.Cut(4);  // in the file: what follows writes over it
    model.resize(4);
    append("uvwxyz0123");
    expectSame("cut in the file and appended");
    EXPECT_FALSE(spill.Failed());
}

TEST(FlpJson, ExportRefusesTextsWithoutAnExactUnicodeForm)
{
    StartTerminal(TERMINAL_LOCALE);
    // FA 54 is a second code of the sign that 81 CA also stands for.
    WriteBytes("twin.htm", "<u>\"root\"\r\n    <u>\"a\"\r\n        <p>\r\n        \"\xFA\x54\"\r\n"
                           "        </p>\r\n    </u>\r\n</u>\r\n");
    std::string json, error;
    EXPECT_FALSE(ExportJson("twin.htm", nullptr, &json, &error));
    EXPECT_NE(error.find("no exact form"), std::string::npos) << error;
}

}  // namespace
