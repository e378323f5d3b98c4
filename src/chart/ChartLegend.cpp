#include "ChartLegend.h"

#include <algorithm>
#include <cmath>

#include "Chart.h"
#include "ChartMessages.h"
#include "ChartUtils.h"
#include "PlotCanvas.h"
#include "Rounding.h"

TLegendSymbol::TLegendSymbol(TChartLegend* legend) : FLegend(legend) {
    FPen.OnChange = [this](TObject*) { Changed(); };
}

void TLegendSymbol::Changed() {
    if (FLegend) FLegend->Repaint();
}

void TLegendSymbol::Assign(const TPersistent* source) {
    if (const auto* s = dynamic_cast<const TLegendSymbol*>(source)) {
        SetContinuous(s->FContinuous);
        FPen.Assign(&s->FPen);
        SetPosition(s->FPosition);
        SetSquared(s->FSquared);
        SetWidth(s->FWidth);
        SetWidthUnits(s->FWidthUnits);
        SetVisible(s->FVisible);
    }
}

TChartLegendGradient::TChartLegendGradient(TNotifyEvent onChange) : TPlotGradient(std::move(onChange)) {
    SetDirection(gdRightLeft);
    SetEndColor(clWhite);
    SetStartColor(clSilver);
}

// ---------------------------------------------------------------------------
TChartLegend::TChartLegend(TCustomChart* chart) : TPlotCustomShapePosition(chart), FChart(chart), FSymbol(this) {
    FDividingLines.OnChange = ChangeHandler();
}

std::unique_ptr<TPlotGradient> TChartLegend::NewGradient() const { return std::make_unique<TChartLegendGradient>(); }

void TChartLegend::Assign(const TPersistent* source) {
    if (const auto* l = dynamic_cast<const TChartLegend*>(source)) {
        SetAlignment(l->FAlignment);
        SetCheckBoxes(l->FCheckBoxes);
        SetCurrentPage(l->FCurrentPage);
        FDividingLines.Assign(&l->FDividingLines);
        SetFirstValue(l->FFirstValue);
        SetFontSeriesColor(l->FFontSeriesColor);
        SetHorizMargin(l->FHorizMargin);
        SetInverted(l->FInverted);
        SetLegendStyle(l->FLegendStyle);
        SetMaxNumRows(l->FMaxNumRows);
        SetResizeChart(l->FResizeChart);
        FSymbol.Assign(&l->FSymbol);
        SetTextStyle(l->FTextStyle);
        SetTopPos(l->FTopPos);
        SetVertMargin(l->FVertMargin);
        SetVertSpacing(l->FVertSpacing);
    }
    TPlotCustomShapePosition::Assign(source);
}

void TChartLegend::SetFirstValue(int value) {
    if (value < 0) throw LegendException(PlotConst().ErrFirstLegendValue);
    SetValue(FFirstValue, value);
}

TLegendStyle TChartLegend::ResolvedStyle() const {
    if (FLegendStyle != lsAuto) return FLegendStyle;
    return FCheckBoxes || (FChart && FChart->ActiveSeriesCount() > 1) ? lsSeries : lsValues;
}

void TChartLegend::SetLegendStyle(TLegendStyle value) {
    const TLegendStyle old = FLegendStyle;
    FLegendStyle = value;
    FLegendStyle = ResolvedStyle();
    if (FLegendStyle != old) Repaint();
}

bool TChartLegend::ShowsSomething() const {
    return Visible() && FChart && (CheckBoxesShown() || FChart->ActiveSeriesCount() > 0);
}

TChartSeries* TChartLegend::ValueSeries() const {
    if (FSeries) return FSeries;
    if (!FChart) return nullptr;
    for (TChartSeries* s : FChart->SeriesList())
        if (s->Active()) return s;
    return nullptr;
}

TChartSeries* TChartLegend::SeriesAt(int index) const {
    return FChart ? FChart->SeriesForLegend(index, !FCheckBoxes) : nullptr;
}

int TChartLegend::ItemCount() const { return ItemCountFrom(FFirstValue); }

