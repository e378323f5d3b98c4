// Where the viewer keeps its settings: beside the program when it may write
// there, else in the user's configuration folder. A folder chmod'ed read-only
// stays writable for root, so the decision is driven through its argument,
// the real check sees a read-only folder only when not run as root, and
// scripts/test-install.sh runs the installed program as an unprivileged user.

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

#include "TempDir.h"
#include "VantoraMainUnit.h"

namespace {

namespace fs = std::filesystem;

// Sets or clears an environment variable for the scope.
class TEnvVar {
public:
    TEnvVar(const char* name, const char* value) : FName(name) {
        if (const char* old = std::getenv(name)) FOld = old;
        value ? setenv(name, value, 1) : unsetenv(name);
    }
    ~TEnvVar() { FOld ? setenv(FName, FOld->c_str(), 1) : unsetenv(FName); }

private:
    const char* FName;
    std::optional<std::string> FOld;
};

TEST(SettingsLocation, BesideAWritableProgramElseInTheConfigFolder) {
    EXPECT_EQ(SettingsLocation("/usr/bin/Vantora", false, "/home/u/.config"), "/home/u/.config/Vantora.ini");
    EXPECT_EQ(SettingsLocation("/opt/x/Vantora", true, "/home/u/.config"), "/opt/x/Vantora.ini");
    // Without a home there is nowhere else; saving may then fail, which the close survives.
    EXPECT_EQ(SettingsLocation("/usr/bin/Vantora", false, ""), "/usr/bin/Vantora.ini");
}

TEST(SettingsLocation, ConfigFolderFollowsXdgThenHome) {
    TEnvVar home("HOME", "/home/u");
    {
        TEnvVar config("XDG_CONFIG_HOME", "/srv/cfg");
        EXPECT_EQ(UserConfigFolder(), "/srv/cfg");
    }
    for (const char* ignored : {"", "relative/cfg"}) {
        TEnvVar config("XDG_CONFIG_HOME", ignored);
        EXPECT_EQ(UserConfigFolder(), "/home/u/.config") << ignored;
    }
    TEnvVar config("XDG_CONFIG_HOME", nullptr);
    EXPECT_EQ(UserConfigFolder(), "/home/u/.config");
}

TEST(SettingsLocation, WritableFolderCheck) {
    TTempDir dir;
    EXPECT_TRUE(FolderWritable(dir.Path().string()));
    EXPECT_FALSE(FolderWritable(dir.File("missing")));
    std::ofstream(dir.File("file")) << "x";
    EXPECT_FALSE(FolderWritable(dir.File("file")));
    if (geteuid() != 0) {
        fs::permissions(dir.Path(), fs::perms::owner_write, fs::perm_options::remove);
        EXPECT_FALSE(FolderWritable(dir.Path().string()));
        fs::permissions(dir.Path(), fs::perms::owner_write, fs::perm_options::add);
    }
}

}  // namespace
