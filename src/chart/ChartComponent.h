#pragma once
// A component: an owner that frees what it owns, a name, a
// state (loading, destroying, designing) and free notifications, which let
// objects that point at a component forget it before it goes.

#include <string>
#include <vector>

#include "Classes.h"

enum TOperation { opInsert, opRemove };

enum TComponentStateFlag : unsigned { csLoading = 1, csDestroying = 2, csDesigning = 4 };

// Process-wide: set by a design environment that hosts charts, which then
// behave as at design time wherever a component's own flag is not yet known.
bool ProcessDesigning();
void SetProcessDesigning(bool value);

class TComponent : public TPersistent {
public:
    explicit TComponent(TComponent* owner);
    // Frees the owned components, then tells every component that asked for
    // a free notification.
    ~TComponent() override;

    TComponent* Owner() const { return FOwner; }
    const std::string& Name() const { return FName; }
    void SetName(std::string value) { FName = std::move(value); }
    unsigned ComponentState() const { return FState; }
    bool IsLoading() const { return (FState & csLoading) != 0; }
    bool IsDestroying() const { return (FState & csDestroying) != 0; }
    bool IsDesigning() const { return (FState & csDesigning) != 0; }
    void SetLoading(bool value) { value ? FState |= csLoading : FState &= ~csLoading; }
    void SetDesigning(bool value) { value ? FState |= csDesigning : FState &= ~csDesigning; }
    // Marks the component as going away; destructors call it first.
    void Destroying() { FState |= csDestroying; }

    int ComponentCount() const { return static_cast<int>(FComponents.size()); }
    TComponent* Components(int index) const { return FComponents.at(static_cast<std::size_t>(index)); }
    void InsertComponent(TComponent* component);
    void RemoveComponent(TComponent* component);

    // Both components learn of each other's destruction.
    void FreeNotification(TComponent* component);
    void RemoveFreeNotification(TComponent* component);

protected:
    virtual void Notification(TComponent* component, TOperation operation);

private:
    TComponent* FOwner = nullptr;
    std::string FName;
    unsigned FState = 0;
    std::vector<TComponent*> FComponents;
    std::vector<TComponent*> FFreeNotifies;
};
