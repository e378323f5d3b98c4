// The main window's record display: reading a shot, the info list, the series
// per sample block, the axis and enhancement actions, the clipboard and the
// find dialog. The display logic itself is TRecordDisplay's; here it meets
// the widgets.

#include "FindExpression.h"
#include "LibraryText.h"
#include "VantoraChart.h"

void TFormVantoraChart::SyncDisplay() {
    if (FDoc.IsOpen()) {
        FDisplay.OpenFile(static_cast<TFileKind>(FDoc.FFileKind), FDoc.FVGroup, FDoc.FSamplingTime);
    } else {
        FDisplay.CloseFile();
    }
    FDisplay.SetAxisX(AxisX());
    FDisplay.SetEnhance(Enhance());
    FDisplay.SetSampleBlockMode(ActionViewSampleBlocks.Checked());
}

void TFormVantoraChart::ReadRecord() { FDoc.ReadRecord(); }

void TFormVantoraChart::InitInfoList() {
    SyncDisplay();
    FDisplay.InitInfoList();
    UpdateInfo();
}

void TFormVantoraChart::UpdateInfo() {
    SyncDisplay();
    FDisplay.UpdateInfo();
    InfoList->SetItems(FDisplay.Info().Rows());
    SampleBlockLabel->SetCaption(FDisplay.SampleBlockLabel());
}

void TFormVantoraChart::ClearSeries() { TRecordDisplay::ClearSeries(Chart1); }

void TFormVantoraChart::DrawRecord() {
    SyncDisplay();
    FDisplay.DrawRecord(Chart1);
    InfoList->SetItems(FDisplay.Info().Rows());
    SampleBlockLabel->SetCaption(FDisplay.SampleBlockLabel());
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
    FDisplay.SetPointSize(Chart1, size);
    FPointSize = FDisplay.PointSize();
}

void TFormVantoraChart::SetSampleBlocks(bool on) {
    if (ActionViewSampleBlocks.Checked() == on) return;
    ActionViewSampleBlocks.SetChecked(on);
    SampleBlockPanel->SetVisible(on);
    ActionViewPrevSampleBlock.SetVisible(on);
    ActionViewNextSampleBlock.SetVisible(on);
    DrawRecord();
}

void TFormVantoraChart::AxisAction(TAction& action, TAxisX) {
    action.SetChecked(true);
    DrawRecord();
    FDisplay.ApplyAxis(Chart1);
}

void TFormVantoraChart::EnhanceAction(TAction& action) {
    action.SetChecked(true);
    DrawRecord();
}

// ---------------------------------------------------------------- clipboard

std::string TFormVantoraChart::SelectedValueText() const {
    const int index = InfoList->ItemIndex();
    const std::vector<std::string>& rows = InfoList->Items();
    if (index < 0 || index >= static_cast<int>(rows.size())) return {};
    return RowValueForCopy(rows[static_cast<std::size_t>(index)]);
}

std::string TFormVantoraChart::DataText() const { return TRecordDisplay::DataText(Chart1); }

void TFormVantoraChart::CreateRecordActions() {
    On(ActionCopyToClipboard, [this] {
        if (FDoc.IsOpen()) ClipboardSetText(SelectedValueText());
    });
    On(ActionCopyInfoList, [this] { ClipboardSetText(FDisplay.Info().Text()); });
    // All blocks go to the clipboard at once: setting it per block would
    // leave only the last one there.
    On(ActionDataToClipboard, [this] {
        if (!FDoc.IsOpen()) return;
        ClipboardSetText(DataText());
        Form.SetStatusText("Copied to clipboard");
    });
    On(ActionFind, [this] {
        if (!FDoc.IsOpen()) return;
        if (!FormFind) {
            FormFind = std::make_unique<TFindDialog>();
            // Under the window's own error funnel, like every action.
            FormFind->OnFind = [this] { Run([this] { FormFindFind(); }); };
        }
        FormFind->Show();
    });
}

// ---------------------------------------------------------------- find

void TFormVantoraChart::FormFindFind() {
    if (!FDoc.IsOpen() || FBusy || !FormFind) return;
    const std::string text = FormFind->Text();
    // A jump that fails says so in the message box only; the status tells of searches.
    const TFindTarget target = ClassifyFindText(text, FDoc.Record.RecordNo, FDoc.FLastRecord);
    switch (target.Kind) {
    case TFindKind::Record:
        SeekAndShow(target.Record);
        break;
    case TFindKind::InternalTime:
        SeekTimeAndShow(target.Time);
        break;
    case TFindKind::ExternalTime:
        SeekTimeExternalAndShow(target.Time);
        break;
    case TFindKind::Expression:
        try {
            SearchExpression(text);
        } catch (const std::exception& e) {
            Form.SetStatusText("Search failed: " + MessageText(e));
            throw;
        }
        break;
    }
}

void TFormVantoraChart::SearchExpression(const std::string& text) {
    TrackBar->SetPosition(0);
    TrackLabel->SetCaption("0%");
    TrackPanel->SetVisible(true);
    SetBusy(true);
    FormFind->SetFindEnabled(false);
    const TCurrentRecord shown = FDoc.Record;
    auto done = [this] {
        TrackPanel->SetVisible(false);
        SetBusy(false);
        FormFind->SetFindEnabled(true);
    };
    try {
        const TFindExpression expression(ParseExpression(text));
        TExpressionSearch search(
            [this] {
                ReadRecord();
                return FieldsOf(FDoc.Record);
            },
            [this](int percent) {
                bool abort = false;
                TrackHandler(nullptr, percent, abort);
                return abort;
            });
        const TSearchResult result = search.Run(expression, FDoc.FLastRecord);
        if (FDoc.Record.Valid) DrawRecord();
        Form.SetStatusText(SearchResultText(result));
    } catch (...) {
        done();
        // A search that fails (a damaged record) leaves the shot that was on
        // screen there, not one it read without showing it, and the reader
        // with it, so that the keys step on from that shot.
        const bool moved = FDoc.Record.Valid != shown.Valid || FDoc.Record.RecordNo != shown.RecordNo;
        PutReaderBack(shown);
        if (moved) DrawRecord();
        throw;
    }
    done();
}

// The shot is read once more, so that the reader stands behind it as after
// any read. The failure that brought us here is the one to report; one in
// putting the reader back leaves the shot on screen all the same.
void TFormVantoraChart::PutReaderBack(const TCurrentRecord& shown) noexcept {
    try {
        if (shown.Valid) {
            FDoc.SeekRecord(shown.RecordNo);
            ReadRecord();
        }
    } catch (...) {
    }
    FDoc.Record = shown;
}
