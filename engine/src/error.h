// Engine error codes, the per-thread record of the latest failure, and the
// exception used inside the engine to carry a code and its text up to the
// C boundary, where it is stored for LumGetLastError.
#pragma once

#include <cstdint>
#include <string>

#include "data/engine/lce32.h"
#include "engine/lce_builder.h"

namespace lce {

// The engine's names for the codes of data/engine/lce32.h, which holds the
// one list of codes and their meanings.
enum : std::uint32_t {
    kErrNotSupported = LUM_ERR_NOT_SUPPORTED,
    kErrBufferTooSmall = LUM_ERR_BUFFER_TOO_SMALL,
    kErrInvalidArgument = LUM_ERR_INVALID_ARGUMENT,
    kErrInvalidHandle = LUM_ERR_INVALID_HANDLE,
    kErrFieldNotFound = LUM_ERR_FIELD_NOT_FOUND,
    kErrIndexNotFound = LUM_ERR_INDEX_NOT_FOUND,
    kErrRecordNotFound = LUM_ERR_RECORD_NOT_FOUND,
    kErrConnectionGone = LUM_ERR_CONNECTION_GONE,
    kErrNoCollation = LUM_ERR_NO_COLLATION,
    kErrTableTypeMismatch = LUM_ERR_TABLE_TYPE,
    kErrLocked = LUM_ERR_LOCKED,
    kErrNeedsWriter = LUM_ERR_NEEDS_WRITER,
    kErrNoFilter = LUM_ERR_NO_FILTER,
    kErrNoScope = LUM_ERR_NO_SCOPE,
    kErrNoKeyPosition = LUM_ERR_NO_KEY_POSITION,
    kErrCallerText = LUM_ERR_CALLER_TEXT,
    kErrEndOfTables = LUM_ERR_END_OF_TABLES,
    kErrReadOnly = LUM_ERR_READ_ONLY,
    kErrNoCurrentRecord = LUM_ERR_NO_CURRENT_RECORD,
    kErrStatementClosed = LUM_ERR_STATEMENT_CLOSED,
    kErrNoRowCount = LUM_ERR_NO_ROW_COUNT,
    kErrExpression = LUM_ERR_EXPRESSION,
    kErrNotInDictionary = LUM_ERR_NOT_IN_DICTIONARY,
    kErrEndOfObjects = LUM_ERR_END_OF_OBJECTS,
    kErrPropertyNotSet = LUM_ERR_PROPERTY_NOT_SET,
    kErrTransaction = LUM_ERR_TRANSACTION,
    kErrNoServer = LUM_ERR_NO_SERVER,
    kErrFileNotFound = LUM_ERR_FILE_NOT_FOUND,
    kErrNotATable = LUM_ERR_NOT_A_TABLE,
    kErrNotAnIndexFile = LUM_ERR_NOT_AN_INDEX_FILE,
    kErrIndexFileOpen = LUM_ERR_INDEX_FILE_OPEN,
    kErrDamaged = LUM_ERR_DAMAGED,
    kErrNotADictionary = LUM_ERR_NOT_A_DICTIONARY,
    kErrFileExists = LUM_ERR_FILE_EXISTS,
    kErrWriteFailed = LUM_ERR_WRITE_FAILED,
    kErrLoginRefused = LUM_ERR_LOGIN_REFUSED,
    kErrSql = LUM_ERR_SQL,
    kErrDuplicateKey = LUM_ERR_DUPLICATE_KEY,
    kErrNoRights = LUM_ERR_NO_RIGHTS,
};

[[noreturn]] void fail(std::uint32_t code, const std::string& text);

// Latest failure of the calling thread.
struct LastError {
    std::uint32_t code = 0;
    std::string text;
};
LastError& lastError();
void setLastError(std::uint32_t code, const std::string& text);

}  // namespace lce
