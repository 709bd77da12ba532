#pragma once
// Components: named objects with an owner. An owner destroys what it owns, in
// the reverse order of creation, and tells the remaining components that a
// component is going so they can drop their references to it.
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace fw {

enum class Operation { Insert, Remove };

// Runs one step of a teardown (a destructor, a removal notice, a close on the
// way out). Teardown must finish whatever a step meets, so a failure there is
// dropped here, the one place that does so; the error a user sees is that of
// the work that ran before.
template <class Step>
void Quietly(Step&& step) noexcept {
    try {
        step();
    } catch (...) {}
}

class TComponent {
public:
    explicit TComponent(TComponent* owner = nullptr);
    virtual ~TComponent();
    TComponent(const TComponent&) = delete;
    TComponent& operator=(const TComponent&) = delete;

    // Creates a component owned by this one; the owner keeps it alive. A
    // component is owned only this way: the owner passed to the constructor
    // must be the one that adopts it.
    template <class T, class... Args>
    T& CreateOwned(Args&&... args) {
        auto made = std::make_unique<T>(this, std::forward<Args>(args)...);
        T& ref = *made;
        Adopt(std::move(made));
        return ref;
    }

    const std::string& Name() const { return name_; }
    // EComponentError-style EConvertError "A component named %s already exists"
    // when a sibling has the name already (names compare ignoring case). A
    // component whose name others refer to overrides it to follow a rename.
    virtual void SetName(const std::string& name);
    TComponent* Owner() const { return owner_; }

    std::size_t ComponentCount() const { return owned_.size(); }
    TComponent& Component(std::size_t index) const { return *owned_.at(index); }
    // An owned component by name, ignoring case; nullptr when there is none.
    TComponent* FindComponent(const std::string& name) const;
    // Destroys a component this one owns before its owner goes; the others
    // are told first, as when the owner is destroyed.
    void DestroyOwned(TComponent& component);

    bool Loading() const { return loading_; }
    // True from the moment this component or its owner starts going: an owner
    // marks everything it owns before anyone is told, so a component going
    // with the others does no work for them (a detail does not re-read).
    bool Destroying() const { return destroying_; }

    // Asks to be told (Notification with Remove) when `other` is destroyed,
    // also when it has another owner.
    void FreeNotification(TComponent& other);
    void RemoveFreeNotification(TComponent& other);

protected:
    // Told when a component this one owns, or asked to watch, comes or goes;
    // also when a sibling (another component of the same owner) does. A
    // component that is both a sibling and watched is told twice, so an
    // override should simply drop its references to `component`. A failure
    // on hearing of a Remove is dropped: the component goes regardless.
    virtual void Notification(TComponent& component, Operation operation);
    // Called once reading the stored description has ended.
    virtual void Loaded();
    // Marks this component and everything below it as going. Destructors of
    // subclasses that still call out (closing a cursor, telling links) call
    // it first, so those they tell know the call comes from a teardown.
    void MarkDestroying() noexcept;

private:
    friend class TReader;
    void Adopt(std::unique_ptr<TComponent> component);
    void NotifyAll(TComponent& component, Operation operation);
    void NotifyAllRemoved(TComponent& component) noexcept;
    void DestroyAt(std::size_t index) noexcept;

    TComponent* owner_ = nullptr;
    std::string name_;
    std::vector<std::unique_ptr<TComponent>> owned_;
    std::vector<TComponent*> watchers_;  // told when this one goes
    std::vector<TComponent*> watched_;   // this one is told when they go
    bool loading_ = false;
    bool destroying_ = false;
};

}  // namespace fw
