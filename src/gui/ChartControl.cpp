#include "ChartControl.h"

#include <QApplication>
#include <QToolTip>
#include <QImage>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPalette>
#include <QPainter>
#include <QPainterPath>
#include <QRegion>
#include <QPointer>
#include <QResizeEvent>
#include <QTimer>
#include <QWheelEvent>
#include <QWidget>
#include <algorithm>
#include <cstdlib>

#include "Exception.h"
#include "MessagePump.h"
#include "QtSupport.h"

namespace {

TShiftState ShiftOf(Qt::KeyboardModifiers mods, Qt::MouseButtons buttons) {
    TShiftState s = 0;
    if (mods & Qt::ShiftModifier) s |= ssShift;
    if (mods & Qt::AltModifier) s |= ssAlt;
    if (mods & Qt::ControlModifier) s |= ssCtrl;
    if (buttons & Qt::LeftButton) s |= ssLeft;
    if (buttons & Qt::RightButton) s |= ssRight;
    if (buttons & Qt::MiddleButton) s |= ssMiddle;
    return s;
}

bool ButtonOf(Qt::MouseButton b, TMouseButton& out) {
    switch (b) {
    case Qt::LeftButton:
        out = mbLeft;
        return true;
    case Qt::RightButton:
        out = mbRight;
        return true;
    case Qt::MiddleButton:
        out = mbMiddle;
        return true;
    default:
        return false;
    }
}

}  // namespace

void EnsureWidgetApplication() { EnsureApplication<QApplication>(); }

namespace {

Qt::CursorShape QtCursorOf(TCursor cursor) {
    switch (cursor) {
    case crCross:
        return Qt::CrossCursor;
    case crHSplit:
        return Qt::SplitHCursor;
    case crVSplit:
        return Qt::SplitVCursor;
    case crHandPoint:
        return Qt::PointingHandCursor;
    case crSizeAll:
        return Qt::SizeAllCursor;
    case crChartHand:
        return Qt::OpenHandCursor;
    default:
        return Qt::ArrowCursor;
    }
}

// The system colours that have a palette role: those the application sets in its
// palette take its colour, the others keep their classic value.
void FollowApplicationPalette() {
    struct Role {
        TColor color;
        QPalette::ColorGroup group;
        QPalette::ColorRole role;
    };
    static constexpr Role Roles[] = {
        {clBtnFace, QPalette::Active, QPalette::Button},
        {clBtnText, QPalette::Active, QPalette::ButtonText},
        {clBtnHighlight, QPalette::Active, QPalette::Light},
        {cl3DLight, QPalette::Active, QPalette::Midlight},
        {clBtnShadow, QPalette::Active, QPalette::Dark},
        {cl3DDkShadow, QPalette::Active, QPalette::Shadow},
        {clWindow, QPalette::Active, QPalette::Base},
        {clWindowText, QPalette::Active, QPalette::Text},
        {clHighlight, QPalette::Active, QPalette::Highlight},
        {clHighlightText, QPalette::Active, QPalette::HighlightedText},
        {clGrayText, QPalette::Disabled, QPalette::Text},
        {clInfoBk, QPalette::Active, QPalette::ToolTipBase},
        {clInfoText, QPalette::Active, QPalette::ToolTipText},
    };
    const QPalette palette = QGuiApplication::palette();
    for (const Role& r : Roles) {
        if (palette.isBrushSet(r.group, r.role)) {
            const QColor c = palette.color(r.group, r.role);
            SetSystemColor(r.color, RGB(c.red(), c.green(), c.blue()));
        } else {
            ResetSystemColor(r.color);
        }
    }
}

}  // namespace

