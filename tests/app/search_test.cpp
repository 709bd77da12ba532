// The search on in-memory doubles of its components: every listing rule, the
// button and bar, failures and the locale's separators.
#include <gtest/gtest.h>

#include <cmath>

#include "framework/format.h"
#include "search/search.h"
#include "search_doubles.h"

using namespace testing_doubles;

namespace {

fw::Variant Date(int y, int m, int d) { return fw::Variant::FromDateTime(fw::EncodeDate(y, m, d)); }

Row Payment(std::int64_t entry, fw::Variant amount, fw::Variant total) {
    return Row{{"Entry Number", fw::Variant(entry)}, {"Amount", amount}, {"PayTotal", total}};
}

Row Transaction(const char* chart, fw::Variant caseNumber, fw::Variant dateFrom, const char* code) {
    return Row{{"Chart Number", fw::Variant(chart)},
               {"Case Number", caseNumber},
               {"Date From", dateFrom},
               {"Procedure Code", fw::Variant(code)}};
}

// The components of one window, wired together.
struct World {
    World(std::vector<Row> payments, std::map<std::int64_t, Row> transactions)
        : query("qryPay", std::move(payments)),
          table(query, std::move(transactions)),
          connection(query, table),
          dialog(button) {
        location.recorded = "/srv/practice";
    }
    app::SearchComponents Components() {
        return {button, location, dialog, connection, query, table, bar, pane, messages};
    }
    void Run(const fw::FormatSettings& settings = {}) { app::RunSearch(Components(), settings); }

    Button button;
    Location location;
    RowsDataSet query;
    DetailTable table;
    Connection connection;
    FolderDialog dialog;
    Bar bar;
    Pane pane;
    Messages messages;
};

const std::map<std::int64_t, Row> kTransactions{
    {1, Transaction("SMI00001", fw::Variant(7), Date(2011, 3, 15), "PAYCASH")},
    {2, Transaction("JON00002", fw::Variant(-3), Date(2020, 12, 1), "ADJ")},
    {3, Transaction("DOE00003", fw::Variant::Null(), fw::Variant::Null(), "INSPAY")},
};

std::string Line(const std::string& chart, const std::string& caseNumber, const std::string& date,
                 const std::string& code, const std::string& difference) {
    return "Chart: " + chart + " Case Number: " + caseNumber + " Date From: " + date +
           " Payment/Adjustment Code: " + code + " Difference: " + difference;
}

}  // namespace

TEST(SearchPath, DictionaryPathJoinsFolderAndFileName) {
    const std::pair<const char*, const char*> cases[] = {
        {"/srv/practice", "/srv/practice/ZTDDF.LDD"},
        {"/", "//ZTDDF.LDD"},
        {"", "/ZTDDF.LDD"},
        {"/with blank/and\\backslash", "/with blank/and\\backslash/ZTDDF.LDD"},
    };
    for (const auto& [folder, expected] : cases) EXPECT_EQ(app::DictionaryPathIn(folder), expected) << folder;
}

struct ListingCase {
    const char* name;
    fw::Variant amount;
    fw::Variant total;
    std::int64_t entry;
    std::optional<std::string> line;  // nullopt: not listed
};

TEST(Search, ListsEveryPaymentWhoseTotalDiffers) {
    const ListingCase cases[] = {
        {"sign flip", fw::Variant(-50.0), fw::Variant(50.0), 1, Line("SMI00001", "7", "03/15/2011", "PAYCASH", "0")},
        {"rounding only", fw::Variant(30.3), fw::Variant(10.1 + 20.2), 1,
         Line("SMI00001", "7", "03/15/2011", "PAYCASH", "3.5527136788005E-15")},
        {"over-applied", fw::Variant(100.0), fw::Variant(112.5), 2,
         Line("JON00002", "-3", "12/01/2020", "ADJ", "-12.5")},
        {"settled", fw::Variant(75.25), fw::Variant(75.25), 1, std::nullopt},
        {"both null", fw::Variant::Null(), fw::Variant::Null(), 1, std::nullopt},
        {"null date and case", fw::Variant(20.0), fw::Variant(5.0), 3,
         Line("DOE00003", "0", "12/30/1899", "INSPAY", "15")},
        {"entry missing in table", fw::Variant(20.0), fw::Variant(5.0), 99, Line("", "0", "12/30/1899", "", "15")},
        {"currency equal to double", fw::Variant(fw::Currency::FromRaw(123400)), fw::Variant(12.34), 1, std::nullopt},
        {"currency against integer", fw::Variant(fw::Currency::FromRaw(123400)), fw::Variant(std::int64_t{12}), 1,
         Line("SMI00001", "7", "03/15/2011", "PAYCASH", "0.34")},
    };
    for (const auto& c : cases) {
        World world({Payment(c.entry, c.amount, c.total)}, kTransactions);
        world.Run();
        std::vector<std::string> expected{"/srv/practice/ZTDDF.LDD", ""};
        if (c.line) expected.push_back(*c.line);
        EXPECT_EQ(world.pane.lines, expected) << c.name;
        EXPECT_EQ(world.bar.max, 1) << c.name;
        EXPECT_EQ(world.bar.position, 1) << c.name;
    }
}

