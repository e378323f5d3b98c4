// What a user set survives the form (parts their owners make otherwise,
// picture flags, the hint delay, point colours, long labels, a paint), and
// what a hand-written form may say (other names, any letter case).

#include <gtest/gtest.h>

#include "ChartControl.h"
#include "ChartFormData.h"
#include "ChartToolsExtra.h"
#include "GoldenCompare.h"
#include "GuiApplication.h"
#include "LineSeries.h"
#include "MessagePump.h"
#include "RecordingChart.h"
#include "ScopeExit.h"
#include "SeriesMarks.h"

namespace {

TPlotCustomTool* AddTool(TChart& chart, const char* className) {
    auto* tool = dynamic_cast<TPlotCustomTool*>(FindClass(className)->Create(&chart));
    tool->SetName("Tool");
    tool->SetParentChart(&chart);
    return tool;
}

// Written, read and written again: both texts are the same.
std::unique_ptr<TCustomChart> RoundTrip(TCustomChart& chart) {
    const std::string text = WriteChartForm(chart);
    std::unique_ptr<TCustomChart> copy = ReadChartForm(text);
    EXPECT_EQ(WriteChartForm(*copy), text);
    return copy;
}

int PixelsDiffering(TCustomChart& a, TCustomChart& b) {
    return golden::CountDifferences(*RenderToBitmap(a, 300, 220), *RenderToBitmap(b, 300, 220));
}

std::string RefusalOf(const std::string& form) {
    return ExceptionText([&] { ReadChartForm(form); });
}

}  // namespace

// A fresh tool stores nothing, and a pen turned the other way from how the
// tool made it (the rotate tool's and the annotation arrow start hidden) is kept.
TEST(FormDataKeep, PartsStartingOtherwiseKeepWhatTheUserSet) {
    for (const char* name : {"TCursorTool", "TDragMarksTool", "TAxisArrowTool", "TDrawLineTool", "TNearestTool",
                             "TColorBandTool", "TColorLineTool", "TRotateTool", "TChartImageTool", "TMarksTipTool",
                             "TAnnotationTool", "TSeriesAnimationTool", "TGridBandTool"}) {
        SCOPED_TRACE(name);
        TChart chart;
        TPlotCustomTool* tool = AddTool(chart, name);
        EXPECT_TRUE(ParseForm(WriteChartForm(chart)).Children.at(0).Properties.empty()) << WriteChartForm(chart);
        tool->Pen()->SetVisible(!tool->Pen()->Visible());
        EXPECT_EQ(RoundTrip(chart)->Tools()[0]->Pen()->Visible(), tool->Pen()->Visible());
    }
    TChart chart;
    dynamic_cast<TAnnotationTool*>(AddTool(chart, "TAnnotationTool"))->Callout().Arrow().SetVisible(true);
    EXPECT_TRUE(dynamic_cast<TAnnotationTool*>(RoundTrip(chart)->Tools()[0])->Callout().Arrow().Visible());
}

TEST(FormDataKeep, TransparentPicturesStayTransparent) {
    EnsureGuiApplication();
    TChart chart;
    chart.SetSize(300, 220);
    TBitmap picture(6, 6);
    for (int i = 0; i < 36; ++i) picture.SetPixel(i % 6, i / 6, (i % 6 + i / 6) % 2 ? clRed : clWhite);
    picture.SetTransparent(true);
    chart.BackImage().SetGraphic(&picture);
    chart.SetBackImageMode(pbmTile);
    chart.LeftWall().Brush().Image().SetGraphic(&picture);
    auto copy = RoundTrip(chart);
    EXPECT_TRUE(copy->BackImageTransp());
    EXPECT_TRUE(copy->LeftWall().Brush().ImageGraphic()->Transparent());
    EXPECT_EQ(PixelsDiffering(chart, *copy), 0);
    // the published name reaches the picture, also when it stands first
    EXPECT_TRUE(ReadChartForm("object C: TChart\n  BackImageTransp = True\n  BackImage = {0100000001000000FFFFFF00}\n"
                              "end")
                    ->BackImageTransp());
    EXPECT_EQ(RefusalOf("object C: TChart\n  BackImage = {0100000001000000FFFFFF0002}\nend"),
              "Property 'BackImage': Unknown picture flags 2 (line 2)");
}

// The delay is the application's hint pause; a refused form leaves it alone.
TEST(FormDataKeep, HintDelayIsStoredAndOnlyAWholeFormSetsIt) {
    const ScopeExit restore([] { SetHintPause(DefaultHintPause); });
    TChart chart;
    dynamic_cast<TMarksTipTool*>(AddTool(chart, "TMarksTipTool"))->SetMouseDelay(800);
    const std::string text = WriteChartForm(chart);
    EXPECT_NE(text.find("MouseDelay = 800"), std::string::npos) << text;
    SetHintPause(DefaultHintPause);
    EXPECT_EQ(RefusalOf("object C: TChart\n  object T: TMarksTipTool\n    MouseDelay = 1234\n    Bad = 1\n  end\nend"),
              "Unknown property 'Bad' (line 4)");
    EXPECT_EQ(HintPause(), DefaultHintPause);
    auto copy = ReadChartForm(text);
    EXPECT_EQ(HintPause(), 800);
    EXPECT_EQ(WriteChartForm(*copy), text);
}

