// What a user set on a chart survives the form: defaults that owners give their
// parts, picture flags, the hint delay, point colours and long labels, and the
// state drawing leaves behind. Also the other names, spellings and refusals a
// hand-written form meets.

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

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

const char* const ToolClasses[] = {"TCursorTool",     "TDragMarksTool", "TAxisArrowTool",  "TDrawLineTool",
                                   "TNearestTool",    "TColorBandTool", "TColorLineTool",  "TRotateTool",
                                   "TChartImageTool", "TMarksTipTool",  "TAnnotationTool", "TSeriesAnimationTool",
                                   "TGridBandTool"};

TPlotCustomTool* AddTool(TChart& chart, const char* className) {
    auto* tool = dynamic_cast<TPlotCustomTool*>(FindClass(className)->Create(&chart));
    tool->SetName("Tool");
    tool->SetParentChart(&chart);
    return tool;
}

// Written, read and written again: both texts are the same. Returns the copy.
std::unique_ptr<TCustomChart> RoundTrip(TCustomChart& chart, std::string* written = nullptr) {
    const std::string text = WriteChartForm(chart);
    std::unique_ptr<TCustomChart> copy = ReadChartForm(text);
    EXPECT_EQ(WriteChartForm(*copy), text);
    if (written) *written = text;
    return copy;
}

std::unique_ptr<TBitmap> Render(TCustomChart& chart) { return RenderToBitmap(chart, 300, 220); }

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

std::string RefusalOf(const std::string& form) {
    try {
        ReadChartForm(form);
    } catch (const EFormError& e) {
        return e.Message();
    }
    return "(accepted)";
}

}  // namespace

// A part its owner makes other than the plain part (a hidden arrow, a hidden
// outline) is stored when the user changes it, and not while it is as made.
TEST(FormDataKeep, PartsStartingOtherwiseKeepWhatTheUserSet) {
    for (const char* name : ToolClasses) {
        SCOPED_TRACE(name);
        TChart fresh;
        AddTool(fresh, name);
        const TFormNode root = ParseForm(WriteChartForm(fresh));
        ASSERT_EQ(root.Children.size(), 1u);
        EXPECT_TRUE(root.Children[0].Properties.empty()) << WriteChartForm(fresh);

        TChart chart;
        TPlotCustomTool* tool = AddTool(chart, name);
        const bool shown = !tool->Pen()->Visible();
        tool->Pen()->SetVisible(shown);
        auto copy = RoundTrip(chart);
        EXPECT_EQ(copy->Tools()[0]->Pen()->Visible(), shown);
    }

    TChart chart;
    auto* note = dynamic_cast<TAnnotationTool*>(AddTool(chart, "TAnnotationTool"));
    note->Callout().Arrow().SetVisible(true);
    note->Callout().SetXPosition(200);
    note->Callout().SetYPosition(150);
    std::string text;
    auto copy = RoundTrip(chart, &text);
    EXPECT_TRUE(Contains(text, "Callout.Arrow.Visible = True")) << text;
    EXPECT_TRUE(dynamic_cast<TAnnotationTool*>(copy->Tools()[0])->Callout().Arrow().Visible());
    EXPECT_EQ(golden::CountDifferences(*Render(chart), *Render(*copy)), 0);
    // the pens agree with the form about what their default is
    EXPECT_FALSE(TAnnotationCallout(nullptr).Arrow().IsVisibleStored());
    EXPECT_FALSE(TRotateTool(nullptr).Pen()->IsVisibleStored());
}

