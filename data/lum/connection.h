#pragma once
// TLumConnection: one engine connection, to a data dictionary (a connect path
// ending in ".LDD") or to a folder of free tables. Datasets bound to it share
// its handle; opening one connects the connection on demand, and
// disconnecting first closes every bound dataset.
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "data/lum/engine.h"
#include "data/lum/lum_ini.h"
#include "data/lum/params.h"
#include "data/lum/table_options.h"
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

// An SQL result cursor handed out by ExecuteSQL. It is closed when it goes;
// Close reports a failure to close, the destructor cannot.
class TLumSQLCursor {
public:
    TLumSQLCursor() = default;
    TLumSQLCursor(const LumFunctions& engine, LUMHANDLE handle) : engine_(&engine), handle_(handle) {}
    TLumSQLCursor(TLumSQLCursor&& other) noexcept;
    TLumSQLCursor& operator=(TLumSQLCursor&& other) noexcept;
    ~TLumSQLCursor();

    LUMHANDLE Handle() const { return handle_; }
    explicit operator bool() const { return handle_ != 0; }
    void Close();
    // Hands the cursor over: the caller closes it from now on.
    LUMHANDLE Release() noexcept { return std::exchange(handle_, 0); }

private:
    const LumFunctions* engine_ = nullptr;
    LUMHANDLE handle_ = 0;
};

// A link of the dictionary to another one, as the engine reports it.
struct TLumActiveLink {
    std::string Alias;
    std::string Path;
};

// Tables of a listing: their names and, beside each, its file.
struct TLumTableNames {
    std::vector<std::string> Names;
    std::vector<std::string> Files;
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

    // The id of the application, sent to the server at connect and, when it
    // changes while connected, at once. A failure to send it keeps the old id.
    const std::string& ApplicationID() const { return applicationID_; }
    void SetApplicationID(const std::string& id);
    // Stores the id and, while connected, sends it to the server.
    void ApplyApplicationID(std::string id);
    // The id the server holds for this connection (at most 300 characters);
    // the stored property while not connected.
    std::string ReadServerApplicationID();

    // Server information. ServerName raises LumConnectionError while not
    // connected; ConnectionTypeName is "Local", "Remote", "Internet" or empty;
    // IsAlive is false while not connected. Engine failures raise LumError.
    std::string ServerName() const;
    std::string ConnectionTypeName() const;
    bool IsAlive() const;
    // The server's date and time of day (connects when needed).
    double ServerTime();

    // Runs `sql` on a statement of this connection, connecting when needed.
    // Parameters are bound by position from 1; without any the text runs
    // directly. With `cursor` the statement is read-only and the result's
    // cursor is handed back (empty when the statement gives none); without,
    // a result cursor is closed at once. With `keep` the statement stays
    // prepared in the statement cache and is reused for the same text (case
    // ignored) and settings. Returns the engine's count of the statement's
    // rows, 0 when it has none.
    std::uint32_t ExecuteSQL(const std::string& sql, const TParams* params = nullptr, TLumSQLCursor* cursor = nullptr,
                             bool keep = false);
    // The same, the new statement set up with a dataset's options (an empty
    // collation among them leaves the connection's).
    std::uint32_t ExecuteSQLWithOptions(const std::string& sql, const TLumDatasetOptions& options,
                                        const TParams* params = nullptr, TLumSQLCursor* cursor = nullptr,
                                        bool keep = false);
    // Closes every cached statement and empties the cache; the first failure
    // to close is raised once all are closed.
    void CloseCachedStatements();
    std::size_t CachedStatementCount() const { return statementCache_.size(); }

    // Table lists; GetTableNames and GetTableNamesEx raise LumConnectionError
    // "No connection to Lumen server." while not connected. On a dictionary
    // they list its tables; on a folder the tables that `mask` matches, or
    // "*.ldt" / "*.dbf" when an alias gives the table type.
    std::vector<std::string> GetTableNames(const std::string& mask = "");
    TLumTableNames GetTableNamesEx(const std::string& mask = "");
    // The dictionary's tables (connects when needed).
    std::vector<std::string> GetDictionaryTableNames();

