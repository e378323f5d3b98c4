#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "Exception.h"
#include "KQMDeclare.h"

namespace {

namespace fs = std::filesystem;

std::string Slurp(const fs::path& P) {
    std::ifstream In(P, std::ios::binary);
    std::stringstream S;
    S << In.rdbuf();
    return S.str();
}

// The exported text with every line ending in "\n", after checking that each
// line ended the platform's way and nothing trails the last line end.
std::string ExportedLines(const fs::path& P) {
#ifdef _WIN32
    const std::string End = "\r\n";
#else
    const std::string End = "\n";
#endif
    const std::string Raw = Slurp(P);
    std::string Lines;
    std::size_t A = 0;
    while (A < Raw.size()) {
        const std::size_t B = Raw.find(End, A);
        if (B == std::string::npos) {
            ADD_FAILURE() << "text after the last line end: " << Raw.substr(A);
            return Lines + Raw.substr(A);
        }
        const std::string Line = Raw.substr(A, B - A);
        EXPECT_EQ(Line.find_first_of("\r\n"), std::string::npos) << "a line end of another platform in: " << Line;
        Lines += Line + "\n";
        A = B + End.size();
    }
    return Lines;
}

// The lines of one record declaration, "  T<Name> = packed record" to "  end;".
std::string Section(const std::string& Text, const std::string& Name) {
    const std::string Head = "  T" + Name + " = packed record\n";
    const auto A = Text.find(Head);
    if (A == std::string::npos) return "(missing " + Name + ")";
    const auto B = Text.find("  end;\n", A);
    return Text.substr(A, B + 7 - A);
}

class DeclareTest : public ::testing::Test {
protected:
    void SetUp() override {
        Dir = fs::temp_directory_path() /
              ("narvi-declare-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(Dir);
    }
    void TearDown() override { fs::remove_all(Dir); }
    fs::path Dir;
};

TEST_F(DeclareTest, ListHoldsOneBlockPerMainKindInOrder) {
    const TBlockList L = CreateBlockList();
    std::vector<std::string> Names;
    for (const auto& B : L) Names.push_back(B->Name());
    const std::vector<std::string> Expected = {"HeaderPreamble",     "Subheader_1_0",      "ParameterField_2_0",
                                               "ParameterField_2_1", "ParameterField_3_0", "ParameterField_3_1",
                                               "MeasBlock_1_0",      "MeasBlock_1_1",      "MeasBlock_2_0",
                                               "MeasBlock_2_1",      "SampleBlock_1_0",    "HousekeepingData_1_0"};
    EXPECT_EQ(Names, Expected);
    for (const auto& B : L) EXPECT_EQ(B->GetBlockCount(), 0) << "blocks come empty: " << B->Name();
}

TEST_F(DeclareTest, ExportWritesTheGoldenDeclaration) {
    const fs::path File = Dir / "Blocks.pas";
    BlockExportPas(File.string());
    const std::string Text = ExportedLines(File);

    // The unit frame: named after the file, without its directory.
    EXPECT_TRUE(Text.starts_with("unit Blocks;\n\ninterface\n\ntype\n  THeaderPreamble = packed record\n"));
    EXPECT_TRUE(Text.ends_with("    Supply_Photodiode        : DWORD;\n  end;\n\nimplementation\n\nend.\n"));

    EXPECT_EQ(Section(Text, "HeaderPreamble"),
              "  THeaderPreamble = packed record\n"
              "    HeaderDwordSize          : DWORD;\n"
              "    ProtocolFlags            : DWORD;\n"
              "    SubheaderIdMain          : WORD;\n"
              "    SubheaderIdSub           : WORD;\n"
              "  end;\n");
    EXPECT_EQ(Section(Text, "Subheader_1_0"),
              "  TSubheader_1_0 = packed record\n"
              "    ParameterIdMain          : WORD;\n"
              "    ParameterIdSub           : WORD;\n"
              "    MeasIdMain               : WORD;\n"
              "    MeasIdSub                : WORD;\n"
              "  end;\n");
    // Parameter field 2.0 in full: strings, widened integers, float vectors,
    // the lookup tables and the one-byte arrays of four.
    EXPECT_EQ(Section(Text, "ParameterField_2_0"),
              "  TParameterField_2_0 = packed record\n"
              "    SerialNumber             : STRING[8];\n"
              "    InstrumentType           : STRING[8];\n"
              "    InstrumentModel          : WORD;\n"
              "    SyncField                : DWORD;\n"
              "    BeamAperture             : WORD;\n"
              "    BeamDivergence           : WORD;\n"
              "    BeamFocus                : WORD;\n"
              "    LineAngleCircleCount     : DWORD;\n"
              "    NumberFacets             : BYTE;\n"
              "    LineAngleCoarseRes       : WORD;\n"
              "    LineAngleOffset          : DWORD;\n"
              "    RangeCorrPPM             : LONGINT;\n"
              "    LoChannelRangeOffset     : LONGINT;\n"
              "    HiChannelRangeOffset     : LONGINT;\n"
              "    CorrLaserOrigin          : ARRAY [0..2] OF SINGLE;\n"
              "    CorrLaserDir             : ARRAY [0..2] OF SINGLE;\n"
              "    CorrMirrorAxis           : ARRAY [0..2] OF SINGLE;\n"
              "    CorrOffset               : ARRAY [0..2] OF SINGLE;\n"
              "    CorrFacetNormal1         : ARRAY [0..2] OF SINGLE;\n"
              "    CorrFacetDistance1       : SINGLE;\n"
              "    CorrFacetNormal2         : ARRAY [0..2] OF SINGLE;\n"
              "    CorrFacetDistance2       : SINGLE;\n"
              "    CorrFacetNormal3         : ARRAY [0..2] OF SINGLE;\n"
              "    CorrFacetDistance3       : SINGLE;\n"
              "    CorrFacetNormal4         : ARRAY [0..2] OF SINGLE;\n"
              "    CorrFacetDistance4       : SINGLE;\n"
              "    LinearizeArray           : ARRAY [0..255] OF WORD;\n"
              "    DelogArray               : ARRAY [0..255] OF WORD;\n"
              "    AmplCorrArrayLO          : ARRAY [0..299] OF SMALLINT;\n"
              "    AmplCorrArrayHI          : ARRAY [0..299] OF SMALLINT;\n"
              "    LaserPulseRate           : DWORD;\n"
              "    LineScanStartValue       : ARRAY [0..3] OF DWORD;\n"
              "    LineScanIncrement        : ARRAY [0..3] OF DWORD;\n"
              "    LineScanMeasNumber       : DWORD;\n"
              "    RangeGate                : WORD;\n"
              "    SampleBlockLen           : ARRAY [0..3] OF BYTE;\n"
              "    PreQuadCount             : ARRAY [0..3] OF BYTE;\n"
              "    ADCThreshold             : ARRAY [0..3] OF BYTE;\n"
              "    LastPulseSuppression     : ARRAY [0..3] OF BYTE;\n"
              "    FirstBlocks              : BYTE;\n"
              "    LastBlocks               : BYTE;\n"
              "  end;\n");
    // Record blocks: flag bytes as DWORD, 40-bit times as INT64, 24-bit counts as DWORD.
    EXPECT_EQ(Section(Text, "MeasBlock_1_1"),
              "  TMeasBlock_1_1 = packed record\n"
              "    MeasBlockDwords          : WORD;\n"
              "    GpsSyncDescriptor        : DWORD;\n"
              "    TimeuSec                 : INT64;\n"
              "    LineEncoderValue         : DWORD;\n"
              "    FrameEncoderValue        : DWORD;\n"
              "    NumSampleBlocks          : BYTE;\n"
              "  end;\n");
    EXPECT_EQ(Section(Text, "SampleBlock_1_0"),
              "  TSampleBlock_1_0 = packed record\n"
              "    SampleBlockTimeStamp     : WORD;\n"
              "    ChannelDescriptor        : DWORD;\n"
              "    NumQuads                 : BYTE;\n"
              "    Sample                   : BYTE;\n"
              "  end;\n");
    // Every block of the list is declared once, each followed by an empty line.
    for (const auto& B : CreateBlockList()) {
        const std::string Head = "  T" + B->Name() + " = packed record\n";
        const auto At = Text.find(Head);
        ASSERT_NE(At, std::string::npos) << B->Name();
        EXPECT_EQ(Text.find(Head, At + 1), std::string::npos) << B->Name();
    }
    std::size_t Ends = 0;
    for (auto P = Text.find("  end;\n\n"); P != std::string::npos; P = Text.find("  end;\n\n", P + 1)) ++Ends;
    EXPECT_EQ(Ends, CreateBlockList().size());
}

TEST_F(DeclareTest, LongNamesAreCutToTwentyFourCharacters) {
    const std::string Text = BlockDeclaration(CreateBlockList(), "U", "\n");
    // 26 characters in the parameter field 3.x.
    EXPECT_NE(Text.find("    LineEncoderFineCountOffs : WORD;\n"), std::string::npos);
    EXPECT_EQ(Text.find("LineEncoderFineCountOffset "), std::string::npos);
    // Exactly 24 characters fit without a cut and without padding.
    std::string Name24 = "ABCDEFGHIJKLMNOPQRSTUVWX";
    TBlockList L;
    L.push_back(std::make_unique<TBlock>("Probe"));
    L.back()->Add({0}, Name24, fkUINT, 8);
    L.back()->Add({8}, Name24 + "YZ", fkSTRING, 3);
    EXPECT_EQ(BlockDeclaration(L, "U", "\r\n"),
              "unit U;\r\n\r\ninterface\r\n\r\ntype\r\n"
              "  TProbe = packed record\r\n"
              "    ABCDEFGHIJKLMNOPQRSTUVWX : INT64;\r\n"
              "    ABCDEFGHIJKLMNOPQRSTUVWX : STRING[3];\r\n"
              "  end;\r\n\r\n"
              "implementation\r\n\r\nend.\r\n");
}

TEST_F(DeclareTest, MultiRowFieldsDeclareTwoDimensions) {
    TBlockList L;
    L.push_back(std::make_unique<TBlock>("Grid"));
    L.back()->Add({0}, "Cells", fkINT, 2, 4, 3);
    L.back()->Add({24}, "Column", fkSINGLE, 4, 1, 5);
    const std::string Text = BlockDeclaration(L, "G", "\n");
    EXPECT_NE(Text.find("    Cells                    : ARRAY [0..3, 0..2] OF SMALLINT;\n"), std::string::npos);
    // One column and several rows: the element type alone.
    EXPECT_NE(Text.find("    Column                   : SINGLE;\n"), std::string::npos);
}

TEST_F(DeclareTest, UnitNameComesFromTheFileName) {
    struct Case {
        std::string File;
        std::string Unit;
    };
    for (const Case& C :
         {Case{"KQMRec.pas", "KQMRec"}, Case{"two.dots.inc", "two.dots"}, Case{"x.pas", "x"}, Case{".pas", ""}}) {
        const fs::path File = Dir / C.File;
        BlockExportPas(File.string());
        const std::string Text = ExportedLines(File);
        EXPECT_EQ(Text.substr(0, Text.find('\n')), "unit " + C.Unit + ";") << C.File;
    }
}

TEST_F(DeclareTest, ExportOverwritesAndReportsFilesItCannotCreate) {
    const fs::path File = Dir / "Blocks.pas";
    {
        std::ofstream Old(File, std::ios::binary);
        Old << std::string(200000, 'x');
    }
    BlockExportPas(File.string());
    const std::string Text = ExportedLines(File);
    EXPECT_EQ(Text.find('x' + std::string(10, 'x')), std::string::npos);
    EXPECT_EQ(Text.substr(Text.size() - 5), "end.\n");

    EXPECT_THROW(BlockExportPas((Dir / "no-such-dir" / "Blocks.pas").string()), EInOutError);
    EXPECT_THROW(BlockExportPas(Dir.string()), EInOutError);
}

}  // namespace
