// Translation of the practice's SQL dialect into SQLite SQL.
#include "engine/sql/translate.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace lce::sql {
namespace {

struct Case {
    const char* name;
    const char* dialect;
    const char* sqlite;
};

// Dialect text -> the SQLite text the translator writes for it.
const Case kCases[] = {
    {"bracketed identifiers and aliases", "Select pay.[Entry Number], [Amount] From ZTTRN pay",
     R"(SELECT "pay"."Entry Number" AS "Entry Number", "Amount" AS "Amount" FROM "ZTTRN" AS "pay")"},
    {"column alias without AS", "Select Sum([Payment Amount]) PayTotal From ZTPAX",
     R"(SELECT SUM("Payment Amount") AS "PayTotal" FROM "ZTPAX" AS "ZTPAX")"},
    {"column alias with AS and quoted names", "select \"Amount\" as [Paid Out], count(*) AS n from ZTTRN",
     R"(SELECT "Amount" AS "Paid Out", COUNT(*) AS "n" FROM "ZTTRN" AS "ZTTRN")"},
    {"expression without alias is named by position", "Select 1 + 2, Amount From ZTTRN t",
     R"(SELECT 1 + 2 AS "EXPR_1", "Amount" AS "Amount" FROM "ZTTRN" AS "t")"},
    {"table alias with AS", "Select t.Amount From ZTTRN AS t",
     R"(SELECT "t"."Amount" AS "Amount" FROM "ZTTRN" AS "t")"},
    {"table name with extension gets the bare alias", "Select Amount From \"ZTTRN.LDT\"",
     R"(SELECT "Amount" AS "Amount" FROM "ZTTRN.LDT" AS "ZTTRN")"},
    {"CR LF line ends and tabs", "Select\r\n\tAmount\r\nFrom ZTTRN\r\n",
     R"(SELECT "Amount" AS "Amount" FROM "ZTTRN" AS "ZTTRN")"},
    {"POSITION becomes lce_position", "Select a From t Where Position(t.[Transaction Type] in 'IJKLMNOSTUV') > 0",
     R"(SELECT "a" AS "a" FROM "t" AS "t" WHERE lce_position("t"."Transaction Type", 'IJKLMNOSTUV') > 0)"},
    {"POSITION needle that is itself an expression", "Select a From t Where POSITION(UPPER(x) || 'A' IN y) = 1",
     R"(SELECT "a" AS "a" FROM "t" AS "t" WHERE lce_position(UPPER("x") || 'A', "y") = 1)"},
    {"literal holding brackets, quotes, a comment and IN",
     "Select a From t Where b = '[x] it''s -- not /* a */ comment IN (1)'",
     R"(SELECT "a" AS "a" FROM "t" AS "t" WHERE "b" = '[x] it''s -- not /* a */ comment IN (1)')"},
    {"literal holding a colon is no parameter", "Select a From t Where b = 'x :p ?'",
     R"(SELECT "a" AS "a" FROM "t" AS "t" WHERE "b" = 'x :p ?')"},
    {"bracketed name holding a quote and a keyword", "Select [He said \"IN\"] From t",
     R"(SELECT "He said ""IN""" AS "He said ""IN""" FROM "t" AS "t")"},
    {"comments are dropped", "Select a -- the amount [x]\r\n/* 'not a literal */ From t",
     R"(SELECT "a" AS "a" FROM "t" AS "t")"},
    {"parameters become numbered, each occurrence its own",
     "Select a From t Where b = :p and c = :q or d = :p and e = ?",
     R"(SELECT "a" AS "a" FROM "t" AS "t" WHERE (("b" = ?1) AND ("c" = ?2)) OR (("d" = ?3) AND ("e" = ?4)))"},
    {"comma joins, GROUP BY, ORDER BY",
     "Select p.a, Min(p.b) lo From t p, u Where p.a = u.a Group By p.a Order By 2 desc, p.a",
     R"(SELECT "p"."a" AS "a", MIN("p"."b") AS "lo" FROM "t" AS "p", "u" AS "u" WHERE "p"."a" = "u"."a" GROUP BY "p"."a" ORDER BY 2 DESC, "p"."a")"},
    {"JOIN ... ON", "Select x.a From t x Left Outer Join u y On x.a = y.a",
     R"(SELECT "x"."a" AS "a" FROM "t" AS "x" LEFT OUTER JOIN "u" AS "y" ON "x"."a" = "y"."a")"},
    {"HAVING with AVG and MAX", "Select a, Avg(b) m From t Group By a Having Max(b) >= 10.5",
     R"(SELECT "a" AS "a", AVG("b") AS "m" FROM "t" AS "t" GROUP BY "a" HAVING MAX("b") >= 10.5)"},
    {"operator precedence is kept with parentheses", "Select a From t Where not a = 1 and (b = 2 or c = 3)",
     R"(SELECT "a" AS "a" FROM "t" AS "t" WHERE (NOT ("a" = 1)) AND (("b" = 2) OR ("c" = 3)))"},
    {"arithmetic precedence", "Select a - b * c From t", R"(SELECT "a" - ("b" * "c") AS "EXPR_1" FROM "t" AS "t")"},
    {"IN list, NOT IN, LIKE, BETWEEN, IS NULL",
     "Select a From t Where a in ('I','J') and b not in (1) and c like 'x%' and d between 1 and 2 and e is not null",
     R"(SELECT "a" AS "a" FROM "t" AS "t" WHERE ("a" IN ('I', 'J')) AND ("b" NOT IN (1)) AND ("c" LIKE 'x%') AND ("d" BETWEEN 1 AND 2) AND ("e" IS NOT NULL))"},
    {"a chain of one SQLite level is written flat", "Select a - b + c / d * e % f From t",
     R"(SELECT "a" - "b" + ("c" / "d" * "e" % "f") AS "EXPR_1" FROM "t" AS "t")"},
    {"a chain mixing SQLite levels keeps the dialect's grouping", "Select a + b || c, a = b < c From t",
     R"(SELECT ("a" + "b") || "c" AS "EXPR_1", ("a" = "b") < "c" AS "EXPR_2" FROM "t" AS "t")"},
    {"subquery with IN", "Select a From t Where a in (Select b From u)",
     R"(SELECT "a" AS "a" FROM "t" AS "t" WHERE "a" IN (SELECT "b" AS "b" FROM "u" AS "u"))"},
    {"COUNT DISTINCT and CASE", "Select Count(Distinct a) n, Case When a > 0 Then 'P' Else 'N' End k From t",
     R"(SELECT COUNT(DISTINCT "a") AS "n", CASE WHEN "a" > 0 THEN 'P' ELSE 'N' END AS "k" FROM "t" AS "t")"},
    {"TOP becomes LIMIT", "Select Top 5 a From t", R"(SELECT "a" AS "a" FROM "t" AS "t" LIMIT 5)"},
    {"star and alias star", "Select *, p.* From t p", R"(SELECT *, "p".* FROM "t" AS "p")"},
    {"trailing semicolon", "Select a From t;", R"(SELECT "a" AS "a" FROM "t" AS "t")"},
    {"SUBSTRING FROM FOR and CAST", "Select Substring(a From 2 For 3) s, Cast(b As SQL_INTEGER) i From t",
     R"(SELECT substr("a", 2, 3) AS "s", CAST("b" AS INTEGER) AS "i" FROM "t" AS "t")"},
    {"UNION ALL", "Select a From t Union All Select b From u",
     R"(SELECT "a" AS "a" FROM "t" AS "t" UNION ALL SELECT "b" AS "b" FROM "u" AS "u")"},
    {"INSERT VALUES with parameters", "Insert Into t ([a b], c) Values (:x, 'y')",
     R"(INSERT INTO "t" ("a b", "c") VALUES (?1, 'y'))"},
    {"UPDATE with alias", "Update t Set [a b] = a + 1 Where c = 'x'",
     R"(UPDATE "t" AS "t" SET "a b" = "a" + 1 WHERE "c" = 'x')"},
    {"DELETE", "Delete From t Where a is null", R"(DELETE FROM "t" AS "t" WHERE "a" IS NULL)"},
};

TEST(Translate, CaseTable) {
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.name);
        try {
            EXPECT_EQ(Translate(c.dialect).sql, c.sqlite);
        } catch (const TranslateError& e) {
            ADD_FAILURE() << "threw: " << e.what();
        }
    }
}

