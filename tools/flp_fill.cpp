// flp fill: a text as a send fills it in, for trying placeholders out.
#include "tools/flp_read.h"

#include <cstdio>
#include <cstring>
#include <ctime>
#include <map>
#include <string>

#include "output/phrase_fill.h"
#include "tools/flp_common.h"
#include "tools/flp_text.h"

namespace {

const char* GiveInput(void* context, const char* name, size_t n, size_t* length)
{
    auto& inputs = *(std::map<std::string, std::string>*)context;
    auto found = inputs.find(std::string(name, n));
    if (found == inputs.end())
        return nullptr;
    *length = found->second.size();
    return found->second.c_str();
}

}  // namespace

int CommandFill(int argc, char** argv)
{
    time_t clock = time(nullptr);
    struct tm now = *localtime(&clock);
    std::string clipboard;
    std::map<std::string, std::string> inputs;
    int i = 0;
    for (; i + 1 < argc && argv[i][0] == '-' && argv[i][1] == '-'; i += 2) {
        const char* value = argv[i + 1];
        if (strcmp(argv[i], "--now") == 0) {
            int y, mo, d, h, mi, s;
            char tail;
            if (sscanf(value, "%4d-%2d-%2d %2d:%2d:%2d%c", &y, &mo, &d, &h, &mi, &s, &tail) != 6 || mo < 1 ||
                mo > 12 || d < 1 || d > 31 || h > 23 || mi > 59 || s > 59 || y < 1 || h < 0 || mi < 0 || s < 0)
                return Fail("--now takes \"YYYY-MM-DD HH:MM:SS\"");
            now.tm_year = y - 1900;
            now.tm_mon = mo - 1;
            now.tm_mday = d;
            now.tm_hour = h;
            now.tm_min = mi;
            now.tm_sec = s;
        } else if (strcmp(argv[i], "--clipboard") == 0) {
            clipboard = value;
        } else if (strcmp(argv[i], "--input") == 0) {
            const char* equals = strchr(value, '=');
            if (!equals || equals == value)
                return Usage("fill");
            inputs[std::string(value, equals - value)] = equals + 1;
        } else {
            return Usage("fill");
        }
    }
    if (argc - i != 1)
        return Usage("fill");
    EraTable eras;
    SystemEras(&eras);
    FillContext context = {now.tm_year + 1900, now.tm_mon + 1, now.tm_mday, now.tm_hour, now.tm_min, now.tm_sec,
                           &eras, clipboard.data(), clipboard.size(), GiveInput, &inputs};
    static char out[FILL_LIMIT + 1];
    const char* text = argv[i];
    FillResult result = FillPhrase(text, strlen(text), &context, out);
    if (result.tooLong)
        return Fail("the filled text would be longer than %lu bytes; nothing printed", (unsigned long)FILL_LIMIT);
    out[result.length] = '\n';
    if (PutText(out, result.length + 1) != 0)
        return Fail("cannot write the output");
    return EXIT_OK;
}
