#include "KQMTypes.h"

#include "Exception.h"
#include "FloatFormat.h"
#include "Format.h"
#include "Stream.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <limits>

void KQMTypesError(const std::string& Text) { throw Exception(Text); }

namespace {

constexpr std::int64_t MaxFieldBytes = std::numeric_limits<std::int32_t>::max();

bool IsBlankOrControl(char C) { return static_cast<unsigned char>(C) <= ' '; }

// Writes the low Width bytes of V in host byte order.
void PutHost(std::uint8_t* Dest, std::uint64_t V, int Width) {
    std::uint8_t Bytes[8];
    std::memcpy(Bytes, &V, 8);
    if constexpr (std::endian::native == std::endian::little) {
        std::memcpy(Dest, Bytes, static_cast<std::size_t>(Width));
    } else {
        std::memcpy(Dest, Bytes + 8 - Width, static_cast<std::size_t>(Width));
    }
}

}  // namespace

// ---------------------------------------------------------------- TField

TField::TField(std::span<const std::int32_t> Offs, const std::string& Name, TKind Kind, std::int32_t Size,
               std::int32_t Cols, std::int32_t Rows)
    : FName(Name), FKind(Kind), FOffs{0, 0}, FSize(Size), FCols(Cols), FRows(Rows) {
    const bool IntKind = Kind == fkUINT || Kind == fkINT;
    if (Kind > fkSINGLE || (IntKind && (Size < 1 || Size > 8)) || Size < 1 || (Kind == fkSINGLE && Size != 4))
        KQMTypesError(Name + ": Size invalid");
    if (Offs.size() != 1 && Offs.size() != 2) KQMTypesError(Name + ": Offset invalid");
    if (Cols < 1 || Rows < 1 || std::int64_t(Size) * Cols * Rows > MaxFieldBytes)
        KQMTypesError(Name + ": Cols/Rows invalid");
    // A negative first byte would make Save seek before the start of the stream.
    if (Offs[0] < 0) KQMTypesError(Name + ": Offset invalid");
    FOffs[0] = Offs[0];
    FOffs[1] = Offs.size() == 2 ? Offs[1] : Offs[0] + Size - 1;
}

std::int32_t TField::GetOffs(int I) const {
    if (I < 0 || I > 1) KQMTypesError(Format("%s: Offset index invalid (%d)", FName, I));
    return FOffs[I];
}

std::int32_t TField::XOffset(std::int32_t Col, std::int32_t Row) const {
    if (Col > FCols - 1) KQMTypesError("Cols invalid");
    if (Row > FRows - 1) KQMTypesError("Rows invalid");
    if (Col < 0) KQMTypesError(Format("%s: Cols invalid (%d)", FName, Col));
    if (Row < 0) KQMTypesError(Format("%s: Rows invalid (%d)", FName, Row));
    return static_cast<std::int32_t>((std::int64_t(Col) + std::int64_t(Row) * FCols) * FSize + 1);
}

void TField::SetCols(std::int32_t Value) {
    if (Value < 1 || std::int64_t(FSize) * Value * FRows > MaxFieldBytes) KQMTypesError(FName + ": Cols/Rows invalid");
    FCols = Value;
    FX.resize(static_cast<std::size_t>(DataSize()));
}

void TField::SetRows(std::int32_t Value) {
    if (Value < 1 || std::int64_t(FSize) * FCols * Value > MaxFieldBytes) KQMTypesError(FName + ": Cols/Rows invalid");
    FRows = Value;
    FX.resize(static_cast<std::size_t>(DataSize()));
}

const std::uint8_t* TField::Element(std::int32_t Col, std::int32_t Row, std::int32_t Width) const {
    if (static_cast<std::int64_t>(FX.size()) != DataSize()) KQMTypesError(FName + ": Field holds no data");
    const std::int32_t Pos = XOffset(Col, Row);
    if (FSize > Width) KQMTypesError(Format("%s: Element of %d bytes is wider than %d bytes", FName, FSize, Width));
    return FX.data() + (Pos - 1);
}

std::uint64_t TField::RawUnsigned(const std::uint8_t* P) const {
    std::uint64_t V = 0;
    for (std::int32_t I = 0; I < FSize; ++I) V = (V << 8) | P[I];
    return V;
}

std::uint32_t TField::GetUInt(std::int32_t Col, std::int32_t Row) const {
    return static_cast<std::uint32_t>(RawUnsigned(Element(Col, Row, 4)));
}

std::uint32_t TField::GetBits(std::int32_t Col, std::int32_t Row) const { return GetUInt(Col, Row); }

