#pragma once
// Tests for folders blind to letter case and for folders that tell it apart run
// where the temporary folder is of their kind (TMPDIR on vfat for the first);
// elsewhere they skip, unless NARVI_EXPECT_CASE_BLIND=1 says it was meant to be blind.

#include <cstdlib>
#include <filesystem>

#include "RecordingWriter.h"
#include "TempDir.h"

inline bool BlindToCase(const TTempDir& Dir) {
    WriteFileBytes(Dir.File("case-probe"), {1});
    const bool Blind = std::filesystem::exists(Dir.File("CASE-PROBE"));
    std::filesystem::remove(Dir.File("case-probe"));
    return Blind;
}

#define REQUIRE_FOLDER(Dir, Blind)                                                                         \
    if (BlindToCase(Dir) != (Blind)) {                                                                     \
        const char* Expect = std::getenv("NARVI_EXPECT_CASE_BLIND");                                       \
        if (Expect && *Expect == '1' && (Blind)) FAIL() << "the temporary folder tells letter case apart"; \
        GTEST_SKIP() << ((Blind) ? "needs a folder blind to letter case (scripts/test-casefold.sh: vfat)"  \
                                 : "needs a folder that tells letter case apart");                         \
    }