// A transparent picture comes back transparent: the back image and a brush image.
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
    chart.SetColor(clYellow);
    std::string text;
    auto copy = RoundTrip(chart, &text);
    EXPECT_TRUE(copy->BackImageTransp());
    EXPECT_TRUE(copy->LeftWall().Brush().ImageGraphic()->Transparent());
    EXPECT_EQ(golden::CountDifferences(*Render(chart), *Render(*copy)), 0);

    // an opaque picture keeps the data it always had
    chart.SetBackImageTransp(false);
    const std::string opaque = WriteChartForm(chart);
    EXPECT_FALSE(ReadChartForm(opaque)->BackImageTransp());
    EXPECT_EQ(text.size() - opaque.size(), 2u) << "one flags byte in hex";

    // the published name is read, before or after the picture
    const std::string image = "BackImage = {0100000001000000FFFFFF00}";
    EXPECT_TRUE(ReadChartForm("object C: TChart\n  BackImageTransp = True\n  " + image + "\nend")->BackImageTransp());
    EXPECT_TRUE(ReadChartForm("object C: TChart\n  " + image + "\n  BackImageTransp = True\nend")->BackImageTransp());
    EXPECT_EQ(RefusalOf("object C: TChart\n  BackImage = {0100000001000000FFFFFF0002}\nend"),
              "Property 'BackImage': Unknown picture flags 2 (line 2)");
    EXPECT_EQ(RefusalOf("object C: TChart\n  BackImage = {0100000001000000FFFFFF000101}\nend"),
              "Property 'BackImage': Picture data does not match its size (line 2)");
}

// The marks-tip delay is the application's hint pause: stored when it is not
// the default, and set only by a form that reads through.
TEST(FormDataKeep, HintDelayIsStoredAndOnlyAWholeFormSetsIt) {
    const ScopeExit restore([] { SetHintPause(DefaultHintPause); });
    TChart chart;
    auto* tip = dynamic_cast<TMarksTipTool*>(AddTool(chart, "TMarksTipTool"));
    tip->SetMouseDelay(800);
    const std::string text = WriteChartForm(chart);
    EXPECT_TRUE(Contains(text, "MouseDelay = 800")) << text;

    SetHintPause(DefaultHintPause);
    const std::string failing =
        "object C: TChart\n  object T: TMarksTipTool\n    MouseDelay = 1234\n"
        "  end\n  object S: TLineSeries\n    DataSource = Nobody\n  end\nend\n";
    EXPECT_EQ(RefusalOf(failing), "Property 'DataSource': No component named 'Nobody' in the form (line 6)");
    EXPECT_EQ(HintPause(), DefaultHintPause);
    EXPECT_EQ(RefusalOf("object C: TChart\n  object T: TMarksTipTool\n    MouseDelay = 1234\n    Bad = 1\n  end\nend"),
              "Unknown property 'Bad' (line 4)");
    EXPECT_EQ(HintPause(), DefaultHintPause);

    auto copy = ReadChartForm(text);
    EXPECT_EQ(HintPause(), 800);
    EXPECT_EQ(WriteChartForm(*copy), text);
}

// A point's own colour is kept even when it is the series colour (here the only
// colour of its own), so that a series fed from it draws the same; a long label
// is kept whole.
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
    points->AddPoint(4, 25, "short");
    points->SetManualData(true);
    auto* line = new TLineSeries(&chart);
    line->SetName("Line");
    line->SetParentChart(&chart);
    line->SetSeriesColor(clGreen);
    line->SetDataSource(points);

    auto copy = RoundTrip(chart);
    EXPECT_EQ(copy->Series(0)->ColorListEntry(0), clRed);
    EXPECT_EQ(copy->Series(1)->PointColor(0), clRed);
    EXPECT_EQ(copy->Series(0)->PointLabels().Label(1), longLabel);
    EXPECT_EQ(copy->Series(0)->PointLabels().Label(3), "short");
    EXPECT_EQ(golden::CountDifferences(*Render(chart), *Render(*copy)), 0);

    // the layout with one length byte per label still reads: flags 6 (colours and
    // labels), two points, one of them with the label "ab"
    auto old = ReadChartForm(
        "object C: TChart\n  object S: TPointSeries\n    Data = {06020000000000000000002440FF00000002616200"
        "000000000034400000002000}\n  end\nend\n");
    ASSERT_EQ(old->Series(0)->PointCount(), 2);
    EXPECT_EQ(old->Series(0)->PointLabels().Label(0), "ab");
    EXPECT_EQ(old->Series(0)->ColorListEntry(0), clRed);
    EXPECT_EQ(old->Series(0)->YValues()->ValueAt(1), 20);
    EXPECT_EQ(RefusalOf("object C: TChart\n  object S: TPointSeries\n    Data = {1401000000000000000000244000010000}\n"
                        "  end\nend\n"),
              "Property 'Data': Point data ends early (line 3)");
}

