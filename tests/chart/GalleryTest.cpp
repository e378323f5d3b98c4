// A gallery of typical charts for the eye: the viewer's scene at the widths its window
// gives it, plain line, point and 3D charts at common sizes, and every tool once. With
// NARVI_GALLERY_DIR=dir set, each chart is written to dir/<name>.png and all of them,
// captioned, to dir/gallery.png (scripts/gallery.sh does that); look at the sheet before
// and after a change of the drawing. Unset, the charts are painted into a folder of
// their own that goes again, and only checked to have painted a picture with a plot:
// the looks are for a reader, never a reason to fail.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "Chart.h"
#include "ChartAxis.h"
#include "ChartControl.h"
#include "ChartTools.h"
#include "ChartToolsExtra.h"
#include "ChartUtils.h"
#include "GuiApplication.h"
#include "LineSeries.h"
#include "SeriesMarks.h"
#include "ViewerScene.h"
#include "../support/TempDir.h"

namespace {

namespace fs = std::filesystem;

// ---- set-ups shared by several charts ----------------------------------------

template <class S>
S* Add(TChart& chart, const std::vector<double>& ys, double x0 = 0, double dx = 1) {
    auto* s = new S(&chart);
    s->SetParentChart(&chart);
    for (std::size_t i = 0; i < ys.size(); ++i) s->AddPoint(x0 + dx * static_cast<double>(i), ys[i]);
    return s;
}

// A wave of n values around base, the same for every run.
std::vector<double> Wave(int n, double base, double swing, int phase) {
    std::vector<double> ys;
    for (int i = 0; i < n; ++i)
        ys.push_back(base + swing * (std::sin((i + phase) * 0.55) + (((i * 37 + phase) % 11) - 5) / 25.0));
    return ys;
}

// The viewer's scene as a late recording shows it: legend and title off, the blocks'
// time stamps near 150060.130 s, or their raw range in metres.
template <bool RawRange>
void LateScene(TChart& chart) {
    auto series = viewerscene::Build(chart, false);
    for (int b = 0; b < 3; ++b) {
        TChartValueList* xs = series[b].points->XValues();
        for (int n = 0; n < xs->Count(); ++n) {
            const double since = b * 0.4e-6 + n * viewerscene::SampleTime;
            xs->SetValue(n, RawRange ? 391.2 + since * 0.15e9 : 150060.1300046 + since);
        }
        series[b].line->SetDataSource(nullptr);
        series[b].line->SetDataSource(series[b].points);
    }
    if (RawRange) {
        chart.BottomAxis()->Title().SetCaption("Raw range [m]");
        chart.BottomAxis()->SetIncrement(0.001);
        chart.BottomAxis()->SetAxisValuesFormat("# ##0.000");
    }
}

// The first chart a user draws: 400x250, one line of five values, nothing else set.
void FirstChart(TChart& chart) { Add<TLineSeries>(chart, {1000, 1037, 1074, 1011, 1048}, 0, 10); }

void TwoLines(TChart& chart) {
    Add<TLineSeries>(chart, Wave(10, 40, 20, 0));
    Add<TLineSeries>(chart, Wave(10, 60, 20, 4));
}

// Three series to fill a legend.
void ThreeLines(TChart& chart) {
    for (int k = 0; k < 3; ++k)
        Add<TLineSeries>(chart, Wave(12, 50 + 20 * k, 15, k * 3))->SetTitle("Channel " + std::to_string(k + 1));
}

// A line with a mark of label and value at each point.
void Marked(TChart& chart, const std::vector<const char*>& labels, double base, int step, int spread) {
    auto* s = Add<TLineSeries>(chart, {}, 0);
    for (int i = 0; i < static_cast<int>(labels.size()); ++i) s->AddPoint(i, base + (i * step) % spread, labels[i]);
    s->Marks().SetVisible(true);
    s->Marks().SetStyle(smsLabelValue);
}

// A flat chart of one line for a tool to sit on.
TLineSeries* ToolChart(TChart& chart) {
    chart.SetView3D(false);
    chart.Legend().SetVisible(false);
    auto* s = Add<TLineSeries>(chart, Wave(10, 50, 30, 0));
    s->SetSeriesColor(clNavy);
    return s;
}

// A tool owned by the chart, on the series if given; one on an axis instead.
template <class T>
T* Tool(TChart& chart, TChartSeries* series = nullptr) {
    auto* t = new T(&chart);
    t->SetParentChart(&chart);
    if constexpr (requires { t->SetSeries(series); })
        if (series) t->SetSeries(series);
    return t;
}
template <class T>
T* AxisTool(TChart& chart, TChartAxis* axis) {
    auto* t = new T(&chart);
    t->SetAxis(axis);
    return t;
}

template <class T>
T* FindTool(TChart& chart) {
    for (int i = 0; i < chart.Tools().Count(); ++i)
        if (auto* found = dynamic_cast<T*>(chart.Tools()[i])) return found;
    return nullptr;
}

// A drag with the left button from (x, y) by (dx, dy), through the half way.
void Drag(TPlotCustomTool* tool, int x, int y, int dx, int dy) {
    tool->ChartMouseNotify(pmeDown, mbLeft, 0, x, y);
    tool->ChartMouseNotify(pmeMove, mbLeft, 0, x + dx / 2, y + dy / 2);
    tool->ChartMouseNotify(pmeMove, mbLeft, 0, x + dx, y + dy);
    tool->ChartMouseNotify(pmeUp, mbLeft, 0, x + dx, y + dy);
}

// ---- the charts -----------------------------------------------------------------

struct Entry {
    const char* name;
    const char* caption;
    int width, height;
    std::function<void(TChart&)> build;
    // What needs the laid-out chart (a mouse move, a drag, a frame of an animation); the
    // chart is painted again after it unless it paints a frame of its own.
    std::function<void(TChart&, int width, int height, std::unique_ptr<TBitmap>& frame)> after = {};
};

const std::vector<Entry>& Entries() {
    static const std::vector<Entry> entries = {
        {"scene420", "viewer scene, late time stamps, 420 px", 420, 500, LateScene<false>},
        {"scene800", "viewer scene, late time stamps, 800 px", 800, 500, LateScene<false>},
        {"scene1280", "viewer scene, late time stamps, 1280 px", 1280, 500, LateScene<false>},
        {"scene833range", "viewer scene, raw range axis, 833 px", 833, 500, LateScene<true>},
        {"scene600legend", "viewer scene with legend and title, 600 px", 600, 500,
         [](TChart& c) { viewerscene::Build(c); }},
        {"line2d", "default chart 400x250, one line, 2D", 400, 250,
         [](TChart& c) { FirstChart(c), c.SetView3D(false); }},
        {"line3d", "default chart 400x250, one line, 3D", 400, 250, FirstChart},
        {"points300", "points (i,i) 0..11, pointer 6, no legend, 300x350", 300, 350,
         [](TChart& c) {
             c.SetView3D(false);
             c.Legend().SetVisible(false);
             auto* s = Add<TPointSeries>(c, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11});
             s->Pointer().SetHorizSize(6);
             s->Pointer().SetVertSize(6);
         }},
        {"lines640", "two lines with legend, 640x480", 640, 480,
         [](TChart& c) {
             c.SetView3D(false);
             Add<TLineSeries>(c, Wave(30, 120, 60, 0))->SetTitle("Intensity");
             Add<TLineSeries>(c, Wave(30, 80, 40, 7))->SetTitle("Reference");
         }},
        {"points500", "three point series, 500x350", 500, 350,
         [](TChart& c) {
             c.SetView3D(false);
             const TSeriesPointerStyle styles[] = {psRectangle, psCircle, psTriangle};
             for (int k = 0; k < 3; ++k)
                 Add<TPointSeries>(c, Wave(25, -0.02 + 0.01 * k, 0.008, k * 5), -3, 0.25)
                     ->Pointer()
                     .SetStyle(styles[k]);
         }},
        {"log", "logarithmic left axis 0.07..7000", 400, 300,
         [](TChart& c) {
             c.SetView3D(false);
             std::vector<double> ys;
             for (int i = 0; i <= 10; ++i) ys.push_back(0.07 * std::pow(10.0, i * 0.5));
             Add<TLineSeries>(c, ys);
             c.LeftAxis()->SetLogarithmic(true);
             c.LeftAxis()->SetAutomatic(false);
             c.LeftAxis()->SetAxisRange(0.07, 7000);
         }},
        {"datetime", "date-time bottom axis, two days by the hour", 500, 300,
         [](TChart& c) {
             c.SetView3D(false);
             Add<TLineSeries>(c, Wave(49, 20, 6, 2), EncodeDate(2026, 12, 8), 1.0 / 24)->XValues()->SetDateTime(true);
         }},
        {"marks200", "marks label+value, default legend, 200x200", 200, 200,
         [](TChart& c) {
             Marked(c, {"north", "east", "south", "west"}, 20, 17, 30);
         }},
        {"marks400", "marks label+value, 2D, 400x300", 400, 300,
         [](TChart& c) {
             c.SetView3D(false);
             Marked(c, {"Mon", "Tue", "Wed", "Thu", "Fri", "Sat"}, 120, 53, 90);
         }},
        {"3d400", "3D, orthogonal 45, two lines, 400x300", 400, 300, [](TChart& c) { TwoLines(c); }},
        {"3d640rotated", "3D, not orthogonal, rotation 300, elevation 340, 640x480", 640, 480,
         [](TChart& c) {
             c.View3DOptions().SetOrthogonal(false);
             c.View3DOptions().SetRotation(300);
             c.View3DOptions().SetElevation(340);
             c.BackWall().SetTransparent(false);
             TwoLines(c);
         }},
        {"3ddepth", "3D with a depth axis and titles, 500x350", 500, 350,
         [](TChart& c) {
             ThreeLines(c);
             c.DepthAxis()->SetVisible(true);
             c.DepthAxis()->Title().SetCaption("Depth");
             c.LeftAxis()->Title().SetCaption("Amplitude");
             c.BottomAxis()->Title().SetCaption("Sample");
         }},
        {"legendtop", "legend at the top, title and foot, 400x300", 400, 300,
         [](TChart& c) {
             c.SetView3D(false);
             ThreeLines(c);
             c.Legend().SetAlignment(laTop);
             c.Title().SetCaption("Three channels");
             c.Foot().SetCaption("foot note");
         }},
        {"legendbottom", "legend at the bottom, 3D, 400x300", 400, 300,
         [](TChart& c) { ThreeLines(c), c.Legend().SetAlignment(laBottom); }},
        {"tool_cursor_nearest", "cursor tool, nearest tool after a mouse move", 400, 300,
         [](TChart& c) {
             TLineSeries* s = ToolChart(c);
             Tool<TCursorTool>(c, s)->Pen()->SetColor(clGreen);
             auto* nearest = Tool<TNearestTool>(c, s);
             nearest->Pen()->SetColor(clRed);
             nearest->SetSize(8);
         },
         [](TChart& c, int, int, std::unique_ptr<TBitmap>&) {
             TChartSeries* s = c.Series(0);
             FindTool<TNearestTool>(c)->ChartMouseNotify(pmeMove, mbLeft, 0, s->PointScreenX(6) - 15,
                                                         s->PointScreenY(6) + 10);
         }},
        {"tool_bands", "colour line, colour band, grid band", 400, 300,
         [](TChart& c) {
             ToolChart(c);
             AxisTool<TGridBandTool>(c, c.LeftAxis())->Band1().SetColor(0xF0F0E0);
             auto* band = AxisTool<TColorBandTool>(c, c.BottomAxis());
             band->SetColor(0xC0FFFF);
             band->SetStartValue(2);
             band->SetEndValue(4);
             auto* line = AxisTool<TColorLineTool>(c, c.LeftAxis());
             line->Pen()->SetColor(clRed);
             line->SetValue(60);
         }},
        {"tool_annotation", "annotation, drawn lines, axis arrows", 400, 300,
         [](TChart& c) {
             ToolChart(c);
             auto* note = Tool<TAnnotationTool>(c);
             note->SetText("Echo\rpeak");
             note->SetPosition(ppRightTop);
             auto* draw = Tool<TDrawLineTool>(c);
             draw->Pen()->SetColor(clMaroon);
             TDrawLine* l = draw->Lines().Add();
             l->SetX0(1), l->SetY0(80), l->SetX1(7), l->SetY1(25);
             for (TChartAxis* a : {c.LeftAxis(), c.BottomAxis()}) AxisTool<TAxisArrowTool>(c, a);
         }},
        {"tool_image_tip", "chart image tool; marks tip (its hint is no part of the picture)", 400, 300,
         [](TChart& c) {
             TLineSeries* s = ToolChart(c);
             TBitmap& b = Tool<TChartImageTool>(c, s)->Picture().Bitmap();
             b.SetSize(4, 4);
             for (int y = 0; y < 4; ++y)
                 for (int x = 0; x < 4; ++x) b.SetPixel(x, y, (x + y) % 2 ? 0xFFE0C0 : 0xC0E0FF);
             Tool<TMarksTipTool>(c, s);
         },
         [](TChart& c, int, int, std::unique_ptr<TBitmap>&) {
             TChartSeries* s = c.Series(0);
             FindTool<TMarksTipTool>(c)->ChartMouseNotify(pmeMove, mbLeft, 0, s->PointScreenX(4), s->PointScreenY(4));
         }},
        {"tool_dragmarks", "drag marks: the seventh mark dragged left", 400, 300,
         [](TChart& c) {
             ToolChart(c)->Marks().SetVisible(true);
             Tool<TDragMarksTool>(c);
         },
         [](TChart& c, int, int, std::unique_ptr<TBitmap>&) {
             if (TSeriesMarkPosition* p = c.Series(0)->Marks().Positions().Position(6))
                 Drag(FindTool<TDragMarksTool>(c), p->BoxTopLeft.x + p->BoxWidth / 2,
                      p->BoxTopLeft.y + p->BoxHeight / 2, -80, 15);
         }},
        {"tool_animation", "series animation, a frame half way", 400, 300,
         [](TChart& c) {
             Tool<TSeriesAnimationTool>(c, ToolChart(c))->SetSteps(8);
             // a fixed range, or the frame would look like the end scaled to fit
             c.LeftAxis()->SetAutomatic(false);
             c.LeftAxis()->SetAxisRange(0, 100);
         },
         [](TChart& c, int width, int height, std::unique_ptr<TBitmap>& frame) {
             auto* anim = FindTool<TSeriesAnimationTool>(c);
             int step = -1;
             anim->OnStep = [&](TSeriesAnimationTool*, int d) { step = d; };
             anim->ShowFrame = [&](TCustomAxisPanel*) {
                 if (step != 4 || frame) return;
                 // the values changed beneath a series that tells nobody while it runs
                 c.Invalidate();
                 frame = RenderToBitmap(c, width, height);
             };
             anim->RunAnimation();
         }},
        {"tool_rotate", "rotate tool: a 3D chart dragged 40 px left and 20 px up", 400, 300,
         [](TChart& c) {
             ThreeLines(c);
             c.Legend().SetVisible(false);
             Tool<TRotateTool>(c);
         },
         [](TChart& c, int width, int height, std::unique_ptr<TBitmap>&) {
             Drag(FindTool<TRotateTool>(c), width / 2, height / 2, -40, -20);
         }},
    };
    return entries;
}

