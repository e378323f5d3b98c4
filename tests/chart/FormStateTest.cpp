// What a user set stays set: painting, zooming, scrolling and a failing
// handler leave it, and every form reads back into the chart that wrote it.

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "ChartFormData.h"
#include "ChartUtils.h"
#include "FormSamples.h"
#include "FormUse.h"
#include "GoldenCompare.h"
#include "GuiApplication.h"
#include "RecordingChart.h"

namespace {

TLineSeries* Ramp(TChart& chart, int points, double step) {
    TLineSeries* s = formsamples::AddLine(chart, "Ramp");
    for (int i = 0; i < points; ++i) s->AddPoint(i * step, i * step);
    s->SetManualData(true);
    return s;
}

// The sample charts a part at a time and whole, flat and in 3D, and the
// settings a paint or a zoom used to rewrite.
std::vector<std::string> GuardForms() {
    using namespace formsamples;
    std::vector<std::string> forms;
    const std::vector<std::vector<void (*)(TChart&)>> parts = {
        {SetEverything}, {SetLooks}, {SetAxes, SetSeries}, {SetAxes, SetSeries, SetTools}};
    for (const auto& part : parts) {
        for (const bool view3D : {false, true}) {
            TChart chart;
            for (void (*set)(TChart&) : part) set(chart);
            chart.SetView3D(view3D);
            forms.push_back(WriteChartForm(chart));
        }
    }
    // colour lines outside what is shown, at the axis' centre and on the depth axis
    for (const bool view3D : {false, true}) {
        TChart chart;
        chart.SetView3D(view3D);
        Ramp(chart, 11, 10);
        chart.LeftAxis()->SetAxisRange(10, 20);
        for (TChartAxis* axis : {chart.BottomAxis(), chart.LeftAxis(), static_cast<TChartAxis*>(chart.DepthAxis())}) {
            auto* line = new TColorLineTool(&chart);
            line->SetAxis(axis);
            line->SetValue(axis == chart.BottomAxis() ? 130 : 0);
        }
        auto* centre = new TColorLineTool(&chart);
        centre->SetAxis(chart.LeftAxis());
        centre->SetStyle(clCenter);
        forms.push_back(WriteChartForm(chart));
    }
    // a paged legend of values, and a mark shape left at its defaults
    TChart paged;
    TLineSeries* s = Ramp(paged, 5, 1);
    paged.Legend().SetLegendStyle(lsValues);
    paged.SetMaxPointsPerPage(2);
    paged.SetPage(3);
    s->Marks().SetVisible(true);
    s->Marks().SetColor(clYellow);
    s->Marks().Items().Item(1);
    forms.push_back(WriteChartForm(paged));
    // a legend of date-time x values, which it formats as their axis does
    TChart dates;
    TLineSeries* d = Ramp(dates, 5, 0.5);
    d->XValues()->SetDateTime(true);
    dates.Legend().SetLegendStyle(lsValues);
    dates.Legend().SetTextStyle(ltsXAndValue);
    forms.push_back(WriteChartForm(dates));
    // points a form gives a series whose function has no source to compute from
    forms.emplace_back(
        "object C: TChart\n  object S: TLineSeries\n    Data = "
        "{0003000000000000000000F03F00000000000008400000000000000040}\n"
        "    object F: TSmoothingFunction\n    end\n  end\nend\n");
    // fixed axis ends no range setter gives: equal, and the wrong way round
    forms.emplace_back("object C: TChart\n  LeftAxis.Automatic = False\nend\n");
    forms.emplace_back(
        "object C: TChart\n  BottomAxis.Automatic = False\n  BottomAxis.Maximum = 1.0\n"
        "  BottomAxis.Minimum = 5.0\nend\n");
    return forms;
}

std::string Refusal(const std::string& form) {
    return ExceptionText([&] { ReadChartForm(form); });
}

}  // namespace

// Paint, zoom and undo, pan, scroll and undo with the mouse: the chart writes
// the form it read, and draws as a chart read from it.
TEST(FormState, UsingAChartLeavesItsForm) {
    EnsureGuiApplication();
    for (const std::string& form : GuardForms()) {
        std::unique_ptr<TCustomChart> chart = ReadChartForm(form);
        const std::string written = WriteChartForm(*chart);
        EXPECT_EQ(formuse::UseAndWrite(*chart), written) << written;
        EXPECT_EQ(formuse::DrawnOtherwise(*chart, written), 0) << written;
    }
}

