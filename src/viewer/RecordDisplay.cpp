#include "RecordDisplay.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <numbers>

#include "AxisPanel.h"
#include "Chart.h"
#include "BSpline.h"
#include "ChartAxis.h"
#include "FloatFormat.h"
#include "Format.h"
#include "LineSeries.h"
#include "NarviBinding.h"
#include "Rounding.h"

namespace {

const char* const kNone = "(none)";
const char* const kFlagUnknown = "-";

const char* const kRecordRow = "Measurement record";
const char* const kTimeSorgRow = "Internal time [sec]";
const char* const kTimeExtRow = "External time [sec]";
const char* const kTimeExtTextRow = "External time";
const char* const kPulseRow = "Instant of Pulse Emission [sec]";
const char* const kSaturationRow = "Saturation";
const char* const kOriginRow = "Origin vector [m]";
const char* const kDirectionRow = "Direction vector";
const char* const kScanAngleRow = "Scan angle [deg]";
const char* const kFacetRow = "Facet";
const char* const kFlagsRow = "Flags";
const char* const kSyncRow = "  GPS Synchronized";
const char* const kLastSecRow = "  Within last second";
const char* const kHouseRow = "  Housekeeping record";
const char* const kBlocksRow = "Sample blocks";
const char* const kSelectedRow = "Sample block selected";
const char* const kChannelRow = "  Channel";
const char* const kCountRow = "  Sample count";
const char* const kBlockTimeRow = "  Time [sec]";

constexpr std::int64_t kMicrosPerDay = 86400LL * 1000000LL;

std::string Decimal(std::int64_t v) { return Format("%d", v); }

// Scan angle of a beam direction in degrees. Straight up or down (x = 0)
// gives +-90; a direction without x and z has no angle.
std::string ScanAngleText(const NARVI_FLOAT64_VECTOR3_T& d) {
    if (!std::isfinite(d.x) || !std::isfinite(d.z)) return kNone;
    if (d.x == 0) {
        if (d.z == 0) return kNone;
        return FormatFloat("#0.000", d.z > 0 ? 90.0 : -90.0);
    }
    return FormatFloat("#0.000", std::atan(d.z / d.x) * 180.0 / std::numbers::pi);
}

}  // namespace

