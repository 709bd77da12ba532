// CSV records and the text forms of field values.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "tools/cells.h"
#include "tools/csv.h"

namespace payxref::db {
namespace {

std::vector<CsvRecord> ReadAll(const std::string& text) {
    std::istringstream in(text);
    CsvReader reader(in);
    std::vector<CsvRecord> records;
    while (auto r = reader.Next()) records.push_back(std::move(*r));
    return records;
}

std::vector<std::string> Texts(const CsvRecord& r) {
    std::vector<std::string> out;
    for (const CsvField& f : r.fields) out.push_back(f.text);
    return out;
}

TEST(Csv, ReadsQuotingAndLineEnds) {
    const auto records = ReadAll(
        "a,b,c\r\n"
        "\"x, y\",\"say \"\"hi\"\"\",\r\n"
        "\"two\r\nlines\",\"\",plain\n"
        "last,,\"\"");
    ASSERT_EQ(records.size(), 4u);
    EXPECT_EQ(Texts(records[0]), (std::vector<std::string>{"a", "b", "c"}));
    EXPECT_EQ(Texts(records[1]), (std::vector<std::string>{"x, y", "say \"hi\"", ""}));
    EXPECT_EQ(Texts(records[2]), (std::vector<std::string>{"two\r\nlines", "", "plain"}));
    EXPECT_EQ(Texts(records[3]), (std::vector<std::string>{"last", "", ""}));
    // Line numbers count physical lines, so a record after a quoted line break starts later.
    EXPECT_EQ(records[2].line, 3u);
    EXPECT_EQ(records[3].line, 5u);
    // A quoted empty field is a value; an unquoted one is not.
    EXPECT_FALSE(records[1].fields[2].quoted);
    EXPECT_TRUE(records[2].fields[1].quoted);
    EXPECT_TRUE(records[3].fields[2].quoted);
    EXPECT_FALSE(records[3].fields[1].quoted);
}

TEST(Csv, ReportsBrokenQuotingWithItsLine) {
    struct Case {
        const char* text;
        std::size_t line;
        const char* message;
    };
    const Case cases[] = {
        {"a\r\n\"open,\r\nb\r\n", 2, "never closed"},
        {"a\r\n\"x\"y\r\n", 2, "after a closing quote"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        try {
            ReadAll(c.text);
            ADD_FAILURE() << "accepted";
        } catch (const CsvError& e) {
            EXPECT_EQ(e.line(), c.line);
            EXPECT_NE(std::string(e.what()).find(c.message), std::string::npos) << e.what();
        }
    }
}

TEST(Csv, WriterOutputReadsBackUnchanged) {
    const std::vector<std::vector<CsvField>> records = {
        {{"plain", false}, {"with,comma", false}, {"with \"quote\"", false}},
        {{"line\r\nbreak", false}, {"", true}, {"", false}},
        {{" blanks ", false}, {"lf\nonly", false}, {"x", true}},
    };
    std::ostringstream out;
    CsvWriter writer(out);
    for (const auto& r : records) writer.Write(r);
    EXPECT_EQ(out.str().rfind("plain,\"with,comma\",\"with \"\"quote\"\"\"\r\n\"line\r\nbreak\",\"\",\r\n", 0), 0u)
        << out.str();
    const auto back = ReadAll(out.str());
    ASSERT_EQ(back.size(), records.size());
    for (std::size_t i = 0; i < records.size(); ++i) {
        for (std::size_t j = 0; j < records[i].size(); ++j) {
            EXPECT_EQ(back[i].fields[j].text, records[i][j].text) << i << "," << j;
            if (records[i][j].quoted) {
                EXPECT_TRUE(back[i].fields[j].quoted) << i << "," << j;
            }
        }
    }
}

lce::ColumnDef Column(std::uint16_t type, std::uint32_t length = 0) {
    lce::ColumnDef c;
    c.name = "c";
    c.type = type;
    c.length = length;
    return c;
}

TEST(Cells, JulianDays) {
    EXPECT_EQ(JulianDay(2000, 1, 1), 2451545);
    EXPECT_EQ(JulianDay(1899, 12, 30), 2415019);
    EXPECT_EQ(JulianDay(1, 1, 1), 1721426);
    for (std::int64_t jd : {1721426LL, 2415019LL, 2451545LL, 2451604LL, 2488069LL}) {
        int y = 0, m = 0, d = 0;
        CivilDate(jd, y, m, d);
        EXPECT_EQ(JulianDay(y, m, d), jd);
    }
}

// Each accepted text, the value it stands for, and the text written back.
TEST(Cells, ParseAndFormatEachType) {
    struct Case {
        std::uint16_t type;
        const char* text;
        bool quoted;
        lce::Value value;
        const char* written;  // nullptr: same as text
    };
    const Case cases[] = {
        {lce::kCharacter, "A1234", false, lce::Value::ofText("A1234"), nullptr},
        {lce::kCharacter, "", true, lce::Value::ofText(""), ""},
        {lce::kCharacter, "", false, lce::Value::null(), nullptr},
        {lce::kMemo, "long\r\ntext", false, lce::Value::ofMemo("long\r\ntext"), nullptr},
        {lce::kInteger, "-2147483647", false, lce::Value::ofInteger(-2147483647), nullptr},
        {lce::kInteger, "", true, lce::Value::null(), ""},
        {lce::kAutoIncrement, "7", false, lce::Value::ofInteger(7), nullptr},
        {lce::kShortInteger, "-32767", false, lce::Value::ofInteger(-32767), nullptr},
        {lce::kDouble, "30.3", false, lce::Value::ofDouble(30.3), nullptr},
        {lce::kDouble, "-0.1", false, lce::Value::ofDouble(-0.1), nullptr},
        {lce::kDouble, "1e-05", false, lce::Value::ofDouble(0.00001), nullptr},
        {lce::kDouble, "12.50", false, lce::Value::ofDouble(12.5), "12.5"},
        {lce::kCurrencyDouble, "19.99", false, lce::Value::ofDouble(19.99), nullptr},
        {lce::kNumeric, "3.25", false, lce::Value::ofDouble(3.25), nullptr},
        {lce::kMoney, "12.3456", false, lce::Value::ofScaled(123456), nullptr},
        {lce::kMoney, "-0.5", false, lce::Value::ofScaled(-5000), nullptr},
        {lce::kMoney, "40.00", false, lce::Value::ofScaled(400000), "40"},
        {lce::kLogical, "T", false, lce::Value::ofLogical(true), nullptr},
        {lce::kLogical, "n", false, lce::Value::ofLogical(false), "F"},
        {lce::kLogical, "1", false, lce::Value::ofLogical(true), "T"},
        {lce::kLogical, "FALSE", false, lce::Value::ofLogical(false), "F"},
        {lce::kLogical, "Y", false, lce::Value::ofLogical(true), "T"},
        {lce::kDate, "2011-03-15", false, lce::Value::ofDate(2455636), nullptr},
        {lce::kDate, "2000-02-29", false, lce::Value::ofDate(2451604), nullptr},
        {lce::kTimestamp, "2011-03-15 08:30:05", false, lce::Value::ofTimestamp(2455636, 30605000), nullptr},
        {lce::kTimestamp, "2011-03-15 23:59:59.007", false, lce::Value::ofTimestamp(2455636, 86399007), nullptr},
        {lce::kTime, "00:00:01.500", false, lce::Value::ofTime(1500), "00:00:01.500"},
        {lce::kBinary, "00FF7a", false, lce::Value::ofBinary(std::string("\x00\xFF\x7A", 3)), "00FF7A"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.text) + " as type " + std::to_string(c.type));
        const lce::ColumnDef column = Column(c.type, 10);
        const lce::Value value = ParseCell(c.text, c.quoted, column);
        EXPECT_TRUE(value == c.value);
        bool quoted = false;
        EXPECT_EQ(FormatCell(value, column, quoted), c.written ? c.written : c.text);
        // What is written reads back as the same value.
        EXPECT_TRUE(ParseCell(FormatCell(value, column, quoted), quoted, column) == value);
    }
}

TEST(Cells, RefusesBadTexts) {
    struct Case {
        std::uint16_t type;
        const char* text;
        const char* message;
    };
    const Case cases[] = {
        {lce::kCharacter, "ABCDEFGHIJK", "longer than the column's 10 characters"},
        {lce::kInteger, "12,5", "is not a whole number"},
        {lce::kInteger, "1.0", "is not a whole number"},
        {lce::kInteger, "-2147483648", "out of range"},  // the column's null pattern
        {lce::kInteger, "99999999999999999999", "out of range"},
        {lce::kAutoIncrement, "-1", "out of range"},
        {lce::kShortInteger, "40000", "out of range"},
        {lce::kDouble, "12,5", "is not a number"},
        {lce::kDouble, "abc", "is not a number"},
        {lce::kDouble, "inf", "is not a number"},
        {lce::kDouble, "nan", "is not a number"},
        {lce::kDouble, " 1", "is not a number"},
        {lce::kMoney, "1.23456", "more than four decimals"},
        {lce::kMoney, "1e3", "is not a number"},
        {lce::kMoney, "-", "is not a number"},
        {lce::kLogical, "yes", "is not a logical value"},
        {lce::kDate, "15.03.2011", "is not a date"},
        {lce::kDate, "2011-02-29", "is not a date"},
        {lce::kDate, "2011-13-01", "is not a date"},
        {lce::kDate, "2011-3-15", "is not a date"},
        {lce::kTimestamp, "2011-03-15", "is not a timestamp"},
        {lce::kTimestamp, "2011-03-15 24:00:00", "is not a timestamp"},
        {lce::kTimestamp, "2011-03-15T08:30:05", "is not a timestamp"},
        {lce::kTimestamp, "2011-03-15 08:30:05.5", "is not a timestamp"},
        {lce::kBinary, "ABC", "is not hexadecimal"},
        {lce::kBinary, "zz", "is not hexadecimal"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.text) + " as type " + std::to_string(c.type));
        try {
            ParseCell(c.text, false, Column(c.type, 10));
            ADD_FAILURE() << "accepted";
        } catch (const CellError& e) {
            EXPECT_NE(std::string(e.what()).find(c.message), std::string::npos) << e.what();
        }
    }
}

}  // namespace
}  // namespace payxref::db
