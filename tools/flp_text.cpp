// flp's conversions between the terminal, JSON and the file's code page.
#include "tools/flp_text.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#include <shellapi.h>
#else
#include <iconv.h>
#include <langinfo.h>
#include <clocale>
#endif

namespace {

TerminalMode g_mode = TERMINAL_LOCALE;

// Arguments as the commands see them; they live until the program ends.
std::vector<std::string> g_args;
std::vector<char*> g_argPointers;

#ifdef _WIN32

UINT CodePageOf(TextSet set)
{
    switch (set) {
    case SET_FILE:
        return 932;
    case SET_UTF8:
        return CP_UTF8;
    case SET_TERMINAL:
        return g_mode == TERMINAL_UTF8 ? CP_UTF8 : GetACP();
    }
    return 932;
}

bool ToWide(UINT codePage, const char* text, size_t n, std::wstring* wide, TextFault* fault)
{
    wide->clear();
    if (n == 0)
        return true;
    int count = MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, text, (int)n, nullptr, 0);
    if (count > 0) {
        wide->resize((size_t)count);
        MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, text, (int)n, &(*wide)[0], count);
        return true;
    }
    // Find the first byte that starts no valid character.
    wchar_t unit[4];
    for (size_t at = 0; at < n;) {
        int len = 1;
        while (len <= 4 && at + len <= n &&
               MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, text + at, len, unit, 4) <= 0)
            len++;
        if (len > 4 || at + len > n) {
            fault->code = -1;
            fault->index = at + 1;
            return false;
        }
        at += (size_t)len;
    }
    fault->code = -1;
    fault->index = n;
    return false;
}

// Converts wide text; false when a character has no place in the code page.
bool FromWideExact(UINT codePage, const wchar_t* wide, size_t n, std::string* out)
{
    out->clear();
    if (n == 0)
        return true;
    BOOL usedDefault = FALSE;
    DWORD flags = codePage == CP_UTF8 ? WC_ERR_INVALID_CHARS : WC_NO_BEST_FIT_CHARS;
    BOOL* used = codePage == CP_UTF8 ? nullptr : &usedDefault;
    int count = WideCharToMultiByte(codePage, flags, wide, (int)n, nullptr, 0, nullptr, used);
    if (count <= 0 || usedDefault)
        return false;
    out->resize((size_t)count);
    WideCharToMultiByte(codePage, flags, wide, (int)n, &(*out)[0], count, nullptr, used);
    return !usedDefault;
}

bool FromWide(UINT codePage, const std::wstring& wide, std::string* out, TextFault* fault)
{
    if (FromWideExact(codePage, wide.data(), wide.size(), out))
        return true;
    std::string one;
    size_t character = 0;
    for (size_t i = 0; i < wide.size();) {
        size_t len = (wide[i] >= 0xD800 && wide[i] < 0xDC00 && i + 1 < wide.size()) ? 2 : 1;
        character++;
        if (!FromWideExact(codePage, wide.data() + i, len, &one)) {
            long code = wide[i];
            if (len == 2)
                code = 0x10000 + ((wide[i] - 0xD800) << 10) + (wide[i + 1] - 0xDC00);
            fault->code = code;
            fault->index = character;
            return false;
        }
        i += len;
    }
    fault->code = -1;
    fault->index = 1;
    return false;
}

#else

std::string g_terminalSet;

const char* SetName(TextSet set)
{
    switch (set) {
    case SET_FILE:
        return "CP932";
    case SET_UTF8:
        return "UTF-8";
    case SET_TERMINAL:
        return g_terminalSet.c_str();
    }
    return "CP932";
}

// Converts the whole text; on failure *failAt is the offset of the input
// byte where it stopped.
bool Iconv(const char* from, const char* to, const char* text, size_t n, std::string* out,
           size_t* failAt)
{
    out->clear();
    *failAt = 0;
    // One converter per pair, kept: opening one costs more than a short text.
    // Never destroyed: they stay in use until the process ends.
    static std::map<std::string, iconv_t>& converters = *new std::map<std::string, iconv_t>;
    std::string key = std::string(from) + "\n" + to;
    auto found = converters.find(key);
    iconv_t cd = found != converters.end() ? found->second : iconv_open(to, from);
    if (cd == (iconv_t)-1)
        return false;
    converters[key] = cd;
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    out->resize(n * 2 + 16);
    char* in = (char*)text;
    size_t inLeft = n;
    size_t used = 0;
    bool ok = true;
    for (;;) {
        char* put = &(*out)[0] + used;
        size_t room = out->size() - used;
        size_t r = inLeft > 0 ? iconv(cd, &in, &inLeft, &put, &room) : iconv(cd, nullptr, nullptr, &put, &room);
        used = out->size() - room;
        if (r != (size_t)-1) {
            if (inLeft == 0)
                break;
            continue;
        }
        if (errno == E2BIG) {
            out->resize(out->size() * 2);
            continue;
        }
        ok = false;
        *failAt = (size_t)(in - text);
        break;
    }
    out->resize(ok ? used : 0);
    return ok;
}

#endif

}  // namespace

std::string DescribeFault(const TextFault& fault, TextSet to)
{
    char line[160];
    if (fault.code < 0) {
        snprintf(line, sizeof line, "invalid text at byte %lu", (unsigned long)fault.index);
    } else {
        const char* where = to == SET_FILE ? "code page 932" : "the output's character set";
        snprintf(line, sizeof line, "U+%04lX at character %lu has no place in %s",
                 (unsigned long)fault.code, (unsigned long)fault.index, where);
    }
    return line;
}

