// Benchmark of the phrase library: generates libraries of Japanese phrases
// in a temporary folder and prints each figure as a ratio against a
// baseline measured in the same run (medians of several repetitions).
//
// usage: bench_library [--keep] [FLP [BEFORE]]
//   FLP: the flp program (default: the one of this build);
//   BEFORE: an earlier flp, whose export, import and searches are timed
//   beside FLP's in the same run;
//   --keep: leave the generated libraries in place for a closer look.
//
// Run by hand; it prints figures and never fails on them.
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include "common/safe_file.h"
#include "library/kana_fold.h"
#include "library/label_tree.h"
#include "library/library_files.h"
#include "library/phrase_format.h"
#include "library/phrase_reader.h"
#include "library/phrase_rewrite.h"
#include "library/phrase_search.h"
#include "library/phrase_token.h"
#include "library/phrase_walker.h"

namespace {

const int REPETITIONS = 11;  // the machines are shared: medians of enough runs
const size_t COPY_BUFFER_SIZE = 64 * 1024;

// Words the phrases are made of (Shift-JIS: this file is compiled with the
// Shift-JIS execution character set).
const char* const kWords[] = {
    "お世話になっております", "よろしくお願いいたします", "会議", "資料", "確認",
    "ご連絡", "ありがとうございます", "本日", "明日", "来週", "打ち合わせ", "東京",
    "大阪", "名古屋", "福岡", "見積書", "請求書", "納品", "ご査収ください", "担当",
    "変更", "予定", "申し訳ございません", "お手数ですが", "添付", "ファイル", "件名",
    "日程", "調整", "参加", "欠席", "承知しました", "よろしいでしょうか", "ご検討",
    "締め切り", "金曜日", "月曜日", "午前", "午後", "会議室",
};
const int WORD_COUNT = (int)(sizeof kWords / sizeof kWords[0]);
const char* const kSeparators[] = {"、", "。", "　", "", "の", "を", "に", "は"};
const char kSearchText[] = "会議 資料";
// The forgiving search: a word of the library in half-width katakana.
const char kFoldText[] = "会議 ﾌｧｲﾙ";
// One that no phrase can be told from without folding it.
const char kKanaText[] = "ありがとう";
const char kGrepWord[] = "会議";

// An earlier flp to time beside this one (empty: none).
std::string g_before;

struct Random {
    uint64_t state;
};

uint32_t Next(Random* r)
{
    r->state ^= r->state << 13;
    r->state ^= r->state >> 7;
    r->state ^= r->state << 17;
    return (uint32_t)(r->state >> 16);
}

struct Shape {
    int top;             // labels at the top level
    int middle;          // labels in each top-level label
    int leaves;          // labels in each middle label
    long phrases;        // phrases, spread over the leaves
    bool shortPhrases;   // one line of one word each, not 2 to 4 words on 1 to 4 lines
};

struct Generated {
    std::string path;
    long long bytes;
    long labels;
    long phrases;
    long multiLine;
    std::vector<std::string> firstPath;  // names of the first leaf
    std::vector<std::string> storePath;  // names of a leaf in the middle
    std::vector<std::string> lastPath;   // names of the last leaf
};

// Writes a phrase; returns true when it has several lines.
bool PutPhraseText(FormatSink* out, Random* r, int level, bool shortPhrase)
{
    int lines = !shortPhrase && Next(r) % 8 == 0 ? 2 + Next(r) % 3 : 1;
    std::string text;
    for (int line = 0; line < lines; line++) {
        if (line > 0)
            text += "\r\n";
        int words = shortPhrase ? 1 : 2 + Next(r) % 3;
        for (int w = 0; w < words; w++) {
            text += kWords[Next(r) % WORD_COUNT];
            text += kSeparators[Next(r) % 8];
        }
    }
    PutPhrase(out, level, text.data(), text.size());
    return lines > 1;
}

// Writes a library of the given shape in the writers' layout.
Generated GenerateLibrary(const std::string& path, const Shape& shape, uint64_t seed)
{
    Generated g{};  // counts from 0
    g.path = path;
    FILE* f = fopen(path.c_str(), "wb");
    if (!f) {
        perror(path.c_str());
        exit(1);
    }
    Random r = {seed};
    long leafCount = (long)shape.top * shape.middle * shape.leaves;
    long perLeaf = shape.phrases / leafCount;
    long extra = shape.phrases % leafCount;
    long leafIndex = 0;
    char name[64];
    static char buffer[64 * 1024];
    FormatSink out;
    StartFormatSink(&out, buffer, sizeof buffer, f, DrainToFile);
    PutLabelHead(&out, 0, "root", 4);
    for (int t = 0; t < shape.top; t++) {
        snprintf(name, sizeof name, "分類%02d", t + 1);
        std::string top = name;
        PutLabelHead(&out, 1, name, strlen(name));
        for (int m = 0; m < shape.middle; m++) {
            snprintf(name, sizeof name, "項目%02d", m + 1);
            std::string middle = name;
            PutLabelHead(&out, 2, name, strlen(name));
            for (int l = 0; l < shape.leaves; l++, leafIndex++) {
                snprintf(name, sizeof name, "定型文%03d", l + 1);
                PutLabelHead(&out, 3, name, strlen(name));
                long n = perLeaf + (leafIndex < extra ? 1 : 0);
                for (long p = 0; p < n; p++)
                    g.multiLine += PutPhraseText(&out, &r, 4, shape.shortPhrases);
                g.phrases += n;
                PutLabelClose(&out, 3);
                if (leafIndex == 0)
                    g.firstPath = {top, middle, name};
                if (leafIndex == leafCount / 2)
                    g.storePath = {top, middle, name};
                if (leafIndex == leafCount - 1)
                    g.lastPath = {top, middle, name};
            }
            PutLabelClose(&out, 2);
        }
        PutLabelClose(&out, 1);
    }
    PutLabelClose(&out, 0);
    bool written = FlushFormatSink(&out);
    if (fclose(f) != 0 || !written) {
        perror(path.c_str());
        exit(1);
    }
    g.labels = shape.top + (long)shape.top * shape.middle + leafCount;
    struct stat st;
    stat(path.c_str(), &st);
    g.bytes = st.st_size;
    return g;
}

double Now()
{
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return ts.tv_sec + ts.tv_nsec / 1e9;
}

double Median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

template <typename F>
double Time(F f)
{
    std::vector<double> runs;
    for (int i = 0; i < REPETITIONS; i++) {
        double start = Now();
        f();
        runs.push_back(Now() - start);
    }
    return Median(runs);
}

void ReadOnce(const std::string& path)
{
    static char buffer[COPY_BUFFER_SIZE];
    FILE* f = fopen(path.c_str(), "rb");
    if (!f)
        exit(1);
    while (fread(buffer, 1, sizeof buffer, f) > 0) {
    }
    fclose(f);
}

// A plain copy; with flush, forced to the disk as the rewrite's files are.
void CopyOnce(const std::string& from, const std::string& to, bool flush)
{
    static char buffer[COPY_BUFFER_SIZE];
    FILE* in = fopen(from.c_str(), "rb");
    FILE* out = fopen(to.c_str(), "wb");
    if (!in || !out)
        exit(1);
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, in)) > 0)
        fwrite(buffer, 1, n, out);
    fclose(in);
    fflush(out);
    if (flush)
        fsync(fileno(out));
    fclose(out);
}

