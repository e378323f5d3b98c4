// Placeholders for the reader operations that record decoding, read and seek,
// beam geometry and index building provide. Each fails with a clear code
// (3 without index, 5 otherwise) until its real implementation replaces it
// here; delete a function from this file when it moves to its own source.

#include "KQMIndex.h"
#include "KQMReader.h"
#include "Buffer.h"

namespace {

[[noreturn]] void NotYet(const char* What) { throw ENotSupported(Format("%s not implemented", What)); }

}  // namespace

void TKQMReader::Reindex() { NotYet("Reindex"); }
