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

TAxisXSetup AxisXSetup(TAxisX mode) {
    switch (mode) {
    case TAxisX::RangeGate:
        return {"Range gate index", 1, "# ##0"};
    case TAxisX::RawRange:
        return {"Raw range [m]", 0.001, "# ##0.000"};
    case TAxisX::TimeStamp:
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

namespace {

void KeepBlock(TCurrentRecord& r, const NARVI_SBL_T& block) {
    if (block.SAMPLE_COUNT > 0 && block.SAMPLE == nullptr) {
        throw Exception(Format("Sample block without samples (%d announced)", block.SAMPLE_COUNT));
    }
    TShownBlock& kept = r.Blocks.emplace_back();
    kept.TimeSosbl = block.TIME_SOSBL;
    kept.Channel = block.CHANNEL;
    kept.Samples.assign(block.SAMPLE, block.SAMPLE + block.SAMPLE_COUNT);
}

}  // namespace

void AcceptRecord(TCurrentRecord& r, TFileKind kind, std::uint32_t recordNo, double timeSorg, double timeExternal,
                  const NARVI_FLOAT64_VECTOR3_T& origin, const NARVI_FLOAT64_VECTOR3_T& direction, std::uint16_t flags,
                  std::uint16_t facet, std::uint32_t sblCount, std::uint32_t sblSize, const NARVI_SBL_T* sbl) {
    r.Clear();
    r.RecordNo = recordNo;
    r.TimeSorg = timeSorg;
    r.TimeExternal = timeExternal;
    r.Origin = origin;
    r.Direction = direction;
    r.Flags = flags;
    r.Facet = facet;
    r.SblCount = sblCount;
    if (sblCount > MaxSampleBlocks) throw Exception(Format("Too many sample blocks (%d)", sblCount));
    // The backend states the size of its block records; a smaller one than
    // ours would make every field after the first block land elsewhere, and
    // one off the alignment would read every later block misaligned.
    if (sblCount > 0 && (sbl == nullptr || sblSize < sizeof(NARVI_SBL_T) || sblSize % alignof(NARVI_SBL_T) != 0)) {
        throw Exception(Format("Invalid sample block table (%d blocks of %d bytes)", sblCount, sblSize));
    }
    const auto* bytes = reinterpret_cast<const unsigned char*>(sbl);
    for (std::uint32_t i = 0; i < sblCount; ++i) {
        const auto& block = *reinterpret_cast<const NARVI_SBL_T*>(bytes + std::size_t{i} * sblSize);
        if (kind == TFileKind::Kqm || block.CHANNEL == NARVI_CHANNEL_HP || block.CHANNEL == NARVI_CHANNEL_LP) {
            KeepBlock(r, block);
        } else if (block.CHANNEL == NARVI_CHANNEL_SHP) {
            r.Saturation = block.SAMPLE_COUNT > 0 && block.SAMPLE ? block.SAMPLE[0] : 0;
        } else if (block.CHANNEL == NARVI_CHANNEL_REF) {
            r.RefTime = block.TIME_SOSBL;
        }
    }
    r.Valid = true;
}

void ReadRecordFrom(TWaveFile& file, TCurrentRecord& record, TFileKind kind) {
    // Read into a record of its own: a read that fails (after the last shot,
    // a damaged record) leaves the one held, which is the one on screen, so
    // that the keys step on from what the user sees.
    const std::uint32_t recordNo = file.Tell();
    double timeSorg = 0, timeExternal = 0;
    NARVI_FLOAT64_VECTOR3_T origin{}, direction{};
    std::uint16_t flags = 0, facet = 0;
    std::uint32_t sblCount = 0, sblSize = 0;
    NARVI_SBL_PTR_T sbl = nullptr;
    file.Read(timeSorg, timeExternal, origin, direction, flags, facet, sblCount, sblSize, sbl);
    TCurrentRecord read;
    AcceptRecord(read, kind, recordNo, timeSorg, timeExternal, origin, direction, flags, facet, sblCount, sblSize, sbl);
    record = std::move(read);
}

void TRecordDisplay::OpenFile(TFileKind kind, double vGroup, double samplingTime) {
    FFileOpen = true;
    FFileKind = kind;
    FVGroup = vGroup;
    FSamplingTime = samplingTime;
}

void TRecordDisplay::CloseFile() { FFileOpen = false; }

bool TRecordDisplay::NextSampleBlock() {
    if (!FFileOpen || !FRecord.Valid || FRecord.SelectedBlock >= static_cast<int>(FRecord.Blocks.size()) - 1) {
        return false;
    }
    ++FRecord.SelectedBlock;
    return true;
}

bool TRecordDisplay::PrevSampleBlock() {
    if (!FFileOpen || !FRecord.Valid || FRecord.SelectedBlock <= 0) return false;
    --FRecord.SelectedBlock;
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
    if (!FFileOpen || !FRecord.Valid) {
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
    const TCurrentRecord& r = FRecord;
    FInfo.SetInfo(kRecordRow, Decimal(r.RecordNo));
    FInfo.SetInfo(kTimeSorgRow, FormatFloat("### ##0.000 000", r.TimeSorg));
    FInfo.SetInfo(kTimeExtRow, FormatFloat("### ##0.000 000", r.TimeExternal));
    FInfo.SetInfo(kTimeExtTextRow, FormatExternalTime(r.TimeExternal));
    UpdateVectorRows();
    if (FFileKind == TFileKind::Hxt) {
        FInfo.SetInfo(kSaturationRow, Decimal(r.Saturation));
        FInfo.SetInfo(kPulseRow, FormatFloat("##0.000 000", r.RefTime));
    }
    FInfo.SetInfo(kFlagsRow, Format("0x%4.4X", r.Flags));
    FInfo.SetInfo(kSyncRow, YesNo((r.Flags & NARVI_FLAGS_SYNCHRONIZED) != 0));
    FInfo.SetInfo(kLastSecRow, YesNo((r.Flags & NARVI_FLAGS_SYNC_LASTSEC) != 0));
    FInfo.SetInfo(kHouseRow, YesNo((r.Flags & NARVI_FLAGS_HOUSEKEEPING) != 0));
    FInfo.SetInfo(kBlocksRow, Decimal(static_cast<std::int64_t>(r.Blocks.size())));
}

void TRecordDisplay::UpdateVectorRows() {
    const TCurrentRecord& r = FRecord;
    // A housekeeping record has no beam: its vectors and facet mean nothing.
    const bool house = (r.Flags & NARVI_FLAGS_HOUSEKEEPING) != 0;
    const double origin[] = {r.Origin.x, r.Origin.y, r.Origin.z};
    const double direction[] = {r.Direction.x, r.Direction.y, r.Direction.z};
    for (int i = 0; i < 3; ++i) {
        FInfo.SetInfoN(kOriginRow, i, house ? kNone : FormatFloat("0.0000", origin[i]));
        FInfo.SetInfoN(kDirectionRow, i, house ? kNone : FormatFloat("0.000 000 000", direction[i]));
    }
    FInfo.SetInfo(kScanAngleRow, house ? std::string(kNone) : ScanAngleText(r.Direction));
    FInfo.SetInfo(kFacetRow, house ? std::string(kNone) : Decimal(r.Facet));
}

void TRecordDisplay::UpdateSampleBlockRows() {
    if (!FSampleBlockMode) {
        for (const char* name : {kSelectedRow, kChannelRow, kCountRow, kBlockTimeRow}) FInfo.RemoveInfo(name);
        return;
    }
    const bool haveBlock =
        FFileOpen && FRecord.Valid && FRecord.SelectedBlock < static_cast<int>(FRecord.Blocks.size());
    if (!haveBlock) {
        for (const char* name : {kSelectedRow, kChannelRow, kCountRow, kBlockTimeRow}) FInfo.SetInfo(name, kNone);
        return;
    }
    const TShownBlock& b = FRecord.Blocks[static_cast<std::size_t>(FRecord.SelectedBlock)];
    FInfo.SetInfo(kSelectedRow, Decimal(FRecord.SelectedBlock + 1));
    FInfo.SetInfo(kChannelRow, ChannelName(b.Channel));
    FInfo.SetInfo(kCountRow, Decimal(static_cast<std::int64_t>(b.Samples.size())));
    FInfo.SetInfo(kBlockTimeRow, FormatFloat("0.000 000", b.TimeSosbl));
}

std::string TRecordDisplay::SampleBlockLabel() const {
    if (!FFileOpen || !FRecord.Valid) return kNone;
    if (!FSampleBlockMode) return "(all)";
    if (FRecord.Blocks.empty()) return kNone;
    return Format("%d of %d", FRecord.SelectedBlock + 1, static_cast<std::int64_t>(FRecord.Blocks.size()));
}

// ---------------------------------------------------------------- the chart

double TRecordDisplay::SampleX(const TShownBlock& block, int n) const {
    const double t = block.TimeSosbl;
    const double ts = FSamplingTime;
    switch (FAxisX) {
    case TAxisX::RangeGate:
        // Without a sampling time the block's offset in gates is unknown;
        // the samples still count from their block's start.
        if (ts == 0 || !std::isfinite(ts)) return n;
        return (t - FRecord.TimeSorg) / ts + n;
    case TAxisX::RawRange:
        if (FFileKind == TFileKind::Hxt) return FVGroup * 0.5 * (t - FRecord.RefTime + n * ts);
        return (t - FRecord.TimeSorg + n * ts) * (FVGroup * 0.5);
    case TAxisX::TimeStamp:
        break;
    }
    return n * ts + t;
}

void TRecordDisplay::ClearSeries(TCustomAxisPanel& chart) { chart.FreeAllSeries(); }

void TRecordDisplay::DrawRecord(TCustomAxisPanel& chart) {
    UpdateInfo();
    ClearSeries(chart);
    if (!FFileOpen || !FRecord.Valid) return;
    for (std::size_t i = 0; i < FRecord.Blocks.size(); ++i) {
        if (FSampleBlockMode && static_cast<int>(i) != FRecord.SelectedBlock) continue;
        DrawBlock(chart, FRecord.Blocks[i]);
    }
    KeepShotInView(chart);
}

namespace {

// An automatic axis takes in every value when it is drawn.
bool Within(double v, const TChartAxis& axis) {
    return axis.Automatic() || (v >= axis.Minimum() && v <= axis.Maximum());
}

}  // namespace

// A view fixed by zoom or pan that shows no point of the shot would leave an
// empty plot: the automatic ranges come back instead.
void TRecordDisplay::KeepShotInView(TCustomAxisPanel& chart) {
    const TChartAxis& bottom = *chart.BottomAxis();
    const TChartAxis& left = *chart.LeftAxis();
    if ((bottom.Automatic() && left.Automatic()) || chart.SeriesList().empty()) return;
    for (const TChartSeries* s : chart.SeriesList()) {
        for (int i = 0; i < s->PointCount(); ++i) {
            if (Within(s->XValueAt(i), bottom) && Within(s->YValueAt(i), left)) return;
        }
    }
    chart.UndoZoom();
    chart.BottomAxis()->SetAutomatic(true);
    chart.LeftAxis()->SetAutomatic(true);
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
    if (FEnhance == TEnhance::Smooth && line) SplineFill(*points, *line);
}

// The series belong to the chart (their owner), which frees them in
// ClearSeries or when it goes itself.
TPointSeries* TRecordDisplay::CreateBlockSeries(TCustomAxisPanel& chart, std::uint32_t channel, TLineSeries*& line) {
    const TColor color = ChannelColor(channel);
    line = nullptr;
    if (FEnhance != TEnhance::None) {
        // Created first, so the line lies below the points.
        auto owned = std::make_unique<TLineSeries>(&chart);
        owned->SetParentChart(&chart);
        owned->SetSeriesColor(color);
        line = owned.release();
    }
    auto owned = std::make_unique<TPointSeries>(&chart);
    owned->SetParentChart(&chart);
    owned->SetSeriesColor(color);
    // The marker's frame takes the point's colour too: at size 1 a black
    // frame would leave one coloured pixel and the channels look alike.
    owned->Pointer().Pen().SetColor(SeriesDefaultColor);
    TPointSeries* points = owned.release();
    if (FEnhance == TEnhance::Linear) line->SetDataSource(points);
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
    if (size < MinPointSize || size > MaxPointSize) return;
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