std::string FormatExternalTime(double t) {
    // Beyond about 285,000 years the microseconds no longer fit 64 bits.
    if (!std::isfinite(t) || std::fabs(t) > 9.0e12) return kNone;
    const std::int64_t micros = RoundHalfEven(t * 1e6);
    std::int64_t days = micros / kMicrosPerDay;
    std::int64_t rest = micros % kMicrosPerDay;
    if (rest < 0) {
        rest += kMicrosPerDay;
        --days;
    }
    const std::int64_t seconds = rest / 1000000;
    std::string text = Format("%2.2d:%2.2d:%2.2d.", seconds / 3600, seconds / 60 % 60, seconds % 60) +
                       FormatFloat("000 000", static_cast<double>(rest % 1000000));
    if (days > 0) {
        static const char* const dayNames[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
        text = Format("%s(%d) ", dayNames[days % 7], days) + text;
    }
    return text;
}

std::string YesNo(bool b) { return b ? "YES" : "NO"; }

std::string ChannelName(std::uint32_t channel) {
    switch (channel) {
    case NARVI_CHANNEL_HP:
        return "HP";
    case NARVI_CHANNEL_LP:
        return "LP";
    case NARVI_CHANNEL_SHP:
        return "SHP";
    case NARVI_CHANNEL_REF:
        return "REF";
    default:
        return "?";
    }
}

TColor ChannelColor(std::uint32_t channel) {
    switch (channel) {
    case NARVI_CHANNEL_HP:
        return clRed;
    case NARVI_CHANNEL_LP:
        return clGreen;
    case NARVI_CHANNEL_REF:
        return clNavy;
    default:
        return clNone;
    }
}

TAxisXSetup AxisXSetup(TAxisXMode mode) {
    switch (mode) {
    case TAxisXMode::RangeGate:
        return {"Range gate index", 1, "# ##0"};
    case TAxisXMode::RawRange:
        return {"Raw range [m]", 0.001, "# ##0.000"};
    case TAxisXMode::TimeStamp:
        break;
    }
    return {"Time stamp [sec]", 1e-9, "0.000 000 000"};
}

void SetupViewerChart(TChart& chart) {
    chart.Legend().SetVisible(false);
    chart.Title().SetVisible(false);
    chart.SetView3D(false);
    chart.LeftAxis()->Title().SetCaption("");
    chart.Zoom().Pen().SetColor(clBlack);
}

// ---------------------------------------------------------------- the record

void TRecordDisplay::OpenFile(TFileKind kind, double vGroup, double samplingTime) {
    FFileOpen = true;
    FFileKind = kind;
    FVGroup = vGroup;
    FSamplingTime = samplingTime;
    ClearRecord();
}

void TRecordDisplay::CloseFile() {
    FFileOpen = false;
    ClearRecord();
}

void TRecordDisplay::ClearRecord() {
    FRecord.FRecordNo = 0;
    FRecord.FRecordValid = false;
    FRecord.FShownCount = 0;
    FSelectedBlock = 0;
}

void TRecordDisplay::ReadRecord(TWaveFile& file) {
    FRecord.FRecordValid = false;
    const std::uint32_t recordNo = file.Tell();
    double timeSorg = 0, timeExternal = 0;
    NARVI_FLOAT64_VECTOR3_T origin{}, direction{};
    std::uint16_t flags = 0, facet = 0;
    std::uint32_t sblCount = 0, sblSize = 0;
    NARVI_SBL_PTR_T sbl = nullptr;
    file.Read(timeSorg, timeExternal, origin, direction, flags, facet, sblCount, sblSize, sbl);
    AcceptRecord(recordNo, timeSorg, timeExternal, origin, direction, flags, facet, sblCount, sblSize, sbl);
}

void TRecordDisplay::AcceptRecord(std::uint32_t recordNo, double timeSorg, double timeExternal,
                                  const NARVI_FLOAT64_VECTOR3_T& origin, const NARVI_FLOAT64_VECTOR3_T& direction,
                                  std::uint16_t flags, std::uint16_t facet, std::uint32_t sblCount,
                                  std::uint32_t sblSize, const NARVI_SBL_T* sbl) {
    TShotRecord& r = FRecord;
    r.FRefTime = 0;
    r.FSaturation = 0;
    r.FRecordValid = false;
    r.FRecordNo = recordNo;
    r.FTimeSorg = timeSorg;
    r.FTimeExternal = timeExternal;
    r.FOrigin = origin;
    r.FDirection = direction;
    r.FFlags = flags;
    r.FFacet = facet;
    r.FSblCount = sblCount;
    FSelectedBlock = 0;
    r.FShownCount = 0;
    if (sblCount > MaxSampleBlocks) throw Exception(Format("Too many sample blocks (%d)", sblCount));
    // The backend states the size of its block records; a smaller one than
    // ours would make every field after the first block land elsewhere.
    if (sblCount > 0 && (sbl == nullptr || sblSize < sizeof(NARVI_SBL_T))) {
        throw Exception(Format("Invalid sample block table (%d blocks of %d bytes)", sblCount, sblSize));
    }
    const auto* bytes = reinterpret_cast<const unsigned char*>(sbl);
    for (std::uint32_t i = 0; i < sblCount; ++i) {
        const auto& block = *reinterpret_cast<const NARVI_SBL_T*>(bytes + std::size_t{i} * sblSize);
        if (FFileKind == TFileKind::Kqm || block.CHANNEL == NARVI_CHANNEL_HP || block.CHANNEL == NARVI_CHANNEL_LP) {
            KeepBlock(block);
        } else if (block.CHANNEL == NARVI_CHANNEL_SHP) {
            r.FSaturation = block.SAMPLE_COUNT > 0 && block.SAMPLE ? block.SAMPLE[0] : 0;
        } else if (block.CHANNEL == NARVI_CHANNEL_REF) {
            r.FRefTime = block.TIME_SOSBL;
        }
    }
    r.FRecordValid = true;
}

void TRecordDisplay::KeepBlock(const NARVI_SBL_T& block) {
    TShotRecord& r = FRecord;
    if (static_cast<int>(r.FShownBlocks.size()) <= r.FShownCount) r.FShownBlocks.emplace_back();
    TShownBlock& kept = r.FShownBlocks[static_cast<std::size_t>(r.FShownCount++)];
    kept.TimeSosbl = block.TIME_SOSBL;
    kept.Channel = block.CHANNEL;
    if (block.SAMPLE_COUNT > 0 && block.SAMPLE == nullptr) {
        throw Exception(Format("Sample block without samples (%d announced)", block.SAMPLE_COUNT));
    }
    kept.Samples.assign(block.SAMPLE, block.SAMPLE + block.SAMPLE_COUNT);
}

bool TRecordDisplay::NextSampleBlock() {
    if (!FFileOpen || !FRecord.FRecordValid || FSelectedBlock >= FRecord.FShownCount - 1) return false;
    ++FSelectedBlock;
    return true;
}

bool TRecordDisplay::PrevSampleBlock() {
    if (!FFileOpen || !FRecord.FRecordValid || FSelectedBlock <= 0) return false;
    --FSelectedBlock;
    return true;
}

// ---------------------------------------------------------------- info list

void TRecordDisplay::InitInfoList() {
    FInfo.Clear();
    auto add = [&](const char* name, const char* value) { FInfo.Add(std::string(name) + "=" + value); };
    for (const char* name : {kRecordRow, kTimeSorgRow, kTimeExtRow, kTimeExtTextRow}) add(name, kNone);
    if (FFileKind == TFileKind::Hxt) {
        add(kPulseRow, kNone);
        add(kSaturationRow, kNone);
    }
    for (const char* name : {kOriginRow, kOriginRow, kOriginRow, kDirectionRow, kDirectionRow, kDirectionRow,
                             kScanAngleRow, kFacetRow, kFlagsRow}) {
        add(name, kNone);
    }
    for (const char* name : {kSyncRow, kLastSecRow, kHouseRow}) add(name, kFlagUnknown);
    add(kBlocksRow, kNone);
}

void TRecordDisplay::UpdateInfo() {
    if (!FFileOpen || !FRecord.FRecordValid) {
        ShowNoRecord();
    } else {
        UpdateRecordRows();
    }
    UpdateSampleBlockRows();
}

void TRecordDisplay::ShowNoRecord() {
    for (const char* name : {kRecordRow, kTimeSorgRow, kTimeExtRow, kTimeExtTextRow}) FInfo.SetInfo(name, kNone);
    for (int i = 0; i < 3; ++i) {
        FInfo.SetInfoN(kOriginRow, i, kNone);
        FInfo.SetInfoN(kDirectionRow, i, kNone);
    }
    for (const char* name : {kScanAngleRow, kFacetRow}) FInfo.SetInfo(name, kNone);
    if (FFileKind == TFileKind::Hxt) {
        FInfo.SetInfo(kSaturationRow, kNone);
        FInfo.SetInfo(kPulseRow, kNone);
    }
    FInfo.SetInfo(kFlagsRow, kNone);
    for (const char* name : {kSyncRow, kLastSecRow, kHouseRow}) FInfo.SetInfo(name, kFlagUnknown);
    FInfo.SetInfo(kBlocksRow, kNone);
}

void TRecordDisplay::UpdateRecordRows() {
    const TShotRecord& r = FRecord;
    FInfo.SetInfo(kRecordRow, Decimal(r.FRecordNo));
    FInfo.SetInfo(kTimeSorgRow, FormatFloat("### ##0.000 000", r.FTimeSorg));
    FInfo.SetInfo(kTimeExtRow, FormatFloat("### ##0.000 000", r.FTimeExternal));
    FInfo.SetInfo(kTimeExtTextRow, FormatExternalTime(r.FTimeExternal));
    UpdateVectorRows();
    if (FFileKind == TFileKind::Hxt) {
        FInfo.SetInfo(kSaturationRow, Decimal(r.FSaturation));
        FInfo.SetInfo(kPulseRow, FormatFloat("##0.000 000", r.FRefTime));
    }
    FInfo.SetInfo(kFlagsRow, Format("0x%4.4X", r.FFlags));
    FInfo.SetInfo(kSyncRow, YesNo((r.FFlags & NARVI_FLAGS_SYNCHRONIZED) != 0));
    FInfo.SetInfo(kLastSecRow, YesNo((r.FFlags & NARVI_FLAGS_SYNC_LASTSEC) != 0));
    FInfo.SetInfo(kHouseRow, YesNo((r.FFlags & NARVI_FLAGS_HOUSEKEEPING) != 0));
    FInfo.SetInfo(kBlocksRow, Decimal(r.FShownCount));
}

void TRecordDisplay::UpdateVectorRows() {
    const TShotRecord& r = FRecord;
    // A housekeeping record has no beam: its vectors and facet mean nothing.
    const bool house = (r.FFlags & NARVI_FLAGS_HOUSEKEEPING) != 0;
    const double origin[] = {r.FOrigin.x, r.FOrigin.y, r.FOrigin.z};
    const double direction[] = {r.FDirection.x, r.FDirection.y, r.FDirection.z};
    for (int i = 0; i < 3; ++i) {
        FInfo.SetInfoN(kOriginRow, i, house ? kNone : FormatFloat("0.0000", origin[i]));
        FInfo.SetInfoN(kDirectionRow, i, house ? kNone : FormatFloat("0.000 000 000", direction[i]));
    }
    FInfo.SetInfo(kScanAngleRow, house ? std::string(kNone) : ScanAngleText(r.FDirection));
    FInfo.SetInfo(kFacetRow, house ? std::string(kNone) : Decimal(r.FFacet));
}

void TRecordDisplay::UpdateSampleBlockRows() {
    if (!FSampleBlockMode) {
        for (const char* name : {kSelectedRow, kChannelRow, kCountRow, kBlockTimeRow}) FInfo.RemoveInfo(name);
        return;
    }
    const bool haveBlock = FFileOpen && FRecord.FRecordValid && FSelectedBlock < FRecord.FShownCount;
    if (!haveBlock) {
        for (const char* name : {kSelectedRow, kChannelRow, kCountRow, kBlockTimeRow}) FInfo.SetInfo(name, kNone);
        return;
    }
    const TShownBlock& b = FRecord.FShownBlocks[static_cast<std::size_t>(FSelectedBlock)];
    FInfo.SetInfo(kSelectedRow, Decimal(FSelectedBlock + 1));
    FInfo.SetInfo(kChannelRow, ChannelName(b.Channel));
    FInfo.SetInfo(kCountRow, Decimal(static_cast<std::int64_t>(b.Samples.size())));
    FInfo.SetInfo(kBlockTimeRow, FormatFloat("0.000 000", b.TimeSosbl));
}

std::string TRecordDisplay::SampleBlockLabel() const {
    if (!FFileOpen || !FRecord.FRecordValid) return kNone;
    if (!FSampleBlockMode) return "(all)";
    if (FRecord.FShownCount == 0) return kNone;
    return Format("%d of %d", FSelectedBlock + 1, FRecord.FShownCount);
}

// ---------------------------------------------------------------- the chart

double TRecordDisplay::SampleX(const TShownBlock& block, int n) const {
    const double t = block.TimeSosbl;
    const double ts = FSamplingTime;
    switch (FAxisX) {
    case TAxisXMode::RangeGate:
        // Without a sampling time the block's offset in gates is unknown;
        // the samples still count from their block's start.
        if (ts == 0 || !std::isfinite(ts)) return n;
        return (t - FRecord.FTimeSorg) / ts + n;
    case TAxisXMode::RawRange:
        if (FFileKind == TFileKind::Hxt) return FVGroup * 0.5 * (t - FRecord.FRefTime + n * ts);
        return (t - FRecord.FTimeSorg + n * ts) * (FVGroup * 0.5);
    case TAxisXMode::TimeStamp:
        break;
    }
    return n * ts + t;
}

void TRecordDisplay::ClearSeries(TCustomAxisPanel& chart) { chart.FreeAllSeries(); }

void TRecordDisplay::DrawRecord(TCustomAxisPanel& chart) {
    UpdateInfo();
    ClearSeries(chart);
    if (!FFileOpen || !FRecord.FRecordValid) return;
    for (int i = 0; i < FRecord.FShownCount; ++i) {
        if (FSampleBlockMode && i != FSelectedBlock) continue;
        DrawBlock(chart, FRecord.FShownBlocks[static_cast<std::size_t>(i)]);
    }
}

void TRecordDisplay::DrawBlock(TCustomAxisPanel& chart, const TShownBlock& block) {
    if (block.Samples.empty()) return;
    TLineSeries* line = nullptr;
    TPointSeries* points = CreateBlockSeries(chart, block.Channel, line);
    const int count = static_cast<int>(block.Samples.size());
    // The line that follows the points is filled once at the end instead of
    // point by point.
    points->SuspendNotify();
    try {
        for (int n = 0; n < count; ++n) {
            points->AddPoint(SampleX(block, n), block.Samples[static_cast<std::size_t>(n)], "", SeriesDefaultColor);
        }
    } catch (...) {
        points->ResumeNotify();
        throw;
    }
    points->ResumeNotify();
    if (FEnhance == TEnhanceMode::Smooth && line) SplineFill(*points, *line);
}

// The series belong to the chart (their owner), which frees them in
// ClearSeries or when it goes itself.
TPointSeries* TRecordDisplay::CreateBlockSeries(TCustomAxisPanel& chart, std::uint32_t channel, TLineSeries*& line) {
    const TColor color = ChannelColor(channel);
    line = nullptr;
    if (FEnhance != TEnhanceMode::None) {
        // Created first, so the line lies below the points.
        auto owned = std::make_unique<TLineSeries>(&chart);
        owned->SetParentChart(&chart);
        owned->SetSeriesColor(color);
        line = owned.release();
    }
    auto owned = std::make_unique<TPointSeries>(&chart);
    owned->SetParentChart(&chart);
    owned->SetSeriesColor(color);
    TPointSeries* points = owned.release();
    if (FEnhance == TEnhanceMode::Linear) line->SetDataSource(points);
    SetPointSize(chart, FPointSize);
    return points;
}

// The curve passes through every sample and has four steps per sample, so a
// block of n samples gives 4n + 1 curve points whatever its length. The
// spline solves for its control vertices; the curve points are evaluated here
// at the viewer's own steps, with the uniform cubic basis written without
// branches (the same weights the spline's PointAt takes, at a fraction of its
// cost for the thousands of points of a long block).
void TRecordDisplay::SplineFill(const TPointSeries& points, TLineSeries& line) const {
    const int count = points.PointCount();
    const int steps = 4 * count;
    if (count < 2) {
        for (int k = 0; k <= steps; ++k) line.AddPoint(points.XValueAt(0), points.YValueAt(0), "", SeriesDefaultColor);
        return;
    }
    TBSpline spline;
    spline.SetStepCount(steps);
    spline.SetPassThroughPoints(true);
    for (int i = 0; i < count; ++i) {
        spline.AddSplinePoint(points.XValueAt(i), points.YValueAt(i));
        spline.SetCorner(i + 1, false);
    }
    const int vertices = spline.VertexCount();
    std::vector<TSplinePoint> v(static_cast<std::size_t>(vertices) + 2);
    for (int j = 0; j <= vertices + 1; ++j) v[static_cast<std::size_t>(j)] = spline.Vertex(j);
    for (int k = 0; k <= steps; ++k) {
        // u runs from 1 to vertices; the curve near u is shaped by vertices
        // c .. c + 3 with c = floor(u) - 1.
        const double u = (vertices - 1) * (static_cast<double>(k) / steps) + 1;
        const int c = std::min(static_cast<int>(u - 1), vertices - 2);
        const double f = u - (c + 1);
        const double g = 1 - f;
        const double w0 = g * g * g / 6;
        const double w1 = 2.0 / 3 - f * f + f * f * f / 2;
        const double w2 = 2.0 / 3 - g * g + g * g * g / 2;
        const double w3 = f * f * f / 6;
        const TSplinePoint* q = &v[static_cast<std::size_t>(c)];
        line.AddPoint(w0 * q[0].X + w1 * q[1].X + w2 * q[2].X + w3 * q[3].X,
                      w0 * q[0].Y + w1 * q[1].Y + w2 * q[2].Y + w3 * q[3].Y, "", SeriesDefaultColor);
    }
}

void TRecordDisplay::SetPointSize(TCustomAxisPanel& chart, int size) {
    if (size < 1) return;
    for (TChartSeries* s : chart.SeriesList()) {
        if (auto* line = dynamic_cast<TLineSeries*>(s)) {
            line->LinePen()->SetWidth(size);
            line->Pointer().SetHorizSize(size);
            line->Pointer().SetVertSize(size);
        } else if (auto* points = dynamic_cast<TPointSeries*>(s)) {
            points->Pointer().SetHorizSize(size);
            points->Pointer().SetVertSize(size);
        }
    }
    FPointSize = size;
}

void TRecordDisplay::ApplyAxis(TCustomAxisPanel& chart) const {
    const TAxisXSetup setup = AxisXSetup(FAxisX);
    TChartAxis* axis = chart.BottomAxis();
    axis->Title().SetCaption(setup.Title);
    axis->SetIncrement(setup.Increment);
    axis->SetAxisValuesFormat(setup.Format);
}

std::string TRecordDisplay::DataText(const TCustomAxisPanel& chart) {
    std::string text;
    for (const TChartSeries* s : chart.SeriesList()) {
        if (!dynamic_cast<const TPointSeries*>(s)) continue;
        text += "id, X, Y\r\n";
        for (int i = 0; i < s->PointCount(); ++i) {
            text += Format("%3d, %.3f, %.0f\r\n", i, s->XValueAt(i), s->YValueAt(i));
        }
    }
    return text;
}
