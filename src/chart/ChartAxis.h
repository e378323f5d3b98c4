#pragma once
// Axes: automatic or fixed ranges, mapping between values and pixels, label
// steps and label texts.

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "ChartAttributes.h"
#include "ChartError.h"
#include "ChartShapes.h"
#include "Graphics.h"

class TCustomAxisPanel;
class TChartSeries;
class TAxisDrawer;

// Pixel positions never leave -PositionLimit .. PositionLimit, so that a far
// value cannot overflow the drawing coordinates.
inline constexpr int PositionLimit = 0x3FFFFFF;

inline constexpr double MinAxisRange = 1e-10;

enum TAxisLabelStyle { talAuto, talNone, talValue, talMark, talText };
enum TAxisLabelAlign { alDefault, alOpposite };
enum TPlotUnits { muPercent, muPixels };

// Steps of date-time labels, in days, ascending; index DateTimeStepCount
// (dtNone) means that no table step applies.
inline constexpr int DateTimeStepCount = 27;
extern const double DateTimeStepTable[DateTimeStepCount];

// 1-2-5 ladder: the next step above x (x > 0).
double NextNiceStep(double x);
// The next date-time table step above x.
double NextDateTimeStep(double x);

class TChartAxis;

// The axis title is a framed shape; it is transparent when created, so that
// a frame appears only when one is asked for.
class TChartAxisTitle : public TPlotCustomShape {
public:
    explicit TChartAxisTitle(TCustomPlotPanel* parent);
    void Assign(const TPersistent* source) override;
    const std::string& Caption() const { return FCaption; }
    void SetCaption(const std::string& value) { SetValue(FCaption, value); }
    int Angle() const { return FAngle; }
    // Kept as the remainder of 360, with the sign of the value: -30 stays -30.
    void SetAngle(int value) { SetValue(FAngle, value % 360); }
    int DefaultAngle() const { return FDefaultAngle; }
    // Sets the angle and remembers it as the default that is not stored.
    void SetDefaultAngle(int value) { FAngle = FDefaultAngle = ((value % 360) + 360) % 360; }
    bool IsAngleStored() const { return FAngle != FDefaultAngle; }

private:
    std::string FCaption;
    int FAngle = 0;
    int FDefaultAngle = 0;
};

class TAxisGridPen : public TDottedGrayPen {
public:
    explicit TAxisGridPen(TNotifyEvent onChange = {});
    void Assign(const TPersistent* source) override;
    bool Centered() const { return FCentered; }
    void SetCentered(bool value);
    double ZPosition() const { return FZPosition; }
    void SetZPosition(double value);
    void SetDefaultZPosition(double value) { FZPosition = FDefaultZPosition = value; }
    bool IsZPositionStored() const { return FZPosition != FDefaultZPosition; }

private:
    bool FCentered = false;
    double FZPosition = 0;
    double FDefaultZPosition = 0;
};

// A custom label: a framed shape of its own (transparent when created) with
// its own font.
class TAxisItem : public TPlotCustomShape {
public:
    TAxisItem(TChartAxis* axis, TCustomPlotPanel* parent, double value, std::string text);
    double Value() const { return FValue; }
    void SetValue(double value);
    const std::string& Text() const { return FText; }
    void SetText(const std::string& value);

private:
    TChartAxis* FAxis;
    double FValue;
    std::string FText;
};

// Custom labels: when there are any, only they are drawn. The shared Format
// shape frames every label that has no item of its own; its Visible and Font
// are the axis' Labels and LabelsFont.
class TAxisItems {
public:
    TAxisItems(TChartAxis* axis, TCustomPlotPanel* parent);
    TAxisItem* Add(double value);
    TAxisItem* Add(double value, const std::string& text);
    void Clear();
    int Count() const { return static_cast<int>(FItems.size()); }
    // Bounds-checked; AxisException outside the list.
    TAxisItem* operator[](int index) const;
    void Assign(const TAxisItems& source);
    TPlotShape& Format() { return FFormat; }
    const TPlotShape& Format() const { return FFormat; }

private:
    TChartAxis* FAxis;
    TCustomPlotPanel* FParent;
    TPlotShape FFormat;
    std::vector<std::unique_ptr<TAxisItem>> FItems;
};

