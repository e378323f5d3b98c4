#pragma once
// The chart: the axis panel with titles, foot titles, walls and a legend, and
// the painters the draw sequence calls for them.

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "AxisPanel.h"
#include "ChartLegend.h"
#include "ChartShapes.h"
#include "Zoom.h"

class TChartTitle : public TPlotCustomShapePosition {
public:
    explicit TChartTitle(TCustomPlotPanel* parent, bool top = true);
    void Assign(const TPersistent* source) override;

    // Lines of the title; SetText repaints.
    const std::vector<std::string>& Text() const { return FText; }
    void SetText(const std::vector<std::string>& value) { SetValue(FText, value); }
    // One line, or none for an empty caption.
    void SetCaption(const std::string& value) {
        SetText(value.empty() ? std::vector<std::string>{} : std::vector<std::string>{value});
    }
    TAlignment Alignment() const { return FAlignment; }
    void SetAlignment(TAlignment value) { SetValue(FAlignment, value); }
    bool AdjustFrame() const { return FAdjustFrame; }
    void SetAdjustFrame(bool value) { SetValue(FAdjustFrame, value); }
    bool IsTop() const { return FTop; }

    // Places the title, draws it and, without a custom position, takes its room
    // from the plot rectangle.
    // Within room (none: where it was put), clear of a side legend's box beside its rows.
    void DrawTitle(const TRect& room = {}, const TRect& legend = {});

private:
    std::vector<std::string> FText;
    TAlignment FAlignment = taCenter;
    bool FAdjustFrame = true;
    bool FTop;
};

class TChartFootTitle : public TChartTitle {
public:
    explicit TChartFootTitle(TCustomPlotPanel* parent);
};

class TCustomChartWall : public TPlotCustomShape {
public:
    TCustomChartWall(TCustomPlotPanel* parent, TColor defaultColor);
    void Assign(const TPersistent* source) override;
    int Size() const { return FSize; }
    void SetSize(int value) { SetValue(FSize, value); }
    bool Dark3D() const { return FDark3D; }
    void SetDark3D(bool value) { SetValue(FDark3D, value); }
    TColor DefaultColor() const { return FDefaultColor; }
    bool IsColorStored() const { return Color() != FDefaultColor; }
    // Thick walls get darker sides only with a plain brush.
    bool DarkSides() const;

private:
    int FSize = 0;
    bool FDark3D = true;
    TColor FDefaultColor;
};

class TChartWall : public TCustomChartWall {
public:
    using TCustomChartWall::TCustomChartWall;
};
class TChartBackWall : public TChartWall {
public:
    explicit TChartBackWall(TCustomPlotPanel* parent);
};
class TChartRightWall : public TChartWall {
public:
    explicit TChartRightWall(TCustomPlotPanel* parent);
};

class TChartWalls : public TPersistent {
public:
    explicit TChartWalls(TCustomPlotPanel* parent);
    void Assign(const TPersistent* source) override;
    TChartBackWall Back;
    TChartWall Left;
    TChartWall Bottom;
    TChartRightWall Right;
};

using TChartClick = std::function<void(TCustomChart* sender, TMouseButton button, TShiftState shift, int x, int y)>;
using TChartClickAxis =
    std::function<void(TCustomChart* sender, TChartAxis* axis, TMouseButton button, TShiftState shift, int x, int y)>;
using TChartClickSeries = std::function<void(TCustomChart* sender, TChartSeries* series, int valueIndex,
                                             TMouseButton button, TShiftState shift, int x, int y)>;
using TChartClickTitle =
    std::function<void(TCustomChart* sender, TChartTitle* title, TMouseButton button, TShiftState shift, int x, int y)>;

class TCustomChart : public TCustomAxisPanel {
public:
    explicit TCustomChart(TComponent* owner);
    ~TCustomChart() override;
    void Assign(const TPersistent* source) override;

    TChartTitle& Title() { return *FTitle; }
    TChartTitle& SubTitle() { return *FSubTitle; }
    TChartFootTitle& Foot() { return *FFoot; }
    TChartFootTitle& SubFoot() { return *FSubFoot; }
    TChartLegend& Legend() { return *FLegend; }
    TChartWalls& Walls() { return *FWalls; }
    TChartBackWall& BackWall() { return FWalls->Back; }
    TChartWall& LeftWall() { return FWalls->Left; }
    TChartWall& BottomWall() { return FWalls->Bottom; }
    TChartRightWall& RightWall() { return FWalls->Right; }
    TChartPen& Frame() { return FWalls->Back.Pen(); }
    TMouseButton ScrollMouseButton() const { return FScrollMouseButton; }
    void SetScrollMouseButton(TMouseButton value) { FScrollMouseButton = value; }
    // Legacy form data: the back wall's colour; in a window, also a solid wall brush.
    void SetBackColor(TColor value);

