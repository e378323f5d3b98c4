#include "ChartComponent.h"

#include <algorithm>

namespace {
bool processDesigning = false;
}

bool ProcessDesigning() { return processDesigning; }
void SetProcessDesigning(bool value) { processDesigning = value; }

TComponent::TComponent(TComponent* owner) {
    if (owner) owner->InsertComponent(this);
}

TComponent::~TComponent() {
    Destroying();
    // tell the others first, so that nobody reaches this object through a
    // stale pointer while the owned components go
    while (!FFreeNotifies.empty()) {
        TComponent* c = FFreeNotifies.back();
        FFreeNotifies.pop_back();
        auto& back = c->FFreeNotifies;
        back.erase(std::remove(back.begin(), back.end(), this), back.end());
        c->Notification(this, opRemove);
    }
    while (!FComponents.empty()) {
        TComponent* c = FComponents.back();
        RemoveComponent(c);
        delete c;
    }
    if (FOwner) FOwner->RemoveComponent(this);
}

void TComponent::InsertComponent(TComponent* component) {
    if (!component || component->FOwner == this) return;
    if (component->FOwner) component->FOwner->RemoveComponent(component);
    FComponents.push_back(component);
    component->FOwner = this;
}

void TComponent::RemoveComponent(TComponent* component) {
    auto it = std::find(FComponents.begin(), FComponents.end(), component);
    if (it == FComponents.end()) return;
    FComponents.erase(it);
    component->FOwner = nullptr;
}

void TComponent::FreeNotification(TComponent* component) {
    if (!component || component == this) return;
    if (std::find(FFreeNotifies.begin(), FFreeNotifies.end(), component) == FFreeNotifies.end())
        FFreeNotifies.push_back(component);
    auto& other = component->FFreeNotifies;
    if (std::find(other.begin(), other.end(), this) == other.end()) other.push_back(this);
}

void TComponent::RemoveFreeNotification(TComponent* component) {
    if (!component) return;
    FFreeNotifies.erase(std::remove(FFreeNotifies.begin(), FFreeNotifies.end(), component), FFreeNotifies.end());
    auto& other = component->FFreeNotifies;
    other.erase(std::remove(other.begin(), other.end(), this), other.end());
}

void TComponent::Notification(TComponent* component, TOperation operation) {
    if (operation == opRemove) {
        // an owned component freed by someone else is no longer owned
        auto it = std::find(FComponents.begin(), FComponents.end(), component);
        if (it != FComponents.end()) FComponents.erase(it);
    }
}
