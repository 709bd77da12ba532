// Reading codes out of engine texts, the engine-result check and LumError.
#include "data/lum/errors.h"
#include "data/lum/query.h"
#include "tests/lum/fixture.h"

namespace lumtest {
namespace {

TEST(LumErrors, NativeErrorCodeNeedsTheSqlErrorAndAWholeNumber) {
    const std::pair<const char*, std::int32_t> cases[] = {
        {"Error 7200: AQE Error: State = 42S02; NativeError = 2121; [Lumen] no such table", 2121},
        {"error 7200: nativeerror = -5;", -5},
        {"NativeError = 2121; without the SQL error", 0},
        {"Error 7200: NativeError = 21x; text", 0},
        {"Error 7200: NativeError = 42", 42},  // without ";" the rest serves
        {"Error 7200: no marker", 0},
    };
    for (const auto& [text, code] : cases) EXPECT_EQ(lum::NativeErrorCodeOf(text), code) << text;
}

TEST(LumErrors, ColumnInErrorIsTheQuotedName) {
    EXPECT_EQ(lum::ColumnNamedIn("Value too long for column \"Chart Number\" of table X"), "Chart Number");
    EXPECT_EQ(lum::ColumnNamedIn("for column \"open"), "open");
    EXPECT_EQ(lum::ColumnNamedIn("for Column \"Upper\""), "");
    EXPECT_EQ(lum::ColumnNamedIn(std::string("column \"") + std::string(1000, 'x')).size(), 900u);
}

// An engine whose latest failure is a fixed text, for the check's own paths.
UNSIGNED32 FakeLastError(UNSIGNED32* code, char* buffer, UNSIGNED16* length) {
    *code = 5148;
    const std::string text = "Error 7200: NativeError = 7; bad value for column \"Amount\"";
    std::snprintf(buffer, *length, "%s", text.c_str());
    *length = static_cast<UNSIGNED16>(text.size());
    return 0;
}
UNSIGNED32 FailingLastError(UNSIGNED32*, char*, UNSIGNED16*) { return 5004; }
int shown = 0;
UNSIGNED32 CountShowError(const char*) {
    ++shown;
    return 0;
}

TEST(LumErrors, CheckRaisesWithTheEngineCodeAndTheDataSetPrefix) {
    LumFunctions engine = lum::DefaultEngine();
    engine.LumGetLastError = &FakeLastError;
    EXPECT_NO_THROW(lum::CheckLCEResult(engine, nullptr, 0));
    fw::TComponent owner;
    owner.SetName("frmMain");
    auto& query = owner.CreateOwned<lum::TLumQuery>();
    query.SetName("qryPay");
    try {
        lum::CheckLCEResult(engine, &query, 1234);
        FAIL() << "no exception";
    } catch (const lum::ELUMDatabaseError& e) {
        EXPECT_EQ(e.EngineErrorCode, 5148u);  // the engine's code, not the one checked
        EXPECT_EQ(e.NativeErrorCode, 7);
        EXPECT_EQ(e.ColumnInError, "Amount");
        EXPECT_EQ(e.DataSetOwnerName, "frmMain");
        EXPECT_EQ(e.Message(), "qryPay: Error 7200: NativeError = 7; bad value for column \"Amount\"");
    }
    EXPECT_FALSE(lum::BuildingDatabaseError());
    try {
        lum::CheckLCEResult(engine, nullptr, 1);
        FAIL() << "no exception";
    } catch (const lum::ELUMDatabaseError& e) {
        EXPECT_EQ(e.Message(), "Error 7200: NativeError = 7; bad value for column \"Amount\"");
        EXPECT_TRUE(e.ColumnInError.empty());  // no dataset, nothing gathered but the codes
    }
    // While an error is being built the check stays silent.
    lum::BuildingDatabaseError() = true;
    EXPECT_NO_THROW(lum::CheckLCEResult(engine, nullptr, 1));
    lum::BuildingDatabaseError() = false;
}

TEST(LumErrors, LumErrorFallsBackToTheEngineReport) {
    LumFunctions engine = lum::DefaultEngine();
    engine.LumGetLastError = &FakeLastError;
    EXPECT_EQ(lum::LumError(engine, 5024).Message(), "Error 7200: NativeError = 7; bad value for column \"Amount\"");
    engine.LumGetLastError = &FailingLastError;
    engine.LumShowError = &CountShowError;
    shown = 0;
    EXPECT_EQ(lum::LumError(engine, 5024).Message(), "");
    EXPECT_EQ(shown, 1);
}

}  // namespace
}  // namespace lumtest
