// The synthetic practice: deterministic, and holding every case the search
// has to tell apart.
#include "tools/demo.h"

#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <set>
#include <string>

#include "tools/schema.h"
#include "tools/text_1252.h"

namespace payxref::db {
namespace {

class MemorySink : public DemoSink {
public:
    void Transaction(const lce::Row& row) override { transactions.push_back(row); }
    void Application(const lce::Row& row) override { applications.push_back(row); }
    std::vector<lce::Row> transactions;
    std::vector<lce::Row> applications;
};

const lce::TableSchema& Schema(const char* table) { return FindTable(DefaultLayout(), table)->schema; }

MemorySink Generate(std::int64_t n, std::uint64_t seed, DemoSummary* summary = nullptr) {
    MemorySink sink;
    const DemoSummary s = GenerateDemo({n, seed}, Schema("ZTTRN"), Schema("ZTPAX"), sink);
    if (summary != nullptr) *summary = s;
    return sink;
}

bool SameRows(const std::vector<lce::Row>& a, const std::vector<lce::Row>& b) { return a == b; }

TEST(Demo, SameSeedSameRowsOtherSeedOtherRows) {
    const MemorySink first = Generate(3000, 7);
    const MemorySink again = Generate(3000, 7);
    const MemorySink other = Generate(3000, 8);
    EXPECT_TRUE(SameRows(first.transactions, again.transactions));
    EXPECT_TRUE(SameRows(first.applications, again.applications));
    EXPECT_FALSE(SameRows(first.transactions, other.transactions));
}

TEST(Demo, EmitsExactlyTheRequestedTransactions) {
    for (const std::int64_t n : {0, 1, 2, 17, 1000}) {
        EXPECT_EQ(static_cast<std::int64_t>(Generate(n, 1).transactions.size()), n) << n;
    }
}

// The demo writes its rows straight to the tables, past the import's
// conversion; its text is ASCII, which reads the same in Windows-1252, and it
// goes through that conversion unchanged.
TEST(Demo, TextIsTheSameInWindows1252) {
    const MemorySink sink = Generate(2000, 5);
    std::size_t texts = 0;
    for (const auto* rows : {&sink.transactions, &sink.applications}) {
        for (const lce::Row& row : *rows) {
            for (const lce::Value& v : row) {
                if (v.kind != lce::Value::Kind::Text && v.kind != lce::Value::Kind::Memo) continue;
                ++texts;
                const Windows1252Result r = Utf8ToWindows1252(v.text);
                ASSERT_EQ(r.fault, Windows1252Result::Fault::None) << v.text;
                ASSERT_EQ(r.text, v.text);
            }
        }
    }
    EXPECT_GT(texts, 0u);
}

// Classifies every payment the way the search sees it, from the rows alone.
TEST(Demo, HoldsEveryCaseTheSearchMustTellApart) {
    DemoSummary summary;
    const MemorySink sink = Generate(30000, 3, &summary);
    const lce::TableSchema& tx = Schema("ZTTRN");
    const lce::TableSchema& pax = Schema("ZTPAX");
    const std::size_t entry = *FindColumn(tx, "Entry Number");
    const std::size_t type = *FindColumn(tx, "Transaction Type");
    const std::size_t amount = *FindColumn(tx, "Amount");
    const std::size_t payRef = *FindColumn(pax, "Payment Reference");
    const std::size_t chargeRef = *FindColumn(pax, "Charge Reference");
    const std::size_t paid = *FindColumn(pax, "Payment Amount");

    std::map<std::int64_t, std::string> typeOf;
    std::map<std::int64_t, double> amountOf;
    std::set<std::int64_t> entries;
    std::set<char> letters;
    for (const lce::Row& r : sink.transactions) {
        const std::int64_t e = r[entry].integer;
        EXPECT_TRUE(entries.insert(e).second) << "entry number used twice: " << e;
        typeOf[e] = r[type].text;
        amountOf[e] = r[amount].real;
        if (r[type].text.size() == 1) letters.insert(r[type].text[0]);
    }
    const std::string paymentLetters = "IJKLMNOSTUV";
    for (const char c : paymentLetters) EXPECT_TRUE(letters.count(c)) << c;

    const auto isPayment = [&](std::int64_t e) {
        return typeOf.count(e) && typeOf[e].size() == 1 && paymentLetters.find(typeOf[e]) != std::string::npos;
    };
    std::map<std::int64_t, double> applied;  // over existing charges only, as the search adds
    int dangling = 0, chargeAsPayment = 0, blankAsPayment = 0;
    for (const lce::Row& r : sink.applications) {
        const std::int64_t p = r[payRef].integer;
        const std::int64_t c = r[chargeRef].integer;
        if (!entries.count(c)) {
            ++dangling;
            continue;
        }
        if (!isPayment(p)) {
            if (typeOf[p].empty())
                ++blankAsPayment;
            else
                ++chargeAsPayment;
            continue;
        }
        applied[p] += r[paid].real;
    }
    int exact = 0, rounding = 0, signFlip = 0, differing = 0, unapplied = 0;
    for (const auto& [e, t] : typeOf) {
        if (!isPayment(e)) continue;
        if (!applied.count(e)) {
            ++unapplied;
            continue;
        }
        const double a = amountOf[e];
        const double s = applied[e];
        if (a == s)
            ++exact;
        else if (std::fabs(a - s) < 1e-9)
            ++rounding;
        else if (a == -s)
            ++signFlip;
        else
            ++differing;
    }
    EXPECT_GT(exact, 0);
    EXPECT_GT(exact, 3 * (rounding + signFlip + differing));  // most payments are settled exactly
    EXPECT_GT(rounding, 0);
    EXPECT_GT(signFlip, 0);
    EXPECT_GT(differing, 0);
    EXPECT_GT(unapplied, 0);
    EXPECT_GT(dangling, 0);
    EXPECT_GT(chargeAsPayment, 0);
    EXPECT_GT(blankAsPayment, 0);
    EXPECT_EQ(summary.transactions, 30000);
    EXPECT_EQ(summary.applications, static_cast<std::int64_t>(sink.applications.size()));
}

TEST(Demo, RefusesASchemaWithoutTheNeededColumns) {
    lce::TableSchema bare;
    bare.columns.push_back(lce::ColumnDef{"Entry Number", lce::kAutoIncrement});
    MemorySink sink;
    EXPECT_THROW(GenerateDemo({10, 1}, bare, Schema("ZTPAX"), sink), std::invalid_argument);
}

}  // namespace
}  // namespace payxref::db
