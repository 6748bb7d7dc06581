#include "setup/setup_core.h"

#include <cctype>
#include <cstdio>
#include <cstring>

#include "common/sjis.h"

// Entry lists longer than this are refused: the progress bar counts in
// 16 bits, and no product needs more.
static const size_t MAX_ENTRIES = 10000;

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

// False when text ends with a lone lead byte, which would swallow a "\"
// put after it.
static int SjisIsComplete(const char* text)
{
    for (size_t i = 0; text[i]; i++) {
        if (IsSjisLeadByte((unsigned char)text[i]) && !text[++i])
            return 0;
    }
    return 1;
}

int SjisEndsWithBackslash(const char* text)
{
    size_t n = strlen(text);
    return n > 0 && SjisFindLastChar(text, '\\') == n - 1;
}

// Copies a + b into out (SETUP_PATH_SIZE bytes); false when it does not fit.
static int JoinPath(char* out, const char* a, const char* b)
{
    size_t na = strlen(a), nb = strlen(b);
    if (na + nb >= SETUP_PATH_SIZE)
        return 0;
    memmove(out, a, na);
    memcpy(out + na, b, nb + 1);
    return 1;
}

static int CopyBounded(char* out, size_t size, const char* text, size_t length)
{
    if (length >= size)
        return 0;
    memmove(out, text, length);
    out[length] = '\0';
    return 1;
}

// Reads one value into out (size bytes). Returns its length, or -1 when it
// does not fit: the reader is given one byte more than out, so a value that
// fills it was too long.
static long ReadValue(const ProfileReader& reader, const char* section, const char* key, char* out,
                      size_t size)
{
    std::vector<char> buffer(size + 1, '\0');
    size_t n = reader.read(reader.context, section, key, buffer.data(), buffer.size());
    if (n >= size)
        return -1;
    n = strnlen(buffer.data(), n);  // a NUL inside the value ends it
    memcpy(out, buffer.data(), n);
    out[n] = '\0';
    return (long)n;
}

// Reads the numbered keys 1, 2, ... of section until one is missing or empty
// (or, with needComma, has no comma). False when one is too long or there
// are too many.
static int ReadList(const ProfileReader& reader, const char* section, int needComma,
                    std::vector<std::string>* list)
{
    list->clear();
    char key[16];
    char value[SETUP_PATH_SIZE];
    for (unsigned n = 1;; n++) {
        snprintf(key, sizeof key, "%u", n);
        long length = ReadValue(reader, section, key, value, sizeof value);
        if (length < 0)
            return 0;
        if (length == 0 || (needComma && SjisFindChar(value, ',') == SJIS_NOT_FOUND))
            return 1;
        if (list->size() >= MAX_ENTRIES)
            return 0;
        list->push_back(value);
    }
}

int LoadSetupSettings(const ProfileReader& reader, SetupSettings* s)
{
    char flag[SETUP_FLAG_SIZE];
    if (ReadValue(reader, "Install", "Title", s->title, sizeof s->title) <= 0 ||
        ReadValue(reader, "Install", "SubTitle", s->subTitle, sizeof s->subTitle) < 0 ||
        ReadValue(reader, "Install", "Folder", s->folder, sizeof s->folder) <= 0 ||
        ReadValue(reader, "Install", "ClassName", s->className, sizeof s->className) < 0)
        return 0;
    int* flags[] = {&s->tsr, &s->noUninst, &s->noDesktop};
    const char* names[] = {"TSR", "NoUninst", "NoDesktop"};
    for (int i = 0; i < 3; i++) {
        if (ReadValue(reader, "Install", names[i], flag, sizeof flag) < 0)
            return 0;
        *flags[i] = flag[0] == '1';
    }
    long n = ReadValue(reader, "Group", "GroupName", s->groupName, sizeof s->groupName);
    if (n < 0)
        return 0;
    if (n == 0)
        strcpy(s->groupName, s->title);
    return ReadList(reader, "Install", 0, &s->installEntries) && ReadList(reader, "Group", 1, &s->groupEntries) &&
           ReadList(reader, "Exec", 0, &s->execEntries) && ReadList(reader, "Reg", 0, &s->regEntries);
}

