// `payxref search` without a window: what reaches standard output and
// standard error, and the exit code, when the search fails part-way, when no
// practice is recorded, and when the practice's index is damaged.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <sstream>

#include "framework/format.h"
#include "search/headless_search.h"
#include "store/practice_store.h"
#include "tests/lum/fixture.h"

namespace {

namespace fs = std::filesystem;

const long kMarch15_2011 = 2455636;  // Julian day
// A Date From no calendar holds: listing its line fails.
const long kBeyondAnyCalendar = 2000000000;

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

// Points the per-user store at a folder of the test's own.
class ConfigHome {
public:
    ConfigHome() {
        const char* old = std::getenv("XDG_CONFIG_HOME");
        if (old != nullptr) old_ = old;
        ::setenv("XDG_CONFIG_HOME", dir_.path().c_str(), 1);
    }
    ~ConfigHome() {
        if (old_) {
            ::setenv("XDG_CONFIG_HOME", old_->c_str(), 1);
        } else {
            ::unsetenv("XDG_CONFIG_HOME");
        }
    }
    fs::path Store() const { return fs::path(dir_.path()) / "Orvanta" / "registry.reg"; }

private:
    lumtest::TempDir dir_;
    std::optional<std::string> old_;
};

struct Outcome {
    int code;
    std::string out;
    std::string err;
};

Outcome Search(const std::vector<std::string>& args) {
    std::ostringstream out, err;
    const int code = app::RunHeadlessSearch(args, fw::FormatSettings{}, out, err);
    return {code, out.str(), err.str()};
}

// The binaries as a user runs them, output to files.
Outcome RunBinary(const std::string& command, const lumtest::TempDir& dir) {
    const std::string out = dir.path("out.txt"), err = dir.path("err.txt");
    const int status = std::system((command + " >'" + out + "' 2>'" + err + "'").c_str());
    const auto read = [](const std::string& file) {
        std::ifstream in(file, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    };
    // A run that ends in a signal shows as one, never as an exit code.
    const int code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return {code, read(out), read(err)};
}

TEST(HeadlessSearch, ALineThatFailsEndsTheRunWithEveryEarlierLineWritten) {
    lumtest::TempDir practice;
    lumtest::BuildPractice(practice,
                           {{1, "I", 100.0, "SMI00001", 7, kMarch15_2011, "PAYCASH"},
                            {2, "A", 100.0, "SMI00001", 7, kMarch15_2011, "99213"},
                            {3, "K", 30.0, "JON00002", 1, kMarch15_2011, "ADJ"},
                            {4, "V", 40.0, "BAD00004", 2, kBeyondAnyCalendar, "BROKEN"},
                            {5, "I", 10.0, "LAT00005", 3, kMarch15_2011, "LATER"}},
                           {{1, 2, 87.5}, {3, 2, 10.0}, {4, 2, 5.0}, {5, 2, 1.0}});
    const Outcome run = Search({practice.path()});
    EXPECT_EQ(run.code, 1);
    EXPECT_EQ(run.err, "payxref: Invalid argument to date decode.\n");
    const std::vector<std::string> expected{
        practice.path() + "/ZTDDF.LDD",
        "",
        "Chart: SMI00001 Case Number: 7 Date From: 03/15/2011 Payment/Adjustment Code: PAYCASH Difference: 12.5",
        "Chart: JON00002 Case Number: 1 Date From: 03/15/2011 Payment/Adjustment Code: ADJ Difference: 20",
    };
    EXPECT_EQ(Lines(run.out), expected);

    // The same through the binary, its output going to a file.
    const lumtest::TempDir files;
    const Outcome binary = RunBinary(std::string(PAYXREF_BIN) + " search '" + practice.path() + "'", files);
    EXPECT_EQ(binary.code, 1);
    EXPECT_EQ(binary.err, run.err);
    EXPECT_EQ(Lines(binary.out), expected);
}

TEST(HeadlessSearch, WithoutARecordedPracticeItSaysHowToRecordOne) {
    const std::string message =
        "payxref: no practice folder is recorded for this user. Record one with 'payxref-db use FOLDER', "
        "or name it: 'payxref search FOLDER'.\n";
    struct Case {
        const char* store;
        std::function<void(const fs::path&)> make;
    };
    const Case cases[] = {
        {"missing", [](const fs::path&) {}},
        {"a folder", [](const fs::path& store) { fs::create_directories(store); }},
        {"garbage",
         [](const fs::path& store) {
             fs::create_directories(store.parent_path());
             std::ofstream(store, std::ios::binary) << std::string("\xff\xfe\x00\x01garbage\x80\x81", 12);
         }},
        {"without the value",
         [](const fs::path& store) {
             fs::create_directories(store.parent_path());
             std::ofstream(store, std::ios::binary) << "Windows Registry Editor Version 5.00\r\n\r\n"
                                                       "[HKEY_CURRENT_USER\\Software\\Orvanta]\r\n"
                                                       "\"Previous Practice\"=\"/srv/old\"\r\n";
         }},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.store);
        const ConfigHome home;
        test.make(home.Store());
        const Outcome run = Search({});
        EXPECT_EQ(run.code, 1);
        EXPECT_EQ(run.err, message);
        EXPECT_EQ(run.out, "");
    }
}

TEST(HeadlessSearch, ARecordedPracticeIsSearched) {
    const ConfigHome home;
    lumtest::TempDir practice;
    lumtest::BuildPractice(practice, {{1, "I", 100.0, "SMI00001", 7, kMarch15_2011, "PAYCASH"}}, {{1, 1, 50.0}});
    app::RecordCurrentPractice(practice.path());
    const Outcome run = Search({});
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(run.code, 0);
    EXPECT_EQ(Lines(run.out).at(0), practice.path() + "/ZTDDF.LDD");
    EXPECT_EQ(Lines(run.out).size(), 3u);
}

TEST(HeadlessSearch, AFlippedIndexPageEndsInTheListingOrAMessageNeverASignal) {
    lumtest::TempDir dir;
    const std::string practice = dir.path("P");
    const std::string search = std::string(PAYXREF_BIN) + " search '" + practice + "'";
    ASSERT_EQ(RunBinary(std::string(PAYXREF_DB_BIN) + " demo '" + practice + "' --transactions 2000", dir).code, 0);
    const Outcome intact = RunBinary(search, dir);
    ASSERT_EQ(intact.code, 0) << intact.err;

    {
        std::fstream table(practice + "/ZTTRN.LDT", std::ios::in | std::ios::out | std::ios::binary);
        table.seekg(98304);
        const char byte = static_cast<char>(table.get());
        table.seekp(98304);
        table.put(static_cast<char>(~byte));
    }
    const Outcome damaged = RunBinary(search, dir);
    ASSERT_TRUE(damaged.code == 0 || damaged.code == 1) << damaged.code << " " << damaged.err;
    if (damaged.code == 0) {
        EXPECT_EQ(damaged.out, intact.out);
        EXPECT_EQ(damaged.err, "");
    } else {
        // The lines before the failure, whole, and the message.
        EXPECT_EQ(damaged.out, intact.out.substr(0, damaged.out.size()));
        EXPECT_TRUE(damaged.out.empty() || damaged.out.back() == '\n');
        EXPECT_EQ(damaged.err.rfind("payxref: ", 0), 0u) << damaged.err;
    }
}

}  // namespace
