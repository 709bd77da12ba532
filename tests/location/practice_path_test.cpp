// Reading the current practice from the store: one table over the store's
// content, then the failures that need a store changing under the reader.
#include <sys/stat.h>

#include <vector>

#include "framework/exceptions.h"
#include "store/hive.h"
#include "store/practice_store.h"
#include "store/registry.h"
#include "store_fixture.h"

namespace locationtest {
namespace {

constexpr const char* V5 = "Windows Registry Editor Version 5.00\r\n\r\n";
constexpr const char* R4 = "REGEDIT4\r\n\r\n";
constexpr const char* Key = "[HKEY_CURRENT_USER\\Software\\Orvanta]\r\n";
const std::string kInvalidType = "Invalid data type for 'Current Practice'";

struct ReadCase {
    const char* name;
    std::optional<std::string> content;  // none: no store file
    Enc enc = Enc::Utf16;
    std::string expected;  // the path read, or
    std::string error;     // the ERegistryException message
    bool readOnly = false;
};

// Concatenates the pieces of a store file's text.
template <class... Parts>
std::string S(const Parts&... parts) {
    return (std::string() + ... + std::string(parts));
}

std::vector<ReadCase> ReadCases() {
    const std::string expandHex = HexList(Wide("%USERPROFILE%\\Practice") + std::string(2, '\0'));
    const std::string nulHex = HexList(Wide("C:\\Main") + std::string(2, '\0') + Wide("Other") + std::string(2, '\0'));
    return {
        {"NoFile", std::nullopt, Enc::Utf16, "", ""},
        {"NoKey", S(V5, "[HKEY_CURRENT_USER\\Software\\Other]\r\n\"Current Practice\"=\"C:\\\\X\"\r\n"), Enc::Utf16, "",
         ""},
        {"NoValue", S(V5, Key, "\"Previous Practice\"=\"C:\\\\Old\"\r\n@=\"C:\\\\Default\"\r\n"), Enc::Utf16, "", ""},
        {"EmptyValue", S(V5, Key, "\"Current Practice\"=\"\"\r\n"), Enc::Utf16, "", ""},
        {"StringWithEscapes", S(V5, Key, "\"Current Practice\"=\"C:\\\\Medical\\\\Data \\\"A\\\"\"\r\n"), Enc::Utf16,
         "C:\\Medical\\Data \"A\"", ""},
        {"ExpandStringNotExpanded", S(V5, Key, "\"Current Practice\"=hex(2):" + expandHex + "\r\n"), Enc::Utf16,
         "%USERPROFILE%\\Practice", ""},
        {"EmbeddedNul", S(V5, Key, "\"Current Practice\"=hex(2):" + nulHex + "\r\n"), Enc::Utf16, "C:\\Main", ""},
        {"StringInHexWithoutTerminator", S(V5, Key, "\"Current Practice\"=hex(1):" + HexList(Wide("D:\\P")) + "\r\n"),
         Enc::Utf16, "D:\\P", ""},
        {"Dword", S(V5, Key, "\"Current Practice\"=dword:00000001\r\n"), Enc::Utf16, "", kInvalidType},
        {"Binary", S(V5, Key, "\"Current Practice\"=hex:43,3a,5c,00\r\n"), Enc::Utf16, "", kInvalidType},
        {"MultiString",
         S(V5, Key, "\"Current Practice\"=hex(7):" + HexList(Wide("C:\\A") + std::string(4, '\0')) + "\r\n"),
         Enc::Utf16, "", kInvalidType},
        {"Qword", S(V5, Key, "\"Current Practice\"=hex(b):01,00,00,00,00,00,00,00\r\n"), Enc::Utf16, "", kInvalidType},
        {"NumberOfSizeZero", S(V5, Key, "\"Current Practice\"=hex(4):\r\n"), Enc::Utf16, "", ""},
        {"ReadOnlyStore", S(V5, Key, "\"Current Practice\"=\"C:\\\\Practice\"\r\n"), Enc::Utf16, "", "", true},
        {"Utf8", S(V5, Key, "\"Current Practice\"=\"/srv/Ärzte/Daten\"\r\n"), Enc::Utf8, "/srv/Ärzte/Daten", ""},
        {"Utf8WithBom", S(V5, Key, "\"Current Practice\"=\"/srv/p\"\r\n"), Enc::Utf8Bom, "/srv/p", ""},
        {"Utf16NonAscii", S(V5, Key, "\"Current Practice\"=\"C:\\\\Ärzte\"\r\n"), Enc::Utf16, "C:\\Ärzte", ""},
        {"Regedit4EightBitHex", S(R4, Key, "\"Current Practice\"=hex(2):43,3a,5c,50,00\r\n"), Enc::Utf8, "C:\\P", ""},
        {"Regedit4Ansi", S(R4, Key, "\"Current Practice\"=hex(2):43,3a,5c,c4,00\r\n"), Enc::Utf8, "C:\\Ä", ""},
        {"Regedit4String", S(R4, Key, "\"Current Practice\"=\"C:\\\\R4\"\r\n"), Enc::Utf8, "C:\\R4", ""},
        {"NamesIgnoreCase", S(V5, "[hkey_current_user\\SOFTWARE\\orvanta]\r\n\"current PRACTICE\"=\"C:\\\\C\"\r\n"),
         Enc::Utf16, "C:\\C", ""},
        {"ContinuedHexLines",
         S(V5, Key, "\"Current Practice\"=hex(2):43,00,3a,00,\\\r\n  5c,00,51,00,\\\r\n  00,00\r\n\"Next\"=\"x\"\r\n"),
         Enc::Utf16, "C:\\Q", ""},
        {"CommentsAndSemicolonInText",
         S(V5, "; exported for the front desk\r\n", Key, "\"Current Practice\"=\"C:\\\\a;b\" ; the main site\r\n"),
         Enc::Utf16, "C:\\a;b", ""},
        {"LaterDefinitionWins",
         S(V5, Key,
           "\"Current Practice\"=\"C:\\\\First\"\r\n\r\n" + std::string(Key) +
               "\"Current Practice\"=\"C:\\\\Second\"\r\n"),
         Enc::Utf16, "C:\\Second", ""},
        {"ValueRemovedLater", S(V5, Key, "\"Current Practice\"=\"C:\\\\X\"\r\n\"Current Practice\"=-\r\n"), Enc::Utf16,
         "", ""},
        {"KeyRemovedLater", S(V5, Key, "\"Current Practice\"=\"C:\\\\X\"\r\n\r\n[-HKEY_CURRENT_USER\\Software]\r\n"),
         Enc::Utf16, "", ""},
        {"OtherHive", S(V5, "[HKEY_LOCAL_MACHINE\\Software\\Orvanta]\r\n\"Current Practice\"=\"C:\\\\M\"\r\n"),
         Enc::Utf16, "", ""},
        {"OrvantaNotBelowSoftware", S(V5, "[HKEY_CURRENT_USER\\Orvanta]\r\n\"Current Practice\"=\"C:\\\\M\"\r\n"),
         Enc::Utf16, "", ""},
        {"LineFeedsOnly",
         "Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\Software\\Orvanta]\n"
         "\"Current Practice\"=\"C:\\\\LF\"",
         Enc::Utf8, "C:\\LF", ""},
        // What cannot be understood is left out; the rest still counts.
        {"UnknownEscape", S(V5, Key, "\"Current Practice\"=\"C:\\Data\"\r\n"), Enc::Utf16, "", ""},
        {"UnterminatedString", S(V5, Key, "\"Current Practice\"=\"C:\\\\Data\r\n"), Enc::Utf16, "", ""},
        {"BadHex", S(V5, Key, "\"Current Practice\"=hex(2):43,00,zz,00\r\n"), Enc::Utf16, "", ""},
        {"OddUtf16Hex", S(V5, Key, "\"Current Practice\"=hex(2):43,00,3a\r\n"), Enc::Utf16, "", ""},
        {"BrokenDefinitionHidesEarlierOne",
         S(V5, Key, "\"Current Practice\"=\"C:\\\\Old\"\r\n\"Current Practice\"=hex(2):4\r\n"), Enc::Utf16, "", ""},
        {"BrokenKeyLineDropsItsValues",
         S(V5, "[HKEY_CURRENT_USER\\Software\\Orvanta\r\n\"Current Practice\"=\"C:\\\\Lost\"\r\n"), Enc::Utf16, "", ""},
        {"DamagedLineElsewhere",
         S(V5, "[HKEY_CURRENT_USER\\Software\\Other]\r\n\"A\"=hex:zz\r\n\"B\"=\"\r\ngarbage\r\n", Key,
           "\"Current Practice\"=\"C:\\\\Kept\"\r\n"),
         Enc::Utf16, "C:\\Kept", ""},
        {"NoHeader", S(Key, "\"Current Practice\"=\"C:\\\\X\"\r\n"), Enc::Utf16, "", ""},
        {"UnknownHeader", S("Windows Registry Editor Version 6.00\r\n", Key, "\"Current Practice\"=\"C:\\\\X\"\r\n"),
         Enc::Utf16, "", ""},
        {"Garbage", std::string("\xFF\xFE\x00\xD8zz\x01\x02", 8), Enc::Utf8, "", ""},
        {"InvalidUtf8Line", S(V5, Key, "\"Current Practice\"=\"C:\\\\\xC4\"\r\n"), Enc::Utf8, "", ""},
    };
}

void PrintTo(const ReadCase& c, std::ostream* os) { *os << c.name; }

class ReadCurrentPracticeTest : public StoreTest, public ::testing::WithParamInterface<ReadCase> {};

TEST_P(ReadCurrentPracticeTest, ReadsStoreAndNeverWritesIt) {
    const ReadCase& c = GetParam();
    if (c.content) {
        WriteStore(Encode(*c.content, c.enc));
        if (c.readOnly) {
            ASSERT_EQ(::chmod(Store().c_str(), 0444), 0);
        }
    }
    const auto before = ReadFile(Store());

    if (c.error.empty()) {
        EXPECT_EQ(app::ReadCurrentPracticePath(), c.expected);
    } else {
        try {
            app::ReadCurrentPracticePath();
            ADD_FAILURE() << "no exception";
        } catch (const fw::ERegistryException& e) {
            EXPECT_EQ(e.Message(), c.error);
        }
    }
    // Reading neither creates nor changes anything.
    EXPECT_EQ(ReadFile(Store()), before);
    if (!c.content) {
        EXPECT_FALSE(std::filesystem::exists(config_ / "Orvanta"));
    }
}

INSTANTIATE_TEST_SUITE_P(Store, ReadCurrentPracticeTest, ::testing::ValuesIn(ReadCases()),
                         [](const auto& info) { return std::string(info.param.name); });

// The read-only rule looks at the permission bits, so it holds for root too
// (the tests run as root, for whom access(2) would grant writing anyway).
TEST_F(StoreTest, ReadOnlyStoreStillOpensForReading) {
    WriteStore(Encode(S(V5, Key, "\"Current Practice\"=\"C:\\\\P\"\r\n"), Enc::Utf16));
    ASSERT_EQ(::chmod(Store().c_str(), 0444), 0);
    TRegistry readOnly(reg::KEY_READ);
    ASSERT_TRUE(readOnly.OpenKey("Software\\Orvanta", false));
    EXPECT_EQ(readOnly.ReadString("Current Practice"), "C:\\P");
    TRegistry full(reg::KEY_ALL_ACCESS);
    EXPECT_FALSE(full.OpenKey("Software\\Orvanta", false));
    EXPECT_FALSE(full.OpenKey("Software", true));
}

// A store whose content changes between reads, as another program may change
// the registry between two calls: Load() number k (from 1) gives contents[k-1],
// the last entry from then on.
class ChangingHive : public reg::Hive {
public:
    explicit ChangingHive(std::vector<std::string> contents) : contents_(std::move(contents)) {}
    reg::Document Load() const override {
        const std::size_t k = std::min(loads_++, contents_.size() - 1);
        return reg::ParseStore(Encode(contents_[k], Enc::Utf16));
    }
    bool Writable() const override { return true; }

private:
    std::vector<std::string> contents_;
    mutable std::size_t loads_ = 0;
};

// The reader's loads: open "Software", open "Orvanta", ask whether the value
// exists, ask its size, read its data. The store changes before the fifth.
TEST(ReadCurrentPracticeChanging, DataThatCannotBeReadAfterItsSizeRaises) {
    const std::string shortValue = S(V5, Key, "\"Current Practice\"=\"C:\\\\A\"\r\n");
    const std::string longValue = S(V5, Key, "\"Current Practice\"=\"C:\\\\Much\\\\Longer\"\r\n");
    const std::string noValue = S(V5, Key);
    for (const std::string& after : {longValue, noValue}) {
        auto hive = std::make_shared<ChangingHive>(
            std::vector<std::string>{shortValue, shortValue, shortValue, shortValue, after});
        try {
            app::ReadCurrentPracticePath(hive);
            ADD_FAILURE() << "no exception";
        } catch (const fw::ERegistryException& e) {
            EXPECT_EQ(e.Message(), "Failed to get data for 'Current Practice'");
        }
    }
    // The same store unchanged reads fine: the failure above is the change.
    auto steady = std::make_shared<ChangingHive>(std::vector<std::string>{shortValue});
    EXPECT_EQ(app::ReadCurrentPracticePath(steady), "C:\\A");
}

}  // namespace
}  // namespace locationtest
