#pragma once
// The modal "About" window: program name, version and the backend library's version.

#include <string>

void ShowAbout(const std::string& version, const std::string& libraryInfo);
