#include <gtest/gtest.h>

#include "ErrorOf.h"
#include "Exception.h"
#include "KQMTypes.h"
#include "Stream.h"

#include <cstring>
#include <string>
#include <vector>

namespace {

TField Filled(TKind Kind, std::int32_t Size, std::vector<std::uint8_t> Bytes, std::int32_t Cols = 1) {
    TField F({0}, "F", Kind, Size, Cols);
    F.Store(Bytes.data(), static_cast<std::int64_t>(Bytes.size()));
    return F;
}

TEST(FieldCreate, RejectsBadDescriptionsWithTheFieldName) {
    struct Case {
        std::vector<std::int32_t> Offs;
        TKind Kind;
        std::int32_t Size, Cols, Rows;
        const char* Message;
    } Cases[] = {
        {{0}, fkUINT, 0, 1, 1, "X: Size invalid"},
        {{0}, fkUINT, 9, 1, 1, "X: Size invalid"},
        {{0}, fkINT, 9, 1, 1, "X: Size invalid"},
        {{0}, fkSINGLE, 8, 1, 1, "X: Size invalid"},
        {{0}, fkSTRING, 0, 1, 1, "X: Size invalid"},
        {{0}, fkBITS, 0, 1, 1, "X: Size invalid"},
        {{}, fkUINT, 0, 1, 1, "X: Size invalid"},  // size is checked before offsets
        {{}, fkUINT, 4, 1, 1, "X: Offset invalid"},
        {{0, 1, 2}, fkUINT, 4, 1, 1, "X: Offset invalid"},
        {{0}, fkUINT, 4, 0, 1, "X: Cols/Rows invalid"},
        {{0}, fkUINT, 4, 1, 0, "X: Cols/Rows invalid"},
        {{0}, fkUINT, 4, 1 << 30, 4, "X: Cols/Rows invalid"},
    };
    for (const Case& C : Cases)
        EXPECT_EQ(ErrorOf([&] { TField F(C.Offs, "X", C.Kind, C.Size, C.Cols, C.Rows); }), C.Message)
            << C.Message << " size " << C.Size;
    // Flag words and strings take any size.
    EXPECT_NO_THROW(TField({0}, "B", fkBITS, 12));
    EXPECT_NO_THROW(TField({0}, "S", fkSTRING, 100));
}

TEST(FieldCreate, OneOffsetGivesOneElementsExtent) {
    TField A({20}, "A", fkUINT, 8);
    EXPECT_EQ(A.GetOffs(0), 20);
    EXPECT_EQ(A.GetOffs(1), 27);
    TField Arr({20}, "Arr", fkUINT, 2, 10);
    EXPECT_EQ(Arr.GetOffs(1), 21);  // one element, whatever the column count
    TField Two({4, 11}, "Two", fkUINT, 2);
    EXPECT_EQ(Two.GetOffs(1), 11);
    EXPECT_TRUE(A.X().empty());
}

TEST(BlockAdd, ExtentRuleStretchesOrShrinksThePreviousField) {
    TBlock B;
    TField* A = B.Add({20}, "A", fkUINT, 8);
    EXPECT_EQ(A->GetOffs(1), 27);
    B.Add({28}, "B", fkUINT, 1);
    EXPECT_EQ(A->GetOffs(1), 27);

    TBlock C;
    TField* P = C.Add({20}, "A", fkUINT, 8);
    C.Add({36}, "B", fkUINT, 1);
    EXPECT_EQ(P->GetOffs(1), 35);

    TBlock D;
    TField* Wide = D.Add({0, 100}, "Wide", fkUINT, 4, 4);
    D.Add({4}, "Inner", fkUINT, 4);  // inside the array, beyond its first element
    EXPECT_EQ(Wide->GetOffs(1), 3);
}

TEST(BlockAdd, RejectsOverlapAndDuplicatesWithoutTouchingThePreviousField) {
    TBlock B;
    TField* A = B.Add({20}, "A", fkUINT, 4);
    EXPECT_EQ(ErrorOf([&] { B.Add({23}, "B", fkUINT, 1); }), "B: Offset invalid");
    EXPECT_EQ(ErrorOf([&] { B.Add({10}, "B", fkUINT, 1); }), "B: Offset invalid");
    EXPECT_EQ(ErrorOf([&] { B.Add({}, "B", fkUINT, 1); }), "B: Offset invalid");
    EXPECT_EQ(ErrorOf([&] { B.Add({40}, "A", fkUINT, 1); }), "A: Already exists");
    EXPECT_EQ(ErrorOf([&] { B.Add({0}, "A", fkUINT, 1); }), "A: Already exists");
    // Appending an existing object: offset first, then the name.
    EXPECT_EQ(
        ErrorOf([&] { B.Add(std::make_unique<TField>(std::initializer_list<std::int32_t>{10}, "A", fkUINT, 1)); }),
        "A: Offset invalid");
    EXPECT_EQ(
        ErrorOf([&] { B.Add(std::make_unique<TField>(std::initializer_list<std::int32_t>{50}, "A", fkUINT, 1)); }),
        "A: Already exists");
    EXPECT_EQ(A->GetOffs(1), 23);
    EXPECT_EQ(B.GetFieldCount(), 1);
}

TEST(FieldGet, DecodesBigEndianElementsByKind) {
    TField I2 = Filled(fkINT, 2, {0xFF, 0xFE});
    EXPECT_EQ(I2.GetInt(), -2);
    EXPECT_EQ(I2.GetInt64(), -2);
    EXPECT_EQ(I2.GetUInt(), 0xFFFEu);

    TField U1 = Filled(fkUINT, 1, {0xC8});
    EXPECT_EQ(U1.GetUInt(), 200u);
    EXPECT_EQ(U1.GetInt64(), 200);
    EXPECT_EQ(U1.GetInt(), -56);

    TField U5 = Filled(fkUINT, 5, {0x80, 0x01, 0x02, 0x03, 0x04});
    EXPECT_EQ(U5.GetInt64(), 0x8001020304LL);
    TField I5 = Filled(fkINT, 5, {0xFF, 0xFF, 0xFF, 0xFF, 0xFD});
    EXPECT_EQ(I5.GetInt64(), -3);
    TField I8 = Filled(fkINT, 8, {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF});
    EXPECT_EQ(I8.GetInt64(), -1);

    TField F = Filled(fkSINGLE, 4, {0x3F, 0xC0, 0x00, 0x00});
    EXPECT_EQ(F.GetSingle(), 1.5f);

    TField Arr({0}, "Arr", fkUINT, 2, 3, 2);
    const std::uint8_t Six[] = {0, 1, 0, 2, 0, 3, 0, 4, 0, 5, 0, 6};
    Arr.Store(Six, 12);
    EXPECT_EQ(Arr.GetUInt(2, 0), 3u);
    EXPECT_EQ(Arr.GetUInt(0, 1), 4u);  // rows follow one another
    EXPECT_EQ(Arr.XOffset(1, 1), 9);
}

TEST(FieldGet, TextByKind) {
    EXPECT_EQ(Filled(fkBITS, 4, {0, 0, 0, 11}).Text(), "0000000B");
    EXPECT_EQ(Filled(fkBITS, 1, {0xAB}).Text(), "AB");
    EXPECT_EQ(Filled(fkUINT, 4, {0xFF, 0xFF, 0xFF, 0xFF}).Text(), "4294967295");
    EXPECT_EQ(Filled(fkINT, 4, {0xFF, 0xFF, 0xFF, 0xF6}).Text(), "-10");
    EXPECT_EQ(Filled(fkSTRING, 8, {' ', 'Z', 'A', '2', '6', 0, '\t', ' '}).Text(), "ZA26");
    EXPECT_EQ(Filled(fkSTRING, 4, {0, 0, 0, 0}).Text(), "");
    EXPECT_EQ(Filled(fkSTRING, 4, {' ', 'a', 0, 'b'}).GetString(), std::string(" a\0b", 4));
    EXPECT_EQ(Filled(fkSINGLE, 4, {0x3F, 0xC0, 0x00, 0x00}).Text(), "1.5");
    // Record time stamps are five bytes wide.
    EXPECT_EQ(Filled(fkUINT, 5, {0xFF, 0xFF, 0xFF, 0xFF, 0xFF}).Text(), "1099511627775");
    EXPECT_EQ(Filled(fkINT, 5, {0xFF, 0xFF, 0xFF, 0xFF, 0xFE}).Text(), "-2");
    EXPECT_EQ(Filled(fkBITS, 5, {0x01, 0, 0, 0, 0xAB}).Text(), "01000000AB");
    EXPECT_EQ(ErrorOf([] { Filled(fkBITS, 9, std::vector<std::uint8_t>(9, 1)).Text(); }),
              "F: Element of 9 bytes is wider than 8 bytes");
}

TEST(FieldGet, UnsafeAccessRaisesInsteadOfReadingOutsideTheData) {
    TField Empty({0}, "Never", fkUINT, 4);
    EXPECT_EQ(ErrorOf([&] { Empty.GetUInt(); }), "Never: Field holds no data");
    EXPECT_EQ(ErrorOf([&] { Empty.Text(); }), "Never: Field holds no data");
    EXPECT_EQ(ErrorOf([&] { Empty.SetUInt(1); }), "Never: Field holds no data");

    TField Arr = Filled(fkUINT, 2, {0, 1, 0, 2}, 2);
    EXPECT_EQ(ErrorOf([&] { Arr.GetUInt(2, 0); }), "Cols invalid");
    EXPECT_EQ(ErrorOf([&] { Arr.GetUInt(0, 1); }), "Rows invalid");
    EXPECT_EQ(ErrorOf([&] { Arr.GetUInt(-1, 0); }), "F: Cols invalid (-1)");
    EXPECT_EQ(ErrorOf([&] { Arr.GetUInt(0, -1); }), "F: Rows invalid (-1)");
    EXPECT_EQ(ErrorOf([&] { Arr.XOffset(5, 5); }), "Cols invalid");  // columns are tested first

    TField U5 = Filled(fkUINT, 5, {1, 2, 3, 4, 5});
    EXPECT_EQ(ErrorOf([&] { U5.GetUInt(); }), "F: Element of 5 bytes is wider than 4 bytes");
    EXPECT_EQ(ErrorOf([&] { U5.GetInt(); }), "F: Element of 5 bytes is wider than 4 bytes");
    EXPECT_EQ(ErrorOf([&] { U5.SetUInt(1); }), "F: Element of 5 bytes is wider than 4 bytes");
    TField S = Filled(fkSTRING, 2, {'a', 'b'});
    EXPECT_EQ(ErrorOf([&] { S.GetSingle(); }), "F: Element of 2 bytes is not a 4-byte float");
}

TEST(FieldSet, StoresLowBytesBigEndian) {
    TField U3 = Filled(fkUINT, 3, {0, 0, 0});
    U3.SetUInt(0x11223344);
    EXPECT_EQ(U3.X(), (std::vector<std::uint8_t>{0x22, 0x33, 0x44}));
    TField I2 = Filled(fkINT, 2, {0, 0});
    I2.SetInt(-2);
    EXPECT_EQ(I2.X(), (std::vector<std::uint8_t>{0xFF, 0xFE}));
    TField F = Filled(fkSINGLE, 4, {0, 0, 0, 0});
    F.SetSingle(-2.0f);
    EXPECT_EQ(F.X(), (std::vector<std::uint8_t>{0xC0, 0, 0, 0}));

    TField Arr({0}, "Arr", fkUINT, 1, 2);
    EXPECT_EQ(ErrorOf([&] {
                  std::uint8_t B[3] = {};
                  Arr.Store(B, 3);
              }),
              "Size of input data!");
    Arr.SetCols(4);
    std::uint8_t B[2] = {7, 8};
    Arr.Store(B, 2);
    Arr.SetCols(3);  // keeps the leading bytes
    EXPECT_EQ(Arr.X(), (std::vector<std::uint8_t>{7, 8, 0}));
    EXPECT_EQ(ErrorOf([&] { Arr.SetCols(0); }), "Arr: Cols/Rows invalid");
    EXPECT_EQ(ErrorOf([&] { Arr.SetRows(-3); }), "Arr: Cols/Rows invalid");
}

TEST(FieldStream, LoadSkipsFillerAndLeavesZerosPastTheEnd) {
    TMemoryStream S;
    const std::uint8_t Bytes[] = {1, 2, 3, 4, 5, 6, 7};
    S.Write(Bytes, 7);
    S.SetPosition(0);
    TBlock B;
    TField* A = B.Add({0}, "A", fkUINT, 2);
    TField* C = B.Add({4}, "C", fkUINT, 2, 2);
    B.Load(S);
    EXPECT_EQ(A->GetUInt(), 0x0102u);
    EXPECT_EQ(C->X(), (std::vector<std::uint8_t>{5, 6, 7, 0}));
    EXPECT_EQ(S.GetPosition(), 7);

    // Reloading replaces the buffer.
    S.SetPosition(2);
    A->Load(S);
    EXPECT_EQ(A->GetUInt(), 0x0304u);
}

TEST(FieldStream, SaveWritesAtTheOffsetWithZeroFiller) {
    TBlock B;
    B.Add({2}, "A", fkUINT, 1)->Store("\x11", 1);
    B.Add({5, 7}, "C", fkUINT, 1)->Store("\x22", 1);
    TMemoryStream S;
    B.Save(S);
    ASSERT_EQ(S.GetSize(), 8);
    const std::vector<std::uint8_t> Got(S.Memory(), S.Memory() + 8);
    EXPECT_EQ(Got, (std::vector<std::uint8_t>{0, 0, 0x11, 0, 0, 0x22, 0, 0}));
}

TEST(FieldCopy, WritePackedInHostOrder) {
    TField Arr({0}, "Arr", fkUINT, 2, 256);
    Arr.Store(nullptr, 0);
    for (int I = 0; I < 256; ++I) Arr.SetUInt(static_cast<std::uint32_t>(I * 3), I);
    std::vector<std::uint8_t> Out(512);
    EXPECT_EQ(ErrorOf([&] { Arr.WritePacked(Out.data(), 511); }), "Size of output data");
    EXPECT_EQ(Arr.WritePacked(Out.data(), 512), 512);
    std::uint16_t V[256];
    std::memcpy(V, Out.data(), 512);
    EXPECT_EQ(V[0], 0);
    EXPECT_EQ(V[255], 765);

    // Five-byte integers copy whole rather than failing halfway.
    TField U5 = Filled(fkUINT, 5, {0x01, 0x02, 0x03, 0x04, 0x05});
    std::uint64_t W = 0;
    EXPECT_EQ(U5.WritePacked(&W, 8), 5);
    EXPECT_EQ(W & 0xFFFFFFFFFFULL, 0x0102030405ULL);

    TField S = Filled(fkSTRING, 2, {'a', 'b', 'c', 'd'}, 2);
    EXPECT_EQ(ErrorOf([&] { S.WritePacked(Out.data(), 512); }), "Not allowed for strings");
    EXPECT_EQ(ErrorOf([&] { S.WriteRecord(Out.data(), 512); }), "Not allowed for strings");
}

TEST(FieldCopy, WriteRecordWidensWithSignOrZeroFill) {
    std::int32_t I32 = 0;
    EXPECT_EQ(Filled(fkINT, 3, {0xFF, 0xFF, 0xFE}).WriteRecord(&I32, 4), 4);
    EXPECT_EQ(I32, -2);
    std::uint32_t U32 = 0;
    EXPECT_EQ(Filled(fkUINT, 3, {0xFF, 0xFF, 0xFE}).WriteRecord(&U32, 4), 4);
    EXPECT_EQ(U32, 0xFFFFFEu);
    std::int64_t I64 = 0;
    EXPECT_EQ(Filled(fkINT, 5, {0xFF, 0xFF, 0xFF, 0xFF, 0xFB}).WriteRecord(&I64, 8), 8);
    EXPECT_EQ(I64, -5);
    char Str[5] = {'x', 'x', 'x', 'x', 'x'};
    EXPECT_EQ(Filled(fkSTRING, 4, {'Z', 'A', '1', '4'}).WriteRecord(Str, 5), 5);
    EXPECT_STREQ(Str, "ZA14");
    EXPECT_EQ(ErrorOf([&] { Filled(fkSTRING, 4, {'Z', 'A', '1', '4'}).WriteRecord(Str, 4); }), "Size of output data");
    std::int16_t Arr[3] = {};
    EXPECT_EQ(Filled(fkINT, 1, {0x80, 0x7F, 0xFF}, 3).WriteRecord(Arr, 3), 3);  // SHORTINT: 1 byte each
    EXPECT_EQ(reinterpret_cast<std::int8_t*>(Arr)[0], -128);
}

TEST(KQMToPasTable, NamesAndWidths) {
    struct Case {
        TKind Kind;
        std::int32_t Size;
        const char* Name;
        std::int32_t Width;
    } Cases[] = {
        {fkUINT, 1, "BYTE", 1},     {fkUINT, 2, "WORD", 2},           {fkUINT, 3, "DWORD", 4},
        {fkUINT, 4, "DWORD", 4},    {fkUINT, 5, "INT64", 8},          {fkUINT, 8, "INT64", 8},
        {fkINT, 1, "SHORTINT", 1},  {fkINT, 2, "SMALLINT", 2},        {fkINT, 3, "LONGINT", 4},
        {fkINT, 4, "LONGINT", 4},   {fkINT, 6, "INT64", 8},           {fkBITS, 1, "DWORD", 4},
        {fkSINGLE, 4, "SINGLE", 4}, {fkSTRING, 16, "STRING[16]", 17},
    };
    for (const Case& C : Cases) {
        std::string Name;
        std::int32_t Width = 0;
        KQMToPas(C.Kind, C.Size, Name, Width);
        EXPECT_EQ(Name, C.Name);
        EXPECT_EQ(Width, C.Width) << C.Name;
    }
    std::string Name;
    std::int32_t Width = 0;
    EXPECT_NE(ErrorOf([&] { KQMToPas(static_cast<TKind>(7), 4, Name, Width); }), "(no error)");
}

TEST(BlockLookup, FieldsByNameAndBlocksByPrefix) {
    THeaderPreamble P;
    EXPECT_EQ(P.Name(), "HeaderPreamble");
    EXPECT_EQ(P.GetFieldCount(), 4);
    EXPECT_EQ(P.GetFieldS("ProtocolFlags"), P.GetFieldI(1));
    EXPECT_EQ(P.GetFieldS("protocolflags"), nullptr);
    EXPECT_EQ(ErrorOf([&] { P.GetFieldI(4); }), "List index out of bounds (4)");
    EXPECT_EQ(ErrorOf([&] { P.GetFieldI(-1); }), "List index out of bounds (-1)");
    EXPECT_EQ(ErrorOf([&] { P.Field("Nope"); }), "HeaderPreamble: Field Nope not found");

    P.Add(CreateBlock("Subheader", 2, 0));
    P.Add(CreateBlock("ParameterField", 4, 1));
    EXPECT_EQ(P.GetBlockS("Subheader*")->Name(), "Subheader_2_0");
    EXPECT_EQ(P.GetBlockS("Subheader"), nullptr);
    EXPECT_EQ(P.GetBlockS("ParameterField_4_1"), P.GetBlockI(1));
    EXPECT_EQ(P.Find("*"), P.GetBlockI(1));  // searched from the last
    EXPECT_EQ(P.GetBlockS("ParameterField_4_1*"), P.GetBlockI(1));
    EXPECT_EQ(P.GetBlockS("parameterfield*"), nullptr);
    EXPECT_EQ(ErrorOf([&] { P.GetBlockI(2); }), "List index out of bounds (2)");
}

TEST(BlockPaste, CopiesSoEachBlockOwnsItsFields) {
    auto Src = CreateBlock("HousekeepingData", 1, 0);
    Src->GetFieldI(0)->Store("\0\0\0\x2A", 4);
    TBlock Dst;
    Dst.Add({0}, "Head", fkUINT, 1);
    EXPECT_EQ(ErrorOf([&] { Dst.Paste(*Src); }), "TempADCInt: Offset invalid");  // starts at 0 too
    TBlock Dst2;
    Dst2.Paste(*Src);
    ASSERT_EQ(Dst2.GetFieldCount(), 12);
    EXPECT_NE(Dst2.GetFieldI(0), Src->GetFieldI(0));
    EXPECT_EQ(Dst2.GetFieldI(0)->GetUInt(), 42u);
    Src.reset();  // the copies outlive the source (the sanitizer checks the rest)
    EXPECT_EQ(Dst2.GetFieldS("Supply_Photodiode")->GetOffs(0), 44);
    EXPECT_EQ(ErrorOf([&] { Dst2.Paste(Dst2); }), "TempADCInt: Offset invalid");
}

TEST(Factory, CreatesEveryClassByNameAndVersion) {
    struct Case {
        const char* Kind;
        std::uint16_t Main, Sub;
        const char* Class;
    } Cases[] = {
        {"HeaderPreamble", 0, 0, "HeaderPreamble"},
        {"HeaderPreamble", 9, 9, "HeaderPreamble"},
        {"Subheader", 1, 0, "Subheader_1_0"},
        {"Subheader", 2, 0, "Subheader_2_0"},
        {"ParameterField", 2, 0, "ParameterField_2_0"},
        {"ParameterField", 2, 1, "ParameterField_2_1"},
        {"ParameterField", 3, 0, "ParameterField_3_0"},
        {"ParameterField", 3, 1, "ParameterField_3_1"},
        {"ParameterField", 4, 0, "ParameterField_4_0"},
        {"ParameterField", 4, 1, "ParameterField_4_1"},
        {"ParameterField", 5, 0, "ParameterField_5_0"},
        {"ParameterField", 5, 1, "ParameterField_5_1"},
        {"MeasBlockHeader", 1, 0, "MeasBlock_1_0"},
        {"MeasBlockHeader", 1, 1, "MeasBlock_1_1"},
        {"MeasBlockHeader", 2, 0, "MeasBlock_2_0"},
        {"MeasBlockHeader", 2, 1, "MeasBlock_2_1"},
        {"MeasBlockHeader", 3, 0, "MeasBlock_3_0"},
        {"MeasBlockHeader", 3, 1, "MeasBlock_3_1"},
        {"SampleBlock", 0, 0, "SampleBlock_1_0"},
        {"SampleBlock", 1, 0, "SampleBlock_1_0"},
        {"SampleBlock", 1, 1, "SampleBlock_1_1"},
        {"HousekeepingData", 0, 0, "HousekeepingData_1_0"},
        {"HousekeepingData", 1, 0, "HousekeepingData_1_0"},
        {"HousekeepingData", 1, 1, "HousekeepingData_1_1"},
        {"HousekeepingData", 2, 0, "HousekeepingData_2_0"},
        {"HousekeepingData", 2, 1, "HousekeepingData_2_1"},
    };
    for (const Case& C : Cases) EXPECT_EQ(CreateBlock(C.Kind, C.Main, C.Sub)->Name(), C.Class);

    struct Bad {
        const char* Kind;
        std::uint16_t Main, Sub;
        const char* Message;
    } Bads[] = {
        {"Subheader", 3, 0, "Unknown Subheader_3_0"},
        {"Subheader", 0, 0, "Unknown Subheader_0_0"},
        {"SampleBlock", 2, 0, "Unknown SampleBlock_2_0"},
        {"ParameterField", 1, 0, "Unknown ParameterField_1_0"},
        {"ParameterField", 5, 2, "Unknown ParameterField_5_2"},
        {"MeasBlockHeader", 65535, 65535, "Unknown MeasBlockHeader_65535_65535"},
        {"HousekeepingData", 0, 1, "Unknown HousekeepingData_0_1"},
        {"subheader", 1, 0, "Unknown subheader_1_0"},
        {"MeasBlock", 1, 0, "Unknown MeasBlock_1_0"},
    };
    for (const Bad& B : Bads) EXPECT_EQ(ErrorOf([&] { CreateBlock(B.Kind, B.Main, B.Sub); }), B.Message);
}

}  // namespace
