#include "Forms.h"

#include <QAbstractItemView>
#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QBoxLayout>
#include <QClipboard>
#include <QCloseEvent>
#include <QDialog>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QSplitter>
#include <QStatusBar>
#include <QStyledItemDelegate>
#include <QTextDocument>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QUrl>
#include <QWindow>
#include <clocale>
#include <cstdio>
#include <cstring>
#include <map>
#include <optional>

#include "QtSupport.h"

#ifdef NARVI_HAVE_XCB
#include <xcb/xcb.h>

#include <QGuiApplication>
#include <cstdlib>
#endif

namespace {

QString Q(const std::string& s) { return QString::fromUtf8(s.data(), qsizetype(s.size())); }
std::string S(const QString& s) { return s.toUtf8().toStdString(); }

QColor QColorOf(TColor c) {
    const TColor rgb = ColorToRGB(c);
    return QColor(int(rgb & 0xFF), int((rgb >> 8) & 0xFF), int((rgb >> 16) & 0xFF));
}

std::function<void(const std::string&)>& ExceptionHandler() {
    static std::function<void(const std::string&)> handler;
    return handler;
}

// The action's caption with its shortcut after a tab, where menus show it.
QString ActionText(const TAction& action) {
    QString text = Q(action.Caption());
    if (action.ShortCut()) text += "\t" + Q(ShortCutToText(action.ShortCut()));
    return text;
}

// Keeps a toolkit action in step with one of ours and runs ours when triggered.
QAction* BindAction(TAction& action, QObject* parent) {
    auto* qa = new QAction(parent);
    QPointer<QAction> guard(qa);
    auto sync = [guard, &action] {
        if (!guard) return;
        guard->setText(ActionText(action));
        // Tool buttons show the caption alone, without its accelerator mark or shortcut.
        guard->setIconText(Q(action.Caption()).remove('&').trimmed());
        guard->setEnabled(action.Enabled());
        guard->setVisible(action.Visible());
        guard->setCheckable(action.Checkable());
        guard->setChecked(action.Checked());
    };
    sync();
    action.AddListener(sync);
    QObject::connect(qa, &QAction::triggered, qa, [&action, sync] {
        TApplication::Guard([&action] { action.Execute(); });
        sync();  // a checkable item toggled itself; the action decides its mark
    });
    return qa;
}

// Key code and modifier bits of a key event; key 0 for keys without a code.
TShortCut ShortCutOf(const QKeyEvent* e, int& key) {
    const int k = e->key();
    const Qt::KeyboardModifiers m = e->modifiers();
    key = 0;
    if (k == Qt::Key_Left)
        key = VK_LEFT;
    else if (k == Qt::Key_Right)
        key = VK_RIGHT;
    else if (k == Qt::Key_Up)
        key = VK_UP;
    else if (k == Qt::Key_Down)
        key = VK_DOWN;
    else if (k == Qt::Key_Plus && (m & Qt::KeypadModifier))
        key = VK_ADD;
    else if (k == Qt::Key_Minus && (m & Qt::KeypadModifier))
        key = VK_SUBTRACT;
    else if (k >= Qt::Key_A && k <= Qt::Key_Z)
        key = 'A' + (k - Qt::Key_A);
    else if (k >= Qt::Key_0 && k <= Qt::Key_9 && !(m & Qt::KeypadModifier))
        key = '0' + (k - Qt::Key_0);
    TShortCut shift = 0;
    if (m & Qt::ShiftModifier) shift |= scShift;
    if (m & Qt::ControlModifier) shift |= scCtrl;
    if (m & Qt::AltModifier) shift |= scAlt;
    return shift;
}

}  // namespace

// ---------------------------------------------------------------- application

void TApplication::Initialize(int& argc, char** argv) {
    if (!QCoreApplication::instance()) {
        static QApplication* app = new QApplication(argc, argv);
        (void)app;
    }
    // The toolkit takes the C library's locale from the environment; number
    // texts and parses keep the "." decimal point.
    std::setlocale(LC_NUMERIC, "C");
    QApplication::setQuitOnLastWindowClosed(false);
}

void TApplication::SetTitle(const std::string& title) { QApplication::setApplicationName(Q(title)); }
std::string TApplication::Title() { return S(QApplication::applicationName()); }
std::string TApplication::ExeName() { return S(QCoreApplication::applicationFilePath()); }
int TApplication::Run() { return QApplication::exec(); }
void TApplication::ProcessMessages() { QCoreApplication::processEvents(QEventLoop::AllEvents); }
void TApplication::Terminate() { QCoreApplication::quit(); }

void TApplication::Post(std::function<void()> call, int delayMs) {
    if (delayMs > 0) {
        QTimer::singleShot(delayMs, qApp, [call = std::move(call)] { Guard(call); });
        return;
    }
    QMetaObject::invokeMethod(
        qApp, [call = std::move(call)] { Guard(call); }, Qt::QueuedConnection);
}

