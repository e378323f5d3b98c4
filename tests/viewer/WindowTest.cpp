// The main window under the offscreen platform, driven through its actions,
// real key events and drops, with a dialogs double in place of the toolkit's.

#include <gtest/gtest.h>

#include <QApplication>
#include <QGuiApplication>
#include <QWindow>
#include <QDropEvent>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QProcess>
#include <QScreen>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <QHelpEvent>
#include <QToolTip>
#include <QTextDocument>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>
#include <QUrl>
#include <QWidget>
#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <functional>

#include "ChartAxis.h"
#include "IniFile.h"
#include "RecordingWriter.h"
#include "TempDir.h"
#include "VantoraMainUnit.h"
#include "VantoraTrace.h"
#include "ViewerTestSupport.h"

namespace {

const bool kApp = [] {
    static int argc = 1;
    static char name[] = "viewer_tests";
    static char* argv[] = {name, nullptr};
    TApplication::Initialize(argc, argv);
    return true;
}();

class Window : public ::testing::Test {
protected:
    void Make(std::vector<std::string> parameters = {}, std::string libraryFolder = {}) {
        ASSERT_TRUE(kApp);
        W = std::make_unique<TFormVantoraChart1>(Dialogs, std::move(parameters), Dir.File("Vantora.ini"),
                                                 std::move(libraryFolder));
    }
    void ShowAndSettle() {
        W->Form.Show();
        for (int i = 0; i < 3; ++i) QApplication::processEvents();
    }
    void Key(Qt::Key key, Qt::KeyboardModifiers mods = Qt::NoModifier) { QTest::keyClick(W->Form.Widget(), key, mods); }
    std::string Rec(int count = 20, bool index = true, const std::string& name = "rec.kqm") {
        const std::string path = Dir.File(name);
        WriteViewerRecording(path, count, index);
        return path;
    }
    const TCurrentRecord& Current() { return W->Document().Record; }
    // Types text into the find dialog and presses Enter, as a user does.
    void Find(const std::string& text) {
        if (!W->FormFind || !W->FormFind->Visible()) Key(Qt::Key_F, Qt::ControlModifier);
        ASSERT_TRUE(W->FormFind && W->FormFind->Visible());
        auto* edit = W->FormFind->Widget()->findChild<QLineEdit*>();
        edit->clear();
        QTest::keyClicks(edit, QString::fromStdString(text));
        QTest::keyClick(edit, Qt::Key_Return);
    }
    // The window shown with the trace window attached, and a recording of count shots open.
    void OpenWithTrace(TFormVantoraTrace& trace, int count) {
        const std::string path = Rec(count);
        Make();
        W->SetTraceWindow(&trace);
        ShowAndSettle();
        W->OpenFile(path);
    }
    void Drop(const std::vector<std::string>& names) {
        QMimeData mime;
        QList<QUrl> urls;
        for (const std::string& n : names) urls << QUrl::fromLocalFile(QString::fromStdString(n));
        mime.setUrls(urls);
        // As the toolkit delivers a drag: it enters the window, then drops.
        QDragEnterEvent enter(QPoint(50, 50), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(W->Form.Widget(), &enter);
        QDropEvent drop(QPointF(50, 50), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(W->Form.Widget(), &drop);
    }

    TTempDir Dir;
    TDialogsDouble Dialogs;
    std::unique_ptr<TFormVantoraChart1> W;
};

TEST_F(Window, StartsWithDefaultsAndWritesThemOnClose) {
    Make();
    EXPECT_EQ(W->Form.Caption(), "VantoraChart 0.9.7");
    EXPECT_TRUE(W->ActionViewAxisX_TimeStamp.Checked());
    EXPECT_TRUE(W->ActionViewEnhanceNone.Checked());
    ShowAndSettle();
    EXPECT_EQ(W->Form.Caption(), "Vantora 0.9.7");
    // No settings file: time-stamp axis, Linear interpolation, info panel, no sample blocks, size 1.
    EXPECT_TRUE(W->ActionViewAxisX_TimeStamp.Checked());
    EXPECT_TRUE(W->ActionViewEnhanceLinear.Checked());
    EXPECT_FALSE(W->ActionViewEnhanceNone.Checked());
    EXPECT_TRUE(W->InfoPanel->Visible());
    EXPECT_TRUE(W->ActionViewInfoPanel.Checked());
    EXPECT_FALSE(W->ActionViewSampleBlocks.Checked());
    EXPECT_FALSE(W->ActionViewNextSampleBlock.Visible());
    EXPECT_EQ(W->PointSize(), 1);
    EXPECT_EQ(W->Chart1.BottomAxis()->Title().Caption(), "Time stamp [sec]");
    EXPECT_FALSE(W->ClientPanel->Visible());
    EXPECT_FALSE(W->TrackPanel->Visible());
    // Idle without a file.
    EXPECT_TRUE(W->ActionFileOpen.Enabled());
    EXPECT_TRUE(W->ActionFileQuit.Enabled());
    for (TAction* a : {&W->ActionFileClose, &W->ActionFileIndex, &W->ActionFileInfo, &W->ActionGotoNext, &W->ActionFind,
                       &W->ActionCopyToClipboard, &W->ActionCancel})
        EXPECT_FALSE(a->Enabled()) << a->Name();
    EXPECT_FALSE(W->ActionModeRawData.Visible());
    EXPECT_FALSE(W->ActionDataToClipboard.Visible());
    EXPECT_EQ(W->ActionViewPrevSampleBlock.Caption(), "   &Previous sample block");
    // Menu items as shown (hidden ones left out), with their shortcuts.
    ASSERT_EQ(W->Menubar.size(), 4u);
    EXPECT_EQ(W->Menubar[0]->Captions(), std::vector<std::string>({"&Open...\tCtrl+O", "&Close", "-", "&Index...",
                                                                   "&Header", "-", "&Quit\tCtrl+Q"}));
    EXPECT_EQ(W->Menubar[1]->Captions(), std::vector<std::string>({"&Find...\tCtrl+F", "-", "&Previous\tLeft",
                                                                   "&Next\tRight", "-", "&Copy to clipboard\tCtrl+C"}));
    EXPECT_EQ(W->Menubar[2]->Captions(),
              std::vector<std::string>({"Axis X: &Time stamp [sec]", "Axis X: &Raw range [m]",
                                        "Axis X: Range &gate index", "-", "&Sample blocks", "-", "&No enhancement",
                                        "&Linear interpolation", "&Smooth", "-", "&Information panel"}));
    EXPECT_EQ(W->Menubar[3]->Captions(), std::vector<std::string>({"&About"}));

    Key(Qt::Key_Q, Qt::ControlModifier);
    EXPECT_FALSE(W->Form.Visible());
    const TSettingsRead r = ReadSettings(TIniFile(Dir.File("Vantora.ini")));
    EXPECT_EQ(TIniFile(Dir.File("Vantora.ini")).ReadString("WAVECHART", "Enhance", ""), "Linear");
    EXPECT_EQ(TIniFile(Dir.File("Vantora.ini")).ReadString("WAVECHART", "AxisX", ""), "TimeStamp");
    EXPECT_TRUE(r.InfoPanel);
    EXPECT_FALSE(r.SampleBlocks);
    EXPECT_EQ(r.PointSize, 1);
    EXPECT_TRUE(Dialogs.Messages.empty());
}

TEST_F(Window, SeededSettingsAreAppliedAndOtherLinesKept) {
    std::ofstream(Dir.File("Vantora.ini")) << "[Other]\nKeep=1\n[WAVECHART]\nAxisX=RangeGate\nEnhance=smooth\n"
                                              "InfoPanel=0\nSampleBlocks=1\nPointSize=3\nWidth=abc\nMine=yes\n";
    Make();
    ShowAndSettle();
    EXPECT_TRUE(W->ActionViewAxisX_RangeGate.Checked());
    EXPECT_EQ(W->Chart1.BottomAxis()->Title().Caption(), "Range gate index");
    EXPECT_TRUE(W->ActionViewEnhanceNone.Checked());  // "smooth" is no value: the mode stays
    EXPECT_FALSE(W->InfoPanel->Visible());
    EXPECT_TRUE(W->ActionViewSampleBlocks.Checked());
    EXPECT_TRUE(W->SampleBlockPanel->Visible());
    EXPECT_TRUE(W->ActionViewNextSampleBlock.Visible());
    EXPECT_EQ(W->PointSize(), 3);
    Key(Qt::Key_Minus, Qt::KeypadModifier);
    Key(Qt::Key_Minus, Qt::KeypadModifier);
    Key(Qt::Key_Minus, Qt::KeypadModifier);  // below 1: ignored
    EXPECT_EQ(W->PointSize(), 1);
    W->Form.Close();
    TIniFile ini(Dir.File("Vantora.ini"));
    EXPECT_EQ(ini.ReadString("WAVECHART", "Enhance", ""), "None");
    EXPECT_EQ(ini.ReadString("WAVECHART", "InfoPanel", ""), "0");
    EXPECT_EQ(ini.ReadString("WAVECHART", "SampleBlocks", ""), "1");
    EXPECT_EQ(ini.ReadString("WAVECHART", "PointSize", ""), "1");
    EXPECT_EQ(ini.ReadString("WAVECHART", "Mine", ""), "yes");
    EXPECT_EQ(ini.ReadString("Other", "Keep", ""), "1");
    EXPECT_GE(ini.ReadInteger("WAVECHART", "Width", 0), MinWindowWidth);
}

TEST_F(Window, UnwritableSettingsStillClose) {
    std::filesystem::create_directory(Dir.File("Vantora.ini"));  // a folder where the file should go
    Make();
    ShowAndSettle();
    W->Form.Close();
    EXPECT_FALSE(W->Form.Visible());
    ASSERT_EQ(Dialogs.Messages.size(), 1u);
    EXPECT_EQ(Dialogs.Messages[0], "Cannot write settings file '" + Dir.File("Vantora.ini") + "': Is a directory");
}

TEST_F(Window, OpenStepAndClose) {
    const std::string path = Rec(20);
    Make();
    ShowAndSettle();
    Dialogs.OpenPath = path;
    Key(Qt::Key_O, Qt::ControlModifier);
    EXPECT_EQ(Dialogs.OpenTitle, "Open...");
    EXPECT_EQ(Dialogs.OpenFilter, TFormVantoraChart::OpenFilter);
    ASSERT_TRUE(W->Document().IsOpen()) << (Dialogs.Messages.empty() ? "" : Dialogs.Messages.back());
    EXPECT_EQ(W->Form.StatusText(), "File '" + path + "' opened");
    EXPECT_TRUE(W->ClientPanel->Visible());
    EXPECT_EQ(W->Document().FFirstRecord, 1u);
    EXPECT_EQ(W->Document().FLastRecord, 20u);
    EXPECT_DOUBLE_EQ(W->Document().FFirstTimeSorg, 1.0);
    // Nothing is drawn until the user moves to a record.
    EXPECT_FALSE(Current().Valid);
    EXPECT_EQ(W->Chart1.SeriesCount(), 0);

    Key(Qt::Key_Right);
    EXPECT_TRUE(Current().Valid);
    EXPECT_EQ(Current().RecordNo, 1u);
    // Without a settings file the window starts in Linear interpolation: a line
    // and a point series per block.
    EXPECT_EQ(W->Chart1.SeriesCount(), 4);
    Key(Qt::Key_Right);
    Key(Qt::Key_Right);
    EXPECT_EQ(Current().RecordNo, 3u);
    Key(Qt::Key_Left);
    EXPECT_EQ(Current().RecordNo, 2u);
    Key(Qt::Key_Left);
    ASSERT_EQ(Current().RecordNo, 1u);
    // Previous at the first record never wraps to the last one.
    Key(Qt::Key_Left);
    ASSERT_EQ(Dialogs.Messages, std::vector<std::string>({"Record 0 is out of range (1 to 20)"}));
    EXPECT_EQ(Current().RecordNo, 1u);
    EXPECT_TRUE(Current().Valid);
    W->SeekAndShow(20);
    EXPECT_EQ(Current().RecordNo, 20u);
    // A failed read keeps the record on screen; Previous counts from it.
    Key(Qt::Key_Right);
    EXPECT_EQ(Dialogs.Messages.size(), 2u);
    EXPECT_TRUE(Current().Valid);
    EXPECT_EQ(Current().RecordNo, 20u);
    EXPECT_FALSE(Current().Blocks.empty());
    Key(Qt::Key_Left);
    EXPECT_EQ(Current().RecordNo, 19u);
    EXPECT_TRUE(Current().Valid);

    // Up and Down belong to the sample blocks only in sample-block mode.
    Key(Qt::Key_Down);
    EXPECT_EQ(Current().SelectedBlock, 0);
    W->ActionViewSampleBlocks.Execute();
    Key(Qt::Key_Down);
    EXPECT_EQ(Current().SelectedBlock, 1);
    Key(Qt::Key_Down);  // at the last block
    EXPECT_EQ(Current().SelectedBlock, 1);
    EXPECT_EQ(W->Chart1.SeriesCount(), 2);
    Key(Qt::Key_Up);
    EXPECT_EQ(Current().SelectedBlock, 0);
    QTest::mouseClick(W->sbtnViewNextSampleBlock->Widget(), Qt::LeftButton);
    EXPECT_EQ(Current().SelectedBlock, 1);
    EXPECT_EQ(W->SampleBlockLabel->Caption(), "2 of 2");
    Key(Qt::Key_Plus, Qt::KeypadModifier);
    EXPECT_EQ(W->PointSize(), 2);

    // The same file again, by another spelling of its path, changes nothing.
    W->OpenFile(Dir.File("./rec.kqm"));
    EXPECT_TRUE(Current().Valid);
    W->ActionFileClose.Execute();
    EXPECT_EQ(W->Form.StatusText(), "File '" + path + "' closed");
    EXPECT_FALSE(W->Document().IsOpen());
    EXPECT_FALSE(Current().Valid);
    EXPECT_FALSE(W->ClientPanel->Visible());
    EXPECT_EQ(W->Chart1.SeriesCount(), 0);
    EXPECT_FALSE(W->ActionGotoNext.Enabled());
    Key(Qt::Key_Right);  // disabled: nothing runs, nothing is reported
    EXPECT_EQ(Dialogs.Messages.size(), 2u);
}

TEST_F(Window, FailedOpenLeavesNothingOpen) {
    const std::string path = Rec(5);
    Make();
    ShowAndSettle();
    W->Run([&] { W->OpenFile(path); });
    W->Run([&] { W->ActionGotoNext.Execute(); });
    ASSERT_TRUE(Current().Valid);
    // Another letter case is another file here; it does not exist, and the open fails.
    W->Run([&] { W->OpenFile(Dir.File("REC.kqm")); });
    ASSERT_EQ(Dialogs.Messages.size(), 1u);
    EXPECT_FALSE(W->Document().IsOpen());
    EXPECT_FALSE(Current().Valid);
    EXPECT_FALSE(W->ClientPanel->Visible());
    EXPECT_FALSE(W->ActionFileClose.Enabled());
    EXPECT_TRUE(W->ActionFileOpen.Enabled());
    W->Run([&] { W->OpenFile(Dir.File("rec.txt")); });
    EXPECT_EQ(Dialogs.Messages.back(), "Unsupported format");
}

TEST_F(Window, HeaderAndAboutTexts) {
    const std::string noIndex = Rec(7, false, "plain.kqm");
    const std::string indexed = Rec(12);
    Make();
    ShowAndSettle();
    W->ActionInfoAbout.Execute();
    EXPECT_EQ(Dialogs.Abouts.back(), "0.9.7 / (no file loaded)");
    W->OpenFile(noIndex);
    W->ActionFileInfo.Execute();
    ASSERT_EQ(Dialogs.Infos.size(), 1u);
    const std::vector<std::string>& a = Dialogs.Infos[0];
    ASSERT_EQ(a.size(), 16u);
    EXPECT_EQ(a[0], "FILE INFORMATION");
    EXPECT_EQ(a[1], "File:=plain.kqm");
    EXPECT_EQ(a[4], "Laser shots with waveforms:=0");
    for (int i : {9, 10, 11, 12}) EXPECT_EQ(a[std::size_t(i)].substr(a[std::size_t(i)].find('=')), "=n/a");
    // Without index the file is open, and Next says why it cannot read.
    W->ActionGotoNext.Execute();
    EXPECT_EQ(Dialogs.Messages.back(), "No Index available");

    W->OpenFile(indexed);
    W->ActionFileInfo.Execute();
    const std::vector<std::string>& b = Dialogs.Infos.back();
    EXPECT_EQ(b[4], "Laser shots with waveforms:=12");
    EXPECT_EQ(b[11], "Internal time min [s]:=1.000");
    EXPECT_EQ(b[9], "External time min [s]:=11.000");
    EXPECT_EQ(b[5].substr(0, 8), "Flags:=0");
    EXPECT_EQ(b[14].substr(0, 24), "Sampling interval [ns]:=");
    W->ActionInfoAbout.Execute();
    EXPECT_EQ(Dialogs.Abouts.back().substr(0, 14), "0.9.7 / 1.0.11");
}

TEST_F(Window, IndexBuildAndCancel) {
    const std::string path = Rec(6000);
    const std::vector<std::uint8_t> oldIndex = ReadFileBytes(Dir.File("rec.idx"));
    Make();
    ShowAndSettle();
    W->OpenFile(path);
    Dialogs.ConfirmAnswer = false;
    W->ActionFileIndex.Execute();
    EXPECT_EQ(Dialogs.Confirms, std::vector<std::string>({"(Re)index file " + path + "?"}));
    EXPECT_EQ(W->Form.StatusText(), "File '" + path + "' opened");  // No: nothing built

    // While the index is built, the progress reaches the window, and only Cancel works.
    struct {
        int reports = 0;
        std::string label;
        bool busy = false, cancelEnabled = false, openEnabled = true, closed = false;
    } seen;
    const std::string other = Rec(3, true, "other.kqm");
    TApplication::Post([&] {
        seen.reports = W->TrackBar->Position() >= 0;
        seen.label = W->TrackLabel->Caption();
        seen.busy = W->Busy();
        seen.cancelEnabled = W->ActionCancel.Enabled();
        seen.openEnabled = W->ActionFileOpen.Enabled();
        Drop({other});                                          // ignored while busy
        Key(Qt::Key_R, Qt::ControlModifier | Qt::AltModifier);  // raw mode: disabled
        Key(Qt::Key_Right);                                     // disabled
        W->ActionInfoAbout.Execute();  // disabled: the backend is never asked from inside its own call
        W->Form.Close();               // refused
        seen.closed = !W->Form.Visible();
        QTest::mouseClick(W->sbtnCancel->Widget(), Qt::LeftButton);
    });
    Dialogs.ConfirmAnswer = true;
    W->ActionFileIndex.Execute();
    EXPECT_EQ(seen.reports, 1);
    EXPECT_EQ(seen.label.back(), '%');
    EXPECT_TRUE(seen.busy);
    EXPECT_TRUE(seen.cancelEnabled);
    EXPECT_FALSE(seen.openEnabled);
    EXPECT_FALSE(seen.closed);
    EXPECT_EQ(Dialogs.Messages, std::vector<std::string>({"*** Aborted ***"}));
    EXPECT_EQ(W->Form.StatusText(), "Index creation failed");
    EXPECT_EQ(W->Document().Path(), path);
    EXPECT_FALSE(W->ActionModeRawData.Visible());
    EXPECT_TRUE(Dialogs.Abouts.empty());
    EXPECT_FALSE(W->Busy());
    EXPECT_FALSE(W->TrackPanel->Visible());
    EXPECT_TRUE(W->ActionFileOpen.Enabled());
    EXPECT_FALSE(W->ActionCancel.Enabled());
    EXPECT_EQ(ReadFileBytes(Dir.File("rec.idx")), oldIndex);
}

TEST_F(Window, IndexBuiltByTheSwitchRefreshesTheRecordCount) {
    const std::string path = Rec(250, false);
    Make({"/file=" + path, "/index", "/seek=10", "/time=1.25i", "/seek=-1", "/close"});
    ShowAndSettle();
    EXPECT_TRUE(Dialogs.Confirms.empty());       // the switch asks nothing
    EXPECT_EQ(W->Document().FLastRecord, 252u);  // 250 shots, 2 housekeeping records
    EXPECT_TRUE(std::filesystem::exists(Dir.File("rec.idx")));
    // 1.25 s internal time is shot 26 (10 ms apart from 1 s); then /seek=-1 fails and /close never runs.
    EXPECT_EQ(Current().RecordNo, 26u);
    EXPECT_EQ(Dialogs.Messages, std::vector<std::string>({"Record -1 is out of range (1 to 252)"}));
    EXPECT_TRUE(W->Document().IsOpen());
    EXPECT_EQ(W->Form.StatusText(), "Index creation successfully finished");
}

TEST_F(Window, IndexSwitchWithoutFile) {
    Make({"/index", "/exit"});
    ShowAndSettle();
    EXPECT_EQ(Dialogs.Messages, std::vector<std::string>({"No file!"}));
    EXPECT_TRUE(W->Form.Visible());  // /exit never ran
}

TEST_F(Window, DroppedFiles) {
    const std::string rec = Rec(5);
    const std::string caps = Rec(5, true, "CAPS.KQM");
    std::ofstream(Dir.File("a.txt")) << "x";
    Make();
    ShowAndSettle();
    Drop({Dir.File("a.txt"), Dir.File("b.txt")});
    EXPECT_FALSE(W->Document().IsOpen());
    Drop({Dir.File("a.txt"), rec, caps});  // the first matching name opens
    EXPECT_EQ(W->Document().Path(), rec);
    Drop({caps});
    EXPECT_EQ(W->Document().Path(), caps);
    Drop({Dir.File("missing.kqm")});
    EXPECT_EQ(Dialogs.Messages.size(), 1u);
    EXPECT_FALSE(W->Document().IsOpen());
}

TEST_F(Window, RawMode) {
    const std::string path = Rec(5);
    Make();
    ShowAndSettle();
    W->OpenFile(path);
    Key(Qt::Key_R, Qt::ControlModifier | Qt::AltModifier);
    EXPECT_TRUE(W->ActionModeRawData.Visible());
    EXPECT_TRUE(W->ActionModeRawData.Checked());
    Key(Qt::Key_R, Qt::ControlModifier | Qt::AltModifier);
    EXPECT_FALSE(W->ActionModeRawData.Checked());
    EXPECT_TRUE(Dialogs.Messages.empty()) << Dialogs.Messages.front();
}

TEST_F(Window, TraceWindowCollectsHiddenAndShowsInBatches) {
    TFormVantoraTrace trace;
    OpenWithTrace(trace, 5);
    // Lines arrive while the window is hidden; only its store takes them.
    Key(Qt::Key_Right);
    const std::uint64_t firstShot = trace.Lines().Total();
    EXPECT_GE(firstShot, 10u);
    EXPECT_EQ(trace.Memo->LineCount(), 0);
    // Ctrl+Alt+T shows every kept line at once, the degree sign decoded.
    Key(Qt::Key_T, Qt::ControlModifier | Qt::AltModifier);
    ASSERT_TRUE(trace.Form.Visible());
    EXPECT_EQ(trace.Memo->LineCount(), int(firstShot));
    EXPECT_NE(trace.Memo->Text().find("Theta [deg+45\u00B0]="), std::string::npos);
    // While shown, a shot's lines reach the memo together, a moment later.
    Key(Qt::Key_Right);
    EXPECT_EQ(trace.Memo->LineCount(), int(firstShot));
    QTest::qWait(3 * TFormVantoraTrace::UpdateDelayMs);
    EXPECT_EQ(trace.Memo->LineCount(), int(trace.Lines().Total()));
    EXPECT_NE(trace.Memo->Text().find(" Block: 2\n"), std::string::npos);
    if (const char* dir = std::getenv("VANTORA_SHOTS")) trace.Form.Widget()->grab().save(QString(dir) + "/trace.png");
    // More new lines than it keeps: the memo holds the newest.
    for (int i = 0; i < MaxTraceLines + 50; ++i) trace.AddLine("line " + std::to_string(i));
    QTest::qWait(3 * TFormVantoraTrace::UpdateDelayMs);
    EXPECT_EQ(trace.Memo->LineCount(), MaxTraceLines);
    const std::string text = trace.Memo->Text();
    EXPECT_EQ(text.find("line 49\n"), std::string::npos);
    EXPECT_NE(text.find(" line 50\n"), std::string::npos);
    EXPECT_EQ(text.substr(text.size() - 11), " line 10049");
    // Hidden again, it takes lines without touching the memo; shown, it catches up.
    trace.Form.Close();
    trace.AddLine("while hidden");
    QTest::qWait(3 * TFormVantoraTrace::UpdateDelayMs);
    EXPECT_EQ(trace.Memo->Text().find("while hidden"), std::string::npos);
    Key(Qt::Key_T, Qt::ControlModifier | Qt::AltModifier);
    EXPECT_EQ(trace.Memo->Text().substr(trace.Memo->Text().size() - 13), " while hidden");
    trace.Form.Hide();
    EXPECT_TRUE(Dialogs.Messages.empty()) << Dialogs.Messages.front();
}

TEST(Memo, LinesGivenAtOnceKeepTheirEmptyOnes) {
    ASSERT_TRUE(kApp);
    TMemo memo(nullptr);
    memo.SetLines({"", "b"});
    memo.AddLines({"", "c"});
    EXPECT_EQ(memo.LineCount(), 4);
    EXPECT_EQ(memo.Text(), "\nb\n\nc");
}

// The header's texts reach the header list as the single-byte text they are.
TEST_F(Window, HeaderTextsDecodedAsSingleByte) {
    const std::string path = Dir.File("latin.kqm");
    TRecHeader h;
    h.Texts["SerialNumber"] = "Fj\xE4ll-01";
    TRecordingWriter w(path, h);
    TRecord r;
    r.Time = 250000000;
    w.Write(r);
    w.Close();
    Make();
    ShowAndSettle();
    W->OpenFile(path);
    W->ActionFileInfo.Execute();
    ASSERT_EQ(Dialogs.Infos.size(), 1u);
    EXPECT_EQ(Dialogs.Infos[0][3], "Serial number:=Fj\u00E4ll-01");
    EXPECT_EQ(W->Document().FSerial, "Fj\u00E4ll-01");
}

// A search reads every record with its trace lines going to the hidden trace
// window, as in the program: they are kept, the memo is not touched.
TEST_F(Window, SearchWithTheTraceWindowAttached) {
    TFormVantoraTrace trace;
    OpenWithTrace(trace, 3000);
    Key(Qt::Key_Right);
    Find("index = 2990 & facet < 4");
    EXPECT_EQ(W->Form.StatusText(), "Expression found");
    EXPECT_EQ(Current().RecordNo, 2990u);
    EXPECT_GE(trace.Lines().Total(), 2990u * 14);  // a dozen and more per shot
    EXPECT_EQ(trace.Memo->LineCount(), 0);
    W->FormFind->Hide();
    QApplication::processEvents();
    if (const char* dir = std::getenv("VANTORA_SHOTS")) W->Form.Widget()->grab().save(QString(dir) + "/search.png");
    EXPECT_TRUE(Dialogs.Messages.empty()) << Dialogs.Messages.front();
}

TEST_F(Window, RefusedRawModeRestoresTheMark) {
    Make({}, VIEWER_STUB_DIR);
    ShowAndSettle();
    W->OpenFile(Dir.File("noraw.kqm"));
    ASSERT_TRUE(W->Document().IsOpen());
    Key(Qt::Key_R, Qt::ControlModifier | Qt::AltModifier);
    EXPECT_EQ(Dialogs.Messages, std::vector<std::string>({"Raw mode not available"}));
    EXPECT_FALSE(W->ActionModeRawData.Checked());
}

}  // namespace

namespace {

// Runs show (a modal window) and, once the window is up, hands it to inspect and closes it.
void WithModal(const std::function<void()>& show, const std::function<void(QWidget&)>& inspect) {
    bool seen = false;
    QTimer::singleShot(50, [&] {
        QWidget* w = QApplication::activeModalWidget();
        if (!w) return;
        seen = true;
        inspect(*w);
        if (const char* dir = std::getenv("VANTORA_SHOTS"))
            w->grab().save(QString(dir) + "/" + w->windowTitle() + ".png");
        w->close();
    });
    show();
    EXPECT_TRUE(seen);
}

std::vector<std::string> LabelTexts(QWidget& w) {
    std::vector<std::string> texts;
    for (const QLabel* l : w.findChildren<QLabel*>()) texts.push_back(l->text().toStdString());
    return texts;
}

bool Has(const std::vector<std::string>& texts, const std::string& text) {
    return std::find(texts.begin(), texts.end(), text) != texts.end();
}

TEST(SideWindows, AboutAndInfoShowTheirTexts) {
    ASSERT_TRUE(kApp);
    TToolkitDialogs dialogs;
    WithModal([&] { dialogs.ShowAbout("0.9.7", "(no file loaded)"); },
              [](QWidget& w) {
                  EXPECT_EQ(w.windowTitle().toStdString(), "About");
                  EXPECT_EQ(w.size(), QSize(401, 220));
                  const std::vector<std::string> texts = LabelTexts(w);
                  for (const char* t : {"Van", "tora", "0.9.7", "(no file loaded)", "Waveform extraction library:"})
                      EXPECT_TRUE(Has(texts, t)) << t;
                  for (const QLabel* l : w.findChildren<QLabel*>())
                      if (l->text() == "Van") {
                          EXPECT_EQ(l->font().pixelSize(), 48);
                          EXPECT_TRUE(l->font().bold() && l->font().italic());
                      }
              });
    const std::vector<std::string> rows = {"FILE INFORMATION", "File:=rec.kqm", "Epoch:=GPS week"};
    WithModal([&] { dialogs.ShowInfo(rows); },
              [](QWidget& w) {
                  EXPECT_EQ(w.windowTitle().toStdString(), "Info");
                  const auto lists = w.findChildren<QListWidget*>();
                  ASSERT_EQ(lists.size(), 1);
                  EXPECT_EQ(lists[0]->count(), 3);
                  EXPECT_EQ(lists[0]->item(1)->text().toStdString(), "File:=rec.kqm");
              });
}

TEST_F(Window, LauncherWithoutFileAndSettingsInAFolderYetToBeMade) {
    // A desktop launcher without a file passes "/file=" empty; a first start
    // finds no configuration folder.
    ASSERT_TRUE(kApp);
    W = std::make_unique<TFormVantoraChart1>(Dialogs, std::vector<std::string>{"/file=", "/exit"},
                                             Dir.File("config/Vantora.ini"));
    ShowAndSettle();
    EXPECT_TRUE(Dialogs.Messages.empty());
    EXPECT_FALSE(W->Form.Visible());  // /exit ran
    EXPECT_TRUE(TIniFile(Dir.File("config/Vantora.ini")).ValueExists("WAVECHART", "AxisX"));
}

// The shown shot survives what used to lose it: index building, searches and
// jumps that end nowhere, a view zoomed away from the next shot.
class ShownShot : public Window {
protected:
    void ClickTool(const QString& text) {
        auto* bar = W->Form.Widget()->findChild<QToolBar*>();
        ASSERT_NE(bar, nullptr);
        for (QAction* a : bar->actions())
            if (QString(a->text()).remove('&') == text)
                return QTest::mouseClick(bar->widgetForAction(a), Qt::LeftButton);
        FAIL() << text.toStdString();
    }
    // The shot n on screen: the record, its list and its series.
    void ExpectShown(std::uint32_t n) {
        EXPECT_TRUE(Current().Valid);
        EXPECT_EQ(Current().RecordNo, n);
        EXPECT_EQ(W->Display().Info().ValueOf("Measurement record"), std::to_string(n));
        EXPECT_EQ(W->InfoList->Items(), W->Display().Info().Rows());
        EXPECT_GT(W->Chart1.SeriesCount(), 0);
    }
};

TEST_F(ShownShot, StaysThroughIndexBuildsThatSucceedFailOrAreCancelled) {
    const std::string path = Rec(6000);
    Make({"/file=" + path, "/seek=7"});
    ShowAndSettle();
    ClickTool("Index...");
    EXPECT_EQ(W->Form.StatusText(), "Index creation successfully finished");
    ExpectShown(7);
    if (const char* dir = std::getenv("VANTORA_SHOTS")) {
        QApplication::processEvents();
        W->Form.Widget()->grab().save(QString(dir) + "/after-index.png");
    }
    Key(Qt::Key_Right);
    ExpectShown(8);
    Key(Qt::Key_Left);
    Key(Qt::Key_Left);
    ExpectShown(6);

    TApplication::Post([&] { QTest::mouseClick(W->sbtnCancel->Widget(), Qt::LeftButton); });
    ClickTool("Index...");
    EXPECT_EQ(Dialogs.Messages, std::vector<std::string>({"*** Aborted ***"}));
    EXPECT_EQ(W->Form.StatusText(), "Index creation failed");
    ExpectShown(6);
    Key(Qt::Key_Right);
    ExpectShown(7);

    // Fifty shots carry no time synchronisation: the build fails.
    W->OpenFile(Rec(50, true, "nosync.kqm"));
    W->SeekAndShow(5);
    ClickTool("Index...");
    ASSERT_EQ(Dialogs.Messages.size(), 2u);
    EXPECT_EQ(W->Form.StatusText(), "Index creation failed");
    ExpectShown(5);
    Key(Qt::Key_Left);
    ExpectShown(4);
}

TEST_F(ShownShot, StaysWhenASearchOrJumpEndsNowhere) {
    // A target past the end is the reader's to refuse; 0 and below never reach it.
    Make({"/file=" + Rec(20), "/seek=20", "/seek=21"});
    ShowAndSettle();
    EXPECT_EQ(Dialogs.Messages, std::vector<std::string>({"Seek beyond end of file"}));
    Find("facet = 9");  // from the last record: nothing left to read
    EXPECT_EQ(W->Form.StatusText(), "Expression not found (end of data)");
    ExpectShown(20);
    Find("facet = 9");  // Find Next once more
    ExpectShown(20);
    // A jump that fails tells so in the message box; the status still tells
    // of the last search.
    Find("5");
    Find("+16");
    EXPECT_EQ(Dialogs.Messages.back(), "Seek beyond end of file");
    Key(Qt::Key_Right);
    ExpectShown(6);
    Find("-6");
    EXPECT_EQ(Dialogs.Messages.back(), "Record 0 is out of range (1 to 20)");
    Find("12.5e");
    EXPECT_EQ(Dialogs.Messages.back(), "'12.5e' is not a valid floating point value");
    Find("abc");
    EXPECT_EQ(Dialogs.Messages.size(), 5u);
    EXPECT_EQ(W->Form.StatusText(), "Expression not found (end of data)");
    ExpectShown(6);
}

// A search that fails part-way, on a damaged shot, leaves the shot it began
// from on screen and the reader with it: the keys and the next search step on
// from that shot, not from the damage.
TEST_F(ShownShot, KeysStepOnFromTheShotAfterASearchThatFails) {
    const std::string path = Dir.File("damaged.kqm");
    WriteViewerRecording(path, 20, true, 2500000, 9);
    Make({"/file=" + path, "/seek=5"});
    ShowAndSettle();
    Find("index = 15");
    EXPECT_EQ(Dialogs.Messages, std::vector<std::string>({"Cannot synchronize - no sync field present!"}));
    EXPECT_EQ(W->Form.StatusText(), "Search failed: Cannot synchronize - no sync field present!");
    ExpectShown(5);
    Key(Qt::Key_Right);
    ExpectShown(6);
    Find("index = 7");
    EXPECT_EQ(W->Form.StatusText(), "Expression found");
    ExpectShown(7);
    // From the shot before the damage the search fails on its first read.
    Key(Qt::Key_Right);
    Find("index = 15");
    EXPECT_EQ(Dialogs.Messages.size(), 2u);
    ExpectShown(8);
    Key(Qt::Key_Left);
    ExpectShown(7);
    Key(Qt::Key_Right);
    ExpectShown(8);
}

// A read past the last shot fails: the window keeps showing the shot it
// holds, and Previous, Next and the sample-block keys go on from it.
TEST_F(ShownShot, StaysAfterAReadPastTheLastShot) {
    Make({"/file=" + Rec(20), "/seek=20"});
    ShowAndSettle();
    W->ActionViewSampleBlocks.Execute();
    Key(Qt::Key_Right);
    ASSERT_EQ(Dialogs.Messages.size(), 1u);
    EXPECT_EQ(Dialogs.Messages[0], "*** EOF ***");
    ExpectShown(20);
    Key(Qt::Key_Down);
    EXPECT_EQ(W->SampleBlockLabel->Caption(), "2 of 2");
    Key(Qt::Key_Up);
    EXPECT_EQ(Current().SelectedBlock, 0);
    Key(Qt::Key_Left);
    ExpectShown(19);
    Key(Qt::Key_Right);
    ExpectShown(20);
    Key(Qt::Key_Right);
    EXPECT_EQ(Dialogs.Messages.size(), 2u);
    ExpectShown(20);
}

// At the default width every button and panel of the tool bar stays on it
// while an index build or a search shows its progress, in sample-block mode
// too: none is pushed into the overflow menu.
TEST_F(ShownShot, ToolBarKeepsEverythingWhileBusyAtTheDefaultWidth) {
    Make({"/file=" + Rec(6000), "/seek=7"});
    ShowAndSettle();
    // The offscreen screen is narrower than the default; the width is set as saved.
    W->Form.SetBounds(100, 100, 833, 590);
    QApplication::processEvents();
    ASSERT_EQ(W->Form.Widget()->width(), 833);
    W->ActionViewSampleBlocks.Execute();
    auto* bar = W->Form.Widget()->findChild<QToolBar*>();
    ASSERT_NE(bar, nullptr);
    // The texts of the visible items the bar has no room for.
    auto overflow = [bar] {
        std::vector<std::string> off;
        for (QAction* a : bar->actions()) {
            QWidget* item = bar->widgetForAction(a);
            if (a->isVisible() && !a->isSeparator() && item && !item->isVisible())
                off.push_back(item->objectName().toStdString() + QString(a->text()).remove('&').toStdString());
        }
        return off;
    };
    QApplication::processEvents();
    EXPECT_EQ(overflow(), std::vector<std::string>{});
    struct TSeen {
        bool busy = false;
        std::vector<std::string> overflow;
        int trackWidth = 0, sampleBlockWidth = 0;
    };
    auto look = [&](TSeen& seen, const char* shot) {
        TApplication::Post([&, shot] {
            QApplication::processEvents();
            seen = {W->Busy(), overflow(), W->TrackPanel->Widget()->width(), W->SampleBlockPanel->Widget()->width()};
            if (const char* dir = std::getenv("VANTORA_SHOTS"))
                W->Form.Widget()->grab().save(QString(dir) + "/" + shot);
            QTest::mouseClick(W->sbtnCancel->Widget(), Qt::LeftButton);
        });
    };
    TSeen building, searching;
    look(building, "busy-index.png");
    ClickTool("Index...");
    look(searching, "busy-search.png");
    Find("facet = 9");
    EXPECT_EQ(W->Form.StatusText(), "Search aborted");
    for (const TSeen* seen : {&building, &searching}) {
        EXPECT_TRUE(seen->busy);
        EXPECT_EQ(seen->overflow, std::vector<std::string>{});
        EXPECT_EQ(seen->trackWidth, 235);
        EXPECT_EQ(seen->sampleBlockWidth, 83);
    }
    EXPECT_EQ(overflow(), std::vector<std::string>{});
}

// The first key after opening shows the first shot, Previous as Next: with
// an index that fits its recording and with one left over from a longer
// recording, whose last entry lies past the end, and whatever was on screen
// before the file was opened. Without an index both keys say why they cannot
// read.
TEST_F(ShownShot, FirstKeyAfterOpeningShowsTheFirstShot) {
    const std::string stale = Rec(500, true, "stale.kqm");
    const std::vector<std::uint8_t> longerIndex = ReadFileBytes(Dir.File("stale.idx"));
    WriteViewerRecording(stale, 300, false);
    WriteFileBytes(Dir.File("stale.idx"), longerIndex);
    const std::string fitting = Rec(20);
    Make();
    ShowAndSettle();
    for (const std::string& path : {fitting, stale})
        for (const Qt::Key first : {Qt::Key_Right, Qt::Key_Left}) {
            SCOPED_TRACE(path + (first == Qt::Key_Right ? ", Right first" : ", Left first"));
            W->OpenFile(path);
            Key(first);
            ExpectShown(1);
            Key(Qt::Key_Right);
            ExpectShown(2);
            W->CloseFile();
        }
    EXPECT_EQ(Dialogs.Messages, std::vector<std::string>{});
    W->OpenFile(Rec(5, false, "plain.kqm"));
    Key(Qt::Key_Left);
    Key(Qt::Key_Right);
    EXPECT_EQ(Dialogs.Messages, std::vector<std::string>({"No Index available", "No Index available"}));
    EXPECT_FALSE(Current().Valid);
}

// A status text wider than the status bar is shortened with "…", keeping all
// of its start that fits, and is given whole in the tooltip; a text that fits
// is shown whole, without a tooltip. At every width the text ends inside the
// window.
TEST_F(ShownShot, LongStatusTextsAreShortenedAndWholeInTheTooltip) {
    Make({"/file=" + Rec(20), "/seek=1"});
    ShowAndSettle();
    W->Form.SetBounds(100, 100, 833, 590);
    QApplication::processEvents();
    Find("speed > 1");
    const std::string failed = W->Form.StatusText();
    ASSERT_EQ(failed.substr(0, 40), "Search failed: Field \"speed\" not defined");
    auto* label = W->Form.Widget()->findChild<QStatusBar*>()->findChild<QLabel*>();
    ASSERT_NE(label, nullptr);
    if (const char* dir = std::getenv("VANTORA_SHOTS"))
        W->Form.Widget()->grab().save(QString(dir) + "/status-long.png");
    // Resting the mouse on the status bar shows the whole text.
    const QPoint at(label->width() / 2, label->height() / 2);
    QHelpEvent hover(QEvent::ToolTip, at, label->mapToGlobal(at));
    QApplication::sendEvent(label, &hover);
    EXPECT_TRUE(QToolTip::isVisible());
    // The tooltip as read: its lines joined again.
    const auto read = [](const QString& tooltip) {
        QTextDocument doc;
        if (Qt::mightBeRichText(tooltip))
            doc.setHtml(tooltip);
        else
            doc.setPlainText(tooltip);
        return doc.toPlainText().replace(QChar(0x2028), ' ').replace('\n', ' ');
    };
    EXPECT_EQ(read(QToolTip::text()).toStdString(), failed);
    if (const char* dir = std::getenv("VANTORA_SHOTS"))
        for (QWidget* w : QApplication::topLevelWidgets())
            if (w->inherits("QTipLabel")) w->grab().save(QString(dir) + "/status-tooltip.png");
    QToolTip::hideText();

    const std::string texts[] = {"",
                                 "Expression found",
                                 "File '" + Dir.File("rec.kqm") + "' opened",
                                 failed,
                                 failed + " " + failed,
                                 "Operator \"<>\" & <b>not</b> defined",
                                 "two\r\nlines",
                                 "<b>" + failed + "</b>  &amp;"};
    for (const int asked : {MinWindowWidth, 560, 700, 833, 1200}) {
        W->Form.SetStatusText("");
        W->Form.SetBounds(100, 100, asked, 590);
        QApplication::processEvents();
        const int width = W->Form.Widget()->width();  // no narrower than the window's controls allow
        for (const std::string& text : texts) {
            SCOPED_TRACE(std::to_string(width) + ": " + text);
            W->Form.SetStatusText(text);
            QApplication::processEvents();
            ASSERT_EQ(W->Form.Widget()->width(), width);  // a long text never widens the window
            EXPECT_EQ(W->Form.StatusText(), text);
            QString line = QString::fromStdString(text);
            line.replace("\r\n", " ");
            const int room = label->contentsRect().width();
            EXPECT_LE(label->mapTo(W->Form.Widget(), label->contentsRect().topRight()).x(), width);
            const QFontMetrics fm = label->fontMetrics();
            const QString shown = label->text();
            if (fm.horizontalAdvance(line) <= room) {
                EXPECT_EQ(shown, line);
                EXPECT_TRUE(label->toolTip().isEmpty());
                continue;
            }
            ASSERT_TRUE(shown.endsWith(QChar(0x2026))) << shown.toStdString();
            const QString kept = shown.chopped(1);
            EXPECT_TRUE(line.startsWith(kept));
            EXPECT_LE(fm.horizontalAdvance(shown), room);
            // One more character would not fit (within the pixel that rounding takes).
            EXPECT_GT(QFontMetricsF(label->font()).horizontalAdvance(line.left(kept.size() + 1) + QChar(0x2026)),
                      room - 1);
            EXPECT_EQ(read(label->toolTip()), line);
        }
    }
}

// The open dialog starts in the folder of the open recording, else in the
// one of the recording opened or chosen last; on a first start in the
// working folder.
TEST_F(Window, OpenDialogStartsInTheFolderLastUsed) {
    namespace fs = std::filesystem;
    fs::create_directories(Dir.File("a"));
    fs::create_directories(Dir.File("b"));
    const std::string inA = Rec(3, true, "a/one.kqm");
    const std::string inB = Rec(3, true, "b/two.kqm");
    auto startedIn = [&] {
        Key(Qt::Key_O, Qt::ControlModifier);
        return Dialogs.OpenStarts.empty() ? std::string("(no dialog)") : Dialogs.OpenStarts.back();
    };
    Make();
    ShowAndSettle();
    EXPECT_EQ(startedIn(), "");
    W->OpenFile(inA);
    EXPECT_EQ(fs::path(startedIn()), fs::path(Dir.File("a")));
    W->CloseFile();
    EXPECT_EQ(fs::path(startedIn()), fs::path(Dir.File("a")));
    Dialogs.OpenPath = inB;
    startedIn();
    ASSERT_TRUE(W->Document().IsOpen());
    Dialogs.OpenPath.clear();  // the user cancels
    EXPECT_EQ(fs::path(startedIn()), fs::path(Dir.File("b")));
    // A file chosen that does not open: its folder is the one used last.
    Dialogs.OpenPath = Dir.File("a/missing.kqm");
    startedIn();
    EXPECT_FALSE(W->Document().IsOpen());
    Dialogs.OpenPath.clear();
    EXPECT_EQ(fs::path(startedIn()), fs::path(Dir.File("a")));
    Drop({inB});  // opened by any way
    EXPECT_EQ(fs::path(startedIn()), fs::path(Dir.File("b")));
}

TEST_F(ShownShot, ViewZoomedAwayFromTheNextShotReturnsToAutomaticRanges) {
    Make({"/file=" + Rec(20), "/seek=1"});
    ShowAndSettle();
    QWidget* chart = W->ChartHost->Widget();
    const int cw = chart->width(), ch = chart->height();
    // Drawn from top left to bottom right, the rectangle zooms in.
    QTest::mousePress(chart, Qt::LeftButton, Qt::NoModifier, QPoint(cw / 10, ch / 10));
    QTest::mouseMove(chart, QPoint(cw / 2, ch / 2));
    QTest::mouseRelease(chart, Qt::LeftButton, Qt::NoModifier, QPoint(cw * 9 / 10, ch * 9 / 10));
    ASSERT_TRUE(W->Chart1.Zoomed());
    ASSERT_FALSE(W->Chart1.BottomAxis()->Automatic());
    // A redraw of the same shot keeps the view the user chose.
    W->ActionViewEnhanceNone.Execute();
    EXPECT_FALSE(W->Chart1.BottomAxis()->Automatic());
    Key(Qt::Key_Right);  // 10 ms later: wholly outside the zoomed time range
    ExpectShown(2);
    EXPECT_TRUE(W->Chart1.BottomAxis()->Automatic());
    EXPECT_TRUE(W->Chart1.LeftAxis()->Automatic());
    EXPECT_FALSE(W->Chart1.Zoomed());
}

// "Left" and "Top" are where the frame's corner is, whatever frame the window
// manager draws: start after start, the window stays where it was left.
TEST(WindowManager, FramePositionSavedIsPositionRestored) {
    ASSERT_TRUE(kApp);
    if (QGuiApplication::platformName() != "xcb") GTEST_SKIP() << "needs X with a window manager: under-openbox.sh";
    TTempDir dir;
    const std::string ini = dir.File("Vantora.ini");
    std::ofstream(ini) << "[WAVECHART]\nLeft=300\nTop=300\n";
    TDialogsDouble dialogs;
    QPoint corner(300, 300);
    for (int cycle = 1; cycle <= 4; ++cycle) {
        SCOPED_TRACE(cycle);
        auto w = std::make_unique<TFormVantoraChart1>(dialogs, std::vector<std::string>{}, ini, std::string{});
        w->Form.Show();
        QWindow* handle = w->Form.Widget()->windowHandle();
        ASSERT_TRUE(QTest::qWaitFor([&] { return !handle->frameMargins().isNull(); }, 10000)) << "no frame";
        EXPECT_TRUE(QTest::qWaitFor([&] { return handle->framePosition() == corner; }, 10000))
            << handle->framePosition().x() << "," << handle->framePosition().y();
        if (cycle == 2) {
            corner = QPoint(420, 310);  // the user moves it
            handle->setPosition(corner + QPoint(handle->frameMargins().left(), handle->frameMargins().top()));
            EXPECT_TRUE(QTest::qWaitFor([&] { return handle->framePosition() == corner; }, 10000));
        }
        w->Form.Close();
        const TSettingsRead saved = ReadSettings(TIniFile(ini));
        EXPECT_EQ(QPoint(saved.Left, saved.Top), corner);
    }
    EXPECT_TRUE(dialogs.Messages.empty());
}

// Every text of the About box is shown whole, the longest build tag included.
// A property of a window as xprop shows it ("NAME(TYPE) = value").
std::string WindowProperty(const QWidget& w, const char* name) {
    QProcess xprop;
    xprop.start("xprop", {"-id", QString::number(w.winId()), name});
    xprop.waitForFinished(5000);
    return xprop.readAllStandardOutput().trimmed().toStdString();
}

// The functions a window asks of the window manager (_MOTIF_WM_HINTS; bit
// 0x2 resize, 0x4 move, 0x8 minimise, 0x10 maximise, 0x20 close); -1 when
// it asks for none.
long MotifFunctions(const QWidget& w) {
    const std::string hints = WindowProperty(w, "_MOTIF_WM_HINTS");
    const std::size_t eq = hints.find(" = ");
    if (eq == std::string::npos) return -1;
    char* end = nullptr;
    const long flags = std::strtol(hints.c_str() + eq + 3, &end, 0);
    if (!(flags & 1) || *end != ',') return -1;
    return std::strtol(end + 1, nullptr, 0);
}

// About opens with its frame centred on the screen wherever the main window
// is, in a fixed border, which the window manager lets nobody resize or
// maximise: it asks for close and move alone, so that no frame draws a
// maximise button that does nothing.
TEST(WindowManager, AboutFrameCentredOnTheScreenInAFixedBorder) {
    ASSERT_TRUE(kApp);
    if (QGuiApplication::platformName() != "xcb") GTEST_SKIP() << "needs X with a window manager: under-openbox.sh";
    TTempDir dir;
    const std::string ini = dir.File("Vantora.ini");
    std::ofstream(ini) << "[WAVECHART]\nLeft=40\nTop=60\n";
    TDialogsDouble doubles;
    TFormVantoraChart1 w(doubles, std::vector<std::string>{}, ini, std::string{});
    w.Form.Show();
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return w.Form.Widget()->windowHandle()->framePosition() == QPoint(40, 60); }, 10000));
    w.Form.Widget()->activateWindow();  // the dialogs' owner, as when the user opens them
    ASSERT_TRUE(QTest::qWaitForWindowActive(w.Form.Widget()));
    TToolkitDialogs dialogs;
    WithModal([&] { dialogs.ShowAbout("0.9.7", "(no file loaded)"); },
              [&](QWidget& about) {
                  QWindow* handle = about.windowHandle();
                  ASSERT_TRUE(QTest::qWaitFor([&] { return !handle->frameMargins().isNull(); }, 10000));
                  const QPoint centre = handle->screen()->geometry().center();
                  const auto offset = [&] { return handle->frameGeometry().center() - centre; };
                  const auto centred = [&] { return std::abs(offset().x()) <= 1 && std::abs(offset().y()) <= 1; };
                  EXPECT_TRUE(QTest::qWaitFor(centred, 5000)) << offset().x() << "," << offset().y();
                  const std::string actions = WindowProperty(about, "_NET_WM_ALLOWED_ACTIONS");
                  for (const char* absent : {"MAXIMIZE", "RESIZE"})
                      EXPECT_EQ(actions.find(absent), std::string::npos) << actions;
                  EXPECT_EQ(MotifFunctions(about), 0x24) << WindowProperty(about, "_MOTIF_WM_HINTS");
                  if (const char* shots = std::getenv("VANTORA_SHOTS")) {
                      QTest::qWait(300);  // the frame drawn where it went
                      QGuiApplication::primaryScreen()->grabWindow(0).save(QString(shots) + "/About-framed.png");
                  }
              });
}

