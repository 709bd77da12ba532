// The PDF report of `payxref search --pdf`: a QPrinter writing a PDF file is
// made the current printer for one job of the shared page layout, with a
// frame that heads every page; the file is reserved under a temporary name
// beside the target and renamed once complete.
#include "app/listing_pdf.h"

#include <fcntl.h>
#include <unistd.h>

#include <QFontMetricsF>
#include <QGuiApplication>
#include <QLocale>
#include <QPainter>
#include <QPrinter>
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <system_error>

#include "app/design_font.h"
#include "app/page_print.h"
#include "app/printer.h"
#include "framework/exceptions.h"
#include "framework/text_codec.h"

namespace app {
namespace {

namespace fs = std::filesystem;

[[noreturn]] void Fail(const std::string& path, const std::string& reason) {
    throw fw::EPrinter("The PDF report could not be written to '" + path + "': " + reason);
}

// What a failed file operation means to the user, and what to do about it.
std::string FileErrorReason(int error) {
    switch (error) {
        case ENOENT:
        case ENOTDIR: return "its folder does not exist. Name a file in an existing folder.";
        case EACCES:
        case EPERM:
        case EROFS: return "its folder cannot be written to. Name a file in a folder you may write to.";
        case ENOSPC:
        case EDQUOT: return "the disk is full. Free some space or name a file on another disk.";
        case EISDIR: return "a folder of that name is in the way. Name a file.";
        case ENAMETOOLONG: return "the name is too long. Choose a shorter one.";
        default:
            return "the file could not be created (system error " + std::to_string(error) +
                   "). Check the folder and the name.";
    }
}

// The file being written: a fresh name beside the target, removed again
// unless the report is complete and has taken the target's name.
class PendingFile {
public:
    explicit PendingFile(const std::string& target) : target_(target) {
        const fs::path path(target);
        if (path.filename().empty()) Fail(target, "that is not a file name. Name a file such as report.pdf.");
        std::error_code ec;
        if (fs::is_directory(path, ec)) Fail(target, FileErrorReason(EISDIR));
        const fs::path folder = path.parent_path().empty() ? fs::path(".") : path.parent_path();
        // Created exclusively, with the permissions a new file gets; the
        // printer then writes into it.
        for (int attempt = 0; attempt < 100; ++attempt) {
            fs::path candidate = folder / ("." + path.filename().string() + "." + std::to_string(::getpid()) + "-" +
                                           std::to_string(attempt) + ".tmp");
            const int fd = ::open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
            if (fd >= 0) {
                ::close(fd);
                temp_ = std::move(candidate);
                return;
            }
            if (errno != EEXIST) Fail(target, FileErrorReason(errno));
        }
        Fail(target, FileErrorReason(EEXIST));
    }
    ~PendingFile() {
        std::error_code ec;
        if (!temp_.empty()) fs::remove(temp_, ec);
    }
    PendingFile(const PendingFile&) = delete;
    PendingFile& operator=(const PendingFile&) = delete;

    const fs::path& Temp() const { return temp_; }

    // Checks the document ends as a PDF does, puts it on the disk and gives
    // it the target's name.
    void Commit() {
        if (!EndsLikePdf()) Fail(target_, "the file came out incomplete. Check the free space on the disk.");
        const int fd = ::open(temp_.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) Fail(target_, FileErrorReason(errno));
        const int synced = ::fsync(fd);
        const int syncError = errno;
        ::close(fd);
        if (synced != 0) Fail(target_, FileErrorReason(syncError));
        if (::rename(temp_.c_str(), target_.c_str()) != 0) Fail(target_, FileErrorReason(errno));
        temp_.clear();
    }

private:
    bool EndsLikePdf() const {
        std::ifstream in(temp_, std::ios::binary | std::ios::ate);
        const std::streamoff size = in ? static_cast<std::streamoff>(in.tellg()) : 0;
        if (size <= 0) return false;
        const std::streamoff tail = std::min<std::streamoff>(size, 1024);
        std::string end(static_cast<std::size_t>(tail), '\0');
        in.seekg(size - tail);
        in.read(end.data(), tail);
        return in && end.find("%%EOF") != std::string::npos;
    }