void TApplication::Guard(const std::function<void()>& fn) noexcept {
    std::string message;
    try {
        fn();
        return;
    } catch (const std::exception& e) {
        message = e.what();
    } catch (...) {
        message = "Unknown exception";
    }
    try {
        if (ExceptionHandler())
            ExceptionHandler()(message);
        else
            ShowMessageBox(message, Title());
    } catch (...) {
        std::fprintf(stderr, "%s\n", message.c_str());
    }
}

void TApplication::SetExceptionHandler(std::function<void(const std::string&)> handler) {
    ExceptionHandler() = std::move(handler);
}

TRect TApplication::WorkArea() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen) return TRect{0, 0, 1024, 768};
    const QRect r = screen->availableGeometry();
    return TRect{r.left(), r.top(), r.left() + r.width(), r.top() + r.height()};
}

// ---------------------------------------------------------------- controls

struct TControl::Impl {
    QPointer<QWidget> Widget;
    // Set when the control sits in a tool bar, which shows and hides it through this.
    QPointer<QAction> BarAction;
};

TControl::TControl(QWidget* widget) : FImpl(std::make_unique<Impl>()) { FImpl->Widget = widget; }

TControl::~TControl() {
    // A widget without a parent window is ours; one with a parent goes with it.
    if (FImpl->Widget && !FImpl->Widget->parent()) delete FImpl->Widget.data();
}

QWidget* TControl::Widget() const { return FImpl->Widget.data(); }
void TControl::SetVisible(bool value) {
    if (FImpl->BarAction)
        FImpl->BarAction->setVisible(value);
    else
        Widget()->setVisible(value);
}

bool TControl::Visible() const { return FImpl->BarAction ? FImpl->BarAction->isVisible() : !Widget()->isHidden(); }
void TControl::SetEnabled(bool value) { Widget()->setEnabled(value); }
bool TControl::Enabled() const { return Widget()->isEnabled(); }
void TControl::SetMinimumWidth(int value) { Widget()->setMinimumWidth(value); }
int TControl::Width() const { return Widget()->width(); }
int TControl::Height() const { return Widget()->height(); }
void TControl::Repaint() { Widget()->update(); }

void TControl::SetWidth(int value) {
    if (value > 0) {
        Widget()->setFixedWidth(value);
    } else {
        Widget()->setMinimumWidth(0);
        Widget()->setMaximumWidth(QWIDGETSIZE_MAX);
    }
}

void TControl::SetFixedSize(int width, int height) { Widget()->setFixedSize(width, height); }

void TControl::SetBackColor(TColor color) {
    QPalette p = Widget()->palette();
    p.setColor(QPalette::Window, QColorOf(color));
    p.setColor(QPalette::Base, QColorOf(color));
    Widget()->setPalette(p);
    Widget()->setAutoFillBackground(true);
}

static QWidget* ParentWidget(TControl* parent) { return parent ? parent->Widget() : nullptr; }

TPanel::TPanel(TControl* parent, bool vertical, int margin, int spacing) : TControl(new QWidget(ParentWidget(parent))) {
    auto* layout = new QBoxLayout(vertical ? QBoxLayout::TopToBottom : QBoxLayout::LeftToRight, Widget());
    layout->setContentsMargins(margin, margin, margin, margin);
    layout->setSpacing(spacing);
}

void TPanel::Add(TControl& control, int stretch) {
    static_cast<QBoxLayout*>(Widget()->layout())->addWidget(control.Widget(), stretch);
}

void TPanel::AddStretch() { static_cast<QBoxLayout*>(Widget()->layout())->addStretch(1); }

TLabel::TLabel(TControl* parent, const std::string& caption) : TControl(new QLabel(Q(caption), ParentWidget(parent))) {}
void TLabel::SetCaption(const std::string& value) { static_cast<QLabel*>(Widget())->setText(Q(value)); }
std::string TLabel::Caption() const { return S(static_cast<QLabel*>(Widget())->text()); }

void TLabel::SetFont(const std::string& family, int pixelSize, bool bold, bool italic) {
    QFont f(Q(family));
    f.setPixelSize(pixelSize);
    f.setBold(bold);
    f.setItalic(italic);
    if (family == "serif") f.setStyleHint(QFont::Serif);
    Widget()->setFont(f);
}

void TLabel::SetTextColor(TColor color) {
    QPalette p = Widget()->palette();
    p.setColor(QPalette::WindowText, QColorOf(color));
    Widget()->setPalette(p);
}

void TLabel::SetAlignment(TTextAlign align) {
    const Qt::Alignment h = align == talLeft ? Qt::AlignLeft : align == talCenter ? Qt::AlignHCenter : Qt::AlignRight;
    static_cast<QLabel*>(Widget())->setAlignment(h | Qt::AlignVCenter);
}

void TLabel::SetWordWrap(bool value) { static_cast<QLabel*>(Widget())->setWordWrap(value); }

