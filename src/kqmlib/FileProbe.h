#pragma once
// Quick looks at a recording or its index without a reader object: the
// instrument's serial number, and the time span of the records.

#include <cstdint>
#include <string>

// The serial number from the recording's header, trimmed.
std::string GetSerialNumberFromKQM(const std::string& FileName);

// Microsecond time stamps of the first and the last record. The last record
// is looked for by its sync word near the end of the file; without sync words,
// or when none is found there, TimeEnd is 0. False, with both times 0, for
// recordings whose records carry 4-ns ticks instead of microseconds.
bool GetTimeFromKQM(const std::string& FileName, std::int64_t& TimeStart, std::int64_t& TimeEnd);

// External times of the first and the last entry of an index file. False,
// with both times unchanged, for an index marked invalid or without entries.
bool GetTimeFromIdx(const std::string& FileName, std::int64_t& TimeStart, std::int64_t& TimeEnd);
