#include <gtest/gtest.h>

#include <QApplication>
#include <QEvent>
#include <QImage>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QRegion>
#include <QWheelEvent>
#include <QWidget>
#include <cstdio>
#include <stdexcept>
#include <string>
#include <vector>

#include "Chart.h"
#include "ChartControl.h"

namespace {

// Widgets need the widget application, which must exist before any plain one.
const bool kWidgetApplication = (EnsureWidgetApplication(), true);

// Paints itself in one colour with a marker at its last mouse position and logs what it receives.
class FakeHost : public TPaintHost {
public:
    void HostPaint(TCanvas& target, const TRect& client) override {
        ++Paints;
        if (Throw) throw std::runtime_error("draw failed");
        target.Brush().SetStyle(bsSolid);
        target.Brush().SetColor(Fill);
        target.FillRect(client);
        target.SetPixel(2, 3, clRed);
        Client = client;
    }
    void HostResize(int w, int h) override { Log.push_back("resize " + std::to_string(w) + "x" + std::to_string(h)); }
    void HostSetParented(bool v) override { Parented = v; }
    void HostMouseDown(TMouseButton b, TShiftState s, int x, int y) override { Mouse("down", b, s, x, y); }
    void HostMouseUp(TMouseButton b, TShiftState s, int x, int y) override { Mouse("up", b, s, x, y); }
    void HostMouseMove(TShiftState s, int x, int y) override { Mouse("move", mbLeft, s, x, y); }
    bool HostMouseWheel(TShiftState s, int delta, int x, int y) override {
        Log.push_back("wheel " + std::to_string(delta) + " " + std::to_string(s) + " " + std::to_string(x) + "," +
                      std::to_string(y));
        return true;
    }
    void HostMouseLeave() override { Log.push_back("leave"); }
    int HostCornerRadius() const override { return Radius; }

    void Mouse(const char* what, TMouseButton b, TShiftState s, int x, int y) {
        char buf[96];
        std::snprintf(buf, sizeof buf, "%s %d %u %d,%d", what, static_cast<int>(b), s, x, y);
        Log.push_back(buf);
    }

