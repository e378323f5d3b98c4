#include "VantoraChart.h"

#include <cstdio>
#include <filesystem>

#include "Exception.h"
#include "Format.h"
#include "IniFile.h"
#include "LibraryText.h"
#include "StrUtils.h"
#include "VantoraTrace.h"

namespace {

constexpr std::uint32_t RawModeKey = 0x00574152;

const TVantoraActionState ActionStates[] = {
    {"ActionFileOpen", TVantoraActionState::NotBusy},
    {"ActionFileQuit", TVantoraActionState::NotBusy},
    {"ActionFileClose", TVantoraActionState::NotBusyAndOpen},
    {"ActionFileInfo", TVantoraActionState::NotBusyAndOpen},
    {"ActionFileIndex", TVantoraActionState::NotBusyAndOpen},
    {"ActionGotoPrev", TVantoraActionState::NotBusyAndOpen},
    {"ActionGotoNext", TVantoraActionState::NotBusyAndOpen},
    {"ActionFind", TVantoraActionState::NotBusyAndOpen},
    {"ActionCopyToClipboard", TVantoraActionState::NotBusyAndOpen},
    {"ActionViewNextSampleBlock", TVantoraActionState::NotBusyAndOpen},
    {"ActionViewPrevSampleBlock", TVantoraActionState::NotBusyAndOpen},
    // Both call into the backend; the backend must never be re-entered from
    // inside its own progress report.
    {"ActionModeRawData", TVantoraActionState::NotBusy},
    {"ActionInfoAbout", TVantoraActionState::NotBusy},
    {"ActionCancel", TVantoraActionState::Busy},
};

// The text, shortened with "..." where it is wider than room, so that a name
// never runs into the value beside it.
std::string FitText(TCanvas& canvas, const std::string& text, int room) {
    if (canvas.TextWidth(text) <= room) return text;
    std::string cut = text;
    while (!cut.empty() && canvas.TextWidth(cut + "...") > room) cut.pop_back();
    return cut.empty() ? std::string() : cut + "...";
}

// The folder of a file, as an absolute path: the open dialog starts there
// whatever the working folder is then.
std::string FolderOf(const std::string& path) {
    std::error_code ec;
    const std::filesystem::path full = std::filesystem::absolute(path, ec);
    return (ec ? std::filesystem::path(path) : full).parent_path().string();
}

}  // namespace

TVantoraActionState::TRule EnableRule(const std::string& actionName) {
    for (const TVantoraActionState& s : ActionStates)
        if (actionName == s.Name) return s.Rule;
    return TVantoraActionState::Unchanged;
}

bool EnabledByRule(TVantoraActionState::TRule rule, bool busy, bool open, bool current) {
    switch (rule) {
    case TVantoraActionState::NotBusy:
        return !busy;
    case TVantoraActionState::NotBusyAndOpen:
        return !busy && open;
    case TVantoraActionState::Busy:
        return busy;
    case TVantoraActionState::Unchanged:
        break;
    }
    return current;
}