SetupMode SetupModeOf(const char* commandLine, const char** path)
{
    const char* c = commandLine;
    if (*c == '/')
        c++;
    *path = nullptr;
    if (*c == 'r' || *c == 'R')
        return MODE_UNINSTALL_REQUEST;
    if (*c == 'x') {
        *path = c[1] ? c + 2 : c + 1;
        return MODE_UNINSTALL_RUN;
    }
    return MODE_INSTALL;
}

int OsAllowsSetup(uint32_t platform, uint32_t major)
{
    const uint32_t PLATFORM_WIN32S = 0, PLATFORM_NT = 2;
    return platform != PLATFORM_WIN32S && !(platform == PLATFORM_NT && major == 3);
}

int SplitModulePath(const char* path, char* folder, char* fileName)
{
    size_t slash = SjisFindLastChar(path, '\\');
    size_t cut = slash == SJIS_NOT_FOUND ? 0 : slash + 1;
    return CopyBounded(folder, SETUP_PATH_SIZE, path, cut) &&
           CopyBounded(fileName, SETUP_PATH_SIZE, path + cut, strlen(path + cut));
}

int SettingsFileNameOf(const char* programFileName, char* settingsName)
{
    size_t n = strlen(programFileName);
    size_t keep = n >= 3 ? n - 3 : 0;
    if (keep + 4 > SETUP_PATH_SIZE)
        return 0;
    memcpy(settingsName, programFileName, keep);
    memcpy(settingsName + keep, "INF", 4);
    return 1;
}

int DefaultInstallFolder(const char* windowsDir, const char* folder, char* installFolder)
{
    char base[SETUP_PATH_SIZE];
    if (!SjisIsComplete(folder))
        return 0;
    if (windowsDir[0] && windowsDir[1] == ':')
        snprintf(base, sizeof base, "%.2s\\Program Files\\", windowsDir);
    else
        strcpy(base, "c:\\");
    if (folder[0] == '\\') {
        base[3] = '\0';
        folder++;
    }
    return JoinPath(installFolder, base, folder) && JoinPath(installFolder, installFolder, "\\");
}

int FolderFromUninstallString(const char* value, char* installFolder)
{
    const char* text = value;
    char end = ' ';
    if (*text == '"') {
        text++;
        end = '"';
    }
    size_t at = SjisFindChar(text, end);
    if (at == SJIS_NOT_FOUND)
        return 0;
    std::string program(text, at);
    size_t slash = SjisFindLastChar(program.c_str(), '\\');
    if (slash == SJIS_NOT_FOUND)
        return 0;
    return CopyBounded(installFolder, SETUP_PATH_SIZE, text, slash + 1);
}

FolderCheck CheckInstallFolder(const char* text, char* installFolder)
{
    std::string folder = text;
    if (!SjisIsComplete(text))
        return FOLDER_NO_DRIVE;
    if (!SjisEndsWithBackslash(text))
        folder += '\\';
    if (folder.size() >= SETUP_PATH_SIZE)
        return FOLDER_TOO_LONG;
    strcpy(installFolder, folder.c_str());
    if (folder.size() <= 2)
        return FOLDER_ROOT;
    if (folder[1] != ':' || folder[2] != '\\')
        return FOLDER_NO_DRIVE;
    return FOLDER_OK;
}

static int HasDrive(const char* path)
{
    return isalpha((unsigned char)path[0]) && path[1] == ':' && path[2] == '\\';
}

int IsDriveRoot(const char* path)
{
    return HasDrive(path) && path[3] == '\0';
}

std::vector<size_t> FolderChainLengths(const char* path)
{
    std::vector<size_t> lengths;
    if (!HasDrive(path)) {
        lengths.push_back(strlen(path));
        return lengths;
    }
    for (size_t i = 3; path[i]; i++) {
        if (path[i] == '\\')
            lengths.push_back(i + 1);
        else if (IsSjisLeadByte((unsigned char)path[i]) && path[i + 1])
            i++;
    }
    return lengths;
}