// ---- the contact sheet ------------------------------------------------------

struct Painted {
    std::string caption;
    std::unique_ptr<TBitmap> image;
};

// Lays the pictures out at their own size, row by row, each with its caption below it.
std::unique_ptr<TBitmap> ContactSheet(const std::vector<Painted>& pictures) {
    constexpr int Gap = 12, CaptionHeight = 18, CaptionSize = 9, SheetWidth = 1920;
    // a caption wider than its picture widens the picture's place
    TBitmap measure(1, 1);
    measure.Canvas().Font().SetSize(CaptionSize);
    std::vector<TPoint> places;
    int x = Gap, y = Gap, rowHeight = 0, width = 0;
    for (const Painted& p : pictures) {
        const int cell = std::max(p.image->Width(), measure.Canvas().TextWidth(p.caption));
        if (x > Gap && x + cell + Gap > SheetWidth) {
            x = Gap;
            y += rowHeight + CaptionHeight + Gap;
            rowHeight = 0;
        }
        places.push_back({x, y});
        x += cell + Gap;
        width = std::max(width, x);
        rowHeight = std::max(rowHeight, p.image->Height());
    }
    auto sheet = std::make_unique<TBitmap>(width, y + rowHeight + CaptionHeight + Gap);
    TCanvas& canvas = sheet->Canvas();
    canvas.Brush().SetColor(0xD8D8D8);
    canvas.FillRect(TRect{0, 0, sheet->Width(), sheet->Height()});
    canvas.SetBackgroundMode(TRANSPARENT);
    canvas.Font().SetSize(CaptionSize);
    for (std::size_t i = 0; i < pictures.size(); ++i) {
        const TBitmap& image = *pictures[i].image;
        canvas.Draw(places[i].x, places[i].y, image);
        canvas.TextOut(places[i].x, places[i].y + image.Height() + 2, pictures[i].caption);
    }
    return sheet;
}