TFormVantoraChart::TFormVantoraChart(TVantoraDialogs& dialogs, std::string libraryFolder)
    : Form(true),
      ActionFileOpen(ActionList1.Add("ActionFileOpen", "&Open...", scCtrl | 'O')),
      ActionFileClose(ActionList1.Add("ActionFileClose", "&Close")),
      ActionFileIndex(ActionList1.Add("ActionFileIndex", "&Index...")),
      ActionFileInfo(ActionList1.Add("ActionFileInfo", "&Header")),
      ActionFileQuit(ActionList1.Add("ActionFileQuit", "&Quit", scCtrl | 'Q')),
      ActionFind(ActionList1.Add("ActionFind", "&Find...", scCtrl | 'F')),
      ActionGotoPrev(ActionList1.Add("ActionGotoPrev", "&Previous", VK_LEFT)),
      ActionGotoNext(ActionList1.Add("ActionGotoNext", "&Next", VK_RIGHT)),
      ActionCopyToClipboard(ActionList1.Add("ActionCopyToClipboard", "&Copy to clipboard", scCtrl | 'C')),
      ActionDataToClipboard(ActionList1.Add("ActionDataToClipboard", "&Data to clipboard", scCtrl | 'D')),
      ActionCopyInfoList(ActionList1.Add("ActionCopyInfoList", "Copy all values")),
      ActionModeRawData(ActionList1.Add("ActionModeRawData", "&Raw data mode", scCtrl | scAlt | 'R')),
      ActionViewAxisX_TimeStamp(ActionList1.Add("ActionViewAxisX_TimeStamp", "Axis X: &Time stamp [sec]")),
      ActionViewAxisX_RawRange(ActionList1.Add("ActionViewAxisX_RawRange", "Axis X: &Raw range [m]")),
      ActionViewAxisX_RangeGate(ActionList1.Add("ActionViewAxisX_RangeGate", "Axis X: Range &gate index")),
      ActionViewSampleBlocks(ActionList1.Add("ActionViewSampleBlocks", "&Sample blocks")),
      ActionViewPrevSampleBlock(ActionList1.Add("ActionViewPrevSampleBlock", "   &Previous sample block", VK_UP)),
      ActionViewNextSampleBlock(ActionList1.Add("ActionViewNextSampleBlock", "   &Next sample block", VK_DOWN)),
      ActionViewEnhanceNone(ActionList1.Add("ActionViewEnhanceNone", "&No enhancement")),
      ActionViewEnhanceLinear(ActionList1.Add("ActionViewEnhanceLinear", "&Linear interpolation")),
      ActionViewEnhanceSmooth(ActionList1.Add("ActionViewEnhanceSmooth", "&Smooth")),
      ActionViewInfoPanel(ActionList1.Add("ActionViewInfoPanel", "&Information panel")),
      ActionViewPointSizeIncrement(ActionList1.Add("ActionViewPointSizeIncrement", "Point size increment", VK_ADD)),
      ActionViewPointSizeDecrement(
          ActionList1.Add("ActionViewPointSizeDecrement", "Point size decrement", VK_SUBTRACT)),
      ActionViewTraceList(ActionList1.Add("ActionViewTraceList", "&Trace list", scCtrl | scAlt | 'T')),
      ActionInfoAbout(ActionList1.Add("ActionInfoAbout", "&About")),
      ActionCancel(ActionList1.Add("ActionCancel", "Cancel")),
      Chart1(nullptr),
      FDialogs(dialogs),
      FDoc(std::move(libraryFolder)) {
    CreateActions();
    CreateClient();
    CreateToolBar();
    CreateMenus();
    Form.SetActionList(&ActionList1);
    Form.OnKeyDown = [this](int key, TShortCut shift) { return FormKeyDown(key, shift); };
    Form.OnCloseQuery = [this] { return FormCloseQuery(); };
    Form.OnClose = [this] { FormClose(); };
    Form.OnResize = [this] { InfoList->Repaint(); };
    FormCreate();
}

TFormVantoraChart::~TFormVantoraChart() {
    Form.OnCloseQuery = nullptr;
    Form.OnClose = nullptr;
    Form.OnResize = nullptr;
    Form.OnKeyDown = nullptr;
    Form.SetActionList(nullptr);
    ClearSeries();
}

void TFormVantoraChart::Run(const std::function<void()>& fn) noexcept {
    try {
        fn();
    } catch (const std::exception& e) {
        try {
            FDialogs.Message(MessageText(e));
        } catch (...) {
            std::fprintf(stderr, "%s\n", e.what());
        }
    }
}

void TFormVantoraChart::On(TAction& action, std::function<void()> fn) {
    action.OnExecute = [this, fn = std::move(fn)] { Run(fn); };
}

