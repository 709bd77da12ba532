// TLumQuery: preparing and executing its statement through the engine, the
// result cursor, and freeing a statement the engine has lost.
#include "data/lum/query.h"

#include "data/lum/statement_binding.h"

#include <cmath>
#include <cstring>

#include "data/lum/connection.h"
#include "framework/dataset/data_source.h"
#include "framework/stored_property.h"
#include "framework/text_compare.h"

namespace lum {

namespace {

std::string Joined(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines) text += line + "\r\n";
    return text;
}

// Handle type the engine reports for a statement.
constexpr UNSIGNED16 StatementHandleType = 4;

// A stored parameter value as the variant it was written from: the kind of
// the stored value, or of the parameter's type where that kind cannot be
// stored as such (date-times as numbers, exact numbers as text).
fw::Variant StoredParamValue(fw::TFieldType type, const fw::PropertyValue& value, const std::string& path) {
    using fw::TFieldType;
    fw::Variant stored;
    if (const auto* b = std::get_if<bool>(&value)) {
        stored = *b;
    } else if (const auto* i = std::get_if<long long>(&value)) {
        stored = static_cast<std::int64_t>(*i);
    } else if (const auto* d = std::get_if<double>(&value)) {
        stored = *d;
    } else {
        stored = fw::Stored<std::string>(value, path);
    }
    const bool dateTime = type == TFieldType::ftDate || type == TFieldType::ftTime || type == TFieldType::ftDateTime ||
                          type == TFieldType::ftTimeStamp;
    if (dateTime && stored.Type() == fw::VarType::String) fw::RaiseInvalidPropertyValue(path);
    try {
        if (dateTime) return fw::Variant::FromDateTime(stored.AsDouble());
        if (type == TFieldType::ftCurrency) return stored.AsCurrency();
        if (type == TFieldType::ftBCD || type == TFieldType::ftFMTBcd) return stored.AsDecimal();
    } catch (const fw::Exception&) {
        fw::RaiseInvalidPropertyValue(path);  // no number, or one beyond the type's range
    }
    return stored;
}

// A parameter value in a form the stored description holds; none for null.
std::optional<fw::PropertyValue> StorableValue(const fw::Variant& value) {
    switch (value.Type()) {
        case fw::VarType::Boolean: return fw::PropertyValue(value.AsBoolean());
        case fw::VarType::Integer: return fw::PropertyValue(static_cast<long long>(value.AsInteger()));
        case fw::VarType::Double:
        case fw::VarType::DateTime: return fw::PropertyValue(value.AsDouble());
        case fw::VarType::Currency:
        case fw::VarType::Decimal: return fw::PropertyValue(value.AsDecimal().ToString('.'));
        case fw::VarType::String: return fw::PropertyValue(value.AsString());
        default: return std::nullopt;
    }
}

}  // namespace

TLumQuery::TLumQuery(fw::TComponent* owner)
    : TLumExtendedDataSet(owner), dataLink_(std::make_unique<TLumQueryDataLink>(*this)) {}

TLumQuery::~TLumQuery() {
    const bool connectionAlive = LumConnection() != nullptr && LumConnection()->IsConnected();
    MarkDestroying();
    dataLink_.reset();
    storedData_.reset();
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
    storedData_.reset();
    if (paramCheck_) {
        TParams parsed;
        parsed.ParseText(text);
        parsed.AssignValues(params_);
        params_ = std::move(parsed);
    }
    MarkDefsStale();
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
    statementConnection_ = NoHandle;
    cachedConnection_ = NoHandle;
}

void TLumQuery::DropStatement() {
    if (statement_ != NoHandle) {
        const UNSIGNED32 rc = Engine().LumCloseSQLStatement(statement_);
        if (rc != LUM_ERR_STATEMENT_CLOSED) Check(rc);
    }
    statement_ = NoHandle;
    statementConnection_ = NoHandle;
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
    const TLumConnection* oldConnection = LumConnection();
    if (Active()) RaiseLayerError(this, "Cannot perform this operation on an open dataset");
    SetLumConnection(nullptr);
    TLumExtendedDataSet::SetDatabaseName(name);
    // A statement belongs to the connection it was made on: another binding
    // needs another statement, and the old one is released on its connection.
    if (name != old || LumConnection() != oldConnection) {
        DropStatement();
        MarkDefsStale();
    }
}