void StartTerminal(TerminalMode mode)
{
    g_mode = mode;
#ifndef _WIN32
    // Only the character set matters, and only when text is converted:
    // loading the whole locale costs more than a search of a large library.
    if (mode == TERMINAL_LOCALE)
        setlocale(LC_CTYPE, "");
    g_terminalSet = mode == TERMINAL_UTF8 ? "UTF-8" : nl_langinfo(CODESET);
    // "C" has no Japanese; its set is ASCII, which refuses with a position.
#endif
}

TerminalMode GetTerminalMode()
{
    return g_mode;
}

bool ConvertText(TextSet from, TextSet to, const char* text, size_t n, std::string* out,
                 TextFault* fault)
{
#ifdef _WIN32
    std::wstring wide;
    if (!ToWide(CodePageOf(from), text, n, &wide, fault))
        return false;
    return FromWide(CodePageOf(to), wide, out, fault);
#else
    size_t failAt = 0;
    if (Iconv(SetName(from), SetName(to), text, n, out, &failAt))
        return true;
    // Tell an invalid input from a character the target cannot hold.
    std::string wide;
    size_t badAt = 0;
    if (!Iconv(SetName(from), "UTF-32LE", text, n, &wide, &badAt) && badAt <= failAt) {
        fault->code = -1;
        fault->index = badAt + 1;
        return false;
    }
    std::string before;
    Iconv(SetName(from), "UTF-32LE", text, failAt, &before, &badAt);
    const unsigned char* c = (const unsigned char*)wide.data() + before.size();
    fault->index = before.size() / 4 + 1;
    fault->code = wide.size() >= before.size() + 4
                      ? (long)(c[0] | c[1] << 8 | c[2] << 16 | (unsigned long)c[3] << 24)
                      : -1;
    return false;
#endif
}

bool TakeArguments(int* argc, char*** argv, void (*markFiles)(int, char**, bool*))
{
    g_args.clear();
#ifdef _WIN32
    if (g_mode != TERMINAL_RAW) {
        int count = 0;
        LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count);
        if (!wide)
            return false;
        // The options before the command were taken from the ANSI arguments.
        int skip = count - *argc;
        for (int i = 0; i < count; i++) {
            if (i > 0 && i <= skip)
                continue;
            std::string utf8;
            TextFault fault;
            std::wstring w(wide[i]);
            if (!FromWide(CP_UTF8, w, &utf8, &fault))
                utf8.clear();
            g_args.push_back(utf8);
        }
        LocalFree(wide);
    }
#endif
    if (g_args.empty())
        for (int i = 0; i < *argc; i++)
            g_args.push_back((*argv)[i]);
    if (g_mode != TERMINAL_RAW) {
        std::vector<char*> view;
        for (auto& a : g_args)
            view.push_back(&a[0]);
        std::vector<char> isFile(g_args.size() + 1, 0);
        if (g_args.size() > 2)
            markFiles((int)g_args.size() - 2, view.data() + 2, (bool*)isFile.data() + 2);
        for (size_t i = 1; i < g_args.size(); i++) {
            std::string converted;
            TextFault fault;
            TextSet from = SET_TERMINAL;
            TextSet to = SET_FILE;
#ifdef _WIN32
            from = SET_UTF8;
            // Paths go to the ANSI functions.
            if (isFile[i])
                to = SET_TERMINAL;
            TerminalMode mode = g_mode;
            g_mode = TERMINAL_LOCALE;
#else
            if (isFile[i])
                continue;
#endif
            bool ok = ConvertText(from, to, g_args[i].data(), g_args[i].size(), &converted, &fault);
#ifdef _WIN32
            g_mode = mode;
#endif
            if (!ok) {
                fprintf(stderr, "flp: argument %lu: %s\n", (unsigned long)i,
                        DescribeFault(fault, to).c_str());
                return false;
            }
            g_args[i] = converted;
        }
    }
    g_argPointers.clear();
    for (auto& a : g_args)
        g_argPointers.push_back(&a[0]);
    g_argPointers.push_back(nullptr);
    *argc = (int)g_args.size();
    *argv = g_argPointers.data();
    return true;
}

int PutText(const char* text, size_t n)
{
    if (g_mode == TERMINAL_RAW)
        return fwrite(text, 1, n, stdout) == n ? 0 : -1;
    TextFault fault;
#ifdef _WIN32
    HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    DWORD consoleMode;
    if (GetConsoleMode(out, &consoleMode)) {
        // A console shows Unicode whatever its code page.
        std::wstring wide;
        if (!ToWide(932, text, n, &wide, &fault)) {
            fprintf(stderr, "flp: the file holds %s; flp --raw prints its bytes\n",
                    DescribeFault(fault, SET_TERMINAL).c_str());
            exit(1);
        }
        fflush(stdout);
        DWORD written = 0;
        return wide.empty() || WriteConsoleW(out, wide.data(), (DWORD)wide.size(), &written, nullptr)
                   ? 0
                   : -1;
    }
#endif
    std::string converted;
    if (!ConvertText(SET_FILE, SET_TERMINAL, text, n, &converted, &fault)) {
        fflush(stdout);
        fprintf(stderr, "flp: the file holds text the output cannot show (%s); flp --raw prints its bytes\n",
                DescribeFault(fault, SET_TERMINAL).c_str());
        exit(1);
    }
    return fwrite(converted.data(), 1, converted.size(), stdout) == converted.size() ? 0 : -1;
}

bool TakeInput(const std::string& in, std::string* out, TextFault* fault)
{
    if (g_mode == TERMINAL_RAW) {
        *out = in;
        return true;
    }
    return ConvertText(SET_TERMINAL, SET_FILE, in.data(), in.size(), out, fault);
}
