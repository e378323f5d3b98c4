#include "IniFile.h"

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>

#include "StrUtils.h"

namespace {

bool IsSectionLine(const std::string& line, std::string* name = nullptr) {
    const std::string t = Trim(line);
    if (t.size() < 2 || t.front() != '[') return false;
    const std::size_t close = t.find(']');
    if (close == std::string::npos) return false;
    if (name) *name = Trim(t.substr(1, close - 1));
    return true;
}

// The key of a "key=value" line; false for lines without "=".
bool KeyOf(const std::string& line, std::string& key, std::string* value = nullptr) {
    const std::size_t eq = line.find('=');
    if (eq == std::string::npos) return false;
    key = Trim(line.substr(0, eq));
    if (value) *value = Trim(line.substr(eq + 1));
    return true;
}

}  // namespace

TIniFile::TIniFile(std::string fileName) : FFileName(std::move(fileName)) {
    std::ifstream in(FFileName, std::ios::binary);
    std::string line;
    bool first = true;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
            if (first) FCrLf = true;
        }
        first = false;
        FLines.push_back(line);
    }
}

int TIniFile::FindSection(const std::string& section) const {
    std::string name;
    for (std::size_t i = 0; i < FLines.size(); ++i)
        if (IsSectionLine(FLines[i], &name) && SameText(name, section)) return int(i);
    return -1;
}

int TIniFile::SectionEnd(int header) const {
    std::size_t i = std::size_t(header) + 1;
    while (i < FLines.size() && !IsSectionLine(FLines[i])) ++i;
    return int(i);
}

int TIniFile::FindKey(int header, const std::string& key) const {
    if (header < 0) return -1;
    const int end = SectionEnd(header);
    std::string k;
    for (int i = header + 1; i < end; ++i)
        if (KeyOf(FLines[std::size_t(i)], k) && SameText(k, key)) return i;
    return -1;
}

bool TIniFile::ValueExists(const std::string& section, const std::string& key) const {
    return FindKey(FindSection(section), key) >= 0;
}

std::string TIniFile::ReadString(const std::string& section, const std::string& key, const std::string& def) const {
    const int i = FindKey(FindSection(section), key);
    if (i < 0) return def;
    std::string k, v;
    KeyOf(FLines[std::size_t(i)], k, &v);
    return v;
}

std::int64_t TIniFile::ReadInteger(const std::string& section, const std::string& key, std::int64_t def) const {
    const std::string v = ReadString(section, key, {});
    const char* b = v.data();
    const char* e = b + v.size();
    if (b != e && *b == '+') ++b;
    std::int64_t n = 0;
    const auto r = std::from_chars(b, e, n);
    if (b == e || r.ec != std::errc{} || r.ptr != e) return def;
    return n;
}

bool TIniFile::ReadBool(const std::string& section, const std::string& key, bool def) const {
    return ReadInteger(section, key, def ? 1 : 0) != 0;
}

void TIniFile::WriteString(const std::string& section, const std::string& key, const std::string& value) {
    const std::string line = key + "=" + value;
    int header = FindSection(section);
    if (header < 0) {
        FLines.push_back("[" + section + "]");
        FLines.push_back(line);
        return;
    }
    const int i = FindKey(header, key);
    if (i >= 0) {
        FLines[std::size_t(i)] = line;
        return;
    }
    // After the section's last non-empty line, so a blank line before the next section stays there.
    int end = SectionEnd(header);
    while (end - 1 > header && Trim(FLines[std::size_t(end - 1)]).empty()) --end;
    FLines.insert(FLines.begin() + end, line);
}

void TIniFile::WriteInteger(const std::string& section, const std::string& key, std::int64_t value) {
    WriteString(section, key, IntToStr(value));
}

void TIniFile::WriteBool(const std::string& section, const std::string& key, bool value) {
    WriteString(section, key, value ? "1" : "0");
}

void TIniFile::UpdateFile() const {
    const std::string temp = FFileName + ".new";
    const char* eol = FCrLf ? "\r\n" : "\n";
    std::FILE* f = std::fopen(temp.c_str(), "wb");
    if (!f) throw EIniFileError("Cannot write settings file '" + FFileName + "': " + std::strerror(errno));
    bool ok = true;
    for (const std::string& line : FLines) ok = ok && std::fputs(line.c_str(), f) >= 0 && std::fputs(eol, f) >= 0;
    ok = (std::fflush(f) == 0) && ok;
    const int err = ok ? 0 : errno;
    ok = (std::fclose(f) == 0) && ok;
    if (ok && std::rename(temp.c_str(), FFileName.c_str()) == 0) return;
    const std::string reason = std::strerror(err ? err : errno);
    std::remove(temp.c_str());
    throw EIniFileError("Cannot write settings file '" + FFileName + "': " + reason);
}
