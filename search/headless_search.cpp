// The core of `payxref search`: the search run with stand-ins for the window's
// controls, the lines on a stream, a failure as the error box would word it.
#include "search/headless_search.h"

#include <optional>
#include <ostream>
#include <stdexcept>

#include "store/practice_store.h"
#include "framework/component.h"
#include "framework/exceptions.h"
#include "framework/reader.h"
#include "search/error_text.h"
#include "search/search.h"
#include "search/search_database.h"
#include "search/search_description.h"

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

class StreamPane : public IOutputPane {
public:
    explicit StreamPane(std::ostream& out) : out_(out) {}
    void ClearText() override {}
    void AppendLine(const std::string& line) override { out_ << line << '\n'; }

private:
    std::ostream& out_;
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

// The search's database components, read from the description the window
// reads them from too, searching `folder`. They are torn down before this returns, whichever way it ends.
void SearchFolder(const std::string& folder, const fw::FormatSettings& settings, std::ostream& out) {
    fw::TComponent owner;
    owner.SetName("frmMain");
    fw::TReader reader;
    RegisterSearchClasses(reader);
    reader.Read(owner, SearchDescription());
    SearchDatabase database(owner);
    NoButton button;
    GivenLocation location(folder);
    ConfirmingDialog dialog(folder);
    NoBar bar;
    StreamPane pane(out);
    NoMessages messages;
    const FlushOnExit flush(out);
    RunSearch({button, location, dialog, database.Connection(), database.Query(), database.Table(), bar, pane, messages},
              settings);
}

}  // namespace

int RunHeadlessSearch(const std::vector<std::string>& args, const fw::FormatSettings& settings,
                      std::ostream& out, std::ostream& err, const ListingPdfWriter& /*pdf*/) {
    if (args.size() > 1 || (!args.empty() && (args[0] == "--help" || args[0] == "-h"))) {
        (args.size() > 1 ? err : out) << "usage: payxref search [FOLDER]\n"
                                         "Lists the payments and adjustments of the practice in FOLDER (default:\n"
                                         "the current practice recorded for this user) that are not completely applied.\n";
        return args.size() > 1 ? 2 : 0;
    }
    const std::string folder = args.empty() ? RecordedPractice() : args[0];
    if (args.empty() && folder.empty()) {
        err << "payxref: " << NoPracticeRecorded << '\n';
        return 1;
    }
    std::optional<std::string> failure;
    try {
        SearchFolder(folder, settings, out);
    } catch (const fw::EAbort&) {
        failure.emplace();
    } catch (const std::exception& error) {
        failure = ExceptionDisplayText(error.what());
    } catch (...) {
        failure = ExceptionDisplayText("The search ended in an unknown failure");
    }
    // Every line listed before a failure is out before the message.
    out.flush();
    if (!failure) return 0;
    if (!failure->empty()) err << "payxref: " << *failure << '\n';
    return 1;
}

}  // namespace app
