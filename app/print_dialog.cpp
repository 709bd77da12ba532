// The print dialog component over Qt's print dialog; OK makes the chosen printer current.
#include "app/print_dialog.h"

#include <QApplication>
#include <QPrintDialog>
#include <QPrinter>
#include <QScreen>
#include <QShowEvent>
#include <QWidget>

#include "app/printer.h"
#include "framework/exceptions.h"

namespace {

// The platform dialog, moved to the middle of the monitor of the active
// window (or of its own parent) when it first shows.
class CenteredPrintDialog : public QPrintDialog {
public:
    CenteredPrintDialog(QPrinter* printer, QWidget* parent) : QPrintDialog(printer, parent) {}

protected:
    void showEvent(QShowEvent* event) override {
        QPrintDialog::showEvent(event);
        if (placed_) return;
        placed_ = true;
        const QWidget* anchor = QApplication::activeWindow();
        if (anchor == nullptr) anchor = parentWidget();
        QScreen* screen = anchor != nullptr ? anchor->screen() : QGuiApplication::primaryScreen();
        if (screen == nullptr) return;
        move(CenteredDialogPosition(screen->geometry(), frameGeometry().size()));
    }

private:
    bool placed_ = false;
};

}  // namespace

QPoint CenteredDialogPosition(const QRect& monitor, const QSize& size) {
    return {monitor.left() + (monitor.width() - size.width()) / 2,
            monitor.top() + (monitor.height() - size.height()) / 3};
}

TPrintDialog::TPrintDialog(fw::TComponent* owner) : fw::TComponent(owner) {}

QWidget* TPrintDialog::Window() const {
    // The application's main window owns the dialog.
    return dynamic_cast<QWidget*>(Owner());
}

bool TPrintDialog::RunModal() {
    TPrinter& printer = Printer();
    if (printer.Printing()) throw fw::EPrinter("Printing in progress");
    const QPrinter& current = printer.Current();

    // The dialog works on a copy of the current printer's settings, so that
    // cancelling leaves the current printer as it was.
    QPrinter work(QPrinter::HighResolution);
    CopyPrinterSettings(current, work);
    // The Collate box opens as the component says, whatever the printer last
    // reported; the dialog reads it from the printer when it is made.
    work.setCollateCopies(Collate);
    CenteredPrintDialog dialog(&work, Window());
    dialog.setOption(QAbstractPrintDialog::PrintToFile, Options.poPrintToFile);
    dialog.setOption(QAbstractPrintDialog::PrintPageRange, Options.poPageNums);
    dialog.setOption(QAbstractPrintDialog::PrintSelection, Options.poSelection);
    dialog.setOption(QAbstractPrintDialog::PrintCurrentPage, false);
    dialog.setPrintRange(QAbstractPrintDialog::AllPages);
    if (MinPage != 0 || MaxPage != 0) dialog.setMinMax(MinPage, MaxPage);
    if (onShow_) onShow_(dialog);
    if (dialog.exec() != QDialog::Accepted) return false;

    // Recorded as the dialog reported them; printing itself does not use them.
    Collate = work.collateCopies();
    PrintToFile = work.outputFormat() == QPrinter::PdfFormat && !work.outputFileName().isEmpty();
    switch (dialog.printRange()) {
        case QAbstractPrintDialog::Selection: PrintRange = TPrintRange::prSelection; break;
        case QAbstractPrintDialog::PageRange:
            PrintRange = TPrintRange::prPageNums;
            FromPage = work.fromPage();
            ToPage = work.toPage();
            break;
        default: PrintRange = TPrintRange::prAllPages; break;
    }
    Copies = work.copyCount();
    const int ownCopies = current.copyCount();
    printer.SetPrinter(work);
    printer.SetCopies(Copies == 1 ? ownCopies : Copies);
    return true;
}
