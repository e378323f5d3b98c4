// The main window showing records of written recordings, driven as a user
// would: keys, actions, the info list, the clipboard and the find dialog.

#include <gtest/gtest.h>

#include <QAbstractScrollArea>
#include <QApplication>
#include <QSplitterHandle>
#include <QScrollBar>
#include <QTest>
#include <QKeyEvent>
#include <QWidget>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "ChartAxis.h"
#include "IndexWriter.h"
#include "LineSeries.h"
#include "RecordingWriter.h"
#include "TempDir.h"
#include "VantoraChart.h"
#include "ViewerTestSupport.h"

namespace {

// Twelve records: shots of three channels, the first with its high-power
// block written as two continued blocks, and housekeeping records at 2 and 9.
struct TRecording {
    TTempDir Dir;
    std::string Path = Dir.File("rec.kqm");
    TRecording() {
        TRecordingWriter writer(Path, TRecHeader{});
        for (std::uint32_t n = 1; n <= 12; ++n) {
            const std::uint64_t time = 1000000 + 40ULL * n;
            if (n == 2 || n == 9) {
                writer.Write(TRecord::House(time, 0, 0));
                continue;
            }
            TRecord r;
            r.Time = time;
            const std::vector<std::uint8_t> rise = {10, 40, 90, 160, 200, 170, 120, 80};
            const std::vector<std::uint8_t> fall = {50, 30, 20, 12, 8, 6, 5, 4};
            // Descriptor bits 7-6: 01 high power, 00 low power, 11 reference.
            r.Blocks = {{100, 0x40, rise, {}},
                        {102, 0x40, fall, {}},
                        {110, 0x00, {5, 20, 45, 30, 15, 8, 4, 2}, {}},
                        {90, 0xC0, {30, 120, 60, 10}, {}}};
            writer.Write(r);
        }
        writer.Close();
        TIndexFile index;
        index.Entries = EntriesOf(writer);
        index.Write(Dir.File("rec.idx"));
    }
};

void Key(QWidget* target, int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    // The window tells a key from the one before by the event's address:
    // every key gets an event of its own that outlives the test.
    static std::vector<std::unique_ptr<QKeyEvent>> events;
    events.push_back(std::make_unique<QKeyEvent>(QEvent::KeyPress, key, modifiers));
    QApplication::sendEvent(target, events.back().get());
}

struct TWindow {
    TDialogsDouble Dialogs;
    TFormVantoraChart Form;
    explicit TWindow(const std::string& libraryFolder = KQMLIB_DIR) : Form(Dialogs, libraryFolder) {}
    QWidget* Window() const { return Form.Form.Widget(); }
    std::string Row(const std::string& name, int n = 0) const { return Form.Display().Info().ValueOf(name, n); }
    TChartSeries* Series(int i) { return Form.Chart1.Series(i); }
    // The window on screen at the given size, showing the recording's first shot.
    void ShowFirstShot(const std::string& path, int width, int height) {
        Form.Form.SetBounds(100, 100, width, height);
        Form.Form.Show();
        Form.OpenFile(path);
        Key(Window(), Qt::Key_Right);
    }
    int SeriesCount() const { return Form.Chart1.SeriesCount(); }
};

}  // namespace