int TChartLegend::ItemCountFrom(int first) const {
    if (!FChart) return 0;
    int n = 0;
    if (ResolvedStyle() == lsValues) {
        const TChartSeries* s = ValueSeries();
        if (s && s->ShowInLegend()) n = s->LegendCount();
    } else {
        for (TChartSeries* s : FChart->SeriesList())
            if (s->ShowInLegend() && (FCheckBoxes || s->Active())) ++n;
    }
    return std::max(0, n - first);
}

int TChartLegend::ItemHeight() {
    TCanvas3D& canvas = FChart->Canvas();
    canvas.SelectFont(Font());
    int h = canvas.TextLineHeight();
    if (CheckBoxesShown()) h = std::max(h, 17);
    h += FVertSpacing;
    if (Vertical() && FDividingLines.Visible()) h += FDividingLines.Width();
    return h;
}

std::string TChartLegend::ItemText(int index) const {
    std::string text;
    const TLegendStyle style = ResolvedStyle();
    if (index >= 0) {
        if (style == lsSeries) {
            if (const TChartSeries* s = SeriesAt(index)) text = s->SeriesTitle();
        } else if (style == lsValues) {
            if (const TChartSeries* s = ValueSeries()) text = s->LegendItemText(FTextStyle, index);
        } else if (const TChartSeries* s = SeriesAt(index)) {
            text = s->LegendItemText(FTextStyle, s->PointCount() - 1);
        }
        if (style != lsSeries) std::replace(text.begin(), text.end(), LineSeparator, ' ');
    }
    if (FChart && FChart->OnGetLegendText) FChart->OnGetLegendText(FChart, style, index, text);
    return text;
}

void TChartLegend::MakeTexts(bool measure) {
    FTexts.clear();
    if (measure) FColumnWidth[0] = FColumnWidth[1] = 0;
    TCanvas3D& canvas = FChart->Canvas();
    auto add = [&](int v) {
        const std::string text = ItemText(v);
        std::array<std::string, 2> cols;
        const std::size_t sep = text.find(LegendColumnSeparator);
        cols[0] = text.substr(0, sep);
        if (sep != std::string::npos) {
            const std::size_t next = text.find(LegendColumnSeparator, sep + 1);
            cols[1] = text.substr(sep + 1, next == std::string::npos ? std::string::npos : next - sep - 1);
        }
        if (measure)
            for (int c = 0; c < 2; ++c)
                FColumnWidth[c] = std::max(FColumnWidth[c], canvas.MeasureTextWidth(cols[static_cast<std::size_t>(c)]));
        FTexts.push_back(cols);
    };
    if (FInverted)
        for (int v = FLastValue; v >= FDrawFirst; --v) add(v);
    else
        for (int v = FDrawFirst; v <= FLastValue; ++v) add(v);
    if (measure) FTextWidth = 2 * FBlankWidth - 1 + FColumnWidth[0] + FColumnWidth[1];
}

int TChartLegend::CalcSymbolWidth(int textWidth) const {
    if (!FSymbol.Visible()) return 0;
    if (FSymbol.Squared()) return FItemHeight - 5;
    if (FSymbol.WidthUnits() == lcsPixels) return FSymbol.Width();
    const int base = Vertical() ? textWidth + 10 : textWidth;
    return static_cast<int>(RoundHalfEven(base * FSymbol.Width() / 100.0));
}