void TFormVantoraChart::CreateActions() {
    On(ActionFileOpen, [this] {
        std::string path = FLastFolder;
        if (!FDialogs.OpenFileName(path, "Open...", OpenFilter)) return;
        FLastFolder = FolderOf(path);
        OpenFile(path);
    });
    On(ActionFileClose, [this] { CloseFile(); });
    On(ActionFileIndex, [this] {
        if (!FDoc.IsOpen()) return;
        if (FDialogs.Confirm("(Re)index file " + FDoc.Path() + "?")) ReindexFile();
    });
    On(ActionFileInfo, [this] { ShowHeader(); });
    On(ActionFileQuit, [this] { Form.Close(); });
    // The find dialog comes with the record display; the action and its enable rule are here.
    On(ActionGotoPrev, [this] {
        if (!FDoc.IsOpen()) return;
        // With no shot on screen there is nothing to go back from: Previous
        // shows the first shot, as Next does then.
        SeekAndShow(FDoc.Record.Valid ? std::int64_t(FDoc.Record.RecordNo) - 1 : 1);
    });
    On(ActionGotoNext, [this] {
        if (!FDoc.IsOpen()) return;
        ReadRecord();
        DrawRecord();
    });
    ActionDataToClipboard.SetVisible(false);
    ActionModeRawData.SetVisible(false);
    ActionModeRawData.SetCheckable(true);
    On(ActionModeRawData, [this] {
        ActionModeRawData.SetVisible(true);
        SetRawMode(!ActionModeRawData.Checked());
    });
    for (TAction* a : {&ActionViewAxisX_TimeStamp, &ActionViewAxisX_RawRange, &ActionViewAxisX_RangeGate})
        a->SetGroupIndex(1);
    On(ActionViewAxisX_TimeStamp, [this] { AxisAction(ActionViewAxisX_TimeStamp, TAxisX::TimeStamp); });
    On(ActionViewAxisX_RawRange, [this] { AxisAction(ActionViewAxisX_RawRange, TAxisX::RawRange); });
    On(ActionViewAxisX_RangeGate, [this] { AxisAction(ActionViewAxisX_RangeGate, TAxisX::RangeGate); });
    ActionViewSampleBlocks.SetCheckable(true);
    On(ActionViewSampleBlocks, [this] { SetSampleBlocks(!ActionViewSampleBlocks.Checked()); });
    ActionViewPrevSampleBlock.SetVisible(false);
    ActionViewNextSampleBlock.SetVisible(false);
    On(ActionViewPrevSampleBlock, [this] {
        if (!FDoc.IsOpen() || !FDoc.Record.Valid || FDoc.Record.SelectedBlock <= 0) return;
        --FDoc.Record.SelectedBlock;
        DrawRecord();
    });
    On(ActionViewNextSampleBlock, [this] {
        if (!FDoc.IsOpen() || !FDoc.Record.Valid) return;
        if (FDoc.Record.SelectedBlock >= int(FDoc.Record.Blocks.size()) - 1) return;
        ++FDoc.Record.SelectedBlock;
        DrawRecord();
    });
    for (TAction* a : {&ActionViewEnhanceNone, &ActionViewEnhanceLinear, &ActionViewEnhanceSmooth}) a->SetGroupIndex(2);
    ActionViewEnhanceNone.SetChecked(true);
    On(ActionViewEnhanceNone, [this] { EnhanceAction(ActionViewEnhanceNone); });
    On(ActionViewEnhanceLinear, [this] { EnhanceAction(ActionViewEnhanceLinear); });
    On(ActionViewEnhanceSmooth, [this] { EnhanceAction(ActionViewEnhanceSmooth); });
    ActionViewInfoPanel.SetCheckable(true);
    ActionViewInfoPanel.SetChecked(true);
    On(ActionViewInfoPanel, [this] { SetInfoPanel(!ActionViewInfoPanel.Checked()); });
    On(ActionViewPointSizeIncrement, [this] { SetPointSize(FPointSize + 1); });
    On(ActionViewPointSizeDecrement, [this] { SetPointSize(FPointSize - 1); });
    ActionViewTraceList.SetVisible(false);
    On(ActionViewTraceList, [this] {
        if (FTrace) FTrace->Show();
    });
    On(ActionInfoAbout, [this] { ShowAbout(); });
    On(ActionCancel, [this] { FCancel = true; });
    CreateRecordActions();
}