TEST(RecordWindow, StepsThroughShotsAndHousekeepingRecords) {
    TRecording rec;
    TWindow w;
    w.Form.OpenFile(rec.Path);
    EXPECT_EQ(w.Row("Measurement record"), "(none)");
    EXPECT_EQ(w.SeriesCount(), 0);
    Key(w.Window(), Qt::Key_Right);
    ASSERT_TRUE(w.Dialogs.Messages.empty()) << w.Dialogs.Messages[0];
    EXPECT_EQ(w.Row("Measurement record"), "1");
    EXPECT_EQ(w.Row("Sample blocks"), "3");
    EXPECT_EQ(w.Row("  Housekeeping record"), "NO");
    ASSERT_EQ(w.SeriesCount(), 3);
    const TColor colours[] = {clRed, clGreen, clNavy};
    const int counts[] = {16, 8, 4};  // the continued block arrives joined
    for (int i = 0; i < 3; ++i) {
        EXPECT_NE(dynamic_cast<TPointSeries*>(w.Series(i)), nullptr);
        EXPECT_EQ(w.Series(i)->SeriesColor(), colours[i]);
        EXPECT_EQ(w.Series(i)->PointCount(), counts[i]);
    }
    EXPECT_EQ(w.Form.InfoList->Items(), w.Form.Display().Info().Rows());
    EXPECT_EQ(w.Form.SampleBlockLabel->Caption(), "(all)");

    Key(w.Window(), Qt::Key_Right);
    EXPECT_EQ(w.Row("Measurement record"), "2");
    EXPECT_EQ(w.Row("  Housekeeping record"), "YES");
    EXPECT_EQ(w.Row("Sample blocks"), "0");
    EXPECT_EQ(w.Row("Origin vector [m]", 1), "(none)");
    EXPECT_EQ(w.Row("Facet"), "(none)");
    EXPECT_EQ(w.SeriesCount(), 0);

    Key(w.Window(), Qt::Key_Left);
    EXPECT_EQ(w.Row("Measurement record"), "1");
    EXPECT_EQ(w.SeriesCount(), 3);
    EXPECT_TRUE(w.Dialogs.Messages.empty());
}

TEST(RecordWindow, EnhancementAxisSampleBlocksAndPointSize) {
    TRecording rec;
    TWindow w;
    // Without a file the axis actions only set the axis.
    w.Form.ActionViewAxisX_RangeGate.Execute();
    EXPECT_EQ(w.Form.Chart1.BottomAxis()->Title().Caption(), "Range gate index");
    EXPECT_EQ(w.Form.Chart1.BottomAxis()->Increment(), 1);
    EXPECT_EQ(w.Form.Chart1.BottomAxis()->AxisValuesFormat(), "# ##0");
    w.Form.OpenFile(rec.Path);
    w.Form.SeekAndShow(3);
    w.Form.ActionViewEnhanceSmooth.Execute();
    ASSERT_EQ(w.SeriesCount(), 6);
    EXPECT_NE(dynamic_cast<TLineSeries*>(w.Series(0)), nullptr);
    EXPECT_EQ(w.Series(0)->PointCount(), 4 * 16 + 1);
    EXPECT_NEAR(w.Series(0)->YValueAt(64), w.Series(1)->YValueAt(15), 1e-9);
    EXPECT_NEAR(w.Series(0)->XValueAt(0), w.Series(1)->XValueAt(0), 1e-9);
    w.Form.ActionViewEnhanceLinear.Execute();
    ASSERT_EQ(w.SeriesCount(), 6);
    EXPECT_EQ(w.Series(2)->PointCount(), w.Series(3)->PointCount());
    w.Form.ActionViewAxisX_RawRange.Execute();
    EXPECT_EQ(w.Form.Chart1.BottomAxis()->Title().Caption(), "Raw range [m]");
    EXPECT_EQ(w.Form.Chart1.BottomAxis()->AxisValuesFormat(), "# ##0.000");
    w.Form.ActionViewAxisX_TimeStamp.Execute();
    EXPECT_EQ(w.Form.Chart1.BottomAxis()->Title().Caption(), "Time stamp [sec]");
    EXPECT_EQ(w.Form.Chart1.BottomAxis()->Increment(), 1e-9);

    w.Form.ActionViewSampleBlocks.Execute();
    EXPECT_EQ(w.Form.SampleBlockLabel->Caption(), "1 of 3");
    EXPECT_EQ(w.SeriesCount(), 2);
    Key(w.Window(), Qt::Key_Down);
    Key(w.Window(), Qt::Key_Down);
    Key(w.Window(), Qt::Key_Down);  // stays on the last block
    EXPECT_EQ(w.Form.SampleBlockLabel->Caption(), "3 of 3");
    EXPECT_EQ(w.Row("  Channel"), "REF");
    EXPECT_EQ(w.Series(1)->SeriesColor(), clNavy);
    Key(w.Window(), Qt::Key_Up);
    EXPECT_EQ(w.Row("Sample block selected"), "2");
    Key(w.Window(), Qt::Key_Right);  // a new record starts at its first block
    EXPECT_EQ(w.Form.SampleBlockLabel->Caption(), "1 of 3");
    w.Form.ActionViewSampleBlocks.Execute();
    EXPECT_EQ(w.SeriesCount(), 6);
    EXPECT_EQ(w.Row("  Channel"), "");

    Key(w.Window(), Qt::Key_Plus, Qt::KeypadModifier);
    Key(w.Window(), Qt::Key_Plus, Qt::KeypadModifier);
    EXPECT_EQ(w.Form.PointSize(), 3);
    for (TChartSeries* s : w.Form.Chart1.SeriesList()) {
        EXPECT_EQ(dynamic_cast<TCustomSeries*>(s)->Pointer().HorizSize(), 3);
    }
    for (int i = 0; i < 4; ++i) Key(w.Window(), Qt::Key_Minus, Qt::KeypadModifier);
    EXPECT_EQ(w.Form.PointSize(), 1);
    EXPECT_TRUE(w.Dialogs.Messages.empty());
}

