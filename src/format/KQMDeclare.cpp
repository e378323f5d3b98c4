#include "KQMDeclare.h"

#include <cstdint>
#include <tuple>

#include "Format.h"
#include "Stream.h"

namespace {

#ifdef _WIN32
constexpr const char* PlatformLineEnd = "\r\n";
#else
constexpr const char* PlatformLineEnd = "\n";
#endif

// The member type of one field: its element type, widened to an array when
// the field has more than one column.
std::string MemberType(const TField& F) {
    std::string T;
    std::int32_t Width = 0;
    KQMToPas(F.Kind(), F.Size(), T, Width);
    if (F.Cols() > 1) {
        if (F.Rows() > 1) {
            T = Format("ARRAY [0..%d, 0..%d] OF %s", F.Cols() - 1, F.Rows() - 1, T);
        } else {
            T = Format("ARRAY [0..%d] OF %s", F.Cols() - 1, T);
        }
    }
    return T;
}

// File name without directories, less its last four characters.
std::string UnitNameOf(const std::string& FilePas) {
    const auto Slash = FilePas.find_last_of("/\\");
    std::string Name = Slash == std::string::npos ? FilePas : FilePas.substr(Slash + 1);
#ifdef _WIN32
    if (Slash == std::string::npos && Name.size() >= 2 && Name[1] == ':') Name.erase(0, 2);
#endif
    return Name.size() > 4 ? Name.substr(0, Name.size() - 4) : std::string();
}

}  // namespace

TBlockList CreateBlockList() {
    // The sample block's kind is "SampleBlock"; one entry suffices since all
    // its versions share one layout.
    static const std::tuple<const char*, std::uint16_t, std::uint16_t> Kinds[] = {
        {"HeaderPreamble", 0, 0},  {"Subheader", 1, 0},       {"ParameterField", 2, 0},  {"ParameterField", 2, 1},
        {"ParameterField", 3, 0},  {"ParameterField", 3, 1},  {"MeasBlockHeader", 1, 0}, {"MeasBlockHeader", 1, 1},
        {"MeasBlockHeader", 2, 0}, {"MeasBlockHeader", 2, 1}, {"SampleBlock", 1, 0},     {"HousekeepingData", 0, 0},
    };
    TBlockList List;
    List.reserve(std::size(Kinds));
    for (const auto& [Name, Main, Sub] : Kinds) List.push_back(CreateBlock(Name, Main, Sub));
    return List;
}

std::string BlockDeclaration(const TBlockList& Blocks, const std::string& UnitName, const std::string& LineEnd) {
    std::string Out;
    const auto Line = [&](const std::string& S) {
        Out += S;
        Out += LineEnd;
    };
    Line("unit " + UnitName + ";");
    Line("");
    Line("interface");
    Line("");
    Line("type");
    for (const auto& B : Blocks) {
        Line(Format("  T%s = packed record", B->Name()));
        for (int I = 0; I < B->GetFieldCount(); ++I) {
            const TField& F = *B->GetFieldI(I);
            Line(Format("    %-24.24s : %s;", F.Name(), MemberType(F)));
        }
        Line("  end;");
        Line("");
    }
    Line("implementation");
    Line("");
    Line("end.");
    return Out;
}

void BlockExportPas(const std::string& FilePas) {
    const std::string Text = BlockDeclaration(CreateBlockList(), UnitNameOf(FilePas), PlatformLineEnd);
    TFileStream File(FilePas, fmCreate);
    File.WriteBuffer(Text.data(), std::int32_t(Text.size()));
}