void TFormVantoraChart::CreateMenus() {
    TMenu& file = Form.AddMenu("&File");
    file.AddAction(ActionFileOpen);
    file.AddAction(ActionFileClose);
    file.AddSeparator();
    file.AddAction(ActionFileIndex);
    file.AddAction(ActionFileInfo);
    file.AddSeparator();
    file.AddAction(ActionFileQuit);
    TMenu& edit = Form.AddMenu("&Edit");
    edit.AddAction(ActionFind);
    edit.AddSeparator();
    edit.AddAction(ActionGotoPrev);
    edit.AddAction(ActionGotoNext);
    edit.AddSeparator();
    edit.AddAction(ActionCopyToClipboard);
    edit.AddAction(ActionDataToClipboard);
    edit.AddAction(ActionModeRawData);
    TMenu& view = Form.AddMenu("&View");
    view.AddAction(ActionViewAxisX_TimeStamp);
    view.AddAction(ActionViewAxisX_RawRange);
    view.AddAction(ActionViewAxisX_RangeGate);
    view.AddSeparator();
    view.AddAction(ActionViewSampleBlocks);
    view.AddAction(ActionViewPrevSampleBlock);
    view.AddAction(ActionViewNextSampleBlock);
    view.AddSeparator();
    view.AddAction(ActionViewEnhanceNone);
    view.AddAction(ActionViewEnhanceLinear);
    view.AddAction(ActionViewEnhanceSmooth);
    view.AddSeparator();
    view.AddAction(ActionViewInfoPanel);
    TMenu& help = Form.AddMenu("?");
    help.AddAction(ActionInfoAbout);
    Menubar = {&file, &edit, &view, &help};
    // Hidden until used, yet their shortcuts work: they sit in no menu of their own.
    MenuInfoList = std::make_unique<TMenu>();
    MenuInfoList->AddAction(ActionCopyToClipboard);
    MenuInfoList->AddAction(ActionCopyInfoList);
    InfoList->SetPopupMenu(*MenuInfoList);
}

void TFormVantoraChart::CreateToolBar() {
    TToolBar& bar = Form.ToolBar();
    bar.AddAction(ActionFileOpen);
    bar.AddAction(ActionFileInfo);
    bar.AddAction(ActionFileIndex);
    TrackPanel = std::make_unique<TPanel>(nullptr, false, 2, 4);
    TrackBar = std::make_unique<TProgressBar>(TrackPanel.get());
    TrackLabel = std::make_unique<TLabel>(TrackPanel.get(), "0%");
    TrackLabel->SetWidth(36);
    TrackLabel->SetAlignment(talRight);
    sbtnCancel = std::make_unique<TButton>(TrackPanel.get(), ActionCancel);
    TrackPanel->Add(*TrackBar, 1);
    TrackPanel->Add(*TrackLabel);
    TrackPanel->Add(*sbtnCancel);
    TrackPanel->SetWidth(235);
    bar.AddControl(*TrackPanel);
    TrackPanel->SetVisible(false);
    bar.AddSeparator();
    bar.AddAction(ActionGotoPrev);
    bar.AddAction(ActionGotoNext);
    bar.AddAction(ActionFind);
    bar.AddSeparator();
    bar.AddAction(ActionViewSampleBlocks);
    SampleBlockPanel = std::make_unique<TPanel>(nullptr, false, 0, 2);
    SampleBlockLabel = std::make_unique<TLabel>(SampleBlockPanel.get(), "(none)");
    SampleBlockLabel->SetAlignment(talCenter);
    sbtnViewPrevSampleBlock = std::make_unique<TButton>(SampleBlockPanel.get(), ActionViewPrevSampleBlock, "<");
    sbtnViewNextSampleBlock = std::make_unique<TButton>(SampleBlockPanel.get(), ActionViewNextSampleBlock, ">");
    SampleBlockPanel->Add(*SampleBlockLabel, 1);
    SampleBlockPanel->Add(*sbtnViewPrevSampleBlock);
    SampleBlockPanel->Add(*sbtnViewNextSampleBlock);
    // Narrow arrows leave the label of the panel's 83 pixels room for "32 of 32".
    sbtnViewPrevSampleBlock->SetWidth(16);
    sbtnViewNextSampleBlock->SetWidth(16);
    SampleBlockPanel->SetWidth(83);
    bar.AddControl(*SampleBlockPanel);
    SampleBlockPanel->SetVisible(false);
    bar.AddSeparator();
    bar.AddAction(ActionInfoAbout);
}