TEST(RecordWindow, ClipboardTexts) {
    TRecording rec;
    TWindow w;
    w.Form.OpenFile(rec.Path);
    w.Form.SeekAndShow(1);
    w.Form.InfoList->SetItemIndex(1);  // "Internal time [sec]"
    const std::string row = w.Form.InfoList->Items()[1];
    ASSERT_EQ(row.rfind("Internal time [sec]=", 0), 0u);
    Key(w.Form.InfoList->Widget(), Qt::Key_C, Qt::ControlModifier);
    std::string expected = row.substr(row.find('=') + 1);
    std::erase(expected, ' ');
    EXPECT_EQ(ClipboardText(), expected);
    EXPECT_EQ(ClipboardText().find(' '), std::string::npos);

    w.Form.ActionCopyInfoList.Execute();
    const std::string all = ClipboardText();
    EXPECT_EQ(all.rfind("Measurement record=1\r\n", 0), 0u);
    EXPECT_NE(all.find("\r\nSample blocks=3\r\n"), std::string::npos);

    Key(w.Window(), Qt::Key_D, Qt::ControlModifier);
    const std::string data = ClipboardText();
    EXPECT_EQ(data, w.Form.DataText());
    std::size_t headers = 0;
    for (std::size_t p = data.find("id, X, Y\r\n"); p != std::string::npos; p = data.find("id, X, Y\r\n", p + 1)) {
        ++headers;
    }
    EXPECT_EQ(headers, 3u);
    EXPECT_EQ(w.Form.Form.StatusText(), "Copied to clipboard");
}

TEST(RecordWindow, SecondBackendDrawsTwoChannelsAgainstItsReferencePulse) {
    TTempDir dir;
    const std::string path = dir.File("shot.HXT");
    std::ofstream(path) << "fake";
    TWindow w(FAKE_HXT_DIR);
    w.Form.OpenFile(path);
    w.Form.ActionViewAxisX_RawRange.Execute();
    Key(w.Window(), Qt::Key_Right);
    ASSERT_TRUE(w.Dialogs.Messages.empty()) << w.Dialogs.Messages[0];
    ASSERT_EQ(w.SeriesCount(), 2);
    EXPECT_EQ(w.Series(0)->SeriesColor(), clRed);
    EXPECT_EQ(w.Series(1)->SeriesColor(), clGreen);
    EXPECT_EQ(w.Row("Saturation"), "211");
    EXPECT_EQ(w.Row("Instant of Pulse Emission [sec]"), "1.000 000");
    EXPECT_EQ(w.Row("Sample blocks"), "2");
    // Raw range counts from the reference pulse: 1e8 m/s times 50 ns.
    EXPECT_NEAR(w.Series(0)->XValueAt(0), 5.0, 1e-6);
}

