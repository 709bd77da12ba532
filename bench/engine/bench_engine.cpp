// Speed of the engine on a transaction table of 1 000 000 records with the
// practice's 122-field layout: a scoped lookup by entry number and a full
// scan in entry-number order. The table is built on the first run and kept
// in the build folder (LCE_BENCH_ROWS changes the size).
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "data/engine/lce32.h"
#include "engine/lce_builder.h"

namespace {

struct FieldLayout {
    const char* name;
    std::uint16_t type;
    std::uint32_t length;
};
const FieldLayout kFields[] = {
    {"Chart Number", 4, 8},
    {"Case Number", 11, 0},
    {"Entry Number", 15, 0},
    {"Claim Number", 11, 0},
    {"Date From", 3, 0},
    {"Date To", 3, 0},
    {"Document Number", 4, 10},
    {"Description", 4, 30},
    {"Attending Provider", 4, 5},
    {"Procedure Code", 4, 10},
    {"Transaction Type", 4, 1},
    {"Insurance Category", 4, 1},
    {"Modifier 1", 4, 2},
    {"Modifier 2", 4, 2},
    {"Modifier 3", 4, 2},
    {"Modifier 4", 4, 2},
    {"Place of Service", 4, 2},
    {"Type of Service", 4, 3},
    {"Visit Number", 10, 0},
    {"Visit Total in Series", 10, 0},
    {"Visit Series ID", 4, 1},
    {"Units", 10, 0},
    {"Minutes", 10, 0},
    {"Amount", 10, 0},
    {"Price Indicator", 4, 1},
    {"Diagnosis 1", 1, 0},
    {"Diagnosis 2", 1, 0},
    {"Diagnosis 3", 1, 0},
    {"Diagnosis 4", 1, 0},
    {"Claim Item Rejected", 1, 0},
    {"Accept Assignment 1", 1, 0},
    {"Accept Assignment 2", 1, 0},
    {"Accept Assignment 3", 1, 0},
    {"Date Created", 3, 0},
    {"Date of First Statement", 3, 0},
    {"Date of Second Statement", 3, 0},
    {"Date of Last Statement", 3, 0},
    {"Billed to Insured 1", 1, 0},
    {"Billed to Insured 2", 1, 0},
    {"Billed to Insured 3", 1, 0},
    {"Guarantor Paid", 1, 0},
    {"Insurance 1 Paid", 1, 0},
    {"Insurance 2 Paid", 1, 0},
    {"Insurance 3 Paid", 1, 0},
    {"Guarantor Amount Paid", 10, 0},
    {"Insurance 1 Amount Paid", 10, 0},
    {"Insurance 2 Amount Paid", 10, 0},
    {"Insurance 3 Amount Paid", 10, 0},
    {"Guarantor Responsible", 1, 0},
    {"Insurance 1 Responsible", 1, 0},
    {"Insurance 2 Responsible", 1, 0},
    {"Insurance 3 Responsible", 1, 0},
    {"Who Paid", 4, 1},
    {"Documentation Type", 4, 1},
    {"Documentation", 5, 0},
    {"Attorney Paid", 1, 0},
    {"Attorney Amount Paid", 10, 0},
    {"Attorney Responsible", 1, 0},
    {"Adjustment Amount", 10, 0},
    {"User Code", 4, 10},
    {"Allowed Amount", 10, 0},
    {"Diagnosis Code 1", 4, 10},
    {"Diagnosis Code 2", 4, 10},
    {"Diagnosis Code 3", 4, 10},
    {"Diagnosis Code 4", 4, 10},
    {"CC Entry Number", 11, 0},
    {"Tooth Number", 4, 2},
    {"Tooth Surface", 4, 10},
    {"Mouth Quadrant", 4, 12},
    {"Deposit ID", 11, 0},
    {"Check Number", 4, 15},
    {"Unapplied Amount", 17, 0},
    {"Date Modified", 14, 0},
    {"Facility", 4, 5},
    {"Procedure Description", 4, 40},
    {"Diagnosis 1 Description", 4, 40},
    {"Diagnosis 2 Description", 4, 40},
    {"Diagnosis 3 Description", 4, 40},
    {"Diagnosis 4 Description", 4, 40},
    {"Statement Number", 11, 0},
    {"Claim Rejection Code", 4, 6},
    {"Copay_Status_Code", 4, 1},
    {"Quantity_Qualifier", 4, 2},
    {"Quantity", 11, 0},
    {"Copayment_Required", 1, 0},
    {"Copayment_Paid", 1, 0},
    {"Copayment_Expected_Amount", 18, 0},
    {"Copayment_Amount_Paid", 18, 0},
    {"Primary_RunID", 4, 38},
    {"Secondary_RunID", 4, 38},
    {"Tertiary_RunID", 4, 38},
    {"Principal_Procedure", 1, 0},
    {"Diagnosis_Code5", 4, 10},
    {"Diagnosis_Code6", 4, 10},
    {"Diagnosis_Code7", 4, 10},
    {"Diagnosis_Code8", 4, 10},
    {"Diagnosis_5", 1, 0},
    {"Diagnosis_6", 1, 0},
    {"Diagnosis_7", 1, 0},
    {"Diagnosis_8", 1, 0},
    {"UB04_Box49", 4, 2},
    {"Diagnosis_5_Description", 4, 40},
    {"Diagnosis_6_Description", 4, 40},
    {"Diagnosis_7_Description", 4, 40},
    {"Diagnosis_8_Description", 4, 40},
    {"Diagnosis_Code1_POA", 4, 1},
    {"Diagnosis_Code2_POA", 4, 1},
    {"Diagnosis_Code3_POA", 4, 1},
    {"Diagnosis_Code4_POA", 4, 1},
    {"Diagnosis_Code5_POA", 4, 1},
    {"Diagnosis_Code6_POA", 4, 1},
    {"Diagnosis_Code7_POA", 4, 1},
    {"Diagnosis_Code8_POA", 4, 1},
    {"Primary_UB_Not_Covered", 1, 0},
    {"Secondary_UB_Not_Covered", 1, 0},
    {"Tertiary_UB_Not_Covered", 1, 0},
    {"Revenue_Code", 4, 10},
    {"NDCCode", 4, 48},
    {"NDCUnitPrice", 18, 0},
    {"NDCUnitCount", 10, 0},
    {"NDCUnitMeasurement", 4, 2},
    {"NDCPrescriptionNumber", 4, 30},
};
struct IndexLayout {
    const char* name;
    const char* fields;
    bool unique;
};
const IndexLayout kIndexes[] = {
    {"IDXENTRY NUMBER", "CC ENTRY NUMBER", false},
    {"IDXPROVIDER", "ATTENDING PROVIDER", false},
    {"IDXCASENUMBER", "CASE NUMBER", false},
    {"IDXDATECREATED", "DATE CREATED", false},
    {"IDXSTATEMENT", "STATEMENT NUMBER;DATE FROM;ENTRY NUMBER", false},
    {"IDXDEPOSITID", "DEPOSIT ID", false},
    {"IDXCHARTCASEDOC", "CHART NUMBER;CASE NUMBER;DOCUMENT NUMBER;ENTRY NUMBER;TOOTH NUMBER", false},
    {"IDXENTRYNUMBER", "ENTRY NUMBER", false},
    {"PRIMARY", "CHART NUMBER;CASE NUMBER;ENTRY NUMBER;TOOTH NUMBER", true},
    {"IDXDOCUMENT", "CHART NUMBER;DOCUMENT NUMBER;TRANSACTION TYPE", false},
    {"IDXDATECHARTTYPE", "DATE FROM;CHART NUMBER;TRANSACTION TYPE", false},
    {"IDXCHARTNUMBER", "CHART NUMBER", false},
    {"IDXCHECKNUMBER", "CHECK NUMBER", false},
    {"IDXTYPE", "TRANSACTION TYPE", false},
    {"IDXPROMODIFIERS", "PROCEDURE CODE;MODIFIER 1;MODIFIER 2;MODIFIER 3;MODIFIER 4", false},
    {"IDXCHARTDATE", "CHART NUMBER;DATE FROM", false},
    {"IDXCLAIMREJECTION", "CLAIM REJECTION CODE", false},
    {"IDXCLAIM", "CLAIM NUMBER;DATE FROM;ENTRY NUMBER", false},
    {"IDXSTATEMENTID", "STATEMENT NUMBER", false},
    {"IDXDATEMODIFIED", "DATE MODIFIED", false},
    {"IDXPROCEDURE", "PROCEDURE CODE;INSURANCE CATEGORY", false},
    {"IDXCLAIMREVENUECODE", "CLAIM NUMBER;REVENUE_CODE", false},
    {"IDXCHARTCASESERVDT", "CHART NUMBER;CASE NUMBER;DATE FROM;ENTRY NUMBER", true},
    {"IDXUBGROUP", "CLAIM NUMBER;REVENUE_CODE;PROCEDURE CODE;MODIFIER 1;MODIFIER 2;MODIFIER 3;MODIFIER 4;DATE FROM",
     false},
};

std::int64_t rowCount() {
    const char* env = std::getenv("LCE_BENCH_ROWS");
    return env ? std::atoll(env) : 1000000;
}

std::string folder() { return std::string(LCE_BENCH_DATA) + "/rows-" + std::to_string(rowCount()); }

void buildTable(const std::string& path) {
    lce::TableSchema schema;
    for (const FieldLayout& f : kFields) {
        lce::ColumnDef c;
        c.name = f.name;
        c.type = f.type;
        c.length = f.length;
        schema.columns.push_back(c);
    }
    for (const IndexLayout& s : kIndexes) {
        lce::IndexDef ix;
        ix.name = s.name;
        ix.unique = s.unique;
        std::string fields = s.fields;
        for (std::size_t start = 0;;) {
            const auto semi = fields.find(';', start);
            ix.fields.push_back(fields.substr(start, semi == std::string::npos ? std::string::npos : semi - start));
            if (semi == std::string::npos) break;
            start = semi + 1;
        }
        schema.indexes.push_back(ix);
    }
    const std::string tmp = path + ".building";
    std::filesystem::remove(tmp);
    {
        auto table = lce::TableFile::create(tmp, schema);
        lce::TableFile::Transaction tx(table);
        std::mt19937 rng(42);
        const char* letters = "AIJKLMNOSTUVB";
        lce::Row row(schema.columns.size());
        for (std::int64_t n = 0; n < rowCount(); ++n) {
            for (std::size_t c = 0; c < schema.columns.size(); ++c) {
                const FieldLayout& f = kFields[c];
                lce::Value& v = row[c];
                switch (f.type) {
                    case 4:
                        v = lce::Value::ofText(c == 10 ? std::string(1, letters[rng() % 13])
                                                       : std::string("V") +
                                                             std::to_string(rng() % 100000).substr(0, f.length - 1));
                        break;
                    case 11: v = lce::Value::ofInteger(static_cast<std::int64_t>(rng() % 10000)); break;
                    case 15: v = lce::Value::null(); break;
                    case 3: v = lce::Value::ofDate(2450000 + static_cast<std::int64_t>(rng() % 9000)); break;
                    case 10:
                    case 17: v = lce::Value::ofDouble(static_cast<double>(rng() % 100000) / 100.0); break;
                    case 1: v = lce::Value::ofLogical(rng() & 1); break;
                    case 5: v = lce::Value::null(); break;
                    case 14:
                        v = lce::Value::ofTimestamp(2450000 + static_cast<std::int64_t>(rng() % 9000),
                                                    rng() % 86400000);
                        break;
                    case 18: v = lce::Value::ofScaled(static_cast<std::int64_t>(rng() % 10000000)); break;
                    default: v = lce::Value::null();
                }
            }
            table.append(row);
        }
        tx.commit();
    }
    std::filesystem::rename(tmp, path);
}

struct Fixture {
    LUMHANDLE conn = 0, table = 0, index = 0;
    Fixture() {
        std::filesystem::create_directories(folder());
        const std::string path = folder() + "/ZTTRN.LDT";
        if (!std::filesystem::exists(path)) buildTable(path);
        if (LumConnect(folder().c_str(), &conn) != 0) fatal("cannot connect");
        if (LumOpenTable90(conn, "ZTTRN.LDT", nullptr, 3, 1, 1, 1, 0, "ANSI", &table) != 0) {
            // A table kept from an older engine has an older file format.
            std::filesystem::remove(path);
            buildTable(path);
            if (LumOpenTable90(conn, "ZTTRN.LDT", nullptr, 3, 1, 1, 1, 0, "ANSI", &table) != 0) fatal("cannot open");
        }
        if (LumGetIndexHandle(table, "IDXENTRYNUMBER", &index) != 0) fatal("no index");
    }
    [[noreturn]] static void fatal(const char* what) {
        std::fprintf(stderr, "bench_engine: %s the benchmark table in %s\n", what, folder().c_str());
        std::exit(1);
    }
};

Fixture& fixture() {
    static Fixture f;
    return f;
}

void BM_ScopedLookupByEntryNumber(benchmark::State& state) {
    Fixture& f = fixture();
    std::vector<UNSIGNED8> record(8192);
    std::mt19937 rng(7);
    for (auto _ : state) {
        const std::int32_t entry = static_cast<std::int32_t>(rng() % rowCount()) + 1;
        UNSIGNED8 key[64];
        UNSIGNED16 keyLen = sizeof key;
        LumInitRawKey(f.index);
        LumSetFieldRaw(f.index, "Entry Number", reinterpret_cast<const UNSIGNED8*>(&entry), 4);
        LumBuildRawKey(f.index, key, &keyLen);
        LumSetScope(f.index, 1, key, keyLen, 1);
        LumSetScope(f.index, 2, key, keyLen, 1);
        LumGotoBOF(f.index);
        LumSkip(f.index, 1);
        UNSIGNED32 len = static_cast<UNSIGNED32>(record.size());
        if (LumGetRecord(f.table, record.data(), &len) != 0) state.SkipWithError("record not found");
        benchmark::DoNotOptimize(record.data());
    }
    LumClearAllScopes(f.table);
}
BENCHMARK(BM_ScopedLookupByEntryNumber)->Unit(benchmark::kMicrosecond);

// The same lookup as a hard seek (the way Locate finds a key on an index).
void BM_SeekByEntryNumber(benchmark::State& state) {
    Fixture& f = fixture();
    std::vector<UNSIGNED8> record(8192);
    std::mt19937 rng(7);
    for (auto _ : state) {
        const std::int32_t entry = static_cast<std::int32_t>(rng() % rowCount()) + 1;
        UNSIGNED8 key[64];
        UNSIGNED16 keyLen = sizeof key;
        LumInitRawKey(f.index);
        LumSetFieldRaw(f.index, "Entry Number", reinterpret_cast<const UNSIGNED8*>(&entry), 4);
        LumBuildRawKey(f.index, key, &keyLen);
        UNSIGNED16 found = 0;
        LumSeek(f.index, key, keyLen, LUM_RAWKEY, LUM_HARDSEEK, &found);
        UNSIGNED32 len = static_cast<UNSIGNED32>(record.size());
        if (!found || LumGetRecord(f.table, record.data(), &len) != 0) state.SkipWithError("record not found");
        benchmark::DoNotOptimize(record.data());
    }
}
BENCHMARK(BM_SeekByEntryNumber)->Unit(benchmark::kMicrosecond);

void BM_FullIndexOrderScan(benchmark::State& state) {
    Fixture& f = fixture();
    std::vector<UNSIGNED8> record(8192);
    std::int64_t records = 0;
    for (auto _ : state) {
        LumGotoTop(f.index);
        for (;;) {
            UNSIGNED16 eof = 0;
            LumAtEOF(f.table, &eof);
            if (eof) break;
            UNSIGNED32 len = static_cast<UNSIGNED32>(record.size());
            LumGetRecord(f.table, record.data(), &len);
            benchmark::DoNotOptimize(record.data());
            ++records;
            LumSkip(f.index, 1);
        }
    }
    state.SetItemsProcessed(records);
    // Seconds per record, shown by the reporter with an SI prefix (e.g. 700n).
    state.counters["per_record"] =
        benchmark::Counter(static_cast<double>(records), benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_FullIndexOrderScan)->Unit(benchmark::kMillisecond)->Iterations(2);

}  // namespace

BENCHMARK_MAIN();