class TChartAxis : public TPersistent {
public:
    // An axis of the chart; the chart's axis list owns it (the chart makes
    // its axes, see TCustomAxisPanel::AddCustomAxis).
    explicit TChartAxis(TCustomAxisPanel* chart);
    ~TChartAxis() override;
    void Assign(const TPersistent* source) override;

    TCustomAxisPanel* ParentChart() const { return FChart; }
    virtual TAxisLabelStyle CalcLabelStyle() const;

    // Ranges.
    void AdjustAxisRange();
    // Puts back a saved scale as it was, also one the setters would change:
    // ends the range setter would widen or turn round, and automatic flags
    // that disagree (as a form may hold them).
    void RestoreScale(bool automatic, bool automaticMinimum, bool automaticMaximum, double minimum, double maximum);
    void SetAxisRange(double minimum, double maximum);
    void ScrollAxis(double offset, bool checkLimits);
    void CalcAxisPixels();
    void CalcAxisScales();
    void InflateAxisRange(const TRect& margins);

    // Mapping.
    int ValueToPixel(double value) const;
    double PixelToValue(int pixel) const;
    bool AxisClicked(int x, int y) const;

    // Labels.
    double CalcLabelIncrement(int labelCount) const;
    double CalcMaxLabelCount(int labelSize) const;
    double CurrentLabelIncrement() const;
    int LabelTextSize(double value) const;
    std::string FormatAxisLabel(double value) const;
    bool IsDateTime() const;

    // Drawing and room of labels, ticks, grid and title.
    void DrawAxis(bool placeAxisLine);
    void CalcAxisRoom(TRect& r, bool shrink);
    // Whether the labels as the final layout draws them need more room across than
    // the room gave them; the next room then gives them that much.
    bool WidenLabelsRoom();
    // The screen boxes of the title and the labels as drawn in the current layout,
    // the title's (titles of them) first; with outlines, also each one's turned
    // outline (its corners and those of its shadow).
    std::vector<TRect> TextBoxes(std::size_t& titles,
                                 std::vector<std::vector<std::pair<double, double>>>* outlines = nullptr);
    // A box around the title and the labels in a flat view, from the layout's
    // measures; false where it has none.
    bool FlatTextsBound(TRect& r);
    // Moves the title outward until it stands clear of the labels as projected.
    void ClearTitleOfLabels();
    // Moves the depth texts down below the right axis' texts where the two would meet.
    void ClearDepthTexts();
    // How far a label at either end would stand out past it toward the lower and
    // the higher coordinates (0 and 0 when it draws none), and the shares of the
    // axis between each end and the label nearest it.
    void LabelsPastEnds(int& before, int& after, double& beforeShare, double& afterShare);
    // The title's length along the axis as drawn (its box too); 0 when it has none.
    int TitleLength();
    int MaxLabelWidth();
    int AxisLabelSize(TPlotFont& font, int angle, int fixedSize, const std::string& text);
    int TicksSize();
    // Draws the shape's box (the labels' Format shape when shape is null) and then the text.
    void DrawAxisLabel(int x, int y, TPlotCustomShape* shape, const std::string& text, int angle);
    void DrawLabelExponent(int x, int y, const std::string& text);
    // Runs before the grid is drawn.
    std::function<void(TChartAxis* axis)> GridHook;

