// The window's rules without a window: settings file, command line, drop
// filter, enable table, actions and the number texts of the header list.

#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>
#include <cmath>
#include <fstream>
#include <limits>

#include "Actions.h"
#include "Forms.h"
#include "CommandLine.h"
#include "EditFunct.h"
#include "ErrorOf.h"
#include "IniFile.h"
#include "TempDir.h"
#include "VantoraChart.h"
#include "VantoraDocument.h"
#include "VantoraMainUnit.h"
#include "VantoraSettings.h"
#include "VantoraTrace.h"

namespace {

void WriteText(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary);
    out << text;
}

std::string ReadText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

TEST(IniFile, ProfileSemantics) {
    TTempDir dir;
    const std::string path = dir.File("a.ini");
    WriteText(path,
              "; comment\r\n[Other]\r\nAxisX=RawRange\r\n[wavechart]\r\n  axisx = Range=Gate \r\nPointSize=x7\r\n"
              "Left=-12\r\nTop=+5\r\nWidth=99999999999999999999\r\n\r\n[Tail]\r\nk=v\r\n");
    TIniFile ini(path);
    // Sections and keys ignore letter case; the value is the trimmed text after the first "=".
    EXPECT_EQ(ini.ReadString("WAVECHART", "AxisX", "d"), "Range=Gate");
    EXPECT_EQ(ini.ReadString("WAVECHART", "Enhance", "d"), "d");
    EXPECT_EQ(ini.ReadString("Missing", "AxisX", "d"), "d");
    // Only decimal integers count; anything else reads as missing.
    EXPECT_EQ(ini.ReadInteger("WAVECHART", "PointSize", 3), 3);
    EXPECT_EQ(ini.ReadInteger("WAVECHART", "Left", 3), -12);
    EXPECT_EQ(ini.ReadInteger("WAVECHART", "Top", 3), 5);
    EXPECT_EQ(ini.ReadInteger("WAVECHART", "Width", 3), 3);
    EXPECT_TRUE(ini.ReadBool("WAVECHART", "Left", false));

    ini.WriteString("WAVECHART", "AXISX", "TimeStamp");
    ini.WriteInteger("WAVECHART", "Height", 590);
    ini.WriteBool("New", "InfoPanel", false);
    ini.UpdateFile();
    // Other lines stay where they were, line ends too; new keys close their section.
    EXPECT_EQ(ReadText(path),
              "; comment\r\n[Other]\r\nAxisX=RawRange\r\n[wavechart]\r\nAXISX=TimeStamp\r\nPointSize=x7\r\n"
              "Left=-12\r\nTop=+5\r\nWidth=99999999999999999999\r\nHeight=590\r\n\r\n[Tail]\r\nk=v\r\n"
              "[New]\r\nInfoPanel=0\r\n");
    EXPECT_FALSE(std::filesystem::exists(path + ".new"));
}

TEST(IniFile, UnwritableFileIsReportedAndOldFileKept) {
    TTempDir dir;
    TIniFile missingFolder(dir.File("no/such/folder/a.ini"));
    missingFolder.WriteString("S", "K", "V");
    const std::string error = ErrorOf([&] { missingFolder.UpdateFile(); });
    EXPECT_NE(error.find("Cannot write settings file"), std::string::npos) << error;

    // A folder in the way of the replacement: the write fails, nothing is left behind.
    const std::string path = dir.File("b.ini");
    std::filesystem::create_directory(path);
    TIniFile blocked(path);
    blocked.WriteString("S", "K", "V");
    EXPECT_NE(ErrorOf([&] { blocked.UpdateFile(); }), "(no error)");
    EXPECT_FALSE(std::filesystem::exists(path + ".new"));
}

