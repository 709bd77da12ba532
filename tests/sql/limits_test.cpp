// Bounds of the dialect translator: nesting depth, tables per SELECT and the
// length of a token quoted in a message. Whatever the text, a translation
// ends in a result or a TranslateError, never in a stack overflow.
#include "engine/sql/translate.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/sql/sqlite_db.h"

namespace lce::sql {
namespace {

// One recursive form of the dialect: `open` + inner + `close` is one level
// deeper than inner; `base` is the innermost text.
struct NestingForm {
    const char* name;
    const char* before;  // statement text before the nest
    const char* open;
    const char* base;
    const char* close;
    const char* after;  // statement text after the nest
};

const NestingForm kForms[] = {
    {"parentheses", "SELECT ", "(", "1", ")", " FROM t"},
    {"NOT", "SELECT a FROM t WHERE ", "NOT ", "a = 1", "", ""},
    {"unary minus", "SELECT ", "- ", "1", "", " FROM t"},
    {"unary plus", "SELECT ", "+ ", "1", "", " FROM t"},
    {"scalar sub-query", "SELECT ", "(SELECT ", "1", ")", " FROM t"},
    {"EXISTS", "SELECT a FROM t WHERE ", "EXISTS (SELECT a FROM t WHERE ", "a = 1", ")", ""},
    {"IN list", "SELECT a FROM t WHERE ", "a IN (", "1", ")", ""},
    {"IN sub-query", "SELECT a FROM t WHERE ", "a IN (SELECT a FROM t WHERE ", "a = 1", ")", ""},
    {"CASE", "SELECT ", "CASE WHEN a = 1 THEN ", "1", " END", " FROM t"},
    {"function arguments", "SELECT ", "abs(", "1", ")", " FROM t"},
    {"POSITION", "SELECT ", "POSITION('a' IN ", "'b'", ")", " FROM t"},
    {"CAST", "SELECT ", "CAST(", "1", " AS INTEGER)", " FROM t"},
    {"derived table", "SELECT * FROM ", "(SELECT * FROM ", "t", ")", ""},
    {"parenthesised SELECT", "", "(", "SELECT 1", ")", ""},
};

std::string Nest(const NestingForm& form, std::size_t depth) {
    std::string text = form.before;
    for (std::size_t i = 0; i < depth; ++i) text += form.open;
    text += form.base;
    for (std::size_t i = 0; i < depth; ++i) text += form.close;
    return text + form.after;
}

TEST(TranslateLimits, NestingUpToTheLimitTranslates) {
    for (const NestingForm& form : kForms) {
        SCOPED_TRACE(form.name);
        try {
            const Translation t = Translate(Nest(form, kMaxNesting));
            EXPECT_EQ(t.kind, StatementKind::Select);
        } catch (const TranslateError& e) {
            ADD_FAILURE() << e.what();
        }
    }
}

TEST(TranslateLimits, NestingPastTheLimitIsRefusedWithItsMessage) {
    const std::size_t depths[] = {kMaxNesting + 1, 5000, 50000};
    for (const NestingForm& form : kForms) {
        for (const std::size_t depth : depths) {
            SCOPED_TRACE(std::string(form.name) + " x " + std::to_string(depth));
            try {
                Translate(Nest(form, depth));
                ADD_FAILURE() << "no error";
            } catch (const TranslateError& e) {
                EXPECT_EQ(e.nativeError(), kNativeTooComplex);
                EXPECT_EQ(
                    std::string(e.what()).rfind("SQL statement nested too deeply (more than 200 levels) near ", 0), 0u)
                    << e.what();
            }
        }
    }
}

// The forms share one count: NOT and a parenthesis are two levels.
TEST(TranslateLimits, EveryFormCountsTowardsOneLimit) {
    const NestingForm mixed = {"NOT (", "SELECT a FROM t WHERE ", "NOT (", "a = 1", ")", ""};
    EXPECT_NO_THROW(Translate(Nest(mixed, kMaxNesting / 2)));
    EXPECT_THROW(Translate(Nest(mixed, kMaxNesting / 2 + 1)), TranslateError);
}

// A long chain of one operator is written flat, in time linear in its
// length, so SQLite's parser takes it (nested parentheses ran its stack out
// at about 100 terms).
TEST(TranslateLimits, LongOperatorChainsStayFlat) {
    const auto chain = [](std::size_t terms) {
        std::string text = "SELECT a FROM t WHERE a = 0";
        for (std::size_t i = 1; i < terms; ++i) text += " OR a = " + std::to_string(i);
        return text;
    };
    const std::string sql = Translate(chain(100000)).sql;
    const std::string head = "SELECT \"a\" AS \"a\" FROM \"t\" AS \"t\" WHERE (\"a\" = 0) OR (\"a\" = 1) OR";
    EXPECT_EQ(sql.rfind(head, 0), 0u) << sql.substr(0, 100);
    EXPECT_TRUE(sql.ends_with("(\"a\" = 99998) OR (\"a\" = 99999)")) << sql.substr(sql.size() - 50);

    const testing::DbPtr db = testing::OpenMemoryDb();
    testing::Exec(db.get(), "CREATE TABLE t (a INTEGER)");
    EXPECT_NO_THROW(testing::Prepare(db.get(), Translate(chain(500)).sql));
}

TEST(TranslateLimits, TablesOfOneSelect) {
    const auto fromList = [](std::size_t tables, const char* separator) {
        std::string text = "SELECT 1 FROM t0";
        for (std::size_t i = 1; i < tables; ++i) text += separator + std::to_string(i);
        return text;
    };
    for (const char* separator : {", t", " JOIN t", " LEFT JOIN t"}) {
        SCOPED_TRACE(separator);
        EXPECT_EQ(Translate(fromList(kMaxJoinedTables, separator)).sources.size(), kMaxJoinedTables);
        try {
            Translate(fromList(kMaxJoinedTables + 1, separator));
            ADD_FAILURE() << "no error";
        } catch (const TranslateError& e) {
            EXPECT_EQ(e.nativeError(), kNativeTooComplex);
            EXPECT_EQ(std::string(e.what()).rfind("more than 64 tables in one SELECT near ", 0), 0u) << e.what();
        }
    }
    // Each SELECT counts its own: a union of many stays translatable.
    std::string unions = fromList(kMaxJoinedTables, ", t");
    for (int i = 0; i < 3; ++i) unions += " UNION " + fromList(kMaxJoinedTables, ", t");
    EXPECT_EQ(Translate(unions).tables.size(), kMaxJoinedTables);
}

TEST(TranslateLimits, MessagesQuoteAtMostTheStartOfAHugeToken) {
    const std::string huge(1000000, 'x');
    const std::string statements[] = {
        "SELECT a FROM t WHERE a = 1 '" + huge + "'",  // syntax error at a literal
        "SELECT a FROM t WHERE a = 1 [" + huge + "]",  // ... at an identifier
        huge + " a",                                   // unsupported statement
    };
    for (const std::string& text : statements) {
        SCOPED_TRACE(text.substr(0, 30));
        try {
            Translate(text);
            ADD_FAILURE() << "no error";
        } catch (const TranslateError& e) {
            EXPECT_LE(e.token().size(), kMaxQuotedToken + 3);
            EXPECT_LT(std::string(e.what()).size(), 200u) << e.what();
            EXPECT_NE(e.token().find("xxx..."), std::string::npos) << e.token();
        }
    }
}

}  // namespace
}  // namespace lce::sql