struct ErrorCase {
    const char* dialect;
    const char* token;        // token the message must name
    const char* messagePart;  // text the message must contain
};

TEST(Translate, SyntaxErrorsNameTheToken) {
    const ErrorCase cases[] = {
        {"Select a Form t", "t", "syntax error near \"t\" (line 1, column 15)"},
        {"Select a,\r\n From t", "From", "syntax error near \"From\" (line 2, column 2)"},
        {"Select a From t Where", "", "syntax error near end of statement"},
        {"Select a From t Where b = 'open", "'open", "unterminated string literal near \"'open\""},
        {"Select [a From t", "[a From t", "unterminated bracketed identifier"},
        {"Select a /* never closed", "/* never closed", "unterminated comment"},
        {"Select a From t Where Position(b 'IJ') > 0", "'IJ'", "syntax error near \"'IJ'\""},
        {"Select a From t Where b = 1 )", ")", "syntax error near \")\""},
        {"Select a From t Where b = #", "#", "unexpected character near \"#\""},
    };
    for (const ErrorCase& c : cases) {
        SCOPED_TRACE(c.dialect);
        try {
            Translate(c.dialect);
            ADD_FAILURE() << "no error";
        } catch (const TranslateError& e) {
            EXPECT_EQ(e.nativeError(), kNativeSyntaxError);
            EXPECT_EQ(e.token(), c.token);
            EXPECT_NE(std::string(e.what()).find(c.messagePart), std::string::npos) << e.what();
        }
    }
}

