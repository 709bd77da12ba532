#pragma once
// The main window's non-visual components as the window stores them: the
// search's database components between the folder and the print dialog.
#include "framework/reader.h"

namespace app {

const fw::StoredWindow& MainWindowDescription();

// Makes every class of the description known to a reader.
void RegisterWindowClasses(fw::TReader& reader);

}  // namespace app
