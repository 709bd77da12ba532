// The options of `payxref search` on a demo practice made by payxref-db: the
// CSV and JSON listings read back and held against the text listing, each
// filter against the unfiltered listing restricted by hand, the summary
// against the listing's own figures, the usage errors, the output file's
// all-or-nothing replacement, the PDF hook and the tables' 8-bit text.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <regex>
#include <set>
#include <sstream>

#include <nlohmann/json.hpp>

#include "framework/format.h"
#include "search/headless_search.h"
#include "tests/lum/fixture.h"

namespace {

namespace fs = std::filesystem;
using Row = std::vector<std::string>;

struct Outcome {
    int code;
    std::string out;
    std::string err;
};

Outcome Search(const std::vector<std::string>& args, const app::ListingPdfWriter& pdf = {}) {
    std::ostringstream out, err;
    const int code = app::RunHeadlessSearch(args, fw::FormatSettings{}, out, err, pdf);
    return {code, out.str(), err.str()};
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

std::string ReadFile(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// RFC 4180: fields separated by commas, quoted fields with "" for a quote,
// records ended by CR LF (a bare LF is taken too).
std::vector<Row> ReadCsv(const std::string& text) {
    std::vector<Row> rows;
    Row row;
    std::string field;
    bool quoted = false, any = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char ch = text[i];
        if (quoted) {
            if (ch == '"' && i + 1 < text.size() && text[i + 1] == '"') {
                field += '"';
                ++i;
            } else if (ch == '"') {
                quoted = false;
            } else {
                field += ch;
            }
        } else if (ch == '"') {
            quoted = true;
            any = true;
        } else if (ch == ',') {
            row.push_back(field);
            field.clear();
            any = true;
        } else if (ch == '\r' || ch == '\n') {
            if (ch == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
            row.push_back(field);
            rows.push_back(row);
            row.clear();
            field.clear();
            any = false;
        } else {
            field += ch;
            any = true;
        }
    }
    if (any) {
        row.push_back(field);
        rows.push_back(row);
    }
    return rows;
}

// The columns of the listing's CSV rows.
enum Column { kEntry, kChart, kCase, kDate, kCode, kAmount, kApplied, kDifference };

double Number(const std::string& text) { return std::strtod(text.c_str(), nullptr); }

// A text line's parts: chart, case, date as YYYY-MM-DD, code, difference.
std::vector<std::string> TextParts(const std::string& line) {
    static const std::regex pattern(
        "Chart: (.*) Case Number: (-?[0-9]+) Date From: ([0-9]{2})/([0-9]{2})/([0-9]{4}) "
        "Payment/Adjustment Code: (.*) Difference: (.*)");
    std::smatch m;
    if (!std::regex_match(line, m, pattern)) return {};
    return {m[1], m[2], m[5].str() + "-" + m[3].str() + "-" + m[4].str(), m[6], m[7]};
}

int RunShell(const std::string& command) {
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128;
}

// A demo practice of a few thousand transactions, its unfiltered CSV listing
// and each transaction's attending provider, made once for all tests.
class DemoPractice : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        dir_ = new lumtest::TempDir();
        folder_ = dir_->path("practice");
        ASSERT_EQ(RunShell(std::string(PAYXREF_DB_BIN) + " demo '" + folder_ + "' --transactions 3000 >/dev/null"), 0);
        const std::string exported = dir_->path("ZTTRN.csv");
        ASSERT_EQ(RunShell(std::string(PAYXREF_DB_BIN) + " export '" + folder_ + "' ZTTRN >'" + exported + "'"), 0);
        const std::vector<Row> table = ReadCsv(ReadFile(exported));
        const Row& header = table.at(0);
        const auto column = [&](const char* name) {
            return static_cast<std::size_t>(std::find(header.begin(), header.end(), name) - header.begin());
        };
        providers_ = new std::map<std::string, std::string>();
        for (std::size_t i = 1; i < table.size(); ++i) {
            (*providers_)[table[i].at(column("Entry Number"))] = table[i].at(column("Attending Provider"));
        }
        const Outcome all = Search({folder_, "--format", "csv"});
        ASSERT_EQ(all.code, 0) << all.err;
        all_ = new std::vector<Row>(ReadCsv(all.out));
        all_->erase(all_->begin());
    }
    static void TearDownTestSuite() {
        delete all_;
        delete providers_;
        delete dir_;
    }

    static const std::string& Folder() { return folder_; }
    static const std::vector<Row>& All() { return *all_; }
    static const std::string& Provider(const Row& row) { return providers_->at(row[kEntry]); }

    // The CSV rows of a search with `options`, header checked and dropped.
    static std::vector<Row> CsvRows(std::vector<std::string> options) {
        options.insert(options.begin(), {Folder(), "--format", "csv"});
        const Outcome run = Search(options);
        EXPECT_EQ(run.code, 0) << run.err;
        std::vector<Row> rows = ReadCsv(run.out);
        if (rows.empty()) return rows;
        EXPECT_EQ(rows.front(), (Row{"Entry Number", "Chart Number", "Case Number", "Date From",
                                     "Payment/Adjustment Code", "Amount", "Applied", "Difference"}));
        rows.erase(rows.begin());
        return rows;
    }

private:
    static inline lumtest::TempDir* dir_ = nullptr;
    static inline std::string folder_;
    static inline std::vector<Row>* all_ = nullptr;
    static inline std::map<std::string, std::string>* providers_ = nullptr;
};

TEST_F(DemoPractice, CsvAndJsonCarryThePaymentsOfTheTextListing) {
    const Outcome text = Search({Folder()});
    ASSERT_EQ(text.code, 0) << text.err;
    const std::vector<std::string> lines = Lines(text.out);
    ASSERT_EQ(lines.size(), All().size() + 2);
    ASSERT_GT(All().size(), 100u);

    const Outcome json = Search({Folder(), "--format", "json"});
    ASSERT_EQ(json.code, 0) << json.err;
    const std::vector<std::string> objects = Lines(json.out);
    ASSERT_EQ(objects.size(), All().size());

    for (std::size_t i = 0; i < All().size(); ++i) {
        SCOPED_TRACE(lines[i + 2]);
        const Row& row = All()[i];
        ASSERT_EQ(row.size(), 8u);
        const std::vector<std::string> parts = TextParts(lines[i + 2]);
        ASSERT_EQ(parts.size(), 5u);
        EXPECT_EQ(row[kChart], parts[0]);
        EXPECT_EQ(row[kCase], parts[1]);
        EXPECT_EQ(row[kDate], parts[2]);
        EXPECT_EQ(row[kCode], parts[3]);
        EXPECT_EQ(fw::FormatGeneral15(Number(row[kDifference]), {}), parts[4]);
        EXPECT_NEAR(Number(row[kDifference]), std::fabs(Number(row[kAmount])) - std::fabs(Number(row[kApplied])), 1e-9);

        const nlohmann::json object = nlohmann::json::parse(objects[i]);
        EXPECT_EQ(object.at("Entry Number").get<long>(), std::stol(row[kEntry]));
        EXPECT_EQ(object.at("Chart Number").get<std::string>(), row[kChart]);
        EXPECT_EQ(object.at("Case Number").get<long>(), std::stol(row[kCase]));
        EXPECT_EQ(object.at("Date From").get<std::string>(), row[kDate]);
        EXPECT_EQ(object.at("Payment/Adjustment Code").get<std::string>(), row[kCode]);
        EXPECT_EQ(object.at("Amount").get<double>(), Number(row[kAmount]));
        EXPECT_EQ(object.at("Applied").get<double>(), Number(row[kApplied]));
        EXPECT_EQ(object.at("Difference").get<double>(), Number(row[kDifference]));
    }
}

TEST_F(DemoPractice, EachFilterListsTheUnfilteredPaymentsItSelects) {
    // Values taken from the listing itself, so each filter selects some rows.
    const Row& first = All().front();
    std::string otherCode;
    for (const Row& row : All()) {
        if (row[kCode] != first[kCode]) otherCode = row[kCode];
    }
    std::vector<std::string> dates;
    for (const Row& row : All()) dates.push_back(row[kDate]);
    std::sort(dates.begin(), dates.end());
    const std::string low = dates[dates.size() / 4], high = dates[dates.size() * 3 / 4];
    const std::string chart = first[kChart], provider = Provider(first), code = first[kCode];

    struct Case {
        std::vector<std::string> options;
        std::function<bool(const Row&)> selects;
    };
    const Case cases[] = {
        {{"--from", low}, [&](const Row& r) { return r[kDate] >= low; }},
        {{"--to", high}, [&](const Row& r) { return r[kDate] <= high; }},
        {{"--from", low, "--to", high}, [&](const Row& r) { return r[kDate] >= low && r[kDate] <= high; }},
        {{"--from", low, "--to", low}, [&](const Row& r) { return r[kDate] == low; }},
        {{"--chart", chart}, [&](const Row& r) { return r[kChart] == chart; }},
        {{"--provider", provider}, [&](const Row& r) { return Provider(r) == provider; }},
        {{"--code", code}, [&](const Row& r) { return r[kCode] == code; }},
        {{"--code", code, "--code=" + otherCode},
         [&](const Row& r) { return r[kCode] == code || r[kCode] == otherCode; }},
        {{"--min-difference", "0.005"}, [](const Row& r) { return std::fabs(Number(r[kDifference])) >= 0.005; }},
        {{"--min-difference", "50"}, [](const Row& r) { return std::fabs(Number(r[kDifference])) >= 50; }},
        {{"--provider", provider, "--to", first[kDate], "--code", code},
         [&](const Row& r) { return Provider(r) == provider && r[kDate] <= first[kDate] && r[kCode] == code; }},
    };
    for (const Case& test : cases) {
        std::string label;
        for (const std::string& option : test.options) label += option + " ";
        SCOPED_TRACE(label);
        std::multiset<Row> expected;
        for (const Row& row : All()) {
            if (test.selects(row)) expected.insert(row);
        }
        ASSERT_FALSE(expected.empty());
        const std::vector<Row> rows = CsvRows(test.options);
        EXPECT_EQ(std::multiset<Row>(rows.begin(), rows.end()), expected);
    }
    // The noise the threshold hides is there to be hidden.
    EXPECT_TRUE(std::any_of(All().begin(), All().end(), [](const Row& r) {
        const double d = std::fabs(Number(r[kDifference]));
        return d > 0 && d < 0.005;
    }));
}

TEST_F(DemoPractice, AFilteredTextListingHoldsTheUnfilteredLinesItSelects) {
    const Outcome all = Search({Folder()});
    const std::string code = All().front()[kCode];
    const Outcome some = Search({Folder(), "--code", code});
    ASSERT_EQ(some.code, 0) << some.err;
    const std::vector<std::string> allLines = Lines(all.out), someLines = Lines(some.out);
    ASSERT_GE(someLines.size(), 3u);
    EXPECT_EQ(someLines[0], Folder() + "/ZTDDF.LDD");
    EXPECT_EQ(someLines[1], "");
    std::multiset<std::string> expected;
    for (std::size_t i = 2; i < allLines.size(); ++i) {
        if (TextParts(allLines[i]).at(3) == code) expected.insert(allLines[i]);
    }
    EXPECT_EQ(std::multiset<std::string>(someLines.begin() + 2, someLines.end()), expected);
}

TEST_F(DemoPractice, TheSummaryAddsUpTheListedDifferences) {
    struct Totals {
        long payments = 0;
        double notApplied = 0, overApplied = 0;
    };
    std::map<std::string, Totals> perCode;
    Totals total;
    for (const Row& row : All()) {
        const double d = Number(row[kDifference]);
        for (Totals* t : {&total, &perCode[row[kCode]]}) {
            ++t->payments;
            if (d > 0) t->notApplied += d;
            if (d < 0) t->overApplied += d;
        }
    }
    const auto expectTotals = [](const Totals& t, long payments, double notApplied, double overApplied) {
        EXPECT_EQ(payments, t.payments);
        EXPECT_NEAR(notApplied, t.notApplied, 1e-6);
        EXPECT_NEAR(overApplied, t.overApplied, 1e-6);
    };

    // JSON: one last line after the payments' objects.
    const Outcome json = Search({Folder(), "--format", "json", "--summary"});
    ASSERT_EQ(json.code, 0) << json.err;
    const std::vector<std::string> objects = Lines(json.out);
    ASSERT_EQ(objects.size(), All().size() + 1);
    const nlohmann::json summary = nlohmann::json::parse(objects.back()).at("summary");
    expectTotals(total, summary.at("payments"), summary.at("not_applied"), summary.at("over_applied"));
    ASSERT_EQ(summary.at("codes").size(), perCode.size());
    for (const nlohmann::json& entry : summary.at("codes")) {
        SCOPED_TRACE(entry.dump());
        expectTotals(perCode.at(entry.at("code")), entry.at("payments"), entry.at("not_applied"),
                     entry.at("over_applied"));
    }

    // Text, alone: a header row, a row per code in order, the total row.
    const Outcome table = Search({Folder(), "--format", "none", "--summary"});
    ASSERT_EQ(table.code, 0) << table.err;
    const std::vector<std::string> rows = Lines(table.out);
    ASSERT_EQ(rows.size(), perCode.size() + 2);
    EXPECT_EQ(std::regex_replace(rows[0], std::regex(" +"), " "), "Code Payments Not applied Over-applied");
    // Totals are money: no floating-point noise past the ten-thousandth.
    for (const std::string& row : rows) EXPECT_FALSE(std::regex_search(row, std::regex(R"(\.\d{5}|E-)"))) << row;
    auto expected = perCode.begin();
    for (std::size_t i = 1; i < rows.size(); ++i) {
        std::istringstream cells(rows[i]);
        std::string code;
        long payments = 0;
        double notApplied = 0, overApplied = 0;
        cells >> code >> payments >> notApplied >> overApplied;
        if (i + 1 == rows.size()) {
            EXPECT_EQ(code, "Total");
            expectTotals(total, payments, notApplied, overApplied);
        } else {
            EXPECT_EQ(code, expected->first);
            expectTotals(expected->second, payments, notApplied, overApplied);
            ++expected;
        }
    }

    // After a text listing: the listing, an empty line, the same table.
    const Outcome both = Search({Folder(), "--summary"});
    EXPECT_EQ(both.out, Search({Folder()}).out + "\n" + table.out);
}

TEST_F(DemoPractice, TheOutputFileHoldsTheListingAndStandardOutputTheSummary) {
    const lumtest::TempDir dir;
    const fs::path file = dir.path("payments.csv");
    const Outcome run = Search({Folder(), "--format", "csv", "--output", file.string(), "--summary"});
    ASSERT_EQ(run.code, 0) << run.err;
    EXPECT_EQ(run.out, Search({Folder(), "--format", "none", "--summary"}).out);
    EXPECT_EQ(ReadFile(file), Search({Folder(), "--format", "csv"}).out);
    // Nothing else is left in the folder.
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 1);
}

