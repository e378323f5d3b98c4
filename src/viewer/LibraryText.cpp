#include "LibraryText.h"

#include <algorithm>

#include "NarviBinding.h"

std::string LibraryText(std::string_view latin1) {
    const auto high = [](char c) { return static_cast<unsigned char>(c) >= 0x80; };
    const std::size_t extra = static_cast<std::size_t>(std::count_if(latin1.begin(), latin1.end(), high));
    if (extra == 0) return std::string(latin1);
    std::string utf8;
    utf8.reserve(latin1.size() + extra);
    for (const char c : latin1) {
        const auto b = static_cast<unsigned char>(c);
        if (b < 0x80) {
            utf8 += c;
        } else {
            utf8 += static_cast<char>(0xC0 | (b >> 6));
            utf8 += static_cast<char>(0x80 | (b & 0x3F));
        }
    }
    return utf8;
}

std::string LibraryText(const char* latin1) { return latin1 ? LibraryText(std::string_view(latin1)) : std::string(); }

std::string MessageText(const std::exception& e) {
    if (dynamic_cast<const EWaveError*>(&e)) return LibraryText(e.what());
    return e.what();
}