    std::string target_;
    fs::path temp_;
};

// A Qt application for the call when the process has none (the headless
// search starts without one): offscreen unless the user chose a platform, as
// a PDF needs no screen.
class GuiForCall {
public:
    GuiForCall() {
        QCoreApplication* existing = QCoreApplication::instance();
        if (existing != nullptr) {
            if (qobject_cast<QGuiApplication*>(existing) == nullptr)
                throw fw::EPrinter("The PDF report needs the fonts of a graphical application, which this one lacks");
            return;
        }
        args_ = {"payxref"};
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) args_.insert(args_.end(), {"-platform", "offscreen"});
        for (std::string& arg : args_) argv_.push_back(arg.data());
        argv_.push_back(nullptr);
        argc_ = static_cast<int>(args_.size());
        // Qt's start-up notes (a missing runtime folder and the like) are not
        // the user's business on a command line; failures still arrive as exceptions.
        previousHandler_ = qInstallMessageHandler(Quiet);
        quiet_ = true;
        application_ = std::make_unique<QGuiApplication>(argc_, argv_.data());
    }
    ~GuiForCall() {
        application_.reset();
        // A null handler puts Qt's default back.
        if (quiet_) qInstallMessageHandler(previousHandler_);
    }
    GuiForCall(const GuiForCall&) = delete;
    GuiForCall& operator=(const GuiForCall&) = delete;

private:
    static void Quiet(QtMsgType type, const QMessageLogContext&, const QString&) {
        // Qt ends the process after a fatal message; the user learns why.
        if (type == QtFatalMsg)
            std::fputs(
                "payxref: the PDF report could not start Qt's drawing services. Leave QT_QPA_PLATFORM unset, "
                "or set it to offscreen.\n",
                stderr);
    }

    std::vector<std::string> args_;
    std::vector<char*> argv_;
    QtMessageHandler previousHandler_ = nullptr;
    bool quiet_ = false;
    int argc_ = 0;
    std::unique_ptr<QGuiApplication> application_;
};

// Forgets the PDF printer once the job is over, so that a later print looks
// for the system's printer again.
class PrinterForCall {
public:
    explicit PrinterForCall(const fs::path& file) {
        auto printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
        printer->setOutputFormat(QPrinter::PdfFormat);
        printer->setOutputFileName(QString::fromStdString(file.string()));
        const bool letter = QLocale::system().measurementSystem() == QLocale::ImperialUSSystem;
        printer->setPageSize(QPageSize(letter ? QPageSize::Letter : QPageSize::A4));
        printer->setPageMargins(QMarginsF(15, 20, 15, 20), QPageLayout::Millimeter);
        Printer().Install(std::move(printer));
    }
    ~PrinterForCall() {
        TPrinter& printer = Printer();
        if (printer.Printing()) printer.Abort();
        printer.Reset();
    }
    PrinterForCall(const PrinterForCall&) = delete;
    PrinterForCall& operator=(const PrinterForCall&) = delete;
};

// The band above the listing: the header line on the left, "Page N of M" on
// the right, a hairline under both.
class ListingFrame : public IPageFrame {
public:
    explicit ListingFrame(const std::string& headerLine) : header_(QString::fromStdString(headerLine)) {}

    QRect Body(QPainter& painter, const QRect& page, const QFont& font) const override {
        const int band = static_cast<int>(LineHeight(painter, font) * 2);
        return page.adjusted(0, band, 0, 0);
    }

    void Draw(QPainter& painter, const QRect& page, const QFont& font, int number, int count) const override {
        const QFontMetricsF metrics(font, painter.device());
        const qreal lineHeight = metrics.height();
        const QString pageLabel = QStringLiteral("Page %1 of %2").arg(number).arg(count);
        const qreal labelWidth = metrics.horizontalAdvance(pageLabel);
        const qreal gap = metrics.horizontalAdvance(QStringLiteral("MM"));
        const QRectF line(page.left(), page.top(), page.width(), lineHeight);

        painter.save();
        painter.setFont(font);
        painter.setPen(Qt::black);
        // A folder too long for the line loses its middle, not the page number.
        const QString header = metrics.elidedText(header_, Qt::ElideMiddle, page.width() - labelWidth - gap);
        painter.drawText(line, Qt::AlignLeft | Qt::AlignVCenter, header);
        painter.drawText(line, Qt::AlignRight | Qt::AlignVCenter, pageLabel);
        const qreal ruleY = page.top() + lineHeight * 1.4;
        painter.setPen(QPen(Qt::black, painter.device()->logicalDpiY() / 144.0));
        painter.drawLine(QPointF(page.left(), ruleY), QPointF(page.right(), ruleY));
        painter.restore();
    }

private:
    static qreal LineHeight(QPainter& painter, const QFont& font) {
        return QFontMetricsF(font, painter.device()).height();
    }

    QString header_;
};

// The page layout takes 8-bit text as the pane holds it; the listing comes
// as UTF-8, which the tables' code page covers (their text came from it).
std::string JoinLines(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines) {
        fw::Windows1252Result converted = fw::Utf8ToWindows1252(line);
        text += converted.fault == fw::Windows1252Result::Fault::None ? converted.text : line;
        text += "\r\n";
    }
    return text;
}

}  // namespace

void WriteListingPdf(const std::string& path, const std::string& headerLine, const std::vector<std::string>& lines) {
    PendingFile file(path);
    const GuiForCall gui;
    const ListingFrame frame(headerLine);
    try {
        const PrinterForCall printer(file.Temp());
        PrintText(ListingPdfTitle, JoinLines(lines), DesignFont(DesignDpi), DesignDpi, &frame);
    } catch (const fw::EPrinter& error) {
        Fail(path, "the page layout failed (" + error.Message() + "). Try again, or another file.");
    }
    file.Commit();
}

}  // namespace app