TEST_F(DemoPractice, ThePdfWriterGetsThePanesLinesAndTheHeaderLine) {
    std::string path, header;
    std::vector<std::string> lines;
    const app::ListingPdfWriter writer = [&](const std::string& p, const std::string& h,
                                             const std::vector<std::string>& l) {
        path = p;
        header = h;
        lines = l;
    };
    const std::string code = All().front()[kCode];
    const Outcome run =
        Search({Folder(), "--code", code, "--pdf", "/tmp/report.pdf", "--summary", "--format", "none"}, writer);
    ASSERT_EQ(run.code, 0) << run.err;
    EXPECT_EQ(path, "/tmp/report.pdf");
    EXPECT_TRUE(std::regex_match(header, std::regex(Folder() + " \xE2\x80\x94 [0-9]{4}-[0-9]{2}-[0-9]{2}"))) << header;
    const std::vector<std::string> expected = Lines(Search({Folder(), "--code", code, "--summary"}).out);
    EXPECT_EQ(lines, expected);

    // A writer's failure is the run's.
    const Outcome failed = Search({Folder(), "--pdf", "r.pdf"},
                                  [](const std::string&, const std::string&, const std::vector<std::string>&) {
                                      throw std::runtime_error("the PDF file r.pdf cannot be written");
                                  });
    EXPECT_EQ(failed.code, 1);
    EXPECT_EQ(failed.err, "payxref: the PDF file r.pdf cannot be written.\n");
}

