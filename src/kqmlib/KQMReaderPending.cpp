// Placeholders for the reader operations that record decoding, read and seek,
// beam geometry and index building provide. Each fails with a clear code
// (3 without index, 5 otherwise) until its real implementation replaces it
// here; delete a function from this file when it moves to its own source.

#include "KQMIndex.h"
#include "KQMReader.h"
#include "Buffer.h"

namespace {

void RequireIndex(const TKQMReader& Reader) {
    if (!Reader.FIndex) throw ENoIndex("No index available");
}

[[noreturn]] void NotYet(const char* What) { throw ENotSupported(Format("%s not implemented", What)); }

}  // namespace

TKQMMeasBlock* TKQMReader::Read() {
    RequireIndex(*this);
    NotYet("Read");
}

void TKQMReader::Seek(std::uint32_t) {
    RequireIndex(*this);
    NotYet("Seek");
}

void TKQMReader::SeekTimeInternal(double) {
    RequireIndex(*this);
    NotYet("Seek by internal time");
}

void TKQMReader::SeekTimeExternal(double) {
    RequireIndex(*this);
    NotYet("Seek by external time");
}

std::uint32_t TKQMReader::Tell() {
    RequireIndex(*this);
    NotYet("Tell");
}

void TKQMReader::Reset() {
    FLast = FThis = FNext = nullptr;
    FStream->Seek(FStreamDataOffset, soBeginning);
    FMeasIndex = -1;
}

void TKQMReader::Reindex() { NotYet("Reindex"); }
