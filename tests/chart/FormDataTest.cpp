// Charts written as form data and read back: the round trip of every kind of
// element, what a default chart writes, the legacy names, and bad forms.

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "ChartControl.h"
#include "ChartFormData.h"
#include "FormSamples.h"
#include "ChartTools.h"
#include "ChartToolsExtra.h"
#include "GoldenCompare.h"
#include "GuiApplication.h"
#include "LineSeries.h"
#include "RecordingChart.h"
#include "SeriesFunction.h"
#include "SeriesMarks.h"

namespace {

using namespace formsamples;

std::unique_ptr<TBitmap> Render(TCustomChart& chart) { return RenderToBitmap(chart, 420, 300); }

}  // namespace

TEST(FormData, EveryKindOfElementComesBackAndDrawsTheSame) {
    EnsureGuiApplication();
    TChart chart;
    SetEverything(chart);
    const std::string text = WriteChartForm(chart);

    std::unique_ptr<TCustomChart> copy = ReadChartForm(text);
    EXPECT_EQ(WriteChartForm(*copy), text);
    ASSERT_EQ(copy->SeriesCount(), 4);
    ASSERT_EQ(copy->Tools().Count(), 13);
    EXPECT_TRUE(copy->Series(0)->ManualData());
    EXPECT_EQ(copy->Series(0)->PointLabels().Label(3), "seven");
    EXPECT_EQ(copy->Series(0)->Marks().Items().ItemsLoaded, true);
    EXPECT_EQ(copy->Series(1)->CustomVertAxis(), copy->CustomAxes().Items(0));
    EXPECT_EQ(copy->Series(2)->SourceList().size(), 2u);
    EXPECT_EQ(copy->Series(2)->PointCount(), chart.Series(2)->PointCount());
    EXPECT_EQ(copy->Series(3)->SeriesFunction()->ParentSeries(), copy->Series(3));
    EXPECT_GT(copy->Series(3)->PointCount(), 4);
    EXPECT_EQ(dynamic_cast<TAxisArrowTool*>(copy->Tools()[2])->Axis(), copy->LeftAxis());
    EXPECT_EQ(dynamic_cast<TNearestTool*>(copy->Tools()[4])->Series(), copy->Series(0));

    std::unique_ptr<TBitmap> before = Render(chart);
    std::unique_ptr<TBitmap> after = Render(*copy);
    int x = -1, y = -1;
    const int differ = golden::CountDifferences(*before, *after, x, y);
    if (differ || getenv("NARVI_FORM_PICTURES")) {
        SaveBitmapToPng(*before, "formdata-written.png");
        SaveBitmapToPng(*after, "formdata-read.png");
    }
    EXPECT_EQ(differ, 0) << "first at " << x << "," << y << "; pictures in formdata-written.png, formdata-read.png";
}

namespace {

// The names of the properties the chart's form stores (nested ones dotted).
std::vector<std::string> StoredNames(TChart& chart) {
    std::vector<std::string> names;
    const TFormNode root = ParseForm(WriteChartForm(chart));
    for (const TFormProperty& p : root.Properties) names.push_back(p.Name);
    for (const TFormNode& child : root.Children)
        for (const TFormProperty& p : child.Properties) names.push_back(child.Name + ":" + p.Name);
    return names;
}

bool Has(const std::vector<std::string>& names, const std::string& name) {
    return std::find(names.begin(), names.end(), name) != names.end();
}

struct StoredCase {
    const char* what;
    std::function<void(TChart&)> change;
    std::vector<std::string> stored;
    std::vector<std::string> left;
};

}  // namespace

// A fresh chart stores nothing: the border starts invisible and flat, and
// that is its default.
TEST(FormData, DefaultChartWritesAlmostNothing) {
    TChart chart;
    EXPECT_EQ(StoredNames(chart), std::vector<std::string>{});
    auto copy = ReadChartForm("object TChart\nend\n");
    EXPECT_EQ(WriteChartForm(*copy), WriteChartForm(chart));
}

