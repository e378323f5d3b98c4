#pragma once
// Fault injection into the system calls of file access. The test program
// itself defines open, read, write, lseek, stat, rename, close and their
// kin (Faults.cpp), so every call the library makes goes through here and on
// to the C library; while armed, the N-th call of the chosen kind fails.

#include <string>

namespace Faults {

enum TKind {
    fkEIO,     // any call fails with EIO
    fkENOSPC,  // a call that writes (write, create, truncate, sync, rename, close) fails with ENOSPC
    fkShort,   // a read or write moves only half the bytes asked for (at least one)
};

const char* KindName(TKind Kind);

// Counts the calls of Kind from now on and fails the N-th (1-based); N = 0 only counts.
void Arm(TKind Kind, long N);
// Stops counting; returns how many calls of the armed kind were made.
long Disarm();
// The call that was made to fail, or "" when none was.
std::string Fired();

}  // namespace Faults