TButton::TButton(TControl* parent, const std::string& caption)
    : TControl(new QPushButton(Q(caption), ParentWidget(parent))) {
    QObject::connect(static_cast<QPushButton*>(Widget()), &QPushButton::clicked, Widget(), [this] {
        if (OnClick) TApplication::Guard(OnClick);
    });
}

TButton::TButton(TControl* parent, TAction& action, const std::string& caption)
    : TControl(new QToolButton(ParentWidget(parent))) {
    auto* button = static_cast<QToolButton*>(Widget());
    button->setAutoRaise(true);
    if (caption.empty()) {
        button->setDefaultAction(BindAction(action, button));
        return;
    }
    // A caption of its own: the button follows the action's states, not its text.
    button->setText(Q(caption));
    button->setToolTip(Q(action.Caption()).remove('&').trimmed());
    QPointer<QToolButton> guard(button);
    auto sync = [guard, &action] {
        if (!guard) return;
        guard->setEnabled(action.Enabled());
        guard->setVisible(action.Visible());
    };
    sync();
    action.AddListener(sync);
    QObject::connect(button, &QToolButton::clicked, button,
                     [&action] { TApplication::Guard([&action] { action.Execute(); }); });
}

void TButton::SetDefault(bool value) {
    if (auto* b = qobject_cast<QPushButton*>(Widget())) b->setDefault(value);
}

TProgressBar::TProgressBar(TControl* parent) : TControl(new QProgressBar(ParentWidget(parent))) {
    auto* bar = static_cast<QProgressBar*>(Widget());
    bar->setRange(0, 100);
    bar->setValue(0);
    bar->setTextVisible(false);
}
void TProgressBar::SetPosition(int percent) { static_cast<QProgressBar*>(Widget())->setValue(percent); }
int TProgressBar::Position() const { return static_cast<QProgressBar*>(Widget())->value(); }

// ---------------------------------------------------------------- owner-drawn list

namespace {

// Paints every row through the list's OnDrawItem into a bitmap of the row's size.
class OwnerDrawDelegate : public QStyledItemDelegate {
public:
    OwnerDrawDelegate(TListBox& list, int itemHeight, QObject* parent)
        : QStyledItemDelegate(parent), FList(list), FHeight(itemHeight) {}

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        if (!FList.OnDrawItem) {
            QStyledItemDelegate::paint(painter, option, index);
            return;
        }
        const QRect r = option.rect;
        TBitmap bitmap(r.width(), r.height());
        bitmap.Canvas().Font().SetName("Arial");
        bitmap.Canvas().Font().SetHeight(-12);
        const bool selected = (option.state & QStyle::State_Selected) != 0;
        try {
            FList.OnDrawItem(bitmap.Canvas(), index.row(), TRect{0, 0, r.width(), r.height()}, selected);
        } catch (const std::exception& e) {
            std::fprintf(stderr, "%s\n", e.what());
        }
        painter->drawImage(r.topLeft(), QtImageOf(bitmap));
        if (selected) painter->fillRect(r, QColor(0, 120, 215, 60));
    }

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        QSize s = QStyledItemDelegate::sizeHint(option, index);
        s.setHeight(FHeight);
        return s;
    }

private:
    TListBox& FList;
    int FHeight;
};

}  // namespace

TListBox::TListBox(TControl* parent, int itemHeight)
    : TControl(new QListWidget(ParentWidget(parent))), FColor(clWindow) {
    auto* list = static_cast<QListWidget*>(Widget());
    list->setItemDelegate(new OwnerDrawDelegate(*this, itemHeight, list));
    list->setUniformItemSizes(true);
    list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
}

void TListBox::SetItems(const std::vector<std::string>& items) {
    auto* list = static_cast<QListWidget*>(Widget());
    const int keep = list->currentRow();
    FItems = items;
    list->clear();
    for (const std::string& s : items) list->addItem(Q(s));
    if (keep >= 0 && keep < list->count()) list->setCurrentRow(keep);
}

const std::vector<std::string>& TListBox::Items() const { return FItems; }
int TListBox::ItemIndex() const { return static_cast<QListWidget*>(Widget())->currentRow(); }
void TListBox::SetItemIndex(int index) { static_cast<QListWidget*>(Widget())->setCurrentRow(index); }
TColor TListBox::Color() const { return FColor; }

void TListBox::SetColor(TColor color) {
    FColor = color;
    SetBackColor(color);
}

// ---------------------------------------------------------------- memo, chart, splitter

TMemo::TMemo(TControl* parent) : TControl(new QPlainTextEdit(ParentWidget(parent))) {
    auto* edit = static_cast<QPlainTextEdit*>(Widget());
    edit->setReadOnly(true);
    edit->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    edit->setLineWrapMode(QPlainTextEdit::NoWrap);
}
void TMemo::SetMaxLines(int count) { static_cast<QPlainTextEdit*>(Widget())->setMaximumBlockCount(count); }
void TMemo::AddLine(const std::string& text) { static_cast<QPlainTextEdit*>(Widget())->appendPlainText(Q(text)); }