    // Published properties.
    bool Automatic() const { return FAutomatic; }
    void SetAutomatic(bool value);
    bool AutomaticMaximum() const { return FAutomaticMaximum; }
    void SetAutomaticMaximum(bool value);
    bool AutomaticMinimum() const { return FAutomaticMinimum; }
    void SetAutomaticMinimum(bool value);
    TChartAxisPen& Axis() { return FAxisPen; }
    void SetAxis(const TChartPen* value) { FAxisPen.Assign(value); }
    const std::string& AxisValuesFormat() const { return FAxisValuesFormat; }
    void SetAxisValuesFormat(const std::string& value) { SetValue(FAxisValuesFormat, value); }
    bool IsAxisValuesFormatStored() const;
    const std::string& DateTimeFormat() const { return FDateTimeFormat; }
    void SetDateTimeFormat(const std::string& value) { SetValue(FDateTimeFormat, value); }
    bool ExactDateTime() const { return FExactDateTime; }
    void SetExactDateTime(bool value) { SetValue(FExactDateTime, value); }
    TAxisGridPen& Grid() { return FGrid; }
    void SetGrid(const TChartPen* value) { FGrid.Assign(value); }
    bool GridCentered() const { return FGrid.Centered(); }
    void SetGridCentered(bool value) { FGrid.SetCentered(value); }
    bool Horizontal() const { return FHorizontal; }
    void SetHorizontal(bool value);
    double Increment() const { return FIncrement; }
    void SetIncrement(double value);
    bool Inverted() const { return FInverted; }
    void SetInverted(bool value) { SetValue(FInverted, value); }
    bool Labels() const { return FItems.Format().Visible(); }
    void SetLabels(bool value) { FItems.Format().SetVisible(value); }
    TAxisLabelAlign LabelsAlign() const { return FLabelsAlign; }
    void SetLabelsAlign(TAxisLabelAlign value) { SetValue(FLabelsAlign, value); }
    int LabelsAngle() const { return FLabelsAngle; }
    // Kept as the remainder of 360, with the sign of the value: -30 stays -30.
    void SetLabelsAngle(int value) { SetValue(FLabelsAngle, value % 360); }
    bool LabelsExponent() const { return FLabelsExponent; }
    void SetLabelsExponent(bool value) { SetValue(FLabelsExponent, value); }
    TPlotFont& LabelsFont() { return FItems.Format().Font(); }
    void SetLabelsFont(const TPlotFont* value) { LabelsFont().Assign(value); }
    bool LabelsMultiLine() const { return FLabelsMultiLine; }
    void SetLabelsMultiLine(bool value) { SetValue(FLabelsMultiLine, value); }
    bool LabelsOnAxis() const { return FLabelsOnAxis; }
    void SetLabelsOnAxis(bool value) { SetValue(FLabelsOnAxis, value); }
    int LabelsSeparation() const { return FLabelsSeparation; }
    void SetLabelsSeparation(int value);
    int LabelsSize() const { return FLabelsSize; }
    void SetLabelsSize(int value) { SetValue(FLabelsSize, value); }
    TAxisLabelStyle LabelStyle() const { return FLabelStyle; }
    void SetLabelStyle(TAxisLabelStyle value) { SetValue(FLabelStyle, value); }
    bool Logarithmic() const { return FLogarithmic; }
    void SetLogarithmic(bool value);
    double LogarithmicBase() const { return FLogarithmicBase; }
    void SetLogarithmicBase(double value) { SetValue(FLogarithmicBase, value); }
    double Maximum() const { return FMaximum; }
    void SetMaximum(double value);
    int MaximumOffset() const { return FMaximumOffset; }
    void SetMaximumOffset(int value) { SetValue(FMaximumOffset, value); }
    double Minimum() const { return FMinimum; }
    void SetMinimum(double value);
    int MinimumOffset() const { return FMinimumOffset; }
    void SetMinimumOffset(int value) { SetValue(FMinimumOffset, value); }
    TChartHiddenPen& MinorGrid() { return FMinorGrid; }
    void SetMinorGrid(const TChartPen* value) { FMinorGrid.Assign(value); }
    int MinorTickCount() const { return FMinorTickCount; }
    void SetMinorTickCount(int value) { SetValue(FMinorTickCount, value); }
    int MinorTickLength() const { return FMinorTickLength; }
    void SetMinorTickLength(int value) { SetValue(FMinorTickLength, value); }
    TDarkGrayPen& MinorTicks() { return FMinorTicks; }
    void SetMinorTicks(const TChartPen* value) { FMinorTicks.Assign(value); }
    bool OtherSide() const { return FOtherSide; }
    void SetOtherSide(bool value) { SetValue(FOtherSide, value); }
    double PositionPercent() const { return FPositionPercent; }
    void SetPositionPercent(double value) { SetValue(FPositionPercent, value); }
    TPlotUnits PositionUnits() const { return FPositionUnits; }
    void SetPositionUnits(TPlotUnits value) { SetValue(FPositionUnits, value); }
    bool RoundFirstLabel() const { return FRoundFirstLabel; }
    void SetRoundFirstLabel(bool value) { SetValue(FRoundFirstLabel, value); }
    double StartPosition() const { return FStartPosition; }
    void SetStartPosition(double value) { SetValue(FStartPosition, value); }
    double EndPosition() const { return FEndPosition; }
    void SetEndPosition(double value) { SetValue(FEndPosition, value); }
    int TickInnerLength() const { return FTickInnerLength; }
    void SetTickInnerLength(int value) { SetValue(FTickInnerLength, value); }
    int TickLength() const { return FTickLength; }
    void SetTickLength(int value) { SetValue(FTickLength, value); }
    bool TickOnLabelsOnly() const { return FTickOnLabelsOnly; }
    void SetTickOnLabelsOnly(bool value) { SetValue(FTickOnLabelsOnly, value); }
    TDarkGrayPen& Ticks() { return FTicks; }
    void SetTicks(const TChartPen* value) { FTicks.Assign(value); }
    TDarkGrayPen& TicksInner() { return FTicksInner; }
    void SetTicksInner(const TChartPen* value) { FTicksInner.Assign(value); }
    TChartAxisTitle& Title() { return FTitle; }
    void SetTitle(const TChartAxisTitle* value) { FTitle.Assign(value); }
    int TitleSize() const { return FTitleSize; }
    void SetTitleSize(int value) { SetValue(FTitleSize, value); }
    bool Visible() const { return FVisible; }
    void SetVisible(bool value) { SetValue(FVisible, value); }
    double ZPosition() const { return FZPosition; }
    void SetZPosition(double value) { SetValue(FZPosition, value); }
    TAxisItems& Items() { return FItems; }