TEST(RecordWindow, FindJumpsSearchesAndCancels) {
    TRecording rec;
    TWindow w;
    w.Form.OpenFile(rec.Path);
    w.Form.SeekAndShow(3);
    w.Form.ActionFind.Execute();
    ASSERT_TRUE(w.Form.FormFind);
    TFindDialog& find = *w.Form.FormFind;
    auto findText = [&](const std::string& text) {
        find.SetText(text);
        find.FindNext();
    };
    findText("+2");
    EXPECT_EQ(w.Row("Measurement record"), "5");
    findText("-3");
    EXPECT_EQ(w.Row("Measurement record"), "2");
    findText("7");
    EXPECT_EQ(w.Row("Measurement record"), "7");
    findText("FLAGS AND 4 = 4");
    EXPECT_EQ(w.Row("Measurement record"), "9");
    EXPECT_EQ(w.Form.Form.StatusText(), "Expression found");
    EXPECT_FALSE(w.Form.Busy());
    EXPECT_TRUE(find.FindEnabled());

    // Nothing more to find: the search ends at the last record.
    findText("flags and 4 = 4");
    EXPECT_EQ(w.Row("Measurement record"), "12");
    EXPECT_EQ(w.Form.Form.StatusText(), "Expression not found (end of data)");
    ASSERT_TRUE(w.Dialogs.Messages.empty()) << w.Dialogs.Messages[0];

    // Targets outside the recording and bad terms move nothing.
    findText("+1");
    findText("0");
    ASSERT_EQ(w.Dialogs.Messages.size(), 2u);
    EXPECT_EQ(w.Dialogs.Messages[0], "Seek beyond end of file");
    EXPECT_EQ(w.Row("Measurement record"), "12");
    w.Form.SeekAndShow(1);
    findText("speed > 3");
    EXPECT_EQ(w.Form.Form.StatusText().rfind("Search failed: Field \"speed\" not defined", 0), 0u);
    EXPECT_EQ(w.Dialogs.Messages.back().rfind("Field \"speed\" not defined (available fields: index,", 0), 0u);
    EXPECT_FALSE(w.Form.Busy());

    // Cancel pressed while the search runs.
    bool busyWhileSearching = false;
    TApplication::Post([&] {
        busyWhileSearching = w.Form.Busy() && !w.Form.ActionFind.Enabled() && w.Form.ActionCancel.Enabled();
        w.Form.ActionCancel.Execute();
    });
    findText("facet = 77");
    EXPECT_TRUE(busyWhileSearching);
    EXPECT_EQ(w.Form.Form.StatusText(), "Search aborted");
    EXPECT_LT(std::stoi(w.Row("Measurement record")), 12);
    EXPECT_FALSE(w.Form.Busy());
    EXPECT_TRUE(w.Form.ActionFind.Enabled());
}

// Pictures of a drawn shot in each enhancement mode, for a person to look
// at: written only when VIEWER_SHOTS_DIR names a folder.
TEST(RecordWindow, ScreenshotsOfEachEnhancement) {
    const char* folder = std::getenv("VIEWER_SHOTS_DIR");
    if (!folder) GTEST_SKIP() << "VIEWER_SHOTS_DIR not set";
    TRecording rec;
    TWindow w;
    w.Form.Form.SetBounds(100, 100, 833, 590);
    w.Form.Form.Show();
    w.Form.OpenFile(rec.Path);
    w.Form.SeekAndShow(1);
    const std::pair<TAction*, const char*> modes[] = {{&w.Form.ActionViewEnhanceNone, "none"},
                                                      {&w.Form.ActionViewEnhanceLinear, "linear"},
                                                      {&w.Form.ActionViewEnhanceSmooth, "smooth"}};
    for (const auto& [action, name] : modes) {
        action->Execute();
        QApplication::processEvents();
        EXPECT_TRUE(w.Window()->grab().save(QString::fromStdString(std::string(folder) + "/viewer-" + name + ".png")));
    }
}

