// payxref-db's commands on real practice files.
#include "tools/commands.h"

#include <gtest/gtest.h>
#include <algorithm>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "engine/lce_builder.h"
#include "store/practice_store.h"
#include "tools/csv.h"

namespace payxref::db {
namespace {

namespace fs = std::filesystem;

// A fresh folder per test, removed afterwards.
class TempFolder {
public:
    TempFolder() {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        path_ = fs::path(::testing::TempDir()) /
                (std::string("payxref_db_") + info->test_suite_name() + "_" + info->name());
        fs::remove_all(path_);
        fs::create_directories(path_);
    }
    ~TempFolder() {
        std::error_code ignored;
        fs::remove_all(path_, ignored);
    }
    const fs::path& path() const { return path_; }
    std::string operator/(const std::string& name) const { return (path_ / name).string(); }

private:
    fs::path path_;
};

void WriteFile(const std::string& path, const std::string& text) { std::ofstream(path, std::ios::binary) << text; }

int Tool(const std::vector<std::string>& args, std::string* out = nullptr, std::string* err = nullptr) {
    std::ostringstream o;
    std::ostringstream e;
    const int code = RunCommandLine(args, o, e);
    if (out != nullptr) *out = o.str();
    if (err != nullptr) *err = e.str();
    return code;
}

std::string Export(const std::string& folder, const std::string& table) {
    std::ostringstream out;
    ExportCsv(folder, table, out);
    return out.str();
}

// A table with a column of every importable kind.
constexpr const char* kSchema = R"({
  "tables": [{
    "name": "ITEMS",
    "properties": {"213": "BYCODE"},
    "columns": [
      {"name": "Id", "type": "autoinc"},
      {"name": "Code", "type": "character", "length": 6},
      {"name": "Count", "type": "integer"},
      {"name": "Price", "type": "double"},
      {"name": "Cost", "type": "money"},
      {"name": "Paid", "type": "logical"},
      {"name": "Day", "type": "date"},
      {"name": "Stamp", "type": "timestamp"},
      {"name": "Note", "type": "memo"}],
    "indexes": [{"name": "BYCODE", "fields": "CODE"}, {"name": "BYID", "fields": "ID", "unique": true}]}],
  "users": [{"name": "user", "password": "pw"}]})";

class ItemsPractice : public ::testing::Test {
protected:
    void SetUp() override {
        WriteFile(folder_ / "items.json", kSchema);
        ASSERT_EQ(Tool({"create", folder_ / "db", "--schema", folder_ / "items.json"}), kExitSuccess);
    }
    std::string Db() const { return folder_ / "db"; }
    TempFolder folder_;
};

TEST_F(ItemsPractice, ExportThenImportChangesNothing) {
    // A byte-order mark; header in another case and order, columns left out,
    // quoting, nulls, an empty text.
    WriteFile(folder_ / "in.csv",
              "\xEF\xBB\xBF"
              "code,ID,price,COST,paid,day,stamp,note\r\n"
              "A1,,12.5,3.25,T,2011-03-15,2011-03-15 08:30:05.250,\"multi\r\nline, \"\"quoted\"\"\"\r\n"
              "\"\",7,,,n,,,\r\n"
              "B2,,30.3,-0.0001,1,1999-12-31,2000-01-01 00:00:00,plain\r\n");
    ASSERT_EQ(ImportCsv(Db(), "items", folder_ / "in.csv"), 3);
    const std::string first = Export(Db(), "ITEMS");
    EXPECT_EQ(first,
              "Id,Code,Count,Price,Cost,Paid,Day,Stamp,Note\r\n"
              "1,A1,,12.5,3.25,T,2011-03-15,2011-03-15 08:30:05.250,\"multi\r\nline, \"\"quoted\"\"\"\r\n"
              "7,\"\",,,,F,,,\r\n"
              "8,B2,,30.3,-0.0001,T,1999-12-31,2000-01-01 00:00:00,plain\r\n");

    // The export imported into a fresh practice exports to the same text.
    WriteFile(folder_ / "again.json", kSchema);
    ASSERT_EQ(Tool({"create", folder_ / "db2", "--schema", folder_ / "again.json"}), kExitSuccess);
    WriteFile(folder_ / "export.csv", first);
    ASSERT_EQ(ImportCsv(folder_ / "db2", "ITEMS.LDT", folder_ / "export.csv"), 3);
    EXPECT_EQ(Export(folder_ / "db2", "items"), first);
}

