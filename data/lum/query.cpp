// TLumQuery: preparing and executing its statement through the engine, the
// result cursor, and freeing a statement the engine has lost.
#include "data/lum/query.h"

#include "data/lum/connection.h"
#include "framework/stored_property.h"

namespace lum {

namespace {

std::string Joined(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines) text += line + "\r\n";
    return text;
}

}  // namespace

TLumQuery::TLumQuery(fw::TComponent* owner) : TLumExtendedDataSet(owner) {}

TLumQuery::~TLumQuery() {
    const bool connectionAlive = LumConnection() != nullptr && LumConnection()->IsConnected();
    MarkDestroying();
    CloseQuietly();
    if (statement_ != NoHandle && ((cachedConnection_ != 0 && cachedConnection_ != NoHandle) || connectionAlive)) {
        Engine().LumCloseSQLStatement(statement_);  // an already closed statement is fine
    }
    statement_ = NoHandle;
}

std::string TLumQuery::StatementText() const { return Joined(sql_); }

void TLumQuery::SetSQL(const std::vector<std::string>& lines) {
    if (Joined(lines) == StatementText()) return;
    Close();
    UnprepareStatement();
    sql_ = lines;
    SqlChanged();
}

void TLumQuery::SqlChanged() {
    const std::string text = StatementText();
    Check(Engine().LumGetSQLStmtParams(text.c_str(), nullptr, nullptr));
    if (Loading()) return;
    Close();
    UnprepareStatement();
}

void TLumQuery::PrepareStatement() {
    if (CursorIsOpen()) RaiseLayerError(this, "Cannot perform this operation on an open dataset");
    affectedRows_ = -1;
    prepared_ = true;
}

void TLumQuery::UnprepareStatement() {
    if (CursorIsOpen()) RaiseLayerError(this, "Cannot perform this operation on an open dataset");
    prepared_ = false;
}

void TLumQuery::FreeStatement() {
    if (CursorIsOpen()) RaiseLayerError(this, "Cannot perform this operation on an open dataset");
    if (statement_ != NoHandle) {
        const UNSIGNED32 rc = Engine().LumCloseSQLStatement(statement_);
        if (rc != LUM_ERR_STATEMENT_CLOSED) Check(rc);
    }
    statement_ = NoHandle;
    cachedConnection_ = NoHandle;
}

void TLumQuery::SetSQLTimeout(std::int32_t value) {
    sqlTimeout_ = value;
    if (statement_ != NoHandle) Check(Engine().LumSetSQLTimeout(statement_, static_cast<UNSIGNED32>(value)));
}

void TLumQuery::SetSourceTableType(TLumTableTypes type) {
    if (type == TLumTableTypes::ttLumNTX &&
        (LumConnection() == nullptr || !LumConnection()->IsDictionaryConnection())) {
        RaiseLayerError(this, "The TLumQuery component does not support the NTX table type");
    }
    TLumExtendedDataSet::SetTableType(type);
}

void TLumQuery::SetDatabaseName(const std::string& name) {
    const std::string old = DatabaseName();
    if (Active()) RaiseLayerError(this, "Cannot perform this operation on an open dataset");
    SetLumConnection(nullptr);
    TLumExtendedDataSet::SetDatabaseName(name);
    if (name != old && cachedConnection_ != NoHandle) {
        if (statement_ != NoHandle) Check(Engine().LumCloseSQLStatement(statement_));
        statement_ = NoHandle;
        cachedConnection_ = NoHandle;
    }
}

void TLumQuery::ConnectionClosed() {
    // The engine released the statement with its connection.
    prepared_ = false;
    statement_ = NoHandle;
    cachedConnection_ = NoHandle;
}

void TLumQuery::EnsureStatement() {
    if (statement_ != NoHandle) {
        UNSIGNED16 type = 0;
        if (Engine().LumGetHandleType(statement_, &type) == 0 && type == 4) return;
    }
    statement_ = NoHandle;
    if (DatabaseName().empty() && LumConnection() == nullptr) {
        RaiseLayerError(this, "The DatabaseName property has not been assigned a value.");
    }
    LUMHANDLE connection = 0;
    if (LumConnection() != nullptr) {
        connection = AcquireConnectionHandle();
    } else if (cachedConnection_ == NoHandle) {
        connection = AcquireConnectionHandle();
        cachedConnection_ = connection;
    }
    if (connection == 0 || connection == NoHandle) RaiseLayerError(this, "Internal Error: invalid connection handle.");
    LUMHANDLE statement = 0;
    Check(Engine().LumCreateSQLStatement(connection, &statement));
    statement_ = statement;
    if (sqlTimeout_ != 0) Check(Engine().LumSetSQLTimeout(statement_, static_cast<UNSIGNED32>(sqlTimeout_)));
}

