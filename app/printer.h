#pragma once
// The process's printer object: the current printer, its copy count and the
// job title, and the job itself (a painter on the printer from BeginDoc to
// EndDoc). The current printer is chosen once per run: the system's default
// the first time one is needed, then whichever the print dialog chose.
#include <QPrinterInfo>
#include <functional>
#include <memory>
#include <string>

class QPainter;
class QPrinter;

class TPrinter {
public:
    ~TPrinter();
    TPrinter(const TPrinter&) = delete;
    TPrinter& operator=(const TPrinter&) = delete;

    // The one printer object of the process.
    static TPrinter& Instance();

    // The current printer, finding the system's default the first time.
    // EPrinter "There is no default printer currently selected" when there is none.
    QPrinter& Current();
    bool HasCurrent() const { return printer_ != nullptr; }

    // Makes the printer `chosen` names, with its settings, the current one
    // (the print dialog after OK). EPrinter "Printing in progress" during a job.
    void SetPrinter(const QPrinter& chosen);

    // Makes a printer set up by the caller the current one, e.g. one that
    // writes a PDF file. EPrinter "Printing in progress" during a job.
    void Install(std::unique_ptr<QPrinter> printer);

    // Where the system's default printer comes from (QPrinterInfo::defaultPrinter
    // unless replaced); a null QPrinterInfo means there is none.
    using DefaultPrinterSource = std::function<QPrinterInfo()>;
    void SetDefaultPrinterSource(DefaultPrinterSource source);
    // Forgets the current printer, so the next use looks for the default again.
    void Reset();

    int Copies();
    void SetCopies(int copies);
    const std::string& Title() const { return title_; }
    void SetTitle(const std::string& title) { title_ = title; }

    bool Printing() const { return painter_ != nullptr; }
    bool Aborted() const { return aborted_; }
    int PageNumber() const { return pageNumber_; }

    // Starts a job named by Title on the current printer, with its first
    // page. EPrinter "Printing in progress" when a job is running already.
    void BeginDoc();
    // Ends the page, lets pending events run (the window repaints and its
    // buttons answer while the job is spooled), then starts the next page.
    void NewPage();
    void EndDoc();
    // Drops the job; the document is not ended.
    void Abort();

    // The job's painter, in device pixels with the origin at the printable
    // area's top-left corner. Only during a job.
    QPainter& Canvas();

    // The printable area in device pixels and the printer's resolution.
    int PageWidth();
    int PageHeight();
    int PixelsPerInchX();
    int PixelsPerInchY();

private:
    TPrinter();
    void CheckNotPrinting() const;
    void Adopt(std::unique_ptr<QPrinter> printer);

    DefaultPrinterSource defaultSource_;
    std::unique_ptr<QPrinter> printer_;
    std::unique_ptr<QPainter> painter_;
    std::string title_;
    bool aborted_ = false;
    int pageNumber_ = 0;
    bool releaseAtExit_ = false;
};

// Shorthand for TPrinter::Instance().
TPrinter& Printer();

// Copies the settings a job uses (device, output, page layout, copies,
// collation, colour, duplex) from one printer to another.
void CopyPrinterSettings(const QPrinter& from, QPrinter& to);
