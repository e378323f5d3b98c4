#pragma once
// Charts with every kind of element, built as a user would: the round-trip
// tests of the form data and the fuzzer's seeds start from them.

#include "Chart.h"
#include "ChartTools.h"
#include "ChartToolsExtra.h"
#include "LineSeries.h"
#include "SeriesFunction.h"
#include "SeriesMarks.h"

namespace formsamples {

inline TLineSeries* AddLine(TChart& chart, const char* name) {
    auto* s = new TLineSeries(&chart);
    s->SetName(name);
    s->SetParentChart(&chart);
    return s;
}

inline TPointSeries* AddPoints(TChart& chart, const char* name) {
    auto* s = new TPointSeries(&chart);
    s->SetName(name);
    s->SetParentChart(&chart);
    return s;
}

inline void SetLooks(TChart& c) {
    c.SetSize(420, 300);
    c.Title().SetText({"Form data", "second line"});
    c.Title().Font().SetStyle(fsBold | fsItalic);
    c.Title().Shadow().SetHorizSize(2);
    c.Title().Font().SetColor(clBlack);
    c.SubFoot().SetCaption("sub foot");
    c.SubFoot().SetAlignment(taRightJustify);
    c.Legend().SetAlignment(laBottom);
    c.Legend().Symbol().SetSquared(true);
    c.Legend().Gradient().SetVisible(true);
    c.Legend().Gradient().SetMidColor(clYellow);
    c.SetPrintMargins({10, 15, 20, 25});
    c.Gradient().SetVisible(true);
    c.Gradient().SetDirection(gdRadial);
    c.Gradient().SetRadialX(5);
    c.Shadow().SetHorizSize(4);
    c.Shadow().SetVertSize(-2);
    c.Border().SetVisible(true);
    c.Border().SetEndStyle(esFlat);
    c.BackWall().SetTransparent(false);
    c.BackWall().SetColor(0xE0F0FF);
    c.LeftWall().SetSize(5);
    c.BottomWall().SetColor(clGreen);
    c.BottomWall().Pen().SetStyle(psDash);
    c.View3DOptions().SetOrthogonal(false);
    c.View3DOptions().SetRotation(335);
    c.View3DOptions().SetElevation(350);
    c.View3DOptions().SetPerspective(25);
    c.SetChart3DPercent(20);
    c.Zoom().Animated = true;
    c.Zoom().KeyShift = ssShift | ssCtrl;
    c.Zoom().Pen().SetColor(clRed);
    TBitmap tile(4, 4);
    for (int i = 0; i < 16; ++i) tile.SetPixel(i % 4, i / 4, i % 3 ? 0xFFE0C0 : 0x80A0FF);
    c.BackImage().SetGraphic(&tile);
    c.SetBackImageMode(pbmTile);
    c.LeftWall().Brush().Image().SetGraphic(&tile);
}

inline void SetAxes(TChart& c) {
    c.LeftAxis()->SetAutomatic(false);
    c.LeftAxis()->SetAxisRange(-5, 40);
    c.LeftAxis()->Title().SetCaption("volts");
    c.LeftAxis()->SetLabelsAngle(-450);
    c.LeftAxis()->SetAxisValuesFormat("0.0");
    c.LeftAxis()->SetEndPosition(60);
    c.BottomAxis()->Grid().SetColor(clRed);
    c.BottomAxis()->Grid().SetCentered(true);
    c.BottomAxis()->SetLogarithmicBase(2);
    c.BottomAxis()->LabelsFont().SetHeight(-13);
    c.TopAxis()->SetZPosition(50);
    TChartAxis* custom = c.AddCustomAxis();
    custom->SetStartPosition(65);
    custom->SetPositionPercent(10);
    custom->Title().SetCaption("custom");
    custom->Axis().SetColor(clBlue);
}

// Two point series with manual data, a line series fed by both, a smoothed line.
inline void SetSeries(TChart& c) {
    TPointSeries* a = AddPoints(c, "Points");
    a->AddPoint(1, 10, "one", clRed);
    a->AddPoint(2.5, 25, "two");
    a->AddPoint(4, 15, "", clBlue);
    a->AddPoint(7, 30, "seven");
    a->SetManualData(true);
    a->SetTitle("measured");
    a->SetIdentifier("pts");
    a->SetStyle(0x25);
    a->Pointer().SetStyle(psDiamond);
    a->Pointer().SetHorizSize(6);
    a->Marks().SetVisible(true);
    a->Marks().SetStyle(smsValue);
    a->Marks().Callout().SetArrowHead(ahSolid);
    a->Marks().Callout().SetLength(14);
    a->Marks().Items().Item(1).SetColor(clYellow);
    a->Marks().Items().Item(1).Font().SetColor(clNavy);
    TSeriesMarkPosition p;
    p.IsCustom = true;
    p.ArrowStartFixed = true;
    p.ArrowStart = {120, 140};
    p.ArrowEnd = {150, 60};
    p.BoxTopLeft = {140, 40};
    p.BoxWidth = 40;
    p.BoxHeight = 18;
    a->Marks().Positions().Set(2, p);

    TPointSeries* b = AddPoints(c, "Others");
    for (int i = 0; i < 6; ++i) b->AddPoint(i, (i * 7) % 11, "");
    b->SetManualData(true);
    b->SetCustomVertAxis(c.CustomAxes().Items(0));
    b->SetColorEachPoint(true);

    TLineSeries* both = AddLine(c, "Both");
    both->SetDataSource(a);
    both->SetLoading(true);
    both->SetDataSource(b);
    both->SetLoading(false);
    c.RefreshSeriesData(both);
    both->SetStairs(true);
    both->LinePen()->SetWidth(2);

    TLineSeries* smooth = AddLine(c, "Smooth");
    auto* f = new TSmoothingFunction();
    f->SetName("Smoothing");
    f->SetFactor(6);
    smooth->SetSeriesFunction(f);
    smooth->SetDataSource(a);
    smooth->SetSeriesColor(clPurple);
    smooth->Pointer().SetVisible(false);
}

// One tool of each kind.
inline void SetTools(TChart& c) {
    auto* points = dynamic_cast<TChartSeries*>(c.SeriesList()[0]);
    auto* cursor = new TCursorTool(&c);
    cursor->SetParentChart(&c);
    cursor->SetStyle(cssVertical);
    cursor->Pen()->SetColor(clFuchsia);
    (new TDragMarksTool(&c))->SetParentChart(&c);
    auto* arrows = new TAxisArrowTool(&c);
    arrows->SetAxis(c.LeftAxis());
    arrows->SetLength(12);
    auto* lines = new TDrawLineTool(&c);
    lines->SetParentChart(&c);
    TDrawLine* line = lines->Lines().Add();
    line->SetX0(1), line->SetY0(5), line->SetX1(6), line->SetY1(35);
    line = lines->Lines().Add();
    line->SetStyle(dlHorizParallel), line->SetX0(2), line->SetY0(20), line->SetX1(5), line->SetY1(28);
    auto* nearest = new TNearestTool(&c);
    nearest->SetParentChart(&c);
    nearest->SetSeries(points);
    nearest->SetSize(9);
    auto* band = new TColorBandTool(&c);
    band->SetAxis(c.BottomAxis());
    band->SetStartValue(2), band->SetEndValue(3.5), band->SetColor(0xC0FFC0);
    auto* colorLine = new TColorLineTool(&c);
    colorLine->SetAxis(c.LeftAxis());
    colorLine->SetValue(12.5);
    colorLine->Pen()->SetColor(clMaroon);
    auto* rotate = new TRotateTool(&c);
    rotate->SetParentChart(&c);
    rotate->SetStyle(rsElevation);
    auto* image = new TChartImageTool(&c);
    image->SetSeries(points);
    image->SetParentChart(&c);
    TBitmap picture(3, 2);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x) picture.SetPixel(x, y, RGB(80 * x, 120 * y, 200));
    image->Picture().SetGraphic(&picture);
    auto* tip = new TMarksTipTool(&c);
    tip->SetParentChart(&c);
    tip->SetStyle(smsXValue);
    auto* note = new TAnnotationTool(&c);
    note->SetParentChart(&c);
    note->SetText("note 'quoted'\r2nd line");
    note->SetPosition(ppRightBottom);
    note->Shape().SetColor(clAqua);
    note->Callout().SetVisible(true);
    note->Callout().SetXPosition(100);
    note->Callout().SetYPosition(90);
    auto* animation = new TSeriesAnimationTool(&c);
    animation->SetParentChart(&c);
    animation->SetSteps(20);
    auto* grid = new TGridBandTool(&c);
    grid->SetAxis(c.LeftAxis());
    grid->Band1().SetColor(0xF0F0F0);
    grid->Band2().SetBackColor(clWhite);
    grid->Band2().SetTransparency(40);
}

inline void SetEverything(TChart& c) {
    SetLooks(c);
    SetAxes(c);
    SetSeries(c);
    SetTools(c);
}

}  // namespace formsamples
