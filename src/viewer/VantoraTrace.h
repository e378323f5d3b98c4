#pragma once
// The trace window: the open recording's log lines, each after the local time
// it arrived. It collects while hidden, keeps the last MaxTraceLines lines and
// only hides when closed.

#include <ctime>
#include <memory>
#include <string>

#include "Forms.h"

inline constexpr int MaxTraceLines = 10000;

// "hh:mm:ss " followed by the text.
std::string TraceLine(const std::tm& localTime, const std::string& text);

class TFormVantoraTrace {
public:
    TFormVantoraTrace();
    void AddLine(const std::string& text);
    void Show();

    TForm Form;
    std::unique_ptr<TMemo> Memo;
};