TEST_F(DemoPractice, TheBinaryTakesTheOptionsAndDrawsNoBarOffATerminal) {
    const lumtest::TempDir dir;
    const std::string out = dir.path("out"), err = dir.path("err");
    ASSERT_EQ(
        RunShell(std::string(PAYXREF_BIN) + " search '" + Folder() + "' --format csv >'" + out + "' 2>'" + err + "'"),
        0);
    EXPECT_EQ(ReadFile(out), Search({Folder(), "--format", "csv"}).out);
    EXPECT_EQ(ReadFile(err), "");
}

TEST(SearchOptions, EveryMistakeIsAUsageErrorThatSaysWhat) {
    struct Case {
        std::vector<std::string> args;
        std::string message;
    };
    const Case cases[] = {
        {{"--from", "2024-02-30"}, "--from: '2024-02-30' is not a date; write it as YYYY-MM-DD, e.g. 2024-01-31"},
        {{"--to", "24-01-01"}, "--to: '24-01-01' is not a date; write it as YYYY-MM-DD, e.g. 2024-01-31"},
        {{"--from", "2024-05-01", "--to", "2024-04-30"}, "--from 2024-05-01 is after --to 2024-04-30"},
        {{"--chart", "SMI000012"}, "--chart: 'SMI000012' is longer than the 8 characters a chart number has"},
        {{"--provider", "DR0001"}, "--provider: 'DR0001' is longer than the 5 characters a provider code has"},
        {{"--code", "ADJUSTMENT1"},
         "--code: 'ADJUSTMENT1' is longer than the 10 characters a payment or adjustment code has"},
        {{"--chart", ""}, "--chart: the value is empty"},
        {{"--chart=A\tB"}, "--chart: the value holds a control character"},
        {{"--chart", "\xE7\x8E\x8B"}, "--chart: '\xE7\x8E\x8B' holds a character the practice's tables cannot hold"},
        {{"--code"}, "option --code needs a value"},
        {{"--chart", "A", "--chart", "B"}, "option --chart is given twice"},
        {{"--min-difference", "-1"}, "--min-difference: '-1' is not a number of 0 or more, e.g. 0.005"},
        {{"--min-difference", "0,005"}, "--min-difference: '0,005' is not a number of 0 or more, e.g. 0.005"},
        {{"--min-difference", "inf"}, "--min-difference: 'inf' is not a number of 0 or more, e.g. 0.005"},
        {{"--format", "xml"}, "--format: 'xml' is not one of text, csv, json, none"},
        {{"--format", "none"}, "--format none lists nothing: add --summary or --pdf FILE"},
        {{"--format", "none", "--summary", "--output", "f"},
         "--output FILE receives the listing, and --format none lists nothing"},
        {{"--format", "csv", "--summary"},
         "--summary with --format csv needs --output FILE: the CSV listing goes to the file, the summary to "
         "standard output"},
        {{"--output", ""}, "--output: the file name is empty"},
        {{"--output", "a.pdf", "--pdf", "a.pdf"}, "--output and --pdf name the same file"},
        {{"--summary=yes"}, "option --summary takes no value"},
        {{"--colour"}, "unknown option '--colour'"},
        {{"/srv/a", "/srv/b"}, "only one practice folder can be named ('/srv/a' and '/srv/b')"},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.message);
        const Outcome run = Search(test.args);
        EXPECT_EQ(run.code, 2);
        EXPECT_EQ(run.err, "payxref: " + test.message + "\nTry 'payxref search --help'.\n");
        EXPECT_EQ(run.out, "");
    }
    std::vector<std::string> manyCodes;
    for (int i = 0; i <= 100; ++i) manyCodes.insert(manyCodes.end(), {"--code", "C" + std::to_string(i)});
    const Outcome many = Search(manyCodes);
    EXPECT_EQ(many.code, 2);
    EXPECT_EQ(many.err, "payxref: at most 100 codes can be given\nTry 'payxref search --help'.\n");

    const Outcome pdf = Search({"/srv/a", "--pdf", "r.pdf"});
    EXPECT_EQ(pdf.code, 2);
    EXPECT_EQ(pdf.err, "payxref: --pdf: this build of payxref cannot write PDF reports.\n");
}

