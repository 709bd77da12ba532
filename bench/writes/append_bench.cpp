// Cost of appending records to a table that holds some already, by the two
// roads: the builder (what payxref-db import uses) and the engine's record
// editing (LumAppendRecord, the setters, LumWriteRecord) in one transaction.
// Each run appends kAppended records to a fresh copy of a table of kBase;
// and the cost of an SQL UPDATE of all kBase records of such a copy.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <string>

#include "data/engine/lce32.h"
#include "engine/lce_builder.h"

namespace {

constexpr int kBase = 100000;
constexpr int kAppended = 20000;

std::string folder() { return (std::filesystem::temp_directory_path() / "lce-append-bench").string(); }

lce::TableSchema schema() {
    lce::TableSchema s;
    auto column = [](const char* name, std::uint16_t type, std::uint32_t length = 0) {
        lce::ColumnDef c;
        c.name = name;
        c.type = type;
        c.length = length;
        return c;
    };
    s.columns = {column("Entry Number", 15), column("Chart Number", 4, 8), column("Date From", 3), column("Amount", 10),
                 column("Procedure Code", 4, 10)};
    lce::IndexDef entry, chart;
    entry.name = "IDXENTRY";
    entry.fields = {"Entry Number"};
    entry.unique = true;
    chart.name = "IDXCHART";
    chart.fields = {"Chart Number"};
    s.indexes = {entry, chart};
    return s;
}

lce::Row row(int i) {
    return {lce::Value::null(), lce::Value::ofText("C" + std::to_string(i % 5000)),
            lce::Value::ofDate(2450000 + i % 3000), lce::Value::ofDouble(i * 0.25), lce::Value::ofText("99213")};
}

// The table of kBase records, built once; each run works on a copy.
const std::string& baseTable() {
    static const std::string path = [] {
        std::filesystem::create_directories(folder());
        const std::string p = folder() + "/BASE.LDT";
        std::filesystem::remove(p);
        auto t = lce::TableFile::create(p, schema());
        lce::TableFile::Transaction tx(t);
        for (int i = 0; i < kBase; ++i) t.append(row(i));
        tx.commit();
        return p;
    }();
    return path;
}

std::string freshCopy() {
    const std::string copy = folder() + "/T.LDT";
    std::filesystem::remove(copy);
    std::filesystem::remove(copy + ".lck");
    std::filesystem::copy_file(baseTable(), copy);
    return copy;
}

void BuilderAppend(benchmark::State& state) {
    for (auto _ : state) {
        state.PauseTiming();
        const std::string path = freshCopy();
        state.ResumeTiming();
        auto t = lce::TableFile::openForAppend(path);
        lce::TableFile::Transaction tx(t);
        for (int i = 0; i < kAppended; ++i) t.append(row(kBase + i));
        tx.commit();
    }
    state.SetItemsProcessed(state.iterations() * kAppended);
}

void setText(LUMHANDLE t, const char* field, const std::string& v) {
    LumSetField(t, field, reinterpret_cast<const UNSIGNED8*>(v.data()), static_cast<UNSIGNED32>(v.size()));
}

void EngineAppend(benchmark::State& state) {
    for (auto _ : state) {
        state.PauseTiming();
        freshCopy();
        state.ResumeTiming();
        LUMHANDLE conn = 0, t = 0;
        LumConnect60(folder().c_str(), 1, nullptr, nullptr, 0, &conn);
        if (LumOpenTable90(conn, "T.LDT", nullptr, 3, 1, 1, 1, 0, "", &t) != 0) state.SkipWithError("open failed");
        LumBeginTransaction(conn);
        for (int i = 0; i < kAppended; ++i) {
            const int n = kBase + i;
            LumAppendRecord(t);
            setText(t, "Chart Number", "C" + std::to_string(n % 5000));
            LumSetJulian(t, "Date From", 2450000 + n % 3000);
            LumSetDouble(t, "Amount", n * 0.25);
            setText(t, "Procedure Code", "99213");
            if (LumWriteRecord(t) != 0) state.SkipWithError("write failed");
        }
        LumCommitTransaction(conn);
        LumCloseTable(t);
        LumDisconnect(conn);
    }
    state.SetItemsProcessed(state.iterations() * kAppended);
}

// An SQL UPDATE of every record: the statement, then images and keys of all.
void SqlUpdateAll(benchmark::State& state) {
    for (auto _ : state) {
        state.PauseTiming();
        freshCopy();
        state.ResumeTiming();
        LUMHANDLE conn = 0, stmt = 0, none = 0;
        LumConnect60(folder().c_str(), 1, nullptr, nullptr, 0, &conn);
        LumCreateSQLStatement(conn, &stmt);
        if (LumExecuteSQLDirect(stmt, "UPDATE T SET [Amount] = [Amount] + 1, [Chart Number] = 'X'", &none) != 0)
            state.SkipWithError("update failed");
        LumDisconnect(conn);
    }
    state.SetItemsProcessed(state.iterations() * kBase);
}

BENCHMARK(BuilderAppend)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(EngineAppend)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(SqlUpdateAll)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

BENCHMARK_MAIN();