std::int32_t TField::GetInt(std::int32_t Col, std::int32_t Row) const {
    const std::uint8_t* P = Element(Col, Row, 4);
    std::uint64_t V = RawUnsigned(P);
    if (P[0] & 0x80) V |= ~std::uint64_t(0) << (8 * FSize);
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(V));
}

std::int64_t TField::GetInt64(std::int32_t Col, std::int32_t Row) const {
    const std::uint8_t* P = Element(Col, Row, 8);
    std::uint64_t V = RawUnsigned(P);
    if (FKind == fkINT && (P[0] & 0x80) && FSize < 8) V |= ~std::uint64_t(0) << (8 * FSize);
    return static_cast<std::int64_t>(V);
}

float TField::GetSingle(std::int32_t Col, std::int32_t Row) const {
    const std::uint8_t* P = Element(Col, Row, 4);
    if (FSize != 4) KQMTypesError(Format("%s: Element of %d bytes is not a 4-byte float", FName, FSize));
    return std::bit_cast<float>(static_cast<std::uint32_t>(RawUnsigned(P)));
}

std::string TField::GetString(std::int32_t Col, std::int32_t Row) const {
    const std::uint8_t* P = Element(Col, Row, std::numeric_limits<std::int32_t>::max());
    return std::string(reinterpret_cast<const char*>(P), static_cast<std::size_t>(FSize));
}

std::string TField::Text(std::int32_t Col, std::int32_t Row) const {
    // Integers are shown through 64 bits, so that 5- to 8-byte elements such
    // as record time stamps show their value instead of failing.
    switch (FKind) {
    case fkUINT:
        return Format("%u", RawUnsigned(Element(Col, Row, 8)));
    case fkINT:
        return Format("%d", GetInt64(Col, Row));
    case fkBITS: {
        static const char Digits[] = "0123456789ABCDEF";
        std::uint64_t V = RawUnsigned(Element(Col, Row, 8));
        std::string S(static_cast<std::size_t>(FSize) * 2, '0');
        for (auto It = S.rbegin(); It != S.rend() && V; ++It, V >>= 4) *It = Digits[V & 0xF];
        return S;
    }
    case fkSTRING: {
        std::string S = GetString(Col, Row);
        const auto First = std::find_if_not(S.begin(), S.end(), IsBlankOrControl);
        const auto Last = std::find_if_not(S.rbegin(), S.rend(), IsBlankOrControl).base();
        return First < Last ? std::string(First, Last) : std::string();
    }
    case fkSINGLE:
        return FloatToStr(GetSingle(Col, Row));
    }
    KQMTypesError(Format("%s: Kind invalid (%d)", FName, int(FKind)));
}

void TField::SetUInt(std::uint32_t Data, std::int32_t Col, std::int32_t Row) {
    std::uint8_t* P = const_cast<std::uint8_t*>(Element(Col, Row, 4));
    for (std::int32_t I = FSize - 1; I >= 0; --I, Data >>= 8) P[I] = static_cast<std::uint8_t>(Data);
}

void TField::SetInt(std::int32_t Data, std::int32_t Col, std::int32_t Row) {
    SetUInt(static_cast<std::uint32_t>(Data), Col, Row);
}

void TField::SetSingle(float Data, std::int32_t Col, std::int32_t Row) {
    if (FSize != 4) KQMTypesError(Format("%s: Element of %d bytes is not a 4-byte float", FName, FSize));
    SetUInt(std::bit_cast<std::uint32_t>(Data), Col, Row);
}

void TField::Load(TStream& Stream) {
    const std::int64_t Count = DataSize();
    FX.assign(static_cast<std::size_t>(Count), 0);
    std::int64_t Done = 0;
    while (Done < Count) {
        const std::int32_t Got = Stream.Read(FX.data() + Done, static_cast<std::int32_t>(Count - Done));
        if (Got <= 0) break;
        Done += Got;
    }
    const std::int64_t Filler = ExtentSize() - Count;
    if (Filler > 0) Stream.Seek(Filler, soCurrent);
}

