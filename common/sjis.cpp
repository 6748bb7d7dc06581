#include "common/sjis.h"

#include <cstring>

size_t SjisFitLength(const char* text, size_t len, size_t limit)
{
    if (len <= limit)
        return len;
    size_t i = 0;
    while (i < limit) {
        size_t step = (IsSjisLeadByte((unsigned char)text[i]) && i + 1 < len) ? 2 : 1;
        if (i + step > limit)
            break;
        i += step;
    }
    return i;
}

size_t SjisCopy(char* dst, size_t dstSize, const char* src)
{
    if (dstSize == 0)
        return 0;
    size_t n = SjisFitLength(src, strlen(src), dstSize - 1);
    memcpy(dst, src, n);
    dst[n] = '\0';
    return n;
}

bool SjisEqualNoCase(const char* a, const char* b)
{
    const unsigned char* p = (const unsigned char*)a;
    const unsigned char* q = (const unsigned char*)b;
    for (;;) {
        if (IsSjisLeadByte(*p) && p[1] != '\0') {
            if (p[0] != q[0] || p[1] != q[1])
                return false;
            p += 2;
            q += 2;
            continue;
        }
        unsigned char x = *p >= 'A' && *p <= 'Z' ? (unsigned char)(*p + 32) : *p;
        unsigned char y = *q >= 'A' && *q <= 'Z' ? (unsigned char)(*q + 32) : *q;
        if (x != y)
            return false;
        if (x == '\0')
            return true;
        p++;
        q++;
    }
}
