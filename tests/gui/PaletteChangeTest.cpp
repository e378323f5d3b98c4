// A chart in its window follows the application's palette: the panel's default
// colour is the button face, and a new palette repaints it at once.

#include <gtest/gtest.h>

#include <QApplication>
#include <QColor>
#include <QImage>
#include <QPalette>

#include "ChartWidgetFixture.h"
#include "LineSeries.h"

namespace {

const bool kWidgetApplication = (EnsureWidgetApplication(), true);

// Puts the application's palette back as it was, whatever the test did to it.
struct PaletteGuard {
    QPalette saved = QApplication::palette();
    ~PaletteGuard() { QApplication::setPalette(saved); }
};

struct PaletteChart : ChartWidgetFixture {
    PaletteChart() {
        auto* series = new TLineSeries(&chart);
        series->SetParentChart(&chart);
        for (int i = 0; i <= 10; ++i) series->AddPoint(i, i * i);
        Show();
    }
    // A point of the panel between its bevel and the plot.
    QRgb PanelPixel(const QImage& image) const { return image.pixel(4, 4) & 0xFFFFFF; }
};

TEST(PaletteChange, TheButtonFacePanelTakesTheNewColourAtOnce) {
    ASSERT_TRUE(kWidgetApplication);
    PaletteGuard guard;
    PaletteChart c;
    ASSERT_EQ(c.chart.Color(), clBtnFace);
    const QImage before = c.Paint();
    EXPECT_EQ(c.PanelPixel(before), qRgb(240, 240, 240) & 0xFFFFFF);

    QPalette blue = QApplication::palette();
    blue.setColor(QPalette::Button, QColor(200, 220, 250));
    QApplication::setPalette(blue);
    // nothing else invalidates the chart's kept picture: the palette change must
    EXPECT_EQ(c.PanelPixel(c.Paint()), qRgb(200, 220, 250) & 0xFFFFFF);
    EXPECT_EQ(ColorToRGB(clBtnFace), RGB(200, 220, 250));

    // A panel with a colour of its own stays as it is.
    c.chart.SetColor(clWhite);
    EXPECT_EQ(c.PanelPixel(c.Paint()), qRgb(255, 255, 255) & 0xFFFFFF);
    c.chart.SetColor(clBtnFace);

    // Back to a palette that sets no colour, the classic button face returns.
    QApplication::setPalette(QPalette());
    EXPECT_EQ(c.PanelPixel(c.Paint()), qRgb(240, 240, 240) & 0xFFFFFF);
}

TEST(PaletteChange, OnlyTheRolesTheApplicationSetsAreFollowed) {
    PaletteGuard guard;
    PaletteChart c;
    QPalette p = QApplication::palette();
    p.setColor(QPalette::Base, QColor(10, 20, 30));
    QApplication::setPalette(p);
    c.Paint();
    EXPECT_EQ(ColorToRGB(clWindow), RGB(10, 20, 30));
    EXPECT_EQ(ColorToRGB(clBtnFace), RGB(240, 240, 240));
    EXPECT_EQ(ColorToRGB(clBtnShadow), RGB(160, 160, 160));
}

}  // namespace