LabelNode* FindPath(LabelNode* root, const std::vector<std::string>& names)
{
    std::vector<const char*> p;
    for (const std::string& n : names)
        p.push_back(n.c_str());
    return FindLabelByNames(root, p.data(), (int)p.size());
}

struct Texts {
    std::vector<std::string> items;
};

int AddText(void* context, const char* text, size_t length)
{
    ((Texts*)context)->items.emplace_back(text, length);
    return 0;
}

// Phrases held folded, as a filter could hold them to match at each key:
// one block of texts, and where each starts (the last entry: the end).
struct FoldedPhrases {
    std::string bytes;
    std::vector<uint32_t> start = {0};
};

int AddFolded(void* context, const char* text, size_t length)
{
    FoldedPhrases* f = (FoldedPhrases*)context;
    size_t at = f->bytes.size();
    f->bytes.resize(at + KanaFoldRoom(length));
    f->bytes.resize(at + KanaFold(text, length, &f->bytes[at]));
    f->start.push_back((uint32_t)f->bytes.size());
    return 0;
}

int CountOnly(void* context, const char*, size_t)
{
    ++*(long*)context;
    return 0;
}

int GetText(void* context, int index, char* text, size_t size)
{
    const Texts* t = (const Texts*)context;
    const std::string& s = t->items[index];
    if (s.size() >= size)
        return -1;
    memcpy(text, s.data(), s.size() + 1);
    return (int)s.size();
}

// True when the two files hold the same bytes.
bool SameBytes(const std::string& a, const std::string& b)
{
    FILE* fa = fopen(a.c_str(), "rb");
    FILE* fb = fopen(b.c_str(), "rb");
    bool same = fa && fb;
    while (same) {
        int ca = fgetc(fa), cb = fgetc(fb);
        same = ca == cb;
        if (ca == EOF)
            break;
    }
    if (fa)
        fclose(fa);
    if (fb)
        fclose(fb);
    return same;
}

struct ChildResult {
    double seconds;
    long maxRssKiB;
    int status;
};

