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

static unsigned char FoldAscii(unsigned char c)
{
    return c >= 'A' && c <= 'Z' ? (unsigned char)(c - 'A' + 'a') : c;
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
        unsigned char x = FoldAscii(*p), y = FoldAscii(*q);
        if (x != y)
            return false;
        if (x == '\0')
            return true;
        p++;
        q++;
    }
}

size_t SjisFindChar(const char* text, char ch)
{
    for (size_t i = 0; text[i]; i++) {
        if (text[i] == ch)
            return i;
        if (IsSjisLeadByte((unsigned char)text[i]) && text[i + 1])
            i++;
    }
    return SJIS_NOT_FOUND;
}

size_t SjisFindLastChar(const char* text, char ch)
{
    size_t found = SJIS_NOT_FOUND;
    for (size_t i = 0; text[i]; i++) {
        if (text[i] == ch)
            found = i;
        else if (IsSjisLeadByte((unsigned char)text[i]) && text[i + 1])
            i++;
    }
    return found;
}

bool SjisEndsWithBackslash(const char* text)
{
    size_t n = strlen(text);
    return n > 0 && SjisFindLastChar(text, '\\') == n - 1;
}

bool SjisIsComplete(const char* text)
{
    for (size_t i = 0; text[i]; i++) {
        if (IsSjisLeadByte((unsigned char)text[i]) && !text[++i])
            return false;
    }
    return true;
}

size_t SjisTrimmedLength(const char* text, size_t len, const char* chars)
{
    size_t keep = 0;
    for (size_t i = 0; i < len; i++) {
        if (IsSjisLeadByte((unsigned char)text[i]) && i + 1 < len)
            keep = ++i + 1;
        else if (!strchr(chars, text[i]))
            keep = i + 1;
    }
    return keep;
}

bool SjisStartsWithNoCase(const char* text, const char* prefix)
{
    size_t size = strlen(prefix);
    if (size > strlen(text))
        return false;
    for (size_t i = 0; i < size; i++) {
        unsigned char a = (unsigned char)text[i], b = (unsigned char)prefix[i];
        if (IsSjisLeadByte(a)) {
            if (a != b || i + 1 >= size || text[i + 1] != prefix[i + 1])
                return false;
            i++;
        } else if (FoldAscii(a) != FoldAscii(b)) {
            return false;
        }
    }
    return true;
}
