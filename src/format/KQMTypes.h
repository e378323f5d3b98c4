#pragma once
// Block and field tables of the sample data file: a block is an ordered list
// of named fields, each naming a byte extent, an element kind and size and a
// column/row count. Loading keeps every field's raw big-endian bytes; typed
// getters decode single elements on demand.
//
// Hot paths should resolve a field once (GetFieldS) and keep the pointer: it
// stays valid for the life of the block, across any number of loads.

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <span>
#include <string>
#include <vector>

class TStream;

enum TKind : std::uint8_t {
    fkUINT = 0,
    fkINT = 1,
    fkBITS = 2,
    fkSTRING = 3,
    fkSINGLE = 4,
};

// Raises the table's error (the runtime's general exception class).
[[noreturn]] void KQMTypesError(const std::string& Text);

class TField {
public:
    TField(std::span<const std::int32_t> Offs, const std::string& Name, TKind Kind, std::int32_t Size,
           std::int32_t Cols = 1, std::int32_t Rows = 1);
    TField(std::initializer_list<std::int32_t> Offs, const std::string& Name, TKind Kind, std::int32_t Size,
           std::int32_t Cols = 1, std::int32_t Rows = 1)
        : TField(std::span<const std::int32_t>(Offs.begin(), Offs.size()), Name, Kind, Size, Cols, Rows) {}
    TField(const TField&) = default;
    TField& operator=(const TField&) = delete;
    virtual ~TField() = default;

    const std::string& Name() const { return FName; }
    TKind Kind() const { return FKind; }
    std::int32_t Size() const { return FSize; }
    std::int32_t Cols() const { return FCols; }
    std::int32_t Rows() const { return FRows; }
    std::int32_t GetOffs(int I) const;
    // Bytes of data the field holds when sized: Size x Cols x Rows.
    std::int64_t DataSize() const { return std::int64_t(FSize) * FCols * FRows; }
    // Bytes from the first to the last byte of the extent.
    std::int64_t ExtentSize() const { return std::int64_t(FOffs[1]) - FOffs[0] + 1; }
    // The raw big-endian bytes as stored in the file (empty until loaded or sized).
    const std::vector<std::uint8_t>& X() const { return FX; }

    // 1-based position of the element's first byte in X.
    std::int32_t XOffset(std::int32_t Col, std::int32_t Row) const;

    void SetCols(std::int32_t Value);
    void SetRows(std::int32_t Value);

    std::uint32_t GetUInt(std::int32_t Col = 0, std::int32_t Row = 0) const;
    std::uint32_t GetBits(std::int32_t Col = 0, std::int32_t Row = 0) const;
    std::int32_t GetInt(std::int32_t Col = 0, std::int32_t Row = 0) const;
    std::int64_t GetInt64(std::int32_t Col = 0, std::int32_t Row = 0) const;
    float GetSingle(std::int32_t Col = 0, std::int32_t Row = 0) const;
    std::string GetString(std::int32_t Col = 0, std::int32_t Row = 0) const;
    std::string Text(std::int32_t Col = 0, std::int32_t Row = 0) const;

    void SetUInt(std::uint32_t Data, std::int32_t Col = 0, std::int32_t Row = 0);
    void SetInt(std::int32_t Data, std::int32_t Col = 0, std::int32_t Row = 0);
    void SetSingle(float Data, std::int32_t Col = 0, std::int32_t Row = 0);

    void Load(TStream& Stream);
    void Save(TStream& Stream) const;
    void Store(const void* Data, std::int64_t Count);

    std::int64_t WritePacked(void* Data, std::int64_t Count) const;
    std::int32_t WritePacked(void* Data, std::int64_t Count, std::int32_t Col, std::int32_t Row) const;
    std::int64_t WriteRecord(void* Data, std::int64_t Count) const;
    std::int32_t WriteRecord(void* Data, std::int64_t Count, std::int32_t Col, std::int32_t Row) const;

private:
    friend class TBlock;
    // Pointer to the element's bytes after every check; Width is the widest
    // element the caller can decode.
    const std::uint8_t* Element(std::int32_t Col, std::int32_t Row, std::int32_t Width) const;
    std::uint64_t RawUnsigned(const std::uint8_t* P) const;
    using TElementWriter = std::int32_t (TField::*)(void*, std::int64_t, std::int32_t, std::int32_t) const;
    // Every element in column order through Write, Width bytes each.
    std::int64_t WriteAll(void* Data, std::int64_t Count, std::int32_t Width, TElementWriter Write) const;

    std::string FName;
    TKind FKind;
    std::int32_t FOffs[2];
    std::int32_t FSize;
    std::int32_t FCols;
    std::int32_t FRows;
    std::vector<std::uint8_t> FX;
};

class TBlock {
public:
    explicit TBlock(std::string Name = "Block");
    TBlock(const TBlock&) = delete;
    TBlock& operator=(const TBlock&) = delete;
    virtual ~TBlock();

    // Registers the class's fields on Block; the base registers none.
    static void Init(TBlock& Block) { (void)Block; }

