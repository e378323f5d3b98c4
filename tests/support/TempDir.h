#pragma once
// A fresh directory under the system's temporary folder, removed with
// everything in it when the object goes.

#include <atomic>
#include <filesystem>
#include <string>
#include <unistd.h>

class TTempDir {
public:
    TTempDir() {
        static std::atomic<unsigned> Counter{0};
        const auto Base = std::filesystem::temp_directory_path();
        for (;;) {
            FPath = Base / ("narvi-" + std::to_string(::getpid()) + "-" + std::to_string(Counter++));
            if (std::filesystem::create_directory(FPath)) break;
        }
    }
    ~TTempDir() {
        std::error_code Ec;
        std::filesystem::remove_all(FPath, Ec);
    }
    TTempDir(const TTempDir&) = delete;
    TTempDir& operator=(const TTempDir&) = delete;

    std::string File(const std::string& Name) const { return (FPath / Name).string(); }
    const std::filesystem::path& Path() const { return FPath; }

private:
    std::filesystem::path FPath;
};
