// TLumTable: opening a table by dictionary name or file with its options,
// default index and extra index files, its guarded settings, and its stored
// properties with the stored field and index definitions.
#include "data/lum/table.h"

#include <array>

#include <cstring>

#include "data/lum/connection.h"
#include "data/lum/stored_defs.h"
#include "framework/stored_property.h"
#include "framework/text_compare.h"

namespace lum {

TLumTable::TLumTable(fw::TComponent* owner) : TLumExtendedTable(owner) {}

TLumTable::~TLumTable() {
    MarkDestroying();
    CloseQuietly();
}

void TLumTable::SetTableName(const std::string& name) {
    if (Active()) RaiseLayerError(this, "Cannot perform this operation on an open dataset");
    // The index files of one table mean nothing to another.
    if (!Loading() && !fw::SameText(name, tableName_)) IndexFiles().Clear();
    tableName_ = name;
    ReadDefaultIndex();
    if (!Loading()) MarkDefsStale();
}

void TLumTable::DefChanged() {
    if (!Loading()) storeDefs_ = true;
}

std::vector<std::pair<std::string, fw::PropertyValue>> TLumTable::StoredDefs() const {
    if (!storeDefs_) return {};
    return StoredDefProperties(FieldDefs(), IndexDefsHeld());
}

void TLumTable::SetExclusive(bool value) {
    CheckInactive();
    exclusive_ = value;
}

void TLumTable::SetReadOnly(bool value) {
    CheckInactive();
    readOnly_ = value;
}

void TLumTable::SetIndexCollationMismatch(TIndexCollationMismatchOptions value) {
    if (Active()) RaiseLayerError(this, "Cannot perform this operation on an open dataset");
    collationMismatch_ = value;
}

void TLumTable::ReadDefaultIndex() {
    TLumConnection* connection = LumConnection();
    if (connection == nullptr || !connection->IsDictionaryConnection()) return;
    char buffer[200] = {};
    UNSIGNED16 length = sizeof buffer;
    const UNSIGNED32 rc = Engine().LumDDGetTableProperty(connection->ConnectionHandle(), tableName_.c_str(),
                                                         LUM_DD_TABLE_DEFAULT_INDEX, buffer, &length);
    if (rc == LUM_ERR_PROPERTY_NOT_SET) {
        // No default index: an earlier dictionary's default gives way to the
        // order the table asks for itself.
        if (IndexName() == "LUM_DEFAULT") ForgetDictionaryDefault();
        return;
    }
    if (rc != 0) return;
    const std::string name(buffer, strnlen(buffer, sizeof buffer));
    if (IndexName() == "LUM_DEFAULT" || (IndexName().empty() && !Loading())) SelectDictionaryDefault(name);
}

std::optional<std::string> TLumTable::ColumnDefault(const TLCEFieldDef& column) {
    TLumConnection* connection = LumConnection();
    if (connection == nullptr || !connection->IsDictionaryConnection()) return std::nullopt;
    // A default is a value a user would type: a field's width is enough.
    std::array<char, 1024> buffer{};
    UNSIGNED16 length = buffer.size();
    const UNSIGNED32 rc =
        Engine().LumDDGetFieldProperty(connection->ConnectionHandle(), tableName_.c_str(), column.ColumnName.c_str(),
                                       LUM_DD_FIELD_DEFAULT, buffer.data(), &length);
    // A table opened by its file name need not be in the dictionary.
    if (rc == LUM_ERR_PROPERTY_NOT_SET || rc == LUM_ERR_NOT_IN_DICTIONARY) return std::nullopt;
    Check(rc);
    return std::string(buffer.data(), strnlen(buffer.data(), std::min<std::size_t>(length, buffer.size())));
}

LUMHANDLE TLumTable::AcquireCursorHandle() {
    if (tableName_.empty()) RaiseLayerError(this, "Missing TableName property");
    UNSIGNED32 options = (exclusive_ ? 1u : 0u) | (readOnly_ ? 2u : 0u);
    TLumConnection* connection = LumConnection();
    if (connection != nullptr && connection->ReadOnly()) {
        options |= 2u;
        readOnly_ = true;
    }
    if (collationMismatch_ == TIndexCollationMismatchOptions::icmIgnore) options |= 0x200u;
    if (collationMismatch_ == TIndexCollationMismatchOptions::icmReindex) options |= 0x100u;
    options |= LumTableOptions().CachingOptionBits();
    const UNSIGNED16 lockType = LumTableOptions().EngineLockType();
    const UNSIGNED16 charType = LumTableOptions().EngineCharType();
    const UNSIGNED16 rights = LumTableOptions().EngineRightsMode();
    const std::string path = ResolveDatabasePath();
    if (path.empty())
        RaiseLayerError(this, "One of the DatabaseName property or the LumConnection property must have a value.");
    const LUMHANDLE connectionHandle = AcquireConnectionHandle();
    const bool dictionary = connection != nullptr && connection->IsDictionaryConnection();
    const std::string byPath = path + "\\" + tableName_;
    const std::string name = dictionary ? tableName_ : byPath;
    if (connectionHandle == 0 || connectionHandle == NoHandle)
        RaiseLayerError(this, "Internal Error: invalid connection handle.");
    const UNSIGNED16 tableType = dictionary ? 0 : OpenTableType();
    const std::string collation = CollationName();
    LUMHANDLE table = 0;
    UNSIGNED32 rc = Engine().LumOpenTable90(connectionHandle, name.c_str(), nullptr, tableType, charType, lockType,
                                            rights, options, collation.c_str(), &table);
    if (rc == LUM_ERR_NOT_IN_DICTIONARY && dictionary) {
        rc = Engine().LumOpenTable90(connectionHandle, byPath.c_str(), nullptr, OpenTableType(), charType, lockType,
                                     rights, options, collation.c_str(), &table);
    }
    Check(rc);
    try {
        UNSIGNED16 type = 0;
        Check(Engine().LumGetTableType(table, &type));
        SetEngineTableType(type);
        if (dictionary) {
            UNSIGNED16 openType = 0;
            Check(Engine().LumGetTableType(table, &openType));
            SetOpenTableType(openType);
            TLumExtendedTable::SetTableType(TableTypeOfCode(openType));
        }
        ReadCharType(table);
        if (!encryptionPassword_.empty()) {
            UNSIGNED16 encrypted = 0, enabled = 0;
            Check(Engine().LumIsTableEncrypted(table, &encrypted));
            Check(Engine().LumIsEncryptionEnabled(table, &enabled));
            if (encrypted == 1 && enabled != 1) Check(Engine().LumEnableEncryption(table, encryptionPassword_.c_str()));
        }
        // The extra index files, in list order, from the database folder.
        for (const std::string& file : IndexFiles()) {
            std::vector<LUMHANDLE> handles(256);
            UNSIGNED16 count = static_cast<UNSIGNED16>(handles.size());
            const std::string indexPath = path + "\\" + file;
            Check(Engine().LumOpenIndex(table, indexPath.c_str(), handles.data(), &count));
        }
    } catch (...) {
        // The table is not kept when its set-up fails.
        Engine().LumCloseTable(table);
        throw;
    }
    return table;
}

void TLumTable::SetStoredProperty(const std::string& path, const fw::PropertyValue& value) {
    if (SetCommonStoredProperty(path, value)) return;
    if (path == "TableName") return SetTableName(fw::Stored<std::string>(value, path));
    if (path == "Exclusive") return SetExclusive(fw::Stored<bool>(value, path));
    if (path == "ReadOnly") return SetReadOnly(fw::Stored<bool>(value, path));
    if (path == "StoreDefs") return SetStoreDefs(fw::Stored<bool>(value, path));
    if (path == "EncryptionPassword") return SetEncryptionPassword(fw::Stored<std::string>(value, path));
    if (path == "InfoExpression") return SetInfoExpression(fw::Stored<std::string>(value, path));
    if (path == "IndexFiles.Strings") return SetIndexFiles(fw::Stored<std::vector<std::string>>(value, path));
    if (IsFieldDefPath(path)) return SetStoredFieldDef(GivenFieldDefs(), path, value);
    if (IsIndexDefPath(path)) return SetStoredIndexDef(GivenIndexDefs(), path, value);
    if (path == "TableType") {
        return SetTableType(fw::EnumOf<TLumTableTypes>(value, kTableTypeNames, path));
    }
    if (path == "IndexCollationMismatch") {
        static constexpr const char* kNames[] = {"icmError", "icmIgnore", "icmReindex"};
        return SetIndexCollationMismatch(fw::EnumOf<TIndexCollationMismatchOptions>(value, kNames, path));
    }
    throw fw::EConvertError(fw::Format("Unknown property: %s", {path}));
}

}  // namespace lum
