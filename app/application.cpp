#include "app/application.h"

#include <QApplication>
#include <QMessageBox>
#include <QWidget>

#include "framework/exceptions.h"

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

void TApplication::ProcessPendingMessages() {
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

void TApplication::RunHandler(const std::function<void()>& handler) {
    ++handlerDepth_;
    try {
        handler();
    } catch (const fw::EAbort&) {
    } catch (const std::exception& error) {
        ShowExceptionMessage(error);
    }
    --handlerDepth_;
    if (handlerDepth_ == 0 && terminated_ && mainWindow_ != nullptr) mainWindow_->close();
}

void TApplication::ShowExceptionMessage(const std::exception& error) {
    QMessageBox box(QMessageBox::Critical, QString::fromStdString(title_),
                    QString::fromLatin1(ExceptionDisplayText(error.what())), QMessageBox::Ok, mainWindow_);
    box.exec();
}

}  // namespace app
