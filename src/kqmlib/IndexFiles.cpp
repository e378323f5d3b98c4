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
// file system may give every name a number of its own, so a file of the
// recording's size that begins with the recording's bytes counts as the
// recording too: no index looks like that, so nothing is lost by refusing it.
bool SameAsRecording(const std::string& Recording, const std::string& Name) {
    std::error_code Ec;
    if (std::filesystem::equivalent(Recording, Name, Ec) && !Ec) return true;
    TFileHandle A, B;
    if (!A.TryOpen(Recording, TFileHandle::faRead, TFileHandle::fsDenyNone) ||
        !B.TryOpen(Name, TFileHandle::faRead, TFileHandle::fsDenyNone))
        return false;
    if (A.Size() != B.Size()) return false;
    constexpr std::int32_t Span = 4096;
    std::uint8_t X[Span], Y[Span];
    const std::int32_t N = A.Read(X, Span);
    return N == B.Read(Y, Span) && std::equal(X, X + N, Y);
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
            return Format("Index file %s is a symbolic link: it is left as it is, move it away to rebuild the index",
                          IndexName);
        case TFileHandle::ekOther:
            return Format("%s is in the place of the index file and is no file: it is left as it is", IndexName);
        case TFileHandle::ekUnknown:
            return Format("Cannot tell what %s is: %s", IndexName, TFileHandle::SystemErrorText());
        case TFileHandle::ekFile:
            break;
        }
        if (SameAsRecording(Recording, IndexName))
            return Format("Index file and sample data file are the same: %s", IndexName);
    } catch (const std::exception& E) {
        return Format("Cannot tell what %s is: %s", IndexName, E.what());
    }
    const TIndexFileLook L = LookAtIndexFile(IndexName);
    if (!L.Readable) return Format("Cannot read %s to tell whether it is an index: %s", IndexName, L.Reason);
    if (L.Size == 0 || L.Header) return {};
    return Format("%s is in the place of the index file and is no index: it is left as it is", IndexName);
}

std::string ClearIndexTemp(const std::string& TempName, std::string& Removed) {
    Removed.clear();
    const TFileHandle::TEntryKind Kind = TFileHandle::EntryKind(TempName);
    if (Kind == TFileHandle::ekNone) return {};
    const std::string InTheWay = Format(
        "%s is in the way of the new index and is no index left unfinished by an earlier build: it is left as it is",
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

std::string KeepReason(const std::string& Name) {
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
    return {};
}
