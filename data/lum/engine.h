#pragma once
// The client engine as the access layer reaches it: only through a table of
// function pointers. Every component holds the table it calls, so a test can
// hand in a table whose entries record calls or fail on purpose.
#include "data/engine/lce32.h"

namespace lum {

// The table bound to the linked engine library.
inline const LumFunctions& DefaultEngine() { return *LumGetFunctions(); }

}  // namespace lum