// The header list can be resized: it keeps the resize function and is
// offered maximising.
TEST(WindowManager, InfoWindowCanBeResized) {
    ASSERT_TRUE(kApp);
    if (QGuiApplication::platformName() != "xcb") GTEST_SKIP() << "needs X with a window manager: under-openbox.sh";
    TToolkitDialogs dialogs;
    WithModal(
        [&] {
            dialogs.ShowInfo({"FILE INFORMATION", "File:=rec.kqm"});
        },
        [&](QWidget& info) {
            QWindow* handle = info.windowHandle();
            ASSERT_TRUE(QTest::qWaitFor([&] { return !handle->frameMargins().isNull(); }, 10000));
            EXPECT_EQ(MotifFunctions(info) & 0x26, 0x26) << WindowProperty(info, "_MOTIF_WM_HINTS");
            const std::string actions = WindowProperty(info, "_NET_WM_ALLOWED_ACTIONS");
            EXPECT_NE(actions.find("RESIZE"), std::string::npos) << actions;
        });
}

TEST(SideWindows, AboutTextsFit) {
    ASSERT_TRUE(kApp);
    TToolkitDialogs dialogs;
    WithModal([&] { dialogs.ShowAbout("0.9.7", "1.0.11 (x86_64-windows-clang64-14.0.6)"); },
              [&](QWidget& w) {
                  for (const QLabel* l : w.findChildren<QLabel*>())
                      EXPECT_GE(l->contentsRect().width(), l->sizeHint().width()) << l->text().toStdString();
                  // The terms are read from their first line.
                  const auto* terms = w.findChild<QPlainTextEdit*>();
                  ASSERT_NE(terms, nullptr);
                  EXPECT_EQ(terms->verticalScrollBar()->value(), 0);
              });
}

