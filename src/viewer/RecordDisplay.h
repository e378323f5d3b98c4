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
#include "narvi.h"

class TChart;
class TCustomAxisPanel;
class TChartSeries;
class TLineSeries;
class TPointSeries;
class TWaveFile;

enum class TAxisXMode { TimeStamp, RawRange, RangeGate };
enum class TEnhanceMode { None, Linear, Smooth };
// 0 for a ".kqm" recording, 1 for a ".hxt" waveform file.
enum class TFileKind : std::uint8_t { Kqm = 0, Hxt = 1 };

// A sample block kept for display. The samples are copied out of the
// backend's buffer, which its next call overwrites, so redraws never depend
// on how long that buffer lives.
struct TShownBlock {
    double TimeSosbl = 0;
    std::uint32_t Channel = 0;
    std::vector<std::uint16_t> Samples;
};

// The record read last, with the values the search compares.
struct TShotRecord {
    std::uint32_t FRecordNo = 0;
    bool FRecordValid = false;
    double FTimeSorg = 0;
    double FTimeExternal = 0;
    NARVI_FLOAT64_VECTOR3_T FOrigin{};
    NARVI_FLOAT64_VECTOR3_T FDirection{};
    std::uint16_t FFlags = 0;
    std::uint16_t FFacet = 0;
    std::uint32_t FSblCount = 0;
    // Slots 0 .. FShownCount - 1 hold the kept blocks; later slots keep their
    // sample storage for the next record.
    std::vector<TShownBlock> FShownBlocks;
    int FShownCount = 0;
    std::uint16_t FSaturation = 0;
    double FRefTime = 0;
};

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
TAxisXSetup AxisXSetup(TAxisXMode mode);

// The viewer's chart: no legend and no title, two-dimensional, no title on
// the left axis, a black zoom rectangle.
void SetupViewerChart(TChart& chart);

class TRecordDisplay {
public:
    // File-level values taken when a recording is opened.
    void OpenFile(TFileKind kind, double vGroup, double samplingTime);
    void CloseFile();
    bool FileOpen() const { return FFileOpen; }
    TFileKind FileKind() const { return FFileKind; }

    // Tell, then Read; keeps the record's values and its blocks. Throws the
    // binding's exceptions, and Exception for a record with too many blocks
    // (the record then stays invalid).
    void ReadRecord(TWaveFile& file);
    // The second half of ReadRecord: what Read returned for record recordNo.
    void AcceptRecord(std::uint32_t recordNo, double timeSorg, double timeExternal,
                      const NARVI_FLOAT64_VECTOR3_T& origin, const NARVI_FLOAT64_VECTOR3_T& direction,
                      std::uint16_t flags, std::uint16_t facet, std::uint32_t sblCount, std::uint32_t sblSize,
                      const NARVI_SBL_T* sbl);
    // Marks no record as current (after opening or closing a file).
    void ClearRecord();
    const TShotRecord& Record() const { return FRecord; }

    // Info list.
    void InitInfoList();
    void UpdateInfo();
    const TInfoList& Info() const { return FInfo; }
    // The tool bar's sample-block label: "2 of 4", "(all)" or "(none)".
    std::string SampleBlockLabel() const;

    // Options; the caller redraws after changing them.
    TAxisXMode AxisX() const { return FAxisX; }
    void SetAxisX(TAxisXMode mode) { FAxisX = mode; }
    TEnhanceMode Enhance() const { return FEnhance; }
    void SetEnhance(TEnhanceMode mode) { FEnhance = mode; }
    bool SampleBlockMode() const { return FSampleBlockMode; }
    void SetSampleBlockMode(bool on) { FSampleBlockMode = on; }
    int SelectedBlock() const { return FSelectedBlock; }
    // Step the selection within the kept blocks; false when nothing moved.
    bool NextSampleBlock();
    bool PrevSampleBlock();
    int PointSize() const { return FPointSize; }

    // UpdateInfo, then the chart's series rebuilt from the kept blocks.
    void DrawRecord(TCustomAxisPanel& chart);
    // Sets the bottom axis's title, label step and format for the X mode.
    void ApplyAxis(TCustomAxisPanel& chart) const;
    // Sizes below 1 are ignored; otherwise every series of the chart follows.
    void SetPointSize(TCustomAxisPanel& chart, int size);
    // Frees every series of the chart.
    static void ClearSeries(TCustomAxisPanel& chart);

    // X of sample n of a block under the current axis mode.
    double SampleX(const TShownBlock& block, int n) const;

    // Clipboard texts: every point series as "id, X, Y" and one line per point.
    static std::string DataText(const TCustomAxisPanel& chart);

private:
    void KeepBlock(const NARVI_SBL_T& block);
    void UpdateRecordRows();
    void UpdateVectorRows();
    void UpdateSampleBlockRows();
    void ShowNoRecord();
    void DrawBlock(TCustomAxisPanel& chart, const TShownBlock& block);
    TPointSeries* CreateBlockSeries(TCustomAxisPanel& chart, std::uint32_t channel, TLineSeries*& line);
    void SplineFill(const TPointSeries& points, TLineSeries& line) const;

    TShotRecord FRecord;
    TInfoList FInfo;
    bool FFileOpen = false;
    TFileKind FFileKind = TFileKind::Kqm;
    double FVGroup = 0;
    double FSamplingTime = 0;
    TAxisXMode FAxisX = TAxisXMode::TimeStamp;
    TEnhanceMode FEnhance = TEnhanceMode::None;
    bool FSampleBlockMode = false;
    int FSelectedBlock = 0;
    int FPointSize = 1;
};