TEST(Translate, OtherStatementsAreRefused) {
    try {
        Translate("Create Table x (a Integer)");
        FAIL() << "no error";
    } catch (const TranslateError& e) {
        EXPECT_EQ(e.nativeError(), kNativeUnsupported);
        EXPECT_EQ(e.token(), "Create");
    }
}

TEST(Translate, ReportsTablesSourcesAndParameters) {
    const Translation t = Translate(
        "Select a From ZTTRN pay, ztpax, ZTTRN chg Where a in (Select b From Other) "
        "and c = :First and d = ?");
    ASSERT_EQ(t.tables, (std::vector<std::string>{"ZTTRN", "ztpax", "Other"}));
    ASSERT_EQ(t.sources.size(), 4u);
    EXPECT_EQ(t.sources[0].alias, "pay");
    EXPECT_EQ(t.sources[1].alias, "ztpax");
    EXPECT_EQ(t.sources[2].alias, "chg");
    EXPECT_TRUE(t.sources[2].outer);
    EXPECT_EQ(t.sources[3].name, "Other");
    EXPECT_FALSE(t.sources[3].outer);
    EXPECT_EQ(t.parameters, (std::vector<std::string>{"First", ""}));
    EXPECT_EQ(t.kind, StatementKind::Select);
}

TEST(Translate, ResolverIsAskedOncePerTable) {
    std::vector<std::string> asked;
    const Translation t = Translate("Select p.a From ZTTRN p, zttrn c, ZTPAX", [&](const std::string& name) {
        asked.push_back(name);
        return "\"s" + std::to_string(asked.size()) + "\".\"records\"";
    });
    EXPECT_EQ(asked, (std::vector<std::string>{"ZTTRN", "ZTPAX"}));
    EXPECT_EQ(t.sql, R"(SELECT "p"."a" AS "a" FROM "s1"."records" AS "p", "s1"."records" AS "c", )"
                     R"("s2"."records" AS "ZTPAX")");
}

TEST(Translate, ResolverRefusalPropagates) {
    EXPECT_THROW(
        Translate("Select a From Missing",
                  [](const std::string& name) -> std::string { throw std::runtime_error("no table " + name); }),
        std::runtime_error);
}

TEST(Translate, SelectItemKindsAndCandidates) {
    const Translation t = Translate(
        "Select pay.[Entry Number], pay.[Amount], Sum([Payment Amount]) PayTotal, Count(*) n, "
        "Min(chg.Amount), Max(x) hi, Avg(1.5) av, pay.Amount * 2 twice, chg.* "
        "From ZTTRN pay, ZTPAX, ZTTRN chg");
    ASSERT_EQ(t.columns.size(), 9u);
    struct Expect {
        const char* name;
        ItemKind kind;
        bool hasColumn;
        const char* qualifier;
        const char* column;
        std::vector<std::size_t> candidates;
    };
    const Expect expected[] = {
        {"Entry Number", ItemKind::Column, true, "pay", "Entry Number", {0}},
        {"Amount", ItemKind::Column, true, "pay", "Amount", {0}},
        {"PayTotal", ItemKind::Sum, true, "", "Payment Amount", {0, 1, 2}},
        {"n", ItemKind::Count, false, "", "", {}},
        {"EXPR_5", ItemKind::Min, true, "chg", "Amount", {2}},
        {"hi", ItemKind::Max, true, "", "x", {0, 1, 2}},
        {"av", ItemKind::Avg, false, "", "", {}},
        {"twice", ItemKind::Expression, false, "", "", {}},
        {"", ItemKind::AllColumns, false, "chg", "", {}},
    };
    for (std::size_t i = 0; i < t.columns.size(); ++i) {
        SCOPED_TRACE(i);
        const SelectItem& item = t.columns[i];
        EXPECT_EQ(item.name, expected[i].name);
        EXPECT_EQ(item.kind, expected[i].kind);
        EXPECT_EQ(item.hasColumn, expected[i].hasColumn);
        EXPECT_EQ(item.column.qualifier, expected[i].qualifier);
        if (expected[i].hasColumn) {
            EXPECT_EQ(item.column.column, expected[i].column);
        }
        EXPECT_EQ(item.candidates, expected[i].candidates);
    }
}

