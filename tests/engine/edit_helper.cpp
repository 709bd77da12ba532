// A second program for the tests of writes from two processes: another
// user of the engine editing the same table.
//   lock DIR TABLE RECNO       locks the record, prints "locked PID", waits for DIR/release
//   lock-table DIR TABLE       locks the table, prints "locked PID", waits for DIR/release
//   exclusive DIR TABLE        opens the table exclusively, prints "locked PID", waits for DIR/release
//   edit DIR TABLE RECNO FIELD TEXT   writes TEXT into the field, prints "written" or "error CODE"
// It waits for the release file at most 20 s, so a failed test cannot leave it behind.
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>

#include "data/engine/lce32.h"

namespace {

LUMHANDLE connectTo(const std::string& dir) {
    LUMHANDLE conn = 0;
    if (LumConnect60(dir.c_str(), 3, nullptr, nullptr, 0, &conn) != 0) std::exit(2);
    return conn;
}

LUMHANDLE openTable(LUMHANDLE conn, const std::string& name, UNSIGNED32 options) {
    LUMHANDLE table = 0;
    const UNSIGNED32 rc = LumOpenTable90(conn, name.c_str(), nullptr, 0, 1, 1, 1, options, "", &table);
    if (rc != 0) {
        std::printf("error %u\n", rc);
        std::exit(3);
    }
    return table;
}

void report(UNSIGNED32 rc, const char* done) {
    if (rc == 0)
        std::printf("%s %d\n", done, static_cast<int>(::getpid()));
    else
        std::printf("error %u\n", rc);
    std::fflush(stdout);
}

void waitForRelease(const std::string& dir) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!std::filesystem::exists(dir + "/release") && std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 4) return 2;
    const std::string mode = argv[1], dir = argv[2], table = argv[3];
    const LUMHANDLE conn = connectTo(dir);
    if (mode == "exclusive") {
        const LUMHANDLE t = openTable(conn, table, 1);
        report(0, "locked");
        waitForRelease(dir);
        LumCloseTable(t);
    } else if (mode == "lock-table") {
        const LUMHANDLE t = openTable(conn, table, 0);
        report(LumLockTable(t), "locked");
        waitForRelease(dir);
    } else if (mode == "lock" && argc >= 5) {
        const LUMHANDLE t = openTable(conn, table, 0);
        report(LumLockRecord(t, static_cast<UNSIGNED32>(std::atoi(argv[4]))), "locked");
        waitForRelease(dir);
    } else if (mode == "edit" && argc >= 7) {
        const LUMHANDLE t = openTable(conn, table, 0);
        UNSIGNED32 rc = LumGotoRecord(t, static_cast<UNSIGNED32>(std::atoi(argv[4])));
        const std::string text = argv[6];
        if (rc == 0)
            rc = LumSetField(t, argv[5], reinterpret_cast<const UNSIGNED8*>(text.c_str()),
                             static_cast<UNSIGNED32>(text.size()));
        if (rc == 0) rc = LumWriteRecord(t);
        if (rc != 0) LumCancelUpdate(t);
        report(rc, "written");
    } else {
        return 2;
    }
    LumDisconnect(conn);
    return 0;
}
