// TLumConnection: connecting and disconnecting through the engine, the login,
// the stored properties, and the datasets closed when the connection goes.
#include "data/lum/connection.h"

#include <algorithm>
#include <optional>
#include <utility>

#include "data/lum/binding.h"
#include "data/lum/dataset.h"
#include "data/lum/errors.h"
#include "framework/stored_property.h"
#include "framework/text_compare.h"

namespace lum {

namespace {

bool EndsWithLdd(const std::string& path) {
    if (path.size() < 4) return false;
    return fw::SameText(std::string_view(path).substr(path.size() - 4), ".LDD");
}

std::unique_ptr<std::vector<std::string>> NewGroupList() {
    try {
        return std::make_unique<std::vector<std::string>>();
    } catch (const std::bad_alloc&) {
        throw fw::Exception("Error allocating internal group list.");
    }
}

}  // namespace

TLumConnection::TLumConnection(fw::TComponent* owner)
    : fw::TComponent(owner),
      engine_(&DefaultEngine()),
      ownerThread_(std::this_thread::get_id()),
      groups_(NewGroupList()) {
    ConnectionRegistry::Instance().Add(*this);
}

TLumConnection::~TLumConnection() {
    const std::vector<TLumDataSet*> attached = attached_;
    MarkDestroying();
    if (connected_) {
        for (TLumDataSet* dataSet : attached) {
            // A destructor cannot report; the dataset's cursor is released by its close step.
            fw::Quietly([dataSet] { dataSet->SetActive(false); });
            fw::Quietly([dataSet] { dataSet->ConnectionClosed(); });
        }
        ForgetCachedStatements();
        // A destructor cannot raise: the engine reports a failure to
        // disconnect itself, and the handle is forgotten either way so
        // nothing refers to it afterwards. A connection the engine dropped
        // already is no failure.
        const UNSIGNED32 rc = engine_->LumDisconnect(handle_);
        if (rc != 0 && rc != LUM_ERR_CONNECTION_GONE) engine_->LumShowError("Lum Exception Error");
        fw::Quietly([this] {
            if (OnDisconnect) OnDisconnect(*this);
        });
        connected_ = false;
        handle_ = 0;
    }
    for (TLumDataSet* dataSet : attached) dataSet->AttachTo(nullptr);
    ConnectionRegistry::Instance().Remove(*this);
}

void TLumConnection::DetachDataSet(TLumDataSet& dataSet) {
    const auto at = std::find(attached_.begin(), attached_.end(), &dataSet);
    if (at != attached_.end()) attached_.erase(at);
}

void TLumConnection::SetConnectPath(const std::string& path) {
    if (connected_)
        throw LumConnectionError("The TLumConnection.ConnectPath may not be changed when IsConnected is TRUE");
    connectPath_ = path;
    isDictionary_ = EndsWithLdd(path);
    aliasName_.clear();
    aliasPath_.clear();
    aliasTableType_ = TLumAliasTableType::atUnspecified;
}

void TLumConnection::SetAliasName(const std::string& name) {
    if (connected_)
        throw LumConnectionError("The TLumConnection.AliasName may not be changed when IsConnected is TRUE");
    aliasValid_ = true;
    aliasPath_.clear();
    aliasTableType_ = TLumAliasTableType::atUnspecified;
    aliasName_ = name;
    if (name.empty()) return;
    const std::optional<TLumAlias> alias = LookUpAlias(name);
    if (!alias) {
        aliasValid_ = false;
        return;
    }
    connectPath_.clear();
    aliasPath_ = alias->Path;
    aliasTableType_ = alias->TableType;
    isDictionary_ = EndsWithLdd(aliasPath_);
    if (Owner() == nullptr) return;
    // The owner's datasets that work through this connection take the alias's type.
    const TLumTableTypes type = DataSetTableType(aliasTableType_);
    for (std::size_t i = 0; i < Owner()->ComponentCount(); ++i) {
        auto* dataSet = dynamic_cast<TLumDataSet*>(&Owner()->Component(i));
        if (dataSet == nullptr || dataSet->LumConnection() != this) continue;
        if (dataSet->DatabaseName().empty() || dataSet->DatabaseName() == Name()) dataSet->AdoptTableType(type);
    }
}

std::string TLumConnection::DataSetFolder() const {
    const std::string& path = ConnectionPath();
    if (path.size() > 4 && path[path.size() - 4] == '.' && EndsWithLdd(path)) {
        // The dictionary's folder: cut at the last separator of either kind,
        // since a folder chosen on this system may be joined with "\".
        const auto separator = path.find_last_of("/\\");
        if (separator == std::string::npos) return ".\\";
        return path.substr(0, separator);
    }
    return path;
}

void TLumConnection::SetSQLTimeout(std::uint32_t value) {
    sqlTimeout_ = value;
    if (connected_) CheckLCEResult(*engine_, nullptr, engine_->LumSetSQLTimeout(handle_, value));
}

void TLumConnection::SetIsConnected(bool connected) {
    if (connected == connected_) return;
    if (connected) {
        DoConnect();
    } else {
        DoDisconnect();
    }
}

void TLumConnection::DoConnect() {
    if (Loading()) {
        connectAfterLoad_ = true;
        return;
    }
    groupsRead_ = false;
    if (BeforeConnect) BeforeConnect(*this);
    if (!aliasValid_) {
        // lum.ini may have gained the alias since it was set.
        SetAliasName(aliasName_);
        if (!aliasValid_) throw LumConnectionError("TLumConnection.AliasName is not valid");
    }
    if (ConnectionPath().empty()) {
        throw LumConnectionError("Must specify connection string before getting a server connection.");
    }
    OpenEngineConnection(ConnectionPath().substr(0, 254));
    connected_ = true;
    if (!applicationID_.empty()) SendApplicationIDAfterConnect();
    if (isDictionary_) {
        const std::vector<TLumDataSet*> attached = attached_;
        for (TLumDataSet* dataSet : attached) dataSet->ReadDefaultIndex();
    }
    if (AfterConnect) AfterConnect(*this);
    if (OnConnect) OnConnect(*this);
}

namespace {

// The process-wide login dialog; the program sets it from its GUI thread.
TLumConnection::LoginDialog& LoginDialogHook() {
    static TLumConnection::LoginDialog hook;
    return hook;
}

}  // namespace

TLumConnection::LoginDialog TLumConnection::SetLoginDialogHook(LoginDialog dialog) {
    return std::exchange(LoginDialogHook(), std::move(dialog));
}

void TLumConnection::OpenEngineConnection(const std::string& path) {
    std::string user = username_;
    std::string password = password_;
    if (loginPrompt_ && isDictionary_) {
        if (OnLogin) {
            user.clear();
            password.clear();
            OnLogin(*this, user, password);
        } else {
            user = username_;
            password.clear();
            const LoginDialog& dialog = ShowLoginDialog ? ShowLoginDialog : LoginDialogHook();
            if (!dialog || !dialog(Name(), user, password)) {
                throw fw::EDatabaseError("Cannot connect to database '" + Name() + "'");
            }
        }
        username_ = user;
        password_ = password;
    }
    user = user.substr(0, 260);
    password = password.substr(0, 260);
    if (!isDictionary_) {
        // Free tables take no credentials.
        user.clear();
        password.clear();
    }
    UNSIGNED16 mask = 0;
    if (serverTypes_.Contains(TLumServerType::stLUM_REMOTE)) mask |= LUM_REMOTE_SERVER;
    if (serverTypes_.Contains(TLumServerType::stLUM_LOCAL)) mask |= LUM_LOCAL_SERVER;
    if (serverTypes_.Contains(TLumServerType::stLUM_LIS)) mask |= LUM_LIS_SERVER;
    UNSIGNED32 options = 0;
    if (middleTier_) options |= 1;
    if (storedProcedure_) options |= 2;
    switch (compression_) {
        case TLumCompressionTypes::ccLumCompressInternet: options |= 12; break;
        case TLumCompressionTypes::ccLumCompressAlways: options |= 4; break;
        case TLumCompressionTypes::ccLumCompressNever: options |= 8; break;
        case TLumCompressionTypes::ccLumCompressionNotSet: break;
    }
    switch (communication_) {
        case TLumCommunicationType::ctLumUDPIP: options |= 32; break;
        case TLumCommunicationType::ctLumIPX: options |= 64; break;
        case TLumCommunicationType::ctLumTCPIP: options |= 128; break;
        case TLumCommunicationType::ctLumDefault: break;
    }
    LUMHANDLE handle = 0;
    CheckLCEResult(*engine_, nullptr,
                   engine_->LumConnect60(path.c_str(), mask, user.c_str(), password.c_str(), options, &handle));
    handle_ = handle;
    if (sqlTimeout_ != 0) {
        const UNSIGNED32 rc = engine_->LumSetSQLTimeout(handle_, sqlTimeout_);
        if (rc != 0) {
            // The connection is not kept when its set-up fails.
            std::optional<ELUMDatabaseError> failure;
            try {
                CheckLCEResult(*engine_, nullptr, rc);
            } catch (const ELUMDatabaseError& e) {
                failure.emplace(e);
            }
            engine_->LumDisconnect(handle_);
            handle_ = 0;
            if (failure) throw *failure;
        }
    }
}

void TLumConnection::SendApplicationIDAfterConnect() {
    try {
        ApplyApplicationID(applicationID_);
    } catch (...) {
        // A connection whose set-up failed is not kept; the failure that
        // brought us here is the one reported.
        ForgetCachedStatements();
        engine_->LumDisconnect(handle_);
        connected_ = false;
        handle_ = 0;
        throw;
    }
}

void TLumConnection::DoDisconnect() {
    groupsRead_ = false;
    if (BeforeDisconnect) BeforeDisconnect(*this);
    const std::vector<TLumDataSet*> attached = attached_;
    for (TLumDataSet* dataSet : attached) {
        try {
            dataSet->SetActive(false);
        } catch (...) {
            // Closing goes on for the other datasets; the connection goes regardless.
        }
        dataSet->ConnectionClosed();
    }
    ForgetCachedStatements();
    std::optional<LumError> failure;
    if (const UNSIGNED32 rc = engine_->LumDisconnect(handle_); rc != 0) failure.emplace(*engine_, rc);
    connected_ = false;
    handle_ = 0;
    if (AfterDisconnect) AfterDisconnect(*this);
    if (OnDisconnect) OnDisconnect(*this);
    if (failure) throw *failure;
}

void TLumConnection::Loaded() {
    fw::TComponent::Loaded();
    if (connectAfterLoad_ && !connected_) {
        connectAfterLoad_ = false;
        SetIsConnected(true);
    }
}

void TLumConnection::SetStoredProperty(const std::string& path, const fw::PropertyValue& value) {
    if (path == "AliasName") return SetAliasName(fw::Stored<std::string>(value, path));
    if (path == "ConnectPath") return SetConnectPath(fw::Stored<std::string>(value, path));
    if (path == "IsConnected") return SetIsConnected(fw::Stored<bool>(value, path));
    if (path == "LumServerTypes") {
        TLumServerTypes types;
        static constexpr const char* kServerTypes[] = {"stLUM_REMOTE", "stLUM_LOCAL", "stLUM_LIS"};
        for (const std::string& item : fw::Stored<fw::IdentSet>(value, path).Items) {
            const auto index = fw::IndexOfName(item, kServerTypes);
            if (!index) fw::RaiseInvalidPropertyValue(path);
            types.Include(static_cast<TLumServerType>(*index));
        }
        return SetLumServerTypes(types);
    }
    if (path == "LoginPrompt") return SetLoginPrompt(fw::Stored<bool>(value, path));
    if (path == "Username") return SetUsername(fw::Stored<std::string>(value, path));
    if (path == "Password") return SetPassword(fw::Stored<std::string>(value, path));
    if (path == "MiddleTierConnection") return SetMiddleTierConnection(fw::Stored<bool>(value, path));
    if (path == "StoreConnected") return SetStoreConnected(fw::Stored<bool>(value, path));
    if (path == "StoredProcedureConnection") return SetStoredProcedureConnection(fw::Stored<bool>(value, path));
    if (path == "Compression") {
        static constexpr const char* kNames[] = {"ccLumCompressionNotSet", "ccLumCompressInternet",
                                                 "ccLumCompressAlways", "ccLumCompressNever"};
        return SetCompression(fw::EnumOf<TLumCompressionTypes>(value, kNames, path));
    }
    if (path == "CommunicationType") {
        static constexpr const char* kNames[] = {"ctLumDefault", "ctLumUDPIP", "ctLumIPX", "ctLumTCPIP"};
        return SetCommunicationType(fw::EnumOf<TLumCommunicationType>(value, kNames, path));
    }
    if (path == "ReadOnly") return SetReadOnly(fw::Stored<bool>(value, path));
    if (path == "CancelOnRollback") return SetCancelOnRollback(fw::Stored<bool>(value, path));
    if (path == "SQLTimeout") {
        const long long number = fw::Stored<long long>(value, path);
        if (number < 0 || number > 0xFFFFFFFFLL) fw::RaiseInvalidPropertyValue(path);
        return SetSQLTimeout(static_cast<std::uint32_t>(number));
    }
    if (path == "ApplicationID") return SetApplicationID(fw::Stored<std::string>(value, path));
    if (path == "LumCollation") return SetLumCollation(fw::Stored<std::string>(value, path));
    throw fw::EConvertError(fw::Format("Unknown property: %s", {path}));
}

}  // namespace lum
