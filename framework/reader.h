#pragma once
// Creates a window's components from its stored description: every component
// with its property values, in the order the window stores them.
#include <functional>
#include <map>
#include <string>
#include <variant>
#include <vector>

#include "component.h"

namespace fw {

// A reference to another component of the same window, by name.
struct ComponentRef {
    std::string Name;
    bool operator==(const ComponentRef&) const = default;
};
// A set of enumeration identifiers, as in "[stLUM_REMOTE, stLUM_LOCAL]".
struct IdentSet {
    std::vector<std::string> Items;
    bool operator==(const IdentSet&) const = default;
};
// An enumeration identifier, as in "ttLumLDT".
struct Ident {
    std::string Name;
    bool operator==(const Ident&) const = default;
};
using PropertyValue = std::variant<bool, long long, double, std::string, std::vector<std::string>, Ident, IdentSet,
                                   ComponentRef, TComponent*>;

struct StoredComponent {
    std::string ClassName;
    std::string Name;
    // Property paths may name a sub-object, as in "LumTableOptions.LumIndexPageSize".
    std::vector<std::pair<std::string, PropertyValue>> Properties;
};

struct StoredWindow {
    std::vector<std::pair<std::string, PropertyValue>> Properties;  // the window's own
    std::vector<StoredComponent> Components;
};

// A component that can be read from a stored description.
class IStreamable {
public:
    virtual ~IStreamable() = default;
    // Sets one property. A ComponentRef is never passed: references arrive
    // resolved, as TComponent*, after the whole description has been read.
    // Raises EConvertError "Unknown property: %s" for a name it does not have.
    virtual void SetStoredProperty(const std::string& path, const PropertyValue& value) = 0;
};

// Creates a component of a class by name, owned by the given owner.
using ComponentFactory = std::function<TComponent&(TComponent& owner)>;

class TReader {
public:
    void RegisterClass(const std::string& className, ComponentFactory factory);
    // Marks the root and every component it creates as loading, creates the
    // components and sets their properties in stored order, then resolves the
    // component references, then calls Loaded on each component in creation
    // order and finally on the root, clearing the loading state as it goes.
    void Read(TComponent& root, const StoredWindow& description) const;

private:
    std::map<std::string, ComponentFactory> factories_;
};

}  // namespace fw
