// Components: ownership, destruction order, notices, and teardown that drops failures.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "framework/component.h"
#include "framework/exceptions.h"

namespace {

using fw::Operation;
using fw::TComponent;

using Log = std::vector<std::string>;

// Logs what it hears and keeps one reference to another component, which it
// drops when told that component goes.
class Probe : public TComponent {
public:
    Probe(TComponent* owner, std::string name, Log& log) : TComponent(owner), log_(log) { SetName(name); }
    ~Probe() override { log_.push_back("~" + Name()); }

    TComponent* Linked = nullptr;
    bool LinkedWasDestroying = false;

protected:
    void Notification(TComponent& component, Operation operation) override {
        TComponent::Notification(component, operation);
        log_.push_back(Name() + (operation == Operation::Insert ? " +" : " -") + component.Name());
        if (operation == Operation::Remove && &component == Linked) {
            LinkedWasDestroying = component.Destroying();
            Linked = nullptr;
        }
    }

private:
    Log& log_;
};

TEST(Component, OwnerDestroysWhatItOwnsLastCreatedFirst) {
    Log log;
    {
        TComponent form;
        form.CreateOwned<Probe>("A", log);
        Probe& b = form.CreateOwned<Probe>("B", log);
        b.CreateOwned<Probe>("B1", log);
        form.CreateOwned<Probe>("C", log);
        EXPECT_EQ(form.ComponentCount(), 3u);
        EXPECT_EQ(&form.Component(1), &b);
        EXPECT_EQ(b.Owner(), &form);
        log.clear();
    }
    // Each going component is announced first to the components that remain
    // below the owner, the owned ones of a sibling included.
    const Log expected = {"A -C", "B -C", "B1 -C", "~C", "A -B", "~B", "~B1", "~A"};
    EXPECT_EQ(log, expected);
}

TEST(Component, InsertIsAnnouncedToOwnerAndSiblings) {
    Log log;
    Probe form(nullptr, "Form", log);
    form.CreateOwned<Probe>("A", log);
    log.clear();
    form.CreateOwned<Probe>("B", log);
    EXPECT_EQ(log, (Log{"Form +B", "A +B"}));
}

TEST(Component, SiblingsDropReferencesBeforeTheTargetGoes) {
    Log log;
    Probe form(nullptr, "Form", log);
    Probe& source = form.CreateOwned<Probe>("dsQryChg", log);
    Probe& table = form.CreateOwned<Probe>("tblpay", log);
    table.Linked = &source;
    log.clear();
    form.DestroyOwned(source);
    EXPECT_EQ(log, (Log{"Form -dsQryChg", "tblpay -dsQryChg", "~dsQryChg"}));
    EXPECT_EQ(table.Linked, nullptr);
    EXPECT_TRUE(table.LinkedWasDestroying);
    EXPECT_EQ(form.ComponentCount(), 1u);
    EXPECT_EQ(form.FindComponent("dsQryChg"), nullptr);

    Probe stranger(nullptr, "Stranger", log);
    EXPECT_THROW(form.DestroyOwned(stranger), fw::EConvertError);
}

TEST(Component, FreeNotificationReachesWatchersOfOtherOwners) {
    Log log;
    auto other = std::make_unique<Probe>(nullptr, "OtherForm", log);
    Probe& target = other->CreateOwned<Probe>("Target", log);
    Probe form(nullptr, "Form", log);
    Probe& watcher = form.CreateOwned<Probe>("Watcher", log);
    watcher.Linked = &target;
    watcher.FreeNotification(target);
    watcher.FreeNotification(target);  // asking twice still tells once
    log.clear();
    other.reset();
    EXPECT_EQ(watcher.Linked, nullptr);
    EXPECT_EQ(std::count(log.begin(), log.end(), "Watcher -Target"), 1);
}

TEST(Component, AGoneWatcherIsNotToldLater) {
    Log log;
    Probe target(nullptr, "Target", log);
    {
        Probe watcher(nullptr, "Watcher", log);
        watcher.FreeNotification(target);
        Probe quitter(nullptr, "Quitter", log);
        quitter.FreeNotification(target);
        quitter.RemoveFreeNotification(target);
    }
    // The watchers are gone; destroying the target must not reach them (the
    // sanitizer build turns a dangling call into a failure).
    log.clear();
    {
        Probe second(nullptr, "Second", log);
        target.FreeNotification(second);
    }
    EXPECT_EQ(log, (Log{"~Second", "Target -Second"}));
}

// Fails whenever it is told that a component goes, as a detail that cannot
// re-read would; notes whether it was itself marked as going by then.
class FailingListener : public TComponent {
public:
    FailingListener(TComponent* owner, Log& log, bool& wasGoing) : TComponent(owner), log_(log), wasGoing_(wasGoing) {}

protected:
    void Notification(TComponent& component, Operation operation) override {
        if (operation != Operation::Remove) return;
        wasGoing_ = Destroying();
        log_.push_back("failing -" + component.Name());
        throw fw::EConvertError("cannot read");
    }

private:
    Log& log_;
    bool& wasGoing_;
};

TEST(Component, AnOwnerMarksEverythingItOwnsAsGoingBeforeAnyoneIsTold) {
    Log log;
    bool wasGoing = false;
    {
        TComponent form;
        Probe& panel = form.CreateOwned<Probe>("Panel", log);
        panel.CreateOwned<FailingListener>(log, wasGoing);
        form.CreateOwned<Probe>("Last", log);
        log.clear();
    }
    // Told first that Last goes, the listener deep in Panel was already marked,
    // and its failure did not stop the rest from going.
    EXPECT_TRUE(wasGoing);
    EXPECT_EQ(log, (Log{"Panel -Last", "failing -Last", "~Last", "~Panel"}));
}

TEST(Component, AFailingRemovalNoticeStopsNeitherTheOthersNorTheDestruction) {
    Log log;
    bool wasGoing = true;
    Probe form(nullptr, "Form", log);
    form.CreateOwned<FailingListener>(log, wasGoing);
    Probe& source = form.CreateOwned<Probe>("Source", log);
    Probe& after = form.CreateOwned<Probe>("After", log);
    after.Linked = &source;
    auto outsider = std::make_unique<Probe>(nullptr, "Outsider", log);
    bool watcherWasGoing = true;
    FailingListener watcher(nullptr, log, watcherWasGoing);
    watcher.FreeNotification(*outsider);
    log.clear();
    EXPECT_NO_THROW(form.DestroyOwned(source));
    EXPECT_EQ(log, (Log{"Form -Source", "failing -Source", "After -Source", "~Source"}));
    EXPECT_FALSE(wasGoing);  // only the one going is marked
    EXPECT_EQ(after.Linked, nullptr);
    EXPECT_EQ(form.FindComponent("Source"), nullptr);
    log.clear();
    EXPECT_NO_THROW(outsider.reset());  // a watcher of another owner fails too
    EXPECT_EQ(log, (Log{"~Outsider", "failing -Outsider"}));
    EXPECT_FALSE(watcherWasGoing);
}

TEST(Component, NamesAreUniqueAmongSiblingsIgnoringCase) {
    Log log;
    Probe form(nullptr, "Form", log);
    Probe& button = form.CreateOwned<Probe>("Button1", log);
    EXPECT_EQ(form.FindComponent("BUTTON1"), &button);
    EXPECT_EQ(form.FindComponent(""), nullptr);
    try {
        form.CreateOwned<Probe>("button1", log);
        ADD_FAILURE() << "duplicate accepted";
    } catch (const fw::EConvertError& e) {
        EXPECT_EQ(e.Message(), "A component named button1 already exists");
    }
    EXPECT_EQ(form.ComponentCount(), 1u);  // the refused one was never adopted
    Probe& other = form.CreateOwned<Probe>("Button2", log);
    EXPECT_THROW(other.SetName("BUTTON1"), fw::EConvertError);
    EXPECT_EQ(other.Name(), "Button2");
    button.SetName("BUTTON1");  // its own name in another case
    EXPECT_EQ(button.Name(), "BUTTON1");
    form.CreateOwned<Probe>("", log);
    form.CreateOwned<Probe>("", log);  // unnamed components do not clash
    // Different owners may use the same name.
    Probe& inner = button.CreateOwned<Probe>("Button2", log);
    EXPECT_EQ(inner.Name(), "Button2");
}

}  // namespace