TEST_F(ItemsPractice, ABadCellStopsTheImportAndNothingOfItStays) {
    WriteFile(folder_ / "good.csv", "Code,Price\r\nOK,1\r\n");
    ASSERT_EQ(ImportCsv(Db(), "ITEMS", folder_ / "good.csv"), 1);
    const std::string before = Export(Db(), "ITEMS");

    struct Case {
        const char* name;
        const char* csv;
        const char* message;  // after the file name
    };
    const Case cases[] = {
        {"number", "Code,Price\r\nX1,2\r\nX2,12,5\r\n", ", line 3: 3 fields where the header has 2"},
        {"decimal comma", "Code,Price\r\nX1,2\r\nX2,\"12,5\"\r\n",
         ", line 3, column \"Price\": value \"12,5\" is not a number"},
        {"date", "Code,Day\r\nX1,2011-03-15\r\nX2,15.03.2011\r\n",
         ", line 3, column \"Day\": value \"15.03.2011\" is not a date (YYYY-MM-DD)"},
        {"logical", "Paid\r\nT\r\nmaybe\r\n", ", line 3, column \"Paid\": value \"maybe\" is not a logical value"},
        {"too long", "Code\r\nX1\r\nTOOLONG\r\n",
         ", line 3, column \"Code\": value \"TOOLONG\" is longer than the column's 6 characters"},
        {"unknown column", "Code,Colour\r\nX1,red\r\n", ", line 1: table ITEMS has no column \"Colour\""},
        {"duplicate column", "Code,CODE\r\nX1,X2\r\n", ", line 1: column \"CODE\" appears twice"},
        {"open quote", "Code\r\nX1\r\n\"X2\r\n", ", line 3: a quoted field is never closed"},
        {"duplicate key", "Id,Code\r\n50,X1\r\n50,X2\r\n", ", line 3: "},
        {"empty", "", ": the file is empty (no header row)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string csv = folder_ / (std::string(c.name) + ".csv");
        WriteFile(csv, c.csv);
        std::string err;
        EXPECT_EQ(Tool({"import", Db(), "ITEMS", csv}, nullptr, &err), kExitFailure);
        EXPECT_NE(err.find(csv + c.message), std::string::npos) << err;
        EXPECT_EQ(Export(Db(), "ITEMS"), before);
    }
}

// Faults in a cell's text or in the CSV itself name the file, line and
// column; a quoted value is cut to 60 characters; nothing of the file stays.
TEST_F(ItemsPractice, BadTextAndBrokenCsvAreRefusedWithTheirPlace) {
    const std::string before = Export(Db(), "ITEMS");
    const std::string longValue = std::string(100, 'A');
    const std::string hugeNote = std::string(CsvLimits{}.fieldBytes + 1, 'n');
    struct Case {
        const char* name;
        std::string csv;
        std::string message;  // after the file name
    };
    const Case cases[] = {
        {"invalid UTF-8", "Code,Price\r\nX1,1\r\nA\xC4Z,2\r\n",
         ", line 3, column \"Code\": value \"A\\xC4Z\" is not UTF-8 text (at character 2)"},
        {"NUL", std::string("Code\r\nA\0B\r\n", 9),
         ", line 2, column \"Code\": value \"A\\x00B\" holds a NUL character"},
        {"no Windows-1252 form", "Code\r\nA\xCE\xA9\r\n",
         ", line 2, column \"Code\": value \"A\xCE\xA9\" holds \xCE\xA9 (U+03A9, at character 2), which has no "
         "Windows-1252 form"},
        {"memo not UTF-8", "Note\r\n\"ok\"\r\n\xFF\r\n",
         ", line 3, column \"Note\": value \"\\xFF\" is not UTF-8 text"},
        {"bare quote", "Code,Price\r\nX1,1\r\nA\"B,2\r\n", ", line 3, column \"Code\": a quote inside a field"},
        {"bare quote past the header", "Code\r\nX1,a\"b\r\n", ", line 2, column 2: a quote inside a field"},
        {"text after a closing quote", "Code,Price\r\n\"X1\"x,1\r\n",
         ", line 2, column \"Code\": text after a closing quote"},
        {"value cut to 60 characters", "Code\r\n" + longValue + "\r\n",
         ", line 2, column \"Code\": value \"" + longValue.substr(0, 60) +
             "\xE2\x80\xA6\" is longer than the column's 6 characters"},
        {"cell over the limit", "Code,Note\r\nX1," + hugeNote + "\r\n",
         ", line 2, column \"Note\": a field is longer than 64 KiB"},
        {"line over the limit", "Code\r\nX1" + std::string(CsvLimits{}.recordBytes, ',') + "\r\n",
         ", line 2: a line is longer than 1 MiB"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string csv = folder_ / (std::string(c.name) + ".csv");
        WriteFile(csv, c.csv);
        std::string err;
        EXPECT_EQ(Tool({"import", Db(), "ITEMS", csv}, nullptr, &err), kExitFailure);
        EXPECT_NE(err.find(csv + c.message), std::string::npos) << err.substr(0, 400);
        EXPECT_LT(err.size(), csv.size() + 400) << "the message echoes the input";
        EXPECT_EQ(Export(Db(), "ITEMS"), before);
    }
}

// Only a regular file within the size limit is read: a folder, a FIFO and
// an endless device are refused before anything is read.
TEST_F(ItemsPractice, ImportTakesRegularFilesOnly) {
    const std::string fifo = folder_ / "pipe.csv";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const std::string big = folder_ / "big.csv";
    WriteFile(big, "Code\r\n");
    ASSERT_EQ(::truncate(big.c_str(), static_cast<off_t>(CsvLimits{}.fileBytes + 1)), 0);
    struct Case {
        std::string file;
        const char* message;
    };
    const Case cases[] = {
        {folder_.path().string(), "it is a folder; give a CSV file"},
        {fifo, "it is not a regular file but a pipe, device or socket"},
        {"/dev/zero", "it is not a regular file but a pipe, device or socket"},
        {big, "it is larger than 1 GiB, the most a CSV file may hold"},
        {folder_ / "missing.csv", "there is no such file"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        std::string err;
        EXPECT_EQ(Tool({"import", Db(), "ITEMS", c.file}, nullptr, &err), kExitFailure);
        EXPECT_NE(err.find("cannot read " + c.file + ": " + c.message), std::string::npos) << err;
    }
}

// Text in the practice's 8-character column: UTF-8 in the files,
// Windows-1252 in the table, counted in characters.
TEST(CsvText, Utf8ThroughImportAndExportIsWindows1252InTheTable) {
    const TempFolder folder;
    ASSERT_EQ(Tool({"create", folder / "p"}), kExitSuccess);
    const std::string csv = folder / "pax.csv";
    WriteFile(csv,
              "Payment Reference,Chart Number\r\n"
              "1,\xC3\x84\xC3\x96\xC3\x9C\xC3\x9F\xC3\xA9\xC3\xA8\r\n"  // ÄÖÜßéè
              "2,\xE2\x82\xAC\xE2\x80\x9A\xC5\x93\xC5\xB8"
              "ab\xC3\xBFz\r\n");  // €‚œŸabÿz: 8 characters, 15 bytes
    std::string err;
    ASSERT_EQ(Tool({"import", folder / "p", "ZTPAX", csv}, nullptr, &err), kExitSuccess) << err;
    const lce::TableFile pax = lce::TableFile::openForReading(folder / "p/ZTPAX.LDT");
    const auto chart = FindColumn(pax.schema(), "Chart Number");
    ASSERT_TRUE(chart.has_value());
    std::vector<std::string> stored;
    pax.forEachRow([&](std::int64_t, const lce::Row& row) {
        stored.push_back(row[*chart].text);
        return true;
    });
    EXPECT_EQ(stored, (std::vector<std::string>{"\xC4\xD6\xDC\xDF\xE9\xE8",
                                                "\x80\x82\x9C\x9F"
                                                "ab\xFFz"}));
    const std::string exported = Export(folder / "p", "ZTPAX");
    EXPECT_NE(exported.find(",\xC3\x84\xC3\x96\xC3\x9C\xC3\x9F\xC3\xA9\xC3\xA8,"), std::string::npos) << exported;
    EXPECT_NE(exported.find(",\xE2\x82\xAC\xE2\x80\x9A\xC5\x93\xC5\xB8"
                            "ab\xC3\xBFz,"),
              std::string::npos)
        << exported;
}

TEST(Create, DefaultPracticeHasTheTransactionLayout) {
    const TempFolder folder;
    std::string out;
    ASSERT_EQ(Tool({"create", folder / "practice"}, &out), kExitSuccess) << out;
    const lce::TableFile trn = lce::TableFile::openForReading(folder / "practice/ZTTRN.LDT");
    EXPECT_EQ(trn.schema().columns.size(), 122u);
    EXPECT_EQ(trn.schema().indexes.size(), 24u);
    EXPECT_EQ(trn.schema().columns[2].name, "Entry Number");
    EXPECT_EQ(trn.schema().columns[2].type, lce::kAutoIncrement);
    EXPECT_EQ(trn.rowCount(), 0);
    const lce::Dictionary dictionary = lce::Dictionary::open(folder / "practice/ZTDDF.LDD");
    std::vector<std::string> names;
    for (const auto& t : dictionary.tables()) names.push_back(t.name + "=" + t.file);
    EXPECT_EQ(names, (std::vector<std::string>{"ZTTRN=ZTTRN.LDT", "ZTPAX=ZTPAX.LDT"}));
    // Creating over it is refused and leaves it as it was.
    std::string err;
    EXPECT_EQ(Tool({"create", folder / "practice"}, nullptr, &err), kExitFailure);
    EXPECT_NE(err.find("exists already"), std::string::npos) << err;
    EXPECT_TRUE(fs::exists(folder / "practice/ZTTRN.LDT"));
}

TEST(DemoCommand, SameSeedGivesTheSameFiles) {
    const TempFolder folder;
    ASSERT_EQ(Tool({"demo", folder / "a", "--transactions", "500", "--seed", "42"}), kExitSuccess);
    ASSERT_EQ(Tool({"demo", folder / "b", "--seed", "42", "--transactions", "500"}), kExitSuccess);
    ASSERT_EQ(Tool({"demo", folder / "c", "--transactions", "500", "--seed", "43"}), kExitSuccess);
    EXPECT_EQ(lce::TableFile::openForReading(folder / "a/ZTTRN.LDT").rowCount(), 500);
    for (const char* table : {"ZTTRN", "ZTPAX"}) {
        EXPECT_EQ(Export(folder / "a", table), Export(folder / "b", table)) << table;
        EXPECT_NE(Export(folder / "a", table), Export(folder / "c", table)) << table;
    }
}

// The practice is built aside and moved into its folder when complete: the
// folder then holds its files alone, and a refused build leaves it as it was.
TEST(DemoCommand, AFolderGetsTheWholePracticeOrNothing) {
    const TempFolder folder;
    const auto entries = [](const fs::path& dir) {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(dir)) names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    };
    ASSERT_EQ(Tool({"demo", folder / "a", "--transactions", "300"}), kExitSuccess);
    EXPECT_EQ(entries(folder / "a"), (std::vector<std::string>{"ZTDDF.LDD", "ZTPAX.LDT", "ZTTRN.LDT"}));
    fs::create_directories(folder / "b");
    WriteFile(folder / "b/ZTPAX.LDT", "not ours");
    std::string err;
    EXPECT_EQ(Tool({"demo", folder / "b", "--transactions", "300"}, nullptr, &err), kExitFailure);
    EXPECT_NE(err.find("exists already"), std::string::npos) << err;
    EXPECT_EQ(entries(folder / "b"), (std::vector<std::string>{"ZTPAX.LDT"}));
}

// The practice's own layout, every filled column kind, through export and import.
TEST(DemoCommand, ExportOfADemoPracticeImportsBackUnchanged) {
    const TempFolder folder;
    ASSERT_EQ(Tool({"demo", folder / "a", "--transactions", "400", "--seed", "9"}), kExitSuccess);
    ASSERT_EQ(Tool({"create", folder / "b"}), kExitSuccess);
    for (const std::string table : {"ZTTRN", "ZTPAX"}) {
        const std::string csv = folder / (table + ".csv");
        WriteFile(csv, Export(folder / "a", table));
        EXPECT_GT(ImportCsv(folder / "b", table, csv), 0);
        EXPECT_EQ(Export(folder / "b", table), Export(folder / "a", table)) << table;
    }
}

TEST(CommandLine, UsageAndExitCodes) {
    const TempFolder folder;
    struct Case {
        std::vector<std::string> args;
        int code;
        const char* text;  // expected in the output (code 0) or the messages
    };
    const Case cases[] = {
        {{"--help"}, kExitSuccess, "usage: payxref-db COMMAND"},
        {{}, kExitUsage, "no command given"},
        {{"frobnicate"}, kExitUsage, "unknown command \"frobnicate\""},
        {{"create"}, kExitUsage, "usage: payxref-db create FOLDER [--schema FILE.json]"},
        {{"create", "x", "--colour", "red"}, kExitUsage, "unknown option --colour"},
        {{"create", "x", "--schema"}, kExitUsage, "--schema needs a value"},
        {{"import", "x", "T"}, kExitUsage, "usage: payxref-db import FOLDER TABLE FILE.csv"},
        {{"export", "x"}, kExitUsage, "usage: payxref-db export FOLDER TABLE"},
        {{"demo", "x", "--transactions", "many"}, kExitUsage, "--transactions needs a whole number"},
        {{"demo", "x", "--transactions", "-5"}, kExitUsage, "--transactions needs a whole number"},
        {{"export", folder / "nowhere", "ZTTRN"}, kExitFailure, "no practice dictionary"},
        {{"create", folder / "p", "--schema", folder / "missing.json"}, kExitFailure, "cannot read"},
    };
    for (const Case& c : cases) {
        std::string out;
        std::string err;
        const int code = Tool(c.args, &out, &err);
        SCOPED_TRACE(c.text);
        EXPECT_EQ(code, c.code);
        EXPECT_NE((code == kExitSuccess ? out : err).find(c.text), std::string::npos) << out << err;
    }
    // A table the dictionary does not know.
    ASSERT_EQ(Tool({"create", folder / "q"}), kExitSuccess);
    std::string err;
    EXPECT_EQ(Tool({"export", folder / "q", "ZTXYZ"}, nullptr, &err), kExitFailure);
    EXPECT_NE(err.find("has no table \"ZTXYZ\""), std::string::npos) << err;
}

// "use" records the practice in the current user's store; the test points the
// store at its own folder.
TEST(Use, RecordsTheFolderAsCurrentPractice) {
    const TempFolder folder;
    ASSERT_EQ(setenv("XDG_CONFIG_HOME", (folder / "config").c_str(), 1), 0);
    ASSERT_EQ(Tool({"create", folder / "practice"}), kExitSuccess);
    std::string err;
    EXPECT_EQ(Tool({"use", folder / "empty"}, nullptr, &err), kExitFailure);
    EXPECT_NE(err.find("no practice dictionary"), std::string::npos) << err;
    EXPECT_EQ(app::ReadCurrentPracticePath(), "");
    EXPECT_EQ(Tool({"use", folder / "practice"}), kExitSuccess);
    EXPECT_EQ(app::ReadCurrentPracticePath(), folder / "practice");
    unsetenv("XDG_CONFIG_HOME");
}

}  // namespace
}  // namespace payxref::db
