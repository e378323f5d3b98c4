// Every stored property of every chart class, walked through the form layer's own
// property table, so that a property added there is checked here too: on a drawn
// chart a new value asks for one repaint at least, the same value again for none.

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <functional>
#include <utility>
#include <set>
#include <string>
#include <vector>

#include "ChartControl.h"
#include "ChartFormData.h"
#include "FormSamples.h"
#include "FormStream.h"

namespace {

// Properties that do not change the picture: names and links to data, flags kept only
// for the form, the mouse cursor over a series and what only clicks use, the chart's
// mouse buttons and the printer's proportions.
const std::set<std::string> NoPicture{
    "Name",          "ValueSource",   "ColorSource",  "XLabelsSource",     "Identifier",  "Style@Series",
    "Cursor@Series", "ClickableLine", "AllowPanning", "ScrollMouseButton", "MouseAction", "PrintProportional",
};

bool Exempt(const std::string& kind, const std::string& path, const std::string& name) {
    // the zoom's band shows only while the user drags it
    if (path.find(".Zoom.") != std::string::npos) return true;
    return NoPicture.count(name) || NoPicture.count(name + "@" + kind);
}

bool IsIdent(const TFormValue& v, const char* text) {
    if (v.Kind != TFormKind::Ident || v.Text.size() != std::string(text).size()) return false;
    return std::equal(v.Text.begin(), v.Text.end(), text,
                      [](char a, char b) { return std::tolower(static_cast<unsigned char>(a)) == std::tolower(b); });
}

// Values other than now, the likeliest to be taken first.
std::vector<TFormValue> OtherValues(const TFormProp& p, const TFormValue& now, TFormReader& reader) {
    std::vector<TFormValue> out;
    switch (now.Kind) {
    case TFormKind::Integer:
        out = {TFormValue::OfInt(now.Int + 1), TFormValue::OfInt(now.Int - 1)};
        break;
    case TFormKind::Float:
        out = {TFormValue::OfFloat(now.Float + 1), TFormValue::OfFloat(now.Float - 1)};
        break;
    case TFormKind::String:
        out = {TFormValue::OfString(now.Text + "x")};
        break;
    case TFormKind::List: {
        TFormValue v = now;
        v.List.push_back(TFormValue::OfString("x"));
        out = {v};
        break;
    }
    case TFormKind::Set: {
        TFormValue v = now;
        const std::string first = (*p.Names)[0];
        const auto at = std::find(v.Names.begin(), v.Names.end(), first);
        if (at == v.Names.end())
            v.Names.push_back(first);
        else
            v.Names.erase(at);
        out = {v};
        break;
    }
    case TFormKind::Ident:
        if (IsIdent(now, "True") || IsIdent(now, "False")) {
            out = {TFormValue::OfIdent(IsIdent(now, "True") ? "False" : "True")};
        } else if (p.Names) {
            for (const char* n : *p.Names)
                if (!IsIdent(now, n)) out.push_back(TFormValue::OfIdent(n));
        } else {
            // a colour by name
            const std::uint32_t c = FormColor(now, reader);
            out = {FormColorValue(c == clRed ? clBlue : clRed)};
        }
        break;
    default:
        break;
    }
    return out;
}

struct SetterWalk {
    explicit SetterWalk(TCustomChart& c) : chart(c) {}
    TCustomChart& chart;
    std::string kind;  // "Series" or none
    TFormReader reader{nullptr};
    int walked = 0;
    std::set<std::string> distinct;
    std::vector<std::string> notWalked;

    // Sets the first value the property takes; false when it takes none.
    bool SetOther(TObject& obj, const TFormProp& p, const TFormValue& now) {
        for (const TFormValue& v : OtherValues(p, now, reader)) {
            try {
                p.Read(obj, v, reader);
            } catch (const std::exception&) {
                continue;
            }
            if (!(p.Value(obj) == now)) return true;
        }
        return false;
    }

    void Walk(TObject& obj, const TFormProps& props, const std::string& path) {
        for (const TFormProp& p : props.Items()) {
            const std::string name = path + p.Name;
            if (p.Alias) continue;
            if (p.Nested) {
                if (TObject* sub = p.Get(obj, true)) Walk(*sub, *p.Nested, name + ".");
                continue;
            }
            if (!p.Value || !p.Read) {
                notWalked.push_back(name);
                continue;
            }
            if (Exempt(kind, name, p.Name)) continue;
            SCOPED_TRACE(name);
            const TFormValue now = p.Value(obj);
            const int before = chart.InvalidateCount();
            if (!SetOther(obj, p, now)) {
                // an axis whose range reaches 0 refuses a logarithmic scale, a main axis
                // refuses to turn; the point data has no generic other value
                const bool mainAxisTurn = p.Name == "Horizontal" && name.find("CustomAxes") == std::string::npos;
                if (p.Name != "Logarithmic" && !mainAxisTurn && now.Kind != TFormKind::Binary)
                    ADD_FAILURE() << "takes no other value";
                notWalked.push_back(name);
                continue;
            }
            ++walked;
            distinct.insert(name);
            const int changed = chart.InvalidateCount();
            EXPECT_GT(changed, before) << "a new value asks for no repaint";
            p.Read(obj, p.Value(obj), reader);
            EXPECT_EQ(chart.InvalidateCount(), changed) << "the same value again asks for a repaint";
            try {
                p.Read(obj, now, reader);
            } catch (const std::exception&) {
            }
        }
    }

