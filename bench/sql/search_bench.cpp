// Time of the payment search's statement on a demo practice: through the
// engine (prepare, execute, count, walk the static cursor) and, beside it,
// the same translated statement on the table files with SQLite alone.
//
// PAYXREF_BENCH_PRACTICE=FOLDER uses an existing practice (for example one
// made by `payxref-db demo FOLDER --transactions 1000000`); otherwise a demo
// practice of PAYXREF_BENCH_TRANSACTIONS (default 20000) transactions is
// built in a temporary folder first.
#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "bench/sql/bench_practice.h"
#include "data/engine/lce32.h"
#include "engine/sql/functions.h"
#include "engine/sql/translate.h"
#include "search/search_query.h"
#include "tools/commands.h"

namespace {

namespace fs = std::filesystem;

std::string SearchText() {
    std::string text;
    for (const std::string& line : app::SearchQueryLines()) text += line + "\r\n";
    return text;
}

const fs::path& Practice() {
    static const fs::path folder = bench_practice::Practice("payxref_search_bench");
    return folder;
}

void Check(UNSIGNED32 code, const char* what) {
    if (code == 0) return;
    UNSIGNED32 error = 0;
    char text[600] = {};
    UNSIGNED16 length = sizeof text;
    LumGetLastError(&error, text, &length);
    throw std::runtime_error(std::string(what) + " failed: " + std::to_string(code) + " " + text);
}

void BM_SearchThroughEngine(benchmark::State& state) {
    LUMHANDLE connection = 0;
    Check(
        LumConnect60((Practice() / "ZTDDF.LDD").string().c_str(), LUM_LOCAL_SERVER, "user", "brindlex", 0, &connection),
        "LumConnect60");
    const std::string text = SearchText();
    UNSIGNED32 rows = 0;
    for (auto _ : state) {
        LUMHANDLE statement = 0;
        LUMHANDLE cursor = 0;
        Check(LumCreateSQLStatement(connection, &statement), "LumCreateSQLStatement");
        Check(LumPrepareSQL(statement, text.c_str()), "LumPrepareSQL");
        Check(LumExecuteSQL(statement, &cursor), "LumExecuteSQL");
        Check(LumGetRecordCount(cursor, 3, &rows), "LumGetRecordCount");
        if (state.range(0) != 0) {  // walk every row as the search does
            std::vector<UNSIGNED8> record(4096);
            UNSIGNED16 eof = 0;
            Check(LumGotoTop(cursor), "LumGotoTop");
            while (LumAtEOF(cursor, &eof) == 0 && eof == 0) {
                UNSIGNED32 length = static_cast<UNSIGNED32>(record.size());
                Check(LumGetRecord(cursor, record.data(), &length), "LumGetRecord");
                Check(LumSkip(cursor, 1), "LumSkip");
            }
        }
        Check(LumCloseTable(cursor), "LumCloseTable");
        Check(LumCloseSQLStatement(statement), "LumCloseSQLStatement");
    }
    LumDisconnect(connection);
    state.counters["rows"] = rows;
}
BENCHMARK(BM_SearchThroughEngine)->Arg(0)->Arg(1)->ArgNames({"walk"})->Unit(benchmark::kMillisecond);

struct CloseDb {
    void operator()(sqlite3* db) const { sqlite3_close(db); }
};

void Exec(sqlite3* db, const std::string& sql) {
    if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr) != SQLITE_OK) {
        throw std::runtime_error(std::string(sqlite3_errmsg(db)) + " in " + sql);
    }
}

// The translated statement over the files' rows with SQLite alone: the floor
// that the engine's own work adds to.
void BM_SearchWithSqliteAlone(benchmark::State& state) {
    sqlite3* raw = nullptr;
    sqlite3_open_v2(":memory:", &raw, SQLITE_OPEN_READWRITE, nullptr);
    const std::unique_ptr<sqlite3, CloseDb> db(raw);
    lce::sql::RegisterPracticeFunctions(db.get());
    for (const char* table : {"ZTTRN", "ZTPAX"}) {
        const std::string file = (Practice() / (std::string(table) + ".LDT")).string();
        Exec(db.get(), "ATTACH 'file:" + file + "?mode=ro' AS s" + table);
        Exec(db.get(), std::string("CREATE TEMP VIEW \"") + table + "\" AS SELECT * FROM s" + table + ".records");
    }
    const std::string sql = lce::sql::Translate(SearchText()).sql;
    std::int64_t rows = 0;
    for (auto _ : state) {
        sqlite3_stmt* stmt = nullptr;
        if (sqlite3_prepare_v2(db.get(), sql.c_str(), -1, &stmt, nullptr) != SQLITE_OK) {
            state.SkipWithError(sqlite3_errmsg(db.get()));
            break;
        }
        rows = 0;
        while (sqlite3_step(stmt) == SQLITE_ROW) ++rows;
        sqlite3_finalize(stmt);
    }
    state.counters["rows"] = static_cast<double>(rows);
}
BENCHMARK(BM_SearchWithSqliteAlone)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