TEST(Settings, ReadsAsTheWindowExpects) {
    struct Case {
        const char* text;
        std::vector<TAxisX> axis;
        std::vector<TEnhance> enhance;
        int pointSize;
    };
    const Case cases[] = {
        // No file: all three enhancement reads run, ending in Linear; the time-stamp axis three times.
        {"",
         {TAxisX::TimeStamp, TAxisX::TimeStamp, TAxisX::TimeStamp},
         {TEnhance::None, TEnhance::Smooth, TEnhance::Linear},
         1},
        {"[WAVECHART]\nAxisX=RangeGate\nEnhance=Smooth\nPointSize=4\n",
         {TAxisX::RangeGate, TAxisX::RangeGate, TAxisX::RangeGate},
         {TEnhance::Smooth},
         4},
        // Values compare case-sensitively: "smooth" selects nothing, "rawrange" no axis.
        {"[WAVECHART]\nAxisX=rawrange\nEnhance=smooth\nPointSize=0\n", {}, {}, 0},
        {"[WAVECHART]\nEnhance=None\nPointSize=5000\n",
         {TAxisX::TimeStamp, TAxisX::TimeStamp, TAxisX::TimeStamp},
         {TEnhance::None},
         MaxPointSize},
    };
    TTempDir dir;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        WriteText(dir.File("s.ini"), c.text);
        const TSettingsRead r = ReadSettings(TIniFile(dir.File("s.ini")));
        EXPECT_EQ(r.AxisRuns, c.axis);
        EXPECT_EQ(r.EnhanceRuns, c.enhance);
        EXPECT_EQ(r.PointSize, c.pointSize);
    }
    const TSettingsRead defaults = ReadSettings(TIniFile(dir.File("none.ini")));
    EXPECT_TRUE(defaults.InfoPanel);
    EXPECT_FALSE(defaults.SampleBlocks);
    EXPECT_EQ(std::vector<int>({defaults.Left, defaults.Top, defaults.Width, defaults.Height}),
              std::vector<int>({100, 100, 833, 590}));
}

TEST(Settings, WindowBoundsStayOnTheScreen) {
    const TRect area{0, 0, 1280, 1000};
    struct Case {
        int l, t, w, h;
        TRect want;
    } const cases[] = {
        {100, 100, 833, 590, {100, 100, 933, 690}},
        {-5000, 99999, 833, 590, {0, 410, 833, 1000}},
        {100, 100, 5, -3, {100, 100, 100 + MinWindowWidth, 100 + MinWindowHeight}},
        {0, 0, 100000, 100000, {0, 0, 1280, 1000}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.l) + "," + std::to_string(c.t) + " " + std::to_string(c.w));
        const TRect r = ClampWindowBounds(c.l, c.t, c.w, c.h, area);
        EXPECT_EQ(std::vector<int>({r.Left, r.Top, r.Right, r.Bottom}),
                  std::vector<int>({c.want.Left, c.want.Top, c.want.Right, c.want.Bottom}));
    }
}

TEST(CommandLine, Switches) {
    struct Case {
        const char* parameter;
        TSwitchKind kind;
        std::string path;
        std::int64_t record;
        double time;
    } const cases[] = {
        {"/file=rec.kqm", TSwitchKind::Open, "rec.kqm", 0, 0},
        {"/OPEN=/data/A b.kqm", TSwitchKind::Open, "/data/A b.kqm", 0, 0},
        {"/File=", TSwitchKind::Open, "", 0, 0},
        {"/index", TSwitchKind::Index, "", 0, 0},
        {"/INDEX", TSwitchKind::Index, "", 0, 0},
        {"/indexes", TSwitchKind::None, "", 0, 0},
        {"/seek=10", TSwitchKind::Seek, "", 10, 0},
        {"/seek=-1", TSwitchKind::Seek, "", -1, 0},
        {"/seek=4294967297", TSwitchKind::Seek, "", 4294967297LL, 0},
        {"/time=12.5i", TSwitchKind::SeekTime, "", 0, 12.5},
        {"/time=12.5e", TSwitchKind::SeekTimeExternal, "", 0, 12.5},
        {"/time=12.5", TSwitchKind::SeekTimeExternal, "", 0, 12.5},
        {"/time=1e3", TSwitchKind::SeekTimeExternal, "", 0, 1000},
        {"/close", TSwitchKind::Close, "", 0, 0},
        {"/exit", TSwitchKind::Exit, "", 0, 0},
        // A plain path is not a switch.
        {"rec.kqm", TSwitchKind::None, "", 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.parameter);
        const TSwitch s = ParseSwitch(c.parameter);
        EXPECT_EQ(s.Kind, c.kind);
        EXPECT_EQ(s.Path, c.path);
        EXPECT_EQ(s.Record, c.record);
        EXPECT_EQ(s.Time, c.time);
    }
    EXPECT_EQ(ErrorOf([] { ParseSwitch("/seek=ten"); }), "'ten' is not a valid integer value");
    EXPECT_EQ(ErrorOf([] { ParseSwitch("/seek="); }), "'' is not a valid integer value");
    EXPECT_EQ(ErrorOf([] { ParseSwitch("/time=12,5i"); }), "'12,5' is not a valid floating point value");
    EXPECT_EQ(ErrorOf([] { ParseSwitch("/time=i"); }), "'' is not a valid floating point value");
}

