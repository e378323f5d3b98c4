// Where the binding finds a backend library: beside the program, then in the
// library folder of the installation prefix the program lies in, then through
// the system loader; a file that fails to load is passed over, and the error
// names every place tried.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "NarviBinding.h"
#include "TempDir.h"

namespace {

namespace fs = std::filesystem;

const std::string kKqmLib = std::string("kqmlib") + BINDING_LIBRARY_SUFFIX;

// An installation prefix: the program's folder "bin" and the library folder
// the build installs to, as the binding reaches it from "bin".
struct TPrefix {
    TTempDir Dir;
    fs::path Bin = Dir.Path() / "bin";
    fs::path Lib = (Bin / NARVI_LIBDIR_FROM_BINDIR).lexically_normal();

    TPrefix() {
        fs::create_directories(Bin);
        fs::create_directories(Lib);
    }
    // The full stub binds the optional functions, the minimal one does not:
    // that tells which of the two was loaded.
    void Put(const fs::path& folder, const char* stub, const std::string& name) const {
        fs::copy_file(fs::path(BINDING_STUB_ROOT) / stub / kKqmLib, folder / name);
    }
    bool LoadsFull(const std::string& name) const {
        TWaveIntf intf(name, Bin.string());
        return intf.SetModeInt != nullptr;
    }
};

TEST(SearchOrderTest, ProgramFolderFirstThenThePrefixLibraryFolder) {
    {
        SCOPED_TRACE("only in the library folder");
        TPrefix p;
        p.Put(p.Lib, "stub-minimal", kKqmLib);
        EXPECT_FALSE(p.LoadsFull(kKqmLib));
    }
    {
        SCOPED_TRACE("in both: the program's folder wins");
        TPrefix p;
        p.Put(p.Bin, "stub-full", kKqmLib);
        p.Put(p.Lib, "stub-minimal", kKqmLib);
        EXPECT_TRUE(p.LoadsFull(kKqmLib));
    }
    {
        SCOPED_TRACE("no library beside the program: passed over");
        TPrefix p;
        std::ofstream(p.Bin / kKqmLib) << "not a library";
        p.Put(p.Lib, "stub-full", kKqmLib);
        EXPECT_TRUE(p.LoadsFull(kKqmLib));
    }
}

TEST(SearchOrderTest, ErrorNamesEveryPlaceTried) {
    TPrefix p;
    const std::string name = std::string("narvi-nowhere") + BINDING_LIBRARY_SUFFIX;
    std::ofstream(p.Bin / name) << "not a library";
    std::string text;
    try {
        TWaveIntf intf(name, p.Bin.string());
    } catch (const EWaveError& e) {
        text = e.Message();
    }
    const std::string beside = (p.Bin / name).make_preferred().string();
    const std::string inLib = (p.Lib / name).make_preferred().string();
    SCOPED_TRACE(text);
    EXPECT_EQ(text.rfind("Cannot load library " + name + ": " + beside + ": ", 0), 0u);
    EXPECT_NE(text.find("; " + inLib + ": not found; system loader: " + name + ": "), std::string::npos);
}

}  // namespace
