#include "app/headless_search.h"

#include <optional>
#include <ostream>

#include "app/application.h"
#include "app/search.h"
#include "app/main_window_description.h"
#include "app/search_database.h"
#include "framework/component.h"
#include "framework/reader.h"
#include "app/practice_location.h"
#include "framework/exceptions.h"

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

class GivenLocation : public IPracticeLocation {
public:
    std::string ReadCurrentPracticePath() override { return ""; }
};

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

}  // namespace

int RunHeadlessSearch(const std::vector<std::string>& args, const fw::FormatSettings& settings,
                      std::ostream& out, std::ostream& err) {
    if (args.size() > 1 || (!args.empty() && (args[0] == "--help" || args[0] == "-h"))) {
        (args.size() > 1 ? err : out) << "usage: payxref search [FOLDER]\n"
                                         "Lists the payments and adjustments of the practice in FOLDER (default:\n"
                                         "the current practice recorded for this user) that are not completely applied.\n";
        return args.size() > 1 ? 2 : 0;
    }
    NoButton button;
    RegistryPracticeLocation recorded;
    GivenLocation none;
    ConfirmingDialog dialog(args.empty() ? std::nullopt : std::optional<std::string>(args[0]));
    // The window's database components, read as the window reads them.
    fw::TComponent owner;
    owner.SetName("frmMain");
    fw::TReader reader;
    RegisterWindowClasses(reader);
    reader.Read(owner, MainWindowDescription());
    SearchDatabase database(owner);
    NoBar bar;
    StreamPane pane(out);
    NoMessages messages;
    IPracticeLocation& location = args.empty() ? static_cast<IPracticeLocation&>(recorded) : none;
    try {
        RunSearch({button, location, dialog, database.Connection(), database.Query(), database.Table(), bar, pane,
                   messages},
                  settings);
    } catch (const fw::EAbort&) {
        return 1;
    } catch (const std::exception& error) {
        err << "payxref: " << ExceptionDisplayText(error.what()) << '\n';
        return 1;
    }
    return 0;
}

}  // namespace app
