#pragma once
// The print dialog component: shows the platform's print dialog for the
// current printer and, on OK, makes the chosen printer the current one.
#include <QPoint>
#include <QRect>
#include <QSize>
#include <functional>
#include <string>

#include "framework/component.h"

class QPrintDialog;
class QWidget;

enum class TPrintRange { prAllPages, prSelection, prPageNums };

// Which parts of the dialog are offered; none by default.
struct TPrintDialogOptions {
    bool poPrintToFile = false;  // the print-to-file box
    bool poPageNums = false;     // the page-number range
    bool poSelection = false;    // printing the selection
};

class TPrintDialog : public fw::TComponent {
public:
    // The dialog's window is the owner's, when the owner is a window.
    explicit TPrintDialog(fw::TComponent* owner = nullptr);

    // Shows the dialog, modal, with the current printer preselected. True
    // when the user confirms: the chosen printer is then the current one,
    // and its copy count the number of copies chosen (one copy leaves the
    // printer's own count). False when cancelled; nothing changes then.
    // EPrinter "There is no default printer currently selected" before the
    // dialog shows when there is no printer; "Printing in progress" while a
    // job of this program runs.
    bool RunModal();

    TPrintDialogOptions Options;
    TPrintRange PrintRange = TPrintRange::prAllPages;
    int Copies = 0;
    int FromPage = 0;
    int ToPage = 0;
    int MinPage = 0;
    int MaxPage = 0;
    // The Collate box opens ticked only when this is set.
    bool Collate = false;
    bool PrintToFile = false;

    // Called with the dialog just before it shows; lets a test inspect or
    // close it.
    void SetOnShow(std::function<void(QPrintDialog&)> handler) { onShow_ = std::move(handler); }

private:
    QWidget* Window() const;

    std::function<void(QPrintDialog&)> onShow_;
};

// Where a dialog whose frame has `size` goes on a monitor: centred across,
// and down so that the space above it is a third of the space left free.
QPoint CenteredDialogPosition(const QRect& monitor, const QSize& size);