int ParseInstallEntry(const char* text, const char* installFolder, const char* windowsDir,
                      const char* systemDir, InstallEntry* entry)
{
    char line[SETUP_PATH_SIZE];
    if (!CopyBounded(line, sizeof line, text, strlen(text)))
        return 0;
    size_t n = strlen(line);
    entry->noOverwrite = n >= 2 && strcmp(line + n - 2, "/e") == 0;
    if (entry->noOverwrite)
        line[n - 2] = '\0';
    entry->outsideSystemDir = 1;

    size_t comma = SjisFindChar(line, ',');
    const char* name = line;
    char base[SETUP_PATH_SIZE];
    strcpy(base, installFolder);
    if (comma != SJIS_NOT_FOUND) {
        line[comma] = '\0';
        name = line + comma + 1;
        if (name[0] && name[1] == '!') {
            char kind = name[0];
            if (kind == 'W' || kind == 'w') {
                if (!JoinPath(base, windowsDir, "\\"))
                    return 0;
            } else if (kind == 'S' || kind == 's') {
                if (!JoinPath(base, systemDir, "\\"))
                    return 0;
                entry->outsideSystemDir = 0;
            }
            name += 2;
        }
    }
    strcpy(entry->source, line);
    entry->nameStart = strlen(base);
    return JoinPath(entry->destination, base, name);
}

int ParseGroupEntry(const char* text, const char* installFolder, char* name, char* target, char* arguments)
{
    size_t comma = SjisFindChar(text, ',');
    if (comma == SJIS_NOT_FOUND || !CopyBounded(name, SETUP_PATH_SIZE, text, comma))
        return 0;
    // The arguments are cut off before the folder is put in front, so a
    // comma in the install folder is never taken for their start.
    const char* rest = text + comma + 1;
    size_t second = SjisFindChar(rest, ',');
    std::string file(rest, second == SJIS_NOT_FOUND ? strlen(rest) : second);
    arguments[0] = '\0';
    if (second != SJIS_NOT_FOUND && !CopyBounded(arguments, SETUP_PATH_SIZE, rest + second + 1, strlen(rest + second + 1)))
        return 0;
    return JoinPath(target, installFolder, file.c_str());
}

int SplitClassName(const char* value, char* className, char* title, int* hasTitle)
{
    size_t comma = SjisFindChar(value, ',');
    *hasTitle = comma != SJIS_NOT_FOUND;
    title[0] = '\0';
    if (!*hasTitle)
        return CopyBounded(className, SETUP_PATH_SIZE, value, strlen(value));
    return CopyBounded(className, SETUP_PATH_SIZE, value, comma) &&
           CopyBounded(title, SETUP_PATH_SIZE, value + comma + 1, strlen(value + comma + 1));
}

int ParseRegEntry(const char* value, RegRoot* root, const char** subkey)
{
    static const struct {
        const char* name;
        RegRoot root;
    } roots[] = {
        {"HKEY_CURRENT_USER", REG_ROOT_CURRENT_USER},
        {"HKEY_LOCAL_MACHINE", REG_ROOT_LOCAL_MACHINE},
        {"HKEY_CLASSES_ROOT", REG_ROOT_CLASSES_ROOT},
    };
    for (const auto& r : roots) {
        size_t n = strlen(r.name);
        if (strncmp(value, r.name, n) != 0)
            continue;
        // One separator character follows the root; an empty subkey, or one
        // that starts with another "\", would name the whole hive.
        if (value[n] == '\0' || value[n + 1] == '\0' || value[n + 1] == '\\')
            return 0;
        *root = r.root;
        *subkey = value + n + 1;
        return 1;
    }
    return 0;
}

int IsGidFileName(const char* name)
{
    size_t dot = SjisFindChar(name, '.');
    return dot != SJIS_NOT_FOUND && strcasecmp(name + dot + 1, "gid") == 0;
}

// True when path (with a trailing "\") begins with prefix, letters compared
// without regard to case outside double-byte characters.
static int SjisStartsWithNoCase(const std::string& path, const std::string& prefix)
{
    if (prefix.size() > path.size())
        return 0;
    for (size_t i = 0; i < prefix.size(); i++) {
        unsigned char a = (unsigned char)path[i], b = (unsigned char)prefix[i];
        if (IsSjisLeadByte(a)) {
            if (a != b || i + 1 >= prefix.size() || path[i + 1] != prefix[i + 1])
                return 0;
            i++;
        } else if (tolower(a) != tolower(b)) {
            return 0;
        }
    }
    return 1;
}

