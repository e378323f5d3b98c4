#pragma once
// Undoes a temporary change to the chart or its canvas when a scope ends, also when a
// user event or a drawing call throws, so the chart is never left clipped, retargeted or
// half-configured. The undo steps used with it do not throw.

#include <utility>

template <class F>
class ScopeExit {
public:
    explicit ScopeExit(F undo) : FUndo(std::move(undo)) {}
    ~ScopeExit() { FUndo(); }
    ScopeExit(const ScopeExit&) = delete;
    ScopeExit& operator=(const ScopeExit&) = delete;

private:
    F FUndo;
};
