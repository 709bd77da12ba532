// Binding a dataset to its connection and working folder: by component, by
// DatabaseName (a connection's name, a folder or a lum.ini alias), or through
// the shared per-folder connections; and what a connection's alias and
// renaming do to the datasets that name it.
#include "data/lum/binding.h"

#include <optional>

#include "data/lum/connection.h"
#include "data/lum/dataset.h"
#include "data/lum/dynamic_connections.h"
#include "data/lum/lum_ini.h"
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

// A DatabaseName with a separator of either kind names a folder, never an alias.
bool IsPathName(const std::string& name) { return name.find_first_of("/\\") != std::string::npos; }

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
    TLumConnection* found = ConnectionRegistry::Instance().FindInPasses({
        [&](TLumConnection& c) { return byName(c) && c.Owner() == Owner() && c.OwnerThreadId() == thisThread; },
        [&](TLumConnection& c) { return byName(c) && c.OwnerThreadId() == thisThread; },
        [&](TLumConnection& c) { return byName(c) && c.Owner() == Owner(); },
        [&](TLumConnection& c) { return NamesConnection(name, c); },
    });
    databaseName_ = name;
    aliasPath_.clear();
    if (found != nullptr) return SetLumConnection(found);
    if (IsPathName(name)) return;
    if (const std::optional<TLumAlias> alias = LookUpAlias(name)) {
        aliasPath_ = alias->Path;
        AdoptTableType(DataSetTableType(alias->TableType));
    }
}

std::string TLumDataSet::ResolveDatabasePath() {
    std::string path;
    if (!aliasPath_.empty()) {
        path = aliasPath_;
    } else if (databaseName_.empty() || (connection_ != nullptr && NamesConnection(databaseName_, *connection_))) {
        if (connection_ != nullptr) {
            path = connection_->DataSetFolder();
            if (const auto type = SpecifiedTableType(connection_->AliasTableType())) AdoptTableType(*type);
        }
    } else if (IsPathName(databaseName_)) {
        path = databaseName_;
    } else if (const std::optional<TLumAlias> alias = LookUpAlias(databaseName_)) {
        // An alias lum.ini gained after DatabaseName was set.
        path = alias->Path;
        aliasPath_ = path;
        AdoptTableType(DataSetTableType(alias->TableType));
    } else {
        path = databaseName_;
    }
    if (path.size() > 1 && (path.back() == '/' || path.back() == '\\')) path.pop_back();
    return path;
}

LUMHANDLE TLumDataSet::AcquireConnectionHandle() {
    if (connection_ != nullptr) {
        if (!connection_->IsConnected()) connection_->SetIsConnected(true);
        return connection_->ConnectionHandle();
    }
    std::string path = ResolveDatabasePath();
    // A bare drive means its root.
    if (path.size() == 2 && path[1] == ':') path += '\\';
    return TDynamicConnList::Instance().Acquire(*engine_, path);
}

void TLumDataSet::AdoptTableType(TLumTableTypes type) {
    if (type == tableType_) return;
    tableType_ = type;
    openTableType_ = OpenTableTypeCode(type);
}

void TLumConnection::SetName(const std::string& name) {
    const std::string oldName = Name();
    fw::TComponent::SetName(name);
    if (Owner() != nullptr) RebindDataSets(oldName);
}

void TLumConnection::RebindDataSets(const std::string& oldName) {
    const std::string ownerName = Owner()->Name();
    DataSetRegistry::Instance().ForEach([&](TLumDataSet& dataSet) {
        const bool mayBind = dataSet.LumConnection() == nullptr || dataSet.LumConnection() == this;
        if (!mayBind) return;
        // Datasets that named the old name follow the new one.
        if (!oldName.empty()) {
            if (fw::SameText(dataSet.DatabaseName(), oldName)) {
                dataSet.SetDatabaseName(Name());
            } else if (fw::SameText(dataSet.DatabaseName(), ownerName + "." + oldName)) {
                dataSet.SetDatabaseName(ownerName + "." + Name());
            }
        }
        // A dataset that named this connection before it had its name binds now.
        if (Name().empty() || dataSet.Owner() == nullptr) return;
        if (ownerName + "." + Name() == dataSet.Owner()->Name() + "." + dataSet.DatabaseName())
            dataSet.SetDatabaseName(Name());
    });
}

void TLumDataSet::SetTableType(TLumTableTypes type) {
    if (Active()) RaiseLayerError(this, "Cannot perform this operation on an open dataset");
    // An alias that names a table type ties the dataset to it: the alias in
    // DatabaseName, or else the alias of the bound connection.
    std::optional<TLumTableTypes> tied;
    if (!databaseName_.empty()) {
        if (!IsPathName(databaseName_)) {
            if (const std::optional<TLumAlias> alias = LookUpAlias(databaseName_))
                tied = DataSetTableType(alias->TableType);
        }
    } else if (connection_ != nullptr) {
        tied = SpecifiedTableType(connection_->AliasTableType());
    }
    if (tied && *tied != type) {
        RaiseLayerError(this, "The table type must remain identical to the table type associated with the alias.");
    }
    tableType_ = type;
    openTableType_ = OpenTableTypeCode(type);
}

}  // namespace lum