// Whether a picture holds more than one colour.
bool HasContent(const TBitmap& image) {
    for (int y = 0; y < image.Height(); ++y)
        for (int x = 0; x < image.Width(); ++x)
            if (image.GetPixel(x, y) != image.GetPixel(0, 0)) return true;
    return false;
}

TEST(Gallery, PaintsEveryTypicalChartAndOneContactSheet) {
    EnsureGuiApplication();
    const char* asked = std::getenv("NARVI_GALLERY_DIR");
    const TTempDir own;
    const fs::path dir = asked && *asked ? fs::path(asked) : own.Path();
    fs::create_directories(dir);
    std::vector<Painted> pictures;
    for (const Entry& e : Entries()) {
        SCOPED_TRACE(e.name);
        TChart chart;
        e.build(chart);
        std::unique_ptr<TBitmap> image = RenderToBitmap(chart, e.width, e.height);
        if (e.after) {
            std::unique_ptr<TBitmap> frame;
            e.after(chart, e.width, e.height, frame);
            image = frame ? std::move(frame) : RenderToBitmap(chart, e.width, e.height);
        }
        ASSERT_EQ(image->Width(), e.width);
        ASSERT_EQ(image->Height(), e.height);
        EXPECT_TRUE(HasContent(*image));
        const TRect plot = chart.PlotRect();
        EXPECT_GE(plot.Right - plot.Left, e.width / 4);
        EXPECT_GE(plot.Bottom - plot.Top, e.height / 4);
        EXPECT_TRUE(SaveBitmapToPng(*image, (dir / (std::string(e.name) + ".png")).string()));
        pictures.push_back({std::string(e.name) + ": " + e.caption, std::move(image)});
    }
    const std::unique_ptr<TBitmap> sheet = ContactSheet(pictures);
    const fs::path sheetFile = dir / "gallery.png";
    ASSERT_TRUE(SaveBitmapToPng(*sheet, sheetFile.string()));
    if (asked && *asked) std::printf("gallery: %s\n", fs::absolute(sheetFile).string().c_str());
}

}  // namespace