class ChartWidget : public QWidget {
public:
    ChartWidget(TChartControl::Impl& impl, QWidget* parent) : QWidget(parent), FImpl(impl) {
        setMouseTracking(true);
        setAttribute(Qt::WA_OpaquePaintEvent);
        setAttribute(Qt::WA_NoSystemBackground);
    }

protected:
    bool event(QEvent* e) override;
    void paintEvent(QPaintEvent*) override;
    void resizeEvent(QResizeEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override { Mouse(e, 0); }
    void mouseDoubleClickEvent(QMouseEvent* e) override { Mouse(e, 0); }
    void mouseReleaseEvent(QMouseEvent* e) override { Mouse(e, 1); }
    void mouseMoveEvent(QMouseEvent* e) override { Mouse(e, 2); }
    void wheelEvent(QWheelEvent* e) override;
    void leaveEvent(QEvent*) override;
    void keyPressEvent(QKeyEvent* e) override;

private:
    void Mouse(QMouseEvent* e, int kind);
    // Rounds the window's corners as the host asks; guarded against re-entry.
    void ApplyShape();
    int FShapeRadius = 0;
    QSize FShapeSize;
    bool FShaping = false;
    TChartControl::Impl& FImpl;
};

struct TChartControl::Impl {
    TPaintHost& host;
    QPointer<ChartWidget> widget;
    bool ownsWidget = false;
    TBitmap screen;
    int paints = 0;
    QTimer hintTimer;
    QString hintText;
    QPoint hintAt;
    explicit Impl(TPaintHost& h) : host(h) {}
};

void ChartWidget::ApplyShape() {
    if (FShaping) return;
    FShaping = true;
    const int radius = std::max(0, FImpl.host.HostCornerRadius());
    if (radius != FShapeRadius || (radius > 0 && size() != FShapeSize)) {
        if (radius > 0) {
            QPainterPath path;
            path.addRoundedRect(QRectF(0, 0, width(), height()), radius, radius);
            setMask(QRegion(path.toFillPolygon().toPolygon()));
        } else {
            clearMask();
        }
        FShapeRadius = radius;
        FShapeSize = size();
    }
    FShaping = false;
}

bool ChartWidget::event(QEvent* e) {
    // A new palette may change the system colours the picture was drawn in.
    if (e->type() == QEvent::ApplicationPaletteChange || e->type() == QEvent::PaletteChange) {
        FollowApplicationPalette();
        FImpl.host.HostSystemColorsChanged();
    }
    return QWidget::event(e);
}

void ChartWidget::paintEvent(QPaintEvent*) {
    ApplyShape();
    const int w = width(), h = height();
    if (FImpl.screen.Width() != w || FImpl.screen.Height() != h) FImpl.screen.SetSize(w, h);
    ++FImpl.paints;
    QPainter painter(this);
    try {
        // a transparent host draws over the window's background, not over its last frame
        if (FImpl.host.HostTransparent()) {
            const QColor back = palette().color(backgroundRole());
            TCanvas& screen = FImpl.screen.Canvas();
            screen.Brush().SetStyle(bsSolid);
            screen.Brush().SetColor(RGB(back.red(), back.green(), back.blue()));
            screen.FillRect(TRect{0, 0, w, h});
        }
        FImpl.host.HostPaint(FImpl.screen.Canvas(), TRect{0, 0, w, h});
        painter.drawImage(0, 0, QtImageOf(FImpl.screen));
    } catch (const std::exception& e) {
        // A failing draw shows its reason instead of taking the program down.
        painter.fillRect(rect(), Qt::white);
        painter.setPen(Qt::red);
        painter.drawText(rect(), Qt::AlignCenter | Qt::TextWordWrap, QString::fromUtf8(e.what()));
    }
}

void ChartWidget::resizeEvent(QResizeEvent* e) {
    FImpl.host.HostResize(e->size().width(), e->size().height());
    ApplyShape();
    update();
}

void ChartWidget::Mouse(QMouseEvent* e, int kind) {
    const QPoint p = e->position().toPoint();
    const TShiftState shift = ShiftOf(e->modifiers(), e->buttons());
    TMouseButton button = mbLeft;
    try {
        if (kind == 2) {
            FImpl.host.HostMouseMove(shift, p.x(), p.y());
        } else if (ButtonOf(e->button(), button)) {
            if (kind == 0)
                FImpl.host.HostMouseDown(
                    button,
                    shift | (e->type() == QEvent::MouseButtonDblClick ? static_cast<TShiftState>(ssDouble) : 0u), p.x(),
                    p.y());
            else
                FImpl.host.HostMouseUp(button, shift, p.x(), p.y());
        }
    } catch (const std::exception&) {
        // mouse handling of a chart never escapes into the event loop
    }
    e->accept();
}

void ChartWidget::wheelEvent(QWheelEvent* e) {
    const QPoint p = e->position().toPoint();
    bool used = false;
    try {
        used = FImpl.host.HostMouseWheel(ShiftOf(e->modifiers(), e->buttons()), e->angleDelta().y(), p.x(), p.y());
    } catch (const std::exception&) {
    }
    if (used)
        e->accept();
    else
        e->ignore();
}

void ChartWidget::keyPressEvent(QKeyEvent* e) {
    const int k = e->key();
    const bool arrow = k == Qt::Key_Left || k == Qt::Key_Right || k == Qt::Key_Up || k == Qt::Key_Down;
    if (arrow && FImpl.host.HostWantsArrowKeys())
        e->accept();
    else
        QWidget::keyPressEvent(e);
}

void ChartWidget::leaveEvent(QEvent*) {
    try {
        FImpl.host.HostMouseLeave();
    } catch (const std::exception&) {
    }
}

TChartControl::TChartControl(TPaintHost& host, QWidget* parent) : FHost(host), FImpl(std::make_unique<Impl>(host)) {
    if (!qobject_cast<QApplication*>(QCoreApplication::instance())) {
        if (QCoreApplication::instance()) throw Exception("The chart control needs a widget application.");
        EnsureWidgetApplication();
    }
    // A widget with a parent belongs to the parent, which frees it with itself;
    // without one the control frees it. The guarded pointer notices a widget
    // freed first by its parent.
    FImpl->widget = new ChartWidget(*FImpl, parent);
    FImpl->ownsWidget = parent == nullptr;
    FollowApplicationPalette();
    host.HostSetParented(true);
    host.HostResize(FImpl->widget->width(), FImpl->widget->height());
    QPointer<ChartWidget> widget = FImpl->widget;
    host.RequestRepaint = [widget] {
        if (widget) widget->update();
    };
    host.RequestRepaintNow = [widget] {
        if (widget) widget->repaint();
    };
    host.RequestCursor = [widget](TCursor cursor) {
        if (widget) widget->setCursor(QtCursorOf(cursor));
    };
    Impl* impl = FImpl.get();
    impl->hintTimer.setSingleShot(true);
    QObject::connect(&impl->hintTimer, &QTimer::timeout, [impl] {
        if (impl->widget)
            QToolTip::showText(impl->widget->mapToGlobal(impl->hintAt), impl->hintText, impl->widget.data());
    });
    // the mouse rests for the application's hint pause before the hint shows
    host.RequestHint = [impl](const std::string& text, int x, int y) {
        impl->hintTimer.stop();
        if (text.empty()) {
            QToolTip::hideText();
            return;
        }
        impl->hintText = QString::fromStdString(text);
        impl->hintAt = QPoint(x, y);
        impl->hintTimer.start(HintPause());
    };
}

TChartControl::~TChartControl() {
    FHost.RequestRepaint = nullptr;
    FHost.RequestRepaintNow = nullptr;
    FHost.RequestCursor = nullptr;
    FHost.RequestHint = nullptr;
    FHost.HostSetParented(false);
    if (FImpl->ownsWidget && FImpl->widget) delete FImpl->widget.data();
}

QWidget* TChartControl::Widget() const { return FImpl->widget.data(); }

int TChartControl::PaintCount() const { return FImpl->paints; }

std::unique_ptr<TBitmap> RenderToBitmap(TPaintHost& host, int width, int height) {
    width = std::max(width, 0);
    height = std::max(height, 0);
    host.HostResize(width, height);
    auto bitmap = std::make_unique<TBitmap>(width, height);
    host.HostPaint(bitmap->Canvas(), TRect{0, 0, width, height});
    return bitmap;
}

bool SaveBitmapToPng(const TBitmap& bitmap, const std::string& fileName) {
    if (bitmap.Empty()) return false;
    return QtImageOf(bitmap).save(QString::fromStdString(fileName), "PNG");
}

bool LoadBitmapFromPng(TBitmap& bitmap, const std::string& fileName) {
    QImage image;
    if (!image.load(QString::fromStdString(fileName), "PNG")) return false;
    image = image.convertToFormat(QImage::Format_RGB32);
    bitmap.SetSize(image.width(), image.height());
    for (int y = 0; y < image.height(); ++y) {
        auto* line = bitmap.ScanLine(y);
        const auto* src = reinterpret_cast<const std::uint32_t*>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x) line[x] = src[x] | 0xFF000000u;
    }
    return true;
}
