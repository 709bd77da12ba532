// The period rule of failure texts and the application title, without Qt so
// that the window and the headless run share them.
#include "search/error_text.h"

namespace app {

std::string ApplicationTitleFor(const std::string& executablePath) {
    const auto slash = executablePath.find_last_of("/\\");
    std::string name = slash == std::string::npos ? executablePath : executablePath.substr(slash + 1);
    name = name.substr(0, name.find('.'));
    for (std::size_t i = 1; i < name.size(); ++i) {
        const unsigned char ch = static_cast<unsigned char>(name[i]);
        if (ch >= 'A' && ch <= 'Z') name[i] = static_cast<char>(ch - 'A' + 'a');
    }
    return name;
}

std::string ExceptionDisplayText(const std::string& message) {
    if (!message.empty() && static_cast<unsigned char>(message.back()) > static_cast<unsigned char>('.'))
        return message + ".";
    return message;
}

}  // namespace app
