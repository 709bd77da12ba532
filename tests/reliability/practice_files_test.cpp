// The search run as a user runs it (payxref search FOLDER) on a demo
// practice that another program is writing, or that was left damaged or
// half written: it lists everything or ends with exit 1 and a message of
// its own that says what to do, never by a signal, and leaves every file
// of the practice folder as it was.
#include <fcntl.h>
#include <spawn.h>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <sstream>

#include "tests/engine/second_process.h"

extern char** environ;

using namespace lcetest;
namespace fs = std::filesystem;

namespace {

struct Ran {
    bool signalled = false;
    int exitCode = -1;
    std::string out, err;
};

std::string readFile(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

// Runs a program with stdout and stderr to files; extraEnv ("NAME=value")
// is added to this process's environment.
Ran runProgram(const std::vector<std::string>& args, const fs::path& scratch,
               const std::vector<std::string>& extraEnv = {}) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    const std::string outPath = (scratch / "stdout").string(), errPath = (scratch / "stderr").string();
    posix_spawn_file_actions_addopen(&actions, 1, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    std::vector<char*> argv;
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    std::vector<std::string> envText(extraEnv);
    envText.push_back("XDG_CONFIG_HOME=" + (scratch / "config").string());
    envText.push_back("QT_QPA_PLATFORM=offscreen");
    std::vector<char*> env;
    for (std::string& e : envText) env.push_back(e.data());
    for (char** e = environ; *e; ++e) env.push_back(*e);
    env.push_back(nullptr);
    pid_t pid = 0;
    Ran run;
    const int rc = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), env.data());
    posix_spawn_file_actions_destroy(&actions);
    EXPECT_EQ(rc, 0) << "cannot start " << args[0];
    if (rc != 0) return run;
    int status = 0;
    waitpid(pid, &status, 0);
    run.signalled = WIFSIGNALED(status);
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.out = readFile(outPath);
    run.err = readFile(errPath);
    return run;
}

void sql(const fs::path& file, const std::string& statement) {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(file.c_str(), &db), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(db, statement.c_str(), nullptr, nullptr, nullptr), SQLITE_OK) << sqlite3_errmsg(db);
    sqlite3_close(db);
}

void writeBytes(const fs::path& file, std::streamoff at, const std::string& bytes) {
    std::fstream f(file, std::ios::in | std::ios::out | std::ios::binary);
    f.seekp(at);
    f.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// One demo practice made once; every test works on a fresh copy of it at
// the same path, so listings compare byte for byte.
class PracticeFiles : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        std::random_device rd;
        root_ = new fs::path(fs::temp_directory_path() / ("payxref-reliability-" + std::to_string(rd())));
        fs::create_directories(*root_ / "config");
        const Ran made =
            runProgram({PAYXREF_DB_BIN, "demo", (*root_ / "template").string(), "--transactions", "2000"}, *root_);
        ASSERT_EQ(made.exitCode, 0) << made.err;
        fresh();
        const Ran ref = search();
        ASSERT_EQ(ref.exitCode, 0) << ref.err;
        reference_ = new std::string(ref.out);
        ASSERT_NE(reference_->find("Chart: "), std::string::npos) << *reference_;
    }
    static void TearDownTestSuite() {
        std::error_code ec;
        fs::permissions(practice(), fs::perms::owner_all, fs::perm_options::add, ec);
        fs::remove_all(*root_, ec);
        delete root_;
        delete reference_;
    }

    static fs::path practice() { return *root_ / "practice"; }
    static void fresh() {
        std::error_code ec;
        fs::permissions(practice(), fs::perms::owner_all, fs::perm_options::add, ec);
        fs::remove_all(practice());
        fs::copy(*root_ / "template", practice());
    }
    static Ran search(const std::vector<std::string>& env = {}) {
        return runProgram({PAYXREF_BIN, "search", practice().string()}, *root_, env);
    }
    static const std::string& reference() { return *reference_; }

    // The listing of a run that failed: what it wrote is the start of the
    // full listing (lines listed before the failure reach the output).
    static void expectStartOfListing(const Ran& run) {
        EXPECT_EQ(reference().compare(0, run.out.size(), run.out), 0) << run.out;
    }

private:
    static fs::path* root_;
    static std::string* reference_;
};

fs::path* PracticeFiles::root_ = nullptr;
std::string* PracticeFiles::reference_ = nullptr;

TEST_F(PracticeFiles, ALockHeldBeforeAndDuringTheSearchIsWaitedFor) {
    for (const char* file : {"ZTTRN.LDT", "ZTPAX.LDT", "ZTDDF.LDD"}) {
        SCOPED_TRACE(file);
        fresh();
        LockHolder lock((practice() / file).string(), 1000);
        ASSERT_TRUE(lock.locked());
        const Ran run = search();
        EXPECT_FALSE(run.signalled);
        EXPECT_EQ(run.exitCode, 0) << run.err;
        EXPECT_EQ(run.out, reference());
        EXPECT_EQ(run.err, "");
    }
}

TEST_F(PracticeFiles, ALockHeldPastTheWaitEndsTheSearchWithTheLockMessage) {
    for (const char* file : {"ZTTRN.LDT", "ZTDDF.LDD"}) {
        SCOPED_TRACE(file);
        fresh();
        LockHolder lock((practice() / file).string(), 1500);
        ASSERT_TRUE(lock.locked());
        const Ran run = search({"LCE_LOCK_WAIT_MS=300"});
        EXPECT_FALSE(run.signalled);
        EXPECT_EQ(run.exitCode, 1);
        EXPECT_NE(run.err.find(std::string(file) + " is locked by another program (waited 0.3 s); try again"),
                  std::string::npos)
            << run.err;
        EXPECT_EQ(run.err.find("damaged"), std::string::npos) << run.err;
        EXPECT_EQ(run.err.find("not a data dictionary"), std::string::npos) << run.err;
        expectStartOfListing(run);
    }
}

