#pragma once
// Version 1.0 index files built from a recording alone, without a reader
// object: one pass over the record framing (sync word, size word, checksum),
// one entry per record with its time stamp and the position of its size word.

#include <functional>
#include <string>

class TStream;

// Called before each record with the recording's stream (its position and
// size give the progress); setting Abort ends the build.
using TIndexCreateEvent = std::function<void(TStream& Stream, bool& Abort)>;

// Builds the index of FileKQM into FileIdx; an empty FileIdx names the file
// beside the recording (".kqm" replaced, any other name extended by ".idx").
// An existing index is replaced only when the build succeeds; a file there
// that is no index (or is the recording, or a symbolic link) is never
// replaced, and the build fails before it writes anything. Fails with EIndex.
void IndexCreate(const std::string& FileKQM, const std::string& FileIdx = std::string());

// As IndexCreate, calling Event (may be empty) before each record; false when
// the event asked to abort, which leaves any existing index untouched.
bool IndexCreateEx(const TIndexCreateEvent& Event, const std::string& FileKQM,
                   const std::string& FileIdx = std::string());
