#include "FindDialog.h"

#include <QApplication>
#include <QBoxLayout>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>

#include "ChartControl.h"
#include "Forms.h"

struct TFindDialog::Impl {
    QPointer<QDialog> Dialog;
    QLineEdit* Edit = nullptr;
    QPushButton* Find = nullptr;
};

TFindDialog::TFindDialog() : FImpl(std::make_unique<Impl>()) {
    EnsureWidgetApplication();
    auto* dialog = new QDialog(QApplication::activeWindow());
    FImpl->Dialog = dialog;
    dialog->setModal(false);
    dialog->setWindowTitle("Find");
    dialog->setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    auto* layout = new QHBoxLayout(dialog);
    auto* label = new QLabel("Fi&nd what:", dialog);
    layout->addWidget(label);
    FImpl->Edit = new QLineEdit(dialog);
    label->setBuddy(FImpl->Edit);
    FImpl->Edit->setMinimumWidth(240);
    layout->addWidget(FImpl->Edit, 1);
    auto* buttons = new QVBoxLayout();
    FImpl->Find = new QPushButton("&Find next", dialog);
    FImpl->Find->setDefault(true);
    auto* close = new QPushButton("Close", dialog);
    buttons->addWidget(FImpl->Find);
    buttons->addWidget(close);
    layout->addLayout(buttons);
    QObject::connect(FImpl->Find, &QPushButton::clicked, dialog, [this] { FindNext(); });
    QObject::connect(close, &QPushButton::clicked, dialog, &QDialog::hide);
}

TFindDialog::~TFindDialog() { delete FImpl->Dialog.data(); }

QWidget* TFindDialog::Widget() const { return FImpl->Dialog; }
void TFindDialog::Show() {
    FImpl->Dialog->show();
    FImpl->Dialog->raise();
    FImpl->Edit->setFocus();
}
void TFindDialog::Hide() { FImpl->Dialog->hide(); }
bool TFindDialog::Visible() const { return FImpl->Dialog->isVisible(); }
std::string TFindDialog::Text() const { return FImpl->Edit->text().toUtf8().toStdString(); }
void TFindDialog::SetText(const std::string& value) {
    FImpl->Edit->setText(QString::fromUtf8(value.data(), qsizetype(value.size())));
}
void TFindDialog::SetFindEnabled(bool value) { FImpl->Find->setEnabled(value); }
bool TFindDialog::FindEnabled() const { return FImpl->Find->isEnabled(); }

void TFindDialog::FindNext() {
    if (!FImpl->Find->isEnabled() || !OnFind) return;
    TApplication::Guard(OnFind);
}