TEST_F(PracticeFiles, DamagedOrHalfWrittenPracticesEndInTheListingOrTheirMessage) {
    const fs::path trn = practice() / "ZTTRN.LDT";
    const std::string recover = "Open the practice once in its own software";
    struct Case {
        const char* what;
        std::function<void()> harm;
        std::vector<std::string> mentions;  // none: the full listing, exit 0
        // Damage in a page the search never reads may go unnoticed: then the
        // listing must be whole.
        bool mayGoUnread = false;
    };
    const Case cases[] = {
        {"cut in half", [&] { fs::resize_file(trn, fs::file_size(trn) / 2); }, {"ZTTRN.LDT is damaged", "backup"}},
        {"one byte of an index page flipped",
         [&] { writeBytes(trn, 98304, "\xff"); },
         {"ZTTRN.LDT is damaged", "backup"},
         true},
        {"stored images of the later records deleted",
         [&] { sql(trn, "DELETE FROM lce_images WHERE __recno > (SELECT max(__recno) * 3 / 4 FROM lce_images)"); },
         {"ZTTRN.LDT is damaged: its stored image is missing", "Record "}},
        {"index keys deleted",
         [&] { sql(trn, "DELETE FROM lce_keys WHERE __recno % 50 = 7"); },
         {"ZTTRN.LDT is damaged: it holds 2000 records but index keys for 1960"}},
        {"a field's catalog row deleted",
         [&] { sql(trn, "DELETE FROM lce_columns WHERE no = 122"); },
         {"ZTTRN.LDT is damaged: its catalog of fields does not match its records"}},
        {"a hot journal beside ZTTRN.LDT",
         [&] { runWriter("stop-mid-write", trn.string()); },
         {"ZTTRN.LDT was left mid-write", "ZTTRN.LDT-journal", recover}},
        {"a write-ahead log beside ZTTRN.LDT without its -shm",
         [&] { std::ofstream(trn.string() + "-wal", std::ios::binary) << std::string(4096, 'w'); },
         {"ZTTRN.LDT was left mid-write", "ZTTRN.LDT-wal", recover}},
        {"an empty write-ahead log beside ZTTRN.LDT", [&] { std::ofstream(trn.string() + "-wal"); }, {}},
        {"an empty journal beside ZTTRN.LDT", [&] { std::ofstream(trn.string() + "-journal"); }, {}},
        {"a stray -shm beside ZTTRN.LDT",
         [&] { std::ofstream(trn.string() + "-shm", std::ios::binary) << std::string(32768, '\0'); },
         {}},
        {"a write-ahead log and its -shm left by a writer", [&] { runWriter("stop-mid-wal", trn.string()); }, {}},
        {"the table file missing",
         [&] { fs::remove(trn); },
         {"ZTTRN.LDT not found", "check that the folder holds the whole practice's database"}},
        {"a read-only folder",
         [&] {
             fs::permissions(practice(), fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                             fs::perm_options::remove);
         },
         {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        fresh();
        c.harm();
        const auto before = snapshot(practice().string());
        const Ran run = search();
        EXPECT_FALSE(run.signalled) << run.err;
        if (c.mentions.empty() || (c.mayGoUnread && run.exitCode == 0)) {
            EXPECT_EQ(run.exitCode, 0) << run.err;
            EXPECT_EQ(run.out, reference());
        } else {
            EXPECT_EQ(run.exitCode, 1) << run.err;
            for (const std::string& m : c.mentions) EXPECT_NE(run.err.find(m), std::string::npos) << run.err;
            EXPECT_EQ(run.err.find("terminate called"), std::string::npos) << run.err;
            expectStartOfListing(run);
        }
        const auto after = snapshot(practice().string());
        EXPECT_EQ(fileNames(after), fileNames(before));
        EXPECT_TRUE(after == before) << "a file of the practice folder changed";
    }
}

// A table in write-ahead-log mode that no program has open: read as it is
// where reading creates nothing (a folder that takes no files), else
// refused with what to do; never called damaged, never a file left behind.
TEST_F(PracticeFiles, AWriteAheadLogTableIsNeverCalledDamaged) {
    fresh();
    ASSERT_TRUE(runWriter("wal-mode", (practice() / "ZTTRN.LDT").string()));
    fs::permissions(practice(), fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::remove);
    const bool readOnlyFolder = ::access(practice().c_str(), W_OK) != 0;  // a folder root may always write
    const auto before = snapshot(practice().string());
    const Ran run = search();
    EXPECT_FALSE(run.signalled);
    EXPECT_EQ(run.err.find("damaged"), std::string::npos) << run.err;
    if (readOnlyFolder) {
        EXPECT_EQ(run.exitCode, 0) << run.err;
        EXPECT_EQ(run.out, reference());
    } else {
        EXPECT_EQ(run.exitCode, 1);
        EXPECT_NE(run.err.find("ZTTRN.LDT is kept in write-ahead-log mode"), std::string::npos) << run.err;
    }
    EXPECT_TRUE(snapshot(practice().string()) == before) << fileNames(snapshot(practice().string()));
}

}  // namespace
