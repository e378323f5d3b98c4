// Hostile chart forms: values no chart can draw are refused with the property
// and the line, the largest values accepted draw, and a form's size bounds
// what reading it costs. The sanitizer builds turn any overflow while drawing
// into a failure; time and memory are bounded per form.

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <limits>
#include <cstdio>
#include <string>
#include <vector>

#include "ChartControl.h"
#include "ChartFormData.h"
#include "ChartToolsExtra.h"
#include "GuiApplication.h"
#include "LineSeries.h"
#include "RecordingChart.h"
#include "SeriesMarks.h"

namespace {

// Two stacked line series of three points with marks, and an annotation with
// a callout: a form that reaches every bounded property when drawn.
std::string BaseForm() {
    TChart chart;
    chart.SetSize(300, 200);
    for (const char* name : {"S", "T"}) {
        auto* s = new TLineSeries(&chart);
        s->SetName(name);
        s->SetParentChart(&chart);
        s->AddPoint(1, 10, "a");
        s->AddPoint(2, 30, "b");
        s->AddPoint(3, 20, "c");
        s->SetManualData(true);
        s->SetStacked(cssStack);
        s->Marks().SetVisible(true);
        s->Pointer().SetVisible(true);
    }
    auto* note = new TAnnotationTool(&chart);
    note->SetName("Note");
    note->SetParentChart(&chart);
    note->SetText("note");
    note->Callout().SetVisible(true);
    return WriteChartForm(chart);
}

// The form with lines put in right after the line of component after, or
// with no name after the chart's own properties (where they win).
std::string With(const std::string& form, const std::string& after, const std::string& lines) {
    std::size_t end = 0;
    if (after.empty()) {
        end = form.find("\n  object ") + 1;
    } else {
        const std::size_t at = form.find("object " + after + ":");
        EXPECT_NE(at, std::string::npos) << after;
        end = form.find('\n', at) + 1;
    }
    return form.substr(0, end) + lines + form.substr(end);
}

long PeakKilobytes() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_maxrss;
}

long ResidentKilobytes() {
    long pages = 0, resident = 0;
    if (FILE* f = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2) resident = 0;
        std::fclose(f);
    }
    return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

// Freed memory the address sanitizer holds back (256 MB by default) and its shadow.
#if defined(__SANITIZE_ADDRESS__)
constexpr long SanitizerMegabytes = 320;
#else
constexpr long SanitizerMegabytes = 0;
#endif

// Reads and draws form at the chart's own size, printing what it took: at
// most seconds (a hang takes minutes under the sanitizers too), and no more
// memory than the bitmaps of that size (megabytes over the peak so far).
void ReadAndDraw(const std::string& what, const std::string& form, long megabytes = 64) {
    const long peak = PeakKilobytes();
    const auto start = std::chrono::steady_clock::now();
    std::unique_ptr<TCustomChart> chart = ReadChartForm(form);
    ASSERT_NE(RenderToBitmap(*chart, chart->Width(), chart->Height()), nullptr);
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    std::printf("  %-40s %7.2f s, peak %ld MB so far\n", what.c_str(), took.count(), PeakKilobytes() / 1024);
    EXPECT_LT(took.count(), 30) << what;
    EXPECT_LE((PeakKilobytes() - peak) / 1024, megabytes + SanitizerMegabytes) << what;
}

struct TBound {
    const char* after;  // the component the property goes to, "" for the chart
    const char* name;
    const char* low;
    const char* high;
    const char* range;
};

const TBound Bounds[] = {
    {"", "Width", "0", "8192", "(0 to 8192)"},
    {"", "Height", "1", "8192", "(0 to 8192)"},
    {"", "BevelWidth", "0", "8192", "(0 to 8192)"},
    {"", "MarginLeft", "-32768", "32768", "(-32768 to 32768)"},
    {"", "MarginBottom", "-32768", "32768", "(-32768 to 32768)"},
    {"", "LeftAxis.Axis.Width", "0", "8192", "(0 to 8192)"},
    {"", "LeftAxis.LabelsSize", "0", "8192", "(0 to 8192)"},
    {"", "BottomAxis.TickLength", "-8192", "8192", "(-8192 to 8192)"},
    {"", "BottomAxis.MinorTickCount", "0", "8192", "(0 to 8192)"},
    {"", "BottomAxis.MinorTickLength", "-8192", "8192", "(-8192 to 8192)"},
    {"", "LeftWall.Size", "0", "8192", "(0 to 8192)"},
    {"", "Legend.VertSpacing", "-8192", "8192", "(-8192 to 8192)"},
    {"", "Title.Font.Height", "-2048", "2048", "(-2048 to 2048)"},
    {"", "View3DOptions.Zoom", "0", "10000", "(0 to 10000)"},
    {"", "View3DOptions.Perspective", "0", "100", "(0 to 100)"},
    {"", "View3DOptions.HorizOffset", "-32768", "32768", "(-32768 to 32768)"},
    {"S", "Pointer.HorizSize", "1", "8192", "(-8192 to 8192)"},
    {"S", "Depth", "-1", "8192", "(-1 to 8192)"},
    {"S", "LineHeight", "-8192", "8192", "(-8192 to 8192)"},
    {"S", "Marks.Font.Height", "-2048", "2048", "(-2048 to 2048)"},
    {"Note", "Callout.XPosition", "-32768", "32768", "(-32768 to 32768)"},
    {"Note", "Callout.YPosition", "-32768", "32768", "(-32768 to 32768)"},
};

