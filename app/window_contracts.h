#pragma once
// The main window's controls behind the search's contracts.
#include <QPushButton>

#include "app/rich_edit.h"
#include "search/contracts.h"
#include "ui/progress_bar.h"
#include "ui/shell_browser_dialog.h"

namespace app {

class ButtonContract : public IButton {
public:
    explicit ButtonContract(QPushButton& button) : button_(button) {}
    void SetEnabled(bool enabled) override { button_.setEnabled(enabled); }

private:
    QPushButton& button_;
};

class PaneContract : public IOutputPane {
public:
    explicit PaneContract(TRichEdit& pane) : pane_(pane) {}
    void ClearText() override { pane_.ClearText(); }
    void AppendLine(const std::string& line) override { pane_.AppendLine(line); }

private:
    TRichEdit& pane_;
};

class ProgressBarContract : public IProgressBar {
public:
    explicit ProgressBarContract(TpxProgressBar& bar) : bar_(bar) {}
    double Position() const override { return bar_.Position(); }
    void SetPosition(double position) override { bar_.SetPosition(position); }
    void SetMax(double max) override { bar_.Properties().SetMax(max); }

private:
    TpxProgressBar& bar_;
};

class FolderDialogContract : public IFolderDialog {
public:
    explicit FolderDialogContract(TpxShellBrowserDialog& dialog) : dialog_(dialog) {}
    void SetPath(const std::string& path) override { dialog_.SetPath(path); }
    std::string Path() const override { return dialog_.Path(); }
    bool RunModal() override { return dialog_.RunModal(); }

private:
    TpxShellBrowserDialog& dialog_;
};

}  // namespace app
