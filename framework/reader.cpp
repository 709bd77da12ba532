// Reading a stored window description: components and property values first,
// references resolved by name after, then Loaded in creation order.
#include "framework/reader.h"

#include "framework/exceptions.h"
#include "framework/text_compare.h"

namespace fw {

namespace {

struct PendingReference {
    TComponent* component;  // the one whose property refers
    std::string path;
    std::string target;
};

// The component behind a name: one of the root's, or the root itself.
TComponent* Resolve(TComponent& root, const std::string& name) {
    if (TComponent* found = root.FindComponent(name)) return found;
    return !name.empty() && SameText(name, root.Name()) ? &root : nullptr;
}

std::string Describe(const TComponent& component, const std::string& path) {
    return component.Name().empty() ? path : component.Name() + "." + path;
}

}  // namespace

void TReader::RegisterClass(const std::string& className, ComponentFactory factory) {
    factories_[className] = std::move(factory);
}

void TReader::Read(TComponent& root, const StoredWindow& description) const {
    std::vector<TComponent*> created;
    std::vector<PendingReference> references;

    // Sets the plain values now and keeps the references for later.
    const auto apply = [&](TComponent& component,
                           const std::vector<std::pair<std::string, PropertyValue>>& properties) {
        if (properties.empty()) return;
        auto* streamable = dynamic_cast<IStreamable*>(&component);
        for (const auto& [path, value] : properties) {
            if (streamable == nullptr) throw EConvertError(Format("Unknown property: %s", {Describe(component, path)}));
            if (const auto* ref = std::get_if<ComponentRef>(&value)) {
                references.push_back({&component, path, ref->Name});
            } else {
                streamable->SetStoredProperty(path, value);
            }
        }
    };

    root.loading_ = true;
    try {
        apply(root, description.Properties);
        for (const StoredComponent& stored : description.Components) {
            const auto factory = factories_.find(stored.ClassName);
            if (factory == factories_.end()) throw EConvertError(Format("Class %s not found", {stored.ClassName}));
            TComponent& component = factory->second(root);
            component.loading_ = true;
            created.push_back(&component);
            component.SetName(stored.Name);
            apply(component, stored.Properties);
        }
        for (const PendingReference& ref : references) {
            TComponent* target = nullptr;
            if (!ref.target.empty()) {
                target = Resolve(root, ref.target);
                if (target == nullptr) {
                    throw EConvertError(Format("Component %s referenced by %s was not found",
                                               {ref.target, Describe(*ref.component, ref.path)}));
                }
            }
            dynamic_cast<IStreamable&>(*ref.component).SetStoredProperty(ref.path, PropertyValue{target});
        }
    } catch (...) {
        // What was created stays owned by the root; it just is no longer loading.
        for (TComponent* component : created) component->loading_ = false;
        root.loading_ = false;
        throw;
    }
    try {
        for (TComponent* component : created) {
            component->loading_ = false;
            component->Loaded();
        }
        root.loading_ = false;
        root.Loaded();
    } catch (...) {
        for (TComponent* component : created) component->loading_ = false;
        root.loading_ = false;
        throw;
    }
}

}  // namespace fw