TEST(FormData, EachStoredRuleShowsInTheForm) {
    const StoredCase cases[] = {
        {"automatic ends are not stored",
         [](TChart& c) {
             c.LeftAxis()->SetMinimum(-3);
             c.BottomAxis()->SetAutomaticMinimum(false);
             c.TopAxis()->SetAutomatic(false);
         },
         {"BottomAxis.Minimum", "TopAxis.Minimum", "TopAxis.Maximum"},
         {"LeftAxis.Minimum", "BottomAxis.Maximum"}},
        {"positions against 0, 100, 0 and base 10",
         [](TChart& c) {
             c.LeftAxis()->SetStartPosition(10);
             c.LeftAxis()->SetEndPosition(100);
             c.BottomAxis()->SetPositionPercent(5);
             c.RightAxis()->SetLogarithmicBase(10);
             c.RightAxis()->SetAxisValuesFormat("#,##0.###");
         },
         {"LeftAxis.StartPosition", "BottomAxis.PositionPercent"},
         {"LeftAxis.EndPosition", "RightAxis.LogarithmicBase", "RightAxis.AxisValuesFormat"}},
        {"Horizontal only for custom axes",
         [](TChart& c) { c.AddCustomAxis(); },
         {"CustomAxes"},
         {"BottomAxis.Horizontal", "LeftAxis.Horizontal"}},
        {"angles modulo 360, against each axis' own default",
         [](TChart& c) {
             c.BottomAxis()->SetLabelsAngle(370);
             c.LeftAxis()->Title().SetAngle(90);
             c.RightAxis()->Title().SetAngle(0);
         },
         {"BottomAxis.LabelsAngle", "RightAxis.Title.Angle"},
         {"LeftAxis.Title.Angle"}},
        {"ZPosition against 100 on the far side",
         [](TChart& c) {
             c.TopAxis()->SetZPosition(100);
             c.RightAxis()->SetZPosition(0);
         },
         {"RightAxis.ZPosition"},
         {"TopAxis.ZPosition"}},
        {"walls against their own colours",
         [](TChart& c) {
             c.LeftWall().SetColor(0x80FFFF);
             c.BackWall().SetColor(0x80FFFF);
         },
         {"BackWall.Color"},
         {"LeftWall.Color"}},
        {"hidden pens while hidden, plain pens once hidden",
         [](TChart& c) {
             c.BottomAxis()->Axis().SetVisible(false);
             c.LeftAxis()->MinorGrid().SetVisible(false);
             c.RightAxis()->MinorGrid().SetVisible(true);
         },
         {"BottomAxis.Axis.Visible", "RightAxis.MinorGrid.Visible"},
         {"LeftAxis.MinorGrid.Visible"}},
        {"print margins when one differs from 15",
         [](TChart& c) {
             c.SetPrintMargins({15, 15, 15, 16});
         },
         {"PrintMargins"},
         {}},
        {"mid colour only while set, fonts against their defaults",
         [](TChart& c) {
             c.Gradient().SetMidColor(clRed);
             c.Legend().Gradient().SetMidColor(clRed);
             c.Legend().Gradient().SetMidColor(clNone);
             c.Title().Font().SetName(PlotDefaultFontName());
             c.Foot().Font().SetName("Courier");
         },
         {"Gradient.MidColor", "Foot.Font.Name"},
         {"Legend.Gradient.MidColor", "Title.Font.Name"}},
        {"points only when they are the series' own, sources by name",
         [](TChart& c) {
             TPointSeries* a = AddPoints(c, "A");
             a->AddPoint(1, 2);
             TPointSeries* b = AddPoints(c, "B");
             b->AddPoint(1, 2);
             b->SetManualData(true);
             AddLine(c, "C")->SetDataSource(b);
         },
         {"B:Data", "C:DataSource"},
         {"A:Data", "C:DataSources", "C:Data"}},
    };
    for (const StoredCase& c : cases) {
        SCOPED_TRACE(c.what);
        TChart chart;
        c.change(chart);
        const std::vector<std::string> names = StoredNames(chart);
        for (const std::string& n : c.stored) EXPECT_TRUE(Has(names, n)) << n;
        for (const std::string& n : c.left) EXPECT_FALSE(Has(names, n)) << n;
        // what is left out comes back as it was
        auto copy = ReadChartForm(WriteChartForm(chart));
        EXPECT_EQ(WriteChartForm(*copy), WriteChartForm(chart));
    }
}

