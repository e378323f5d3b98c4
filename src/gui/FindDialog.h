#pragma once
// The modeless find dialog: one line of text, a "Find next" button and a
// "Close" button. It stays open beside its window while the user moves on;
// "Find next" (or Enter) hands the text to OnFind, which runs through
// TApplication::Guard like every other handler. Qt stays in FindDialog.cpp.

#include <functional>
#include <memory>
#include <string>

class QWidget;

class TFindDialog {
public:
    TFindDialog();
    ~TFindDialog();
    TFindDialog(const TFindDialog&) = delete;
    TFindDialog& operator=(const TFindDialog&) = delete;

    QWidget* Widget() const;
    void Show();
    void Hide();
    bool Visible() const;
    std::string Text() const;
    void SetText(const std::string& value);
    // Whether "Find next" can be pressed (not while a search runs).
    void SetFindEnabled(bool value);
    bool FindEnabled() const;
    // Presses "Find next" as the user would.
    void FindNext();

    std::function<void()> OnFind;

private:
    struct Impl;
    std::unique_ptr<Impl> FImpl;
};