TEST(SideWindows, OpenDialogTypesAndFindLabel) {
    ASSERT_TRUE(kApp);
    TToolkitDialogs dialogs;
    TTempDir start;
    std::string path = start.Path().string();
    WithModal([&] { dialogs.OpenFileName(path, "Open...", TFormVantoraChart::OpenFilter); },
              [&](QWidget& w) {
                  auto* d = qobject_cast<QFileDialog*>(&w);
                  ASSERT_NE(d, nullptr);
                  EXPECT_EQ(d->directory().absolutePath().toStdString(), start.Path().string());
                  EXPECT_EQ(d->nameFilters(),
                            QStringList({"Supported formats (*.kqm *.hxt)", "Sample data files (*.kqm)",
                                         "Waveform files (*.hxt)", "All files (*.*)"}));
              });
    // Alt+N, the label's accelerator, takes the user to the text field.
    TFindDialog find;
    find.Show();
    find.Widget()->activateWindow();
    QApplication::processEvents();
    auto* next = find.Widget()->findChildren<QPushButton*>().front();
    next->setFocus();
    QTest::keyClick(next, Qt::Key_N, Qt::AltModifier);
    EXPECT_EQ(QApplication::focusWidget(), find.Widget()->findChild<QLineEdit*>());
}

}  // namespace