TEST(FormData, LegacyPropertiesReadIntoTheirNewPlaces) {
    std::vector<std::string> boxes;
    auto saved = ObsoletePropertyBox();
    ObsoletePropertyBox() = [&boxes](const std::string& text) { boxes.push_back(text); };
    auto copy = ReadChartForm(R"(object Chart1: TChart
  BorderStyle = bsSingle
  AllowZoom = False
  AnimatedZoom = True
  AnimatedZoomSteps = 4
  BackColor = clYellow
  Title.ShadowColor = clRed
  Title.ShadowSize = 5
  Legend.ShadowColor = 255
  object S: TPointSeries
    XValues.Multiplier = 1.0
    YValues.Multiplier = 2
    Style = 255
    Identifier = 'old'
  end
end
)");
    ObsoletePropertyBox() = saved;
    EXPECT_TRUE(copy->Border().Visible());
    EXPECT_FALSE(copy->Zoom().Allow);
    EXPECT_TRUE(copy->Zoom().Animated);
    EXPECT_EQ(copy->Zoom().AnimatedSteps, 4);
    EXPECT_EQ(copy->BackWall().Color(), clYellow);
    EXPECT_EQ(copy->Title().Shadow().Color(), clRed);
    EXPECT_EQ(copy->Title().Shadow().HorizSize(), 5);
    EXPECT_EQ(copy->Title().Shadow().VertSize(), 5);
    EXPECT_EQ(copy->Legend().Shadow().Color(), clRed);
    EXPECT_EQ(copy->Series(0)->Style(), 0x3F);
    EXPECT_EQ(copy->Series(0)->Identifier(), "old");
    EXPECT_EQ(boxes, std::vector<std::string>{"Error: Multiplier property is obsolete.\rModify PlotDefs (enable "
                                              "Multiplier) and recompile."});
    // none of the legacy names is written again
    const std::string text = WriteChartForm(*copy);
    for (const char* name : {"BorderStyle", "AllowZoom", "BackColor", "ShadowColor", "ShadowSize", "Multiplier"})
        EXPECT_EQ(text.find(name), std::string::npos) << name;
    EXPECT_FALSE(ReadChartForm("object C: TChart\n  BorderStyle = bsNone\nend")->Border().Visible());
}

TEST(FormData, BadFormsAreRefusedWithWhatAndWhere) {
    const struct {
        const char* text;
        const char* message;
    } cases[] = {
        {"object C: TChart\n  Title.Text = ('a'", "Expected a value but found the end of the text (line 2)"},
        {"object C: TChart\n  View3D = True\n", "Expected a property name but found the end of the text (line 3)"},
        {"object C: TNoSuchChart\nend", "Unknown class 'TNoSuchChart' (line 1)"},
        {"object C: TChart\n  Nonsense = 1\nend", "Unknown property 'Nonsense' (line 2)"},
        {"object C: TChart\n  Title.Nonsense.Color = 1\nend", "Unknown property 'Title.Nonsense.Color' (line 2)"},
        {"object C: TChart\n  View3D = 5\nend", "Property 'View3D': Expected an identifier, found an integer (line 2)"},
        {"object C: TChart\n\n  Legend.Alignment = laMiddle\nend",
         "Property 'Legend.Alignment': Unknown value 'laMiddle' (line 3)"},
        {"object C: TChart\n  Chart3DPercent = 99999999999\nend",
         "Property 'Chart3DPercent': Value 99999999999 out of range"},
        {"object C: TChart\n  Chart3DPercent = 0\nend",
         "Property 'Chart3DPercent': 3D effect percent must be between 1 and 100 (line 2)"},
        {"object C: TChart\n  PrintMargins = (1 2 3)\nend", "Property 'PrintMargins': Expected four margins (line 2)"},
        {"object C: TChart\n  Color = clPlaid\nend", "Property 'Color': Unknown colour 'clPlaid' (line 2)"},
        {"object C: TChart\n  object S: TPointSeries\n    DataSource = Nobody\n  end\nend",
         "No component named 'Nobody' in the form (line 3)"},
        {"object C: TChart\n  object S: TPointSeries\n    DataSource = S\n  end\nend", "(line 3)"},
        {"object C: TChart\n  object S: TLineSeries\n    CustomVertAxis = 3\n  end\nend", "No custom axis 3 (line 3)"},
        {"object C: TChart\n  object T: TAxisArrowTool\n    AxisID = 9\n  end\nend", "No axis 9 (line 3)"},
        {"object C: TChart\n  object T: TNearestTool\n    Series = C\n  end\nend", "'C' is not a series (line 3)"},
        {"object C: TChart\n  object S: TPointSeries\n  end\n  object S: TLineSeries\n  end\nend",
         "Duplicate component name 'S' (line 4)"},
        {"object T: TCursorTool\nend", "The form holds no chart (line 1)"},
        {"object C: TChart\n  object S: TPointSeries\n    object T: TCursorTool\n    end\n  end\nend",
         "A series holds only a function (line 3)"},
        {"object C: TChart\n  object F: TSmoothingFunction\n  end\nend",
         "A chart holds only series sources, series and tools (line 2)"},
        {"object C: TChart\n  object S: TPointSeries\n    Data = {00FFFFFF7F}\n  end\nend",
         "Property 'Data': Invalid point count 2147483647 in point data (line 3)"},
        {"object C: TChart\n  object S: TPointSeries\n    Marks.Items = {FFFFFF7F0100}\n  end\nend",
         "Property 'Marks.Items': Invalid marks item count 2147483647 (line 3)"},
        {"object C: TChart\n  object S: TPointSeries\n    Marks.Items = {010000000105000000}\n  end\nend",
         "Binary property data cut short (line 3)"},
        {"object C: TChart\n  BackImage = {0200000002000000FF}\nend",
         "Property 'BackImage': Picture data does not match its size (line 2)"},
        {"object C: TChart\n  Title.Text = ('unterminated)\nend", "Unterminated string (line 2)"},
        {"object C: TChart\n  BackImage = {0G}\nend", "Invalid hexadecimal data (line 2)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        try {
            ReadChartForm(c.text);
            ADD_FAILURE() << "accepted";
        } catch (const EFormError& e) {
            EXPECT_NE(e.Message().find(c.message), std::string::npos) << e.Message();
        }
    }
    // a form nested too deep ends at the limit, not on the stack
    std::string deep;
    for (int i = 0; i < 5000; ++i) deep += "object C: TChart\n";
    EXPECT_NE(ExceptionText([&] { ReadChartForm(deep); }).find("nested deeper than 64"), std::string::npos);
    std::string list = "object C: TChart\n  Title.Text = " + std::string(100000, '(');
    EXPECT_NE(ExceptionText([&] { ReadChartForm(list); }).find("nested deeper than 64"), std::string::npos);
}

