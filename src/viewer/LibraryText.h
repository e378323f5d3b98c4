#pragma once
// The reader library writes single-byte text (Latin-1: its trace lines carry
// the degree sign as the byte 0xB0), while everything the viewer shows is
// UTF-8. Every text that comes from a backend becomes display text here.

#include <exception>
#include <string>
#include <string_view>

// The backend's bytes as UTF-8, each byte one character; null gives "".
std::string LibraryText(std::string_view latin1);
std::string LibraryText(const char* latin1);

// The message of a failure as display text: the binding's exceptions carry
// the backend's own text, every other exception the viewer's (UTF-8).
std::string MessageText(const std::exception& e);