TEST(SearchOptions, HelpListsEveryOptionWithExamples) {
    const Outcome help = Search({"--help"});
    EXPECT_EQ(help.code, 0);
    EXPECT_EQ(help.err, "");
    for (const char* option :
         {"--from DATE", "--to DATE", "--chart CHART", "--provider CODE", "--code CODE", "--min-difference X",
          "--format FORMAT", "--output FILE", "--summary", "--pdf FILE", "--quiet", "Examples:"}) {
        EXPECT_NE(help.out.find(option), std::string::npos) << option;
    }
}

const long kMarch15_2011 = 2455636;  // Julian day
const long kBeyondAnyCalendar = 2000000000;

TEST(SearchOutputFile, AFailedSearchLeavesTheFileAsItWasAndNoTemporaryFile) {
    lumtest::TempDir practice;
    lumtest::BuildPractice(practice,
                           {{1, "I", 100.0, "SMI00001", 7, kMarch15_2011, "PAYCASH"},
                            {2, "A", 100.0, "SMI00001", 7, kMarch15_2011, "99213"},
                            {3, "V", 40.0, "BAD00004", 2, kBeyondAnyCalendar, "BROKEN"}},
                           {{1, 2, 87.5}, {3, 2, 5.0}});
    const lumtest::TempDir dir;
    const fs::path file = dir.path("payments.json");
    struct Case {
        const char* what;
        std::vector<std::string> args;
    };
    const Case cases[] = {
        {"a line that fails", {practice.path(), "--format", "json", "--output", file.string()}},
        {"no practice", {dir.path("missing"), "--format", "json", "--output", file.string()}},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.what);
        for (const bool existed : {false, true}) {
            if (existed) std::ofstream(file) << "the earlier listing\n";
            const Outcome run = Search(test.args);
            EXPECT_EQ(run.code, 1);
            EXPECT_EQ(run.err.rfind("payxref: ", 0), 0u) << run.err;
            EXPECT_EQ(fs::exists(file), existed);
            if (existed) {
                EXPECT_EQ(ReadFile(file), "the earlier listing\n");
            }
            EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), existed ? 1 : 0);
            fs::remove(file);
        }
    }
    // A folder that is not there is said before any search.
    const Outcome nowhere = Search({practice.path(), "--output", dir.path("none/list.txt")});
    EXPECT_EQ(nowhere.code, 1);
    EXPECT_EQ(nowhere.err,
              "payxref: cannot write the output file " + dir.path("none/list.txt") + ": the folder does not exist.\n");
    EXPECT_EQ(nowhere.out, "");
}