// Drawing leaves what a chart stores alone: the pointer's gradient and the
// places of marks drawn where the chart put them.
TEST(FormDataKeep, DrawingChangesNothingTheFormStores) {
    EnsureGuiApplication();
    for (const bool view3D : {false, true}) {
        SCOPED_TRACE(view3D ? "3D" : "2D");
        TChart chart;
        chart.SetSize(300, 220);
        chart.SetView3D(view3D);
        auto* points = new TPointSeries(&chart);
        points->SetName("Points");
        points->SetParentChart(&chart);
        for (int i = 0; i < 5; ++i) points->AddPoint(i, 10 + (i * 7) % 5, "", i % 2 ? clRed : clBlue);
        points->SetManualData(true);
        points->Pointer().Gradient().SetVisible(true);
        points->Pointer().Gradient().SetEndColor(clLime);
        points->Pointer().SetStyle(psCircle);
        points->Marks().SetVisible(true);
        TSeriesMarkPosition custom;
        custom.IsCustom = true;
        custom.BoxTopLeft = {30, 20};
        custom.BoxWidth = 30;
        custom.BoxHeight = 14;
        points->Marks().Positions().Set(1, custom);
        const std::string before = WriteChartForm(chart);
        Render(chart);
        EXPECT_EQ(WriteChartForm(chart), before);
        EXPECT_EQ(points->Pointer().Gradient().EndColor(), clLime);
        points->Pointer().SetStyle(psRectangle);
        Render(chart);
        EXPECT_EQ(points->Pointer().Gradient().EndColor(), clLime);
    }
}

// The other names the chart's parts publish are read into the places they name;
// writing keeps the main names.
TEST(FormDataKeep, OtherNamesReadIntoThePlacesTheyName) {
    auto chart = ReadChartForm(R"(object C: TChart
  Frame.Color = clRed
  Frame.Width = 3
  Legend.ColorWidth = 33
  Legend.Frame.Color = clBlue
  object S: TLineSeries
    Marks.Arrow.Color = clGreen
    Marks.ArrowLength = 17
    Marks.BackColor = clYellow
    Marks.Frame.Visible = False
    LineBrush = bsCross
  end
end
)");
    EXPECT_EQ(chart->BackWall().Pen().Color(), clRed);
    EXPECT_EQ(chart->BackWall().Pen().Width(), 3);
    EXPECT_EQ(chart->Legend().Symbol().Width(), 33);
    EXPECT_EQ(chart->Legend().Pen().Color(), clBlue);
    auto* s = dynamic_cast<TLineSeries*>(chart->Series(0));
    EXPECT_EQ(s->Marks().Callout().Arrow().Color(), clGreen);
    EXPECT_EQ(s->Marks().Callout().Length(), 17);
    EXPECT_EQ(s->Marks().Color(), clYellow);
    EXPECT_FALSE(s->Marks().Pen().Visible());
    EXPECT_EQ(s->Brush()->Style(), bsCross);
    const std::string text = WriteChartForm(*chart);
    for (const char* main : {"BackWall.Pen.Color = clRed", "Legend.Symbol.Width = 33", "Legend.Pen.Color = clBlue",
                             "Marks.Callout.Arrow.Color = clGreen", "Marks.Callout.Length = 17",
                             "Marks.Color = clYellow", "Brush.Style = bsCross"})
        EXPECT_TRUE(Contains(text, main)) << main << "\n" << text;
    for (const char* other : {"Frame", "ColorWidth", "ArrowLength", "BackColor", "LineBrush", "Marks.Arrow."})
        EXPECT_FALSE(Contains(text, other)) << other;
    EXPECT_EQ(WriteChartForm(*ReadChartForm(text)), text);

    // another name takes the main name's checks
    EXPECT_EQ(RefusalOf("object C: TChart\n  object S: TLineSeries\n    Marks.ArrowLength = 'x'\n  end\nend"),
              "Property 'Marks.ArrowLength': Expected an integer, found a string (line 3)");
    EXPECT_EQ(RefusalOf("object C: TChart\n  object S: TLineSeries\n    LineBrush = bsPlaid\n  end\nend"),
              "Property 'LineBrush': Unknown value 'bsPlaid' (line 3)");
}

