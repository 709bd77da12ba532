// The application object over Qt: message processing, the quit rule and the
// error box for exceptions that escape an event handler.
#include "app/application.h"

#include <QApplication>
#include <QMessageBox>
#include <QWidget>

#include "framework/exceptions.h"

namespace app {

void TApplication::ProcessPendingMessages() { QCoreApplication::processEvents(QEventLoop::AllEvents); }

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
