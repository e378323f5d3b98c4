#pragma once
// Windows and controls of the viewer, shaped after what its window expects of
// a desktop toolkit: forms with a menu bar, tool bar and one-panel status bar,
// panels, labels, buttons, a progress bar, a splitter, an owner-drawn list, a
// memo, the chart host, modal dialogs, key preview and file drops. Qt stays in
// Forms.cpp; widgets are owned by their parent window, the T* objects only
// point at them.
//
// Every handler the event loop calls here (action, key, drop, show, close,
// queued call) runs through TApplication::Guard: an exception never passes
// into the event loop, it goes to the application's one exception handler.

#include <exception>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "Actions.h"
#include "ChartControl.h"
#include "Graphics.h"

class QWidget;

class TApplication {
public:
    // Makes the toolkit's application. The decimal point stays "." for every
    // number text and parse, whatever locale the environment names.
    static void Initialize(int& argc, char** argv);
    static void SetTitle(const std::string& title);
    static std::string Title();
    // Full path of the running program.
    static std::string ExeName();
    static int Run();
    static void ProcessMessages();
    static void Terminate();
    // Runs call once the event loop gets to it (after the current handler
    // ends), and not before delayMs milliseconds have passed.
    static void Post(std::function<void()> call, int delayMs = 0);
    // Runs fn; an exception from it goes to the exception handler.
    static void Guard(const std::function<void()>& fn) noexcept;
    // Receives the message of every exception Guard caught; by default the
    // message box. A handler that throws is reported on stderr.
    static void SetExceptionHandler(std::function<void(const std::string& message)> handler);
    // The screen's available area (without task bars) in pixels.
    static TRect WorkArea();
};

class TControl {
public:
    virtual ~TControl();
    TControl(const TControl&) = delete;
    TControl& operator=(const TControl&) = delete;

    QWidget* Widget() const;
    void SetVisible(bool value);
    // Visible itself, whether or not its window is shown.
    bool Visible() const;
    void SetEnabled(bool value);
    bool Enabled() const;
    // A fixed width in pixels; 0 or less leaves the width to the layout.
    void SetWidth(int value);
    void SetMinimumWidth(int value);
    int Width() const;
    int Height() const;
    void SetFixedSize(int width, int height);
    void SetBackColor(TColor color);
    void Repaint();

protected:
    friend class TToolBar;
    explicit TControl(QWidget* widget);
    struct Impl;
    std::unique_ptr<Impl> FImpl;
};

// A container that lines its controls up in a row or a column.
class TPanel : public TControl {
public:
    TPanel(TControl* parent, bool vertical, int margin = 0, int spacing = 0);
    // stretch > 0 gives the control a share of the free room.
    void Add(TControl& control, int stretch = 0);
    void AddStretch();
};

enum TTextAlign { talLeft, talCenter, talRight };

class TLabel : public TControl {
public:
    TLabel(TControl* parent, const std::string& caption = {});
    void SetCaption(const std::string& value);
    std::string Caption() const;
    void SetFont(const std::string& family, int pixelSize, bool bold = false, bool italic = false);
    void SetTextColor(TColor color);
    void SetAlignment(TTextAlign align);
    void SetWordWrap(bool value);
};

// A button that either runs its own OnClick or follows and runs an action.
class TButton : public TControl {
public:
    TButton(TControl* parent, const std::string& caption);
    TButton(TControl* parent, TAction& action, const std::string& caption = {});
    void SetDefault(bool value);
    std::function<void()> OnClick;
};

class TProgressBar : public TControl {
public:
    explicit TProgressBar(TControl* parent);
    void SetPosition(int percent);
    int Position() const;
};

// Lists rows of text; OnDrawItem paints each row (owner-drawn) when set.
class TListBox : public TControl {
public:
    explicit TListBox(TControl* parent, int itemHeight);
    void SetItems(const std::vector<std::string>& items);
    const std::vector<std::string>& Items() const;
    int ItemIndex() const;
    void SetItemIndex(int index);
    // The list's own background colour, which OnDrawItem fills rows with.
    TColor Color() const;
    void SetColor(TColor color);
    void SetPopupMenu(class TMenu& menu);
    std::function<void(TCanvas& canvas, int index, const TRect& rect, bool selected)> OnDrawItem;

private:
    std::vector<std::string> FItems;
    TColor FColor;
};

class TMemo : public TControl {
public:
    explicit TMemo(TControl* parent);
    // At most this many lines are kept; older lines go first. 0: no limit.
    void SetMaxLines(int count);
    void AddLine(const std::string& text);
    // Appends the lines in one step: one layout pass however many they are.
    void AddLines(const std::vector<std::string>& lines);
    // Replaces every line and shows the last.
    void SetLines(const std::vector<std::string>& lines);
    void SetWordWrap(bool value);
    // Shows the first line, as a text to be read from its start wants.
    void ShowFirstLine();
    int LineCount() const;
    std::string Text() const;
};

