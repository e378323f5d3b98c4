// Writes a demo recording for the viewer with its index:
//   vantora_demo <file.kqm> [records]
// (DemoRecording.h says what the shots look like.)

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <string>

#include "DemoRecording.h"

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s <file.kqm> [records]\n", argv[0]);
        return 2;
    }
    try {
        const std::string file = argv[1];
        const long count = argc > 2 ? std::strtol(argv[2], nullptr, 10) : 400;
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
