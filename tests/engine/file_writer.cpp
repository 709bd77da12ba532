// A second program for the tests of files in use: it plays the practice's
// own software writing a table, holding its lock for a while or stopping
// in the middle of a write, so the engine meets real locks and real
// leftovers of another process.
//   lock FILE MS        takes the exclusive lock, prints "locked", holds it MS ms
//   stop-mid-write FILE  dies inside a write: a hot rollback journal stays
//   stop-mid-wal FILE    commits in write-ahead-log mode and dies: -wal and -shm stay
//   wal-mode FILE        switches the file to write-ahead-log mode and closes it
//   try-lock FILE        takes the exclusive lock at once and lets it go: exit 0,
//                        or 3 when another program holds the file
#include <sqlite3.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

namespace {

sqlite3* openFile(const char* path) {
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(path, &db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) {
        std::fprintf(stderr, "cannot open %s\n", path);
        std::exit(2);
    }
    sqlite3_busy_timeout(db, 10000);
    return db;
}

void run(sqlite3* db, const char* sql) {
    char* err = nullptr;
    if (sqlite3_exec(db, sql, nullptr, nullptr, &err) != SQLITE_OK) {
        std::fprintf(stderr, "%s: %s\n", sql, err ? err : "?");
        std::exit(2);
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) return 2;
    const std::string mode = argv[1];
    sqlite3* db = openFile(argv[2]);
    if (mode == "lock" && argc == 4) {
        run(db, "BEGIN EXCLUSIVE");
        std::printf("locked\n");
        std::fflush(stdout);
        std::this_thread::sleep_for(std::chrono::milliseconds(std::atoi(argv[3])));
        run(db, "COMMIT");
    } else if (mode == "stop-mid-write") {
        // A one-page cache spills the changed pages into the file itself, which
        // leaves the journal hot (also for a small table: the rows grow).
        run(db, "PRAGMA cache_size=1; BEGIN; UPDATE lce_images SET __rec = __rec || zeroblob(20000)");
        _exit(0);
    } else if (mode == "stop-mid-wal") {
        run(db, "PRAGMA journal_mode=WAL; PRAGMA wal_autocheckpoint=0; CREATE TABLE lce_test_mark(x)");
        _exit(0);
    } else if (mode == "wal-mode") {
        run(db, "PRAGMA journal_mode=WAL");
    } else if (mode == "try-lock") {
        sqlite3_busy_timeout(db, 0);
        const bool locked = sqlite3_exec(db, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr) == SQLITE_OK;
        if (locked) run(db, "ROLLBACK");
        sqlite3_close(db);
        return locked ? 0 : 3;
    } else {
        return 2;
    }
    sqlite3_close(db);
    return 0;
}
