// TLumConnection: statements run on the connection's behalf (ExecuteSQL and
// its cache of prepared statements) and the application id they carry to
// the server.
#include <algorithm>
#include <functional>
#include <utility>

#include "data/lum/connection.h"
#include "data/lum/errors.h"
#include "data/lum/statement_binding.h"
#include "framework/text_compare.h"

namespace lum {

namespace {

// The longest application id read back from the server.
constexpr std::size_t MaxApplicationIDLength = 300;

// Texts compare without regard to case, so their hash ignores it too.
std::size_t TextHash(const std::string& sql) { return std::hash<std::string>{}(fw::AsciiUpperCase(sql)); }

// A statement closed when it goes, unless handed over to the cache.
class OwnedStatement {
public:
    OwnedStatement(const LumFunctions& engine, LUMHANDLE handle) : engine_(engine), handle_(handle) {}
    OwnedStatement(const OwnedStatement&) = delete;
    OwnedStatement& operator=(const OwnedStatement&) = delete;
    ~OwnedStatement() {
        // On the way out of a failure: the failure is what the caller hears of.
        if (handle_ != 0) engine_.LumCloseSQLStatement(handle_);
    }
    LUMHANDLE Release() { return std::exchange(handle_, 0); }

private:
    const LumFunctions& engine_;
    LUMHANDLE handle_;
};

bool HasParams(const TParams* params) { return params != nullptr && params->Count() != 0; }

bool SameOptions(const std::optional<TLumDatasetOptions>& kept, const TLumDatasetOptions* asked) {
    if (asked == nullptr || !kept) return asked == nullptr && !kept;
    return kept->LockType == asked->LockType && kept->CharType == asked->CharType &&
           kept->RightsMode == asked->RightsMode && kept->TableType == asked->TableType &&
           kept->Collation == asked->Collation;
}

}  // namespace

TLumSQLCursor::TLumSQLCursor(TLumSQLCursor&& other) noexcept
    : engine_(other.engine_), handle_(std::exchange(other.handle_, 0)) {}

TLumSQLCursor& TLumSQLCursor::operator=(TLumSQLCursor&& other) noexcept {
    if (this != &other) {
        if (handle_ != 0) engine_->LumCloseTable(handle_);
        engine_ = other.engine_;
        handle_ = std::exchange(other.handle_, 0);
    }
    return *this;
}

TLumSQLCursor::~TLumSQLCursor() {
    // A destructor cannot report; the connection releases the cursor in the end.
    if (handle_ != 0) engine_->LumCloseTable(handle_);
}

void TLumSQLCursor::Close() {
    if (handle_ == 0) return;
    CheckLCEResult(*engine_, nullptr, engine_->LumCloseTable(std::exchange(handle_, 0)));
}

std::uint32_t TLumConnection::ExecuteSQL(const std::string& sql, const TParams* params, TLumSQLCursor* cursor,
                                         bool keep) {
    return RunSQL(sql, nullptr, params, cursor, keep);
}

std::uint32_t TLumConnection::ExecuteSQLWithOptions(const std::string& sql, const TLumDatasetOptions& options,
                                                    const TParams* params, TLumSQLCursor* cursor, bool keep) {
    return RunSQL(sql, &options, params, cursor, keep);
}

const TLumConnection::TStmtInfo* TLumConnection::FindCachedStatement(const std::string& sql, bool readOnly,
                                                                     const TLumDatasetOptions* options) const {
    const std::size_t hash = TextHash(sql);
    for (const TStmtInfo& info : statementCache_) {
        if (info.Hash != hash || !fw::SameText(info.SQL, sql)) continue;
        if (info.ReadOnly == readOnly && SameOptions(info.Options, options)) return &info;
    }
    return nullptr;
}

LUMHANDLE TLumConnection::NewStatement(const std::string& sql, bool readOnly, const TLumDatasetOptions* options) {
    const LumFunctions& engine = *engine_;
    const auto check = [&](UNSIGNED32 result) { CheckLCEResult(engine, nullptr, result); };
    LUMHANDLE handle = 0;
    check(engine.LumCreateSQLStatement(handle_, &handle));
    OwnedStatement statement(engine, handle);
    if (readOnly) check(engine.LumStmtSetTableReadOnly(handle, 1));
    if (!collation_.empty()) check(engine.LumStmtSetTableCollation(handle, collation_.c_str()));
    if (options != nullptr) {
        check(engine.LumStmtSetTableLockType(handle, options->LockType));
        check(engine.LumStmtSetTableCharType(handle, options->CharType));
        check(engine.LumStmtSetTableRights(handle, options->RightsMode));
        check(engine.LumStmtSetTableType(handle, options->TableType));
        if (!options->Collation.empty()) check(engine.LumStmtSetTableCollation(handle, options->Collation.c_str()));
    }
    check(engine.LumPrepareSQL(handle, sql.c_str()));
    return statement.Release();
}

std::uint32_t TLumConnection::RunSQL(const std::string& sql, const TLumDatasetOptions* options, const TParams* params,
                                     TLumSQLCursor* cursor, bool keep) {
    if (!connected_) SetIsConnected(true);
    const LumFunctions& engine = *engine_;
    const auto check = [&](UNSIGNED32 result) { CheckLCEResult(engine, nullptr, result); };
    const bool readOnly = cursor != nullptr;
    const TStmtInfo* cached = keep ? FindCachedStatement(sql, readOnly, options) : nullptr;
    LUMHANDLE statement = cached != nullptr ? cached->Handle : NewStatement(sql, readOnly, options);
    // A statement not kept is closed whatever happens below.
    std::optional<OwnedStatement> owned;
    if (cached == nullptr && keep) {
        TStmtInfo info{TextHash(sql), statement, sql, readOnly, std::nullopt};
        if (options != nullptr) info.Options = *options;
        statementCache_.push_back(std::move(info));
    } else if (!keep) {
        owned.emplace(engine, statement);
    }
    LUMHANDLE cursorHandle = 0;
    if (HasParams(params)) {
        for (std::size_t i = 0; i < params->Count(); ++i)
            BindStatementParam(engine, nullptr, statement, params->Items(i), static_cast<std::uint16_t>(i + 1));
        check(engine.LumExecuteSQL(statement, &cursorHandle));
    } else {
        check(engine.LumExecuteSQLDirect(statement, sql.c_str(), &cursorHandle));
    }
    TLumSQLCursor result(engine, cursorHandle);
    UNSIGNED32 count = 0;
    const UNSIGNED32 rc = engine.LumGetRecordCount(statement, 2, &count);
    if (rc == LUM_ERR_NO_ROW_COUNT) {
        count = 0;
    } else {
        check(rc);
    }
    if (cursor != nullptr) {
        *cursor = std::move(result);
    } else {
        result.Close();
    }
    if (owned) check(engine.LumCloseSQLStatement(owned->Release()));
    return count;
}

void TLumConnection::CloseCachedStatements() {
    std::vector<TStmtInfo> cache = std::move(statementCache_);
    statementCache_.clear();
    std::optional<ELUMDatabaseError> failure;
    for (const TStmtInfo& info : cache) {
        const UNSIGNED32 rc = engine_->LumCloseSQLStatement(info.Handle);
        if (rc == 0 || failure) continue;
        try {
            CheckLCEResult(*engine_, nullptr, rc);
        } catch (const ELUMDatabaseError& e) {
            failure.emplace(e);
        }
    }
    if (failure) throw *failure;
}

void TLumConnection::ForgetCachedStatements() noexcept {
    for (const TStmtInfo& info : statementCache_) engine_->LumCloseSQLStatement(info.Handle);
    statementCache_.clear();
}

void TLumConnection::SetApplicationID(const std::string& id) {
    if (id != applicationID_) ApplyApplicationID(id);
}

void TLumConnection::ApplyApplicationID(std::string id) {
    // Taken by value: the connect step passes the stored id itself.
    std::string previous = std::exchange(applicationID_, id);
    if (!connected_) return;
    try {
        TParams params;
        params.Add("FAppID").SetAsString(id);
        ExecuteSQL("execute procedure sp_setapplicationid(:FAppID)", &params);
    } catch (...) {
        applicationID_ = std::move(previous);
        throw;
    }
}

std::string TLumConnection::ReadServerApplicationID() {
    if (!connected_) return applicationID_;
    TLumSQLCursor cursor;
    ExecuteSQL("execute procedure sp_getapplicationid( )", nullptr, &cursor);
    if (!cursor) return {};
    const LumFunctions& engine = *engine_;
    CheckLCEResult(engine, nullptr, engine.LumGotoTop(cursor.Handle()));
    char buffer[MaxApplicationIDLength + 1] = {};
    UNSIGNED32 length = sizeof buffer;
    CheckLCEResult(
        engine, nullptr,
        engine.LumGetField(cursor.Handle(), "ApplicationID", reinterpret_cast<UNSIGNED8*>(buffer), &length, 0));
    std::string id(buffer, std::min<std::size_t>(length, MaxApplicationIDLength));
    // A character column pads the id with blanks.
    id.erase(id.find_last_not_of(' ') + 1);
    cursor.Close();
    return id;
}

}  // namespace lum
