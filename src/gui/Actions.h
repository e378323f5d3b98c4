#pragma once
// Actions: one command with its caption, shortcut and states, shown by any
// number of menu items and tool buttons that follow its changes. No Qt here,
// so that the rules (radio groups, a disabled action never runs) are tested
// without a window.

#include <functional>
#include <memory>
#include <string>
#include <vector>

// A shortcut is a key code (the virtual-key numbers: 'A'..'Z', 37..40 for the
// arrows, 107 and 109 for the numeric pad's + and -) with modifier bits.
using TShortCut = int;
inline constexpr TShortCut scShift = 0x2000;
inline constexpr TShortCut scCtrl = 0x4000;
inline constexpr TShortCut scAlt = 0x8000;
inline constexpr int VK_LEFT = 37, VK_UP = 38, VK_RIGHT = 39, VK_DOWN = 40, VK_ADD = 107, VK_SUBTRACT = 109;

// "Ctrl+Alt+T", "Left", "Num +"; empty for 0.
std::string ShortCutToText(TShortCut shortCut);

class TActionList;

class TAction {
public:
    TAction(TActionList& list, std::string name, std::string caption, TShortCut shortCut = 0);
    TAction(const TAction&) = delete;
    TAction& operator=(const TAction&) = delete;

    const std::string& Name() const { return FName; }
    const std::string& Caption() const { return FCaption; }
    TShortCut ShortCut() const { return FShortCut; }
    bool Enabled() const { return FEnabled; }
    bool Visible() const { return FVisible; }
    bool Checked() const { return FChecked; }
    // Actions of one group above 0 are radio items: checking one unchecks the others.
    int GroupIndex() const { return FGroupIndex; }
    // Shown with a check box or radio mark in menus.
    bool Checkable() const { return FCheckable || FGroupIndex > 0; }

    void SetCaption(const std::string& value);
    void SetEnabled(bool value);
    void SetVisible(bool value);
    void SetChecked(bool value);
    void SetGroupIndex(int value);
    void SetCheckable(bool value);

    // Runs OnExecute when the action is enabled; true when it ran.
    bool Execute();
    std::function<void()> OnExecute;

    // Called after every change of caption or state (menu items, buttons).
    void AddListener(std::function<void()> listener) { FListeners.push_back(std::move(listener)); }

private:
    void Changed();

    TActionList& FList;
    std::string FName;
    std::string FCaption;
    TShortCut FShortCut;
    bool FEnabled = true;
    bool FVisible = true;
    bool FChecked = false;
    bool FCheckable = false;
    int FGroupIndex = 0;
    std::vector<std::function<void()>> FListeners;
};

class TActionList {
public:
    TActionList() = default;
    TActionList(const TActionList&) = delete;
    TActionList& operator=(const TActionList&) = delete;

    // The list owns its actions; references stay valid for the list's life.
    TAction& Add(std::string name, std::string caption, TShortCut shortCut = 0);
    int Count() const { return int(FActions.size()); }
    TAction& Item(int index) const { return *FActions.at(std::size_t(index)); }
    TAction* Find(const std::string& name) const;

    // Runs the action whose shortcut this is; true when one ran. A disabled
    // action never runs. A key without Ctrl or Alt is the shortcut only of a
    // visible action, so that hidden actions leave plain keys to the controls.
    bool HandleShortCut(TShortCut shortCut);

private:
    friend class TAction;
    std::vector<std::unique_ptr<TAction>> FActions;
};