// A locale with a decimal comma, made with localedef when the system has none.
bool GermanLocale(const TTempDir& dir) {
    if (std::setlocale(LC_NUMERIC, "de_DE.UTF-8")) return true;
    const std::string cmd = "localedef -i de_DE -f UTF-8 '" + dir.File("de_DE.UTF-8") + "' >/dev/null 2>&1";
    if (std::system(cmd.c_str()) != 0) return false;
    ::setenv("LOCPATH", dir.Path().c_str(), 1);
    return std::setlocale(LC_NUMERIC, "de_DE.UTF-8") != nullptr;
}

TEST(CommandLine, DecimalPointIgnoresTheLocale) {
    TTempDir dir;
    if (!GermanLocale(dir)) GTEST_SKIP() << "no locale with a decimal comma";
    EXPECT_EQ(*std::localeconv()->decimal_point, ',');
    EXPECT_EQ(ParseSwitch("/time=12.5i").Time, 12.5);
    EXPECT_EQ(FormatOptionalFloat(3600.5), "3600.500");
    // Starting the toolkit takes the locale from the environment; the window keeps ".".
    static int argc = 1;
    static char name[] = "viewer_tests";
    static char* argv[] = {name, nullptr};
    TApplication::Initialize(argc, argv);
    EXPECT_EQ(*std::localeconv()->decimal_point, '.');
    std::setlocale(LC_ALL, "C");
    ::unsetenv("LOCPATH");
}

TEST(FileDrop, FilterMatching) {
    const std::string dialogFilter =
        "Supported formats|*.kqm;*.hxt|Sample data files (*.kqm)|*.kqm|Waveform files (*.hxt)|*.hxt|All files "
        "(*.*)|*.*";
    struct Case {
        const char* name;
        const char* filter;
        bool match;
    } const cases[] = {
        {"/data/scan.kqm", "*.kqm;*.hxt", true},
        {"/data/SCAN.KQM", "*.kqm;*.hxt", true},
        {"C:\\data\\scan.hxt", "*.kqm;*.hxt", true},
        {"notes.txt", "*.kqm;*.hxt", false},
        {"scan.kqm.txt", "*.kqm;*.hxt", false},
        {"notes.txt", dialogFilter.c_str(), true},  // the last pair takes every name
        {"notes.txt", "", true},
        {"notes.txt", " *.txt ", true},
        {"a1.kqm", "a?.kqm", true},
        {"ab1.kqm", "a?.kqm", false},
        {"b7.kqm", "[abc]?.kqm", true},
        {"d7.kqm", "[a-c]?.kqm", false},
        {"D7.kqm", "[!a-c]?.kqm", true},
        {"x.hxt", "*.kqm;;*.hxt", false},  // an empty mask ends its list
        {"x.hxt", "Recordings|*.kqm|Waves|*.hxt", true},
        {"Recordings", "Recordings|*.kqm", false},  // descriptions are no masks
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.name) + " / " + c.filter);
        EXPECT_EQ(MatchesFilterList(c.name, c.filter), c.match);
    }
    EXPECT_EQ(FilterDroppedFiles({"a.txt", "b.kqm", "c.doc", "d.HXT"}, "*.kqm;*.hxt"),
              std::vector<std::string>({"b.kqm", "d.HXT"}));
}

