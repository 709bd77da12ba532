#pragma once
// The field and index definitions of ZTTRN that the window stores with its
// table component tblpay (StoreDefs true): shown while the table is closed,
// replaced by the engine's at every open. The definitions are generated, by
// tools/stored_defs_main.cpp (scripts/stored_defs.sh), from the ZTTRN that
// payxref-db creates, read through the access layer.
#include <string>
#include <utility>
#include <vector>

#include "framework/reader.h"

namespace app {

// "FieldDefs[i].<attribute>" and "IndexDefs[i].<attribute>" properties, in
// stored order (data/lum/stored_defs.h).
const std::vector<std::pair<std::string, fw::PropertyValue>>& StoredTransactionDefs();

}  // namespace app