void TChartLegend::DrawLegend() {
    if (!FChart) return;
    TCustomChart& chart = *FChart;
    TCanvas3D& canvas = chart.Canvas();
    FStyle = ResolvedStyle();
    // the page picks the first value of this draw only: FirstValue stays the user's
    const bool paged = FStyle == lsValues && FCurrentPage && chart.MaxPointsPerPage() > 0;
    FDrawFirst = paged ? (chart.Page() - 1) * chart.MaxPointsPerPage() : FFirstValue;
    FItemCount = ItemCountFrom(FDrawFirst);
    if (paged) FItemCount = std::min(FItemCount, chart.MaxPointsPerPage());
    chart.LegendColor = Color();
    chart.LegendPen = FSymbol.DefaultPen() ? nullptr : &FSymbol.Pen();
    canvas.SelectFont(Font());
    FBlankWidth = canvas.MeasureTextWidth(" ");
    FItemHeight = ItemHeight();
    canvas.SelectFont(Font());
    int frame = Pen().Visible() ? Pen().Width() : 0;
    if (Bevel() != bvNone) frame = BevelWidth();
    const int penWidth = Pen().Visible() ? Pen().Width() : 0;
    const bool checks = CheckBoxesShown();
    const bool custom = CustomPosition();
    const TRect panel = chart.PanelRect();
    const TRect plot = chart.PlotRect();
    TRect r = FShapeBounds;
    int contentStart = 0;
    if (Vertical()) {
        if (!custom) r.Top = panel.Top + static_cast<int>(RoundHalfEven(FTopPos * (panel.Bottom - panel.Top) / 100.0));
        FColumns = 1;
        FRows = r.Top >= plot.Bottom || FItemHeight <= 0
                    ? 0
                    : std::min((plot.Bottom - 2 * penWidth - r.Top) / FItemHeight, FItemCount);
        FRows = std::max(FRows, 0);
        FLastValue = std::min(FItemCount, FRows) + FDrawFirst - 1;
        MakeTexts(true);
    } else {
        FLastValue = FDrawFirst + FItemCount - 1;
        MakeTexts(true);
        FSymbolWidth = CalcSymbolWidth(FTextWidth);
        if (!custom) {
            if (FAlignment == laBottom)
                r.Bottom = plot.Bottom - chart.Shadow().VertSize() - frame - 1;
            else
                r.Top = plot.Top + frame + 1;
        }
        const int itemWidth = FSymbolWidth + FTextWidth + 8 + (checks ? 27 : 0);
        FColumns = plot.Right <= 8 || itemWidth <= 0
                       ? 0
                       : std::min((chart.PlotWidth() - 2 * penWidth - 8) / itemWidth, FItemCount);
        FColumns = std::max(FColumns, 0);
        FRows = FColumns == 0 ? 0 : std::min((FItemCount + FColumns - 1) / FColumns, FMaxNumRows);
        // As a side legend lists no row below the plot, a top or bottom one lists no
        // row that would reach past the plot's far edge, nor into a 3D view's depth: the
        // panel would cut it, the plot would be pushed out of the panel, the series drawn
        // over it. With no row left it is not drawn.
        if (!custom) {
            const int panelShadow = FAlignment == laBottom ? chart.Shadow().VertSize() : 0;
            // a 3D view's depth rises from the plot's top: the series stand in it
            const int room = chart.PlotHeight() - panelShadow - frame - 1 - 2 - Shadow().VertSize() - chart.DepthRise();
            FRows = std::min(FRows, FItemHeight > 0 ? std::max(room, 0) / FItemHeight : 0);
        }
        FLastValue = std::min(FItemCount, FColumns * FRows) + FDrawFirst - 1;
    }
    if (FLastValue < FDrawFirst) return;
    // the widths stay those of every item; the list holds only the items shown
    if (!Vertical() && static_cast<int>(FTexts.size()) != FLastValue - FDrawFirst + 1) MakeTexts(false);
    const int height = FItemHeight * FRows + 2;
    if (FAlignment == laBottom && !custom)
        r.Top = r.Bottom - height;
    else
        r.Bottom = r.Top + height;
    if (Vertical()) {
        if (FAlignment == laLeft || custom) {
            if (!custom) r.Left = plot.Left + (Pen().Visible() ? frame + 1 : 0);
        } else {
            r.Right = plot.Right - Shadow().HorizSize() - (Pen().Visible() ? frame + 1 : 0);
        }
        FSymbolWidth = CalcSymbolWidth(FTextWidth);
        const int width = FTextWidth + 10 + FSymbolWidth;
        if (FAlignment == laRight && !custom) r.Left = r.Right - width - (checks ? 15 : 0);
        if (checks) {
            FCheckX = r.Left + 4;
            contentStart = FCheckX + 11;
        } else {
            contentStart = r.Left;
        }
        r.Right = contentStart + width;
    } else {
        int d = FColumns * (FTextWidth + FSymbolWidth + 6) + 6;
        if (checks) d += 13 * FColumns + 8;
        const int e = std::min(chart.PlotWidth(), d) / 2;
        if (!custom)
            r.Left = static_cast<int>(RoundHalfEven(FTopPos * (panel.Right - panel.Left - 2.0 * e) / 100.0)) +
                     chart.PlotCenter().x - e;
        r.Right = r.Left + 2 * e;
        if (checks) {
            FCheckX = r.Left + 4;
            contentStart = r.Left + 15;
        } else {
            contentStart = r.Left;
        }
    }
    if (FSymbol.Position() == spLeft) {
        FSymbolX = contentStart + 6;
        FTextX = contentStart + FSymbolWidth + 10;
    } else {
        FTextX = contentStart + 6;
        FSymbolX = contentStart + FTextWidth + 6;
    }
    if (chart.OnGetLegendRect) chart.OnGetLegendRect(&chart, r);
    FShapeBounds = r;
    DrawShape(canvas, r);
    if (FInverted)
        for (int v = FLastValue; v >= FDrawFirst; --v) DrawItem(v, FLastValue - v);
    else
        for (int v = FDrawFirst; v <= FLastValue; ++v) DrawItem(v, v - FDrawFirst);
    ReducePlot();
}