void TFormVantoraChart::CreateClient() {
    ClientPanel = std::make_unique<TPanel>(&Form.Client(), false);
    InfoSplit = std::make_unique<TSplitter>(ClientPanel.get());
    ChartHost = std::make_unique<TChartHost>(InfoSplit.get(), Chart1);
    // Room for labels on the bottom axis however narrow the window gets: the
    // info panel gives way first.
    ChartHost->SetMinimumWidth(ChartMinimumWidth);
    InfoPanel = std::make_unique<TPanel>(InfoSplit.get(), true, 0, 4);
    InfoList = std::make_unique<TListBox>(InfoPanel.get(), 17);
    InfoList->SetColor(clBtnFace);
    InfoList->OnDrawItem = [this](TCanvas& c, int i, const TRect& r, bool) { DrawInfoItem(c, i, r); };
    LegendPanel = std::make_unique<TPanel>(InfoPanel.get(), true, 6, 4);
    const std::pair<const char*, TColor> legend[] = {
        {"High Power Channel", clRed}, {"Low Power Channel", clGreen}, {"Reference Pulse Channel", clNavy}};
    for (const auto& [text, color] : legend) {
        auto row = std::make_unique<TPanel>(LegendPanel.get(), false, 0, 6);
        auto square = std::make_unique<TLabel>(row.get());
        square->SetFixedSize(12, 12);
        square->SetBackColor(color);
        auto label = std::make_unique<TLabel>(row.get(), text);
        row->Add(*square);
        row->Add(*label, 1);
        LegendPanel->Add(*row);
        LegendLabels.push_back(std::move(square));
        LegendLabels.push_back(std::move(label));
        LegendRows.push_back(std::move(row));
    }
    InfoPanel->Add(*InfoList, 1);
    InfoPanel->Add(*LegendPanel);
    InfoSplit->Add(*ChartHost, true);
    InfoSplit->Add(*InfoPanel, false);
    InfoSplit->SetSizes({600, 230});
    ClientPanel->Add(*InfoSplit, 1);
    Form.AddToClient(*ClientPanel);
    ClientPanel->SetVisible(false);
}

void TFormVantoraChart::FormCreate() {
    TrackPanel->SetVisible(false);
    SampleBlockPanel->SetVisible(false);
    Form.SetCaption("VantoraChart " + FVersion);
    FCancel = false;
    FSettingsPath.clear();
    SetupViewerChart(Chart1);
    SetBusy(false);
    ClearSeries();
    ActionViewAxisX_TimeStamp.SetChecked(true);
    ActionViewAxisX_TimeStamp.Execute();
}

TAxisX TFormVantoraChart::AxisX() const {
    if (ActionViewAxisX_RawRange.Checked()) return TAxisX::RawRange;
    if (ActionViewAxisX_RangeGate.Checked()) return TAxisX::RangeGate;
    return TAxisX::TimeStamp;
}

TEnhance TFormVantoraChart::Enhance() const {
    if (ActionViewEnhanceLinear.Checked()) return TEnhance::Linear;
    if (ActionViewEnhanceSmooth.Checked()) return TEnhance::Smooth;
    return TEnhance::None;
}

void TFormVantoraChart::OpenFile(const std::string& path) {
    if (FDoc.IsOpen() && FDoc.IsSameFile(path)) return;
    if (FDoc.IsOpen()) CloseFile();
    ClientPanel->SetVisible(true);
    try {
        FDoc.Open(
            path, [this](TWaveFile* s, std::int32_t p, bool& a) { TrackHandler(s, p, a); },
            [this](TWaveFile* s, const std::string& t) { TraceHandler(s, t); });
        Form.SetStatusText("File '" + path + "' opened");
        FDoc.Probe();
        SetBusy(false);
        InitInfoList();
        FLastFolder = FolderOf(path);
    } catch (...) {
        FDoc.Close();
        ClientPanel->SetVisible(false);
        SetBusy(false);
        throw;
    }
}

void TFormVantoraChart::CloseFile() {
    if (!FDoc.IsOpen()) return;
    Form.SetStatusText("File '" + FDoc.Path() + "' closed");
    // The record and its series go with the file, so no shot of it is ever shown beside another file's values.
    FDoc.Close();
    ClearSeries();
    SetBusy(false);
    ClientPanel->SetVisible(false);
}

