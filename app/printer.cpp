// The process's one printer object and the print job on it; the system's default
// printer is looked up only when a job first needs it.
#include "app/printer.h"

#include <QCoreApplication>
#include <QPainter>
#include <QPrinter>

#include "framework/exceptions.h"

namespace {

// Printers go before the application object does, whose services they use.
void ReleasePrinterAtExit() {
    TPrinter& printer = TPrinter::Instance();
    if (printer.Printing()) printer.Abort();
    printer.Reset();
}

}  // namespace

TPrinter::TPrinter() : defaultSource_([] { return QPrinterInfo::defaultPrinter(); }) {}

TPrinter::~TPrinter() = default;

TPrinter& TPrinter::Instance() {
    static TPrinter printer;
    return printer;
}

TPrinter& Printer() { return TPrinter::Instance(); }

void CopyPrinterSettings(const QPrinter& from, QPrinter& to) {
    to.setOutputFormat(from.outputFormat());
    if (from.outputFormat() == QPrinter::NativeFormat) to.setPrinterName(from.printerName());
    to.setOutputFileName(from.outputFileName());
    to.setPageLayout(from.pageLayout());
    to.setFullPage(from.fullPage());
    to.setCopyCount(from.copyCount());
    to.setCollateCopies(from.collateCopies());
    to.setColorMode(from.colorMode());
    to.setDuplex(from.duplex());
    to.setDocName(from.docName());
}

void TPrinter::CheckNotPrinting() const {
    if (Printing()) throw fw::EPrinter("Printing in progress");
}

void TPrinter::Adopt(std::unique_ptr<QPrinter> printer) {
    if (!releaseAtExit_ && QCoreApplication::instance() != nullptr) {
        qAddPostRoutine(ReleasePrinterAtExit);
        releaseAtExit_ = true;
    }
    printer_ = std::move(printer);
}

QPrinter& TPrinter::Current() {
    if (printer_ == nullptr) {
        const QPrinterInfo info = defaultSource_ ? defaultSource_() : QPrinterInfo();
        if (info.isNull()) throw fw::EPrinter("There is no default printer currently selected");
        Adopt(std::make_unique<QPrinter>(info, QPrinter::HighResolution));
    }
    return *printer_;
}

void TPrinter::SetPrinter(const QPrinter& chosen) {
    CheckNotPrinting();
    auto printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
    CopyPrinterSettings(chosen, *printer);
    Adopt(std::move(printer));
}

void TPrinter::Install(std::unique_ptr<QPrinter> printer) {
    CheckNotPrinting();
    Adopt(std::move(printer));
}

void TPrinter::SetDefaultPrinterSource(DefaultPrinterSource source) { defaultSource_ = std::move(source); }

void TPrinter::Reset() {
    CheckNotPrinting();
    printer_.reset();
}

int TPrinter::Copies() { return Current().copyCount(); }

void TPrinter::SetCopies(int copies) {
    CheckNotPrinting();
    Current().setCopyCount(copies);
}

void TPrinter::BeginDoc() {
    CheckNotPrinting();
    QPrinter& printer = Current();
    printer.setDocName(QString::fromStdString(title_));
    auto painter = std::make_unique<QPainter>();
    if (!painter->begin(&printer)) throw fw::EPrinter("The print job could not be started");
    painter_ = std::move(painter);
    aborted_ = false;
    pageNumber_ = 1;
}

void TPrinter::NewPage() {
    QPainter& canvas = Canvas();
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    // A job aborted meanwhile has no page to start.
    if (!Printing() || painter_.get() != &canvas) return;
    if (!printer_->newPage()) throw fw::EPrinter("The printer could not start a new page");
    ++pageNumber_;
}

void TPrinter::EndDoc() {
    if (!Printing()) return;
    const bool ended = painter_->end();
    painter_.reset();
    pageNumber_ = 0;
    if (!ended) throw fw::EPrinter("The print job could not be ended");
}

void TPrinter::Abort() {
    if (!Printing()) return;
    printer_->abort();
    painter_->end();
    painter_.reset();
    aborted_ = true;
    pageNumber_ = 0;
}

QPainter& TPrinter::Canvas() {
    if (!Printing()) throw fw::EPrinter("Printer is not currently printing");
    return *painter_;
}

int TPrinter::PageWidth() { return Current().pageLayout().paintRectPixels(Current().resolution()).width(); }
int TPrinter::PageHeight() { return Current().pageLayout().paintRectPixels(Current().resolution()).height(); }
int TPrinter::PixelsPerInchX() { return Current().logicalDpiX(); }
int TPrinter::PixelsPerInchY() { return Current().logicalDpiY(); }