// The chart (or any paint host) as a control.
class TChartHost : public TControl {
public:
    TChartHost(TControl* parent, TPaintHost& host);
    ~TChartHost() override;
    TChartControl& Control() { return *FControl; }

private:
    std::unique_ptr<TChartControl> FControl;
};

// Two or more controls side by side with draggable bars between them.
class TSplitter : public TControl {
public:
    explicit TSplitter(TControl* parent);
    void Add(TControl& control, bool stretch);
    void SetSizes(const std::vector<int>& sizes);
    std::vector<int> Sizes() const;
};

class TMenu {
public:
    ~TMenu();
    TMenu(const TMenu&) = delete;
    TMenu& operator=(const TMenu&) = delete;
    // A popup menu of its own (for a control's context menu).
    TMenu();
    void AddAction(TAction& action);
    void AddSeparator();
    // Item captions as shown, "-" for a separator, hidden items left out.
    std::vector<std::string> Captions() const;

private:
    friend class TForm;
    friend class TListBox;
    struct Impl;
    explicit TMenu(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> FImpl;
};

class TToolBar {
public:
    void AddAction(TAction& action);
    void AddControl(TControl& control);
    void AddSeparator();

private:
    friend class TForm;
    explicit TToolBar(QWidget* bar) : FBar(bar) {}
    QWidget* FBar;
};

// A top-level window. A main form has a menu bar, a tool bar and a status bar;
// other forms have only their client control.
class TForm {
public:
    explicit TForm(bool mainForm);
    ~TForm();
    TForm(const TForm&) = delete;
    TForm& operator=(const TForm&) = delete;

    QWidget* Widget() const;
    // The area that the form's controls take as their parent.
    TControl& Client();
    // Puts a control of the client area into it, filling what is left.
    void AddToClient(TControl& control);

    void SetCaption(const std::string& value);
    std::string Caption() const;
    TMenu& AddMenu(const std::string& caption);
    TToolBar& ToolBar();
    // The one status panel, on one line: a text wider than the panel is shown
    // shortened with "…" and whole in the panel's tooltip. StatusText gives
    // the whole text.
    void SetStatusText(const std::string& value);
    std::string StatusText() const;

    void SetBounds(int left, int top, int width, int height);
    int Left() const;
    int Top() const;
    int Width() const;
    int Height() const;
    void SetMinimumSize(int width, int height);
    void SetStayOnTop(bool value);

    void Show();
    void Hide();
    bool Visible() const;
    // The close path: OnCloseQuery may refuse, then OnClose runs and the form hides.
    void Close();

    // Keys reach OnKeyDown before any control of the form (true consumes the
    // key); keys it leaves go to the action list's shortcuts, then to the control.
    void SetActionList(TActionList* actions);
    std::function<bool(int key, TShortCut shift)> OnKeyDown;
    // Called the first time the form is shown.
    std::function<void()> OnShow;
    std::function<bool()> OnCloseQuery;
    std::function<void()> OnClose;
    std::function<void()> OnResize;
    // Set: the form accepts files dropped on it and hands over their paths in order.
    void SetOnDropFiles(std::function<void(const std::vector<std::string>&)> handler);

    struct Impl;

private:
    std::unique_ptr<Impl> FImpl;
};

// Where a dialog opens: centred on the window it belongs to, or with its
// frame centred on the screen.
enum class TDialogPosition { OwnerCentre, ScreenCentre };

// A modal window with one client control and an "Ok" button below it. It
// asks the window manager for a close box and no minimise or maximise
// button (some add those of their own: openbox, to any window that can be
// resized, a maximise button, and a minimise button to every window). A
// dialog of a fixed size asks to be moved and closed only, so that no frame
// offers to resize or maximise it.
class TDialog {
public:
    TDialog(const std::string& caption, bool okButton, TDialogPosition position = TDialogPosition::OwnerCentre);
    ~TDialog();
    TDialog(const TDialog&) = delete;
    TDialog& operator=(const TDialog&) = delete;
    TControl& Client();
    void AddToClient(TControl& control);
    // A fixed size is the only one the dialog has: a dialog border.
    void SetClientSize(int width, int height, bool fixed);
    QWidget* Widget() const;
    void ShowModal();

private:
    struct Impl;
    std::unique_ptr<Impl> FImpl;
};

// Message box, Yes/No confirmation and the open dialog of the toolkit.
void ShowMessageBox(const std::string& text, const std::string& title);
// The same with the error icon; a carriage return in text breaks the line.
void ShowErrorBox(const std::string& text, const std::string& title);
bool ConfirmYesNo(const std::string& text, const std::string& title);
// filter: "description|masks|description|masks", masks separated by ";".
// path: on entry the folder the dialog starts in (empty: the working folder).
bool PromptForOpenFile(std::string& path, const std::string& title, const std::string& filter);
void ClipboardSetText(const std::string& text);
std::string ClipboardText();
