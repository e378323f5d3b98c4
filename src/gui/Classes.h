#pragma once
// Root classes of every chart object: a polymorphic object root, a persistent
// (assignable) object and the change event.

#include <functional>

class TObject {
public:
    TObject() = default;
    TObject(const TObject&) = delete;
    TObject& operator=(const TObject&) = delete;
    virtual ~TObject() = default;
};

// How lines of text stand against the box they are written in.
enum TAlignment { taLeftJustify, taRightJustify, taCenter };

// Event handler with the sender that changed; an empty handler means "none".
using TNotifyEvent = std::function<void(TObject* sender)>;

class TPersistent : public TObject {
public:
    // Copies the settings of another object of a compatible class; the base has nothing to copy.
    virtual void Assign(const TPersistent* source) { (void)source; }
};

// A class reference: the name the form data uses and a factory taking the owner.
struct TClassInfo {
    const char* Name;
    TObject* (*Create)(TObject* owner);
};
using TClass = const TClassInfo*;

// Process-wide registry of classes that can be created by name (form data, registries).
// Registering a name twice keeps the first entry; names compare in any letter case.
void RegisterClass(TClass cls);
void UnRegisterClass(TClass cls);
TClass FindClass(const char* name);  // nil when unknown
