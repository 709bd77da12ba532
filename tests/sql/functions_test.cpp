// The SQLite functions and collations that give practice SQL its meaning.
#include "engine/sql/functions.h"

#include <gtest/gtest.h>

#include "tests/sql/sqlite_db.h"

namespace lce::sql {
namespace {

using testing::Exec;
using testing::OpenMemoryDb;
using testing::Scalar;

class PracticeFunctions : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(RegisterPracticeFunctions(db_.get()), SQLITE_OK); }
    testing::DbPtr db_ = OpenMemoryDb();
};

TEST_F(PracticeFunctions, PositionOfFixedLengthNeedle) {
    struct Case {
        const char* needle;    // SQL expression
        const char* haystack;  // SQL expression
        const char* expected;  // nullptr for NULL
    };
    const Case cases[] = {
        {"'I'", "'IJKLMNOSTUV'", "1"},
        {"'V'", "'IJKLMNOSTUV'", "11"},
        {"'J  '", "'IJKLMNOSTUV'", "2"},  // trailing blanks are padding
        {"'LM'", "'IJKLMNOSTUV'", "4"},
        {"''", "'IJKLMNOSTUV'", "0"},   // empty: found nowhere
        {"' '", "'IJKLMNOSTUV'", "0"},  // blanks only: found nowhere
        {"'    '", "'IJKLMNOSTUV'", "0"},
        {"'C'", "'IJKLMNOSTUV'", "0"},
        {"'i'", "'IJKLMNOSTUV'", "0"},   // case matters
        {"' I'", "'IJKLMNOSTUV'", "0"},  // leading blanks are not padding
        {"'b'",
         "'a\xC3\xA9"
         "b'",
         "3"},  // counts characters, not bytes
        {"NULL", "'IJK'", nullptr},
        {"'I'", "NULL", nullptr},
        {"5", "'12345'", "5"},  // numbers are compared as their text
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.needle) + " in " + c.haystack);
        const auto value = Scalar(db_.get(), std::string("SELECT lce_position(") + c.needle + ", " + c.haystack + ")");
        if (c.expected == nullptr) {
            EXPECT_FALSE(value.has_value());
        } else {
            EXPECT_EQ(value, c.expected);
        }
    }
}

// The reason lce_position exists: instr takes a blank type for a payment letter.
TEST_F(PracticeFunctions, InstrWouldTakeABlankTypeForAPayment) {
    Exec(db_.get(), "CREATE TABLE t(type TEXT); INSERT INTO t VALUES ('I'), (''), ('X')");
    EXPECT_EQ(Scalar(db_.get(), "SELECT count(*) FROM t WHERE instr('IJKLMNOSTUV', type) > 0"), "2");
    EXPECT_EQ(Scalar(db_.get(), "SELECT count(*) FROM t WHERE lce_position(type, 'IJKLMNOSTUV') > 0"), "1");
}

TEST_F(PracticeFunctions, RightTrim) {
    EXPECT_EQ(Scalar(db_.get(), "SELECT '[' || lce_rtrim('a b  ') || ']'"), "[a b]");
    EXPECT_EQ(Scalar(db_.get(), "SELECT '[' || lce_rtrim('   ') || ']'"), "[]");
    EXPECT_EQ(Scalar(db_.get(), "SELECT '[' || lce_rtrim('  a') || ']'"), "[  a]");
    EXPECT_FALSE(Scalar(db_.get(), "SELECT lce_rtrim(NULL)").has_value());
}

TEST_F(PracticeFunctions, CollationsIgnoreTrailingBlanks) {
    struct Case {
        const char* expression;
        const char* expected;
    };
    const Case cases[] = {
        {"'AB' = 'AB   ' COLLATE LCECHAR", "1"}, {"'AB' = 'ab' COLLATE LCECHAR", "0"},
        {"'AB' < 'ABC' COLLATE LCECHAR", "1"},   {"'AB  ' < 'ABC' COLLATE LCECHAR", "1"},
        {"' AB' = 'AB' COLLATE LCECHAR", "0"},   {"'' = '   ' COLLATE LCECHAR", "1"},
        {"'ab ' = 'AB' COLLATE LCECHARI", "1"},  {"'abc' > 'ABB  ' COLLATE LCECHARI", "1"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.expression);
        EXPECT_EQ(Scalar(db_.get(), std::string("SELECT ") + c.expression), c.expected);
    }
}

TEST_F(PracticeFunctions, CollatedColumnFindsPaddedValueThroughItsIndex) {
    Exec(db_.get(),
         "CREATE TABLE t(chart TEXT COLLATE LCECHAR); CREATE INDEX i ON t(chart);"
         "INSERT INTO t VALUES ('AAA'), ('B  '), ('B'), ('C')");
    EXPECT_EQ(Scalar(db_.get(), "SELECT count(*) FROM t WHERE chart = 'B     '"), "2");
    EXPECT_EQ(Scalar(db_.get(), "SELECT group_concat(rtrim(chart), ',') FROM t WHERE chart > 'AAA '"), "B,B,C");
}

}  // namespace
}  // namespace lce::sql
