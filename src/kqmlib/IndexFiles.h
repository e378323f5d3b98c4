#pragma once
// What an index build may replace, make way for and remove beside a
// recording. A build writes its index under a temporary name and renames it
// into place; the rules here keep that from overwriting or deleting anything
// that is not an index of the recording, on every kind of file system: those
// that tell letter case apart, those that do not (vfat, NTFS, SMB shares,
// case-folded folders) and those whose inode numbers say nothing about which
// names share a file (FUSE and network file systems).

#include <string>

// Empty when an index of Recording may be written under IndexName: nothing
// is there, or an empty file, or a file that reads as an index. Otherwise the
// reason it may not, and nothing has been touched: the recording itself is
// there (by its own name in another letter case, or as the same file), or a
// symbolic link, or a file that is no index.
std::string IndexPlaceRefusal(const std::string& Recording, const std::string& IndexName);

// Makes way for the temporary file of a new index. Only an empty file or an
// index that an earlier build left unfinished (killed before its rename) is
// removed; its name goes to Removed. Anything else in the way is left as it
// is and the reason returned; empty when the way is free.
std::string ClearIndexTemp(const std::string& TempName, std::string& Removed);

// True only when the folder of FreshFile, a file this process has just
// created under a name that was free, is known to tell that name from the
// same name in other letter case.
bool FolderTellsCaseApart(const std::string& FreshFile);

// Why the file Name, spelt like an index of the recording, stays where it
// is; empty when it is a complete index that may be removed. Only meant for
// a folder that tells letter case apart, where Name is not NewIndex; one
// that holds NewIndex's bytes stays all the same.
std::string KeepReason(const std::string& Name, const std::string& NewIndex);