// A 3D view that makes every point of the projection count.
const char* const Perspective =
    "  View3D = True\n  View3DOptions.Orthogonal = False\n  View3DOptions.Perspective = 100\n"
    "  View3DOptions.Zoom = 10000\n  Chart3DPercent = 100\n";

}  // namespace

TEST(FormBounds, ValuesNoChartCanDrawAreRefusedWithPropertyAndLine) {
    const std::string base = BaseForm();
    for (const TBound& b : Bounds) {
        for (const char* value : {"2147483647", "-2147483648", "50000000"}) {
            SCOPED_TRACE(std::string(b.name) + " = " + value);
            const std::string line = std::string("  ") + b.name + " = " + value + "\n";
            const std::string form = With(base, b.after, line);
            const auto at = static_cast<long>(form.find(line));
            const int number = 1 + static_cast<int>(std::count(form.begin(), form.begin() + at, '\n'));
            EXPECT_EQ(ExceptionText([&] { ReadChartForm(form); }), "Property '" + std::string(b.name) + "': Value " +
                                                                       value + " out of range " + b.range + " (line " +
                                                                       std::to_string(number) + ")");
        }
    }
    // a mark's own font inside the binary item list is held to the same range
    TChart chart;
    auto* s = new TLineSeries(&chart);
    s->SetName("S");
    s->SetParentChart(&chart);
    s->AddPoint(1, 1);
    s->Marks().Items().Item(0).Font().SetHeight(1000000);
    EXPECT_EQ(ExceptionText([&] { ReadChartForm(WriteChartForm(chart)); }),
              "Property 'Font.Height': Value 1000000 out of range (-2048 to 2048) (line 3)");
}

// Each bounded property at either end of its range, flat and in a strong
// perspective: read and drawn without overflow (the sanitizers watch).
TEST(FormBounds, TheLargestValuesAcceptedDraw) {
    EnsureGuiApplication();
    const std::string base = BaseForm();
    for (const TBound& b : Bounds) {
        if (std::string(b.name) == "Width" || std::string(b.name) == "Height") continue;
        for (const char* value : {b.low, b.high}) {
            for (const char* view : {"", Perspective}) {
                SCOPED_TRACE(std::string(b.name) + " = " + value + (*view ? " in 3D" : ""));
                std::string form = With(base, b.after, std::string("  ") + b.name + " = " + value + "\n");
                form = With(form, "", view);
                std::unique_ptr<TCustomChart> chart = ReadChartForm(form);
                EXPECT_NE(RenderToBitmap(*chart, 200, 150), nullptr);
            }
        }
    }
}

// The forms of a few lines that used to hang or take gigabytes, at the
// largest sizes they are still accepted.
TEST(FormBounds, HostileFormsReadAndDrawWithinBounds) {
    EnsureGuiApplication();
    std::printf("  (time and peak memory of the whole process)\n");
    const std::string base = BaseForm();
    ReadAndDraw("MinorTickCount 8192 on 3 points",
                With(base, "", "  BottomAxis.MinorTickCount = 8192\n  LeftAxis.MinorTickCount = 8192\n"));
    ReadAndDraw("largest perspective at 1 pixel wide", With(With(base, "", Perspective), "", "  Width = 1\n"));
    ReadAndDraw("largest pens, walls and bevels",
                With(base, "",
                     "  BevelWidth = 8192\n  LeftAxis.Axis.Width = 8192\n  LeftWall.Size = 8192\n"
                     "  BottomAxis.TickLength = 8192\n  Legend.VertSpacing = 8192\n"));
    // last, as the peak it leaves hides what the others take: the bitmap drawn
    // into and the chart's own buffer, 256 MB each
    ReadAndDraw("largest chart, 8192 x 8192", With(base, "", "  Width = 8192\n  Height = 8192\n"), 640);
}