// Runs a program with stdin from input (null: /dev/null) and its standard
// output going to output (null: to /dev/null, which GNU grep notices: it
// then stops at the first match, as nothing it prints could be seen);
// LC_ALL=C for it when cLocale.
ChildResult RunChildNow(const std::vector<std::string>& args, const char* input, bool cLocale,
                        const char* output)
{
    ChildResult result = {0, 0, -1};
    double start = Now();
    pid_t pid = fork();
    if (pid == 0) {
        int in = open(input ? input : "/dev/null", O_RDONLY);
        int out = output ? open(output, O_WRONLY | O_CREAT | O_TRUNC, 0600) : open("/dev/null", O_WRONLY);
        dup2(in, 0);
        dup2(out, 1);
        if (cLocale)
            setenv("LC_ALL", "C", 1);
        std::vector<char*> argv;
        for (const std::string& a : args)
            argv.push_back((char*)a.c_str());
        argv.push_back(nullptr);
        execvp(argv[0], argv.data());
        _exit(127);
    }
    int status = 0;
    rusage usage;
    memset(&usage, 0, sizeof usage);
    if (pid > 0 && wait4(pid, &status, 0, &usage) == pid) {
        result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        result.maxRssKiB = usage.ru_maxrss;
    }
    result.seconds = Now() - start;
    return result;
}

// Children are started by a launcher, a process forked at the start while
// this one is small. Linux carries a process's peak resident size over
// exec: a child forked from this process, once it holds the phrases it
// measures with, would report this process's size as its own peak (and
// its fork would take longer, inside the time taken).
int g_toLauncher = -1;
int g_fromLauncher = -1;
pid_t g_launcher = -1;

bool WriteAll(int fd, const void* data, size_t n)
{
    for (const char* p = (const char*)data; n > 0;) {
        ssize_t k = write(fd, p, n);
        if (k <= 0)
            return false;
        p += k;
        n -= (size_t)k;
    }
    return true;
}

bool ReadAll(int fd, void* data, size_t n)
{
    for (char* p = (char*)data; n > 0;) {
        ssize_t k = read(fd, p, n);
        if (k <= 0)
            return false;
        p += k;
        n -= (size_t)k;
    }
    return true;
}

// A request: its length, then the locale flag, input, output and the
// arguments, each ended by NUL ("" for no input or output).
void ServeRequests(int in, int out)
{
    uint32_t length;
    while (ReadAll(in, &length, sizeof length)) {
        std::string request(length, '\0');
        if (!ReadAll(in, &request[0], length))
            break;
        std::vector<std::string> fields;
        for (size_t at = 0; at < request.size();) {
            size_t end = request.find('\0', at);
            fields.push_back(request.substr(at, end - at));
            at = end + 1;
        }
        std::vector<std::string> args(fields.begin() + 3, fields.end());
        ChildResult r = RunChildNow(args, fields[1].empty() ? nullptr : fields[1].c_str(),
                                    fields[0] == "1", fields[2].empty() ? nullptr : fields[2].c_str());
        if (!WriteAll(out, &r, sizeof r))
            break;
    }
    _exit(0);
}

void StartLauncher()
{
    int requests[2], results[2];
    if (pipe(requests) != 0 || pipe(results) != 0) {
        perror("pipe");
        exit(1);
    }
    g_launcher = fork();
    if (g_launcher == 0) {
        close(requests[1]);
        close(results[0]);
        ServeRequests(requests[0], results[1]);
    }
    close(requests[0]);
    close(results[1]);
    g_toLauncher = requests[1];
    g_fromLauncher = results[0];
}

void EndLauncher()
{
    close(g_toLauncher);
    close(g_fromLauncher);
    waitpid(g_launcher, nullptr, 0);
}

ChildResult RunChild(const std::vector<std::string>& args, const char* input, bool cLocale,
                     const char* output = nullptr)
{
    std::string request = std::string(cLocale ? "1" : "0") + '\0' + (input ? input : "") + '\0' +
                          (output ? output : "") + '\0';
    for (const std::string& a : args)
        request += a + '\0';
    uint32_t length = (uint32_t)request.size();
    ChildResult r = {0, 0, -1};
    if (!WriteAll(g_toLauncher, &length, sizeof length) ||
        !WriteAll(g_toLauncher, request.data(), request.size()) ||
        !ReadAll(g_fromLauncher, &r, sizeof r)) {
        fprintf(stderr, "bench_library: the launcher is gone\n");
        exit(1);
    }
    return r;
}

// RunChild's seconds; the benchmark ends when the program exits otherwise
// than with wantStatus.
double TimedRun(const std::vector<std::string>& args, const char* input, bool cLocale,
                int wantStatus, const char* output)
{
    ChildResult r = RunChild(args, input, cLocale, output);
    if (r.status != wantStatus) {
        fprintf(stderr, "bench_library: %s exited with %d\n", args[0].c_str(), r.status);
        exit(1);
    }
    return r.seconds;
}