    virtual void Load(TStream& Stream);
    virtual void Save(TStream& Stream) const;

    const std::string& Name() const { return FName; }

    TField* Add(std::span<const std::int32_t> Offs, const std::string& Name, TKind Kind, std::int32_t Size,
                std::int32_t Cols = 1, std::int32_t Rows = 1);
    TField* Add(std::initializer_list<std::int32_t> Offs, const std::string& Name, TKind Kind, std::int32_t Size,
                std::int32_t Cols = 1, std::int32_t Rows = 1) {
        return Add(std::span<const std::int32_t>(Offs.begin(), Offs.size()), Name, Kind, Size, Cols, Rows);
    }
    TField* Add(std::unique_ptr<TField> Field);
    TBlock* Add(std::unique_ptr<TBlock> Block);
    // Appends copies of the other block's fields, so each block owns its own.
    void Paste(const TBlock& Block);

    int GetFieldCount() const { return int(FFields.size()); }
    TField* GetFieldI(int I) const;
    TField* GetFieldS(const std::string& S) const;
    // Like GetFieldS, but a missing field is an error naming the block and field.
    TField& Field(const std::string& S) const;
    int GetBlockCount() const { return int(FBlocks.size()); }
    TBlock* GetBlockI(int I) const;
    TBlock* GetBlockS(const std::string& S) const;
    TBlock* Find(const std::string& S) const { return GetBlockS(S); }

    // Offset just past the last byte the block covers: the end of the last
    // field's extent or data, whichever is further.
    std::int64_t EndOffset() const;

protected:
    void ClearBlocks() { FBlocks.clear(); }

private:
    std::vector<std::unique_ptr<TField>> FFields;
    std::vector<std::unique_ptr<TBlock>> FBlocks;
    std::string FName;
};

// Maps a field's kind and element size to a record member type and width.
void KQMToPas(TKind Kind, std::int32_t Size, std::string& KindPas, std::int32_t& SizePas);

// Creates the block class for a kind name and version pair; the caller owns it.
std::unique_ptr<TBlock> CreateBlock(const std::string& Name, std::uint16_t Main, std::uint16_t Sub);

// ---------------------------------------------------------------------------
// The versioned blocks of the sample data file. Header blocks count their
// offsets from the start of the file, record blocks from their first byte.

#define KQM_DECLARE_BLOCK(Cls)                   \
    class T##Cls : public TBlock {               \
    public:                                      \
        T##Cls() : TBlock(#Cls) { Init(*this); } \
        static void Init(TBlock& Block);         \
    };

// Loads the whole header: preamble, then the subheader and parameter field
// it names, which become its two sub-blocks. A file too short for any of the
// three tables is an error, not a header of zeros.
class THeaderPreamble : public TBlock {
public:
    THeaderPreamble() : TBlock("HeaderPreamble") { Init(*this); }
    static void Init(TBlock& Block);
    void Load(TStream& Stream) override;
};

KQM_DECLARE_BLOCK(Subheader_1_0)
KQM_DECLARE_BLOCK(Subheader_2_0)
KQM_DECLARE_BLOCK(ParameterField_2_0)
KQM_DECLARE_BLOCK(ParameterField_2_1)
KQM_DECLARE_BLOCK(ParameterField_3_0)
KQM_DECLARE_BLOCK(ParameterField_3_1)
KQM_DECLARE_BLOCK(ParameterField_4_0)
KQM_DECLARE_BLOCK(ParameterField_4_1)
KQM_DECLARE_BLOCK(ParameterField_5_0)
KQM_DECLARE_BLOCK(ParameterField_5_1)
KQM_DECLARE_BLOCK(MeasBlock_1_0)
KQM_DECLARE_BLOCK(MeasBlock_1_1)
KQM_DECLARE_BLOCK(MeasBlock_2_0)
KQM_DECLARE_BLOCK(MeasBlock_2_1)
KQM_DECLARE_BLOCK(MeasBlock_3_0)
KQM_DECLARE_BLOCK(MeasBlock_3_1)
KQM_DECLARE_BLOCK(HousekeepingData_1_0)
KQM_DECLARE_BLOCK(HousekeepingData_2_0)

#undef KQM_DECLARE_BLOCK

// Blocks whose last field's column count comes from a count field loaded
// just before it (samples per quad count, GPS words per GPS_N).
#define KQM_DECLARE_VARIABLE_BLOCK(Cls)          \
    class T##Cls : public TBlock {               \
    public:                                      \
        T##Cls() : TBlock(#Cls) { Init(*this); } \
        static void Init(TBlock& Block);         \
        void Load(TStream& Stream) override;     \
    };

KQM_DECLARE_VARIABLE_BLOCK(SampleBlock_1_0)
KQM_DECLARE_VARIABLE_BLOCK(SampleBlock_1_1)
KQM_DECLARE_VARIABLE_BLOCK(HousekeepingData_1_1)
KQM_DECLARE_VARIABLE_BLOCK(HousekeepingData_2_1)

#undef KQM_DECLARE_VARIABLE_BLOCK
