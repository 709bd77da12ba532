// Temporary folders and table files built through the builder API for the engine tests.
#include "tests/engine/fixture.h"

#include <random>

namespace lcetest {

TempDir::TempDir() {
    std::random_device rd;
    dir_ = std::filesystem::temp_directory_path() / ("lce-test-" + std::to_string(rd()) + std::to_string(rd()));
    std::filesystem::create_directories(dir_);
}

TempDir::~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
}

std::string TempDir::path(const std::string& name) const {
    return name.empty() ? dir_.string() : (dir_ / name).string();
}

lce::ColumnDef col(const std::string& name, std::uint16_t type, std::uint32_t length, std::uint16_t decimals) {
    lce::ColumnDef c;
    c.name = name;
    c.type = type;
    c.length = length;
    c.decimals = decimals;
    return c;
}

std::string lastErrorText() {
    UNSIGNED32 code = 0;
    char buf[600];
    UNSIGNED16 len = sizeof buf;
    if (LumGetLastError(&code, buf, &len) != 0) return "<LumGetLastError failed>";
    return buf;
}

UNSIGNED32 lastErrorCode() {
    UNSIGNED32 code = 0;
    char buf[600];
    UNSIGNED16 len = sizeof buf;
    LumGetLastError(&code, buf, &len);
    return code;
}

LUMHANDLE openTable(LUMHANDLE conn, const std::string& name, UNSIGNED16 type) {
    LUMHANDLE t = 0;
    const UNSIGNED32 rc = LumOpenTable90(conn, name.c_str(), nullptr, type, 1, 1, 1, 0, "ANSI", &t);
    EXPECT_EQ(rc, 0u) << lastErrorText();
    return t;
}

std::vector<UNSIGNED32> recordNumbers(LUMHANDLE table, LUMHANDLE order) {
    std::vector<UNSIGNED32> out;
    EXPECT_EQ(LumGotoTop(order), 0u) << lastErrorText();
    for (int guard = 0; guard < 100000; ++guard) {
        UNSIGNED16 eof = 0;
        LumAtEOF(table, &eof);
        if (eof) break;
        UNSIGNED32 rec = 0;
        LumGetRecordNum(table, 2, &rec);
        out.push_back(rec);
        EXPECT_EQ(LumSkip(order, 1), 0u) << lastErrorText();
    }
    return out;
}

lce::TableSchema numberedSchema() {
    lce::TableSchema schema;
    schema.columns = {col("N", 11), col("Name", 4, 20)};
    lce::IndexDef byN;
    byN.name = "ByN";
    byN.fields = {"N"};
    schema.indexes = {byN};
    return schema;
}

}  // namespace lcetest
