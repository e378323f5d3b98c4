#pragma once
// An optional sub-object made on first use. The owner holds it in a
// std::unique_ptr: its getter makes it, its setter copies a value into it or,
// given none, drops it. What a change means (repaint, notify) stays with the owner.

#include <memory>

// The part, made by make() when there is none yet.
template <class T, class Make>
T& PartOnDemand(std::unique_ptr<T>& part, Make&& make) {
    if (!part) part = make();
    return *part;
}

// Copies value into the part that get() returns (and makes); with no value
// the part is dropped. True when a part was dropped.
template <class T, class V, class Get>
bool AssignOptionalPart(std::unique_ptr<T>& part, const V* value, Get&& get) {
    if (!value) {
        const bool dropped = part != nullptr;
        part.reset();
        return dropped;
    }
    get().Assign(value);
    return false;
}