    TColor Fill = clLime;
    bool Throw = false;
    bool Parented = false;
    int Radius = 0;
    int Paints = 0;
    TRect Client{};
    std::vector<std::string> Log;
};

TEST(ChartControl, PaintsFromTheHostAndForwardsSize) {
    ASSERT_TRUE(kWidgetApplication);
    FakeHost host;
    {
        TChartControl control(host);
        EXPECT_TRUE(host.Parented);
        ASSERT_TRUE(host.RequestRepaint);
        QWidget* w = control.Widget();
        ASSERT_NE(w, nullptr);
        w->resize(120, 80);
        w->show();
        QApplication::processEvents();
        EXPECT_NE(std::find(host.Log.begin(), host.Log.end(), "resize 120x80"), host.Log.end());

        const QImage shot = w->grab().toImage().convertToFormat(QImage::Format_RGB32);
        ASSERT_EQ(shot.width(), 120);
        EXPECT_EQ(host.Client, (TRect{0, 0, 120, 80}));
        EXPECT_EQ(shot.pixel(50, 50) & 0xFFFFFF, 0x00FF00u);
        EXPECT_EQ(shot.pixel(2, 3) & 0xFFFFFF, 0xFF0000u);
        EXPECT_GE(control.PaintCount(), 1);

        // A failing draw is shown, never thrown into the event loop.
        host.Throw = true;
        EXPECT_NO_THROW(w->grab());
        host.Throw = false;
        host.RequestRepaint();  // schedules an update, no paint of its own
    }
    EXPECT_FALSE(host.Parented);
    EXPECT_FALSE(host.RequestRepaint) << "a gone control must not be asked to repaint";
}

TEST(ChartControl, ForwardsMouseWheelAndLeave) {
    FakeHost host;
    TChartControl control(host);
    QWidget* w = control.Widget();
    w->resize(100, 100);
    host.Log.clear();
    QMouseEvent down(QEvent::MouseButtonPress, QPointF(10, 20), QPointF(10, 20), Qt::RightButton, Qt::RightButton,
                     Qt::ShiftModifier);
    QMouseEvent move(QEvent::MouseMove, QPointF(11, 21), QPointF(11, 21), Qt::NoButton, Qt::RightButton,
                     Qt::NoModifier);
    QMouseEvent up(QEvent::MouseButtonRelease, QPointF(12, 22), QPointF(12, 22), Qt::RightButton, Qt::NoButton,
                   Qt::ControlModifier);
    QMouseEvent other(QEvent::MouseButtonPress, QPointF(1, 1), QPointF(1, 1), Qt::BackButton, Qt::BackButton,
                      Qt::NoModifier);
    QWheelEvent wheel(QPointF(30, 40), QPointF(30, 40), QPoint(), QPoint(0, -120), Qt::NoButton, Qt::AltModifier,
                      Qt::NoScrollPhase, false);
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(w, &down);
    QApplication::sendEvent(w, &move);
    QApplication::sendEvent(w, &up);
    QApplication::sendEvent(w, &other);
    QApplication::sendEvent(w, &wheel);
    QApplication::sendEvent(w, &leave);
    const std::vector<std::string> expected = {
        "down 1 " + std::to_string(ssShift | ssRight) + " 10,20",
        "move 0 " + std::to_string(ssRight) + " 11,21",
        "up 1 " + std::to_string(ssCtrl) + " 12,22",
        "wheel -120 " + std::to_string(ssAlt) + " 30,40",
        "leave",
    };
    EXPECT_EQ(host.Log, expected);
}

TEST(ChartControl, RoundCornersFollowTheHost) {
    FakeHost host;
    TChartControl control(host);
    QWidget* w = control.Widget();
    w->resize(100, 60);
    w->show();
    QApplication::processEvents();
    EXPECT_TRUE(w->mask().isEmpty());
    host.Radius = 20;
    w->grab();
    ASSERT_FALSE(w->mask().isEmpty());
    EXPECT_FALSE(w->mask().contains(QPoint(0, 0))) << "the corner is cut";
    EXPECT_TRUE(w->mask().contains(QPoint(50, 30)));
    host.Radius = 0;
    w->grab();
    EXPECT_TRUE(w->mask().isEmpty());
}

TEST(ChartControl, HeadlessRenderAndPngRoundTrip) {
    FakeHost host;
    host.Fill = 0x123456;
    std::unique_ptr<TBitmap> image = RenderToBitmap(host, 40, 30);
    ASSERT_EQ(image->Width(), 40);
    ASSERT_EQ(image->Height(), 30);
    EXPECT_EQ(host.Log.back(), "resize 40x30");
    EXPECT_EQ(image->GetPixel(10, 10), 0x123456u);

    const std::string file = ::testing::TempDir() + "chart_control_roundtrip.png";
    ASSERT_TRUE(SaveBitmapToPng(*image, file));
    TBitmap back;
    ASSERT_TRUE(LoadBitmapFromPng(back, file));
    ASSERT_EQ(back.Width(), 40);
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 40; ++x) ASSERT_EQ(back.GetPixel(x, y), image->GetPixel(x, y)) << x << "," << y;
    std::remove(file.c_str());

    EXPECT_FALSE(LoadBitmapFromPng(back, ::testing::TempDir() + "no-such-file.png"));
    EXPECT_FALSE(SaveBitmapToPng(TBitmap(), file)) << "an empty picture is no PNG";
    EXPECT_EQ(RenderToBitmap(host, -5, 0)->Width(), 0);
}

}  // namespace

namespace {

class KeyCountingParent : public QWidget {
public:
    int Keys = 0;

protected:
    void keyPressEvent(QKeyEvent*) override { ++Keys; }
};

TEST(ChartControl, AChartKeepsTheArrowKeysFromTheWindowAroundIt) {
    KeyCountingParent parent;
    FakeHost plain;
    TChart chart;
    TChartControl plainControl(plain, &parent), chartControl(chart, &parent);
    for (auto [w, key] : {std::pair{plainControl.Widget(), Qt::Key_Left},
                          {chartControl.Widget(), Qt::Key_Left},
                          {chartControl.Widget(), Qt::Key_Down},
                          {chartControl.Widget(), Qt::Key_A}}) {
        QKeyEvent e(QEvent::KeyPress, key, Qt::NoModifier);
        QApplication::sendEvent(w, &e);
    }
    EXPECT_EQ(parent.Keys, 2);  // the plain host's arrow and the chart's letter
}

}  // namespace
