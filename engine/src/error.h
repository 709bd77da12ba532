// Engine error codes, the per-thread record of the latest failure, and the
// exception used inside the engine to carry a code and its text up to the
// C boundary, where it is stored for LumGetLastError.
#pragma once

#include <cstdint>
#include <string>

#include "engine/lce_builder.h"

namespace lce {

// Codes with a fixed meaning (see data/engine/lce32.h for the full list).
enum : std::uint32_t {
  kErrNotSupported = 5004,
  kErrBufferTooSmall = 5005,
  kErrInvalidArgument = 5012,
  kErrInvalidHandle = 5018,
  kErrFieldNotFound = 5020,
  kErrIndexNotFound = 5021,
  kErrRecordNotFound = 5022,
  kErrConnectionGone = 5024,
  kErrNoCollation = 5025,
  kErrTableTypeMismatch = 5030,
  kErrLocked = 5035,
  kErrNeedsWriter = 5036,
  kErrNoFilter = 5037,
  kErrNoScope = 5038,
  kErrNoKeyPosition = 5041,
  kErrCallerText = 5054,
  kErrEndOfTables = 5059,
  kErrReadOnly = 5066,
  kErrNoCurrentRecord = 5068,
  kErrStatementClosed = 5106,
  kErrNoRowCount = 5117,
  kErrNotInDictionary = 5132,
  kErrEndOfObjects = 5137,
  kErrPropertyNotSet = 5138,
  kErrTransaction = 5140,
  kErrNoServer = 6420,
  kErrFileNotFound = 7008,
  kErrNotATable = 7016,
  kErrDamaged = 7017,
  kErrNotADictionary = 7019,
  kErrFileExists = 7020,
  kErrWriteFailed = 7022,
  kErrLoginRefused = 7078,
  kErrSql = 7200,
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
