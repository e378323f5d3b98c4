#include "InfoList.h"

#include "StrUtils.h"

namespace {

std::string_view NameOf(std::string_view row) {
    const auto eq = row.find('=');
    return eq == std::string_view::npos ? std::string_view() : row.substr(0, eq);
}

std::string MakeRow(std::string_view name, std::string_view value) {
    std::string row;
    row.reserve(name.size() + 1 + value.size());
    row.append(name).append("=").append(value);
    return row;
}

}  // namespace

int TInfoList::Find(std::string_view name, int n) const {
    for (std::size_t i = 0; i < FRows.size(); ++i) {
        const std::string_view row = FRows[i];
        if (row.find('=') != std::string_view::npos && SameText(NameOf(row), name) && n-- == 0) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

void TInfoList::SetInfo(std::string_view name, std::string_view value) { SetInfoN(name, 0, value); }

void TInfoList::SetInfoN(std::string_view name, int n, std::string_view value) {
    const int i = Find(name, n);
    if (i < 0) {
        FRows.push_back(MakeRow(name, value));
        return;
    }
    std::string& row = FRows[static_cast<std::size_t>(i)];
    row.resize(row.find('=') + 1);
    row.append(value);
}

void TInfoList::RemoveInfo(std::string_view name) {
    std::erase_if(FRows, [&](const std::string& row) {
        const bool named = row.find('=') != std::string::npos && SameText(NameOf(row), name);
        return named || SameText(row, name);
    });
}

std::string TInfoList::ValueOf(std::string_view name, int n) const {
    const int i = Find(name, n);
    if (i < 0) return {};
    const std::string& row = FRows[static_cast<std::size_t>(i)];
    return row.substr(row.find('=') + 1);
}

bool TInfoList::SplitNameValue(std::string_view row, std::string& name, std::string& value) {
    const auto eq = row.find('=');
    if (eq == std::string_view::npos) return false;
    name.assign(row.substr(0, eq));
    value.assign(row.substr(eq + 1));
    return true;
}

std::string TInfoList::Text() const {
    std::string text;
    for (const std::string& row : FRows) text.append(row).append("\r\n");
    return text;
}

std::string RowValueForCopy(std::string_view row) {
    const auto eq = row.find('=');
    if (eq != std::string_view::npos) row.remove_prefix(eq + 1);
    std::string text;
    text.reserve(row.size());
    for (char c : row)
        if (c != ' ') text.push_back(c);
    return text;
}