// A program may set any count: minor ticks closer than a pixel are left out
// instead of taking minutes and gigabytes (or overflowing count + 1), and
// those closer than that are all drawn.
TEST(FormBounds, MinorTicksNoDenserThanPixels) {
    for (int count : {50000000, std::numeric_limits<int>::max()}) {
        SCOPED_TRACE(count);
        RecordingChart chart;
        chart.SetView3D(false);
        chart.SetSize(300, 200);
        auto* s = new TLineSeries(&chart);
        s->SetParentChart(&chart);
        for (int i = 1; i <= 3; ++i) s->AddPoint(i, 10 * i);
        const TColor marks[] = {0x010203, 0x040506};
        TChartAxis* axes[] = {chart.BottomAxis(), chart.LeftAxis()};
        for (int a = 0; a < 2; ++a) {
            axes[a]->SetMinorTickCount(count);
            axes[a]->MinorTicks().SetColor(marks[a]);
        }
        chart.DrawNow();
        for (int a = 0; a < 2; ++a) {
            int ticks = 0;
            for (const RecordedCall& c : chart.Recorder->Calls)
                ticks += c.penColor == marks[a] && c.op.find("Line") != std::string::npos;
            const int pixels = axes[a]->AxisLength();
            EXPECT_GT(ticks, pixels / 2) << a;
            EXPECT_LE(ticks, pixels) << a;
        }
    }
}

// Forms whose text is cheap but whose parts would each cost a lot are refused
// past a bound on values and objects; empty marks items cost nothing.
TEST(FormBounds, LargeFormsAreRefusedBeforeTheyCostMuch) {
    EnsureGuiApplication();
    // 750,000 short lines of title in 3.75 MB of text
    std::string lines = "object C: TChart\n  Title.Text = (";
    for (int i = 0; i < 750000; ++i) lines += "'ab' ";
    lines += ")\nend\n";
    EXPECT_EQ(ExceptionText([&] { ReadChartForm(lines); }),
              "Property 'Title.Text': Form too large: more than 200000 values (line 2)");

    // a million marks items without properties of their own in 4 MB
    std::string items = "object C: TChart\n  object S: TPointSeries\n    Marks.Items = {40420F00";
    for (int i = 0; i < 1000000; ++i) items += "0100";
    items += "}\n  end\nend\n";
    const long before = ResidentKilobytes();
    std::unique_ptr<TCustomChart> chart = ReadChartForm(items);
    std::printf("  1,000,000 empty marks items: %ld MB more resident\n", (ResidentKilobytes() - before) / 1024);
    EXPECT_EQ(chart->Series(0)->Marks().Items().Count(), 0);

    // 60,000 marks items of their own, each with one property (Visible = False)
    std::string own = "object C: TChart\n  object S: TPointSeries\n    Marks.Items = {60EA0000";
    for (int i = 0; i < 60000; ++i) own += "010700000056697369626C650600";
    own += "}\n  end\nend\n";
    EXPECT_EQ(ExceptionText([&] { ReadChartForm(own); }),
              "Property 'Marks.Items': Form too large: more than 50000 objects (line 3)");

    // 3 MB of title: refused as one line and as lines as long as accepted;
    // a megabyte of it reads and draws
    EXPECT_EQ(ExceptionText([] {
                  ReadChartForm("object C: TChart\n  Title.Text = ('" + std::string(3 << 20, 'x') + "')\nend\n");
              }),
              "Property 'Title.Text': String longer than 65536 characters (line 2)");
    auto title = [](int lines) {
        std::string form = "object C: TChart\n  Title.Text = (\n";
        for (int i = 0; i < lines; ++i) form += "'" + std::string(65536, 'x') + "'\n";
        return form + ")\nend\n";
    };
    EXPECT_EQ(ExceptionText([&] { ReadChartForm(title(48)); }),
              "Property 'Title.Text': Form too large: more than 1048576 characters in strings (line 19)");
    ReadAndDraw("16 title lines of 64 KB", title(16));
}

// Inputs the fuzzer found, each refused with a clear error or drawn.
TEST(FormBounds, FuzzFindings) {
    // a stored mark box far off the chart overflowed the box's centre
    TChart chart;
    auto* s = new TLineSeries(&chart);
    s->SetName("S");
    s->SetParentChart(&chart);
    s->AddPoint(1, 1);
    s->SetManualData(true);
    TSeriesMarkPosition far;
    far.IsCustom = true;
    far.BoxTopLeft = {-1735656172, 0};
    s->Marks().Positions().Set(0, far);
    EXPECT_EQ(ExceptionText([&] { ReadChartForm(WriteChartForm(chart)); }),
              "Property 'Data': Invalid mark position of point 0 in point data (line 4)");
}
