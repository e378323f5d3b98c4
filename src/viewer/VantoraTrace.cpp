#include "VantoraTrace.h"

#include <algorithm>

#include "Format.h"
#include "LibraryText.h"

std::string TraceLine(const std::tm& t, const std::string& text) {
    return Format("%2.2d:%2.2d:%2.2d ", t.tm_hour, t.tm_min, t.tm_sec) + text;
}

TTraceLines::TTraceLines(std::size_t capacity) : FCapacity(capacity < 1 ? 1 : capacity) {}

void TTraceLines::Add(std::time_t arrived, std::string_view text) {
    if (FSlots.size() < FCapacity) {
        FSlots.push_back({arrived, std::string(text)});
    } else {
        TSlot& slot = FSlots[std::size_t(FTotal % FCapacity)];
        slot.Arrived = arrived;
        slot.Text.assign(text);
    }
    ++FTotal;
}

std::vector<std::string> TTraceLines::Since(std::uint64_t from) const {
    const std::uint64_t first = std::max<std::uint64_t>(from, FTotal - FSlots.size());
    std::vector<std::string> lines;
    if (first >= FTotal) return lines;
    lines.reserve(std::size_t(FTotal - first));
    // Lines come in bursts within one second: its stamp is made once.
    std::time_t stampTime = 0;
    std::string stamp;
    for (std::uint64_t k = first; k < FTotal; ++k) {
        const TSlot& slot = FSlots[std::size_t(k % FCapacity)];
        if (stamp.empty() || slot.Arrived != stampTime) {
            std::tm local{};
#ifdef _WIN32
            localtime_s(&local, &slot.Arrived);
#else
            localtime_r(&slot.Arrived, &local);
#endif
            stampTime = slot.Arrived;
            stamp = TraceLine(local, "");
        }
        lines.push_back(stamp + LibraryText(slot.Text));
    }
    return lines;
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
    FLines.Add(std::time(nullptr), text);
    if (FUpdatePosted || !Form.Visible()) return;
    FUpdatePosted = true;
    TApplication::Post(
        [this, alive = std::weak_ptr<bool>(FAlive)] {
            if (alive.lock()) UpdateMemo();
        },
        UpdateDelayMs);
}

void TFormVantoraTrace::UpdateMemo() {
    FUpdatePosted = false;
    if (!Form.Visible() || FHanded == FLines.Total()) return;
    // The memo keeps as many lines as the store: when more are new than it
    // keeps, nothing of what it shows stays.
    if (FLines.Total() - FHanded >= FLines.Count()) {
        Memo->SetLines(FLines.Since(0));
    } else {
        Memo->AddLines(FLines.Since(FHanded));
    }
    FHanded = FLines.Total();
}

void TFormVantoraTrace::Show() {
    Form.Show();
    UpdateMemo();
}
