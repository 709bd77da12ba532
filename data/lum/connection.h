#pragma once
// TLumConnection: one engine connection, to a data dictionary (a connect path
// ending in ".LDD") or to a folder of free tables. Datasets bound to it share
// its handle; opening one connects the connection on demand, and
// disconnecting first closes every bound dataset.
#include <cstdint>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "data/lum/engine.h"
#include "data/lum/lum_ini.h"
#include "framework/component.h"
#include "framework/reader.h"

namespace lum {

class TLumDataSet;

enum class TLumServerType : std::uint8_t { stLUM_REMOTE, stLUM_LOCAL, stLUM_LIS };
enum class TLumCompressionTypes : std::uint8_t {
    ccLumCompressionNotSet,
    ccLumCompressInternet,
    ccLumCompressAlways,
    ccLumCompressNever
};
enum class TLumCommunicationType : std::uint8_t { ctLumDefault, ctLumUDPIP, ctLumIPX, ctLumTCPIP };

// A set of server types, one bit per value.
class TLumServerTypes {
public:
    TLumServerTypes() = default;
    TLumServerTypes(std::initializer_list<TLumServerType> types) {
        for (TLumServerType t : types) Include(t);
    }
    void Include(TLumServerType type) { bits_ |= Bit(type); }
    bool Contains(TLumServerType type) const { return (bits_ & Bit(type)) != 0; }
    bool operator==(const TLumServerTypes&) const = default;

private:
    static std::uint8_t Bit(TLumServerType type) { return static_cast<std::uint8_t>(1u << static_cast<int>(type)); }
    std::uint8_t bits_ = 0;
};

class TLumConnection : public fw::TComponent, public fw::IStreamable {
public:
    using NotifyEvent = std::function<void(TLumConnection&)>;
    // Fills in user name and password for a dictionary login.
    using LoginEvent = std::function<void(TLumConnection&, std::string& username, std::string& password)>;
    // Shows a login dialog for the connection's name; false when cancelled.
    using LoginDialog =
        std::function<bool(const std::string& databaseName, std::string& username, std::string& password)>;

    explicit TLumConnection(fw::TComponent* owner = nullptr);
    ~TLumConnection() override;

    const LumFunctions& Engine() const { return *engine_; }
    void SetEngine(const LumFunctions& engine) { engine_ = &engine; }

    bool IsConnected() const { return connected_; }
    // True connects (raising on failure, leaving it disconnected); false closes
    // every bound dataset, then disconnects. The same value does nothing.
    void SetIsConnected(bool connected);
    void Connect() { SetIsConnected(true); }
    void Disconnect() { SetIsConnected(false); }

    const std::string& ConnectPath() const { return connectPath_; }
    // Refused while connected with LumConnectionError; clears the alias.
    void SetConnectPath(const std::string& path);
    // An alias of lum.ini that supplies the path when ConnectPath is empty.
    // Refused while connected with LumConnectionError. An alias lum.ini does
    // not resolve is kept with AliasValid false and checked again at connect.
    const std::string& AliasName() const { return aliasName_; }
    void SetAliasName(const std::string& name);
    const std::string& AliasPath() const { return aliasPath_; }
    bool AliasValid() const { return aliasValid_; }
    TLumAliasTableType AliasTableType() const { return aliasTableType_; }
    LUMHANDLE ConnectionHandle() const { return connected_ ? handle_ : 0; }
    bool IsDictionaryConnection() const { return isDictionary_; }
    // The path the connection connects to: ConnectPath, else the alias's path.
    const std::string& ConnectionPath() const { return connectPath_.empty() ? aliasPath_ : connectPath_; }
    // The folder bound datasets work in: a dictionary's own folder.
    std::string DataSetFolder() const;

