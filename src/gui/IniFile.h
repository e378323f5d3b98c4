#pragma once
// A settings file of the profile kind: "[section]" lines, "key=value" lines,
// everything else kept as it stands. Sections and keys compare without regard
// to letter case; a value is the text after the first "=", trimmed. The file is
// read once when the object is made and written back only by UpdateFile, in
// one piece: a new file beside the old one that then replaces it, so a failed
// write never leaves half a settings file behind. No Qt here.

#include <cstdint>
#include <string>
#include <vector>

#include "Exception.h"

class EIniFileError : public Exception {
public:
    using Exception::Exception;
};

class TIniFile {
public:
    // A missing or unreadable file reads as empty.
    explicit TIniFile(std::string fileName);

    const std::string& FileName() const { return FFileName; }

    bool ValueExists(const std::string& section, const std::string& key) const;
    std::string ReadString(const std::string& section, const std::string& key, const std::string& def) const;
    // Only an optionally signed decimal integer counts; anything else gives def.
    std::int64_t ReadInteger(const std::string& section, const std::string& key, std::int64_t def) const;
    bool ReadBool(const std::string& section, const std::string& key, bool def) const;

    // Replaces the first line of the key in the section, or adds it at the
    // section's end (making the section at the file's end when needed).
    void WriteString(const std::string& section, const std::string& key, const std::string& value);
    void WriteInteger(const std::string& section, const std::string& key, std::int64_t value);
    void WriteBool(const std::string& section, const std::string& key, bool value);

    // Writes the lines to the file; throws EIniFileError with the reason.
    void UpdateFile() const;
    const std::vector<std::string>& Lines() const { return FLines; }

private:
    // Index of the section's header line, or -1.
    int FindSection(const std::string& section) const;
    // Index of the key's line within the section starting at header, or -1.
    int FindKey(int header, const std::string& key) const;
    // One past the section's last line.
    int SectionEnd(int header) const;

    std::string FFileName;
    std::vector<std::string> FLines;
    bool FCrLf = false;
};
