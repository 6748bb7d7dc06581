#include "setup/setup_core.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>

#include "common/sjis.h"

static std::string Trim(const std::string& s)
{
    size_t a = s.find_first_not_of(" \t\r");
    if (a == std::string::npos)
        return "";
    size_t b = s.find_last_not_of(" \t\r");
    return s.substr(a, b - a + 1);
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
        if (list->size() >= SETUP_MAX_ENTRIES)
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
    if (!IsSafeName(s->title) || !IsSafeName(s->groupName))
        return 0;
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

int InstallationFolder(const char* installLocation, const char* uninstallString, char* installFolder)
{
    if (!installLocation[0])
        return FolderFromUninstallString(uninstallString, installFolder);
    if (!SjisIsComplete(installLocation))
        return 0;
    return JoinPath(installFolder, installLocation, SjisEndsWithBackslash(installLocation) ? "" : "\\");
}

int UninstallFolderOf(const char* programFiles, const char* title, char* folder)
{
    if (!programFiles[0] || !SjisIsComplete(programFiles) || !IsSafeName(title))
        return 0;
    std::string text = programFiles;
    if (SjisEndsWithBackslash(programFiles))
        text.pop_back();
    text += std::string("\\") + title + " Setup\\";
    return CopyBounded(folder, SETUP_PATH_SIZE, text.data(), text.size());
}

int CopyFolderOf(const char* uninstallFolder, uint32_t seed, char* folder)
{
    int n = snprintf(folder, SETUP_PATH_SIZE, "%s%08lx.tmp\\", uninstallFolder, (unsigned long)seed);
    return n > 0 && (size_t)n < SETUP_PATH_SIZE;
}

const char ADMIN_ONLY_FOLDER_SDDL[] = "O:BAD:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;FRFX;;;BU)";

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

int IsContainedName(const char* name)
{
    if (!SjisIsComplete(name))
        return 0;
    for (const char* level = name;;) {
        size_t end = SjisFindChar(level, '\\');
        std::string text(level, end == SJIS_NOT_FOUND ? strlen(level) : end);
        if (!IsSafeName(text.c_str()))
            return 0;
        if (end == SJIS_NOT_FOUND)
            return 1;
        level += end + 1;
    }
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
    if (!IsContainedName(line) || !IsContainedName(name))
        return 0;
    strcpy(entry->source, line);
    entry->nameStart = strlen(base);
    return JoinPath(entry->destination, base, name);
}

int ParseGroupEntry(const char* text, const char* installFolder, char* name, char* target, char* arguments)
{
    size_t comma = SjisFindChar(text, ',');
    if (comma == SJIS_NOT_FOUND || !CopyBounded(name, SETUP_PATH_SIZE, text, comma) || !IsSafeName(name))
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

// True when text begins with word, ASCII letters compared without regard
// to case, and word is followed by the end or a "\".
static int IsKeyLevel(const char* text, const char* word)
{
    size_t n = strlen(word);
    return strncasecmp(text, word, n) == 0 && (text[n] == '\0' || text[n] == '\\');
}

// Keys below Software that belong to the system or that many programs
// share: the system's own, the data sources of every ODBC driver, the
// low-integrity hive of every program, the registrations of every Python,
// Java, browser plug-in and graphics driver, and Wine's settings.
const char* const SHARED_REG_KEYS[] = {
    "Microsoft", "Classes", "Policies",  "Clients", "RegisteredApplications", "Wow6432Node", "ODBC",
    "AppDataLow", "Python", "JavaSoft", "MozillaPlugins", "Khronos", "Wine",
};
const size_t SHARED_REG_KEY_COUNT = sizeof SHARED_REG_KEYS / sizeof SHARED_REG_KEYS[0];

int ParseRegEntry(const char* value, RegRoot* root, const char** subkey)
{
    static const struct {
        const char* name;
        RegRoot root;
    } roots[] = {
        {"HKEY_CURRENT_USER", REG_ROOT_CURRENT_USER},
        {"HKEY_LOCAL_MACHINE", REG_ROOT_LOCAL_MACHINE},
    };
    for (const auto& r : roots) {
        size_t n = strlen(r.name);
        if (strncmp(value, r.name, n) != 0 || value[n] != '\\')
            continue;
        const char* key = value + n + 1;
        // Every level named: an empty one would make the text name a key
        // other than the one it seems to.
        size_t levels = 1, levelStart = 0;
        for (size_t i = 0;; i++) {
            if (key[i] == '\\' || key[i] == '\0') {
                if (i == levelStart)
                    return 0;
                if (key[i] == '\0')
                    break;
                levels++;
                levelStart = i + 1;
            } else if (IsSjisLeadByte((unsigned char)key[i]) && key[i + 1]) {
                i++;
            }
        }
        if (levels < 2 || !IsKeyLevel(key, "Software"))
            return 0;
        const char* below = key + strlen("Software") + 1;
        // The 32-bit view repeats Software one level down.
        if (IsKeyLevel(below, "Wow6432Node")) {
            if (levels < 3)
                return 0;
            below += strlen("Wow6432Node") + 1;
        }
        for (size_t i = 0; i < SHARED_REG_KEY_COUNT; i++) {
            if (IsKeyLevel(below, SHARED_REG_KEYS[i]))
                return 0;
        }
        *root = r.root;
        *subkey = key;
        return 1;
    }
    return 0;
}

int IsGidFileName(const char* name)
{
    size_t dot = SjisFindChar(name, '.');
    return dot != SJIS_NOT_FOUND && strcasecmp(name + dot + 1, "gid") == 0;
}

int NormalizeFolderText(const char* path, char* out)
{
    if (!SjisIsComplete(path))
        return 0;
    std::string text = path;
    for (size_t i = 0; i < text.size(); i++) {
        if (IsSjisLeadByte((unsigned char)text[i]))
            i++;
        else if (text[i] == '/')
            text[i] = '\\';
    }
    // The root, which ".." never leaves: "X:\" or "\\server\share\".
    std::string root;
    size_t at;
    if (isalpha((unsigned char)text[0]) && text[1] == ':' && text[2] == '\\') {
        root = text.substr(0, 3);
        at = 3;
    } else if (text.compare(0, 2, "\\\\") == 0) {
        size_t server = SjisFindChar(text.c_str() + 2, '\\');
        if (server == SJIS_NOT_FOUND || server == 0)
            return 0;
        size_t share = SjisFindChar(text.c_str() + 3 + server, '\\');
        size_t end = share == SJIS_NOT_FOUND ? text.size() : 3 + server + share;
        if (end == 3 + server)
            return 0;
        root = text.substr(0, end) + "\\";
        at = end;
    } else {
        return 0;
    }
    std::vector<std::string> levels;
    while (at < text.size()) {
        size_t next = SjisFindChar(text.c_str() + at, '\\');
        size_t end = next == SJIS_NOT_FOUND ? text.size() : at + next;
        std::string level = text.substr(at, end - at);
        at = end + 1;
        level.erase(SjisTrimmedLength(level.data(), level.size(), " "));
        if (level == "..") {
            if (!levels.empty())
                levels.pop_back();
            continue;
        }
        level.erase(SjisTrimmedLength(level.data(), level.size(), ". "));
        if (!level.empty())
            levels.push_back(level);
    }
    std::string result = root;
    for (const std::string& level : levels)
        result += level + "\\";
    return CopyBounded(out, SETUP_PATH_SIZE, result.data(), result.size());
}

int SameFolder(const char* a, const char* b)
{
    char na[SETUP_PATH_SIZE], nb[SETUP_PATH_SIZE];
    return NormalizeFolderText(a, na) && NormalizeFolderText(b, nb) && strlen(na) == strlen(nb) &&
           SjisStartsWithNoCase(na, nb);
}

int IsBelowFolder(const char* path, const char* folder)
{
    char np[SETUP_PATH_SIZE], nf[SETUP_PATH_SIZE];
    return NormalizeFolderText(path, np) && NormalizeFolderText(folder, nf) && strlen(np) > strlen(nf) &&
           SjisStartsWithNoCase(np, nf);
}

int MayCleanFolder(const char* folder, const char* const* systemFolders, size_t count)
{
    char f[SETUP_PATH_SIZE];
    if (!NormalizeFolderText(folder, f) || !HasDrive(f) || IsDriveRoot(f))
        return 0;
    for (size_t i = 0; i < count; i++) {
        char system[SETUP_PATH_SIZE];
        if (systemFolders[i][0] && NormalizeFolderText(systemFolders[i], system) && SjisStartsWithNoCase(system, f))
            return 0;
    }
    return 1;
}

// The length of the root of path: 3 for "X:\\", the length of
// "\\\\server\\share\\" for a share; 0 for anything else.
static size_t RootLength(const char* path)
{
    if (HasDrive(path))
        return 3;
    if (strncmp(path, "\\\\", 2) != 0)
        return 0;
    size_t server = SjisFindChar(path + 2, '\\');
    if (server == SJIS_NOT_FOUND || server == 0)
        return 0;
    size_t share = SjisFindChar(path + 3 + server, '\\');
    if (share == 0)
        return 0;
    return share == SJIS_NOT_FOUND ? strlen(path) : 3 + server + share + 1;
}

int NoReparsePointAlong(const char* path, const PathQuery& query)
{
    size_t root = RootLength(path);
    if (root == 0 || !SjisIsComplete(path))
        return 0;
    for (size_t i = root;; i++) {
        if (path[i] == '\\' || path[i] == '\0') {
            if (i > root && path[i - 1] != '\\') {
                std::string level(path, i);
                uint32_t attributes = 0;
                int found = query.attributes(query.context, level.c_str(), &attributes);
                if (found < 0 || (found > 0 && (attributes & PATH_ATTRIBUTE_REPARSE_POINT)))
                    return 0;
                if (found == 0)
                    return 1;
            }
            if (path[i] == '\0')
                return 1;
        } else if (IsSjisLeadByte((unsigned char)path[i]) && path[i + 1]) {
            i++;
        }
    }
}

int IsSafeName(const char* name)
{
    if (!name[0] || !SjisIsComplete(name) || SjisFindChar(name, '\\') != SJIS_NOT_FOUND ||
        strpbrk(name, "/:") != nullptr)
        return 0;
    int other = 0;
    for (const unsigned char* c = (const unsigned char*)name; *c; c++) {
        if (*c < 0x20 || *c == 0x7F)
            return 0;
        other |= *c != '.' && *c != ' ';
    }
    return other;
}

int ExecCommandLine(const char* installFolder, const char* entry, char* out, size_t size)
{
    std::string program, rest;
    if (entry[0] == '"') {
        const char* close = strchr(entry + 1, '"');
        if (!close)
            return 0;
        program.assign(entry + 1, close - entry - 1);
        rest = close + 1;
    } else {
        // A space is never the second byte of a double-byte character.
        const char* space = strchr(entry, ' ');
        program.assign(entry, space ? space - entry : strlen(entry));
        rest = space ? space : "";
    }
    if (program.empty())
        return 0;
    std::string line = std::string("\"") + installFolder + program + "\"" + rest;
    return CopyBounded(out, size, line.data(), line.size());
}

std::string FormatCreatedList(const CreatedList& list)
{
    std::string text = "; created by this setup; its uninstall removes these and nothing else\r\n";
    for (const std::string& f : list.files)
        text += "F " + f + "\r\n";
    for (const std::string& d : list.folders)
        text += "D " + d + "\r\n";
    return text;
}

int ParseCreatedList(const std::string& text, CreatedList* list)
{
    list->files.clear();
    list->folders.clear();
    list->keys.clear();
    list->refused = 0;
    if (text.size() > CREATED_LIST_LIMIT)
        return 0;
    for (size_t at = 0; at < text.size();) {
        size_t end = text.find('\n', at);
        if (end == std::string::npos)
            end = text.size();
        std::string line = text.substr(at, end - at);
        at = end + 1;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.empty() || line[0] == ';')
            continue;
        std::string path = line.size() > 2 ? line.substr(2) : "";
        bool folder = line[0] == 'D';
        bool ok = (line[0] == 'F' || folder) && line[1] == ' ' && path.size() < SETUP_PATH_SIZE &&
                  HasDrive(path.c_str()) && SjisIsComplete(path.c_str()) &&
                  std::find_if(path.begin(), path.end(), [](char c) { return (unsigned char)c < 0x20; }) == path.end() &&
                  (SjisEndsWithBackslash(path.c_str()) != 0) == folder;
        if (ok)
            AddCreated(list, folder ? CREATED_FOLDER : CREATED_FILE, path.c_str());
        else
            list->refused++;
    }
    return 1;
}

int IsListedFileAllowed(const char* path, const char* const* bases, size_t count)
{
    for (size_t i = 0; i < count; i++) {
        size_t n = strlen(bases[i]);
        if (n > 0 && SjisEndsWithBackslash(bases[i]) && SjisStartsWithNoCase(path, bases[i]) && path[n] &&
            IsContainedName(path + n))
            return 1;
    }
    return 0;
}

// The key of a path in a CreatedList: its kind, then the path normalised
// with its ASCII letters in capitals, so that equal keys are SameFolder.
static std::string CreatedKey(CreatedKind kind, const char* path)
{
    char normal[SETUP_PATH_SIZE];
    std::string key = kind == CREATED_FILE ? "F" : "D";
    key += NormalizeFolderText(path, normal) ? normal : path;
    for (size_t i = 1; i < key.size(); i++) {
        if (IsSjisLeadByte((unsigned char)key[i]))
            i++;
        else
            key[i] = (char)toupper((unsigned char)key[i]);
    }
    return key;
}

int HoldsPath(const CreatedList& list, CreatedKind kind, const char* path)
{
    return list.keys.count(CreatedKey(kind, path)) != 0;
}

void AddCreated(CreatedList* list, CreatedKind kind, const char* path)
{
    if (list->keys.insert(CreatedKey(kind, path)).second)
        (kind == CREATED_FILE ? list->files : list->folders).push_back(path);
}

int CreatedListNameOf(const char* programFileName, char* listName)
{
    if (!SettingsFileNameOf(programFileName, listName))
        return 0;
    memcpy(listName + strlen(listName) - 3, "LST", 3);
    return 1;
}

uint64_t FreeSpaceTenth(uint64_t freeClusters, uint64_t sectorsPerCluster, uint64_t bytesPerSector)
{
    return freeClusters / 10 * sectorsPerCluster * bytesPerSector;
}

int RestartDeletionUsesWininit(uint32_t platform)
{
    const uint32_t PLATFORM_WINDOWS_9X = 1;
    return platform == PLATFORM_WINDOWS_9X;
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

int BuildWininitFile(const std::string& old, const char* shortPath, std::string* text)
{
    std::string others, lines;  // lines: the [Rename] lines, each NUL-terminated
    bool inRename = false;
    size_t size = old.size();
    if (size > 0 && old[size - 1] == 0x1A)
        size--;
    for (size_t at = 0; at < size;) {
        size_t end = old.find('\n', at);
        if (end == std::string::npos || end > size)
            end = size;
        std::string line = old.substr(at, end - at);
        at = end + 1;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        std::string trimmed = Trim(line);
        if (!trimmed.empty() && trimmed[0] == '[') {
            size_t close = trimmed.find(']');
            inRename = close != std::string::npos && strcasecmp(Trim(trimmed.substr(1, close - 1)).c_str(), "Rename") == 0;
            if (inRename)
                continue;
        }
        if (!inRename) {
            others += line + "\r\n";
        } else if (!trimmed.empty() && trimmed[0] != ';' && trimmed.find('\0') == std::string::npos) {
            lines += trimmed;
            lines += '\0';
        }
        if (lines.size() > WININIT_TEXT_LIMIT)
            return 0;
    }
    lines += '\0';
    std::string section;
    if (!BuildWininitText(lines.data(), lines.size(), shortPath, &section))
        return 0;
    *text = others + section;
    return 1;
}

// --- INI text in memory ---------------------------------------------------

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