// Every cut of a full form and every form with one line left out either reads
// or is refused with a form error; none crashes or leaves anything behind.
TEST(FormData, CutAndShortenedFormsReadOrAreRefused) {
    TChart chart;
    SetEverything(chart);
    const std::string text = WriteChartForm(chart);
    auto readOrRefused = [](const std::string& form) {
        try {
            ReadChartForm(form);
        } catch (const EFormError& e) {
            EXPECT_FALSE(e.Message().empty());
        }
    };
    for (std::size_t cut = 0; cut < text.size(); cut += 3) readOrRefused(text.substr(0, cut));
    for (std::size_t start = 0; start < text.size();) {
        const std::size_t end = text.find('\n', start) + 1;
        readOrRefused(text.substr(0, start) + text.substr(end));
        start = end;
    }
    auto* unnamed = new TLineSeries(&chart);
    unnamed->SetName("two words");
    unnamed->SetParentChart(&chart);
    EXPECT_EQ(ExceptionText([&] { WriteChartForm(chart); }), "The name 'two words' cannot be stored in form data");
}

namespace {

// A source that fills its series with three points, counting its fills.
class CountingSource : public TPlotSeriesSource {
public:
    explicit CountingSource(TComponent* owner) : TPlotSeriesSource(owner) {}
    void FillSeries() override {
        ++Fills;
        for (int i = 0; i < 3; ++i) Series()->AddPoint(i, 10 * i);
    }
    static inline int Fills = 0;
    static const TClassInfo ClassInfo;
};

const TClassInfo CountingSource::ClassInfo{
    "CountingSource", [](TObject* owner) -> TObject* { return new CountingSource(dynamic_cast<TComponent*>(owner)); }};

}  // namespace

TEST(FormData, AnActiveSourceFillsItsSeriesOnceTheFormIsRead) {
    RegisterChartFormSource(
        CountingSource::ClassInfo, [](const TObject& o) { return dynamic_cast<const CountingSource*>(&o) != nullptr; },
        [] { return std::unique_ptr<TObject>(new CountingSource(nullptr)); });
    TChart chart;
    auto* source = new CountingSource(&chart);
    source->SetName("Feed");
    TPointSeries* series = AddPoints(chart, "Fed");
    source->SetSeries(series);
    source->SetSourceActive(true);
    const std::string text = WriteChartForm(chart);
    EXPECT_NE(text.find("object Feed: CountingSource\n    Active = True\n  end\n  object Fed: TPointSeries"),
              std::string::npos)
        << text;

    CountingSource::Fills = 0;
    auto copy = ReadChartForm(text);
    EXPECT_EQ(CountingSource::Fills, 1);
    EXPECT_EQ(copy->Series(0)->PointCount(), 3);
    EXPECT_EQ(WriteChartForm(*copy), text);
}

// A form read and written again reads back to the same form, also where the
// text took a value the setters hold for equal to another (-0 and 0).
TEST(FormData, WhatAReadFormWritesReadsBackTheSame) {
    auto first = ReadChartForm(
        "object C: TChart\n  LeftAxis.AutomaticMinimum = False\n  LeftAxis.Minimum = -5\n  LeftAxis.Minimum = "
        "-0.0\nend\n");
    const std::string written = WriteChartForm(*first);
    EXPECT_NE(written.find("LeftAxis.Minimum = 0.0\n"), std::string::npos) << written;
    EXPECT_EQ(WriteChartForm(*ReadChartForm(written)), written);
}