std::uint32_t TLumQuery::LastAutoinc() {
    if (statement_ == NoHandle) return 0;
    UNSIGNED32 value = 0;
    Check(Engine().LumGetLastAutoinc(statement_, &value));
    return value;
}

void TLumQuery::ConnectionClosed() {
    // The engine released the statement with its connection.
    prepared_ = false;
    statement_ = NoHandle;
    statementConnection_ = NoHandle;
    cachedConnection_ = NoHandle;
}

fw::TDataSource* TLumQuery::DataSource() const {
    fw::TDataSource* source = dataLink_ != nullptr ? dataLink_->DataSource() : nullptr;
    return source != nullptr ? source : MasterSource();
}

void TLumQuery::SetDataSource(fw::TDataSource* source) {
    if (MasterChainReaches(source, *this)) RaiseLayerError(this, "Circular Data Link");
    if (dataLink_->DataSource() != nullptr) RemoveFreeNotification(*dataLink_->DataSource());
    dataLink_->SetDataSource(source);
    if (source != nullptr) FreeNotification(*source);
}

void TLumQuery::Notification(fw::TComponent& component, fw::Operation operation) {
    TLumExtendedDataSet::Notification(component, operation);
    if (operation == fw::Operation::Remove && dataLink_ != nullptr && dataLink_->DataSource() == &component) {
        dataLink_->SetDataSource(nullptr);
    }
}

void TLumQuery::CopyMasterParams() {
    const fw::TDataSet* master = dataLink_->DataSet();
    if (master == nullptr) return;
    for (std::size_t i = 0; i < params_.Count(); ++i) {
        TParam& param = params_.Items(i);
        if (!param.Bound()) param.AssignField(master->FieldNamed(param.Name()));
    }
}