void TFormVantoraChart::ReindexFile() {
    if (!FDoc.IsOpen()) throw Exception("No file!");
    TrackBar->SetPosition(0);
    TrackLabel->SetCaption("0%");
    TrackPanel->SetVisible(true);
    SetBusy(true);
    Form.SetStatusText("Index creation started");
    const TCurrentRecord shown = FDoc.Record;
    try {
        FDoc.File().Reindex();
    } catch (...) {
        TrackPanel->SetVisible(false);
        SetBusy(false);
        Form.SetStatusText("Index creation failed");
        ShowAgain(shown);
        throw;
    }
    TrackPanel->SetVisible(false);
    SetBusy(false);
    Form.SetStatusText("Index creation successfully finished");
    // The new index may hold another record count and time range.
    FDoc.Probe();
    ShowAgain(shown);
}

// Building the index moves the reader, successful or not. The shot that was
// shown is read again through the index now in place, so that its values are
// the index's and Next and Previous go on from it; when it cannot be read,
// the values it had stay. With nothing shown the reader starts at record 1.
void TFormVantoraChart::ShowAgain(const TCurrentRecord& shown) noexcept {
    Run([&] {
        if (!shown.Valid) {
            FDoc.Record = shown;
            UpdateInfo();
            return;
        }
        try {
            FDoc.SeekRecord(shown.RecordNo);
            ReadRecord();
        } catch (...) {
            FDoc.Record = shown;
        }
        DrawRecord();
    });
}

void TFormVantoraChart::SetBusy(bool busy) {
    if (busy) FCancel = false;
    const bool open = FDoc.IsOpen();
    for (int i = 0; i < ActionList1.Count(); ++i) {
        TAction& a = ActionList1.Item(i);
        a.SetEnabled(EnabledByRule(EnableRule(a.Name()), busy, open, a.Enabled()));
    }
    FBusy = busy;
}

void TFormVantoraChart::SetRawMode(bool on) {
    if (!FDoc.IsOpen() || FBusy) return;
    TWaveFile& file = FDoc.File();
    if (!file.FWaveIntf || !file.FWaveIntf->SetModeInt) return;
    const bool before = ActionModeRawData.Checked();
    ActionModeRawData.SetChecked(on);
    const std::int32_t rc = file.FWaveIntf->SetModeInt(file.FHandle, RawModeKey, on ? 1 : 0);
    if (rc != 0) {
        // The mark shows the backend's mode, which the refused call left as it was.
        ActionModeRawData.SetChecked(before);
        file.Exec(rc);
    }
}

void TFormVantoraChart::TrackHandler(TWaveFile*, std::int32_t percent, bool& abort) {
    TrackBar->SetPosition(percent);
    TrackLabel->SetCaption(std::to_string(percent) + "%");
    TApplication::ProcessMessages();
    if (FCancel) abort = true;
}

void TFormVantoraChart::TraceHandler(TWaveFile*, const std::string& text) {
    if (FTrace) FTrace->AddLine(text);
}

void TFormVantoraChart::LoadSettings(const std::string& path) {
    const std::string p = path.empty() ? FSettingsPath : path;
    if (p.empty()) return;
    const TIniFile ini(p);
    const TSettingsRead r = ReadSettings(ini);
    for (TAxisX axis : r.AxisRuns) {
        TAction& a = axis == TAxisX::RawRange    ? ActionViewAxisX_RawRange
                     : axis == TAxisX::RangeGate ? ActionViewAxisX_RangeGate
                                                 : ActionViewAxisX_TimeStamp;
        a.Execute();
    }
    for (TEnhance e : r.EnhanceRuns) {
        TAction& a = e == TEnhance::Linear   ? ActionViewEnhanceLinear
                     : e == TEnhance::Smooth ? ActionViewEnhanceSmooth
                                             : ActionViewEnhanceNone;
        a.Execute();
    }
    SetInfoPanel(r.InfoPanel);
    SetSampleBlocks(r.SampleBlocks);
    if (r.PointSize > 0) SetPointSize(r.PointSize);
    const TRect b = ClampWindowBounds(r.Left, r.Top, r.Width, r.Height, TApplication::WorkArea());
    Form.SetBounds(b.Left, b.Top, b.Width(), b.Height());
    FSettingsPath = p;
}

