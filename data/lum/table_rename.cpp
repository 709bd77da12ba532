// Renaming a table of a data dictionary: the engine renames the file and the
// dictionary entry; a free table has no entry to rename.
#include "data/lum/connection.h"
#include "data/lum/table.h"

namespace lum {

void TLumTable::RenameTable(const std::string& newName) {
    const TLumConnection* connection = LumConnection();
    if (connection == nullptr || !connection->IsDictionaryConnection())
        RaiseLayerError(this, "The method RenameTable in TLumDataSet is not supported on free tables.");
    CheckInactive();
    if (tableName_.empty()) RaiseLayerError(this, "Missing TableName property");
    const LUMHANDLE handle = AcquireConnectionHandle();
    Check(Engine().LumRenameTable(handle, tableName_.c_str(), newName.c_str()));
    SetTableName(newName);
}

}  // namespace lum