void TField::Save(TStream& Stream) const {
    Stream.Seek(FOffs[0], soBeginning);
    const std::int64_t Count = DataSize();
    if (static_cast<std::int64_t>(FX.size()) == Count) {
        if (Count > 0) Stream.WriteBuffer(FX.data(), static_cast<std::int32_t>(Count));
    } else {
        // A field never loaded or sized is saved as zeros, so the layout stays intact.
        const std::vector<std::uint8_t> Zero(static_cast<std::size_t>(Count), 0);
        Stream.WriteBuffer(Zero.data(), static_cast<std::int32_t>(Count));
    }
    const std::int64_t Filler = ExtentSize() - Count;
    if (Filler > 0) {
        const std::vector<std::uint8_t> Zero(static_cast<std::size_t>(Filler), 0);
        Stream.WriteBuffer(Zero.data(), static_cast<std::int32_t>(Filler));
    }
}

void TField::Store(const void* Data, std::int64_t Count) {
    if (Count > DataSize()) KQMTypesError("Size of input data!");
    if (static_cast<std::int64_t>(FX.size()) != DataSize()) FX.assign(static_cast<std::size_t>(DataSize()), 0);
    if (Count > 0) std::memcpy(FX.data(), Data, static_cast<std::size_t>(Count));
}

std::int32_t TField::WritePacked(void* Data, std::int64_t Count, std::int32_t Col, std::int32_t Row) const {
    (void)Count;
    auto* D = static_cast<std::uint8_t*>(Data);
    switch (FKind) {
    case fkUINT:
    case fkBITS:
    case fkINT: {
        // Decoded in 64 bits so that 5- to 8-byte elements copy whole.
        const std::uint8_t* P = Element(Col, Row, 8);
        PutHost(D, RawUnsigned(P), FSize);
        break;
    }
    case fkSTRING: {
        const std::string S = GetString(Col, Row);
        std::memcpy(D, S.data(), S.size());
        break;
    }
    case fkSINGLE: {
        const float F = GetSingle(Col, Row);
        std::memcpy(D, &F, 4);
        break;
    }
    }
    return FSize;
}

std::int64_t TField::WritePacked(void* Data, std::int64_t Count) const {
    return WriteAll(Data, Count, FSize, &TField::WritePacked);
}

std::int32_t TField::WriteRecord(void* Data, std::int64_t Count, std::int32_t Col, std::int32_t Row) const {
    std::string KindPas;
    std::int32_t W = 0;
    KQMToPas(FKind, FSize, KindPas, W);
    if (Count < W) KQMTypesError("Size of output data");
    auto* D = static_cast<std::uint8_t*>(Data);
    switch (FKind) {
    case fkUINT:
    case fkBITS:
    case fkINT: {
        // Widened with sign or zero fill to the record member's width.
        const std::uint64_t V =
            FKind == fkINT ? static_cast<std::uint64_t>(GetInt64(Col, Row)) : RawUnsigned(Element(Col, Row, 8));
        PutHost(D, V, W);
        break;
    }
    case fkSTRING: {
        const std::string S = GetString(Col, Row);
        std::memcpy(D, S.data(), S.size());
        D[S.size()] = 0;
        break;
    }
    case fkSINGLE: {
        const float F = GetSingle(Col, Row);
        std::memcpy(D, &F, 4);
        break;
    }
    }
    return W;
}

std::int64_t TField::WriteRecord(void* Data, std::int64_t Count) const {
    std::string KindPas;
    std::int32_t W = 0;
    KQMToPas(FKind, FSize, KindPas, W);
    return WriteAll(Data, Count, W, &TField::WriteRecord);
}

std::int64_t TField::WriteAll(void* Data, std::int64_t Count, std::int32_t Width, TElementWriter Write) const {
    if (std::int64_t(FRows) * FCols > 1 && FKind == fkSTRING) KQMTypesError("Not allowed for strings");
    const std::int64_t Total = std::int64_t(FCols) * FRows * Width;
    if (Count < Total) KQMTypesError("Size of output data");
    // Staged so that a failing element leaves the caller's memory untouched.
    std::vector<std::uint8_t> Buffer(static_cast<std::size_t>(Total), 0);
    std::int64_t Pos = 0;
    for (std::int32_t Col = 0; Col < FCols; ++Col)
        for (std::int32_t Row = 0; Row < FRows; ++Row) Pos += (this->*Write)(Buffer.data() + Pos, Width, Col, Row);
    if (Total > 0) std::memcpy(Data, Buffer.data(), static_cast<std::size_t>(Total));
    return Total;
}

// ---------------------------------------------------------------- TBlock

TBlock::TBlock(std::string Name) : FName(std::move(Name)) {}

TBlock::~TBlock() = default;

TField* TBlock::Add(std::span<const std::int32_t> Offs, const std::string& Name, TKind Kind, std::int32_t Size,
                    std::int32_t Cols, std::int32_t Rows) {
    if (Offs.empty()) KQMTypesError(Name + ": Offset invalid");
    if (GetFieldS(Name)) KQMTypesError(Name + ": Already exists");
    return Add(std::make_unique<TField>(Offs, Name, Kind, Size, Cols, Rows));
}

