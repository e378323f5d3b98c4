#pragma once
// A chart that draws onto a RecordingCanvas, so checks can read back what a draw did,
// and the message test helper the chart checks share.

#include <functional>
#include <memory>
#include <string>

#include "Chart.h"
#include "Exception.h"
#include "RecordingCanvas.h"

class RecordingChart : public TChart {
public:
    RecordingChart() {
        auto canvas = std::make_unique<RecordingCanvas>();
        Recorder = canvas.get();
        SetCanvas(std::move(canvas));
    }
    // A full draw; the recorder keeps only its calls.
    void DrawNow() {
        Recorder->Clear();
        Draw(nullptr, GetRectangle());
    }
    RecordingCanvas* Recorder;
};

// The message of the Exception f throws, or "(no exception)".
inline std::string ExceptionText(const std::function<void()>& f) {
    try {
        f();
    } catch (const Exception& e) {
        return e.Message();
    }
    return "(no exception)";
}
