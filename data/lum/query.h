#pragma once
// TLumQuery: a dataset over the result of one SQL statement. It owns the
// statement text and the engine statement, which it keeps across closing and
// reopening; the rows, fields and counts are the common dataset's work.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "data/lum/extended_dataset.h"
#include "data/lum/params.h"
#include "data/lum/query_data_link.h"
#include "framework/writer.h"

namespace lum {

// The order a statement's ORDER BY gives, as ";"-joined field names.
struct TLumQueryOrder {
    std::string Fields;
    std::string DescFields;
};

class TLumQuery : public TLumExtendedDataSet, public fw::IWritable {
public:
    explicit TLumQuery(fw::TComponent* owner = nullptr);
    ~TLumQuery() override;

    const std::vector<std::string>& SQL() const { return sql_; }
    // A different text closes the query and drops its preparation.
    void SetSQL(const std::vector<std::string>& lines);
    // The lines as the engine receives them: each followed by CR LF.
    std::string StatementText() const;

    // The statement's parameters, rebuilt from the text when it changes and
    // ParamCheck is set; values of parameters kept by name.
    TParams& Params() { return params_; }
    const TParams& Params() const { return params_; }
    // Copies values by name into the existing parameters.
    void SetParams(const TParams& params) { params_.AssignValues(params); }
    TParam& ParamByName(const std::string& name) const { return params_.ParamByName(name); }
    bool ParamCheck() const { return paramCheck_; }
    void SetParamCheck(bool value) { paramCheck_ = value; }

    // The data source whose current record gives the values of the parameters
    // not bound by hand; the query runs again when that record changes.
    // "Circular Data Link" when the source leads back to this query.
    fw::TDataSource* DataSource() const override;
    void SetDataSource(fw::TDataSource* source);
    // Unbound parameters take the values of the master's fields of their names.
    void CopyMasterParams();

    // For data-provider components. The table is the first name after FROM,
    // qualified parts joined with "."; the order names the ORDER BY items that
    // are fields of the open query.
    std::string PSGetTableName() const;
    TLumQueryOrder PSGetDefaultOrder() const;
    TParams& PSGetParams() { return params_; }
    void PSExecute() { ExecSQL(); }
    // The text's lines, split at line feeds, become SQL.
    void PSSetCommandText(const std::string& text);
    // Assigns values by name and closes the query.
    void PSSetParams(const TParams& params);
    // Master and query fields named as each parameter.
    std::vector<std::pair<fw::TField*, fw::TField*>> GetDetailLinkFields() const;

    // The statement blob read from the stored "Data" property, if any; at most
    // MaxStoredDataBytes.
    const std::optional<std::string>& StoredData() const { return storedData_; }
    static constexpr std::size_t MaxStoredDataBytes = 1u << 20;
    // Parameters a stored description holds: the engine addresses them by a
    // 16-bit ordinal.
    static constexpr std::size_t MaxParams = 65535;

    // Runs the statement without opening the dataset.
    void ExecSQL();
    // "Cannot perform this operation on an open dataset" while open.
    void PrepareStatement();
    void UnprepareStatement();
    void FreeStatement();
    bool Prepared() const { return prepared_; }

    LUMHANDLE StatementHandle() const { return statement_; }
    std::int32_t AffectedRowCount() const { return affectedRows_; }
    // Asked of the statement, which is what inserts; 0 while there is none.
    std::uint32_t LastAutoinc() override;
    // The engine gave a static cursor: the rows cannot be changed.
    bool ReadOnly() const { return readOnly_; }

    bool RequestLive() const { return requestLive_; }
    void SetRequestLive(bool value) { requestLive_ = value; }
    bool ReadAllColumns() const { return readAllColumns_; }
    void SetReadAllColumns(bool value) { readAllColumns_ = value; }
    bool Constrained() const { return constrained_; }
    void SetConstrained(bool value) { constrained_ = value; }
    std::int32_t SQLTimeout() const { return sqlTimeout_; }
    // Sent at once when a statement is held.
    void SetSQLTimeout(std::int32_t value);
    TLumTableTypes SourceTableType() const { return TableType(); }
    // NTX only on a dictionary connection.
    void SetSourceTableType(TLumTableTypes type);
    void SetTableType(TLumTableTypes type) override { SetSourceTableType(type); }

    void SetDatabaseName(const std::string& name) override;
    void ConnectionClosed() override;

    // Stored properties: the common ones and "SQL" / "SQL.Strings", "RequestLive",
    // "ReadAllColumns", "Constrained", "SQLTimeout", "SourceTableType",
    // "ParamCheck", "DataSource", "Data" (the statement blob, as bytes),
    // "WaitCursor" (read and dropped) and "ParamData": the parameter names as
    // a list, then "ParamData.<index or name>.DataType", ".Value" and
    // ".ParamType" (read and dropped). A value is taken in the kind of the
    // parameter's data type when that is known already: a date-time type from
    // a number, a currency or fixed-point type from a number or its text.
    void SetStoredProperty(const std::string& path, const fw::PropertyValue& value) override;
    // Writes what the published properties do not carry: "Data" while a
    // statement blob is held, and always "ParamData", each parameter by its
    // index with its DataType and, when it was given a value that is not
    // null, its Value (exact numbers as text).
    void WriteStoredProperties(fw::TWriter& writer) const override;

protected:
    // A static cursor's rows cannot be changed.
    bool ComponentReadOnly() const override { return readOnly_; }
    LUMHANDLE AcquireCursorHandle() override;
    void Notification(fw::TComponent& component, fw::Operation operation) override;
    std::int32_t CurrentRecordNumber() override;
    void CloseEngineCursor() override;

private:
    void SqlChanged();
    void EnsureStatement();
    LUMHANDLE RunStatement();
    // The options, the text and the parameters, then the execution.
    LUMHANDLE ExecuteStatement();
    // Reads what the engine tells about a new cursor; closes it on a failure.
    void InspectCursor(LUMHANDLE cursor);
    void ReadAffectedRows();
    void BindParams();
    void BindParam(const TParam& param, std::uint16_t ordinal);
    void OpenIndexFiles(LUMHANDLE cursor);
    // Closes a statement whose connection may still be alive and forgets it.
    void DropStatement();
    void SetParamDataProperty(const std::string& path, const fw::PropertyValue& value);

    std::vector<std::string> sql_;
    TParams params_;
    bool paramCheck_ = true;
    std::unique_ptr<TLumQueryDataLink> dataLink_;
    std::optional<std::string> storedData_;
    LUMHANDLE statement_ = NoHandle;
    // The connection the statement was made on.
    LUMHANDLE statementConnection_ = NoHandle;
    LUMHANDLE cachedConnection_ = NoHandle;
    bool prepared_ = false;
    std::int32_t affectedRows_ = -1;
    bool readOnly_ = false;
    bool requestLive_ = false;
    bool readAllColumns_ = false;
    bool constrained_ = false;
    std::int32_t sqlTimeout_ = 0;
};

}  // namespace lum