TEST(FormState, DrawingAndZoomingKeepColourLinesAndLegendPages) {
    EnsureGuiApplication();
    {
        TChart chart;
        chart.SetView3D(false);
        chart.Legend().SetVisible(false);
        Ramp(chart, 11, 10);
        auto* line = new TColorLineTool(&chart);
        line->SetAxis(chart.BottomAxis());
        line->SetValue(30);
        RenderToBitmap(chart, 400, 300);
        const TChartAxis& axis = *chart.BottomAxis();
        chart.ZoomToValues(50, 95, 50, 95, 0, 100, 0, 100);
        RenderToBitmap(chart, 400, 300);
        const int y = (chart.PlotRect().Top + chart.PlotRect().Bottom) / 2;
        EXPECT_TRUE(line->Clicked(axis.StartPixel(), y)) << "shown at the visible end";
        chart.UndoZoom();
        RenderToBitmap(chart, 400, 300);
        EXPECT_EQ(line->Value(), 30);
        EXPECT_TRUE(line->Clicked(axis.ValueToPixel(30), y));
    }
    // from a form: a value beyond the axis, and a centred line, write what they read
    for (const char* tool : {"    Value = 50.0\n", "    Style = clCenter\n"}) {
        const std::string form = std::string("object C: TChart\n  LeftAxis.Automatic = False\n") +
                                 "  LeftAxis.Maximum = 2.0\n  object T: TColorLineTool\n" + tool +
                                 "    AxisID = 2\n  end\nend\n";
        std::unique_ptr<TCustomChart> chart = ReadChartForm(form);
        const std::string written = WriteChartForm(*chart);
        RenderToBitmap(*chart, chart->Width(), chart->Height());
        EXPECT_EQ(WriteChartForm(*chart), written);
    }
    // a legend's page is drawn without becoming its first value
    TChart chart;
    Ramp(chart, 5, 1);
    chart.Legend().SetLegendStyle(lsValues);
    chart.SetMaxPointsPerPage(2);
    chart.SetPage(3);
    RenderToBitmap(chart, 400, 300);
    EXPECT_EQ(chart.Legend().FirstValue(), 0);
    ASSERT_EQ(chart.Legend().Texts().size(), 1u);
    EXPECT_EQ(chart.Legend().LastValue(), 4);
    chart.SetMaxPointsPerPage(0);
    RenderToBitmap(chart, 400, 300);
    EXPECT_EQ(chart.Legend().Texts().size(), 5u);
}

TEST(FormState, AnAnimationStepThatThrowsLeavesTheRealValues) {
    TChart chart;
    TLineSeries* s = Ramp(chart, 11, 10);
    auto* tool = new TSeriesAnimationTool(&chart);
    tool->SetSeries(s);
    tool->SetSteps(10);
    tool->ShowFrame = [](TCustomAxisPanel*) {};
    tool->OnStep = [](TSeriesAnimationTool*, int step) {
        if (step == 5) throw std::runtime_error("step 5");
    };
    EXPECT_THROW(tool->RunAnimation(), std::runtime_error);
    EXPECT_FALSE(tool->Running());
    for (int i = 0; i <= 10; ++i) EXPECT_EQ(s->YValues()->ValueAt(i), i * 10.0) << i;
    tool->OnStep = {};
    tool->RunAnimation();
    EXPECT_EQ(s->YValues()->ValueAt(10), 100);
}

TEST(FormState, FormsReadBackIntoTheChartThatWroteThem) {
    EnsureGuiApplication();
    // "no colour" in a chart is the chart's next free colour, here as set by a program
    std::unique_ptr<TCustomChart> read =
        ReadChartForm("object C: TChart\n  object S: TLineSeries\n    SeriesColor = clDefault\n  end\nend\n");
    EXPECT_EQ(read->Series(0)->SeriesColor(), PaletteColor(0));
    const std::string text = WriteChartForm(*read);
    EXPECT_EQ(WriteChartForm(*ReadChartForm(text)), text);
    TChart chart;
    formsamples::AddLine(chart, "A");
    TLineSeries* b = formsamples::AddLine(chart, "B");
    b->SetSeriesColor(clDefault);
    EXPECT_EQ(b->SeriesColor(), PaletteColor(1));

    // a mark's own shape at its defaults still draws in its own colours
    TChart marks;
    marks.SetSize(300, 220);
    TLineSeries* s = Ramp(marks, 3, 1);
    s->Marks().SetVisible(true);
    s->Marks().SetColor(clYellow);
    s->Marks().Items().Item(1);
    std::unique_ptr<TCustomChart> copy = ReadChartForm(WriteChartForm(marks));
    EXPECT_NE(copy->Series(0)->Marks().Items().ItemIfAny(1), nullptr);
    EXPECT_EQ(copy->Series(0)->Marks().Items().ItemIfAny(0), nullptr);
    EXPECT_EQ(golden::CountDifferences(*RenderToBitmap(marks, 300, 220), *RenderToBitmap(*copy, 300, 220)), 0);

    // the grid pen's Centered, and the axis' older name for it
    for (const char* line : {"BottomAxis.Grid.Centered = True", "BottomAxis.GridCentered = True"}) {
        std::unique_ptr<TCustomChart> grid = ReadChartForm(std::string("object C: TChart\n  ") + line + "\nend\n");
        EXPECT_TRUE(grid->BottomAxis()->GridCentered()) << line;
        EXPECT_NE(WriteChartForm(*grid).find("  BottomAxis.Grid.Centered = True\n"), std::string::npos);
    }
}