static QString JoinedLines(const std::vector<std::string>& lines) {
    std::size_t size = 0;
    for (const std::string& line : lines) size += line.size() + 1;
    std::string text;
    text.reserve(size);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (i > 0) text += '\n';
        text += lines[i];
    }
    return Q(text);
}

void TMemo::AddLines(const std::vector<std::string>& lines) {
    if (lines.empty()) return;
    static_cast<QPlainTextEdit*>(Widget())->appendPlainText(JoinedLines(lines));
}

void TMemo::SetLines(const std::vector<std::string>& lines) {
    auto* edit = static_cast<QPlainTextEdit*>(Widget());
    edit->setPlainText(JoinedLines(lines));
    edit->moveCursor(QTextCursor::End);
    edit->ensureCursorVisible();
}
void TMemo::SetWordWrap(bool value) {
    static_cast<QPlainTextEdit*>(Widget())->setLineWrapMode(value ? QPlainTextEdit::WidgetWidth
                                                                  : QPlainTextEdit::NoWrap);
}
void TMemo::ShowFirstLine() {
    auto* edit = static_cast<QPlainTextEdit*>(Widget());
    edit->moveCursor(QTextCursor::Start);
    edit->ensureCursorVisible();
}
int TMemo::LineCount() const {
    const auto* edit = static_cast<QPlainTextEdit*>(Widget());
    return edit->document()->isEmpty() ? 0 : edit->blockCount();
}
std::string TMemo::Text() const { return S(static_cast<QPlainTextEdit*>(Widget())->toPlainText()); }

static QWidget* NewChartWidget(TControl* parent, TPaintHost& host, std::unique_ptr<TChartControl>& out) {
    out = std::make_unique<TChartControl>(host, ParentWidget(parent));
    return out->Widget();
}

TChartHost::TChartHost(TControl* parent, TPaintHost& host) : TControl(nullptr) {
    FImpl->Widget = NewChartWidget(parent, host, FControl);
    FImpl->Widget->setMinimumSize(100, 100);
}

TChartHost::~TChartHost() {
    // The chart control owns its widget.
    FImpl->Widget = nullptr;
}

TSplitter::TSplitter(TControl* parent) : TControl(new QSplitter(Qt::Horizontal, ParentWidget(parent))) {
    static_cast<QSplitter*>(Widget())->setChildrenCollapsible(false);
}

void TSplitter::Add(TControl& control, bool stretch) {
    auto* split = static_cast<QSplitter*>(Widget());
    split->addWidget(control.Widget());
    split->setStretchFactor(split->count() - 1, stretch ? 1 : 0);
}

void TSplitter::SetSizes(const std::vector<int>& sizes) {
    static_cast<QSplitter*>(Widget())->setSizes(QList<int>(sizes.begin(), sizes.end()));
}

std::vector<int> TSplitter::Sizes() const {
    const QList<int> s = static_cast<QSplitter*>(Widget())->sizes();
    return std::vector<int>(s.begin(), s.end());
}

// ---------------------------------------------------------------- menus and tool bar

struct TMenu::Impl {
    QPointer<QMenu> Menu;
    bool Owned = false;
    std::map<int, QActionGroup*> Groups;
};

TMenu::TMenu() : FImpl(std::make_unique<Impl>()) {
    FImpl->Menu = new QMenu();
    FImpl->Owned = true;
}

TMenu::TMenu(std::unique_ptr<Impl> impl) : FImpl(std::move(impl)) {}

TMenu::~TMenu() {
    if (FImpl->Owned && FImpl->Menu) delete FImpl->Menu.data();
}

void TMenu::AddAction(TAction& action) {
    QAction* qa = BindAction(action, FImpl->Menu);
    if (action.GroupIndex() > 0) {
        // A radio mark needs an exclusive group; the actions still decide what is checked.
        QActionGroup*& group = FImpl->Groups[action.GroupIndex()];
        if (!group) group = new QActionGroup(FImpl->Menu);
        group->addAction(qa);
    }
    FImpl->Menu->addAction(qa);
}

void TMenu::AddSeparator() { FImpl->Menu->addSeparator(); }

std::vector<std::string> TMenu::Captions() const {
    std::vector<std::string> out;
    for (QAction* a : FImpl->Menu->actions()) {
        if (a->isSeparator())
            out.push_back("-");
        else if (a->isVisible())
            out.push_back(S(a->text()));
    }
    return out;
}

void TListBox::SetPopupMenu(TMenu& menu) {
    auto* list = Widget();
    list->setContextMenuPolicy(Qt::CustomContextMenu);
    QPointer<QMenu> m = menu.FImpl->Menu;
    QObject::connect(list, &QWidget::customContextMenuRequested, list, [list, m](const QPoint& p) {
        if (m) m->exec(list->mapToGlobal(p));
    });
}

