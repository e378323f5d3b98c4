#include "VantoraTrace.h"

#include "Format.h"

std::string TraceLine(const std::tm& t, const std::string& text) {
    return Format("%2.2d:%2.2d:%2.2d ", t.tm_hour, t.tm_min, t.tm_sec) + text;
}

TFormVantoraTrace::TFormVantoraTrace() : Form(false) {
    Form.SetCaption("Trace list");
    Form.SetStayOnTop(true);
    Memo = std::make_unique<TMemo>(&Form.Client());
    Memo->SetMaxLines(MaxTraceLines);
    Form.AddToClient(*Memo);
    Form.SetBounds(120, 120, 560, 360);
}

void TFormVantoraTrace::AddLine(const std::string& text) {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
#ifdef _WIN32
    localtime_s(&local, &now);
#else
    localtime_r(&now, &local);
#endif
    Memo->AddLine(TraceLine(local, text));
}

void TFormVantoraTrace::Show() { Form.Show(); }