namespace {

bool FirstColumnRight(TLegendTextStyle s) {
    switch (s) {
    case ltsLeftValue:
    case ltsLeftPercent:
    case ltsXValue:
    case ltsValue:
    case ltsPercent:
    case ltsXAndValue:
    case ltsXAndPercent:
        return true;
    default:
        return false;
    }
}

bool SecondColumnRight(TLegendTextStyle s) {
    return s == ltsRightValue || s == ltsRightPercent || s == ltsXAndValue || s == ltsXAndPercent;
}

}  // namespace

void TChartLegend::DrawItem(int v, int k) {
    if (k >= FItemCount || k < 0 || k >= static_cast<int>(FTexts.size())) return;
    TCustomChart& chart = *FChart;
    TCanvas3D& canvas = chart.Canvas();
    TCanvas* device = canvas.GetDeviceHandle();
    if (device) {
        device->Brush().SetColor(Color());
        device->Brush().SetStyle(bsClear);
    }
    canvas.SetBackgroundMode(TRANSPARENT);
    const bool checks = CheckBoxesShown();
    int row = k, offset = 0;
    if (!Vertical() && FColumns > 0) {
        row = k / FColumns;
        offset = (k % FColumns) * (FTextWidth + FSymbolWidth + 6 + (checks ? 15 : 0));
    }
    const TRect& r = FShapeBounds;
    int x = FTextX + offset;
    int y = r.Top + 1 + row * FItemHeight + FVertSpacing / 2;
    int xColor = FSymbolX + offset;
    if (chart.OnGetLegendPos) chart.OnGetLegendPos(&chart, v, x, y, xColor);
    canvas.SelectFont(Font());
    TChartSeries* series = FStyle == lsValues ? ValueSeries() : SeriesAt(v);
    if (FFontSeriesColor && series && device) {
        const TColor c =
            FStyle == lsValues ? series->LegendItemColor(series->LegendToValueIndex(v)) : series->SeriesColor();
        canvas.SetFontColor(c);
    }
    const std::array<std::string, 2>& cols = FTexts[static_cast<std::size_t>(k)];
    const int ty = y + (checks ? 1 : 0);
    for (int c = 0; c < 2; ++c) {
        const std::string& text = cols[static_cast<std::size_t>(c)];
        const bool right =
            FStyle != lsSeries && (c == 0 ? FirstColumnRight(FTextStyle) : SecondColumnRight(FTextStyle));
        if (!text.empty()) {
            if (right) {
                canvas.SetTextAlignment(TA_RIGHT);
                canvas.WriteText(x + FColumnWidth[c], ty, text);
                canvas.SetTextAlignment(TA_LEFT);
            } else {
                canvas.SetTextAlignment(TA_LEFT);
                canvas.WriteText(x, ty, text);
            }
        }
        // both kinds of column take their full width, so the second never overlaps the first
        x += FColumnWidth[c] + FBlankWidth;
    }
    TRect sym{xColor, y, xColor + FSymbolWidth, y + FItemHeight + 1};
    if (!FSymbol.Continuous() || k == 0) sym.Top = y + 2;
    if (!FSymbol.Continuous() || k == FItemCount - 1) sym.Bottom -= FVertSpacing + 3;
    if (FStyle != lsValues && checks) {
        const int cy = (FItemHeight - FVertSpacing - 11) / 2 + y - 1;
        if (series) DrawCheckBox(FCheckX + offset, cy, canvas, series->Active());
    }
    if (FSymbolWidth > 0) {
        if (FStyle == lsValues) {
            if (series) {
                series->DrawLegendItem(series->LegendToValueIndex(v), sym);
            } else {
                canvas.SelectPen(FSymbol.Pen());
                if (device) {
                    device->Brush().SetStyle(bsSolid);
                    device->Brush().SetColor(clWhite);
                }
                canvas.DrawRectangle(sym);
            }
        } else if (series) {
            series->DrawLegendItem(-1, sym);
        }
    }
    if (k > 0 && FDividingLines.Visible()) {
        canvas.SelectPen(FDividingLines);
        canvas.SetBackgroundMode(TRANSPARENT);
        if (Vertical())
            canvas.DrawHorizontalLine(r.Left, r.Right, y - FVertSpacing / 2);
        else
            canvas.DrawVerticalLine(r.Left + offset + 2, r.Top, r.Bottom);
    }
}

