// Binding a dataset to its connection and working folder.
#include "data/lum/binding.h"

#include "data/lum/connection.h"
#include "data/lum/dataset.h"
#include "framework/text_compare.h"

namespace lum {

ConnectionRegistry& ConnectionRegistry::Instance() {
    static ConnectionRegistry registry;
    return registry;
}

DataSetRegistry& DataSetRegistry::Instance() {
    static DataSetRegistry registry;
    return registry;
}

namespace {

std::string OwnerName(const fw::TComponent& component) {
    return component.Owner() != nullptr ? component.Owner()->Name() : std::string();
}

// The connection's name, or its owner's name, "." and its name.
bool NamesConnection(const std::string& name, const TLumConnection& connection) {
    return fw::SameText(name, connection.Name()) || fw::SameText(name, OwnerName(connection) + "." + connection.Name());
}

}  // namespace

void TLumDataSet::AttachTo(TLumConnection* connection) {
    if (connection == connection_) return;
    if (connection_ != nullptr) {
        connection_->DetachDataSet(*this);
        RemoveFreeNotification(*connection_);
    }
    connection_ = connection;
    if (connection_ != nullptr) {
        connection_->AttachDataSet(*this);
        FreeNotification(*connection_);
    }
}

void TLumDataSet::SetLumConnection(TLumConnection* connection) {
    if (Active()) RaiseLayerError(this, "Table must not be Active.");
    AttachTo(connection);
    ResolveDatabasePath();
}

void TLumDataSet::SetDatabaseName(const std::string& name) {
    if (Active()) RaiseLayerError(this, "Cannot perform this operation on an open dataset");
    if (name.empty()) {
        databaseName_.clear();
        aliasPath_.clear();
        ResolveDatabasePath();
        return;
    }
    // Four passes, each in creation order: same owner and thread, same
    // thread, same owner, then any (also by "owner.name").
    const auto thisThread = std::this_thread::get_id();
    const auto byName = [&](const TLumConnection& c) { return fw::SameText(c.Name(), name); };
    ConnectionRegistry& registry = ConnectionRegistry::Instance();
    TLumConnection* found = registry.FindIf(
        [&](TLumConnection& c) { return byName(c) && c.Owner() == Owner() && c.OwnerThreadId() == thisThread; });
    if (found == nullptr)
        found = registry.FindIf([&](TLumConnection& c) { return byName(c) && c.OwnerThreadId() == thisThread; });
    if (found == nullptr) found = registry.FindIf([&](TLumConnection& c) { return byName(c) && c.Owner() == Owner(); });
    if (found == nullptr) found = registry.FindIf([&](TLumConnection& c) { return NamesConnection(name, c); });
    databaseName_ = name;
    aliasPath_.clear();
    if (found != nullptr) SetLumConnection(found);
}

std::string TLumDataSet::ResolveDatabasePath() {
    std::string path;
    if (!aliasPath_.empty()) {
        path = aliasPath_;
    } else if (databaseName_.empty() || (connection_ != nullptr && NamesConnection(databaseName_, *connection_))) {
        path = connection_ != nullptr ? connection_->DataSetFolder() : std::string();
    } else {
        path = databaseName_;
    }
    if (path.size() > 1 && (path.back() == '/' || path.back() == '\\')) path.pop_back();
    return path;
}

LUMHANDLE TLumDataSet::AcquireConnectionHandle() {
    if (connection_ == nullptr) return 0;  // folder connections of their own are not available yet
    if (!connection_->IsConnected()) connection_->SetIsConnected(true);
    return connection_->ConnectionHandle();
}

void TLumDataSet::SetTableType(TLumTableTypes type) {
    if (Active()) RaiseLayerError(this, "Cannot perform this operation on an open dataset");
    tableType_ = type;
    openTableType_ = OpenTableTypeCode(type);
}

}  // namespace lum