void TFormVantoraChart::SaveSettings(const std::string& path) {
    const std::string p = path.empty() ? FSettingsPath : path;
    if (p.empty()) return;
    TIniFile ini(p);
    TSettingsValues v;
    v.Axis = AxisX();
    v.Enhance = Enhance();
    v.InfoPanel = InfoPanel->Visible();
    v.SampleBlocks = ActionViewSampleBlocks.Checked();
    v.PointSize = FPointSize;
    v.Left = Form.Left();
    v.Top = Form.Top();
    v.Height = Form.Height();
    v.Width = Form.Width();
    WriteSettings(ini, v);
    // The user's configuration folder need not exist yet.
    std::error_code ec;
    std::filesystem::create_directories(std::filesystem::path(p).parent_path(), ec);
    ini.UpdateFile();
    FSettingsPath = p;
}

void TFormVantoraChart::SetInfoPanel(bool on) {
    InfoPanel->SetVisible(on);
    ActionViewInfoPanel.SetChecked(on);
}

bool TFormVantoraChart::FormKeyDown(int key, TShortCut) {
    TAction* action = nullptr;
    switch (key) {
    case VK_ADD:
        action = &ActionViewPointSizeIncrement;
        break;
    case VK_SUBTRACT:
        action = &ActionViewPointSizeDecrement;
        break;
    case VK_LEFT:
        action = ActionGotoPrev.Visible() ? &ActionGotoPrev : nullptr;
        break;
    case VK_RIGHT:
        action = ActionGotoNext.Visible() ? &ActionGotoNext : nullptr;
        break;
    case VK_UP:
        action = ActionViewPrevSampleBlock.Visible() ? &ActionViewPrevSampleBlock : nullptr;
        break;
    case VK_DOWN:
        action = ActionViewNextSampleBlock.Visible() ? &ActionViewNextSampleBlock : nullptr;
        break;
    default:
        break;
    }
    if (!action) return false;
    action->Execute();  // runs only when enabled
    return true;
}

bool TFormVantoraChart::FormCloseQuery() { return !FBusy; }

void TFormVantoraChart::FormClose() {
    CloseFile();
    // The window closes all the same; the user learns why the settings are not kept.
    Run([this] { SaveSettings(FSettingsPath); });
}

void TFormVantoraChart::ShowHeader() {
    if (!FDoc.IsOpen()) return;
    FDialogs.ShowInfo(FDoc.HeaderRows());
}

void TFormVantoraChart::ShowAbout() {
    std::string library = "(no file loaded)";
    if (FDoc.IsOpen()) {
        std::uint16_t major = 0, minor = 0;
        std::string version, tag;
        FDoc.File().GetVersion(major, minor, version, tag);
        library = Format("%u.%u.%s (%s)", major, minor, LibraryText(version), LibraryText(tag));
    }
    FDialogs.ShowAbout(FVersion, library);
}

void TFormVantoraChart::DrawInfoItem(TCanvas& canvas, int index, const TRect& rect) {
    const std::vector<std::string>& items = InfoList->Items();
    if (index < 0 || index >= int(items.size())) return;
    const std::string& row = items[std::size_t(index)];
    const std::size_t eq = row.find('=');
    canvas.Brush().SetStyle(bsSolid);
    if (eq == std::string::npos) {
        canvas.Brush().SetColor(clSilver);
        canvas.FillRect(rect);
        canvas.TextOut(rect.Left + 2, rect.Top + 1, row);
        return;
    }
    canvas.Brush().SetColor(InfoList->Color());
    canvas.FillRect(rect);
    canvas.Pen().SetColor(clSilver);
    canvas.MoveTo(rect.Left + 2, rect.Bottom - 1);
    canvas.LineTo(rect.Right - 2, rect.Bottom - 1);
    const std::string name = row.substr(0, eq);
    const std::string value = row.substr(eq + 1);
    canvas.Brush().SetStyle(bsClear);
    const int valueLeft = rect.Right - 2 - canvas.TextWidth(value);
    canvas.TextOut(valueLeft, rect.Top + 1, value);
    const bool sameAsAbove = index > 0 && items[std::size_t(index - 1)].substr(0, eq + 1) == name + "=";
    if (!sameAsAbove)
        canvas.TextOut(rect.Left + 2, rect.Top + 1, FitText(canvas, name, valueLeft - 6 - (rect.Left + 2)));
}
