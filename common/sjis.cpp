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
