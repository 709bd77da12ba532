// CSV records and the text forms of field values.
#include <gtest/gtest.h>

#include <limits>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "tools/cells.h"
#include "tools/csv.h"
#include "tools/text_1252.h"

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

// Quotes only where RFC 4180 allows them, and every limit, each with the
// line and field (from 1; 0 for the record as a whole) it is met in.
TEST(Csv, RefusesBareQuotesAndInputBeyondItsLimits) {
    const CsvLimits small{100, 20, 5};
    struct Case {
        const char* name;
        std::string text;
        std::size_t line;
        std::size_t field;
        const char* message;
    };
    const Case cases[] = {
        {"bare quote", "a,b\r\nx,y\"z\r\n", 2, 2, "a quote inside a field that does not start with one"},
        {"bare quote at the end", "ab\"\r\n", 1, 1, "a quote inside a field"},
        {"text after closing quote", "\"a\"b", 1, 1, "text after a closing quote"},
        {"field too long", "a,123456\r\n", 1, 2, "a field is longer than 5 bytes"},
        {"quoted field too long", "\"1234\r\n56\"\r\n", 2, 1, "a field is longer than 5 bytes"},
        {"record too long", "a,b\r\n1,2,3,4,5,6,7,8,9,0,1\r\n", 2, 0, "a line is longer than 20 bytes"},
        {"record of many lines too long", "\"\n\",\"\n\",\"\n\",\"\n\",\"\n\",\"\n\"\r\n", 6, 0,
         "a line is longer than 20 bytes"},
        {"file too long", std::string(30, '\n') + std::string(30, '\n') + std::string(41, '\n'), 101, 0,
         "the file is larger than 100 bytes"},
        {"endless field", std::string(1000, 'z'), 1, 1, "a field is longer than 5 bytes"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::istringstream in(c.text);
        CsvReader reader(in, small);
        try {
            while (reader.Next()) {}
            ADD_FAILURE() << "accepted";
        } catch (const CsvError& e) {
            EXPECT_EQ(e.line(), c.line);
            EXPECT_EQ(e.field(), c.field);
            EXPECT_NE(std::string(e.what()).find(c.message), std::string::npos) << e.what();
        }
    }
}

// A whole UTF-8 byte-order mark at the start is skipped; a partial one is text.
TEST(Csv, SkipsOnlyAWholeByteOrderMark) {
    EXPECT_EQ(Texts(ReadAll("\xEF\xBB\xBF"
                            "a,b")[0]),
              (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(Texts(ReadAll("\xEF\xBBz,b")[0]), (std::vector<std::string>{"\xEF\xBBz", "b"}));
    EXPECT_EQ(Texts(ReadAll("a\r\n\xEF\xBB\xBF")[1]), (std::vector<std::string>{"\xEF\xBB\xBF"}));
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

// One number form for money, integer and double columns: an optional sign,
// digits, an optional fraction; integers take no fraction.
TEST(Cells, NumberFormsAreTheSameForMoneyIntegersAndDoubles) {
    struct Case {
        const char* text;
        std::optional<std::int64_t> money;  // in ten-thousandths; none: refused
        std::optional<std::int64_t> integer;
        std::optional<double> real;
    };
    const Case cases[] = {
        {"+1", 10000, 1, 1.0},
        {"-1", -10000, -1, -1.0},
        {"1.5", 15000, std::nullopt, 1.5},
        {"+1.5", 15000, std::nullopt, 1.5},
        {"-0.25", -2500, std::nullopt, -0.25},
        {".5", 5000, std::nullopt, 0.5},
        {"5.", 50000, std::nullopt, 5.0},
        {"-0", 0, 0, -0.0},
        {"+", std::nullopt, std::nullopt, std::nullopt},
        {"+-1", std::nullopt, std::nullopt, std::nullopt},
        {"--1", std::nullopt, std::nullopt, std::nullopt},
        {".", std::nullopt, std::nullopt, std::nullopt},
        {"1.2.3", std::nullopt, std::nullopt, std::nullopt},
        {"1 ", std::nullopt, std::nullopt, std::nullopt},
        {"0x10", std::nullopt, std::nullopt, std::nullopt},
        {"+inf", std::nullopt, std::nullopt, std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        const auto check = [&](std::uint16_t type, const std::optional<lce::Value>& expected) {
            SCOPED_TRACE("type " + std::to_string(type));
            try {
                const lce::Value value = ParseCell(c.text, false, Column(type));
                ASSERT_TRUE(expected.has_value()) << "accepted";
                EXPECT_TRUE(value == *expected);
            } catch (const CellError& e) {
                EXPECT_FALSE(expected.has_value()) << e.what();
            }
        };
        check(lce::kMoney, c.money ? std::optional(lce::Value::ofScaled(*c.money)) : std::nullopt);
        check(lce::kInteger, c.integer ? std::optional(lce::Value::ofInteger(*c.integer)) : std::nullopt);
        check(lce::kDouble, c.real ? std::optional(lce::Value::ofDouble(*c.real)) : std::nullopt);
    }
    // The widest integers reach both ends; the lowest is the null pattern.
    EXPECT_TRUE(ParseCell("+9223372036854775807", false, Column(lce::kLongInteger)) ==
                lce::Value::ofInteger(std::numeric_limits<std::int64_t>::max()));
    EXPECT_TRUE(ParseCell("-9223372036854775807", false, Column(lce::kLongInteger)) ==
                lce::Value::ofInteger(std::numeric_limits<std::int64_t>::min() + 1));
    for (const char* outside : {"-9223372036854775808", "9223372036854775808", "18446744073709551617"}) {
        EXPECT_THROW(ParseCell(outside, false, Column(lce::kLongInteger)), CellError) << outside;
    }
}

// Character and memo cells: UTF-8 in, Windows-1252 stored, lengths in
// characters, and back to UTF-8 on export.
TEST(Cells, TextIsStoredAsWindows1252) {
    struct Case {
        const char* name;
        std::string utf8;
        std::string stored;
    };
    const Case cases[] = {
        {"ASCII", "A1234", "A1234"},
        {"Latin-1 letters", "\xC3\x84\xC3\x96\xC3\x9C\xC3\x9F\xC3\xA9\xC3\xA8", "\xC4\xD6\xDC\xDF\xE9\xE8"},
        {"the 0x80 row", "\xE2\x82\xAC\xE2\x80\x9E\xE2\x84\xA2\xC5\xBD", "\x80\x84\x99\x8E"},
        {"unassigned bytes as C1 controls", "\xC2\x81\xC2\x8D\xC2\x8F\xC2\x90\xC2\x9D", "\x81\x8D\x8F\x90\x9D"},
        {"non-breaking space and y diaeresis", "\xC2\xA0\xC3\xBF", "\xA0\xFF"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        for (const std::uint16_t type : {lce::kCharacter, lce::kMemo}) {
            // The character column is exactly as long as the text in characters.
            const lce::ColumnDef column = Column(type, static_cast<std::uint32_t>(c.stored.size()));
            const lce::Value value = ParseCell(c.utf8, false, column);
            EXPECT_EQ(value.text, c.stored);
            bool quoted = false;
            EXPECT_EQ(FormatCell(value, column, quoted), c.utf8);
        }
    }
    EXPECT_THROW(ParseCell("\xC3\x84\xC3\x96\xC3\x9C", false, Column(lce::kCharacter, 2)), CellError);
    // Every byte a table may hold comes back as it was.
    std::string everyByte;
    for (int b = 1; b < 256; ++b) everyByte += static_cast<char>(b);
    EXPECT_EQ(Utf8ToWindows1252(Windows1252ToUtf8(everyByte)).text, everyByte);
}

TEST(Cells, RefusesTextWithoutAWindows1252Form) {
    struct Case {
        const char* name;
        std::string utf8;
        const char* message;
    };
    const Case cases[] = {
        {"lone continuation byte", "ab\x80", "is not UTF-8 text (at character 3)"},
        {"Latin-1 byte", "\xC4rzte", "is not UTF-8 text (at character 1)"},
        {"cut sequence", "x\xE2\x82", "is not UTF-8 text (at character 2)"},
        {"overlong form", "\xC0\xAF", "is not UTF-8 text (at character 1)"},
        {"surrogate", "\xED\xA0\x80", "is not UTF-8 text (at character 1)"},
        {"NUL", std::string("a\0b", 3), "holds a NUL character (at character 2)"},
        {"Greek omega", "x\xCE\xA9", "holds \xCE\xA9 (U+03A9, at character 2), which has no Windows-1252 form"},
        {"C1 control with an assigned byte", "\xC2\x80", "(U+0080, at character 1)"},
        {"outside the BMP", "\xF0\x9F\x98\x80", "(U+1F600, at character 1)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        for (const std::uint16_t type : {lce::kCharacter, lce::kMemo}) {
            try {
                ParseCell(c.utf8, false, Column(type, 10));
                ADD_FAILURE() << "accepted";
            } catch (const CellError& e) {
                EXPECT_NE(std::string(e.what()).find(c.message), std::string::npos) << e.what();
            }
        }
    }
}

// Values in messages: cut after 60 characters (not bytes), with the cut
// marked; what cannot be shown as text shown as \xNN.
TEST(Cells, ValuesInMessagesAreCutAndShowable) {
    const std::string umlauts60 = [] {
        std::string s;
        for (int k = 0; k < 60; ++k) s += "\xC3\x84";
        return s;
    }();
    struct Case {
        std::string text;
        std::string quoted;
    };
    const Case cases[] = {
        {"plain", "\"plain\""},
        {std::string(60, 'x'), "\"" + std::string(60, 'x') + "\""},
        {std::string(61, 'x'), "\"" + std::string(60, 'x') + "\xE2\x80\xA6\""},
        {umlauts60, "\"" + umlauts60 + "\""},
        {umlauts60 + "!", "\"" + umlauts60 + "\xE2\x80\xA6\""},
        {std::string("a\0b\r\n\xFF", 6), "\"a\\x00b\\x0D\\x0A\\xFF\""},
        {std::string(100000000 / 1000, 'y'), "\"" + std::string(60, 'y') + "\xE2\x80\xA6\""},
    };
    for (const Case& c : cases) EXPECT_EQ(QuoteForMessage(c.text), c.quoted) << c.text.substr(0, 80);
}

}  // namespace
}  // namespace payxref::db
