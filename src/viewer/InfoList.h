#pragma once
// The rows of the record information list: texts of the form name "=" value.
// A name may occur several times (the three components of a vector); names
// compare without regard to letter case. Rows without "=" are headings.

#include <string>
#include <string_view>
#include <vector>

class TInfoList {
public:
    const std::vector<std::string>& Rows() const { return FRows; }
    int Count() const { return static_cast<int>(FRows.size()); }
    const std::string& Row(int index) const { return FRows.at(static_cast<std::size_t>(index)); }
    void Clear() { FRows.clear(); }
    void Add(std::string row) { FRows.push_back(std::move(row)); }

    // Replaces the value of the first row named name, or appends the row.
    void SetInfo(std::string_view name, std::string_view value);
    // Replaces the value of the n-th (0-based) row named name, or appends a
    // row when there are fewer.
    void SetInfoN(std::string_view name, int n, std::string_view value);
    // Deletes every row equal to name and every row named name.
    void RemoveInfo(std::string_view name);
    // Value of the n-th row named name; empty when there is none.
    std::string ValueOf(std::string_view name, int n = 0) const;

    // Splits a row at its first "="; false for a row without one.
    static bool SplitNameValue(std::string_view row, std::string& name, std::string& value);

    // All rows, each followed by CR LF.
    std::string Text() const;

private:
    // Index of the n-th row named name, -1 when there are fewer.
    int Find(std::string_view name, int n) const;

    std::vector<std::string> FRows;
};

// The text a row gives to the clipboard: the part behind the first "=" (the
// whole row when it has none), without the spaces the number formats insert.
std::string RowValueForCopy(std::string_view row);
