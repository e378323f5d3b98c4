// The built program in a folder of its own, as a user starts it: Vantora and
// kqmlib.so side by side with a recording, switches on the command line, no
// display.

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "IniFile.h"
#include "TempDir.h"
#include "VantoraSettings.h"
#include "ViewerTestSupport.h"

namespace {

namespace fs = std::filesystem;

struct TRun {
    int Code = -1;
    std::string Output;
};

// Runs the copied program in dir; a switch that failed would wait in its
// message box, which the time limit ends.
TRun RunVantora(const TTempDir& dir, const std::string& arguments) {
    const std::string cmd =
        "cd '" + dir.Path().string() + "' && QT_QPA_PLATFORM=offscreen timeout 60 ./Vantora " + arguments + " 2>&1";
    TRun run;
    std::FILE* p = popen(cmd.c_str(), "r");
    if (!p) return run;
    std::array<char, 512> buf;
    while (std::fgets(buf.data(), int(buf.size()), p)) run.Output += buf.data();
    const int status = pclose(p);
    run.Code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

class EndToEnd : public ::testing::Test {
protected:
    void SetUp() override {
        fs::copy_file(VANTORA_EXE, Dir.File("Vantora"));
        fs::copy_file(VANTORA_KQMLIB, Dir.File("kqmlib.so"));
        // 2000 shots 10 ms apart from 1 s internal time, without index.
        WriteViewerRecording(Dir.File("rec.kqm"), 2000, false);
    }
    TTempDir Dir;
};

TEST_F(EndToEnd, SwitchesBuildTheIndexAndTheSettingsFileHoldsTheDefaults) {
    const TRun run = RunVantora(Dir, "/file=rec.kqm /index /seek=10 /time=12.5i /close /exit");
    ASSERT_EQ(run.Code, 0) << run.Output;
    EXPECT_TRUE(fs::exists(Dir.File("rec.idx")));
    EXPECT_GT(fs::file_size(Dir.File("rec.idx")), 2000u * 19u);
    ASSERT_TRUE(fs::exists(Dir.File("Vantora.ini")));
    const TIniFile ini(Dir.File("Vantora.ini"));
    EXPECT_EQ(ini.ReadString("WAVECHART", "AxisX", ""), "TimeStamp");
    EXPECT_EQ(ini.ReadString("WAVECHART", "Enhance", ""), "Linear");
    EXPECT_EQ(ini.ReadString("WAVECHART", "InfoPanel", ""), "1");
    EXPECT_EQ(ini.ReadString("WAVECHART", "SampleBlocks", ""), "0");
    EXPECT_EQ(ini.ReadString("WAVECHART", "PointSize", ""), "1");
    for (const char* key : {"Left", "Top", "Width", "Height"}) EXPECT_TRUE(ini.ValueExists("WAVECHART", key)) << key;
}

TEST_F(EndToEnd, SeededSettingsAreKeptAndRewritten) {
    std::ofstream(Dir.File("Vantora.ini")) << "[Mine]\nx=1\n[WAVECHART]\nAxisX=RawRange\nEnhance=Smooth\n"
                                              "InfoPanel=0\nSampleBlocks=1\nPointSize=7\nLeft=junk\n";
    // A plain path is no switch; it changes nothing.
    const TRun run = RunVantora(Dir, "rec.kqm /exit");
    ASSERT_EQ(run.Code, 0) << run.Output;
    const TIniFile ini(Dir.File("Vantora.ini"));
    EXPECT_EQ(ini.ReadString("Mine", "x", ""), "1");
    EXPECT_EQ(ini.ReadString("WAVECHART", "AxisX", ""), "RawRange");
    EXPECT_EQ(ini.ReadString("WAVECHART", "Enhance", ""), "Smooth");
    EXPECT_EQ(ini.ReadString("WAVECHART", "InfoPanel", ""), "0");
    EXPECT_EQ(ini.ReadString("WAVECHART", "SampleBlocks", ""), "1");
    EXPECT_EQ(ini.ReadString("WAVECHART", "PointSize", ""), "7");
    EXPECT_NE(ini.ReadString("WAVECHART", "Left", "junk"), "junk");
    EXPECT_FALSE(fs::exists(Dir.File("rec.idx")));
}

#ifdef VANTORA_DEMO_EXE
// The demo writer takes a file name and a record count; anything else that
// looks like an option is answered, and never becomes a recording's name.
TEST(DemoWriter, AnswersOptionsAndWritesOnlyWhatItIsAskedFor) {
    TTempDir dir;
    struct TCase {
        const char* arguments;
        int code;
        const char* says;
    };
    const TCase cases[] = {
        {"--help", 0, "usage: "},
        {"-h", 0, "usage: "},
        {"demo.kqm --help", 0, "usage: "},
        {"", 2, "usage: "},
        {"--records=5", 2, "unknown option '--records=5'"},
        {"-x.kqm", 2, "unknown option '-x.kqm'"},
        {"demo.kqm 0", 2, "records must be a whole number of at least 1, not '0'"},
        {"demo.kqm 12abc", 2, "not '12abc'"},
        {"demo.kqm 5 6", 2, "usage: "},
    };
    const std::string run = "cd '" + dir.Path().string() + "' && '" VANTORA_DEMO_EXE "' ";
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.arguments);
        const std::string cmd = run + c.arguments + " 2>&1";
        std::FILE* p = popen(cmd.c_str(), "r");
        ASSERT_NE(p, nullptr);
        std::string output;
        std::array<char, 512> buf;
        while (std::fgets(buf.data(), int(buf.size()), p)) output += buf.data();
        const int status = pclose(p);
        EXPECT_EQ(WIFEXITED(status) ? WEXITSTATUS(status) : -1, c.code) << output;
        EXPECT_NE(output.find(c.says), std::string::npos) << output;
        EXPECT_TRUE(fs::is_empty(dir.Path())) << "a file was written";
        for (const fs::directory_entry& e : fs::directory_iterator(dir.Path())) fs::remove_all(e.path());
    }
    // ./-x.kqm is the way to a name that begins with "-".
    ASSERT_EQ(std::system((run + "./-x.kqm 120 >/dev/null").c_str()), 0);
    EXPECT_TRUE(fs::exists(dir.File("-x.kqm")));
    EXPECT_TRUE(fs::exists(dir.File("-x.idx")));
}
#endif

}  // namespace