void TToolBar::AddAction(TAction& action) { static_cast<QToolBar*>(FBar)->addAction(BindAction(action, FBar)); }
void TToolBar::AddControl(TControl& control) {
    const bool visible = control.Visible();
    control.FImpl->BarAction = static_cast<QToolBar*>(FBar)->addWidget(control.Widget());
    control.SetVisible(visible);
}
void TToolBar::AddSeparator() { static_cast<QToolBar*>(FBar)->addSeparator(); }

// ---------------------------------------------------------------- forms

namespace {

// A window manager places the window itself where the program asked for the
// frame, or the frame, as it likes, and frames it only once it is shown. The
// corner is checked again until the frame is known, so that the frame ends
// where it was asked for: the position saved is the position restored, a
// window centred has its frame centred. The check ends once the frame is in
// place (or after ten seconds): a user who drags the window later is not
// fought.
class FramePlacer : public QObject {
public:
    // Where the frame's top left corner goes for a frame of a size.
    using TTarget = std::function<QPoint(QSize frame)>;
    explicit FramePlacer(QWidget& window) : FWindow(window) {
        FTimer.setInterval(50);
        QObject::connect(&FTimer, &QTimer::timeout, this, [this] { Check(); });
    }
    // Until the window is framed, its frame is taken to have the margins
    // given.
    void Place(TTarget target, QMargins expected = {}) {
        FTarget = std::move(target);
        const QWindow* handle = FWindow.windowHandle();
        if (handle && FWindow.isVisible() && !handle->frameMargins().isNull()) expected = handle->frameMargins();
        FWindow.move(FTarget(FWindow.size().grownBy(expected)));
        FChecks = 0;
        FTimer.start();
    }
    void Cancel() {
        FTarget = nullptr;
        FTimer.stop();
    }

private:
    void Check() {
        if (++FChecks > 200 || !FTarget) return Cancel();
        QWindow* handle = FWindow.windowHandle();
        if (!FWindow.isVisible() || !handle || handle->frameMargins().isNull()) return;  // not framed yet
        const QPoint want = FTarget(handle->frameGeometry().size());
        if (handle->framePosition() != want) {
            // The client goes inside the frame at its margins: window managers
            // differ in where they put a frame asked for as such.
            const QMargins margins = handle->frameMargins();
            handle->setPosition(want + QPoint(margins.left(), margins.top()));
            return;
        }
        Cancel();
    }

