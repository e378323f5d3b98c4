#include "Actions.h"

TAction::TAction(TActionList& list, std::string name, std::string caption, TShortCut shortCut)
    : FList(list), FName(std::move(name)), FCaption(std::move(caption)), FShortCut(shortCut) {}

void TAction::Changed() {
    for (const auto& listener : FListeners) listener();
}

void TAction::SetCaption(const std::string& value) {
    if (FCaption == value) return;
    FCaption = value;
    Changed();
}

void TAction::SetEnabled(bool value) {
    if (FEnabled == value) return;
    FEnabled = value;
    Changed();
}

void TAction::SetVisible(bool value) {
    if (FVisible == value) return;
    FVisible = value;
    Changed();
}

void TAction::SetCheckable(bool value) {
    if (FCheckable == value) return;
    FCheckable = value;
    Changed();
}

void TAction::SetGroupIndex(int value) {
    if (FGroupIndex == value) return;
    FGroupIndex = value;
    Changed();
}

void TAction::SetChecked(bool value) {
    if (FChecked == value) return;
    FChecked = value;
    if (value && FGroupIndex > 0)
        for (const auto& other : FList.FActions)
            if (other.get() != this && other->FGroupIndex == FGroupIndex) other->SetChecked(false);
    Changed();
}

bool TAction::Execute() {
    if (!FEnabled || !OnExecute) return false;
    OnExecute();
    return true;
}

TAction& TActionList::Add(std::string name, std::string caption, TShortCut shortCut) {
    FActions.push_back(std::make_unique<TAction>(*this, std::move(name), std::move(caption), shortCut));
    return *FActions.back();
}

TAction* TActionList::Find(const std::string& name) const {
    for (const auto& a : FActions)
        if (a->Name() == name) return a.get();
    return nullptr;
}

bool TActionList::HandleShortCut(TShortCut shortCut) {
    if (shortCut == 0) return false;
    const bool plain = (shortCut & (scCtrl | scAlt)) == 0;
    for (const auto& a : FActions) {
        if (a->ShortCut() != shortCut) continue;
        if (plain && !a->Visible()) continue;
        // The key belongs to this action even when it is disabled: it is consumed, not passed on.
        a->Execute();
        return true;
    }
    return false;
}

std::string ShortCutToText(TShortCut shortCut) {
    if (shortCut == 0) return {};
    std::string text;
    if (shortCut & scShift) text += "Shift+";
    if (shortCut & scCtrl) text += "Ctrl+";
    if (shortCut & scAlt) text += "Alt+";
    const int key = shortCut & 0xFF;
    switch (key) {
    case VK_LEFT:
        return text + "Left";
    case VK_RIGHT:
        return text + "Right";
    case VK_UP:
        return text + "Up";
    case VK_DOWN:
        return text + "Down";
    case VK_ADD:
        return text + "Num +";
    case VK_SUBTRACT:
        return text + "Num -";
    default:
        break;
    }
    if ((key >= 'A' && key <= 'Z') || (key >= '0' && key <= '9')) return text + char(key);
    return text + "#" + std::to_string(key);
}