void TChartLegend::ReducePlot() {
    TCustomChart& chart = *FChart;
    TRect p = chart.PlotRect();
    const TRect& r = FShapeBounds;
    // the margin is a share of the plot as it was before the legend's cut
    const int horizMargin = FHorizMargin ? FHorizMargin : 3 * chart.PlotWidth() / 100;
    const int vertMargin = FVertMargin ? FVertMargin : 4 * chart.PlotHeight() / 100;
    if (FResizeChart && !CustomPosition()) {
        switch (FAlignment) {
        case laLeft:
            p.Left = r.Right;
            break;
        case laRight:
            p.Right = r.Left;
            break;
        case laTop:
            p.Top = r.Bottom + chart.Shadow().VertSize();
            break;
        case laBottom:
            p.Bottom = r.Top;
            break;
        }
    }
    switch (FAlignment) {
    case laLeft:
        p.Left += horizMargin;
        break;
    case laRight:
        p.Right -= horizMargin;
        break;
    case laTop:
        p.Top += vertMargin;
        break;
    case laBottom:
        p.Bottom -= vertMargin;
        break;
    }
    chart.SetPlotRect(p);
    chart.RecalcPlotSize();
}

int TChartLegend::Clicked(int x, int y) {
    const TRect& r = FShapeBounds;
    if (!(x >= r.Left && x < r.Right && y >= r.Top && y < r.Bottom) || !FChart) return -1;
    const int h = ItemHeight();
    auto rowAt = [&](int py) {
        for (int b = 0; b < FRows; ++b) {
            const int top = r.Top + b * h + 1;
            if (py >= top && py <= top + h) return b;
        }
        return -1;
    };
    if (Vertical()) {
        const int b = rowAt(y);
        if (b < 0) return -1;
        return FInverted ? FRows - b - 1 : b;
    }
    if (FColumns <= 0) return -1;
    const int w = (r.Right - r.Left) / FColumns;
    int result = -1;
    for (int d = 0; d < FColumns; ++d) {
        const int left = r.Left + w * d + 1;
        if (x < left || x > left + w) continue;
        const int row = rowAt(y);
        if (row < 0) {
            result = -1;
            continue;
        }
        int item = FInverted ? (row + 1) * FColumns - d - 1 : d + row * FColumns;
        result = item >= FItemCount ? -1 : item;
    }
    return result;
}

bool TChartLegend::ToggleCheckBoxAt(int x, int y) {
    if (!CheckBoxesShown()) return false;
    const int item = Clicked(x, y);
    if (item < 0) return false;
    TChartSeries* s = FChart->SeriesForLegend(item + FDrawFirst, false);
    if (!s) return false;
    s->SetActive(!s->Active());
    return true;
}
