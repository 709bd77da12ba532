#pragma once
// TLumTable: a dataset over one table, opened by its dictionary name or as a
// file of the working folder, in the order of one of its indexes.
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "data/lum/extended_dataset.h"
#include "data/lum/params.h"

namespace lum {

enum class TIndexCollationMismatchOptions : std::uint8_t { icmError, icmIgnore, icmReindex };

class TLumTable : public TLumExtendedTable {
public:
    explicit TLumTable(fw::TComponent* owner = nullptr);
    ~TLumTable() override;

    std::string TableName() const override { return tableName_; }
    // Refused while open. Unless the component is being read, a name other
    // than the current one (letter case ignored) empties IndexFiles. Reads
    // the dictionary's default index for the table; the field and index
    // definitions are out of date (not while being read: stored definitions
    // describe the stored table).
    void SetTableName(const std::string& name);
    bool Exclusive() const { return exclusive_; }
    void SetExclusive(bool value);
    bool ReadOnly() const { return readOnly_; }
    void SetReadOnly(bool value);
    TIndexCollationMismatchOptions IndexCollationMismatch() const { return collationMismatch_; }
    void SetIndexCollationMismatch(TIndexCollationMismatchOptions value);
    const std::string& EncryptionPassword() const { return encryptionPassword_; }
    void SetEncryptionPassword(const std::string& value) { encryptionPassword_ = value; }
    // Whether field and index definitions are stored with the component; it
    // becomes true when they are changed from outside.
    bool StoreDefs() const { return storeDefs_; }
    void SetStoreDefs(bool value) { storeDefs_ = value; }
    // The field and index definitions as the component stores them: none
    // unless StoreDefs is true, and an empty collection is not stored.
    std::vector<std::pair<std::string, fw::PropertyValue>> StoredDefs() const;
    // Stored with the component; nothing in the layer reads it.
    const std::string& InfoExpression() const { return infoExpression_; }
    void SetInfoExpression(const std::string& value) { infoExpression_ = value; }

    // Property 213 of the data dictionary names the table's default index.
    void ReadDefaultIndex() override;

    // What a data-provider component asks (the tool asks none of it).
    // TableName less a four-character extension (".LDT").
    std::string PSGetTableName() const;
    // The fields of the first unique index whose fields all exist, ";"-joined.
    std::string PSGetKeyFields();
    // A text that is not empty becomes TableName.
    void PSSetCommandText(const std::string& text);
    // The current index (by IndexName, else IndexFieldNames), else the first
    // primary index, else the first unique index whose fields all exist.
    std::optional<fw::TIndexDef> PSGetDefaultOrder();
    // The index definitions with any of these options (all for 0).
    fw::TIndexDefs PSGetIndexDefs(std::uint8_t options = 0);
    // With parameters: opens the table and applies a range whose start and
    // end take their values (by name, or by position for unnamed ones);
    // without: an open table's range is removed.
    void PSSetParams(const TParams& params);
    // The master's MasterFields paired with the fields of the current index.
    std::vector<std::pair<fw::TField*, fw::TField*>> GetDetailLinkFields();

    // Renames the table through its dictionary connection: the table file
    // and the dictionary entry (table_rename.cpp); TableName follows. Refused
    // on a free table with "The method RenameTable in TLumDataSet is not
    // supported on free tables.", while open with "Cannot perform this
    // operation on an open dataset"; the engine refuses a table open elsewhere.
    void RenameTable(const std::string& newName);

    // Stored properties: the common ones and "TableName", "TableType",
    // "Exclusive", "ReadOnly", "StoreDefs", "EncryptionPassword",
    // "IndexCollationMismatch", "InfoExpression", "IndexFiles" (the list of
    // names) and the definitions "FieldDefs[i].<property>" and
    // "IndexDefs[i].<property>" (see stored_defs.h).
    void SetStoredProperty(const std::string& path, const fw::PropertyValue& value) override;

protected:
    bool ComponentReadOnly() const override { return readOnly_; }
    LUMHANDLE AcquireCursorHandle() override;
    void CursorOpenedExclusively() override { exclusive_ = true; }
    // On a dictionary connection, the default value the dictionary keeps
    // for the column; free tables have none.
    std::optional<std::string> ColumnDefault(const TLCEFieldDef& column) override;
    // A change from outside, not while being read, asks for the definitions to be stored.
    void DefChanged() override;

private:
    // The definition of the index in use, none in natural order.
    const fw::TIndexDef* CurrentIndexDef();
    // Whether every ";"-joined field of the list is a field of the dataset.
    bool FieldsExist(const std::string& fields) const;

    std::string tableName_;
    bool exclusive_ = false;
    bool readOnly_ = false;
    TIndexCollationMismatchOptions collationMismatch_ = TIndexCollationMismatchOptions::icmError;
    std::string encryptionPassword_;
    bool storeDefs_ = false;
    std::string infoExpression_;
};

}  // namespace lum
