#include "IndexFiles.h"

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <system_error>

#include "FileHandle.h"
#include "Format.h"
#include "KQMIndex.h"

namespace {

char Lower(char C) { return C >= 'A' && C <= 'Z' ? char(C - 'A' + 'a') : C; }

bool EqualIgnoringCase(const std::string& A, const std::string& B) {
    return A.size() == B.size() &&
           std::equal(A.begin(), A.end(), B.begin(), [](char X, char Y) { return Lower(X) == Lower(Y); });
}

std::string Normal(const std::string& Path) { return std::filesystem::path(Path).lexically_normal().string(); }

// Where the names differ in letter case alone, a folder blind to case takes
// them for one file; where it tells case apart they are two, but the file
// would become the recording's index as soon as the folder is copied to one
// that does not. Either way the recording must not be taken for its index.
bool SpeltAlike(const std::string& Recording, const std::string& IndexName) {
    return EqualIgnoringCase(Normal(Recording), Normal(IndexName));
}

// The same file under two names. Where the system keeps file identities
// (device and inode, volume and file index) they decide; a FUSE or network
// file system may give every name a number of its own, so two files of one
// size that begin and end with the same bytes count as one too. Taken for
// one, neither is written over nor removed: nothing is lost by the mistake.
bool SameFileOrBytes(const std::string& A, const std::string& B) {
    std::error_code Ec;
    if (std::filesystem::equivalent(A, B, Ec) && !Ec) return true;
    TFileHandle Fa, Fb;
    if (!Fa.TryOpen(A, TFileHandle::faRead, TFileHandle::fsDenyNone) ||
        !Fb.TryOpen(B, TFileHandle::faRead, TFileHandle::fsDenyNone))
        return false;
    const std::int64_t Size = Fa.Size();
    if (Size != Fb.Size()) return false;
    constexpr std::int32_t Span = 4096;
    std::uint8_t X[Span], Y[Span];
    for (const std::int64_t At : {std::int64_t(0), std::max<std::int64_t>(Size - Span, 0)}) {
        const std::int32_t N = Fa.ReadAt(X, Span, At);
        if (N != Fb.ReadAt(Y, Span, At) || !std::equal(X, X + N, Y)) return false;
    }
    return true;
}

}  // namespace

std::string IndexPlaceRefusal(const std::string& Recording, const std::string& IndexName) {
    if (Normal(Recording) == Normal(IndexName))
        return Format("Index file and sample data file are the same: %s", IndexName);
    if (SpeltAlike(Recording, IndexName))
        return Format("Recording %s is spelt like its own index file %s: give the recording another name to index it",
                      Recording, IndexName);
    try {
        switch (TFileHandle::EntryKind(IndexName)) {
        case TFileHandle::ekNone:
            return {};
        case TFileHandle::ekLink:
            return Format("Index file %s is a symbolic link, left as it is: move it away to build the index",
                          IndexName);
        case TFileHandle::ekOther:
            return Format(
                "%s stands where the index goes and is no file, left as it is: move it away to build the index",
                IndexName);
        case TFileHandle::ekUnknown:
            return Format("Cannot tell what %s is: %s", IndexName, TFileHandle::SystemErrorText());
        case TFileHandle::ekFile:
            break;
        }
        if (SameFileOrBytes(Recording, IndexName))
            return Format("Index file and sample data file are the same: %s", IndexName);
    } catch (const std::exception& E) {
        return Format("Cannot tell what %s is: %s", IndexName, E.what());
    }
    const TIndexFileLook L = LookAtIndexFile(IndexName);
    if (!L.Readable) return Format("Cannot read %s to tell whether it is an index: %s", IndexName, L.Reason);
    if (L.Size == 0 || L.Header) return {};
    return Format("%s stands where the index goes and is no index, left as it is: move it away to build the index",
                  IndexName);
}

std::string ClearIndexTemp(const std::string& TempName, std::string& Removed) {
    Removed.clear();
    const TFileHandle::TEntryKind Kind = TFileHandle::EntryKind(TempName);
    if (Kind == TFileHandle::ekNone) return {};
    const std::string InTheWay = Format(
        "%s is in the way of the new index and is no index an earlier build left "
        "unfinished, left as it is: move it away to build the index",
        TempName);
    if (Kind != TFileHandle::ekFile) return InTheWay;
    const TIndexFileLook L = LookAtIndexFile(TempName);
    if (!L.Readable) return Format("Cannot read %s to tell whether it is an index: %s", TempName, L.Reason);
    if (L.Size != 0 && !(L.Header && !L.Finished)) return InTheWay;
    // The creation that follows takes only a free name; a file that comes
    // back in between makes it fail rather than be written through.
    TFileHandle::Delete(TempName);
    Removed = TempName;
    return {};
}

// The fresh file's name in the opposite case, letter by letter: a folder
// blind to case finds the file under it, one that tells case apart does not,
// as no name but the fresh one can lead to a file this process just made.
// Only an answer that the name is free counts; where the other spelling is
// there too (blindness, or a file of that very spelling) or the system gives
// no answer, the folder counts as blind and nothing is removed. File
// identities are not asked: FUSE and network file systems may number every
// spelling differently while the folder is blind.
bool FolderTellsCaseApart(const std::string& FreshFile) {
    std::string Other = FreshFile;
    const auto Slash = Other.find_last_of("/\\");
    bool Letters = false;
    for (std::size_t I = Slash == std::string::npos ? 0 : Slash + 1; I < Other.size(); ++I) {
        char& C = Other[I];
        if (C >= 'a' && C <= 'z')
            C = char(C - 'a' + 'A');
        else if (C >= 'A' && C <= 'Z')
            C = char(C - 'A' + 'a');
        else
            continue;
        Letters = true;
    }
    return Letters && TFileHandle::EntryKind(Other) == TFileHandle::ekNone;
}

std::string KeepReason(const std::string& Name, const std::string& NewIndex) {
    switch (TFileHandle::EntryKind(Name)) {
    case TFileHandle::ekNone:
        return "no longer there";
    case TFileHandle::ekLink:
        return "a symbolic link";
    case TFileHandle::ekOther:
        return "not a file";
    case TFileHandle::ekUnknown:
        return TFileHandle::SystemErrorText();
    case TFileHandle::ekFile:
        break;
    }
    const TIndexFileLook L = LookAtIndexFile(Name);
    if (!L.Readable) return L.Reason;
    if (!L.Header) return "not an index";
    if (!L.Finished) return "an index whose build did not finish";
    if (!L.Whole) return "not whole index entries";
    // Should the folder have been blind to case after all, the other
    // spelling is the new index itself.
    if (SameFileOrBytes(Name, NewIndex)) return "the same as the new index";
    return {};
}