    // Scale state of the last draw.
    double ScaleMinimum() const { return FScaleMinimum; }
    double ScaleMaximum() const { return FScaleMaximum; }
    double ScaleRange() const { return FScaleRange; }
    bool RangeIsZero() const { return FRangeIsZero; }
    double PixelsPerUnit() const { return FPixelsPerUnit; }
    double LogMinimum() const { return FLogMinimum; }
    double LogMaximum() const { return FLogMaximum; }
    double LogRange() const { return FLogRange; }
    int StartPixel() const { return FStartPixel; }
    int EndPixel() const { return FEndPixel; }
    int AxisLength() const { return FAxisLength; }
    int CenterPixel() const { return FCenterPixel; }
    int ZPixel() const { return FZPixel; }
    bool IsDepthAxis() const { return FIsDepthAxis; }
    void SetIsDepthAxis(bool value) { FIsDepthAxis = value; }
    int AxisLinePos = 0;
    int LabelsPos = 0;
    int TitlePos = 0;
    bool OverWalls = false;
    // Set by the layout of each draw when the plot has no room for the title, or for
    // the labels and the title: those are left out rather than drawn over the plot.
    bool TitleLeftOut = false;
    bool LabelsLeftOut = false;
    // the least room across the labels get in this layout: what they needed when the
    // plot's final length chose their step
    int LabelsRoomFloor = 0;
    // how far the layout moved the texts out beyond the walls as drawn, in the plot's
    // pixels, where the walls' reach across the axis left them on a wall
    int WallsClear = 0;
    // Set by the layout when the labels at the ends cannot stand whole: those reaching
    // past LabelsFrom .. LabelsTo along the axis (screen pixels) are left out.
    bool LabelsLimited = false;
    int LabelsFrom = 0, LabelsTo = 0;
    // The room across the axis the layout gave the labels (0 before it has): the
    // labels drawn after the series' margins moved the scale keep within it.
    int LabelsAcross = 0;
    // How far the layout moved the title off the axis' middle to keep it in the panel.
    int TitleShift = 0;
    // How far the layout moved the depth texts down, below the right axis' texts.
    int DepthTextsDrop = 0;
    std::vector<int> TickPositions;

    void Repaint();

protected:
    template <class T>
    void SetValue(T& field, const T& value) {
        if (field != value) {
            field = value;
            Repaint();
        }
    }

private:
    friend class TAxisDrawer;
    void SelectValueToPixel();
    bool ChartLoading() const;
    TNotifyEvent ChangeHandler();