LUMHANDLE TLumQuery::RunStatement() {
    if (Active()) throw fw::EDatabaseError(Prefixed("Cannot perform this operation on an open dataset"));
    EnsureStatement();
    const LumFunctions& engine = Engine();
    Check(engine.LumStmtSetTableLockType(statement_, LumTableOptions().EngineLockType()));
    Check(engine.LumStmtSetTableCollation(statement_, CollationName().c_str()));
    Check(engine.LumStmtSetTableRights(statement_, LumTableOptions().EngineRightsMode()));
    Check(engine.LumStmtSetTableReadOnly(statement_, requestLive_ ? 2 : 1));
    if (LumConnection() != nullptr && LumConnection()->ReadOnly()) Check(engine.LumStmtSetTableReadOnly(statement_, 1));
    Check(engine.LumStmtSetTableType(statement_, StatementTableTypeCode(SourceTableType())));
    Check(engine.LumStmtConstrainUpdates(statement_, constrained_ ? 1 : 2));
    Check(engine.LumStmtReadAllColumns(statement_, readAllColumns_ ? 1 : 2));
    PrepareStatement();
    const std::string text = StatementText();
    Check(engine.LumPrepareSQL(statement_, text.c_str()));
    LUMHANDLE cursor = 0;
    try {
        Check(engine.LumExecuteSQL(statement_, &cursor));
    } catch (const ELUMDatabaseError& e) {
        // A lost statement, reported as the engine's code or as the native
        // code of an SQL error, is unusable: it is freed before the failure
        // travels on.
        if (e.EngineErrorCode == LUM_ERR_STATEMENT_LOST || e.NativeErrorCode == LUM_ERR_STATEMENT_LOST) {
            try {
                FreeStatement();
            } catch (...) {}
        }
        throw;
    }
    LUMHANDLE result = NoHandle;
    if (cursor != 0) {
        UNSIGNED16 live = 0;
        Check(engine.LumSqlPeekStatement(cursor, &live));
        readOnly_ = live == 0;
        if (live == 1) ReadCharType(cursor);
        result = cursor;
    }
    UNSIGNED32 count = 0;
    const UNSIGNED32 rc = engine.LumGetRecordCount(statement_, 2, &count);
    if (rc == LUM_ERR_NO_ROW_COUNT) {
        affectedRows_ = -1;
    } else {
        Check(rc);
        affectedRows_ = static_cast<std::int32_t>(count);
    }
    return result;
}

LUMHANDLE TLumQuery::AcquireCursorHandle() {
    const LUMHANDLE cursor = RunStatement();
    if (cursor == NoHandle) {
        RaiseLayerError(this,
                        "The SQL statement did not generate a cursor handle.  Use TLumQuery.ExecSQL to execute "
                        "SQL statements that are not SELECT statements");
    }
    UNSIGNED16 type = 0;
    try {
        Check(Engine().LumGetTableType(cursor, &type));
    } catch (...) {
        Engine().LumCloseTable(cursor);
        throw;
    }
    SetEngineTableType(type);
    return cursor;
}

void TLumQuery::ExecSQL() {
    const LUMHANDLE cursor = RunStatement();
    if (cursor != NoHandle) Check(Engine().LumCloseTable(cursor));
}

void TLumQuery::CloseEngineCursor() {
    TLumExtendedDataSet::CloseEngineCursor();
    prepared_ = false;
}

std::int32_t TLumQuery::CurrentRecordNumber() {
    LUMHANDLE index = ActiveHandle();
    if (IndexName().empty() && IndexFieldNames().empty()) {
        index = 0;
        Check(Engine().LumGetIndexHandle(CursorHandle(), nullptr, &index));
    }
    UNSIGNED32 number = 0;
    if (!Sequenced() || index == 0) {
        Check(Engine().LumGetRecordNum(CursorHandle(), 2, &number));
        return static_cast<std::int32_t>(number);
    }
    if (SequencedLevel() == TLumSequencedLevel::slExact) {
        Check(Engine().LumGetKeyNum(index, 1, &number));
        return static_cast<std::int32_t>(number);
    }
    UNSIGNED32 count = 0;
    Check(Engine().LumGetRecordCount(CursorHandle(), 2, &count));
    double position = 0;
    const UNSIGNED32 rc = Engine().LumGetRelKeyPos(index, &position);
    if (rc == LUM_ERR_NO_KEY_POSITION) {
        position = 0;
    } else {
        Check(rc);
    }
    return static_cast<std::int32_t>(static_cast<double>(count) * position);
}

void TLumQuery::SetStoredProperty(const std::string& path, const fw::PropertyValue& value) {
    if (SetCommonStoredProperty(path, value)) return;
    if (path == "SQL" || path == "SQL.Strings") return SetSQL(fw::Stored<std::vector<std::string>>(value, path));
    if (path == "RequestLive") return SetRequestLive(fw::Stored<bool>(value, path));
    if (path == "ReadAllColumns") return SetReadAllColumns(fw::Stored<bool>(value, path));
    if (path == "Constrained") return SetConstrained(fw::Stored<bool>(value, path));
    if (path == "SQLTimeout") return SetSQLTimeout(static_cast<std::int32_t>(fw::Stored<long long>(value, path)));
    if (path == "SourceTableType") {
        return SetSourceTableType(fw::EnumOf<TLumTableTypes>(value, kTableTypeNames, path));
    }
    throw fw::EConvertError(fw::Format("Unknown property: %s", {path}));
}

}  // namespace lum
