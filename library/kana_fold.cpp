#include "library/kana_fold.h"

#include <cstdint>


namespace {

const int LEAD_BYTE_COUNT = (0x9F - 0x81 + 1) + (0xFC - 0xE0 + 1);

// The folded form of every two-byte character, looked up without a branch
// on what it is: text is mostly kanji and kana, in no order a branch could
// foresee.
struct FoldTables {
    unsigned char ascii[128];
    unsigned char leadIndex[256];  // 1 + a lead byte's place among them; 0: no lead byte
    // By lead index and trail byte: the folded bytes, the first in the low
    // byte; an ASCII result (below 80h) is one byte, the high byte then 0.
    uint16_t pair[LEAD_BYTE_COUNT + 1][256];
};

// Full-width signs of row 81h and their ASCII forms (code page 932 holds
// the full-width quotes " and ' among its extensions only).
struct SignPair {
    unsigned char trail;
    char ascii;
};
constexpr SignPair kSigns[] = {
    {0x40, ' '}, {0x43, ','},  {0x44, '.'}, {0x46, ':'}, {0x47, ';'}, {0x48, '?'}, {0x49, '!'},
    {0x4D, '`'}, {0x4F, '^'},  {0x51, '_'}, {0x5E, '/'}, {0x5F, '\\'}, {0x60, '~'}, {0x62, '|'},
    {0x69, '('}, {0x6A, ')'},  {0x6D, '['}, {0x6E, ']'}, {0x6F, '{'}, {0x70, '}'}, {0x7B, '+'},
    {0x7C, '-'}, {0x81, '='},  {0x83, '<'}, {0x84, '>'}, {0x90, '$'}, {0x93, '%'}, {0x94, '#'},
    {0x95, '&'}, {0x96, '*'},  {0x97, '@'},
};

// A code (lead byte high) as the table holds it.
constexpr uint16_t Bytes(int code)
{
    return (uint16_t)(((code & 0xFF) << 8) | (code >> 8));
}

constexpr FoldTables MakeTables()
{
    FoldTables t = {};
    for (int c = 0; c < 128; c++)
        t.ascii[c] = (unsigned char)(c >= 'A' && c <= 'Z' ? c + 0x20 : c);
    int index = 1;
    for (int lead = 0x81; lead <= 0xFC; lead++) {
        if (lead > 0x9F && lead < 0xE0)
            continue;
        t.leadIndex[lead] = (unsigned char)index;
        for (int trail = 0; trail < 256; trail++)
            t.pair[index][trail] = (uint16_t)(lead | trail << 8);
        index++;
    }
    uint16_t* row81 = t.pair[t.leadIndex[0x81]];
    uint16_t* row82 = t.pair[t.leadIndex[0x82]];
    for (const SignPair& s : kSigns)
        row81[s.trail] = (uint16_t)(unsigned char)s.ascii;
    row81[0x54] = Bytes(0x8152);  // ゝ ヽ
    row81[0x55] = Bytes(0x8153);  // ゞ ヾ
    t.pair[t.leadIndex[0xFA]][0x56] = t.pair[t.leadIndex[0xEE]][0xFB] = '\'';
    t.pair[t.leadIndex[0xFA]][0x57] = t.pair[t.leadIndex[0xEE]][0xFC] = '"';
    for (int i = 0; i < 10; i++)
        row82[0x4F + i] = (uint16_t)('0' + i);
    for (int i = 0; i < 26; i++) {
        row82[0x60 + i] = (uint16_t)('a' + i);
        row82[0x81 + i] = (uint16_t)('a' + i);
    }
    // ぁ (829Fh) to ん (82F1h) stand in the order of ァ (8340h) to ン
    // (8393h), whose trail bytes step over 7Fh.
    for (int i = 0; i <= 0xF1 - 0x9F; i++) {
        int trail = 0x40 + i;
        row82[0x9F + i] = Bytes(0x8300 + (trail >= 0x7F ? trail + 1 : trail));
    }
    return t;
}

constexpr FoldTables kTables = MakeTables();

// Half-width katakana and signs (A1h to DFh) in full width.
constexpr uint16_t kFullWidth[0xDF - 0xA1 + 1] = {
    0x8142, 0x8175, 0x8176, 0x8141, 0x8145, 0x8392, 0x8340, 0x8342,  // ｡｢｣､･ｦｧｨ
    0x8344, 0x8346, 0x8348, 0x8383, 0x8385, 0x8387, 0x8362, 0x815B,  // ｩｪｫｬｭｮｯｰ
    0x8341, 0x8343, 0x8345, 0x8347, 0x8349, 0x834A, 0x834C, 0x834E,  // ｱｲｳｴｵｶｷｸ
    0x8350, 0x8352, 0x8354, 0x8356, 0x8358, 0x835A, 0x835C, 0x835E,  // ｹｺｻｼｽｾｿﾀ
    0x8360, 0x8363, 0x8365, 0x8367, 0x8369, 0x836A, 0x836B, 0x836C,  // ﾁﾂﾃﾄﾅﾆﾇﾈ
    0x836D, 0x836E, 0x8371, 0x8374, 0x8377, 0x837A, 0x837D, 0x837E,  // ﾉﾊﾋﾌﾍﾎﾏﾐ
    0x8380, 0x8381, 0x8382, 0x8384, 0x8386, 0x8388, 0x8389, 0x838A,  // ﾑﾒﾓﾔﾕﾖﾗﾘ
    0x838B, 0x838C, 0x838D, 0x838F, 0x8393, 0x814A, 0x814B,          // ﾙﾚﾛﾜﾝﾞﾟ
};

const unsigned char VOICED_MARK = 0xDE;      // ﾞ
const unsigned char SEMIVOICED_MARK = 0xDF;  // ﾟ

// The full-width code of half-width kana b joined with mark, or 0 when the
// pair has none. The voiced kana follow their plain ones in code page 932.
uint16_t Joined(unsigned char b, unsigned char mark)
{
    bool haRow = b >= 0xCA && b <= 0xCE;  // ﾊ to ﾎ
    if (mark == VOICED_MARK) {
        if ((b >= 0xB6 && b <= 0xC4) || haRow)  // ｶ to ﾄ, ﾊ to ﾎ
            return (uint16_t)(kFullWidth[b - 0xA1] + 1);
        if (b == 0xB3)  // ｳ
            return 0x8394;
    } else if (mark == SEMIVOICED_MARK && haRow) {
        return (uint16_t)(kFullWidth[b - 0xA1] + 2);
    }
    return 0;
}

inline char* Put(char* out, uint16_t code)
{
    out[0] = (char)(code >> 8);
    out[1] = (char)(code & 0xFF);
    return out + 2;
}

}  // namespace

size_t KanaFold(const char* text, size_t length, char* out)
{
    const unsigned char* p = (const unsigned char*)text;
    const unsigned char* const end = p + length;
    char* o = out;
    while (p < end) {
        unsigned char c = *p;
        unsigned lead = kTables.leadIndex[c];
        if (lead && p + 1 < end) {
            // Both bytes are written; a one-byte result leaves the second
            // to be overwritten (within the room: the output lags).
            uint16_t folded = kTables.pair[lead][p[1]];
            o[0] = (char)(folded & 0xFF);
            o[1] = (char)(folded >> 8);
            o += 1 + ((folded >> 7) & 1);
            p += 2;
        } else if (c < 0x80) {
            *o++ = (char)kTables.ascii[c];
            p++;
        } else if (c >= 0xA1 && c <= 0xDF) {
            uint16_t joined = p + 1 < end ? Joined(c, p[1]) : 0;
            o = Put(o, joined ? joined : kFullWidth[c - 0xA1]);
            p += joined ? 2 : 1;
        } else {
            *o++ = (char)c;
            p++;
        }
    }
    return (size_t)(o - out);
}