// The only colour of its own a point has is the series colour: a series fed
// from it still draws that colour. A label past 255 characters is kept whole.
TEST(FormDataKeep, PointColoursAndLongLabelsAreKept) {
    EnsureGuiApplication();
    TChart chart;
    chart.SetSize(300, 220);
    auto* points = new TPointSeries(&chart);
    points->SetName("Points");
    points->SetParentChart(&chart);
    points->SetSeriesColor(clRed);
    const std::string longLabel = std::string(300, 'x') + "end";
    points->AddPoint(1, 10, "", clRed);
    points->AddPoint(2, 30, longLabel);
    points->AddPoint(3, 20, "");
    points->SetManualData(true);
    auto* line = new TLineSeries(&chart);
    line->SetName("Line");
    line->SetParentChart(&chart);
    line->SetSeriesColor(clGreen);
    line->SetDataSource(points);
    auto copy = RoundTrip(chart);
    EXPECT_EQ(copy->Series(1)->PointColor(0), clRed);
    EXPECT_EQ(copy->Series(0)->PointLabels().Label(1), longLabel);
    EXPECT_EQ(PixelsDiffering(chart, *copy), 0);
}

// The pointer's gradient and the places the chart gave the marks stay out of the form.
TEST(FormDataKeep, DrawingChangesNothingTheFormStores) {
    EnsureGuiApplication();
    for (const bool view3D : {false, true}) {
        TChart chart;
        chart.SetSize(300, 220);
        chart.SetView3D(view3D);
        auto* points = new TPointSeries(&chart);
        points->SetParentChart(&chart);
        for (int i = 0; i < 5; ++i) points->AddPoint(i, 10 + (i * 7) % 5, "", i % 2 ? clRed : clBlue);
        points->SetManualData(true);
        points->Pointer().Gradient().SetVisible(true);
        points->Marks().SetVisible(true);
        TSeriesMarkPosition custom;
        custom.IsCustom = true;
        custom.BoxTopLeft = {30, 20};
        points->Marks().Positions().Set(1, custom);
        for (const TSeriesPointerStyle style : {psRectangle, psCircle}) {
            SCOPED_TRACE(std::to_string(view3D) + " " + std::to_string(style));
            points->Pointer().SetStyle(style);
            const std::string before = WriteChartForm(chart);
            RenderToBitmap(chart, 300, 220);
            EXPECT_EQ(WriteChartForm(chart), before);
        }
    }
}

// Written back under the main names.
TEST(FormDataKeep, OtherNamesReadIntoThePlacesTheyName) {
    auto chart = ReadChartForm(
        "object C: TChart\n  Frame.Color = clRed\n  Legend.ColorWidth = 33\n  Legend.Frame.Color = clBlue\n"
        "  object S: TLineSeries\n    Marks.Arrow.Color = clGreen\n    Marks.ArrowLength = 17\n"
        "    Marks.BackColor = clYellow\n    LineBrush = bsCross\n  end\nend\n");
    const std::string text = WriteChartForm(*chart);
    for (const char* main : {"BackWall.Pen.Color = clRed", "Legend.Symbol.Width = 33", "Legend.Pen.Color = clBlue",
                             "Marks.Callout.Arrow.Color = clGreen", "Marks.Callout.Length = 17",
                             "Marks.Color = clYellow", "Brush.Style = bsCross"})
        EXPECT_NE(text.find(main), std::string::npos) << main << "\n" << text;
    EXPECT_EQ(text.find("Frame"), std::string::npos) << text;
    // another name takes the main name's checks
    EXPECT_EQ(RefusalOf("object C: TChart\n  object S: TLineSeries\n    Marks.ArrowLength = 'x'\n  end\nend"),
              "Property 'Marks.ArrowLength': Expected an integer, found a string (line 3)");
}

TEST(FormDataKeep, AnyLetterCaseAndAByteOrderMarkRead) {
    auto shouted = ReadChartForm(
        "\xEF\xBB\xBFOBJECT C: TCHART\n  title.text = ('a')\n  view3d = false\n  backwall.color = clyellow\n"
        "  zoom.keyshift = [SSSHIFT]\n  Object P: tpointseries\n  End\n  object L: TLineSeries\n"
        "    datasource = p\n  END\nend\n");
    EXPECT_EQ(WriteChartForm(*shouted),
              WriteChartForm(*ReadChartForm("object C: TChart\n  Title.Text = ('a')\n  View3D = False\n"
                                            "  BackWall.Color = clYellow\n  Zoom.KeyShift = [ssShift]\n"
                                            "  object P: TPointSeries\n  end\n  object L: TLineSeries\n"
                                            "    DataSource = P\n  end\nend\n")));
}

// A refusal found once the whole form is read names the property and its line.
TEST(FormDataKeep, LateRefusalsNameTheProperty) {
    const char* const cases[][2] = {
        {"  object S: TPointSeries\n    DataSource = Nobody\n  end\n",
         "Property 'DataSource': No component named 'Nobody' in the form (line 3)"},
        {"  object S: TLineSeries\n\n    CustomVertAxis = 3\n  end\n",
         "Property 'CustomVertAxis': No custom axis 3 (line 4)"},
        {"  object T: TAxisArrowTool\n    AxisID = 9\n  end\n", "Property 'AxisID': No axis 9 (line 3)"},
        {"  object T: TNearestTool\n    Series = C\n  end\n", "Property 'Series': 'C' is not a series (line 3)"},
        {"  Legend.Series = Nobody\n", "Property 'Legend.Series': No component named 'Nobody' in the form (line 2)"},
    };
    for (const auto& c : cases) EXPECT_EQ(RefusalOf(std::string("object C: TChart\n") + c[0] + "end"), c[1]);
}
