#include "EditFunct.h"

#include "Forms.h"
#include "StrUtils.h"

namespace {

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c; }

// Matches the set starting after "[" at mask[m]; on success m is past "]".
bool MatchSet(const std::string& mask, std::size_t& m, char c) {
    bool negate = false;
    if (m < mask.size() && mask[m] == '!') {
        negate = true;
        ++m;
    }
    bool hit = false;
    bool first = true;
    while (m < mask.size() && (first || mask[m] != ']')) {
        first = false;
        char lo = Lower(mask[m]), hi = lo;
        if (m + 2 < mask.size() && mask[m + 1] == '-' && mask[m + 2] != ']') {
            hi = Lower(mask[m + 2]);
            m += 2;
        }
        if (c >= lo && c <= hi) hit = true;
        ++m;
    }
    if (m >= mask.size()) return false;  // no closing bracket: the set matches nothing
    ++m;
    return hit != negate;
}

bool Match(const std::string& name, std::size_t n, const std::string& mask, std::size_t m) {
    while (m < mask.size()) {
        const char c = mask[m];
        if (c == '*') {
            while (m < mask.size() && mask[m] == '*') ++m;
            if (m == mask.size()) return true;
            for (std::size_t k = n; k <= name.size(); ++k)
                if (Match(name, k, mask, m)) return true;
            return false;
        }
        if (n >= name.size()) return false;
        if (c == '?') {
            ++m;
        } else if (c == '[') {
            ++m;
            if (!MatchSet(mask, m, Lower(name[n]))) return false;
        } else {
            if (Lower(c) != Lower(name[n])) return false;
            ++m;
        }
        ++n;
    }
    return n == name.size();
}

std::vector<std::string> Split(const std::string& s, char sep) {
    std::vector<std::string> out;
    std::size_t start = 0;
    for (;;) {
        const std::size_t p = s.find(sep, start);
        out.push_back(s.substr(start, p == std::string::npos ? std::string::npos : p - start));
        if (p == std::string::npos) return out;
        start = p + 1;
    }
}

bool MatchesMaskList(const std::string& name, const std::string& list) {
    for (const std::string& raw : Split(list, ';')) {
        const std::string mask = Trim(raw);
        if (mask.empty()) return false;
        if (MatchesMask(name, mask)) return true;
    }
    return false;
}

}  // namespace

bool MatchesMask(const std::string& fileName, const std::string& mask) { return Match(fileName, 0, mask, 0); }

bool MatchesFilterList(const std::string& fileName, const std::string& filter) {
    std::string name = fileName;
    const std::size_t cut = name.find_last_of("/\\:");
    if (cut != std::string::npos) name = name.substr(cut + 1);
    if (filter.empty()) return true;
    if (filter.find('|') == std::string::npos) return MatchesMaskList(name, Trim(filter));
    const std::vector<std::string> fields = Split(filter, '|');
    for (std::size_t i = 1; i < fields.size(); i += 2)
        if (MatchesMaskList(name, fields[i])) return true;
    return false;
}

std::vector<std::string> FilterDroppedFiles(const std::vector<std::string>& names, const std::string& filter) {
    std::vector<std::string> kept;
    for (const std::string& n : names)
        if (MatchesFilterList(n, filter)) kept.push_back(n);
    return kept;
}

TFileDropControl::TFileDropControl(TForm& form, std::string filter, TFilesDroppedEvent onDrop)
    : FForm(form), FFilter(std::move(filter)), FOnDrop(std::move(onDrop)) {
    FForm.SetOnDropFiles([this](const std::vector<std::string>& names) { Dropped(names); });
}

TFileDropControl::~TFileDropControl() { FForm.SetOnDropFiles(nullptr); }

void TFileDropControl::Dropped(const std::vector<std::string>& names) {
    const std::vector<std::string> kept = FilterDroppedFiles(names, FFilter);
    if (FOnDrop && !kept.empty()) FOnDrop(&FForm, kept);
}

std::unique_ptr<TFileDropControl> InstallFileDrop(TForm& form, const std::string& filter, TFilesDroppedEvent handler) {
    return std::make_unique<TFileDropControl>(form, filter, std::move(handler));
}
