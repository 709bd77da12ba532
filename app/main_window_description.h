#pragma once
// The main window's non-visual components as the window stores them.
#include <string>
#include <vector>

#include "framework/reader.h"

namespace app {

// The search query's ten lines, as stored.
const std::vector<std::string>& SearchQueryLines();

const fw::StoredWindow& MainWindowDescription();

// Makes every class of the description known to a reader.
void RegisterWindowClasses(fw::TReader& reader);

}  // namespace app
