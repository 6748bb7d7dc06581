#include "common/line_marks.h"

#include <cstring>

#include "common/sjis.h"

const char LINE_BREAK_MARK[] = "↓";

size_t MarkLineBreaks(const char* text, char* out, size_t size)
{
    if (size == 0)
        return 0;
    const size_t markLength = sizeof LINE_BREAK_MARK - 1;
    size_t n = 0;
    const unsigned char* p = (const unsigned char*)text;
    while (*p) {
        const char* piece = (const char*)p;
        size_t length = 1;
        size_t taken = 1;
        if (*p == '\r' || *p == '\n') {
            piece = LINE_BREAK_MARK;
            length = markLength;
            taken = (p[0] == '\r' && p[1] == '\n') ? 2 : 1;
        } else if (IsSjisLeadByte(p[0]) && p[1] >= 0x40) {
            length = taken = 2;
        }
        if (n + length > size - 1)
            break;
        memcpy(out + n, piece, length);
        n += length;
        p += taken;
    }
    out[n] = '\0';
    return n;
}
