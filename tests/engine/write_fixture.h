// Helpers of the engine's write tests: the check that a table file's three
// tables agree (field columns, images, index keys) and the second process
// that edits the same table (lce_test_editor, path in LCE_TEST_EDITOR).
#pragma once

#include <gtest/gtest.h>
#include <signal.h>
#include <sqlite3.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "tests/engine/fixture.h"
#include "tests/engine/second_process.h"

namespace lcetest {

// Every row of an SQL query on a table file, each cell as its type and bytes.
inline std::vector<std::string> storedRows(const std::string& file, const std::string& sql) {
    sqlite3* db = nullptr;
    std::vector<std::string> rows;
    if (sqlite3_open_v2(("file:" + file + "?mode=ro").c_str(), &db, SQLITE_OPEN_READONLY | SQLITE_OPEN_URI, nullptr) !=
        SQLITE_OK) {
        ADD_FAILURE() << "cannot read " << file;
        sqlite3_close(db);
        return rows;
    }
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(db, sql.c_str(), -1, &st, nullptr) != SQLITE_OK) {
        ADD_FAILURE() << sqlite3_errmsg(db) << " in " << sql;
    } else {
        while (sqlite3_step(st) == SQLITE_ROW) {
            std::string row;
            for (int c = 0; c < sqlite3_column_count(st); ++c) {
                const std::string name = sqlite3_column_name(st, c);
                if (name == "__recno") continue;
                const auto* p = static_cast<const char*>(sqlite3_column_blob(st, c));
                row += std::to_string(sqlite3_column_type(st, c)) + ":" +
                       std::string(p ? p : "", static_cast<std::size_t>(sqlite3_column_bytes(st, c))) + "|";
            }
            rows.push_back(row);
        }
    }
    sqlite3_finalize(st);
    sqlite3_close(db);
    return rows;
}

inline std::int64_t storedCount(const std::string& file, const std::string& table) {
    const auto rows = storedRows(file, "SELECT count(*) FROM " + table);
    return rows.empty() ? -1 : std::stoll(rows.front().substr(2, rows.front().size() - 3));
}

// The table's field columns and index keys are exactly what the builder
// writes for the records its images hold: a second table is built from the
// decoded images and the two compared record by record.
inline void expectConsistent(const std::string& file) {
    SCOPED_TRACE("consistency of " + file);
    std::vector<lce::Row> rows;
    lce::TableSchema schema;
    {
        auto stored = lce::TableFile::openForReading(file);
        schema = stored.schema();
        stored.forEachRow([&](std::int64_t, const lce::Row& row) {
            rows.push_back(row);
            return true;
        });
    }
    EXPECT_EQ(storedCount(file, "records"), static_cast<std::int64_t>(rows.size()));
    TempDir scratch;
    {
        auto rebuilt = lce::TableFile::create(scratch.path("R.LDT"), schema);
        for (const lce::Row& row : rows) rebuilt.append(row);
    }
    const std::string all = schema.indexes.empty()
                                ? "SELECT * FROM records ORDER BY __recno"
                                : "SELECT r.*, k.* FROM records r LEFT JOIN lce_keys k ON k.__recno = r.__recno "
                                  "ORDER BY r.__recno";
    EXPECT_EQ(storedRows(file, all), storedRows(scratch.path("R.LDT"), all));
    if (!schema.indexes.empty()) {
        EXPECT_EQ(storedCount(file, "lce_keys"), static_cast<std::int64_t>(rows.size()));
    }
}

// The other process (edit_helper.cpp): started with its arguments, its first
// line read; it ends when the folder's release file appears, or is killed.
class Editor {
public:
    Editor(const std::string& mode, const std::string& dir, const std::string& args) : dir_(dir) {
        const std::string cmd =
            shellQuoted(LCE_TEST_EDITOR) + " " + mode + " " + shellQuoted(dir) + " " + args + " 2>&1";
        pipe_ = popen(cmd.c_str(), "r");
        char line[128] = {};
        if (pipe_ && std::fgets(line, sizeof line, pipe_)) line_ = line;
        const auto space = line_.find(' ');
        if (line_.rfind("locked ", 0) == 0) pid_ = std::atoi(line_.c_str() + space + 1);
    }
    Editor(const Editor&) = delete;
    Editor& operator=(const Editor&) = delete;
    ~Editor() { finish(); }
    const std::string& line() const { return line_; }
    bool locked() const { return pid_ > 0; }
    void release() {
        std::ofstream(dir_ + "/release").put('x');
        finish();
        std::remove((dir_ + "/release").c_str());
    }
    void kill() {
        if (pid_ > 0) ::kill(pid_, SIGKILL);
        finish();
    }

private:
    void finish() {
        if (!pipe_) return;
        std::ofstream(dir_ + "/release").put('x');
        pclose(pipe_);
        pipe_ = nullptr;
        std::remove((dir_ + "/release").c_str());
    }
    std::string dir_;
    FILE* pipe_ = nullptr;
    std::string line_;
    int pid_ = 0;
};

}  // namespace lcetest