    QWidget& FWindow;
    TTarget FTarget;
    QTimer FTimer;
    int FChecks = 0;
};

class FormWindow : public QMainWindow {
public:
    FormWindow(TForm& form, std::function<void(const std::vector<std::string>&)>& drop)
        : FForm(form), FDrop(drop), FPlacer(*this) {}
    // Puts the frame's top left corner at p.
    void PlaceFrame(QPoint p) {
        FPlacer.Place([p](QSize) { return p; });
    }

protected:
    void showEvent(QShowEvent* e) override;
    void closeEvent(QCloseEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;
    void dragEnterEvent(QDragEnterEvent* e) override;
    void dropEvent(QDropEvent* e) override;

private:
    TForm& FForm;
    std::function<void(const std::vector<std::string>&)>& FDrop;
    bool FShown = false;
    FramePlacer FPlacer;
};

// Sees every key before the control it is meant for (key preview).
class KeyPreview : public QObject {
public:
    KeyPreview(TForm& form, TActionList*& actions) : FForm(form), FActions(actions) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    TForm& FForm;
    TActionList*& FActions;
};

// The status panel's text on one line, shortened with "…" where the bar is
// narrower than the text, so that no message runs off the window's edge; the
// whole text is then the panel's tooltip. A long message never widens the
// window either: the panel takes the room the bar has.
class StatusLabel : public QLabel {
public:
    explicit StatusLabel(QWidget* parent) : QLabel(parent) { setTextFormat(Qt::PlainText); }
    void SetFullText(const QString& text) {
        FText = text;
        Refit();
    }
    const QString& FullText() const { return FText; }
    QSize sizeHint() const override { return QSize(0, QLabel::sizeHint().height()); }
    QSize minimumSizeHint() const override { return QSize(0, QLabel::minimumSizeHint().height()); }

protected:
    void resizeEvent(QResizeEvent* e) override {
        QLabel::resizeEvent(e);
        Refit();
    }

private:
    void Refit() {
        QString line = FText;
        line.replace(QStringLiteral("\r\n"), QStringLiteral(" ")).replace(QChar('\r'), ' ').replace(QChar('\n'), ' ');
        const QString shown = fontMetrics().elidedText(line, Qt::ElideRight, contentsRect().width());
        if (shown != text()) setText(shown);
        const QString tip = shown == line ? QString() : TipText(line);
        if (tip != toolTip()) setToolTip(tip);
    }
    // The whole text in lines of about a hundred characters, broken between
    // words; as typed, even where it would read as markup.
    static QString TipText(const QString& line) {
        constexpr qsizetype Width = 100;
        QStringList rows;
        QString rest = line;
        while (rest.size() > Width) {
            qsizetype cut = rest.lastIndexOf(' ', Width);
            if (cut <= 0) cut = Width;
            rows << rest.left(cut);
            rest = rest.mid(cut).trimmed();
        }
        rows << rest;
        if (!Qt::mightBeRichText(line)) return rows.join('\n');
        for (QString& row : rows) row = row.toHtmlEscaped();
        return "<p style=\"white-space:pre\">" + rows.join("<br>") + "</p>";
    }
    QString FText;
};

class ClientControl : public TControl {
public:
    explicit ClientControl(QWidget* w) : TControl(w) {}
};

void FormWindow::showEvent(QShowEvent* e) {
    QMainWindow::showEvent(e);
    if (FShown) return;
    FShown = true;
    if (FForm.OnShow) TApplication::Guard(FForm.OnShow);
}

// The frame's corner as the window system reports it now: the widget's own
// idea of its frame can lag behind a frame drawn after the window was shown.
static QPoint FramePosition(const QWidget& w) {
    const QWindow* handle = w.windowHandle();
    return handle && w.isVisible() ? handle->framePosition() : w.pos();
}

void FormWindow::closeEvent(QCloseEvent* e) {
    bool allow = true;
    if (FForm.OnCloseQuery) TApplication::Guard([&] { allow = FForm.OnCloseQuery(); });
    if (!allow) {
        e->ignore();
        return;
    }
    if (FForm.OnClose) TApplication::Guard(FForm.OnClose);
    e->accept();
}

void FormWindow::resizeEvent(QResizeEvent* e) {
    QMainWindow::resizeEvent(e);
    if (FForm.OnResize) TApplication::Guard(FForm.OnResize);
}

void FormWindow::dragEnterEvent(QDragEnterEvent* e) {
    if (FDrop && e->mimeData()->hasUrls()) e->acceptProposedAction();
}

void FormWindow::dropEvent(QDropEvent* e) {
    std::vector<std::string> names;
    for (const QUrl& url : e->mimeData()->urls())
        if (url.isLocalFile()) names.push_back(S(url.toLocalFile()));
    // The drop is finished before the handler runs, whatever the handler does.
    e->acceptProposedAction();
    if (FDrop) {
        auto drop = FDrop;
        TApplication::Guard([&] { drop(names); });
    }
}

bool KeyPreview::eventFilter(QObject* watched, QEvent* event) {
    // A key the form leaves climbs from the control to its parents and passes
    // here again; the form's answer is the same each time.
    if (event->type() != QEvent::KeyPress || !watched->isWidgetType()) return false;
    auto* w = static_cast<QWidget*>(watched);
    if (w->window() != FForm.Widget()) return false;
    int key = 0;
    const TShortCut shift = ShortCutOf(static_cast<QKeyEvent*>(event), key);
    if (key == 0) return false;
    bool handled = false;
    TApplication::Guard([&] {
        if (FForm.OnKeyDown && FForm.OnKeyDown(key, shift)) handled = true;
        if (!handled && FActions) handled = FActions->HandleShortCut(key | shift);
    });
    return handled;
}

}  // namespace

struct TForm::Impl {
    Impl(TForm& form) : Preview(form, Actions) {}
    QPointer<FormWindow> Window;
    std::unique_ptr<TControl> Client;
    std::vector<std::unique_ptr<TMenu>> Menus;
    std::unique_ptr<TToolBar> ToolBar;
    StatusLabel* Status = nullptr;
    TActionList* Actions = nullptr;
    KeyPreview Preview;
    std::function<void(const std::vector<std::string>&)> OnDropFiles;
};

TForm::TForm(bool mainForm) : FImpl(std::make_unique<Impl>(*this)) {
    EnsureWidgetApplication();
    FImpl->Window = new FormWindow(*this, FImpl->OnDropFiles);
    auto* central = new QWidget(FImpl->Window);
    auto* layout = new QVBoxLayout(central);
    layout->setContentsMargins(0, 0, 0, 0);
    FImpl->Window->setCentralWidget(central);
    FImpl->Client = std::make_unique<ClientControl>(central);
    if (mainForm) {
        auto* bar = FImpl->Window->addToolBar("Toolbar");
        bar->setMovable(false);
        bar->setToolButtonStyle(Qt::ToolButtonTextOnly);
        // Text buttons with the style's own padding take half as much again
        // as their text; snug ones leave room on the bar for the panels a
        // form puts between them.
        bar->setStyleSheet("QToolButton { padding: 0px; }");
        FImpl->ToolBar.reset(new TToolBar(bar));
        FImpl->Status = new StatusLabel(FImpl->Window);
        FImpl->Window->statusBar()->addWidget(FImpl->Status, 1);
    }
    qApp->installEventFilter(&FImpl->Preview);
}

TForm::~TForm() {
    qApp->removeEventFilter(&FImpl->Preview);
    FImpl->Menus.clear();
    FImpl->Client.reset();
    delete FImpl->Window.data();
}

QWidget* TForm::Widget() const { return FImpl->Window.data(); }
TControl& TForm::Client() { return *FImpl->Client; }
void TForm::AddToClient(TControl& control) { FImpl->Client->Widget()->layout()->addWidget(control.Widget()); }
void TForm::SetCaption(const std::string& value) { FImpl->Window->setWindowTitle(Q(value)); }
std::string TForm::Caption() const { return S(FImpl->Window->windowTitle()); }

TMenu& TForm::AddMenu(const std::string& caption) {
    auto impl = std::make_unique<TMenu::Impl>();
    impl->Menu = FImpl->Window->menuBar()->addMenu(Q(caption));
    FImpl->Menus.push_back(std::unique_ptr<TMenu>(new TMenu(std::move(impl))));
    return *FImpl->Menus.back();
}

TToolBar& TForm::ToolBar() { return *FImpl->ToolBar; }

void TForm::SetStatusText(const std::string& value) {
    if (FImpl->Status) FImpl->Status->SetFullText(Q(value));
}

std::string TForm::StatusText() const { return FImpl->Status ? S(FImpl->Status->FullText()) : std::string{}; }

void TForm::SetBounds(int left, int top, int width, int height) {
    FImpl->Window->resize(width, height);
    FImpl->Window->PlaceFrame(QPoint(left, top));
}

int TForm::Left() const { return FramePosition(*FImpl->Window).x(); }
int TForm::Top() const { return FramePosition(*FImpl->Window).y(); }
int TForm::Width() const { return FImpl->Window->width(); }
int TForm::Height() const { return FImpl->Window->height(); }
void TForm::SetMinimumSize(int width, int height) { FImpl->Window->setMinimumSize(width, height); }

void TForm::SetStayOnTop(bool value) {
    FImpl->Window->setWindowFlag(Qt::WindowStaysOnTopHint, value);
    FImpl->Window->setWindowFlag(Qt::Tool, value);
}

void TForm::Show() {
    FImpl->Window->show();
    FImpl->Window->raise();
}

void TForm::Hide() { FImpl->Window->hide(); }
bool TForm::Visible() const { return FImpl->Window->isVisible(); }
void TForm::Close() { FImpl->Window->close(); }
void TForm::SetActionList(TActionList* actions) { FImpl->Actions = actions; }

void TForm::SetOnDropFiles(std::function<void(const std::vector<std::string>&)> handler) {
    FImpl->OnDropFiles = std::move(handler);
    FImpl->Window->setAcceptDrops(bool(FImpl->OnDropFiles));
}

// ---------------------------------------------------------------- dialogs

struct TDialog::Impl {
    QPointer<QDialog> Dialog;
    std::unique_ptr<TControl> Client;
    TDialogPosition Position = TDialogPosition::OwnerCentre;
    std::unique_ptr<FramePlacer> Placer;
};

TDialog::TDialog(const std::string& caption, bool okButton, TDialogPosition position)
    : FImpl(std::make_unique<Impl>()) {
    EnsureWidgetApplication();
    auto* dialog = new QDialog(QApplication::activeWindow());
    FImpl->Dialog = dialog;
    FImpl->Position = position;
    dialog->setWindowTitle(Q(caption));
    dialog->setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    auto* layout = new QVBoxLayout(dialog);
    auto* client = new QWidget(dialog);
    new QVBoxLayout(client);
    client->layout()->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(client, 1);
    FImpl->Client = std::make_unique<ClientControl>(client);
    if (okButton) {
        layout->setContentsMargins(8, 8, 8, 8);
        auto* ok = new QPushButton("Ok", dialog);
        ok->setDefault(true);
        QObject::connect(ok, &QPushButton::clicked, dialog, &QDialog::accept);
        auto* row = new QHBoxLayout();
        row->addStretch(1);
        row->addWidget(ok);
        layout->addLayout(row);
    } else {
        layout->setContentsMargins(0, 0, 0, 0);
    }
}

TDialog::~TDialog() {
    FImpl->Placer.reset();
    FImpl->Client.reset();
    delete FImpl->Dialog.data();
}

TControl& TDialog::Client() { return *FImpl->Client; }
void TDialog::AddToClient(TControl& control) { FImpl->Client->Widget()->layout()->addWidget(control.Widget()); }
QWidget* TDialog::Widget() const { return FImpl->Dialog.data(); }

void TDialog::SetClientSize(int width, int height, bool fixed) {
    if (fixed)
        FImpl->Dialog->setFixedSize(width, height);
    else
        FImpl->Dialog->resize(width, height);
}

// A window of one size can only be moved and closed, and says so to the
// window manager before it is mapped: the toolkit asks for resizing (and so
// maximising) for every window, and a frame drawn from that request carries a
// maximise button that does nothing (openbox). On X only; the request goes
// with the window's other hints, whose decorations it keeps.
static void AskForMoveAndCloseOnly([[maybe_unused]] QWidget& window) {
#ifdef NARVI_HAVE_XCB
    if (QGuiApplication::platformName() != "xcb") return;
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    xcb_connection_t* c = x11 ? x11->connection() : nullptr;
    if (!c) return;
    const auto id = xcb_window_t(window.winId());
    static const char name[] = "_MOTIF_WM_HINTS";
    xcb_intern_atom_reply_t* atom = xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, sizeof name - 1, name), nullptr);
    if (!atom) return;
    const xcb_atom_t hintsAtom = atom->atom;
    std::free(atom);
    // flags, functions, decorations, input mode, status
    std::uint32_t hints[5] = {0, 0, 0, 0, 0};
    xcb_get_property_reply_t* old =
        xcb_get_property_reply(c, xcb_get_property(c, 0, id, hintsAtom, hintsAtom, 0, 5), nullptr);
    if (old && old->format == 32 && xcb_get_property_value_length(old) == int(sizeof hints))
        std::memcpy(hints, xcb_get_property_value(old), sizeof hints);
    std::free(old);
    constexpr std::uint32_t HintFunctions = 1, FunctionMove = 4, FunctionClose = 32, DecorationResizeHandle = 4;
    hints[0] |= HintFunctions;
    hints[1] = FunctionMove | FunctionClose;
    hints[2] &= ~DecorationResizeHandle;
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, id, hintsAtom, hintsAtom, 32, 5, hints);
    xcb_flush(c);