TEST(SearchTableText, CodePageTextIsUtf8InCsvAndJsonAndFiltersTakeItAsTyped) {
    lumtest::TempDir practice;
    lumtest::BuildPractice(practice,
                           {{1, "I", 100.0, "M\xDCL00001", 7, kMarch15_2011,
                             "\xC9"
                             "CHEC"},
                            {2, "A", 100.0, "M\xDCL00001", 7, kMarch15_2011, "99213"},
                            {3, "K", 30.0, "O'BR0001", 1, kMarch15_2011, "ADJ"},
                            {4, "K", 20.0, "SMI00001", 1, kMarch15_2011, "ADJ"}},
                           {{1, 2, 87.5}, {3, 2, 10.0}, {4, 2, 5.0}});
    const Outcome text = Search({practice.path(), "--chart", "M\xC3\x9CL00001"});
    ASSERT_EQ(text.code, 0) << text.err;
    EXPECT_EQ(Lines(text.out).at(2),
              "Chart: M\xDCL00001 Case Number: 7 Date From: 03/15/2011 Payment/Adjustment Code: \xC9"
              "CHEC Difference: 12.5");
    EXPECT_EQ(Lines(text.out).size(), 3u);

    const Outcome csv = Search({practice.path(), "--chart", "M\xC3\x9CL00001", "--format", "csv"});
    EXPECT_EQ(ReadCsv(csv.out).at(1), (Row{"1", "M\xC3\x9CL00001", "7", "2011-03-15",
                                           "\xC3\x89"
                                           "CHEC",
                                           "100", "87.5", "12.5"}));
    const Outcome json = Search({practice.path(), "--code",
                                 "\xC3\x89"
                                 "CHEC",
                                 "--format", "json"});
    const nlohmann::json object = nlohmann::json::parse(Lines(json.out).at(0));
    EXPECT_EQ(object.at("Chart Number"), "M\xC3\x9CL00001");
    EXPECT_EQ(object.at("Payment/Adjustment Code"),
              "\xC3\x89"
              "CHEC");

    // An apostrophe is a character of the value, never the end of it.
    const Outcome quote = Search({practice.path(), "--chart", "O'BR0001", "--format", "csv"});
    ASSERT_EQ(quote.code, 0) << quote.err;
    ASSERT_EQ(ReadCsv(quote.out).size(), 2u);
    EXPECT_EQ(ReadCsv(quote.out)[1][kChart], "O'BR0001");
    const Outcome injected = Search({practice.path(), "--chart", "X' or '", "--format", "csv"});
    ASSERT_EQ(injected.code, 0) << injected.err;
    EXPECT_EQ(ReadCsv(injected.out).size(), 1u);
}

TEST(SearchTableText, WhatARecordLacksIsEmptyInCsvAndNullInJson) {
    lumtest::TempDir practice;
    lumtest::BuildPractice(practice,
                           {{1, "K", 30.0, "NUL00001", std::nullopt, std::nullopt, "ADJ"},
                            {2, "A", 100.0, "NUL00001", 1, kMarch15_2011, "99213"}},
                           {{1, 2, 10.0}});
    // The text line keeps the window's reading: case 0, day 0 of the scale.
    EXPECT_EQ(Lines(Search({practice.path()}).out).at(2),
              "Chart: NUL00001 Case Number: 0 Date From: 12/30/1899 Payment/Adjustment Code: ADJ Difference: 20");
    EXPECT_EQ(ReadCsv(Search({practice.path(), "--format", "csv"}).out).at(1),
              (Row{"1", "NUL00001", "", "", "ADJ", "30", "10", "20"}));
    const nlohmann::json object = nlohmann::json::parse(Lines(Search({practice.path(), "--format", "json"}).out).at(0));
    EXPECT_TRUE(object.at("Case Number").is_null());
    EXPECT_TRUE(object.at("Date From").is_null());
}

}  // namespace