TEST(Search, EmptyResultShowsThePathAndAnEmptyLineOnly) {
    World world({}, kTransactions);
    world.bar.position = 40;
    world.Run();
    EXPECT_EQ(world.pane.lines, (std::vector<std::string>{"/srv/practice/ZTDDF.LDD", ""}));
    EXPECT_EQ(world.bar.position, 0);
    EXPECT_EQ(world.bar.max, 0);
    EXPECT_TRUE(world.button.Enabled());
    EXPECT_TRUE(world.query.Active());
    EXPECT_TRUE(world.table.Active());
}

TEST(Search, OneNullStopsAfterTheRowsBeforeIt) {
    World world({Payment(1, fw::Variant(10.0), fw::Variant(4.0)), Payment(2, fw::Variant(10.0), fw::Variant::Null()),
                 Payment(1, fw::Variant(30.0), fw::Variant(1.0))},
                kTransactions);
    try {
        world.Run();
        FAIL() << "expected a conversion error";
    } catch (const fw::EVariantTypeCastError& e) {
        EXPECT_STREQ(e.what(), "Could not convert variant of type (Null) into type (Double)");
    }
    EXPECT_EQ(world.pane.lines.size(), 3u);
    EXPECT_EQ(world.pane.lines.back(), Line("SMI00001", "7", "03/15/2011", "PAYCASH", "6"));
    EXPECT_EQ(world.bar.position, 2);
    EXPECT_TRUE(world.button.Enabled());
}

TEST(Search, RegionalSeparatorsShapeDateAndNumber) {
    fw::FormatSettings german;
    german.DecimalSeparator = ',';
    german.DateSeparator = '.';
    fw::FormatSettings none;
    none.DateSeparator = '\0';
    const std::pair<fw::FormatSettings, std::string> cases[] = {
        {german, Line("SMI00001", "7", "03.15.2011", "PAYCASH", "12,5")},
        {none, Line("SMI00001", "7", "03152011", "PAYCASH", "12.5")},
    };
    for (const auto& [settings, expected] : cases) {
        World world({Payment(1, fw::Variant(112.5), fw::Variant(100.0))}, kTransactions);
        world.Run(settings);
        ASSERT_EQ(world.pane.lines.size(), 3u);
        EXPECT_EQ(world.pane.lines[2], expected);
    }
}

TEST(Search, CancelChangesNothingButTheButton) {
    World world({Payment(1, fw::Variant(10.0), fw::Variant(4.0))}, kTransactions);
    world.pane.lines = {"earlier result"};
    world.bar.position = 7;
    world.dialog.confirm = false;
    world.Run();
    EXPECT_FALSE(world.dialog.buttonEnabledWhileShown);
    EXPECT_TRUE(world.button.Enabled());
    EXPECT_EQ(world.pane.lines, std::vector<std::string>{"earlier result"});
    EXPECT_EQ(world.bar.position, 7);
    EXPECT_EQ(world.connection.disconnects, 0);
    EXPECT_EQ(world.connection.ConnectPath(), "\\\\devhost\\practice\\ZTDDF.LDD");
    EXPECT_FALSE(world.query.Active());
}

TEST(Search, DialogStartsAtTheRecordedFolderEveryTime) {
    World world({}, kTransactions);
    world.dialog.choose = "/elsewhere/chosen";
    world.Run();
    EXPECT_EQ(world.pane.lines.front(), "/elsewhere/chosen/ZTDDF.LDD");
    world.location.recorded = "";
    world.dialog.choose.reset();
    world.Run();
    EXPECT_EQ(world.dialog.startedAt, (std::vector<std::string>{"/srv/practice", ""}));
    EXPECT_EQ(world.pane.lines.front(), "/ZTDDF.LDD");
    EXPECT_EQ(world.connection.disconnects, 2);
}

TEST(Search, FailuresEndTheSearchAndEnableTheButtonAgain) {
    // The query cannot be opened.
    World broken({}, kTransactions);
    broken.query.failOnOpen = "Error 7200: no such table ZTPAX";
    EXPECT_THROW(broken.Run(), fw::EDatabaseError);
    EXPECT_TRUE(broken.button.Enabled());
    EXPECT_EQ(broken.pane.lines, (std::vector<std::string>{"/srv/practice/ZTDDF.LDD", ""}));

    // The pane is full: the part that fits stays.
    World full({Payment(1, fw::Variant(10.0), fw::Variant(4.0))}, kTransactions);
    full.pane.capacity = 40;
    EXPECT_THROW(full.Run(), fw::EOutOfResources);
    EXPECT_TRUE(full.button.Enabled());
    ASSERT_EQ(full.pane.lines.size(), 3u);
    EXPECT_EQ(full.pane.lines[2], "Chart: SMI000");
}

TEST(Search, ProcessesMessagesBeforeTheQueryAndOncePerRow) {
    World world({Payment(1, fw::Variant(1.0), fw::Variant(1.0)), Payment(2, fw::Variant(2.0), fw::Variant(2.0)),
                 Payment(3, fw::Variant(3.0), fw::Variant(3.0))},
                kTransactions);
    world.Run();
    EXPECT_EQ(world.messages.calls, 4);
    EXPECT_EQ(world.bar.position, 3);
    EXPECT_EQ(world.bar.max, 3);
}
