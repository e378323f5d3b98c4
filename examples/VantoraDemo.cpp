// Writes a demo recording for the viewer with its index:
//   vantora_demo <file.kqm> [records]
// (DemoRecording.h says what the shots look like.)

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <filesystem>
#include <string>

#include "DemoRecording.h"

namespace {

constexpr long DefaultRecords = 400;

void Usage(std::FILE* out, const char* program) {
    std::fprintf(out,
                 "usage: %s <file.kqm> [records]\n"
                 "Writes a demo recording of records shots (default %ld) and its index beside it.\n"
                 "A file whose name begins with '-' is given with its folder, e.g. ./-name.kqm.\n",
                 program, DefaultRecords);
}

// A whole number of at least 1, else 0.
long RecordCount(const char* text) {
    errno = 0;
    char* end = nullptr;
    const long n = std::strtol(text, &end, 10);
    return errno == 0 && end != text && *end == '\0' && n >= 1 ? n : 0;
}

}  // namespace

int main(int argc, char** argv) {
    // Nothing is written when the command line asks for something else, so an
    // option never ends up as the name of a recording.
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            Usage(stdout, argv[0]);
            return 0;
        }
    }
    if (argc < 2 || argc > 3) {
        Usage(stderr, argv[0]);
        return 2;
    }
    if (argv[1][0] == '-') {
        std::fprintf(stderr, "%s: unknown option '%s'\n", argv[0], argv[1]);
        Usage(stderr, argv[0]);
        return 2;
    }
    const long count = argc > 2 ? RecordCount(argv[2]) : DefaultRecords;
    if (count == 0) {
        std::fprintf(stderr, "%s: records must be a whole number of at least 1, not '%s'\n", argv[0], argv[2]);
        return 2;
    }
    try {
        const std::string file = argv[1];
        const std::filesystem::path dir = std::filesystem::path(file).parent_path();
        if (!dir.empty()) std::filesystem::create_directories(dir);
        WriteDemoRecording(file, count);
        std::printf("%s\n", file.c_str());
        return 0;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
}
