#pragma once
// The folder browser: a component without a window of its own that shows a
// modal, resizable dialog in which the user picks a folder from a tree.
// Only Path carries over from one run to the next.
#include <functional>
#include <string>

#include "framework/component.h"
#include "ui/look_and_feel.h"
#include "ui/shell_options.h"

class QWidget;
class TpxShellBrowserDlg;

class TpxShellBrowserDialog : public fw::TComponent {
public:
    explicit TpxShellBrowserDialog(fw::TComponent* owner = nullptr);

    // The folder selected when the dialog opens; after OK, the chosen one
    // (no trailing "/" except for the root "/"). Plain storage.
    const std::string& Path() const { return path_; }
    void SetPath(const std::string& path) { path_ = path; }

    // Empty keeps "Browse for Folder" and "Current Folder".
    const std::string& Title() const { return title_; }
    void SetTitle(const std::string& title) { title_ = title; }
    const std::string& FolderLabelCaption() const { return folderLabelCaption_; }
    void SetFolderLabelCaption(const std::string& caption) { folderLabelCaption_ = caption; }

    TpxDlgShellOptions& Options() { return options_; }
    const TpxDlgShellOptions& Options() const { return options_; }
    TpxDlgShellRoot& Root() { return root_; }
    const TpxDlgShellRoot& Root() const { return root_; }

    bool ShowButtons() const { return showButtons_; }
    void SetShowButtons(bool show) { showButtons_ = show; }
    bool ShowLines() const { return showLines_; }
    void SetShowLines(bool show) { showLines_ = show; }
    bool ShowRoot() const { return showRoot_; }
    void SetShowRoot(bool show) { showRoot_ = show; }
    bool ShowInfoTips() const { return showInfoTips_; }
    void SetShowInfoTips(bool show) { showInfoTips_ = show; }

    const TpxLookAndFeel& LookAndFeel() const { return lookAndFeel_; }
    void SetLookAndFeel(const TpxLookAndFeel& lookAndFeel) { lookAndFeel_ = lookAndFeel; }

    // Shows the dialog modally over the window that owns the component (the
    // active window when no window owns it). True when the user
    // confirmed with OK, Path then holding the chosen folder; false for
    // Cancel, the close box or the application quitting, Path unchanged.
    bool RunModal();

    // Called with the fresh form just before it is shown; lets a caller (or
    // a test) adjust or drive it.
    void SetOnShow(std::function<void(TpxShellBrowserDlg&)> handler) { onShow_ = std::move(handler); }

private:
    QWidget* ParentWindow() const;
    void Configure(TpxShellBrowserDlg& form) const;

    std::string path_;
    std::string title_;
    std::string folderLabelCaption_;
    TpxDlgShellOptions options_;
    TpxDlgShellRoot root_;
    bool showButtons_ = true;
    bool showLines_ = true;
    bool showRoot_ = true;
    bool showInfoTips_ = false;
    TpxLookAndFeel lookAndFeel_;
    std::function<void(TpxShellBrowserDlg&)> onShow_;
};
