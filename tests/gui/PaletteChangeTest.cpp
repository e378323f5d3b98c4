// A chart in its window follows the application's palette: the panel's default
// colour is the button face, and a new palette repaints it at once.

#include <gtest/gtest.h>

#include <QApplication>
#include <QPalette>

#include "ChartWidgetFixture.h"

namespace {

TEST(PaletteChange, TheButtonFacePanelTakesTheNewColourAtOnce) {
    EnsureWidgetApplication();
    struct Restore {
        QPalette saved = QApplication::palette();
        ~Restore() { QApplication::setPalette(saved); }
    } restore;
    ChartWidgetFixture c;
    c.Show();
    ASSERT_EQ(c.chart.Color(), clBtnFace);
    // a point of the panel between its bevel and the plot
    auto panel = [&] { return c.Paint().pixel(4, 4) & 0xFFFFFF; };
    EXPECT_EQ(panel(), 0xF0F0F0u);

    QPalette p = QApplication::palette();
    p.setColor(QPalette::Button, QColor(200, 220, 250));
    p.setColor(QPalette::Base, QColor(10, 20, 30));
    QApplication::setPalette(p);
    // nothing else invalidates the chart's kept picture: the palette change must
    EXPECT_EQ(panel(), 0xC8DCFAu);
    EXPECT_EQ(ColorToRGB(clWindow), RGB(10, 20, 30));
    EXPECT_EQ(ColorToRGB(clBtnShadow), RGB(160, 160, 160));  // a role not set keeps its classic colour

    // back to a palette that sets no colour, the classic button face returns
    QApplication::setPalette(QPalette());
    EXPECT_EQ(panel(), 0xF0F0F0u);
}

}  // namespace
