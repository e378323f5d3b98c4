#pragma once
// A canvas that draws nothing and logs every call with its arguments and the device's pen,
// brush and font colour at the time, for checking what chart code draws and in what order.
// Text metrics are fixed: every character is CharWidth pixels wide, every line LineHeight high.
// The projection is flat (WorldToScreen returns the point unchanged).

#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "PlotCanvas.h"

struct RecordedCall {
    std::string op;
    std::vector<long long> args;
    std::string text;
    TColor penColor = clBlack;
    TPenStyle penStyle = psSolid;
    int penWidth = 1;
    TPenMode penMode = pmCopy;
    TColor brushColor = clWhite;
    TBrushStyle brushStyle = bsSolid;
    TColor fontColor = clBlack;

    // "Op(a,b,...)" or "Op(a,b,'text')".
    std::string Str() const {
        std::ostringstream s;
        s << op << '(';
        for (std::size_t i = 0; i < args.size(); ++i) s << (i ? "," : "") << args[i];
        if (!text.empty()) s << (args.empty() ? "" : ",") << '\'' << text << '\'';
        s << ')';
        return s.str();
    }
};

class RecordingCanvas : public TCanvas3D {
public:
    static constexpr int CharWidth = 6;
    static constexpr int LineHeight = 12;

    RecordingCanvas() : FDevice(4, 4) { AttachCanvas(&FDevice.Canvas()); }

    std::vector<RecordedCall> Calls;

    void Clear() { Calls.clear(); }
    std::vector<std::string> Ops() const {
        std::vector<std::string> out;
        for (const auto& c : Calls) out.push_back(c.op);
        return out;
    }
    std::vector<std::string> Trace() const {
        std::vector<std::string> out;
        for (const auto& c : Calls) out.push_back(c.Str());
        return out;
    }
    int Count(const std::string& op) const {
        int n = 0;
        for (const auto& c : Calls) n += c.op == op;
        return n;
    }
    const RecordedCall* Find(const std::string& op, int nth = 0) const {
        for (const auto& c : Calls) {
            if (c.op == op && nth-- == 0) return &c;
        }
        return nullptr;
    }

