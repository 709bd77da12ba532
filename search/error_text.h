#pragma once
// How a failure reads to the user, the same in the window's error box and on
// the headless run's standard error, and the title the window's box carries.
#include <string>

namespace app {

// The executable's file name without folder, cut at its first full stop,
// first character unchanged and the rest in lower case.
std::string ApplicationTitleFor(const std::string& executablePath);

// The text the error box shows: the message with a period appended when it is
// not empty and its last character's code is above that of ".".
std::string ExceptionDisplayText(const std::string& message);

}  // namespace app