#endif
}

void TDialog::ShowModal() {
    QDialog& dialog = *FImpl->Dialog;
    if (dialog.minimumSize() == dialog.maximumSize()) AskForMoveAndCloseOnly(dialog);
    if (FImpl->Position == TDialogPosition::ScreenCentre) {
        const QRect screen = dialog.screen()->geometry();
        // Until the dialog is framed, its frame is taken to be like its owner's.
        const QWidget* owner = dialog.parentWidget();
        const QWindow* ownerHandle = owner ? owner->windowHandle() : nullptr;
        const QMargins expected = ownerHandle && owner->isVisible() ? ownerHandle->frameMargins() : QMargins();
        FImpl->Placer = std::make_unique<FramePlacer>(dialog);
        FImpl->Placer->Place(
            [screen](QSize frame) {
                return screen.topLeft() +
                       QPoint((screen.width() - frame.width()) / 2, (screen.height() - frame.height()) / 2);
            },
            expected);
    }
    // Otherwise the toolkit centres it on its owner.
    dialog.exec();
}

void ShowMessageBox(const std::string& text, const std::string& title) {
    EnsureWidgetApplication();
    QMessageBox::information(QApplication::activeWindow(), Q(title), Q(text));
}

void ShowErrorBox(const std::string& text, const std::string& title) {
    EnsureWidgetApplication();
    QString lines = Q(text);
    lines.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(QChar('\r'), QChar('\n'));
    QMessageBox::critical(QApplication::activeWindow(), Q(title), lines);
}

