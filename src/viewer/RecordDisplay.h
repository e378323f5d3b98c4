#pragma once
// What the viewer shows of one shot: the record read through the binding, the
// information list, and one chart series per sample block against the chosen
// X axis, optionally joined by straight lines or a smoothed curve. This part
// knows no window; the form hands it the chart and shows its texts.

#include <cstdint>
#include <string>
#include <vector>

#include "ChartAttributes.h"
#include "InfoList.h"
#include "VantoraDocument.h"
#include "VantoraSettings.h"
#include "narvi.h"

class TChart;
class TCustomAxisPanel;
class TChartSeries;
class TLineSeries;
class TPointSeries;
class TWaveFile;

// 0 for a ".kqm" recording, 1 for a ".hxt" waveform file.
enum class TFileKind : std::uint8_t { Kqm = 0, Hxt = 1 };

inline constexpr int MaxSampleBlocks = 32;
inline constexpr int InfoItemHeight = 17;
inline constexpr TColor InfoHeadingColor = 0xC0C0C0;

// "Sun(3) 12:00:00.000 001": days (when positive) with their day name, then the
// time of day to the microsecond. The value is rounded to whole microseconds
// first, so a fraction never reaches a full second. Not finite: "(none)".
std::string FormatExternalTime(double t);
std::string YesNo(bool b);
std::string ChannelName(std::uint32_t channel);
// Red, green and navy for the high-power, low-power and reference channel,
// clNone for any other.
TColor ChannelColor(std::uint32_t channel);

// Axis title, label step and label format of the bottom axis for a mode.
struct TAxisXSetup {
    const char* Title;
    double Increment;
    const char* Format;
};
TAxisXSetup AxisXSetup(TAxisX mode);

// The viewer's chart: no legend and no title, two-dimensional, no title on
// the left axis, a black zoom rectangle.
void SetupViewerChart(TChart& chart);

// What Read returned for record recordNo, kept in record: every block of a
// ".kqm" recording; of a ".hxt" file the channel 0 and 1 blocks, with the
// first sample of the channel-2 block as saturation and the start of the
// channel-3 block as reference time. Throws Exception for a record with too
// many blocks or an impossible block table; the record then stays invalid.
void AcceptRecord(TCurrentRecord& record, TFileKind kind, std::uint32_t recordNo, double timeSorg, double timeExternal,
                  const NARVI_FLOAT64_VECTOR3_T& origin, const NARVI_FLOAT64_VECTOR3_T& direction, std::uint16_t flags,
                  std::uint16_t facet, std::uint32_t sblCount, std::uint32_t sblSize, const NARVI_SBL_T* sbl);
// Tell, then Read, then AcceptRecord. Throws the binding's exceptions.
void ReadRecordFrom(TWaveFile& file, TCurrentRecord& record, TFileKind kind);

// Shows the record it is given (the window's current record) and keeps the
// display's own state: file values, X axis, enhancement, sample-block mode,
// point size and the info rows.
class TRecordDisplay {
public:
    explicit TRecordDisplay(TCurrentRecord& record) : FRecord(record) {}

    // File-level values taken when a recording is opened.
    void OpenFile(TFileKind kind, double vGroup, double samplingTime);
    void CloseFile();
    bool FileOpen() const { return FFileOpen; }
    TFileKind FileKind() const { return FFileKind; }

    const TCurrentRecord& Record() const { return FRecord; }

    // Info list.
    void InitInfoList();
    void UpdateInfo();
    const TInfoList& Info() const { return FInfo; }
    // The tool bar's sample-block label: "2 of 4", "(all)" or "(none)".
    std::string SampleBlockLabel() const;

    // Options; the caller redraws after changing them.
    TAxisX AxisX() const { return FAxisX; }
    void SetAxisX(TAxisX mode) { FAxisX = mode; }
    TEnhance Enhance() const { return FEnhance; }
    void SetEnhance(TEnhance mode) { FEnhance = mode; }
    bool SampleBlockMode() const { return FSampleBlockMode; }
    void SetSampleBlockMode(bool on) { FSampleBlockMode = on; }
    int SelectedBlock() const { return FRecord.SelectedBlock; }
    // Step the selection within the kept blocks; false when nothing moved.
    bool NextSampleBlock();
    bool PrevSampleBlock();
    int PointSize() const { return FPointSize; }

    // UpdateInfo, then the chart's series rebuilt from the kept blocks.
    void DrawRecord(TCustomAxisPanel& chart);
    // Sets the bottom axis's title, label step and format for the X mode.
    void ApplyAxis(TCustomAxisPanel& chart) const;
    // Sizes outside MinPointSize .. MaxPointSize are ignored; otherwise every
    // series of the chart follows.
    void SetPointSize(TCustomAxisPanel& chart, int size);
    // Frees every series of the chart.
    static void ClearSeries(TCustomAxisPanel& chart);

    // X of sample n of a block under the current axis mode.
    double SampleX(const TShownBlock& block, int n) const;

    // Clipboard texts: every point series as "id, X, Y" and one line per point.
    static std::string DataText(const TCustomAxisPanel& chart);

private:
    void UpdateRecordRows();
    void UpdateVectorRows();
    void UpdateSampleBlockRows();
    void ShowNoRecord();
    void DrawBlock(TCustomAxisPanel& chart, const TShownBlock& block);
    void KeepShotInView(TCustomAxisPanel& chart);
    TPointSeries* CreateBlockSeries(TCustomAxisPanel& chart, std::uint32_t channel, TLineSeries*& line);
    void SplineFill(const TPointSeries& points, TLineSeries& line) const;

    TCurrentRecord& FRecord;
    TInfoList FInfo;
    bool FFileOpen = false;
    TFileKind FFileKind = TFileKind::Kqm;
    double FVGroup = 0;
    double FSamplingTime = 0;
    TAxisX FAxisX = TAxisX::TimeStamp;
    TEnhance FEnhance = TEnhance::None;
    bool FSampleBlockMode = false;
    int FPointSize = 1;
};