    TCustomAxisPanel* FChart;
    bool FAutomatic = true;
    bool FAutomaticMaximum = true;
    bool FAutomaticMinimum = true;
    TChartAxisPen FAxisPen;
    std::string FAxisValuesFormat;
    std::string FDateTimeFormat;
    bool FExactDateTime = true;
    TAxisGridPen FGrid;
    bool FHorizontal = false;
    double FIncrement = 0;
    bool FInverted = false;
    TAxisLabelAlign FLabelsAlign = alDefault;
    int FLabelsAngle = 0;
    bool FLabelsExponent = false;
    bool FLabelsMultiLine = false;
    bool FLabelsOnAxis = true;
    int FLabelsSeparation = 10;
    int FLabelsSize = 0;
    TAxisLabelStyle FLabelStyle = talAuto;
    bool FLogarithmic = false;
    double FLogarithmicBase = 10;
    double FMaximum = 0;
    int FMaximumOffset = 0;
    double FMinimum = 0;
    int FMinimumOffset = 0;
    TChartHiddenPen FMinorGrid;
    int FMinorTickCount = 3;
    int FMinorTickLength = 2;
    TDarkGrayPen FMinorTicks;
    bool FOtherSide = false;
    double FPositionPercent = 0;
    TPlotUnits FPositionUnits = muPercent;
    bool FRoundFirstLabel = true;
    double FStartPosition = 0;
    double FEndPosition = 100;
    int FTickInnerLength = 0;
    int FTickLength = 4;
    bool FTickOnLabelsOnly = true;
    TDarkGrayPen FTicks;
    TDarkGrayPen FTicksInner;
    TChartAxisTitle FTitle;
    int FTitleSize = 0;
    bool FVisible = true;
    double FZPosition = 0;
    TAxisItems FItems;

    double FScaleMinimum = 0;
    double FScaleMaximum = 0;
    double FScaleRange = 0;
    bool FRangeIsZero = true;
    double FPixelsPerUnit = 0;
    double FLogMinimum = 0;
    double FLogMaximum = 0;
    double FLogRange = 0;
    double FPixelsPerLogUnit = 0;
    int FStartPixel = 0;
    int FEndPixel = 0;
    int FAxisLength = 0;
    int FCenterPixel = 0;
    int FZPixel = 0;
    bool FIsDepthAxis = false;
    // What the room measured of the labels, kept for the fit inside the panel
    // that follows it in the same layout (measuring every label twice would
    // cost the redraw).
    struct LabelsFit {
        int across = 0, before = 0, after = 0;
    };
    LabelsFit FKeptFit;
    // what the labels of the final step need, as the layout's last check measured them
    LabelsFit FFinalFit;
    bool FFitKept = false;
    // Which value labels the axis shows: the step and the labels' values, made from
    // the scale, the axis' pixels as projected and the labels' font, format and frame.
    // The room, the fitting of the ends and the drawing all read it. A layout asks for
    // it at the plot's first and final lengths, with and without the limits the room
    // sets, and the draw after the series' margins: four or more in one layout, so
    // the last eight are kept and a redraw of an unchanged chart makes none again.
    struct LabelPlan {
        std::vector<double> inputs;
        std::string font;
        const void* device = nullptr;
        bool any = false;
        double step = 0;
        int stepIndex = 0;
        int power = 1;               // a logarithmic axis labels every power-th power of its base
        std::vector<double> values;  // in the order they are drawn
        int width = 0, lines = 1;    // the widest label (and a blank) and the most lines
        bool squeezed = false;       // a step was passed over for labels wider than their room
    };
    LabelPlan FLabelPlans[8];
    // The texts of value labels and their sizes, for the font and format they were
    // measured in: a plan tries several steps over mostly the same values.
    struct LabelText {
        std::string text;
        int width = 0, lines = 1;
    };
    std::map<double, LabelText> FLabelTexts;
    std::string FLabelTextsFont;
    const void* FLabelTextsDevice = nullptr;
    int (TChartAxis::*FValueToPixel)(double) const = nullptr;

    double ScaleOffset(double value) const;
    int LinearHorizontal(double value) const;
    int LinearVertical(double value) const;
    int LinearHorizontalUnclamped(double value) const;
    int LinearVerticalUnclamped(double value) const;
    int LogHorizontal(double value) const;
    int LogVertical(double value) const;
    int DepthValue(double value) const;
};

class TChartDepthAxis : public TChartAxis {
public:
    explicit TChartDepthAxis(TCustomAxisPanel* chart) : TChartAxis(chart) {}
    TAxisLabelStyle CalcLabelStyle() const override;
};