    TColor BackColor() const override;
    bool IsFreeSeriesColor(TColor color, bool checkBackground) const override;
    // The legend's text of the item, after OnGetLegendText.
    std::string FormattedLegend(int seriesOrValueIndex) const override;
    void CalcWallsRect() override;
    // What the depth of an orthogonal 3D view and the back wall's thickness take off the
    // plot's top for the plot's present width (CalcWallsRect takes it).
    int DepthRise();
    int WallSizeForAxis(const TChartAxis* axis) const override;
    TWallReach WallReachForAxis(const TChartAxis* axis) override;
    std::vector<TWallBlock> WallBlocks() override;
    void DrawTitlesAndLegend(bool beforeSeries) override;
    void PlacedTexts(std::vector<TRect>& boxes) override;
    void DrawWalls() override;

    // Hands the names of the value lists of a series' source series to the callback.
    void SourceValueListNames(const TChartSeries* series,
                              const std::function<void(const std::string&)>& callback) const;

    // What the series draw their legend symbols with.
    TColor LegendColor = clWhite;
    TChartPen* LegendPen = nullptr;

    // Zoom, undo zoom, panning and the wheel (Zoom.cpp).
    TPlotZoom& Zoom() { return FZoom; }
    TZoomPanning& Panning() { return FPanning; }
    bool ScalesSaved() const { return FScalesSaved; }
    const TAllAxisSavedScales& SavedScales() const { return FSavedScales; }
    void ZoomToRect();
    void ZoomToValues(double topMin, double topMax, double bottomMin, double bottomMax, double leftMin, double leftMax,
                      double rightMin, double rightMax);
    void UndoZoom() override;
    void DrawZoomRectangle() override;
    void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
    void MouseUp(TMouseButton button, TShiftState shift, int x, int y) override;
    void MouseMove(TShiftState shift, int x, int y) override;
    bool MouseWheel(TShiftState shift, int delta, int x, int y) override;
    void MouseLeave() override;
    TNotifyEvent OnZoom;
    TNotifyEvent OnScroll;
    TChartAllowScrollEvent OnAllowScroll;

    TChartClickAxis OnClickAxis;
    TChartClick OnClickBackground;
    TChartClick OnClickLegend;
    TChartClickSeries OnClickSeries;
    TChartClickTitle OnClickTitle;
    TOnGetLegendText OnGetLegendText;
    TOnGetLegendPos OnGetLegendPos;
    TOnGetLegendRect OnGetLegendRect;

private:
    // Pen and brush of a wall whose box on the screen is r between depths z0 and z1.
    void DrawWall(TCustomChartWall& wall, const TRect& r, int z0, int z1);
    void DrawSideWall(bool right);
    // Whether a side of the plot box faces away from the viewer.
    bool SideCulled(int x);
    void FitRotatedBox();
    int RotatedWallReach(const TChartAxis* axis, const std::vector<TWallBlock>& blocks);

    std::unique_ptr<TChartTitle> FTitle;
    std::unique_ptr<TChartTitle> FSubTitle;
    std::unique_ptr<TChartFootTitle> FFoot;
    std::unique_ptr<TChartFootTitle> FSubFoot;
    std::unique_ptr<TChartWalls> FWalls;
    std::unique_ptr<TChartLegend> FLegend;
    TMouseButton FScrollMouseButton = mbRight;
    // What CalcWallsRect took from each side of the plot (left, top, right, bottom).
    TRect FWallsTaken{0, 0, 0, 0};

    // Zoom.cpp
    // Draws (or, drawn again, erases) the rubber band; show asks the control to show it.
    void DrawZoomBand(bool show = true);
    bool StartZoomOrPanning(TMouseButton button, TShiftState shift, int x, int y);
    // Hands a mouse event to the active tools in list order until one sets
    // CancelMouse; returns CancelMouse.
    bool ToolsTakeMouse(TPlotMouseEventKind kind, TMouseButton button, TShiftState shift, int x, int y);
    // A button press on its way through the chart's parts; Handled once a
    // click handler or a started zoom or pan took it.
    struct TClickState {
        TMouseButton Button;
        TShiftState Shift;
        int X, Y;
        bool Handled = false;
    };
    void RaiseClick(TClickState& click, const std::function<void()>& handler);
    void ZoomOrPanUnlessHandled(TClickState& click);
    // Each finds whether the press is on its part and, if so, raises that part's click.
    bool ClickLegend(TClickState& click);
    bool ClickSeries(TClickState& click);
    bool ClickAxis(TClickState& click);
    bool ClickTitle(TClickState& click);
    bool ClickPlotBackground(TClickState& click);
    void SaveScales();
    bool PanAxes(bool horizontal, int newPixel, int oldPixel);
    TPlotZoom FZoom;
    TZoomPanning FPanning;
    bool FScalesSaved = false;
    long long FWheelRemainder = 0;  // wheel units short of a whole notch, signed
    TAllAxisSavedScales FSavedScales;
};

class TChart : public TCustomChart {
public:
    // At design time the title names the class, so that a new chart shows what it is.
    explicit TChart(TComponent* owner = nullptr) : TCustomChart(owner) {
        if (ProcessDesigning() || (owner && owner->IsDesigning())) Title().SetCaption("TChart");
    }
};