TEST(Actions, EnableTableRadioGroupsAndShortcuts) {
    struct Case {
        const char* action;
        bool idle, idleOpen, busyOpen;
    } const cases[] = {
        {"ActionFileOpen", true, true, false},
        {"ActionFileQuit", true, true, false},
        {"ActionFileClose", false, true, false},
        {"ActionFileIndex", false, true, false},
        {"ActionGotoNext", false, true, false},
        {"ActionFind", false, true, false},
        {"ActionViewNextSampleBlock", false, true, false},
        {"ActionModeRawData", true, true, false},
        {"ActionInfoAbout", true, true, false},
        {"ActionCancel", false, false, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.action);
        const auto rule = EnableRule(c.action);
        EXPECT_EQ(EnabledByRule(rule, false, false, false), c.idle);
        EXPECT_EQ(EnabledByRule(rule, false, true, false), c.idleOpen);
        EXPECT_EQ(EnabledByRule(rule, true, true, false), c.busyOpen);
    }
    // Actions outside the table keep their state.
    EXPECT_TRUE(EnabledByRule(EnableRule("ActionViewEnhanceSmooth"), true, false, true));
    EXPECT_FALSE(EnabledByRule(EnableRule("ActionViewEnhanceSmooth"), false, true, false));

    TActionList list;
    int runs = 0;
    TAction& a = list.Add("A", "&A", VK_LEFT);
    TAction& b = list.Add("B", "&B", scCtrl | scAlt | 'T');
    TAction& c = list.Add("C", "&C");
    for (TAction* x : {&a, &b}) x->SetGroupIndex(1);
    a.OnExecute = b.OnExecute = c.OnExecute = [&] { ++runs; };
    a.SetChecked(true);
    b.SetChecked(true);
    EXPECT_FALSE(a.Checked());
    c.SetChecked(true);  // another group
    EXPECT_TRUE(b.Checked());
    // A disabled action never runs, from its shortcut neither; the key is still its own.
    a.SetEnabled(false);
    EXPECT_FALSE(a.Execute());
    EXPECT_TRUE(list.HandleShortCut(VK_LEFT));
    EXPECT_EQ(runs, 0);
    // A hidden action keeps its Ctrl/Alt shortcut but leaves plain keys alone.
    a.SetEnabled(true);
    a.SetVisible(false);
    b.SetVisible(false);
    EXPECT_FALSE(list.HandleShortCut(VK_LEFT));
    EXPECT_TRUE(list.HandleShortCut(scCtrl | scAlt | 'T'));
    EXPECT_EQ(runs, 1);
    EXPECT_EQ(ShortCutToText(scCtrl | scAlt | 'T'), "Ctrl+Alt+T");
    EXPECT_EQ(ShortCutToText(VK_ADD), "Num +");
}

TEST(Texts, HeaderAndTraceFormats) {
    EXPECT_EQ(FormatOptionalFloat(std::numeric_limits<double>::quiet_NaN()), "n/a");
    EXPECT_EQ(FormatOptionalFloat(3600.5), "3600.500");
    EXPECT_EQ(FormatOptionalFloat(-0.0004), "-0.000");
    std::tm t{};
    t.tm_hour = 14;
    t.tm_min = 3;
    t.tm_sec = 7;
    EXPECT_EQ(TraceLine(t, "Block: 12"), "14:03:07 Block: 12");
    t.tm_hour = 0;
    EXPECT_EQ(TraceLine(t, ""), "00:03:07 ");
    EXPECT_EQ(SettingsPathOf("/opt/narvi/Vantora"), "/opt/narvi/Vantora.ini");
    EXPECT_EQ(SettingsPathOf("/opt/narvi/Vantora.exe"), "/opt/narvi/Vantora.ini");
}

}  // namespace
