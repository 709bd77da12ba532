// The folder browser component: runs its dialog modally and keeps the chosen path.
#include "ui/shell_browser_dialog.h"

#include <QApplication>
#include <QLabel>
#include <QPointer>
#include <memory>

#include "ui/shell_browser_dlg.h"
#include "ui/shell_tree_view.h"

namespace {

// Puts a cursor over the application's own for as long as it lives.
class OverrideCursor {
public:
    explicit OverrideCursor(Qt::CursorShape shape) { QApplication::setOverrideCursor(shape); }
    ~OverrideCursor() { QApplication::restoreOverrideCursor(); }
    OverrideCursor(const OverrideCursor&) = delete;
    OverrideCursor& operator=(const OverrideCursor&) = delete;
};

// Destroys the form unless its parent window already did while it ran.
struct FormDeleter {
    QPointer<TpxShellBrowserDlg> alive;
    void operator()(TpxShellBrowserDlg* form) const {
        if (alive) delete form;
    }
};

}  // namespace

TpxShellBrowserDialog::TpxShellBrowserDialog(fw::TComponent* owner) : fw::TComponent(owner) {}

void TpxShellBrowserDialog::Configure(TpxShellBrowserDlg& form) const {
    if (!title_.empty()) form.setWindowTitle(QString::fromStdString(title_));
    if (!folderLabelCaption_.empty()) {
        form.lblFolder->setText(QString::fromStdString(folderLabelCaption_));
        form.lblFolder->adjustSize();
    }
    TpxShellTreeView& tree = *form.pxStv;
    tree.SetShellOptions(options_);
    tree.SetShellRoot(root_);
    tree.SetShowButtons(showButtons_);
    tree.SetShowInfoTips(showInfoTips_);
    tree.SetShowLines(showLines_);
    tree.SetShowRoot(showRoot_);
    tree.SetPath(QString::fromStdString(path_));
    form.SetLookAndFeel(lookAndFeel_);
    form.pxStvChange();
}

QWidget* TpxShellBrowserDialog::ParentWindow() const {
    // The window that owns the component holds the dialog, so the dialog
    // stays over it and takes its font; a component without a window owner
    // falls back on whichever window is active, possibly none.
    if (auto* window = dynamic_cast<QWidget*>(Owner())) return window->window();
    return QApplication::activeWindow();
}

bool TpxShellBrowserDialog::RunModal() {
    const OverrideCursor busy(Qt::WaitCursor);
    auto* created = new TpxShellBrowserDlg(ParentWindow());
    const std::unique_ptr<TpxShellBrowserDlg, FormDeleter> form(created, FormDeleter{created});
    form->setWindowModality(Qt::ApplicationModal);
    Configure(*form);
    if (onShow_) onShow_(*form);

    // A quit request ends the run as a cancel.
    const QMetaObject::Connection quitting =
        QObject::connect(qApp, &QCoreApplication::aboutToQuit, form.get(), &QDialog::reject);
    int result = QDialog::Rejected;
    {
        const OverrideCursor arrow(Qt::ArrowCursor);
        result = form->exec();
    }
    QObject::disconnect(quitting);
    if (!form.get_deleter().alive || result != QDialog::Accepted) return false;
    path_ = form->pxStv->Path().toStdString();
    return true;
}
