#pragma once
// The application object: message processing with the quit rule, and the
// default display of exceptions that escape an event handler.
#include <exception>
#include <functional>
#include <string>

#include "search/contracts.h"
#include "search/error_text.h"

class QWidget;

namespace app {

class TApplication : public IMessagePump {
public:
    explicit TApplication(std::string title) : title_(std::move(title)) {}

    const std::string& ApplicationTitle() const { return title_; }

    // Dispatches what is queued. A close request met meanwhile is only noted.
    void ProcessPendingMessages() override;

    bool Terminated() const { return terminated_; }
    void Terminate() { terminated_ = true; }

    // True while an event handler runs; a close request then waits for it.
    bool InHandler() const { return handlerDepth_ > 0; }

    // Runs an event handler: EAbort is dropped, any other exception is shown
    // in the error box; when a close was requested meanwhile, the program
    // ends once the outermost handler returns.
    void RunHandler(const std::function<void()>& handler);

    // Modal box with OK and the stop icon, titled with the application title.
    virtual void ShowExceptionMessage(const std::exception& error);

    void SetMainWindow(QWidget* window) { mainWindow_ = window; }

private:
    std::string title_;
    QWidget* mainWindow_ = nullptr;
    int handlerDepth_ = 0;
    bool terminated_ = false;
};

}  // namespace app
