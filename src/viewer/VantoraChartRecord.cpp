// The main window's record display: reading a shot, the info list and the
// series per sample block. What stands here is the shell the window needs to
// show a shot (points per block against the chosen X axis); the full display
// (info rows and formats, enhancement curves, sample-block rows, clipboard)
// takes these places.

#include "FloatFormat.h"
#include "LineSeries.h"
#include "VantoraChart.h"

namespace {

TColor ChannelColor(std::uint32_t channel) {
    switch (channel) {
    case 0:
        return clRed;
    case 1:
        return clGreen;
    case 3:
        return clNavy;
    default:
        return clNone;
    }
}

}  // namespace

void TFormVantoraChart::ReadRecord() { FDoc.ReadRecord(); }

void TFormVantoraChart::InitInfoList() {
    InfoList->SetItems({"Measurement record=(none)", "Internal time [sec]=(none)", "External time [sec]=(none)",
                        "Sample blocks=(none)"});
    SampleBlockLabel->SetCaption("(none)");
}

void TFormVantoraChart::UpdateInfo() {
    const TCurrentRecord& r = FDoc.Record;
    if (!FDoc.IsOpen() || !r.Valid) {
        InitInfoList();
        return;
    }
    InfoList->SetItems({"Measurement record=" + std::to_string(r.RecordNo),
                        "Internal time [sec]=" + FormatFloat("### ##0.000 000", r.TimeSorg),
                        "External time [sec]=" + FormatFloat("### ##0.000 000", r.TimeExternal),
                        "Sample blocks=" + std::to_string(r.Blocks.size())});
    SampleBlockLabel->SetCaption(ActionViewSampleBlocks.Checked()
                                     ? std::to_string(r.SelectedBlock + 1) + " of " + std::to_string(r.Blocks.size())
                                     : "(all)");
}

void TFormVantoraChart::ClearSeries() { Chart1.FreeAllSeries(); }

void TFormVantoraChart::DrawRecord() {
    UpdateInfo();
    ClearSeries();
    const TCurrentRecord& r = FDoc.Record;
    if (!FDoc.IsOpen() || !r.Valid) return;
    const bool sampleBlocks = ActionViewSampleBlocks.Checked();
    const double ts = FDoc.FSamplingTime;
    for (std::size_t i = 0; i < r.Blocks.size(); ++i) {
        if (sampleBlocks && int(i) != r.SelectedBlock) continue;
        const TShownBlock& b = r.Blocks[i];
        if (b.Samples.empty()) continue;
        // Owned by the chart, which frees it with the others in ClearSeries.
        auto* points = new TPointSeries(&Chart1);
        points->SetSeriesColor(ChannelColor(b.Channel));
        points->SetParentChart(&Chart1);
        for (std::size_t n = 0; n < b.Samples.size(); ++n) {
            double x = double(n) * ts + b.TimeSosbl;
            if (AxisX() == TAxisX::RangeGate) x = (b.TimeSosbl - r.TimeSorg) / ts + double(n);
            if (AxisX() == TAxisX::RawRange) x = (b.TimeSosbl - r.TimeSorg + double(n) * ts) * (FDoc.FVGroup * 0.5);
            points->AddPoint(x, b.Samples[n]);
        }
    }
    SetPointSize(FPointSize);
}

void TFormVantoraChart::SeekAndShow(std::int64_t n) {
    FDoc.SeekRecord(n);
    ReadRecord();
    DrawRecord();
}

void TFormVantoraChart::SeekTimeAndShow(double t) {
    FDoc.File().SeekTime(t);
    ReadRecord();
    DrawRecord();
}

void TFormVantoraChart::SeekTimeExternalAndShow(double t) {
    FDoc.File().SeekTimeExternal(t);
    ReadRecord();
    DrawRecord();
}

void TFormVantoraChart::SetPointSize(int size) {
    if (size < MinPointSize || size > MaxPointSize) return;
    for (TChartSeries* s : Chart1.SeriesList()) {
        if (auto* series = dynamic_cast<TCustomSeries*>(s)) {
            if (dynamic_cast<TLineSeries*>(s)) series->LinePen()->SetWidth(size);
            series->Pointer().SetHorizSize(size);
            series->Pointer().SetVertSize(size);
        }
    }
    FPointSize = size;
}

void TFormVantoraChart::SetSampleBlocks(bool on) {
    if (ActionViewSampleBlocks.Checked() == on) return;
    ActionViewSampleBlocks.SetChecked(on);
    SampleBlockPanel->SetVisible(on);
    ActionViewPrevSampleBlock.SetVisible(on);
    ActionViewNextSampleBlock.SetVisible(on);
    DrawRecord();
}

void TFormVantoraChart::AxisAction(TAction& action, TAxisX axis) {
    action.SetChecked(true);
    DrawRecord();
    TChartAxis& bottom = *Chart1.BottomAxis();
    switch (axis) {
    case TAxisX::RangeGate:
        bottom.Title().SetCaption("Range gate index");
        bottom.SetIncrement(1);
        bottom.SetAxisValuesFormat("# ##0");
        break;
    case TAxisX::RawRange:
        bottom.Title().SetCaption("Raw range [m]");
        bottom.SetIncrement(0.001);
        bottom.SetAxisValuesFormat("# ##0.000");
        break;
    case TAxisX::TimeStamp:
        bottom.Title().SetCaption("Time stamp [sec]");
        bottom.SetIncrement(1e-9);
        bottom.SetAxisValuesFormat("0.000 000 000");
        break;
    }
}

void TFormVantoraChart::EnhanceAction(TAction& action) {
    action.SetChecked(true);
    DrawRecord();
}