// Names are case-blind, as the framework's identifiers are, and an editor's
// byte-order mark is skipped; what is written again is the usual spelling.
TEST(FormDataKeep, AnyLetterCaseAndAByteOrderMarkRead) {
    const std::string usual = R"(object C: TChart
  Title.Text = ('a')
  Legend.Alignment = laBottom
  View3D = False
  BackWall.Color = clYellow
  BottomAxis.Grid.Style = psDash
  Zoom.KeyShift = [ssShift, ssCtrl]
  object Points: TPointSeries
    SeriesColor = clRed
  end
  object Line: TLineSeries
    SeriesColor = clBlue
    DataSource = Points
  end
end
)";
    const std::string shouted =
        "\xEF\xBB\xBF"
        R"(OBJECT C: TCHART
  title.text = ('a')
  LEGEND.alignment = LABOTTOM
  view3d = false
  backwall.color = clyellow
  bottomaxis.GRID.style = PSDASH
  zoom.keyshift = [SSSHIFT, ssctrl]
  Object Points: tpointseries
    seriescolor = CLRED
  End
  object Line: TLineSeries
    SeriesColor = clBlue
    datasource = POINTS
  END
end
)";
    auto chart = ReadChartForm(shouted);
    EXPECT_EQ(chart->Series(1)->DataSource(), chart->Series(0));
    const std::string written = WriteChartForm(*chart);
    EXPECT_EQ(written, WriteChartForm(*ReadChartForm(usual)));
    EXPECT_TRUE(Contains(written, "Legend.Alignment = laBottom")) << written;
    EXPECT_TRUE(Contains(written, "object Points: TPointSeries")) << written;
    // a name given in its exact spelling is found first
    auto twins = ReadChartForm(
        "object C: TChart\n  object p: TPointSeries\n  end\n  object P: TPointSeries\n  end\n"
        "  object L: TLineSeries\n    DataSource = P\n  end\nend\n");
    EXPECT_EQ(twins->Series(2)->DataSource(), twins->Series(1));
    EXPECT_EQ(RefusalOf("\xEF\xBB object C: TChart\nend"), "Unexpected character 0xef (line 1)");
}

// A refusal found once the whole form is read names the property and its line.
TEST(FormDataKeep, LateRefusalsNameTheProperty) {
    const struct {
        const char* text;
        const char* message;
    } cases[] = {
        {"object C: TChart\n  object S: TPointSeries\n    DataSource = Nobody\n  end\nend",
         "Property 'DataSource': No component named 'Nobody' in the form (line 3)"},
        {"object C: TChart\n  object S: TPointSeries\n    DataSources = ('S' 'Nobody')\n  end\nend",
         "Property 'DataSources': No component named 'Nobody' in the form (line 3)"},
        {"object C: TChart\n  object S: TLineSeries\n\n    CustomVertAxis = 3\n  end\nend",
         "Property 'CustomVertAxis': No custom axis 3 (line 4)"},
        {"object C: TChart\n  object T: TAxisArrowTool\n    AxisID = 9\n  end\nend",
         "Property 'AxisID': No axis 9 (line 3)"},
        {"object C: TChart\n  object T: TNearestTool\n    Series = C\n  end\nend",
         "Property 'Series': 'C' is not a series (line 3)"},
        {"object C: TChart\n  Legend.Series = Nobody\nend",
         "Property 'Legend.Series': No component named 'Nobody' in the form (line 2)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(RefusalOf(c.text), c.message);
    }
}