// At point size 1 without enhancement each marker is a 3 x 3 square: every
// pixel of it in its channel's colour, so that the legend's colours are found
// on the plot.
TEST(RecordWindow, MarkersOfSizeOneShowTheirChannelsColour) {
    TRecording rec;
    TWindow w;
    w.ShowFirstShot(rec.Path, 833, 590);
    w.Form.ActionViewEnhanceNone.Execute();
    ASSERT_EQ(w.Form.PointSize(), 1);
    QApplication::processEvents();
    const QImage shot = w.Form.ChartHost->Widget()->grab().toImage();
    if (const char* folder = std::getenv("VIEWER_SHOTS_DIR"))
        shot.save(QString::fromStdString(std::string(folder) + "/viewer-none-size1.png"));
    // Neighbouring markers may overlap; a black frame would leave one pixel each.
    for (const auto& [rgb, points] : {std::pair{qRgb(255, 0, 0), 16}, {qRgb(0, 128, 0), 8}, {qRgb(0, 0, 128), 4}}) {
        int pixels = 0;
        for (int y = 0; y < shot.height(); ++y)
            for (int x = 0; x < shot.width(); ++x) pixels += shot.pixel(x, y) == rgb;
        EXPECT_GE(pixels, 5 * points) << std::hex << rgb;
    }
}

// Columns of a band of an image that hold dark (text) pixels.
std::vector<bool> InkColumns(const QImage& image, int top, int bottom) {
    std::vector<bool> ink(std::size_t(image.width()), false);
    for (int y = std::max(top, 0); y < std::min(bottom, image.height()); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (qGray(image.pixel(x, y)) < 100) ink[std::size_t(x)] = true;
    return ink;
}

// A narrow window: the info list keeps each name apart from its value, and
// the bottom axis keeps labels.
TEST(RecordWindow, NarrowWindowKeepsNamesValuesAndAxisLabels) {
    TRecording rec;
    TWindow w;
    w.ShowFirstShot(rec.Path, 320, 400);
    // The user drags the splitter to the right as far as it goes.
    auto* handle = w.Form.InfoSplit->Widget()->findChild<QSplitterHandle*>();
    const QPoint grip = handle->rect().center();
    QTest::mousePress(handle, Qt::LeftButton, Qt::NoModifier, grip);
    QTest::mouseMove(handle, grip + QPoint(150, 0));
    QTest::mouseRelease(handle, Qt::LeftButton, Qt::NoModifier, grip + QPoint(150, 0));
    QApplication::processEvents();
    if (const char* folder = std::getenv("VIEWER_SHOTS_DIR"))
        w.Window()->grab().save(QString::fromStdString(std::string(folder) + "/viewer-narrow.png"));

    // Below the plot, above the axis title: the labels.
    const QImage chart = w.Form.ChartHost->Widget()->grab().toImage();
    const TRect plot = w.Form.Chart1.PlotRect();
    const std::vector<bool> labels = InkColumns(chart, plot.Bottom + 3, plot.Bottom + 15);
    EXPECT_GE(std::count(labels.begin() + plot.Left, labels.begin() + plot.Right, true), 20);

    // Each row with a name: a clear gap (wider than a space) between the name and its value.
    const QImage list = static_cast<QAbstractScrollArea*>(w.Form.InfoList->Widget())->viewport()->grab().toImage();
    const std::vector<std::string>& rows = w.Form.InfoList->Items();
    for (int i = 0; i < 10 && i < int(rows.size()); ++i) {
        const std::string& row = rows[std::size_t(i)];
        if (i > 0 && rows[std::size_t(i - 1)].substr(0, row.find('=') + 1) == row.substr(0, row.find('=') + 1))
            continue;
        SCOPED_TRACE(row);
        const std::vector<bool> ink = InkColumns(list, i * 17 + 2, i * 17 + 15);
        const auto first = std::find(ink.begin(), ink.end(), true);
        const auto last = std::find(ink.rbegin(), ink.rend(), true).base();
        int run = 0, widest = 0;
        for (auto it = first; it < last; ++it) widest = std::max(widest, run = *it ? 0 : run + 1);
        EXPECT_GE(widest, 6);
    }

    // Every row can be reached: the list lies inside the window, and rows
    // that do not fit give it a scroll bar.
    auto* area = static_cast<QAbstractScrollArea*>(w.Form.InfoList->Widget());
    const QRect inWindow(area->mapTo(w.Window(), QPoint(0, 0)), area->size());
    EXPECT_TRUE(w.Window()->rect().contains(inWindow))
        << inWindow.x() << "," << inWindow.y() << " " << inWindow.width() << "x" << inWindow.height();
    if (int(rows.size()) * 17 > area->viewport()->height()) {
        EXPECT_TRUE(area->verticalScrollBar()->isVisible());
    }
}