    TColor GetBackgroundColor() override { return FCanvas->BackgroundColor(); }
    int GetBackgroundMode() override { return FCanvas->BackgroundMode(); }
    TCanvas* GetDeviceHandle() override { return FCanvas; }
    bool GetMonochrome() override { return FMonochrome; }
    TColor GetPixelColor(int x, int y) override { return Log("GetPixelColor", {x, y}), clWhite; }
    int GetTextAlignment() override { return FCanvas->TextAlign(); }
    bool GetBuffered() override { return FBuffered; }
    void SetBackgroundColor(TColor c) override { Log("SetBackgroundColor", {c}), FCanvas->SetBackgroundColor(c); }
    void SetBackgroundMode(int m) override { Log("SetBackgroundMode", {m}), FCanvas->SetBackgroundMode(m); }
    void SetMonochrome(bool v) override { FMonochrome = v; }
    void SetPixelColor(int x, int y, TColor c) override { Log("SetPixelColor", {x, y, c}); }
    void SetTextAlignment(int f) override { Log("SetTextAlignment", {f}), FCanvas->SetTextAlign(f); }
    void SetBuffered(bool v) override { FBuffered = v; }
    std::unique_ptr<TPlotBlend> BeginTransparency(const TRect& r, int percent) override {
        Log("BeginTransparency", {r.Left, r.Top, r.Right, r.Bottom, percent});
        FBlendPercent = percent & 0x7F;
        return std::make_unique<TPlotBlend>(*this, r);
    }
    void EndTransparency(std::unique_ptr<TPlotBlend> blend) override {
        Log("EndTransparency", {});
        blend.reset();
    }
    void DrawArc(int x1, int y1, int x2, int y2, int x3, int y3, int x4, int y4) override {
        Log("DrawArc", {x1, y1, x2, y2, x3, y3, x4, y4});
    }
    void DrawDonutSlice(int cx, int cy, int hole, double a0, double a1, int rv, int rh) override {
        Log("DrawDonutSlice",
            {cx, cy, hole, static_cast<long long>(a0 * 1000), static_cast<long long>(a1 * 1000), rv, rh});
    }
    void DrawGraphic(int x, int y, const TGraphic* g) override {
        if (g && !g->Empty()) Log("DrawGraphic", {x, y});
    }
    void DrawEllipse(int x1, int y1, int x2, int y2) override { Log("DrawEllipse", {x1, y1, x2, y2}); }
    void FillRectangle(const TRect& r) override { Log("FillRectangle", {r.Left, r.Top, r.Right, r.Bottom}); }
    void DrawBevelFrame(TRect& r, TColor tl, int width, TColor br) override {
        Log("DrawBevelFrame", {r.Left, r.Top, r.Right, r.Bottom, tl, width, br});
        r = TRect{r.Left + width, r.Top + width, r.Right - width, r.Bottom - width};
    }
    void LineToPoint(int x, int y) override { Log("LineToPoint", {x, y}); }
    void MoveToPoint(int x, int y) override { Log("MoveToPoint", {x, y}); }
    void DrawPie(int x1, int y1, int x2, int y2, int x3, int y3, int x4, int y4) override {
        Log("DrawPie", {x1, y1, x2, y2, x3, y3, x4, y4});
    }
    void DrawRectangle(int x0, int y0, int x1, int y1) override { Log("DrawRectangle", {x0, y0, x1, y1}); }
    void DrawRoundRectangle(int x0, int y0, int x1, int y1, int cw, int ch) override {
        Log("DrawRoundRectangle", {x0, y0, x1, y1, cw, ch});
    }
    void StretchGraphic(const TRect& r, const TGraphic* g) override {
        if (g) Log("StretchGraphic", {r.Left, r.Top, r.Right, r.Bottom});
    }
    void WriteText(int x, int y, const std::string& text) override {
        ApplyTextColor();
        Log("WriteText", {x, y}, text);
    }
    int MeasureTextWidth(const std::string& text) override {
        int w = static_cast<int>(text.size()) * CharWidth;
        if (CurrentFont() && CurrentFont()->ShadowIfAny()) w += std::abs(CurrentFont()->ShadowIfAny()->HorizSize());
        return w;
    }
    int MeasureTextHeight(const std::string&) override {
        int h = LineHeight;
        if (CurrentFont() && CurrentFont()->ShadowIfAny()) h += std::abs(CurrentFont()->ShadowIfAny()->VertSize());
        return h;
    }
    void ClipToRectangle(const TRect& r) override {
        Log("ClipToRectangle", {r.Left, r.Top, r.Right, r.Bottom});
        ++ClipDepth;
    }
    void DrawHorizontalLine(int x0, int x1, int y) override { Log("DrawHorizontalLine", {x0, x1, y}); }
    void DrawVerticalLine(int x, int y0, int y1) override { Log("DrawVerticalLine", {x, y0, y1}); }
    void EraseRectangle(const TRect& r) override { Log("EraseRectangle", {r.Left, r.Top, r.Right, r.Bottom}); }
    void FillGradient(const TRect& r, TColor start, int balance, TGradientDirection d, TColor end) override {
        Log("FillGradient", {r.Left, r.Top, r.Right, r.Bottom, start, balance, d, end});
    }
    void MarkDirty() override { Log("MarkDirty", {}); }
    void DrawSegment(int x0, int y0, int x1, int y1) override { Log("DrawSegment", {x0, y0, x1, y1}); }
    void DrawPolyline(const TPoint* p, int last) override { LogPoints("DrawPolyline", p, last + 1); }
    void DrawPolygon(const TPoint* p, int last) override { LogPoints("DrawPolygon", p, last + 1); }
    void WriteRotatedText(int x, int y, int angle, const std::string& text) override {
        Log("WriteRotatedText", {x, y, angle}, text);
    }
    void RemoveClipping() override {
        Log("RemoveClipping", {});
        if (ClipDepth > 0) --ClipDepth;
    }
    void ClipToEllipse(const TRect& r) override {
        Log("ClipToEllipse", {r.Left, r.Top, r.Right, r.Bottom});
        ++ClipDepth;
    }
    void ClipToRoundRectangle(const TRect& r, int corner) override {
        Log("ClipToRoundRectangle", {r.Left, r.Top, r.Right, r.Bottom, corner});
        ++ClipDepth;
    }
    void ClipToPolygon(const TPoint* p, int count) override {
        LogPoints("ClipToPolygon", p, count);
        ++ClipDepth;
    }

