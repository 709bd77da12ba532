// Recording the current practice: the store file before and after, byte for
// byte, so that everything the change should not touch is seen untouched.
#include <sys/stat.h>

#include <vector>

#include "framework/exceptions.h"
#include "store/hive.h"
#include "store/practice_store.h"
#include "store_fixture.h"

namespace locationtest {
namespace {

struct WriteCase {
    const char* name;
    std::optional<std::string> before;  // none: no store yet
    Enc enc;
    std::string folder;
    std::string after;  // in the same encoding as `before`
};

const std::string kOther =
    "Windows Registry Editor Version 5.00\r\n"
    "\r\n"
    "; moved from the old front-desk machine\r\n"
    "[HKEY_CURRENT_USER\\Software\\Orvanta]\r\n"
    "@=\"default\"\r\n"
    "\"Current Practice\"=\"C:\\\\Old\"\r\n"
    "\"Window\"=dword:0000002a\r\n"
    "\r\n"
    "[HKEY_CURRENT_USER\\Software\\Orvanta\\Billing]\r\n"
    "\"Current Practice\"=\"not this one\"\r\n"
    "\"Blob\"=hex:01,02,\\\r\n"
    "  03\r\n";

std::string Replace(std::string text, const std::string& from, const std::string& to) {
    text.replace(text.find(from), from.size(), to);
    return text;
}

std::vector<WriteCase> WriteCases() {
    const std::string r4 =
        "REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Orvanta]\n\"Other\"=\"kept\"\n\n"
        "[HKEY_CURRENT_USER\\Software\\Next]\n\"X\"=\"y\"\n";
    const std::string continued =
        "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\Software\\Orvanta]\r\n"
        "\"Current Practice\"=hex(2):43,00,3a,00,\\\r\n  5c,00,00,00\r\n\"After\"=\"kept\"\r\n";
    const std::string removedLater =
        "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\Software\\Orvanta]\r\n"
        "\"Current Practice\"=\"C:\\\\Gone\"\r\n\r\n[-HKEY_CURRENT_USER\\Software\\Orvanta]\r\n";
    return {
        {"NewStore", std::nullopt, Enc::Utf16, "C:\\Practice",
         "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\Software\\Orvanta]\r\n"
         "\"Current Practice\"=\"C:\\\\Practice\"\r\n"},
        {"ReplacesValueInPlace", kOther, Enc::Utf16, "D:\\New \"Site\"",
         Replace(kOther, "\"C:\\\\Old\"", "\"D:\\\\New \\\"Site\\\"\"")},
        {"ReplacesValueInUtf8", kOther, Enc::Utf8, "/srv/Ärzte", Replace(kOther, "\"C:\\\\Old\"", "\"/srv/Ärzte\"")},
        {"AddsValueToSectionKeepingLineFeeds", r4, Enc::Utf8, "/srv/p",
         Replace(r4, "\"Other\"=\"kept\"\n", "\"Other\"=\"kept\"\n\"Current Practice\"=\"/srv/p\"\n")},
        {"AppendsMissingKey",
         "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\Software\\A]\r\n\"B\"=\"c\"", Enc::Utf16,
         "E:\\",
         "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\Software\\A]\r\n\"B\"=\"c\"\r\n\r\n"
         "[HKEY_CURRENT_USER\\Software\\Orvanta]\r\n\"Current Practice\"=\"E:\\\\\"\r\n"},
        {"ReplacesContinuedDefinition", continued, Enc::Utf16, "F:\\P",
         Replace(continued, "hex(2):43,00,3a,00,\\\r\n  5c,00,00,00", "\"F:\\\\P\"")},
        {"AppendsWhenKeyRemovedLater", removedLater, Enc::Utf16, "G:\\P",
         removedLater + "\r\n[HKEY_CURRENT_USER\\Software\\Orvanta]\r\n\"Current Practice\"=\"G:\\\\P\"\r\n"},
    };
}

void PrintTo(const WriteCase& c, std::ostream* os) { *os << c.name; }

class RecordCurrentPracticeTest : public StoreTest, public ::testing::WithParamInterface<WriteCase> {};

TEST_P(RecordCurrentPracticeTest, ChangesOnlyTheValueAndReadsBack) {
    const WriteCase& c = GetParam();
    if (c.before) WriteStore(Encode(*c.before, c.enc));
    app::RecordCurrentPractice(c.folder);
    EXPECT_EQ(ReadFile(Store()), Encode(c.after, c.enc));
    EXPECT_EQ(app::ReadCurrentPracticePath(), c.folder);
    // Only the store is left in its folder: no temporary file stays behind.
    std::size_t entries = 0;
    for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(Store().parent_path())) ++entries;
    EXPECT_EQ(entries, 1u);
}

INSTANTIATE_TEST_SUITE_P(Store, RecordCurrentPracticeTest, ::testing::ValuesIn(WriteCases()),
                         [](const auto& info) { return std::string(info.param.name); });

struct RefusalCase {
    const char* name;
    std::string before;
    mode_t mode;
    std::string folder;
};

TEST_F(StoreTest, RefusesAndLeavesStoreAsItWas) {
    const std::string good = Encode(kOther, Enc::Utf16);
    const std::vector<RefusalCase> cases = {
        {"read-only", good, 0444, "C:\\P"},
        {"not a registry file", "[Settings]\nPractice=C:\\P\n", 0644, "C:\\P"},
        {"line break in folder", good, 0644, "C:\\P\nQ"},
        {"NUL in folder", good, 0644, std::string("C:\\P\0Q", 6)},
        {"invalid UTF-8 in folder", good, 0644, "C:\\\xC4"},
    };
    for (const RefusalCase& c : cases) {
        SCOPED_TRACE(c.name);
        std::filesystem::remove(Store());
        WriteStore(c.before);
        ASSERT_EQ(::chmod(Store().c_str(), c.mode), 0);
        EXPECT_THROW(app::RecordCurrentPractice(c.folder), fw::ERegistryException);
        EXPECT_EQ(ReadFile(Store()), c.before);
        ::chmod(Store().c_str(), 0644);
    }
}

TEST_F(StoreTest, KeepsPermissionsAndLinks) {
    const std::filesystem::path real = config_ / "shared" / "practice.reg";
    WriteFile(real, Encode(kOther, Enc::Utf16));
    ASSERT_EQ(::chmod(real.c_str(), 0640), 0);
    std::filesystem::create_directories(Store().parent_path());
    std::filesystem::create_symlink(real, Store());

    app::RecordCurrentPractice("H:\\Linked");

    EXPECT_TRUE(std::filesystem::is_symlink(Store()));
    struct stat st {};
    ASSERT_EQ(::stat(real.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    EXPECT_EQ(app::ReadCurrentPracticePath(), "H:\\Linked");
}

TEST_F(StoreTest, ExplicitStorePath) {
    const std::filesystem::path other = config_ / "demo" / "registry.reg";
    app::RecordCurrentPractice(other, "/demo/practice");
    EXPECT_FALSE(std::filesystem::exists(Store()));
    EXPECT_EQ(app::ReadCurrentPracticePath(std::make_shared<reg::FileHive>(other)), "/demo/practice");
}

}  // namespace
}  // namespace locationtest