    // The user's groups in the dictionary, read once per connect; none while
    // not connected.
    const std::vector<std::string>& UserGroups();
    const std::string& UserGroupsText();
    void ReadUserGroups();

    // The dictionary's active links; none while not connected.
    std::uint16_t ActiveLinkCount() const;
    std::vector<TLumActiveLink> GetActiveLinks() const;
    // Lets the engine close the tables it keeps open for reuse.
    void CloseCachedTables();

    // Transactions and savepoints, each refused with LumConnectionError "No
    // connection to Lumen server." while not connected. Commit and Rollback
    // run the steps around the engine's call (CommitSteps, RollbackSteps).
    // Failures to begin, commit or roll back raise LumError; those of
    // savepoints and of the two questions pass the engine-result check.
    virtual void BeginTransaction();
    virtual void Commit();
    virtual void Rollback();
    virtual bool InTransaction();
    virtual std::uint32_t TransactionCount();
    virtual void CreateSavepoint(const std::string& name);
    // Back to the savepoint of that name; an empty name is Rollback.
    virtual void RollbackToSavepoint(const std::string& name);

    NotifyEvent BeforeConnect, AfterConnect, OnConnect, BeforeDisconnect, AfterDisconnect, OnDisconnect;
    NotifyEvent BeforeCommit, AfterCommit, BeforeRollback, AfterRollback;
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
    // "CommunicationType", "ReadOnly", "CancelOnRollback", "SQLTimeout",
    // "ApplicationID", "LumCollation".
    void SetStoredProperty(const std::string& path, const fw::PropertyValue& value) override;

protected:
    void Loaded() override;

    // The events of a commit and a rollback.
    virtual void DoBeforeCommit();
    virtual void DoAfterCommit();
    virtual void DoBeforeRollback();
    virtual void DoAfterRollback();
    // The steps around the engine's commit and rollback, for the transaction
    // operations, which check the connection and pass the engine's call.
    // Commit: BeforeCommit, the cached statements closed, the engine's
    // commit, AfterCommit. Rollback: BeforeRollback, the cached statements
    // closed, with CancelOnRollback the pending edit of every attached
    // dataset cancelled, the engine's rollback, every attached dataset that
    // is open and browsing refreshed, AfterRollback. A failure ends the steps.
    void CommitSteps(const std::function<void()>& engineCommit);
    void RollbackSteps(const std::function<void()>& engineRollback);
    // "No connection to Lumen server." (LumConnectionError) while not connected.
    void RequireConnection() const;

private:
    friend class TLumDataSet;
    void AttachDataSet(TLumDataSet& dataSet) { attached_.push_back(&dataSet); }
    void DetachDataSet(TLumDataSet& dataSet);
    void OpenEngineConnection(const std::string& path);
    void DoConnect();
    void DoDisconnect();
    void RebindDataSets(const std::string& oldName);
    // Connect step: the stored application id sent; a failure disconnects.
    void SendApplicationIDAfterConnect();
    // Closes the statements of a connection that is going; the engine
    // releases them with the connection, so a failure is of no consequence.
    void ForgetCachedStatements() noexcept;

    // A statement kept open for reuse, found by the hash of its text first.
    struct TStmtInfo {
        std::size_t Hash = 0;
        LUMHANDLE Handle = 0;
        std::string SQL;
        // How the statement was set up; a reuse needs the same.
        bool ReadOnly = false;
        std::optional<TLumDatasetOptions> Options;
    };
    std::uint32_t RunSQL(const std::string& sql, const TLumDatasetOptions* options, const TParams* params,
                         TLumSQLCursor* cursor, bool keep);
    const TStmtInfo* FindCachedStatement(const std::string& sql, bool readOnly,
                                         const TLumDatasetOptions* options) const;
    LUMHANDLE NewStatement(const std::string& sql, bool readOnly, const TLumDatasetOptions* options);
    // The listing of GetTableNames and GetTableNamesEx.
    TLumTableNames ListTables(const std::string& mask, bool withFiles);
    std::string TableSearchMask(const std::string& mask) const;

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
    std::string applicationID_;

    std::vector<TStmtInfo> statementCache_;
    std::unique_ptr<std::vector<std::string>> groups_;
    std::string groupsText_;
    bool groupsRead_ = false;
};

}  // namespace lum
