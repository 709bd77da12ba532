#pragma once
// TLumQuery: a dataset over the result of one SQL statement. It owns the
// statement text and the engine statement, which it keeps across closing and
// reopening; the rows, fields and counts are the common dataset's work.
#include <cstdint>
#include <string>
#include <vector>

#include "data/lum/extended_dataset.h"

namespace lum {

class TLumQuery : public TLumExtendedDataSet {
public:
    explicit TLumQuery(fw::TComponent* owner = nullptr);
    ~TLumQuery() override;

    const std::vector<std::string>& SQL() const { return sql_; }
    // A different text closes the query and drops its preparation.
    void SetSQL(const std::vector<std::string>& lines);
    // The lines as the engine receives them: each followed by CR LF.
    std::string StatementText() const;

    // Runs the statement without opening the dataset.
    void ExecSQL();
    // "Cannot perform this operation on an open dataset" while open.
    void PrepareStatement();
    void UnprepareStatement();
    void FreeStatement();
    bool Prepared() const { return prepared_; }

    LUMHANDLE StatementHandle() const { return statement_; }
    std::int32_t AffectedRowCount() const { return affectedRows_; }
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
    // "ReadAllColumns", "Constrained", "SQLTimeout", "SourceTableType".
    void SetStoredProperty(const std::string& path, const fw::PropertyValue& value) override;

protected:
    LUMHANDLE AcquireCursorHandle() override;
    std::int32_t CurrentRecordNumber() override;
    void CloseEngineCursor() override;

private:
    void SqlChanged();
    void EnsureStatement();
    LUMHANDLE RunStatement();

    std::vector<std::string> sql_;
    LUMHANDLE statement_ = NoHandle;
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
