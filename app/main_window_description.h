#pragma once
// The main window's non-visual components as the window stores them.
#include "framework/reader.h"

namespace app {

const fw::StoredWindow& MainWindowDescription();

}  // namespace app