    TLumServerTypes LumServerTypes() const { return serverTypes_; }
    void SetLumServerTypes(TLumServerTypes types) { serverTypes_ = types; }
    bool LoginPrompt() const { return loginPrompt_; }
    void SetLoginPrompt(bool value) { loginPrompt_ = value; }
    const std::string& Username() const { return username_; }
    void SetUsername(const std::string& value) { username_ = value; }
    const std::string& Password() const { return password_; }
    void SetPassword(const std::string& value) { password_ = value; }
    bool MiddleTierConnection() const { return middleTier_; }
    void SetMiddleTierConnection(bool value) { middleTier_ = value; }
    bool StoreConnected() const { return storeConnected_; }
    void SetStoreConnected(bool value) { storeConnected_ = value; }
    bool StoredProcedureConnection() const { return storedProcedure_; }
    void SetStoredProcedureConnection(bool value) { storedProcedure_ = value; }
    TLumCompressionTypes Compression() const { return compression_; }
    void SetCompression(TLumCompressionTypes value) { compression_ = value; }
    TLumCommunicationType CommunicationType() const { return communication_; }
    void SetCommunicationType(TLumCommunicationType value) { communication_ = value; }
    bool ReadOnly() const { return readOnly_; }
    void SetReadOnly(bool value) { readOnly_ = value; }
    bool CancelOnRollback() const { return cancelOnRollback_; }
    void SetCancelOnRollback(bool value) { cancelOnRollback_ = value; }
    std::uint32_t SQLTimeout() const { return sqlTimeout_; }
    // Passed to the engine at once while connected (also 0).
    void SetSQLTimeout(std::uint32_t value);
    const std::string& LumCollation() const { return collation_; }
    void SetLumCollation(const std::string& value) { collation_ = value; }

    NotifyEvent BeforeConnect, AfterConnect, OnConnect, BeforeDisconnect, AfterDisconnect, OnDisconnect;
    LoginEvent OnLogin;
    // Used when LoginPrompt is set and OnLogin is not; without one the login counts as cancelled.
    LoginDialog ShowLoginDialog;
    // The program's login dialog for every connection without ShowLoginDialog
    // of its own, installed once at start (tests install their own). Returns
    // the hook it replaces.
    static LoginDialog SetLoginDialogHook(LoginDialog dialog);

    std::size_t AttachedDataSetCount() const { return attached_.size(); }
    TLumDataSet& AttachedDataSet(std::size_t index) const { return *attached_.at(index); }
    std::thread::id OwnerThreadId() const { return ownerThread_; }

    // Renaming re-binds the datasets that name the connection.
    void SetName(const std::string& name) override;

    // Stored properties: "AliasName", "ConnectPath", "IsConnected", "LumServerTypes",
    // "LoginPrompt", "Username", "Password", "MiddleTierConnection",
    // "StoreConnected", "StoredProcedureConnection", "Compression",
    // "CommunicationType", "ReadOnly", "CancelOnRollback", "SQLTimeout", "LumCollation".
    void SetStoredProperty(const std::string& path, const fw::PropertyValue& value) override;

protected:
    void Loaded() override;

private:
    friend class TLumDataSet;
    void AttachDataSet(TLumDataSet& dataSet) { attached_.push_back(&dataSet); }
    void DetachDataSet(TLumDataSet& dataSet);
    void OpenEngineConnection(const std::string& path);
    void DoConnect();
    void DoDisconnect();
    void RebindDataSets(const std::string& oldName);

    const LumFunctions* engine_;
    bool connected_ = false;
    std::string connectPath_;
    std::string aliasName_;
    std::string aliasPath_;
    bool aliasValid_ = true;
    TLumAliasTableType aliasTableType_ = TLumAliasTableType::atUnspecified;
    LUMHANDLE handle_ = 0;
    bool isDictionary_ = false;
    bool connectAfterLoad_ = false;
    std::thread::id ownerThread_;
    std::vector<TLumDataSet*> attached_;

    TLumServerTypes serverTypes_;
    bool loginPrompt_ = true;
    std::string username_;
    std::string password_;
    bool middleTier_ = false;
    bool storeConnected_ = true;
    bool storedProcedure_ = false;
    TLumCompressionTypes compression_ = TLumCompressionTypes::ccLumCompressionNotSet;
    TLumCommunicationType communication_ = TLumCommunicationType::ctLumDefault;
    bool readOnly_ = false;
    bool cancelOnRollback_ = true;
    std::uint32_t sqlTimeout_ = 0;
    std::string collation_;
};

}  // namespace lum