TField* TBlock::Add(std::unique_ptr<TField> Field) {
    TField* P = FFields.empty() ? nullptr : FFields.back().get();
    if (P && !(Field->FOffs[0] > std::int64_t(P->FOffs[0]) + P->FSize - 1))
        KQMTypesError(Field->FName + ": Offset invalid");
    if (GetFieldS(Field->FName)) KQMTypesError(Field->FName + ": Already exists");
    // The previous field is stretched only once the append is sure to succeed.
    if (P) P->FOffs[1] = Field->FOffs[0] - 1;
    FFields.push_back(std::move(Field));
    return FFields.back().get();
}

TBlock* TBlock::Add(std::unique_ptr<TBlock> Block) {
    FBlocks.push_back(std::move(Block));
    return FBlocks.back().get();
}

void TBlock::Paste(const TBlock& Block) {
    // Snapshot first: pasting a block into itself must not iterate a growing list.
    std::vector<std::unique_ptr<TField>> Copies;
    Copies.reserve(Block.FFields.size());
    for (const auto& F : Block.FFields) Copies.push_back(std::make_unique<TField>(*F));
    for (auto& F : Copies) Add(std::move(F));
}

TField* TBlock::GetFieldI(int I) const {
    if (I < 0 || I >= GetFieldCount()) KQMTypesError(Format("List index out of bounds (%d)", I));
    return FFields[static_cast<std::size_t>(I)].get();
}

TField* TBlock::GetFieldS(const std::string& S) const {
    for (auto It = FFields.rbegin(); It != FFields.rend(); ++It)
        if ((*It)->FName == S) return It->get();
    return nullptr;
}

TField& TBlock::Field(const std::string& S) const {
    TField* F = GetFieldS(S);
    if (!F) KQMTypesError(Format("%s: Field %s not found", FName, S));
    return *F;
}

TBlock* TBlock::GetBlockI(int I) const {
    if (I < 0 || I >= GetBlockCount()) KQMTypesError(Format("List index out of bounds (%d)", I));
    return FBlocks[static_cast<std::size_t>(I)].get();
}

TBlock* TBlock::GetBlockS(const std::string& S) const {
    const bool Prefix = !S.empty() && S.back() == '*';
    const std::string Key = Prefix ? S.substr(0, S.size() - 1) : S;
    for (auto It = FBlocks.rbegin(); It != FBlocks.rend(); ++It) {
        const std::string& N = (*It)->FName;
        if (Prefix ? N.compare(0, Key.size(), Key) == 0 && N.size() >= Key.size() : N == Key) return It->get();
    }
    return nullptr;
}

std::int64_t TBlock::EndOffset() const {
    if (FFields.empty()) return 0;
    const TField& L = *FFields.back();
    return L.FOffs[0] + std::max(L.ExtentSize(), L.DataSize());
}

void TBlock::Load(TStream& Stream) {
    for (auto& F : FFields) F->Load(Stream);
}

void TBlock::Save(TStream& Stream) const {
    for (const auto& F : FFields) F->Save(Stream);
    for (const auto& B : FBlocks) B->Save(Stream);
}

// ---------------------------------------------------------------- KQMToPas

void KQMToPas(TKind Kind, std::int32_t Size, std::string& KindPas, std::int32_t& SizePas) {
    switch (Kind) {
    case fkUINT:
    case fkINT: {
        static const char* const U[] = {"BYTE", "WORD", "DWORD", "DWORD", "INT64"};
        static const char* const S[] = {"SHORTINT", "SMALLINT", "LONGINT", "LONGINT", "INT64"};
        static const std::int32_t W[] = {1, 2, 4, 4, 8};
        if (Size < 1 || Size > 8) KQMTypesError(Format("Size invalid (%d)", Size));
        const int I = std::min(Size, 5) - 1;
        KindPas = Kind == fkUINT ? U[I] : S[I];
        SizePas = W[I];
        return;
    }
    case fkBITS:
        KindPas = "DWORD";
        SizePas = 4;
        return;
    case fkSINGLE:
        KindPas = "SINGLE";
        SizePas = 4;
        return;
    case fkSTRING:
        KindPas = Format("STRING[%d]", Size);
        SizePas = Size + 1;
        return;
    }
    KQMTypesError(Format("Kind invalid (%d)", int(Kind)));
}