    void WalkComponent(TObject& obj) {
        const TFormClassDesc* cls = FormClassOf(obj);
        ASSERT_NE(cls, nullptr);
        kind = dynamic_cast<TChartSeries*>(&obj) ? "Series" : "";
        Walk(obj, *cls->Props, cls->Name + ".");
    }
};

TEST(SetterRepaint, EveryStoredPropertyRepaintsOnAChangeOnly) {
    TChart chart(nullptr);
    formsamples::SetEverything(chart);
    RenderToBitmap(chart, 420, 300);
    WriteChartForm(chart);  // registers the form classes
    SetterWalk walk(chart);
    walk.WalkComponent(chart);
    for (TChartSeries* s : chart.SeriesList()) walk.WalkComponent(*s);
    for (int i = 0; i < chart.Tools().Count(); ++i) walk.WalkComponent(*chart.Tools()[i]);
    // the whole table is reached: every class, every nested object
    EXPECT_GE(walk.distinct.size(), 1500u);
    RecordProperty("walked", static_cast<int>(walk.distinct.size()));
}

// What the table cannot walk with a value: optional parts set to none, pictures,
// emptied collections. Each repaints once there was something to take away, and
// asks nothing when there was nothing.
TEST(SetterRepaint, DroppedPartsAndEmptiedListsRepaint) {
    TChart chart(nullptr);
    formsamples::SetEverything(chart);
    RenderToBitmap(chart, 420, 300);
    TLineSeries* line = nullptr;
    for (TChartSeries* s : chart.SeriesList())
        if (auto* l = dynamic_cast<TLineSeries*>(s)) line = l;
    ASSERT_NE(line, nullptr);
    TDrawLineTool* lines = nullptr;
    for (int i = 0; i < chart.Tools().Count(); ++i)
        if (auto* t = dynamic_cast<TDrawLineTool*>(chart.Tools()[i])) lines = t;
    ASSERT_NE(lines, nullptr);
    TPlotFont& font = chart.Title().Font();
    font.Shadow().SetHorizSize(2);
    font.OutLine().SetVisible(true);
    font.Gradient().SetVisible(true);
    line->Marks().Items().Item(0).SetColor(clYellow);
    chart.Title().Gradient().SetVisible(true);
    TBitmap tile(2, 2);
    TPicture picture;
    picture.SetGraphic(&tile);

    const std::vector<std::pair<const char*, std::function<void()>>> changes{
        {"font shadow", [&] { font.SetShadow(nullptr); }},
        {"font outline", [&] { font.SetOutLine(nullptr); }},
        {"font gradient", [&] { font.SetGradient(nullptr); }},
        {"shape gradient", [&] { chart.Title().SetGradient(nullptr); }},
        {"chart gradient", [&] { chart.SetGradient(nullptr); }},
        {"back image", [&] { chart.SetBackImage(nullptr); }},
        {"brush image", [&] { chart.LeftWall().Brush().SetImage(nullptr); }},
        {"custom axes", [&] { chart.CustomAxes().Clear(); }},
        {"drawn lines", [&] { lines->Lines().Clear(); }},
        {"marks' own shapes", [&] { line->Marks().Items().Clear(); }},
    };
    for (const auto& [what, change] : changes) {
        SCOPED_TRACE(what);
        int before = chart.InvalidateCount();
        change();
        EXPECT_GT(chart.InvalidateCount(), before);
        before = chart.InvalidateCount();
        change();
        EXPECT_EQ(chart.InvalidateCount(), before) << "nothing was left to take away";
    }
    // a picture given shows at once
    int before = chart.InvalidateCount();
    line->ClearPoints();
    EXPECT_GT(chart.InvalidateCount(), before);
    before = chart.InvalidateCount();
    chart.LeftWall().Brush().SetImage(&picture);
    EXPECT_GT(chart.InvalidateCount(), before);
    before = chart.InvalidateCount();
    chart.SetBackImage(&picture);
    EXPECT_GT(chart.InvalidateCount(), before);
    for (int i = 0; i < chart.Tools().Count(); ++i)
        if (auto* image = dynamic_cast<TChartImageTool*>(chart.Tools()[i])) {
            before = chart.InvalidateCount();
            image->SetPicture(&picture);
            EXPECT_GT(chart.InvalidateCount(), before);
        }
}

}  // namespace