    TColor GetPixelColor3D(int x, int y, int z) override { return Log("GetPixelColor3D", {x, y, z}), clWhite; }
    bool IsHardware3D() override { return false; }
    bool SupportsRotatedText3D() override { return false; }
    void SetPixelColor3D(int x, int y, TColor c, int z) override { Log("SetPixelColor3D", {x, y, c, z}); }
    void ScreenToWorld(int&, int&, int) override {}
    TPoint WorldToScreen(int x, int y, int) override { return TPoint{x, y}; }
    TRect BeginDrawing(TCanvas*, TView3DOptions* options, const TRect& bounds, bool threeD, TColor) override {
        Log("BeginDrawing", {bounds.Left, bounds.Top, bounds.Right, bounds.Bottom, threeD});
        FView3DOptions = options;
        return bounds;
    }
    void CopySettings(TCanvas3D& other) override { FMonochrome = other.GetMonochrome(); }
    void SetProjectionCenter(int depth, const TRect& r) override {
        Log("SetProjectionCenter", {depth, r.Left, r.Top, r.Right, r.Bottom});
    }
    void PresentBuffer(TCanvas*, TCanvas*, const TPoint& p) override { Log("PresentBuffer", {p.x, p.y}); }
    bool RepaintFromBuffer() override { return Log("RepaintFromBuffer", {}), false; }
    void DrawArrow(bool filled, const TPoint& a, const TPoint& b, int hw, int hl, int z) override {
        Log("DrawArrow", {filled, a.x, a.y, b.x, b.y, hw, hl, z});
    }
    void ClipToCube(const TRect& r, int z0, int z1) override {
        Log("ClipToCube", {r.Left, r.Top, r.Right, r.Bottom, z0, z1});
        ++ClipDepth;
    }
    void DrawCone(bool v, int l, int t, int r, int b, int z0, int z1, bool dark, int pct) override {
        Log("DrawCone", {v, l, t, r, b, z0, z1, dark, pct});
    }
    void DrawBox(int l, int r, int t, int b, int z0, int z1, bool dark) override {
        Log("DrawBox", {l, r, t, b, z0, z1, dark});
    }
    void DrawCylinder(bool v, int l, int t, int r, int b, int z0, int z1, bool dark) override {
        Log("DrawCylinder", {v, l, t, r, b, z0, z1, dark});
    }
    void DrawHorizontalLine3D(int x0, int x1, int y, int z) override { Log("DrawHorizontalLine3D", {x0, x1, y, z}); }
    void DrawVerticalLine3D(int x, int y0, int y1, int z) override { Log("DrawVerticalLine3D", {x, y0, y1, z}); }
    void DrawDepthLine(int x, int y, int z0, int z1) override { Log("DrawDepthLine", {x, y, z0, z1}); }
    void DrawEllipse3D(int x1, int y1, int x2, int y2, int z) override { Log("DrawEllipse3D", {x1, y1, x2, y2, z}); }
    void BeginFrontPlane() override { Log("BeginFrontPlane", {}); }
    void EndFrontPlane() override { Log("EndFrontPlane", {}); }
    void DrawLineAtDepth(int x0, int y0, int x1, int y1, int z) override {
        Log("DrawLineAtDepth", {x0, y0, x1, y1, z});
    }
    void MoveToPoint3D(int x, int y, int z) override { Log("MoveToPoint3D", {x, y, z}); }
    void LineToPoint3D(int x, int y, int z) override { Log("LineToPoint3D", {x, y, z}); }
    void DrawPie3D(int cx, int cy, int rx, int ry, double a0, double a1, int z0, int z1, int hole, bool ends,
                   bool dark) override {
        Log("DrawPie3D", {cx, cy, rx, ry, static_cast<long long>(a0 * 1000), static_cast<long long>(a1 * 1000), z0, z1,
                          hole, ends, dark});
    }
    void DrawPlaneBetween(const TPoint& p, const TPoint& q, int z0, int z1) override {
        Log("DrawPlaneBetween", {p.x, p.y, q.x, q.y, z0, z1});
    }
    void DrawPlaneAtDepth(const TFourPoints& p, int z) override {
        Log("DrawPlaneAtDepth", {p[0].x, p[0].y, p[1].x, p[1].y, p[2].x, p[2].y, p[3].x, p[3].y, z});
    }
    void DrawQuadBetweenDepths(const TFourPoints& p, int z0, int z1) override {
        Log("DrawQuadBetweenDepths", {p[0].x, p[0].y, p[1].x, p[1].y, p[2].x, p[2].y, p[3].x, p[3].y, z0, z1});
    }
    void DrawPolygonAtDepth(const TPoint* p, int last, int z) override {
        LogPoints("DrawPolygonAtDepth", p, last + 1);
        Calls.back().args.push_back(z);
    }
    void DrawPolylineAtDepth(const TPoint* p, int last, int z) override {
        LogPoints("DrawPolylineAtDepth", p, last + 1);
        Calls.back().args.push_back(z);
    }
    void DrawPyramid(bool v, int l, int t, int r, int b, int z0, int z1, bool dark) override {
        Log("DrawPyramid", {v, l, t, r, b, z0, z1, dark});
    }
    void DrawPyramidTrunc(const TRect& r, int z0, int tx, int ty, int z1) override {
        Log("DrawPyramidTrunc", {r.Left, r.Top, r.Right, r.Bottom, z0, tx, ty, z1});
    }
    void DrawRectangleAtDepth(const TRect& r, int z) override {
        Log("DrawRectangleAtDepth", {r.Left, r.Top, r.Right, r.Bottom, z});
    }
    void DrawHorizontalPlane(int l, int y, int r, int z0, int z1) override {
        Log("DrawHorizontalPlane", {l, y, r, z0, z1});
    }
    void DrawSidePlane(int x, int t, int b, int z0, int z1) override { Log("DrawSidePlane", {x, t, b, z0, z1}); }
    void WriteRotatedText3D(int x, int y, int angle, const std::string& text, int z) override {
        Log("WriteRotatedText3D", {x, y, angle, z}, text);
    }
    void DrawSphere(int x, int y, int z, double r) override {
        Log("DrawSphere", {x, y, z, static_cast<long long>(r * 1000)});
    }
    void WriteText3D(int x, int y, const std::string& text, int z) override { Log("WriteText3D", {x, y, z}, text); }
    void DrawTriangle3D(const TPoint3D& a, const TPoint3D& b, const TPoint3D& c, TColor color) override {
        Log("DrawTriangle3D", {a.x, a.y, a.z, b.x, b.y, b.z, c.x, c.y, c.z, color});
    }
    void DrawTriangleAtDepth(const TPoint& a, const TPoint& b, const TPoint& c, int z) override {
        Log("DrawTriangleAtDepth", {a.x, a.y, b.x, b.y, c.x, c.y, z});
    }