void TLumQuery::EnsureStatement() {
    if (statement_ != NoHandle) {
        UNSIGNED16 type = 0;
        const bool isStatement = Engine().LumGetHandleType(statement_, &type) == 0 && type == StatementHandleType;
        // A connection given since the statement was made needs a statement of its own.
        const bool sameConnection = LumConnection() == nullptr || !LumConnection()->IsConnected() ||
                                    LumConnection()->ConnectionHandle() == statementConnection_;
        if (isStatement && sameConnection) return;
        if (isStatement) DropStatement();
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
    statementConnection_ = connection;
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
    if (dataLink_->DataSource() != nullptr) CopyMasterParams();
    BindParams();
    const LUMHANDLE cursor = ExecuteStatement();
    if (cursor == 0) {
        ReadAffectedRows();
        return NoHandle;
    }
    InspectCursor(cursor);
    return cursor;
}

LUMHANDLE TLumQuery::ExecuteStatement() {
    LUMHANDLE cursor = 0;
    try {
        Check(Engine().LumExecuteSQL(statement_, &cursor));
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
    return cursor;
}

void TLumQuery::InspectCursor(LUMHANDLE cursor) {
    try {
        UNSIGNED16 live = 0;
        Check(Engine().LumSqlPeekStatement(cursor, &live));
        readOnly_ = live == 0;
        if (live == 1) ReadCharType(cursor);
        ReadAffectedRows();
    } catch (...) {
        Engine().LumCloseTable(cursor);  // the failure that brought us here is the one reported
        throw;
    }
}

void TLumQuery::ReadAffectedRows() {
    UNSIGNED32 count = 0;
    const UNSIGNED32 rc = Engine().LumGetRecordCount(statement_, 2, &count);
    if (rc == LUM_ERR_NO_ROW_COUNT) {
        affectedRows_ = -1;
    } else {
        Check(rc);
        affectedRows_ = static_cast<std::int32_t>(count);
    }
}

void TLumQuery::BindParams() {
    for (std::size_t i = 0; i < params_.Count(); ++i) BindParam(params_.Items(i), static_cast<std::uint16_t>(i + 1));
}

void TLumQuery::BindParam(const TParam& param, std::uint16_t ordinal) {
    BindStatementParam(Engine(), this, statement_, param, ordinal);
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
        OpenIndexFiles(cursor);
    } catch (...) {
        Engine().LumCloseTable(cursor);
        throw;
    }
    SetEngineTableType(type);
    return cursor;
}

void TLumQuery::OpenIndexFiles(LUMHANDLE cursor) {
    if (IndexFiles().empty()) return;
    const std::string folder = ResolveDatabasePath();
    for (const std::string& file : IndexFiles()) {
        const std::string path = folder + "\\" + file;
        std::vector<LUMHANDLE> handles(256);
        UNSIGNED16 count = static_cast<UNSIGNED16>(handles.size());
        Check(Engine().LumOpenIndex(cursor, path.c_str(), handles.data(), &count));
    }
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
    if (path == "ParamCheck") return SetParamCheck(fw::Stored<bool>(value, path));
    if (path == "DataSource") {
        fw::TComponent* component = fw::Stored<fw::TComponent*>(value, path);
        auto* source = dynamic_cast<fw::TDataSource*>(component);
        if (component != nullptr && source == nullptr) fw::RaiseInvalidPropertyValue(path);
        return SetDataSource(source);
    }
    if (path == "Data") {
        const std::string& data = fw::Stored<std::string>(value, path);
        if (data.size() > MaxStoredDataBytes) fw::RaiseInvalidPropertyValue(path);
        storedData_ = data;
        return;
    }
    if (path == "WaitCursor") {
        // Written by older versions; the value is of no use any more.
        if (!std::holds_alternative<fw::Ident>(value) && !std::holds_alternative<long long>(value)) {
            fw::RaiseInvalidPropertyValue(path);
        }
        return;
    }
    if (path == "ParamData" || path.rfind("ParamData.", 0) == 0) return SetParamDataProperty(path, value);
    throw fw::EConvertError(fw::Format("Unknown property: %s", {path}));
}

void TLumQuery::SetParamDataProperty(const std::string& path, const fw::PropertyValue& value) {
    if (path == "ParamData") {
        const auto& names = fw::Stored<std::vector<std::string>>(value, path);
        if (names.size() > MaxParams) fw::RaiseInvalidPropertyValue(path);
        params_.Clear();
        for (const std::string& name : names) params_.Add(name);
        return;
    }
    // "ParamData.<index or name>.<property>"
    const std::size_t dot = path.find('.', 10);
    if (dot == std::string::npos) fw::RaiseInvalidPropertyValue(path);
    const std::string item = path.substr(10, dot - 10);
    const std::string property = path.substr(dot + 1);
    TParam* param = nullptr;
    if (!item.empty() && item.find_first_not_of("0123456789") == std::string::npos && item.size() < 6) {
        const std::size_t index = std::stoul(item);
        if (index < params_.Count()) param = &params_.Items(index);
    } else {
        param = params_.FindParam(item);
    }
    if (param == nullptr) fw::RaiseInvalidPropertyValue(path);
    if (property == "DataType") {
        std::vector<const char*> names;
        for (int t = 0; t <= static_cast<int>(fw::TFieldType::ftFMTBcd); ++t)
            names.push_back(fw::FieldTypeName(static_cast<fw::TFieldType>(t)));
        param->SetDataType(fw::EnumOf<fw::TFieldType>(value, names, path));
    } else if (property == "Value") {
        param->SetValue(StoredParamValue(param->DataType(), value, path));
    } else if (property == "ParamType") {
        fw::Stored<fw::Ident>(value, path);  // input or output: every parameter here is an input
    } else {
        throw fw::EConvertError(fw::Format("Unknown property: %s", {path}));
    }
}

void TLumQuery::WriteStoredProperties(fw::TWriter& writer) const {
    if (params_.Count() > MaxParams) {
        throw fw::EConvertError(fw::Format("Stored properties too large: %s", {"ParamData"}));
    }
    if (storedData_) writer.Write("Data", *storedData_);
    std::vector<std::string> names;
    names.reserve(params_.Count());
    for (std::size_t i = 0; i < params_.Count(); ++i) names.push_back(params_.Items(i).Name());
    writer.Write("ParamData", std::move(names));
    // By index: names may repeat, and a name finds the first of them.
    for (std::size_t i = 0; i < params_.Count(); ++i) {
        const TParam& param = params_.Items(i);
        const std::string prefix = "ParamData." + std::to_string(i) + ".";
        writer.Write(prefix + "DataType", fw::Ident{fw::FieldTypeName(param.DataType())});
        // A value the parameter took from a master is not its own: a stored
        // one would count as given and stop it following the master.
        if (!param.Bound()) continue;
        if (auto stored = StorableValue(param.Value())) writer.Write(prefix + "Value", std::move(*stored));
    }
}

}  // namespace lum