// A grouped statement is split only where its halves together are exactly
// its rows: one SELECT, grouped first by a plain column, with no order,
// row limit or DISTINCT of its own.
TEST(Translate, AGroupedSelectSaysWhereItSplitsInTwo) {
    struct SplitCase {
        const char* dialect;
        const char* lower;  // nullptr: not split
        const char* upper;
    };
    const SplitCase cases[] = {
        {"Select p.[Entry Number], Sum(x.Amount) S From ZTTRN p, ZTPAX x Where p.[Entry Number] = x.Ref "
         "Group By p.[Entry Number], p.Amount Having Count(*) > :n",
         R"(SELECT "p"."Entry Number" AS "Entry Number", SUM("x"."Amount") AS "S" FROM "ZTTRN" AS "p", "ZTPAX" AS "x" )"
         R"(WHERE ("p"."Entry Number" = "x"."Ref") AND ("p"."Entry Number" < 17 OR "p"."Entry Number" IS NULL) )"
         R"(GROUP BY "p"."Entry Number", "p"."Amount" HAVING COUNT(*) > ?1 ORDER BY "p"."Entry Number", "p"."Amount")",
         R"(SELECT "p"."Entry Number" AS "Entry Number", SUM("x"."Amount") AS "S" FROM "ZTTRN" AS "p", "ZTPAX" AS "x" )"
         R"(WHERE ("p"."Entry Number" = "x"."Ref") AND "p"."Entry Number" >= 17 )"
         R"(GROUP BY "p"."Entry Number", "p"."Amount" HAVING COUNT(*) > ?1 ORDER BY "p"."Entry Number", "p"."Amount")"},
        {"Select k, Count(*) n From t Group By k",
         R"(SELECT "k" AS "k", COUNT(*) AS "n" FROM "t" AS "t" WHERE ("k" < 17 OR "k" IS NULL) GROUP BY "k" ORDER BY "k")",
         R"(SELECT "k" AS "k", COUNT(*) AS "n" FROM "t" AS "t" WHERE "k" >= 17 GROUP BY "k" ORDER BY "k")"},
        {"(Select k From t Where k > (Select Max(k) From u Order By 1) Group By k)",
         R"(SELECT "k" AS "k" FROM "t" AS "t" WHERE ("k" > (SELECT MAX("k") AS "EXPR_1" FROM "u" AS "u" ORDER BY 1)) AND ("k" < 17 OR "k" IS NULL) GROUP BY "k" ORDER BY "k")",
         nullptr},
        {"Select k From t Group By k Order By k", nullptr, nullptr},
        {"Select k From t Group By k Union Select k From u", nullptr, nullptr},
        {"(Select k From t Group By k) Union Select k From u", nullptr, nullptr},
        {"Select Top 5 k From t Group By k", nullptr, nullptr},
        {"Select Distinct Count(*) From t Group By k", nullptr, nullptr},
        {"Select Count(*) From t Group By k + 1", nullptr, nullptr},
        {"Select Count(*) From t", nullptr, nullptr},
        {"Select k From t Where k In (Select k From u Group By k)", nullptr, nullptr},
    };
    for (const SplitCase& c : cases) {
        SCOPED_TRACE(c.dialect);
        const Translation t = Translate(c.dialect);
        ASSERT_EQ(t.split.has_value(), c.lower != nullptr);
        if (!c.lower) continue;
        EXPECT_EQ(SplitHalf(t, "17", true), c.lower);
        if (c.upper) {
            EXPECT_EQ(SplitHalf(t, "17", false), c.upper);
        }
    }
    const Translation two = Translate("Select Count(*) From ZTTRN p, ZTPAX x Group By x.Ref");
    ASSERT_TRUE(two.split);
    EXPECT_EQ(two.split->candidates, std::vector<std::size_t>{1});
}

TEST(ScanParameters, FindsMarkersOutsideLiteralsAndNeverThrows) {
    EXPECT_EQ(ScanParameters("Select :a, ':b', [:c], \":d\" -- :e\r\n, ?, :f /* :g */"),
              (std::vector<std::string>{"a", "", "f"}));
    EXPECT_EQ(ScanParameters("Select :a where x = 'unterminated :b"), (std::vector<std::string>{"a"}));
    EXPECT_TRUE(ScanParameters("").empty());
    EXPECT_TRUE(ScanParameters("not sql at all # $").empty());
}

}  // namespace
}  // namespace lce::sql