    using TCanvas3D::DrawBox;
    using TCanvas3D::DrawEllipse3D;
    using TCanvas3D::DrawLineAtDepth;
    using TCanvas3D::WorldToScreen;
    using TPlotCanvas::DrawEllipse;
    using TPlotCanvas::DrawPolygon;
    using TPlotCanvas::DrawPolyline;
    using TPlotCanvas::DrawRectangle;
    using TPlotCanvas::DrawRoundRectangle;
    using TPlotCanvas::DrawSegment;
    using TPlotCanvas::LineToPoint;
    using TPlotCanvas::MoveToPoint;

    int ClipDepth = 0;

private:
    void Log(const char* op, std::vector<long long> args, const std::string& text = {}) {
        RecordedCall c;
        c.op = op;
        c.args = std::move(args);
        c.text = text;
        c.penColor = FCanvas->Pen().Color();
        c.penStyle = FCanvas->Pen().Style();
        c.penWidth = FCanvas->Pen().Width();
        c.penMode = FCanvas->Pen().Mode();
        c.brushColor = FCanvas->Brush().Color();
        c.brushStyle = FCanvas->Brush().Style();
        c.fontColor = FCanvas->Font().Color();
        Calls.push_back(std::move(c));
    }
    void LogPoints(const char* op, const TPoint* p, int count) {
        std::vector<long long> args;
        for (int i = 0; p && i < count; ++i) {
            args.push_back(p[i].x);
            args.push_back(p[i].y);
        }
        Log(op, std::move(args));
    }

    TBitmap FDevice;
    bool FMonochrome = false;
    bool FBuffered = true;
};

// Line pieces drawn: each MoveToPoint followed by its LineToPoints, and the
// pieces of each polyline.
inline std::vector<std::vector<long long>> Segments(const RecordingCanvas& r) {
    std::vector<std::vector<long long>> out;
    long long x = 0, y = 0;
    for (const auto& c : r.Calls) {
        if (c.op == "DrawPolyline") {
            for (std::size_t i = 2; i + 1 < c.args.size(); i += 2)
                out.push_back({c.args[i - 2], c.args[i - 1], c.args[i], c.args[i + 1]});
        } else if (c.op == "MoveToPoint") {
            x = c.args[0];
            y = c.args[1];
        } else if (c.op == "LineToPoint") {
            out.push_back({x, y, c.args[0], c.args[1]});
            x = c.args[0];
            y = c.args[1];
        }
    }
    return out;
}

// The chart's own canvas, drawing as ever, that also notes every text written in
// 3D (as the axes write their labels) with the device's font colour and the text's
// width at the time: the texts as they stand in the picture.
class TextRecordingCanvas : public TPlotCanvas3D {
public:
    struct Written {
        std::string text;
        int x, y, angle, width, height;
        TColor color;
    };
    std::vector<Written> Texts;

    void WriteText3D(int x, int y, const std::string& text, int z) override {
        Note(x, y, z, 0, text);
        TPlotCanvas3D::WriteText3D(x, y, text, z);
        FInside = false;
    }
    void WriteRotatedText3D(int x, int y, int angle, const std::string& text, int z) override {
        Note(x, y, z, angle, text);
        TPlotCanvas3D::WriteRotatedText3D(x, y, angle, text, z);
        FInside = false;
    }

private:
    // one text, also where one call writes it through the other
    bool FInside = false;
    void Note(int x, int y, int z, int angle, const std::string& text) {
        TCanvas* device = GetDeviceHandle();
        if (!device || FInside) return;
        FInside = true;
        const TPoint p = WorldToScreen(x, y, z);
        Texts.push_back(
            {text, p.x, p.y, angle, device->TextWidth(text), device->TextHeight("Wg"), device->Font().Color()});
    }
};