bool ConfirmYesNo(const std::string& text, const std::string& title) {
    EnsureWidgetApplication();
    return QMessageBox::question(QApplication::activeWindow(), Q(title), Q(text), QMessageBox::Yes | QMessageBox::No) !=
           QMessageBox::No;
}

// "Sample data files (*.kqm)|*.kqm|..." as the toolkit's "Sample data files (*.kqm);;...": the masks are
// added to a description only when it does not show them already.
static QString DialogFilter(const std::string& filter) {
    const QStringList fields = Q(filter).split('|');
    QStringList out;
    for (qsizetype i = 0; i + 1 < fields.size(); i += 2) {
        QString masks = fields[i + 1];
        masks.replace(';', ' ');
        const QString shown = " (" + masks.trimmed() + ")";
        out << (fields[i].endsWith(shown) ? fields[i] : fields[i] + shown);
    }
    return out.join(";;");
}

bool PromptForOpenFile(std::string& path, const std::string& title, const std::string& filter) {
    EnsureWidgetApplication();
    const QString chosen =
        QFileDialog::getOpenFileName(QApplication::activeWindow(), Q(title), Q(path), DialogFilter(filter));
    if (chosen.isEmpty()) return false;
    path = S(chosen);
    return true;
}

void ClipboardSetText(const std::string& text) {
    EnsureWidgetApplication();
    QGuiApplication::clipboard()->setText(Q(text));
}

std::string ClipboardText() {
    EnsureWidgetApplication();
    return S(QGuiApplication::clipboard()->text());
}
