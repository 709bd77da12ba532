// Ownership and removal notices of components; a teardown finishes whatever a
// notice meets, so no exception leaves a destructor.
#include "framework/component.h"

#include <algorithm>

#include "framework/exceptions.h"
#include "framework/text_compare.h"

namespace fw {

namespace {

void Erase(std::vector<TComponent*>& list, const TComponent* item) {
    list.erase(std::remove(list.begin(), list.end(), item), list.end());
}

}  // namespace

TComponent::TComponent(TComponent* owner) : owner_(owner) {}

TComponent::~TComponent() {
    MarkDestroying();
    while (!watchers_.empty()) {
        TComponent* watcher = watchers_.back();
        watchers_.pop_back();
        Erase(watcher->watched_, this);
        Quietly([&] { watcher->Notification(*this, Operation::Remove); });
    }
    for (TComponent* watched : watched_) Erase(watched->watchers_, this);
    watched_.clear();
    while (!owned_.empty()) DestroyAt(owned_.size() - 1);
}

void TComponent::SetName(const std::string& name) {
    if (name == name_) return;
    if (owner_ != nullptr && !name.empty()) {
        const TComponent* existing = owner_->FindComponent(name);
        if (existing != nullptr && existing != this) {
            throw EConvertError(Format("A component named %s already exists", {name}));
        }
    }
    name_ = name;
}

TComponent* TComponent::FindComponent(const std::string& name) const {
    if (name.empty()) return nullptr;
    for (const auto& component : owned_) {
        if (SameText(component->name_, name)) return component.get();
    }
    return nullptr;
}

void TComponent::DestroyOwned(TComponent& component) {
    const auto found = std::find_if(owned_.begin(), owned_.end(),
                                    [&](const std::unique_ptr<TComponent>& c) { return c.get() == &component; });
    if (found == owned_.end()) throw EConvertError("Component is not owned by this component");
    DestroyAt(static_cast<std::size_t>(found - owned_.begin()));
}

void TComponent::DestroyAt(std::size_t index) noexcept {
    // Out of the list first, so nobody told below can reach it through the owner.
    std::unique_ptr<TComponent> going = std::move(owned_[index]);
    owned_.erase(owned_.begin() + static_cast<std::ptrdiff_t>(index));
    going->MarkDestroying();
    NotifyAllRemoved(*going);
    going.reset();
}

void TComponent::MarkDestroying() noexcept {
    destroying_ = true;
    for (const auto& component : owned_) component->MarkDestroying();
}

void TComponent::FreeNotification(TComponent& other) {
    if (&other == this) return;
    if (std::find(other.watchers_.begin(), other.watchers_.end(), this) == other.watchers_.end()) {
        other.watchers_.push_back(this);
        watched_.push_back(&other);
    }
}

void TComponent::RemoveFreeNotification(TComponent& other) {
    Erase(other.watchers_, this);
    Erase(watched_, &other);
}

void TComponent::Notification(TComponent&, Operation) {}

void TComponent::Loaded() { loading_ = false; }

void TComponent::Adopt(std::unique_ptr<TComponent> component) {
    TComponent& adopted = *component;
    adopted.owner_ = this;
    owned_.push_back(std::move(component));
    NotifyAll(adopted, Operation::Insert);
}

// The owner and every component below it, except the one concerned, hear of it.
void TComponent::NotifyAll(TComponent& component, Operation operation) {
    Notification(component, operation);
    for (std::size_t i = 0; i < owned_.size(); ++i) {
        TComponent& other = *owned_[i];
        if (&other != &component) other.NotifyAll(component, operation);
    }
}

// As NotifyAll with Remove; one listener that fails does not keep the others
// from dropping their references, nor the component from going.
void TComponent::NotifyAllRemoved(TComponent& component) noexcept {
    Quietly([&] { Notification(component, Operation::Remove); });
    for (std::size_t i = 0; i < owned_.size(); ++i) {
        TComponent& other = *owned_[i];
        if (&other != &component) other.NotifyAllRemoved(component);
    }
}

}  // namespace fw
