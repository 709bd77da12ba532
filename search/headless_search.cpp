// The core of `payxref search`: the search run with stand-ins for the window's
// controls, the listing handed to its outputs, a failure as the error box
// would word it.
#include "search/headless_search.h"

#include <ctime>
#include <iostream>
#include <optional>
#include <ostream>
#include <stdexcept>

#include <unistd.h>

#include "framework/component.h"
#include "framework/exceptions.h"
#include "framework/reader.h"
#include "search/error_text.h"
#include "search/listing_outputs.h"
#include "search/search.h"
#include "search/search_database.h"
#include "search/search_description.h"
#include "search/search_filter.h"
#include "search/terminal_progress.h"
#include "store/practice_store.h"

namespace app {
namespace {

class NoButton : public IButton {
public:
    void SetEnabled(bool) override {}
};

// Confirms the folder it is started at, as a user pressing OK would.
class ConfirmingDialog : public IFolderDialog {
public:
    explicit ConfirmingDialog(std::optional<std::string> chosen) : chosen_(std::move(chosen)) {}
    void SetPath(const std::string& path) override { path_ = path; }
    std::string Path() const override { return path_; }
    bool RunModal() override {
        if (chosen_) path_ = *chosen_;
        return true;
    }

private:
    std::optional<std::string> chosen_;
    std::string path_;
};

// The folder is settled before the search starts: named or recorded.
class GivenLocation : public IPracticeLocation {
public:
    explicit GivenLocation(std::string folder) : folder_(std::move(folder)) {}
    std::string ReadCurrentPracticePath() override { return folder_; }

private:
    std::string folder_;
};

const char* const NoPracticeRecorded =
    "no practice folder is recorded for this user. Record one with 'payxref-db use FOLDER', "
    "or name it: 'payxref search FOLDER'.";

// The recorded folder, or "" when none can be had: a missing, unreadable or
// damaged store says as little about the practice as a store without the value.
std::string RecordedPractice() {
    try {
        return app::ReadCurrentPracticePath();
    } catch (...) {
        return "";
    }
}

class NoBar : public IProgressBar {
public:
    double Position() const override { return position_; }
    void SetPosition(double position) override { position_ = position; }
    void SetMax(double) override {}

private:
    double position_ = 0;
};

// Hands the lines the search appends to the listing's receivers: the first
// two as the head, every later one as a payment with the figures behind it,
// read while the query and the table still stand on its row.
class ListingPane : public IOutputPane {
public:
    ListingPane(IDataSet& query, IDataSet& table, IListingSink& sink, bool wantsFigures)
        : query_(query), table_(table), sink_(sink), wantsFigures_(wantsFigures) {}
    void ClearText() override {}
    void AppendLine(const std::string& line) override {
        if (heads_ < kHeadLines) {
            ++heads_;
            sink_.Head(line);
        } else if (wantsFigures_) {
            sink_.Payment(ReadListedPayment(query_, table_, line));
        } else {
            ListedPayment payment;
            payment.line = line;
            sink_.Payment(payment);
        }
    }

private:
    static constexpr int kHeadLines = 2;  // the connect path and an empty line
    IDataSet& query_;
    IDataSet& table_;
    IListingSink& sink_;
    const bool wantsFigures_;
    int heads_ = 0;
};

class NoMessages : public IMessagePump {
public:
    void ProcessPendingMessages() override {}
};

// Pushes the lines listed so far out when the search ends, before the
// components are torn down, whichever way it ends.
class FlushOnExit {
public:
    explicit FlushOnExit(std::ostream& out) : out_(out) {}
    ~FlushOnExit() { out_.flush(); }
    FlushOnExit(const FlushOnExit&) = delete;
    FlushOnExit& operator=(const FlushOnExit&) = delete;

private:
    std::ostream& out_;
};

// What the search's pane and bar feed.
struct ListingTarget {
    IListingSink& sink;
    std::ostream& out;  // the listing's stream, flushed when the search ends
    IProgressBar& bar;
    bool wantsFigures;
};

// The search's database components, read from `description` (the window's
// own, or with a narrowed query), searching `folder`. They are torn down
// before this returns, whichever way it ends.
void SearchFolder(const std::string& folder, const fw::StoredWindow& description, const fw::FormatSettings& settings,
                  const ListingTarget& target) {
    fw::TComponent owner;
    owner.SetName("frmMain");
    fw::TReader reader;
    RegisterSearchClasses(reader);
    reader.Read(owner, description);
    SearchDatabase database(owner);
    NoButton button;
    GivenLocation location(folder);
    ConfirmingDialog dialog(folder);
    ListingPane pane(database.Query(), database.Table(), target.sink, target.wantsFigures);
    NoMessages messages;
    const FlushOnExit flush(target.out);
    RunSearch({button, location, dialog, database.Connection(), database.Query(), database.Table(), target.bar, pane,
               messages},
              settings);
}

// The search with its failure caught: empty when it succeeded, else the
// message for standard error ("" for a silent abort).
std::optional<std::string> CaughtSearch(const std::string& folder, const fw::StoredWindow& description,
                                        const fw::FormatSettings& settings, const ListingTarget& target) {
    try {
        SearchFolder(folder, description, settings, target);
        return std::nullopt;
    } catch (const fw::EAbort&) {
        return std::string();
    } catch (const std::exception& error) {
        return ExceptionDisplayText(error.what());
    } catch (...) {
        return ExceptionDisplayText("The search ended in an unknown failure");
    }
}

// The bar is drawn while standard error is a terminal that the listing
// itself is not written to.
bool ShowsProgress(const SearchOptions& options, const std::ostream& err) {
    if (options.quiet || &err != &std::cerr || ::isatty(STDERR_FILENO) == 0) return false;
    const bool listingOnStandardOutput = options.format != ListingFormat::None && !options.output;
    return !(listingOnStandardOutput && ::isatty(STDOUT_FILENO) != 0);
}

// The search of `folder` with its listing handed to the outputs `options` ask for.
int RunListing(const std::string& folder, const SearchOptions& options, const fw::FormatSettings& settings,
               std::ostream& out, std::ostream& err, const ListingPdfWriter& pdf) {
    std::optional<ListingOutputs> outputs;
    try {
        outputs.emplace(options, settings, out);
    } catch (const OutputFileError& error) {
        err << "payxref: " << ExceptionDisplayText(error.what()) << '\n';
        return 1;
    }
    NoBar quietBar;
    std::optional<TerminalProgress> terminalBar;
    if (ShowsProgress(options, err)) terminalBar.emplace(err);
    IProgressBar& bar = terminalBar ? static_cast<IProgressBar&>(*terminalBar) : quietBar;
    const fw::StoredWindow description = SearchDescriptionWithQuery(FilteredSearchQueryLines(options));
    std::optional<std::string> failure =
        CaughtSearch(folder, description, settings, {*outputs, outputs->ListingStream(), bar, outputs->WantsFigures()});
    if (terminalBar) terminalBar->Finish();
    // Every line listed before a failure is out before the message.
    out.flush();
    if (!failure) {
        try {
            outputs->Complete(folder, pdf, std::time(nullptr));
        } catch (const std::exception& error) {
            failure = ExceptionDisplayText(error.what());
        } catch (...) {
            failure = ExceptionDisplayText("The listing's outputs could not be completed");
        }
    }
    if (!failure) return 0;
    if (!failure->empty()) err << "payxref: " << *failure << '\n';
    return 1;
}

}  // namespace

int RunHeadlessSearch(const std::vector<std::string>& args, const fw::FormatSettings& settings, std::ostream& out,
                      std::ostream& err, const ListingPdfWriter& pdf) {
    const ParsedSearchCommand command = ParseSearchCommand(args);
    if (!command.usageError.empty()) {
        err << "payxref: " << command.usageError << "\nTry 'payxref search --help'.\n";
        return 2;
    }
    if (command.help) {
        out << SearchHelpText();
        return 0;
    }
    const SearchOptions& options = command.options;
    if (options.pdf && !pdf) {
        err << "payxref: --pdf: this build of payxref cannot write PDF reports.\n";
        return 2;
    }
    const std::string folder = options.folder ? *options.folder : RecordedPractice();
    if (!options.folder && folder.empty()) {
        err << "payxref: " << NoPracticeRecorded << '\n';
        return 1;
    }
    return RunListing(folder, options, settings, out, err, pdf);
}

}  // namespace app
