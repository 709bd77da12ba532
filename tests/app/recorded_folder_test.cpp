// The folder dialog starts at the practice recorded in the store, on every search.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <optional>

#include <unistd.h>

#include "search/practice_location.h"
#include "search/search.h"
#include "search_doubles.h"
#include "store/practice_store.h"

using namespace testing_doubles;

namespace {

// Points the per-user store at a fresh folder for one test.
class ConfigHome {
public:
    ConfigHome() : path_(std::filesystem::temp_directory_path() / ("payxref-config-" + std::to_string(::getpid()))) {
        std::filesystem::remove_all(path_);
        std::filesystem::create_directories(path_);
        const char* old = std::getenv("XDG_CONFIG_HOME");
        if (old != nullptr) old_ = old;
        ::setenv("XDG_CONFIG_HOME", path_.c_str(), 1);
    }
    ~ConfigHome() {
        if (old_)
            ::setenv("XDG_CONFIG_HOME", old_->c_str(), 1);
        else
            ::unsetenv("XDG_CONFIG_HOME");
        std::filesystem::remove_all(path_);
    }

private:
    std::filesystem::path path_;
    std::optional<std::string> old_;
};

}  // namespace

TEST(RecordedFolder, EverySearchStartsTheDialogAtTheRecordedPractice) {
    const ConfigHome home;
    Button button;
    app::RegistryPracticeLocation location;
    FolderDialog dialog(button);
    RowsDataSet query("qryPay", {});
    DetailTable table(query, {});
    Connection connection(query, table);
    Bar bar;
    Pane pane;
    Messages messages;
    const app::SearchComponents components{button, location, dialog, connection, query, table, bar, pane, messages};

    app::RunSearch(components, {});  // nothing recorded yet
    app::RecordCurrentPractice("/srv/orvanta/Practice One");
    dialog.choose = "/somewhere/else";
    app::RunSearch(components, {});
    dialog.choose.reset();
    app::RunSearch(components, {});

    EXPECT_EQ(dialog.startedAt,
              (std::vector<std::string>{"", "/srv/orvanta/Practice One", "/srv/orvanta/Practice One"}));
    EXPECT_EQ(pane.lines.front(), "/srv/orvanta/Practice One/ZTDDF.LDD");
}