double TimeChild(const std::vector<std::string>& args, const char* input, bool cLocale,
                 int wantStatus, const char* output = nullptr)
{
    std::vector<double> runs;
    for (int i = 0; i < REPETITIONS; i++)
        runs.push_back(TimedRun(args, input, cLocale, wantStatus, output));
    return Median(runs);
}

// Commands timed in rounds: in each, every command runs three times in a
// row, and the last two runs are timed. A change in the machine's speed
// then meets all commands alike, and each timed run follows a run of its
// own command, as when a command is timed alone. Each exits with 0 and
// prints into a file of its own (output with the command's number
// appended, emptied by each run, removed at the end). Returns each one's
// median.
std::vector<double> TimeInRounds(const std::vector<std::vector<std::string>>& commands,
                                 const std::vector<bool>& cLocale, const std::string& output)
{
    std::vector<std::vector<double>> runs(commands.size());
    for (int round = 0; round < REPETITIONS; round++) {
        for (size_t k = 0; k < commands.size(); k++) {
            std::string own = output + std::to_string(k);
            for (int i = 0; i < 3; i++) {
                double seconds = TimedRun(commands[k], nullptr, cLocale[k], 0, own.c_str());
                if (i > 0)
                    runs[k].push_back(seconds);
            }
        }
    }
    std::vector<double> medians;
    for (size_t k = 0; k < commands.size(); k++) {
        medians.push_back(Median(runs[k]));
        remove((output + std::to_string(k)).c_str());
    }
    return medians;
}

std::vector<std::string> Concat(std::vector<std::string> a, const std::vector<std::string>& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// The phrases of a label written as store's standard input.
std::string WriteStoreInput(const std::string& dir, const Texts& texts)
{
    std::string path = dir + "/store-input.bin";
    FILE* f = fopen(path.c_str(), "wb");
    for (const std::string& s : texts.items)
        fwrite(s.c_str(), 1, s.size() + 1, f);
    fclose(f);
    return path;
}

void PrintRatio(const char* what, double seconds, double base, const char* baseName,
                const char* goal)
{
    printf("  %-34s %9.1f ms  %5.2fx %s%s%s\n", what, seconds * 1e3, seconds / base, baseName,
           goal[0] ? "   goal: " : "", goal);
}

void Describe(const char* title, const Generated& g)
{
    printf("%s: %.1f MB, %ld labels, %ld phrases (%ld multi-line)\n", title, g.bytes / 1e6,
           g.labels, g.phrases, g.multiLine);
}

// grep and the four searches of flp (exact and forgiving, AND and OR) on
// one library, timed in rounds; grep's time first.
std::vector<double> TimeSearches(const std::string& flp, const std::string& path,
                                 const std::string& output)
{
    std::vector<std::vector<std::string>> commands = {{"grep", "-F", "-c", kGrepWord, path}};
    std::vector<bool> cLocale = {true};
    for (const std::string& program : {flp, g_before}) {
        if (program.empty())
            continue;
        commands.push_back({program, "--raw", "search", path, kSearchText});
        commands.push_back({program, "--raw", "search", "--or", path, kSearchText});
        commands.push_back({program, "--raw", "search", "--fold", path, kFoldText});
        commands.push_back({program, "--raw", "search", "--fold", "--or", path, kFoldText});
        cLocale.insert(cLocale.end(), 4, false);
    }
    return TimeInRounds(commands, cLocale, output);
}

long CountHits(const std::string& path, const char* text, int mode, bool fold)
{
    SearchWords words;
    if (fold)
        BuildFoldedSearchWords(text, &words);
    else
        BuildSearchWords(text, &words);
    long hits = 0;
    PhraseSink sink = {&hits, CountOnly};
    SearchLibraryFile(path.c_str(), &words, mode, nullptr, &sink);
    return hits;
}

void PrintSearches(const std::string& path, const std::vector<double>& searches)
{
    const char* names[] = {"AND", "OR", "AND, --fold", "OR, --fold"};
    for (int k = 0; k < 4; k++) {
        char what[80];
        snprintf(what, sizeof what, "flp search, 2 words %s (%ld hits)", names[k],
                 CountHits(path, k < 2 ? kSearchText : kFoldText, k % 2, k >= 2));
        PrintRatio(what, searches[k + 1], searches[0], "grep", "<= 1.2x");
        if (searches.size() > 5)
            PrintRatio("  before", searches[k + 5], searches[0], "grep", "");
    }
}

Texts LoadLabel(const std::string& file, const std::vector<std::string>& names)
{
    LabelNode* root = nullptr;
    Texts texts;
    if (ReadLabelTree(file.c_str(), &root) != 0) {
        fprintf(stderr, "bench_library: the generated library does not load\n");
        exit(1);
    }
    LabelNode* label = FindPath(root, names);
    PhraseSink sink = {&texts, AddText};
    if (!label || ReadPhraseList(file.c_str(), label, &sink) != 0) {
        fprintf(stderr, "bench_library: a generated label does not load\n");
        exit(1);
    }
    FreeLabelTree(root);
    return texts;
}

}  // namespace