// A value no chart holds is refused with the property and the line, or held
// to its range where the setter holds it; a refusal inside a value names it too.
TEST(FormState, ValuesOutOfRangeAreRefusedOrHeld) {
    const struct {
        const char* lines;
        const char* refusal;
    } refused[] = {
        {"  object S: TLineSeries\n    Cursor = 70000\n  end\n",
         "Property 'Cursor': Value 70000 out of range (-32768 to 32767) (line 3)"},
        {"  object T: TAnnotationTool\n    Cursor = -40000\n  end\n",
         "Property 'Cursor': Value -40000 out of range (-32768 to 32767) (line 3)"},
        {"  object S: TLineSeries\n    Marks.DrawEvery = -3\n  end\n",
         "Property 'Marks.DrawEvery': Value -3 out of range (1 to 2147483647) (line 3)"},
        {"  Title.Text.Strings = ('hel' + 'lo')\n",
         "Property 'Title.Text.Strings': Unexpected character 0x2b (line 2)"},
        {"  LeftAxis.Minimum = 1.5e999\n", "Property 'LeftAxis.Minimum': Invalid number '1.5e999' (line 2)"},
        {"  Title.Text = (\n    'a'\n    'b\n  )\n", "Property 'Title.Text': Unterminated string (line 4)"},
        // read but never written: a shadow larger than the shadow's own sizes take, a
        // main axis turned, bytes after the points
        {"  Title.ShadowSize = 9000\n",
         "Property 'Title.ShadowSize': Value 9000 out of range (-8192 to 8192) (line 2)"},
        {"  LeftAxis.Horizontal = True\n",
         "Property 'LeftAxis.Horizontal': A vertical main axis cannot be made horizontal (line 2)"},
        {"  BottomAxis.Horizontal = False\n",
         "Property 'BottomAxis.Horizontal': A horizontal main axis cannot be made vertical (line 2)"},
        {"  object S: TLineSeries\n    Data = {0001000000000000000000F03F00}\n  end\n",
         "Property 'Data': Point data goes on after its last point (line 3)"},
    };
    for (const auto& c : refused) EXPECT_EQ(Refusal(std::string("object C: TChart\n") + c.lines + "end\n"), c.refusal);

    const struct {
        const char* lines;
        const char* written;  // nullptr: nothing but the tool
    } held[] = {
        {"    Transparency = -5\n", nullptr},
        {"    Transparency = 1000\n", "    Transparency = 100\n"},
        {"    Band1.Transparency = 1000\n", "    Band1.Transparency = 100\n"},
        {"    Band2.Transparency = -5\n", nullptr},
    };
    for (const auto& c : held) {
        SCOPED_TRACE(c.lines);
        const char* kind = std::string(c.lines).find("Band") == std::string::npos ? "TColorBandTool" : "TGridBandTool";
        const std::string text = WriteChartForm(
            *ReadChartForm(std::string("object C: TChart\n  object T: ") + kind + "\n" + c.lines + "  end\nend\n"));
        const std::string tool = text.substr(text.find("object T:"));
        EXPECT_EQ(tool, std::string("object T: ") + kind + "\n" + (c.written ? c.written : "") + "  end\nend\n");
    }
}

// Values at and past the ends of what the reader takes, under the names older
// forms used too: a form it takes it writes as one it takes again, the same
// way, and it refuses only what lies outside.
TEST(FormState, AFormTakenIsWrittenAsOneTakenAgain) {
    EnsureGuiApplication();
    int taken = 0;
    const std::string chart = "object C: TChart\n";
    std::vector<std::pair<std::string, bool>> cases;  // the lines, and whether they are to be taken
    for (const char* shape : {"Title", "Legend", "Foot"})
        for (const char* prop : {"ShadowSize", "Shadow.HorizSize", "Shadow.VertSize"})
            for (const int v : {-10000, -8193, -8192, -1, 0, 9, 8192, 8193, 9000, 10000})
                cases.emplace_back(std::string("  ") + shape + "." + prop + " = " + std::to_string(v) + "\n",
                                   v >= -8192 && v <= 8192);
    // a main axis lies as its place says; a custom one either way
    for (const char* axis : {"LeftAxis", "RightAxis", "TopAxis", "BottomAxis"})
        for (const bool h : {false, true})
            cases.emplace_back(std::string("  ") + axis + ".Horizontal = " + (h ? "True" : "False") + "\n",
                               h == (axis[0] == 'T' || axis[0] == 'B'));
    for (const char* h : {"True", "False"})
        cases.emplace_back(std::string("  CustomAxes = <\n    item\n      Horizontal = ") + h + "\n    end>\n", true);
    for (const auto& [lines, take] : cases) {
        SCOPED_TRACE(lines);
        std::unique_ptr<TCustomChart> read;
        try {
            read = ReadChartForm(chart + lines + "end\n");
        } catch (const EFormError&) {
            EXPECT_FALSE(take) << "refused";
            continue;
        }
        EXPECT_TRUE(take) << "taken";
        ++taken;
        const std::string written = WriteChartForm(*read);
        std::string again;
        EXPECT_NO_THROW(again = WriteChartForm(*ReadChartForm(written))) << written;
        EXPECT_EQ(again, written);
        EXPECT_EQ(formuse::DrawnOtherwise(*read, written), 0) << written;
    }
    EXPECT_EQ(taken, 3 * 3 * 5 + 4 + 2);
}
