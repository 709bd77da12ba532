#pragma once
// The main window: an instruction, the Search and Print buttons, the output
// pane and the progress bar, and the non-visual components the handlers use.
#include <QWidget>
#include <functional>
#include <memory>
#include <string>

#include "app/application.h"
#include "framework/component.h"
#include "framework/format.h"

class QLabel;
class QPushButton;
class TRichEdit;
class TpxProgressBar;
class TpxShellBrowserDialog;
class TPrintDialog;

namespace app {
class SearchDatabase;
}

class TfrmMain : public QWidget, public fw::TComponent {
    Q_OBJECT
public:
    static constexpr const char* Caption = "Payment Cross Reference Tool";

    TfrmMain(app::TApplication& application, const fw::FormatSettings& settings, QWidget* parent = nullptr);
    ~TfrmMain() override;

    QLabel* Label1 = nullptr;
    QPushButton* Button1 = nullptr;
    TRichEdit* RichEdit1 = nullptr;
    QPushButton* Button2 = nullptr;
    TpxProgressBar* pxProgressBar1 = nullptr;
    TpxShellBrowserDialog* pxShellBrowserDialog1 = nullptr;
    TPrintDialog* PrintDialog1 = nullptr;

    // The search.
    void Button1Click();
    // Printing the pane.
    void Button2Click();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void CreateControls();
    void ReadNonVisualComponents();

    app::TApplication& application_;
    fw::FormatSettings settings_;
    std::unique_ptr<app::SearchDatabase> database_;
    // The login dialog hook in force before the window installed its own,
    // given back when the window goes.
    std::function<bool(const std::string&, std::string&, std::string&)> previousLoginDialog_;
};
