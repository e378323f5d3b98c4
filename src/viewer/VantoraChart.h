#pragma once
// The viewer's main window: a chart of one laser shot per channel, an info
// panel, the tool bar with progress and sample-block panels, and the status
// bar. The window's state (open file, current record, busy state, settings)
// drives which actions are enabled; every user action runs under one error
// funnel that shows the exception's message through the dialogs.

#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "Actions.h"
#include "Chart.h"
#include "FindDialog.h"
#include "Forms.h"
#include "RecordDisplay.h"
#include "VantoraDialogs.h"
#include "VantoraDocument.h"
#include "VantoraSettings.h"

class TFormVantoraTrace;

// The chart's narrowest width: two time-stamp labels side by side.
inline constexpr int ChartMinimumWidth = 240;

// The action names in the order of the window's table; the enable table and
// the tests refer to them.
struct TVantoraActionState {
    const char* Name;
    // Enabled when: not busy, not busy and a file open, busy, or left as is.
    enum TRule { NotBusy, NotBusyAndOpen, Busy, Unchanged } Rule;
};
// The enabled state each action takes in SetBusy; Unchanged for the rest.
TVantoraActionState::TRule EnableRule(const std::string& actionName);
bool EnabledByRule(TVantoraActionState::TRule rule, bool busy, bool open, bool current);

class TFormVantoraChart {
public:
    // settingsDialogs: the dialogs to use (not owned). libraryFolder: where the
    // backend libraries lie; empty: beside the program.
    TFormVantoraChart(TVantoraDialogs& dialogs, std::string libraryFolder = {});
    virtual ~TFormVantoraChart();
    TFormVantoraChart(const TFormVantoraChart&) = delete;
    TFormVantoraChart& operator=(const TFormVantoraChart&) = delete;

    // Operations of the window.
    void OpenFile(const std::string& path);
    void CloseFile();
    void ReindexFile();
    void SetBusy(bool busy);
    void SetRawMode(bool on);
    void TrackHandler(TWaveFile* sender, std::int32_t percent, bool& abort);
    void TraceHandler(TWaveFile* sender, const std::string& text);
    void LoadSettings(const std::string& path);
    void SaveSettings(const std::string& path);
    void SetInfoPanel(bool on);
    void SetSampleBlocks(bool on);
    void SetPointSize(int size);
    void SetTraceWindow(TFormVantoraTrace* trace) { FTrace = trace; }

    // The record display: read the shot at the reader's position, show it,
    // fill the info list.
    void ReadRecord();
    void DrawRecord();
    void UpdateInfo();
    void InitInfoList();
    void ClearSeries();
    void SeekAndShow(std::int64_t n);
    void SeekTimeAndShow(double t);
    void SeekTimeExternalAndShow(double t);
    // The find dialog's "Find next": a jump or an expression search.
    void FormFindFind();
    // The clipboard texts of the three copy actions.
    std::string SelectedValueText() const;
    std::string DataText() const;
    const TRecordDisplay& Display() const { return FDisplay; }

    // Runs fn under the window's error funnel: a failure ends in the message box.
    void Run(const std::function<void()>& fn) noexcept;

    bool Busy() const { return FBusy; }
    bool Cancel() const { return FCancel; }
    int PointSize() const { return FPointSize; }
    const std::string& Version() const { return FVersion; }
    const std::string& SettingsPath() const { return FSettingsPath; }
    TVantoraDocument& Document() { return FDoc; }
    TAxisX AxisX() const;
    TEnhance Enhance() const;

    TForm Form;
    TActionList ActionList1;
    TAction& ActionFileOpen;
    TAction& ActionFileClose;
    TAction& ActionFileIndex;
    TAction& ActionFileInfo;
    TAction& ActionFileQuit;
    TAction& ActionFind;
    TAction& ActionGotoPrev;
    TAction& ActionGotoNext;
    TAction& ActionCopyToClipboard;
    TAction& ActionDataToClipboard;
    TAction& ActionCopyInfoList;
    TAction& ActionModeRawData;
    TAction& ActionViewAxisX_TimeStamp;
    TAction& ActionViewAxisX_RawRange;
    TAction& ActionViewAxisX_RangeGate;
    TAction& ActionViewSampleBlocks;
    TAction& ActionViewPrevSampleBlock;
    TAction& ActionViewNextSampleBlock;
    TAction& ActionViewEnhanceNone;
    TAction& ActionViewEnhanceLinear;
    TAction& ActionViewEnhanceSmooth;
    TAction& ActionViewInfoPanel;
    TAction& ActionViewPointSizeIncrement;
    TAction& ActionViewPointSizeDecrement;
    TAction& ActionViewTraceList;
    TAction& ActionInfoAbout;
    TAction& ActionCancel;

    // File, Edit, View and "?", in this order.
    std::vector<TMenu*> Menubar;
    TChart Chart1;
    std::unique_ptr<TPanel> ClientPanel;
    std::unique_ptr<TSplitter> InfoSplit;
    std::unique_ptr<TChartHost> ChartHost;
    std::unique_ptr<TPanel> InfoPanel;
    std::unique_ptr<TListBox> InfoList;
    std::unique_ptr<TMenu> MenuInfoList;
    std::unique_ptr<TPanel> LegendPanel;
    std::vector<std::unique_ptr<TPanel>> LegendRows;
    std::vector<std::unique_ptr<TLabel>> LegendLabels;
    std::unique_ptr<TPanel> TrackPanel;
    std::unique_ptr<TProgressBar> TrackBar;
    std::unique_ptr<TLabel> TrackLabel;
    std::unique_ptr<TButton> sbtnCancel;
    std::unique_ptr<TPanel> SampleBlockPanel;
    std::unique_ptr<TLabel> SampleBlockLabel;
    std::unique_ptr<TButton> sbtnViewPrevSampleBlock;
    std::unique_ptr<TButton> sbtnViewNextSampleBlock;
    std::unique_ptr<TFindDialog> FormFind;

    static constexpr const char* OpenFilter =
        "Supported formats|*.kqm;*.hxt|Sample data files (*.kqm)|*.kqm|Waveform files (*.hxt)|*.hxt|All files "
        "(*.*)|*.*";

protected:
    void FormCreate();
    bool FormCloseQuery();
    void FormClose();
    bool FormKeyDown(int key, TShortCut shift);
    TVantoraDialogs& FDialogs;
    TVantoraDocument FDoc;
    TFormVantoraTrace* FTrace = nullptr;
    // Shows FDoc's current record.
    TRecordDisplay FDisplay{FDoc.Record};

private:
    void CreateActions();
    void CreateMenus();
    void CreateToolBar();
    void CreateClient();
    void DrawInfoItem(TCanvas& canvas, int index, const TRect& rect);
    void ShowHeader();
    void ShowAbout();
    void AxisAction(TAction& action, TAxisX axis);
    void EnhanceAction(TAction& action);
    // The record display's actions (find, clipboard).
    void CreateRecordActions();
    // Hands the open file's values to the display.
    void SyncDisplay();
    void SearchExpression(const std::string& text);
    void PutReaderBack(const TCurrentRecord& shown) noexcept;
    void ShowAgain(const TCurrentRecord& shown) noexcept;
    // The action's handler runs under the error funnel.
    void On(TAction& action, std::function<void()> fn);

    std::string FVersion = "0.9.7";
    std::string FSettingsPath;
    // Where the open dialog starts: the folder of the recording opened or
    // chosen last in this session (the settings file keeps no folder).
    std::string FLastFolder;
    int FPointSize = 1;
    bool FCancel = false;
    bool FBusy = false;
};