static std::string WithBackslash(const char* folder)
{
    std::string s = folder;
    if (!SjisEndsWithBackslash(folder))
        s += '\\';
    return s;
}

int MayCleanFolder(const char* folder, const char* const* systemFolders, size_t count)
{
    std::string f = WithBackslash(folder);
    if (!HasDrive(f.c_str()) || f.size() <= 3)
        return 0;
    for (size_t i = 0; i < count; i++) {
        if (systemFolders[i][0] && SjisStartsWithNoCase(WithBackslash(systemFolders[i]), f))
            return 0;
    }
    return 1;
}

uint64_t FreeSpaceTenth(uint64_t freeClusters, uint64_t sectorsPerCluster, uint64_t bytesPerSector)
{
    return freeClusters / 10 * sectorsPerCluster * bytesPerSector;
}

int BuildWininitText(const char* lines, size_t size, const char* shortPath, std::string* text)
{
    *text = "[Rename]\r\n";
    for (size_t at = 0; at < size && lines[at];) {
        size_t length = strnlen(lines + at, size - at);
        text->append(lines + at, length);
        *text += "\r\n";
        at += length + 1;
        if (text->size() > WININIT_TEXT_LIMIT)
            return 0;
    }
    *text += std::string("NUL=") + shortPath + "\r\n";
    return text->size() <= WININIT_TEXT_LIMIT;
}

int AppendWininitText(const char* path, const std::string& text)
{
    FILE* f = fopen(path, "r+b");
    if (!f)
        f = fopen(path, "w+b");  // 9x renames the file away once it is done
    if (!f)
        return 0;
    int ok = fseek(f, 0, SEEK_END) == 0;
    if (ok && ftell(f) > 0) {
        ok = fseek(f, -1, SEEK_END) == 0;
        int last = ok ? fgetc(f) : EOF;
        ok = ok && fseek(f, last == 0x1A ? -1 : 0, SEEK_END) == 0;
    }
    ok = ok && fwrite(text.data(), 1, text.size(), f) == text.size();
    return fclose(f) == 0 && ok;
}

// --- INI text in memory ---------------------------------------------------

static std::string Trim(const std::string& s)
{
    size_t a = s.find_first_not_of(" \t\r");
    if (a == std::string::npos)
        return "";
    size_t b = s.find_last_not_of(" \t\r");
    return s.substr(a, b - a + 1);
}

size_t ReadIniText(void* context, const char* section, const char* key, char* buffer, size_t size)
{
    if (size == 0)
        return 0;
    const std::string& bytes = ((IniText*)context)->bytes;
    std::string keys;  // the key list, each name NUL-terminated
    bool inSection = false;
    for (size_t at = 0; at < bytes.size();) {
        size_t end = bytes.find('\n', at);
        if (end == std::string::npos)
            end = bytes.size();
        std::string line = Trim(bytes.substr(at, end - at));
        at = end + 1;
        if (!line.empty() && line[0] == '[') {
            size_t close = line.find(']');
            inSection = close != std::string::npos &&
                        strcasecmp(Trim(line.substr(1, close - 1)).c_str(), section) == 0;
            continue;
        }
        size_t eq = line.find('=');
        if (!inSection || eq == std::string::npos)
            continue;
        std::string name = Trim(line.substr(0, eq));
        if (key == nullptr) {
            keys += name;
            keys += '\0';
        } else if (strcasecmp(name.c_str(), key) == 0) {
            std::string value = Trim(line.substr(eq + 1));
            size_t n = value.size() < size - 1 ? value.size() : size - 1;
            memcpy(buffer, value.data(), n);
            buffer[n] = '\0';
            return n;
        }
    }
    if (key != nullptr) {
        buffer[0] = '\0';
        return 0;
    }
    // Whole names only, then the list's extra NUL.
    size_t n = 0;
    for (size_t at = 0; at < keys.size();) {
        size_t len = strlen(keys.c_str() + at) + 1;
        if (n + len + 1 > size)
            break;
        memcpy(buffer + n, keys.data() + at, len);
        n += len;
        at += len;
    }
    buffer[n] = '\0';
    return n;
}
