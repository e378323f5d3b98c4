#pragma once
// The trace window: the open recording's log lines, each after the local time
// it arrived. It collects while hidden, keeps the last MaxTraceLines lines and
// only hides when closed.

#include <cstdint>
#include <ctime>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "Forms.h"

inline constexpr int MaxTraceLines = 10000;

// "hh:mm:ss " followed by the text.
std::string TraceLine(const std::tm& localTime, const std::string& text);

// The lines the trace window keeps: the last Capacity lines, each with the
// second it arrived. A record read brings a dozen lines or more, so adding
// must cost next to nothing: a full store overwrites its oldest slot, reusing
// that string's room, and the time is formatted only when a line is shown.
class TTraceLines {
public:
    explicit TTraceLines(std::size_t capacity);
    void Add(std::time_t arrived, std::string_view text);
    std::size_t Count() const { return FSlots.size(); }
    // Lines ever added; line k (0-based) is kept while k >= Total() - Count().
    std::uint64_t Total() const { return FTotal; }
    // The kept lines from line `from` on (older ones are gone), as shown:
    // "hh:mm:ss " in local time and the backend's text decoded.
    std::vector<std::string> Since(std::uint64_t from) const;

private:
    struct TSlot {
        std::time_t Arrived = 0;
        std::string Text;
    };
    std::size_t FCapacity;
    std::vector<TSlot> FSlots;
    std::uint64_t FTotal = 0;
};

class TFormVantoraTrace {
public:
    TFormVantoraTrace();
    void AddLine(const std::string& text);
    void Show();
    // Hands the memo the lines it has not seen, in one step: all kept lines
    // when more arrived than are kept. Nothing while the window is hidden.
    void UpdateMemo();
    const TTraceLines& Lines() const { return FLines; }

    TForm Form;
    std::unique_ptr<TMemo> Memo;

    // While shown, new lines reach the memo at most this often: a search
    // brings thousands of lines a second, a person reads far fewer.
    static constexpr int UpdateDelayMs = 100;

private:
    TTraceLines FLines{MaxTraceLines};
    std::uint64_t FHanded = 0;  // lines the memo has been given
    bool FUpdatePosted = false;
    // A posted update finds out through this whether the window still exists.
    std::shared_ptr<bool> FAlive = std::make_shared<bool>(true);
};
