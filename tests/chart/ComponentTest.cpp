#include <gtest/gtest.h>

#include <vector>

#include "ChartComponent.h"

namespace {

class TWatcher : public TComponent {
public:
    explicit TWatcher(TComponent* owner, std::vector<TComponent*>* gone = nullptr) : TComponent(owner), FGone(gone) {}
    TComponent* Watched = nullptr;

protected:
    void Notification(TComponent* component, TOperation operation) override {
        TComponent::Notification(component, operation);
        if (operation == opRemove && component == Watched) {
            Watched = nullptr;
            if (FGone) FGone->push_back(component);
        }
    }

private:
    std::vector<TComponent*>* FGone;
};

TEST(Component, OwnerFreesWhatItOwns) {
    auto* owner = new TComponent(nullptr);
    auto* a = new TComponent(owner);
    auto* b = new TComponent(owner);
    EXPECT_EQ(owner->ComponentCount(), 2);
    EXPECT_EQ(a->Owner(), owner);
    delete a;  // freed by someone else: the owner forgets it
    EXPECT_EQ(owner->ComponentCount(), 1);
    EXPECT_EQ(owner->Components(0), b);
    EXPECT_THROW(owner->Components(1), std::out_of_range);
    delete owner;  // frees b; the sanitizer reports any double free or leak
}

TEST(Component, FreeNotificationsReachBothSides) {
    std::vector<TComponent*> gone;
    TWatcher watcher(nullptr, &gone);
    auto* target = new TComponent(nullptr);
    watcher.Watched = target;
    watcher.FreeNotification(target);
    delete target;
    EXPECT_EQ(watcher.Watched, nullptr);
    EXPECT_EQ(gone.size(), 1u);

    // a watcher that goes first is not called back later
    auto* second = new TWatcher(nullptr);
    TComponent other(nullptr);
    second->Watched = &other;
    other.FreeNotification(second);
    delete second;
    other.SetName("still here");
    EXPECT_EQ(other.Name(), "still here");

    TComponent c(nullptr);
    EXPECT_FALSE(c.IsLoading());
    c.SetLoading(true);
    c.SetDesigning(true);
    EXPECT_TRUE(c.IsLoading());
    EXPECT_TRUE(c.IsDesigning());
    c.SetLoading(false);
    EXPECT_EQ(c.ComponentState(), static_cast<unsigned>(csDesigning));
}

}  // namespace