int main(int argc, char** argv)
{
    std::string flp;
    bool keep = argc > 1 && strcmp(argv[1], "--keep") == 0;
    if (keep) {
        argc--;
        argv++;
    }
    flp = argc > 1 ? argv[1] : FLP_PROGRAM;
    if (argc > 2)
        g_before = argv[2];
    if (access(flp.c_str(), X_OK) != 0) {
        fprintf(stderr, "bench_library: no flp program at %s\n", flp.c_str());
        return 1;
    }
    const char* tmp = getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/fenlop-bench-XXXXXX";
    std::vector<char> dirName(pattern.begin(), pattern.end());
    dirName.push_back('\0');
    if (!mkdtemp(dirName.data())) {
        perror("mkdtemp");
        return 1;
    }
    const std::string dir = dirName.data();
    StartLauncher();
    printf("Working in %s; times are medians of %d runs.\n\n", dir.c_str(), REPETITIONS);

    // ---- 10 MB: time.
    Generated lib = GenerateLibrary(dir + "/library.htm", {20, 10, 24, 100000, false}, 1);
    Describe("Library", lib);
    ReadOnce(lib.path);

    LibraryFiles files;
    SetLibraryFiles(&files, lib.path.c_str());
    Texts stored = LoadLabel(lib.path, lib.storePath);
    double readOnce = Time([&] { ReadOnce(lib.path); });
    double copyTwiceFlushed = Time([&] {
        CopyOnce(lib.path, dir + "/copy1.htm", true);
        CopyOnce(lib.path, dir + "/copy2.htm", true);
    });
    double copyTwice = Time([&] {
        CopyOnce(lib.path, dir + "/copy1.htm", false);
        CopyOnce(lib.path, dir + "/copy2.htm", false);
    });
    remove((dir + "/copy1.htm").c_str());
    remove((dir + "/copy2.htm").c_str());

    LabelNode* root = nullptr;
    ReadLabelTree(lib.path.c_str(), &root);
    const LabelNode* storeLabel = FindPath(root, lib.storePath);
    const LabelNode* lastLabel = FindPath(root, lib.lastPath);
    PhraseSource source = {&stored, (int)stored.items.size(), GetText};
    RewriteRequest request = {};
    request.kind = REWRITE_SAVE_PHRASES;
    request.target = storeLabel;
    request.phrases = &source;
    bool storeFailed = false;
    double store = Time([&] {
        storeFailed |= RewritePhraseFile(&files, &request) != 0;
    });
    // The same store by flp, as a script makes it: the process, the look
    // at the labels before the phrases are read, the phrases from stdin.
    std::string storeInput = WriteStoreInput(dir, stored);
    double flpStore = TimeChild(Concat({flp, "--raw", "store", lib.path}, lib.storePath),
                                storeInput.c_str(), false, 0);
    // And against two durable copies made as a script makes them, by
    // processes: cp, cp, then sync of both. Every command is started from a
    // shell, whose own start (sh -c true) is taken off each side.
    auto quoted = [](const std::string& text) { return "'" + text + "'"; };
    auto storeLine = [&](const std::string& program) {
        std::string line = "exec " + quoted(program) + " --raw store " + quoted(lib.path);
        for (const std::string& name : lib.storePath)
            line += " " + quoted(name);
        return line + " < " + quoted(storeInput);
    };
    std::string copy1 = quoted(dir + "/copy1.htm"), copy2 = quoted(dir + "/copy2.htm");
    std::vector<std::vector<std::string>> storeCommands = {
        {"sh", "-c", "true"},
        {"sh", "-c",
         "cp " + quoted(lib.path) + " " + copy1 + " && cp " + quoted(lib.path) + " " + copy2 + " && sync " +
             copy1 + " " + copy2},
        {"sh", "-c", storeLine(flp)}};
    if (!g_before.empty())
        storeCommands.push_back({"sh", "-c", storeLine(g_before)});
    std::vector<double> storeRounds =
        TimeInRounds(storeCommands, std::vector<bool>(storeCommands.size(), false), dir + "/store-out");
    remove((dir + "/copy1.htm").c_str());
    remove((dir + "/copy2.htm").c_str());
    remove(storeInput.c_str());
    // A store's look at the library just before its rename: one stamp.
    double stampCheck = Time([&] {
        FileStamp now;
        TakeFileStamp(lib.path.c_str(), &now);
    });
    long loadedCount = 0;
    double loadLast = Time([&] {
        loadedCount = 0;
        PhraseSink sink = {&loadedCount, CountOnly};
        ReadPhraseList(lib.path.c_str(), lastLabel, &sink);
    });
    double loadMiddle = Time([&] {
        long n = 0;
        PhraseSink sink = {&n, CountOnly};
        ReadPhraseList(lib.path.c_str(), storeLabel, &sink);
    });
    double loadTree = Time([&] {
        LabelNode* r = nullptr;
        ReadLabelTree(lib.path.c_str(), &r);
        FreeLabelTree(r);
    });
    FreeLabelTree(root);
    if (storeFailed)
        fprintf(stderr, "bench_library: a store failed\n");

    // The searches print into a file: grep then counts the whole file.
    std::vector<double> searches = TimeSearches(flp, lib.path, dir + "/found");
    double grep = searches[0];
    // Export and import of the whole library as JSON: the export is written
    // once to a file for the import, which writes a new library each run.
    double exportJson = TimeChild({flp, "export", lib.path}, nullptr, false, 0);
    double exportBefore =
        g_before.empty() ? 0 : TimeChild({g_before, "export", lib.path}, nullptr, false, 0);
    std::string json = dir + "/library.json", imported = dir + "/imported.htm";
    if (system(("'" + flp + "' export '" + lib.path + "' > '" + json + "'").c_str()) != 0)
        fprintf(stderr, "bench_library: the export failed\n");
    auto timeImport = [&](const std::string& program) {
        return TimeChild({"sh", "-c", "rm -f '" + imported + "' && exec '" + program + "' import '" +
                                          imported + "' '" + json + "'"},
                         nullptr, false, 0);
    };
    double importBefore = g_before.empty() ? 0 : timeImport(g_before);
    double importJson = timeImport(flp);
    // An import writes the new library durably: its floor is one read of
    // the document and the store's two copies forced to the disk.
    double readJson = Time([&] { ReadOnce(json); });
    if (!SameBytes(lib.path, imported))
        fprintf(stderr, "bench_library: the imported library differs from the exported one\n");
    remove(json.c_str());
    remove(imported.c_str());
    // What a filter could do at each key, in the process: search the file
    // folding each phrase on the way, or match folded copies of every
    // phrase held in memory (made once, in one block).
    SearchWords exact;
    BuildSearchWords(kSearchText, &exact);
    auto searchFile = [&](const SearchWords* words) {
        long n = 0;
        PhraseSink sink = {&n, CountOnly};
        SearchLibraryFile(lib.path.c_str(), words, 0, nullptr, &sink);
        return n;
    };
    double inExact = Time([&] { searchFile(&exact); });
    FoldedPhrases held;
    SearchWords none;  // every phrase
    BuildSearchWords("", &none);
    double holdAll = Time([&] {
        held = FoldedPhrases();
        PhraseSink sink = {&held, AddFolded};
        SearchLibraryFile(lib.path.c_str(), &none, 0, nullptr, &sink);
        held.bytes.append(WANTS_SLACK, '\0');
    });
    struct FilterFigures {
        const char* what;
        long hits;
        double onTheWay, held;
    };
    std::vector<FilterFigures> filter;
    for (const char* text : {kFoldText, kKanaText}) {
        SearchWords folded;
        BuildFoldedSearchWords(text, &folded);
        long hits = searchFile(&folded), heldHits = 0;
        double onTheWay = Time([&] { searchFile(&folded); });
        double inHeld = Time([&] {
            heldHits = 0;
            for (size_t i = 0; i + 1 < held.start.size(); i++) {
                const char* at = held.bytes.data() + held.start[i];
                heldHits += MatchAllWords(at, held.start[i + 1] - held.start[i], &folded, WANTS_SLACK);
            }
        });
        if (heldHits != hits)
            fprintf(stderr, "bench_library: the held copies found %ld phrases, the search %ld\n",
                    heldHits, hits);
        filter.push_back({text == kFoldText ? "a kanji word and a kana word" : "one kana word", hits,
                          onTheWay, inHeld});
    }

    printf("\nBaselines: reading the file once %.1f ms; copying it twice %.1f ms "
           "(each copy forced to the disk, as the rewrite's files are), %.1f ms without that.\n",
           readOnce * 1e3, copyTwiceFlushed * 1e3, copyTwice * 1e3);
    printf("  %-34s %9.1f ms\n", "grep -F -c, one word (LC_ALL=C)", grep * 1e3);
    printf("  (the searches print into a file; into /dev/null grep stops at the first match;\n"
           "   grep and the searches are timed in %d rounds of three runs each, the last two timed)\n",
           REPETITIONS);
    printf("\n");
    PrintRatio("store one label's phrases", store, copyTwiceFlushed, "two copies (forced)",
               "<= 1.3x");
    PrintRatio("", store, copyTwice, "two copies (not forced)", "");
    PrintRatio("flp store one label's phrases", flpStore, copyTwiceFlushed, "two copies (forced)",
               "<= 1.3x");
    {
        double shell = storeRounds[0], copies = storeRounds[1] - shell;
        PrintRatio("flp store, against processes", storeRounds[2] - shell, copies, "cp, cp, sync of both",
                   "<= 1.3x");
        if (!g_before.empty())
            PrintRatio("  before", storeRounds[3] - shell, copies, "cp, cp, sync of both", "");
        printf("    (each from a shell: its own start, %.1f ms, is taken off both sides)\n", shell * 1e3);
    }
    printf("  %-34s %9.3f ms  %5.3fx the store   goal: <= 1 ms\n", "  of it: the check before the rename",
           stampCheck * 1e3, stampCheck / store);
    PrintRatio("load a middle label's phrases", loadMiddle, readOnce, "reading once", "");
    PrintRatio("load the last label's phrases", loadLast, readOnce, "reading once", "");
    PrintRatio("load the label tree", loadTree, readOnce, "reading once", "");
    PrintSearches(lib.path, searches);
    (void)loadedCount;
    PrintRatio("flp export (JSON to /dev/null)", exportJson, readOnce, "reading once", "<= 5x");
    if (!g_before.empty())
        PrintRatio("  before", exportBefore, readOnce, "reading once", "");
    PrintRatio("flp import (JSON to a new library)", importJson, readOnce, "reading once", "<= 5x");
    PrintRatio("", importJson, readJson + copyTwiceFlushed,
               "one read of the JSON + two copies (forced)", "");
    if (!g_before.empty()) {
        PrintRatio("  before", importBefore, readOnce, "reading once", "");
        PrintRatio("", importBefore, readJson + copyTwiceFlushed,
                   "one read of the JSON + two copies (forced)", "");
    }
    printf("\n  Forgiving searches in the process, against the exact search of 2 words:\n");
    for (const FilterFigures& f : filter) {
        printf("  %s (%ld hits):\n", f.what, f.hits);
        PrintRatio("  the file, folding on the way", f.onTheWay, inExact, "exact search", "");
        PrintRatio("  folded copies held", f.held, inExact, "exact search", "");
    }
    printf("  %-34s %9.1f ms, holding %.1f MB\n", "  (making the copies once", holdAll * 1e3,
           (held.bytes.size() + held.start.size() * sizeof held.start[0]) / 1e6);

    // ---- Another shape: many labels, short phrases.
    Generated many = GenerateLibrary(dir + "/many.htm", {20, 10, 250, 175000, true}, 5);
    printf("\n");
    Describe("Library of many labels and short phrases", many);
    ReadOnce(many.path);
    std::vector<double> manySearches = TimeSearches(flp, many.path, dir + "/found");
    printf("  %-34s %9.1f ms\n", "grep -F -c, one word (LC_ALL=C)", manySearches[0] * 1e3);
    PrintSearches(many.path, manySearches);

    // ---- Peak memory: 1 MB against 100 MB of the same labels, and 100 MB
    // with ten times the labels. The reading commands stream; store holds
    // the label tree, as the program does.
    printf("\nPeak memory (ru_maxrss of the flp process, started from the small launcher, KiB):\n");
    Generated small = GenerateLibrary(dir + "/small.htm", {20, 10, 24, 10000, false}, 2);
    Generated large = GenerateLibrary(dir + "/large.htm", {20, 10, 24, 1000000, false}, 3);
    Generated wide = GenerateLibrary(dir + "/wide.htm", {20, 10, 240, 1000000, false}, 4);
    Describe("  1 MB library", small);
    Describe("  100 MB library", large);
    Describe("  100 MB library, more labels", wide);
    Generated fewSmall = GenerateLibrary(dir + "/many-small.htm", {20, 10, 18, 13000, true}, 6);
    Generated manyLarge = GenerateLibrary(dir + "/many-large.htm", {20, 10, 1850, 1300000, true}, 7);
    Describe("  1 MB library, many labels, short phrases", fewSmall);
    Describe("  100 MB library, many labels, short phrases", manyLarge);
    printf("\n  %-22s %10s %10s %12s %10s %8s\n", "operation", "1 MB", "100 MB",
           "100 MB, 10x", "growth", "goal");
    struct Op {
        const char* name;
        std::vector<std::string> (*args)(const std::string& flp, const Generated& g);
        bool store;
        bool import;  // args get the export of g beside it, written first
    };
    const Op ops[] = {
        {"tree",
         [](const std::string& f, const Generated& g) {
             return std::vector<std::string>{f, "--raw", "tree", g.path};
         },
         false, false},
        {"check",
         [](const std::string& f, const Generated& g) {
             return std::vector<std::string>{f, "--raw", "check", g.path};
         },
         false, false},
        {"list one label",
         [](const std::string& f, const Generated& g) {
             return Concat({f, "--raw", "list", g.path}, g.storePath);
         },
         false, false},
        {"list the first label",
         [](const std::string& f, const Generated& g) {
             return Concat({f, "--raw", "list", g.path}, g.firstPath);
         },
         false, false},
        {"search AND, all",
         [](const std::string& f, const Generated& g) {
             return std::vector<std::string>{f, "--raw", "search", g.path, kSearchText};
         },
         false, false},
        {"search OR, all",
         [](const std::string& f, const Generated& g) {
             return std::vector<std::string>{f, "--raw", "search", "--or", g.path, kSearchText};
         },
         false, false},
        {"search --fold, all",
         [](const std::string& f, const Generated& g) {
             return std::vector<std::string>{f, "--raw", "search", "--fold", g.path, kFoldText};
         },
         false, false},
        {"export",
         [](const std::string& f, const Generated& g) {
             return std::vector<std::string>{f, "export", g.path};
         },
         false, false},
        {"import",
         [](const std::string& f, const Generated& g) {
             std::string out = g.path + ".imported";
             return std::vector<std::string>{"sh", "-c", "rm -f '" + out + "' && exec '" + f +
                                                             "' import '" + out + "' '" + g.path +
                                                             ".json'"};
         },
         false, true},
        {"store one label",
         [](const std::string& f, const Generated& g) {
             return Concat({f, "--raw", "store", g.path}, g.storePath);
         },
         true, false},
    };
    auto peakOf = [&](const std::string& flp, const Op& op, const Generated& g) {
        std::string input;
        if (op.store)
            input = WriteStoreInput(dir, LoadLabel(g.path, g.storePath));
        if (op.import &&
            system(("'" + flp + "' export '" + g.path + "' > '" + g.path + ".json'").c_str()) != 0)
            fprintf(stderr, "bench_library: the export of %s failed\n", g.path.c_str());
        ChildResult r = RunChild(op.args(flp, g), op.store ? input.c_str() : nullptr, false);
        if (r.status != 0)
            fprintf(stderr, "bench_library: flp %s exited with %d\n", op.name, r.status);
        if (op.import) {
            remove((g.path + ".json").c_str());
            remove((g.path + ".imported").c_str());
        }
        return r.maxRssKiB;
    };
    auto peak = [&](const Op& op, const Generated& g) { return peakOf(flp, op, g); };
    // The rows an earlier flp is measured for too.
    auto withBefore = [&](const Op& op) {
        return !g_before.empty() && (strcmp(op.name, "export") == 0 || strcmp(op.name, "import") == 0);
    };
    for (const Op& op : ops) {
        long rss[3] = {peak(op, small), peak(op, large), peak(op, wide)};
        // Growth from the 1 MB library to the larger of the two 100 MB ones.
        long growth = std::max(rss[1], rss[2]) - rss[0];
        printf("  %-22s %10ld %10ld %12ld %10ld %8s\n", op.name, rss[0], rss[1], rss[2], growth,
               "<= 1024");
        if (withBefore(op)) {
            long was[3] = {peakOf(g_before, op, small), peakOf(g_before, op, large),
                           peakOf(g_before, op, wide)};
            printf("  %-22s %10ld %10ld %12ld %10ld\n", "  before", was[0], was[1], was[2],
                   std::max(was[1], was[2]) - was[0]);
        }
    }
    printf("\n  Many labels, short phrases:\n");
    for (const Op& op : ops) {
        if (op.store)
            continue;
        long rss[2] = {peak(op, fewSmall), peak(op, manyLarge)};
        printf("  %-22s %10ld %10ld %12s %10ld %8s\n", op.name, rss[0], rss[1], "", rss[1] - rss[0],
               "<= 1024");
        if (withBefore(op)) {
            long was[2] = {peakOf(g_before, op, fewSmall), peakOf(g_before, op, manyLarge)};
            printf("  %-22s %10ld %10ld %12s %10ld\n", "  before", was[0], was[1], "", was[1] - was[0]);
        }
    }

    EndLauncher();
    if (keep) {
        printf("\nThe libraries are kept in %s.\n", dir.c_str());
        return 0;
    }
    const char* names[] = {"library.htm",    "library.bak",    "small.htm",      "small.bak",
                           "large.htm",      "large.bak",      "wide.htm",       "wide.bak",
                           "many.htm",       "many-small.htm", "many-large.htm", "store-input.bin"};
    for (const char* n : names)
        remove((dir + "/" + n).c_str());
    rmdir(dir.c_str());
    return 0;
}
