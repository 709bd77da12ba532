// The store reader on files it must refuse or take in bounded time: what is
// not a regular file, what is beyond the size, line and depth limits, and the
// keys a deep path implies without storing every prefix of it.
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "store/hive.h"
#include "store/practice_store.h"
#include "store/reg_file.h"
#include "store_fixture.h"

namespace locationtest {
namespace {

constexpr const char* V5 = "Windows Registry Editor Version 5.00\r\n\r\n";
constexpr const char* Orvanta = "[HKEY_CURRENT_USER\\Software\\Orvanta]\r\n\"Current Practice\"=\"C:\\\\P\"\r\n";

// A key line nested `depth` levels below HKEY_CURRENT_USER.
std::string DeepKey(std::size_t depth) {
    std::string line = "[HKEY_CURRENT_USER";
    for (std::size_t k = 0; k < depth; ++k) line += "\\k";
    return line + "]\r\n";
}

// Lays out the store as the case needs it; the store path is `store`.
enum class Shape { Folder, Fifo, LinkToDevZero, File };

struct RefusedCase {
    const char* name;
    Shape shape;
    std::string content;  // for a File, written as UTF-8
    const char* reason;   // part of the message
};

std::vector<RefusedCase> RefusedCases() {
    return {
        {"Folder", Shape::Folder, "", "is a folder, not a file"},
        {"Fifo", Shape::Fifo, "", "is not a regular file"},
        {"LinkToDevZero", Shape::LinkToDevZero, "", "is not a regular file"},
        {"LineTooLong", Shape::File, std::string(V5) + std::string(reg::kMaxStoreLineBytes + 1, 'x') + "\r\n" + Orvanta,
         "line 3 is longer than 64 KiB"},
        {"EndlessLine", Shape::File, std::string(V5) + Orvanta + std::string(reg::kMaxStoreLineBytes * 2, ';'),
         "line 5 is longer than 64 KiB"},
        {"TooManyLines", Shape::File, std::string(V5) + Orvanta + std::string(reg::kMaxStoreLines, '\n'),
         "more than 65536 lines"},
        {"KeyTooDeep", Shape::File, std::string(V5) + DeepKey(reg::kMaxKeyDepth + 1) + Orvanta,
         "line 3 names a key nested deeper than 512 levels"},
        {"RemovalTooDeep", Shape::File, std::string(V5) + Orvanta + "[-" + DeepKey(reg::kMaxKeyDepth + 1).substr(1),
         "line 5 names a key"},
    };
}

void PrintTo(const RefusedCase& c, std::ostream* os) { *os << c.name; }

class RefusedStoreTest : public StoreTest, public ::testing::WithParamInterface<RefusedCase> {
protected:
    void Lay(const RefusedCase& c) const {
        std::filesystem::create_directories(Store().parent_path());
        switch (c.shape) {
            case Shape::Folder: std::filesystem::create_directories(Store()); break;
            case Shape::Fifo: ASSERT_EQ(::mkfifo(Store().c_str(), 0600), 0); break;
            case Shape::LinkToDevZero: std::filesystem::create_symlink("/dev/zero", Store()); break;
            case Shape::File: WriteStore(c.content); break;
        }
    }
};

// Reading refuses the store with a message of the tool's own that names the
// file, the fault and the command that records a practice; recording refuses
// it too and leaves it as it was.
TEST_P(RefusedStoreTest, ReadingAndRecordingRefuseIt) {
    const RefusedCase& c = GetParam();
    Lay(c);
    const auto before = c.shape == Shape::File ? ReadFile(Store()) : std::nullopt;
    for (const bool recording : {false, true}) {
        SCOPED_TRACE(recording ? "recording" : "reading");
        try {
            if (recording)
                app::RecordCurrentPractice("C:\\New");
            else
                app::ReadCurrentPracticePath();
            ADD_FAILURE() << "no exception";
        } catch (const reg::EStoreError& e) {
            const std::string& m = e.Message();
            // Recording follows a link to the file it leads to and names that.
            const std::string file = recording && c.shape == Shape::LinkToDevZero ? "/dev/zero" : Store().string();
            EXPECT_EQ(m.rfind("The settings store " + file + " cannot be used: ", 0), 0u) << m;
            EXPECT_NE(m.find(c.reason), std::string::npos) << m;
            EXPECT_NE(m.find("payxref-db use FOLDER"), std::string::npos) << m;
        }
    }
    if (c.shape == Shape::File) {
        EXPECT_EQ(ReadFile(Store()), before);
    }
    if (c.shape == Shape::Folder) {
        EXPECT_TRUE(std::filesystem::is_directory(Store()));
    }
}

INSTANTIATE_TEST_SUITE_P(Store, RefusedStoreTest, ::testing::ValuesIn(RefusedCases()),
                         [](const auto& info) { return std::string(info.param.name); });

// A file over the size limit is refused from its size alone; a sparse file
// makes one without writing 16 MiB.
TEST_F(StoreTest, FileOverTheSizeLimitIsRefused) {
    WriteStore(std::string(V5) + Orvanta);
    ASSERT_EQ(::truncate(Store().c_str(), static_cast<off_t>(reg::kMaxStoreBytes + 1)), 0);
    try {
        app::ReadCurrentPracticePath();
        ADD_FAILURE() << "no exception";
    } catch (const reg::EStoreError& e) {
        EXPECT_NE(e.Message().find("larger than 16 MiB"), std::string::npos) << e.Message();
    }
    EXPECT_THROW(reg::ParseStore(std::string(reg::kMaxStoreBytes + 1, '\n')), reg::EStoreError);
}

// What lies within the limits is read: the deepest key allowed, a line of the
// longest length allowed, in both encodings.
TEST_F(StoreTest, StoreAtTheLimitsIsRead) {
    const std::string deepest = DeepKey(reg::kMaxKeyDepth);
    const std::string longComment = ";" + std::string(reg::kMaxStoreLineBytes / 2 - 1, 'c') + "\r\n";
    for (const Enc enc : {Enc::Utf8, Enc::Utf16}) {
        WriteStore(Encode(std::string(V5) + longComment + deepest + "\"v\"=\"deep\"\r\n" + Orvanta, enc));
        EXPECT_EQ(app::ReadCurrentPracticePath(), "C:\\P");
    }
}

// Which keys exist after key lines and removals: a key's parents exist
// through it and stay when it is removed; a removal takes what is below.
TEST(StoreKeys, ParentsExistAndOutliveTheirChildren) {
    struct Case {
        const char* name;
        std::string body;
        std::vector<std::pair<const char*, bool>> exists;
    };
    const std::vector<Case> cases = {
        {"parents of a key",
         "[HKEY_CURRENT_USER\\A\\B\\C]\r\n",
         {{"", true},
          {"a", true},
          {"A\\b", true},
          {"a\\b\\c", true},
          {"a\\b\\c\\d", false},
          {"b", false},
          {"a\\", false}}},
        {"sibling that sorts between",
         "[HKEY_CURRENT_USER\\A!]\r\n[HKEY_CURRENT_USER\\A\\B]\r\n",
         {{"a!", true}, {"a", true}, {"a\\b", true}, {"a!\\b", false}}},
        {"removing a child keeps the parent",
         "[HKEY_CURRENT_USER\\A\\B\\C]\r\n[-HKEY_CURRENT_USER\\A\\B]\r\n",
         {{"a", true}, {"a\\b", false}, {"a\\b\\c", false}}},
        {"removing a parent takes the subtree",
         "[HKEY_CURRENT_USER\\A\\B\\C]\r\n[HKEY_CURRENT_USER\\A!]\r\n[-HKEY_CURRENT_USER\\A]\r\n",
         {{"", true}, {"a", false}, {"a\\b", false}, {"a!", true}}},
        {"removing what is not there",
         "[HKEY_CURRENT_USER\\X]\r\n[-HKEY_CURRENT_USER\\A\\B]\r\n",
         {{"a", false}, {"x", true}}},
        {"removing the root's content", "[HKEY_CURRENT_USER\\A]\r\n[-HKEY_CURRENT_USER]\r\n", {{"a", false}}},
        {"created again after removal",
         "[HKEY_CURRENT_USER\\A\\B]\r\n[-HKEY_CURRENT_USER\\A]\r\n"
         "[HKEY_CURRENT_USER\\A\\B\\C]\r\n",
         {{"a", true}, {"a\\b", true}, {"a\\b\\c", true}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const reg::Document doc = reg::ParseStore(std::string(V5) + c.body);
        for (const auto& [path, exists] : c.exists) {
            const reg::KeyEntry* key = doc.FindKey(path);
            EXPECT_EQ(key != nullptr, exists) << path;
        }
    }
}

// A parent that exists only through a deeper key holds nothing of its own,
// and a value set in the deeper key stays there.
TEST(StoreKeys, ImpliedParentHoldsNoValues) {
    const reg::Document doc = reg::ParseStore(std::string(V5) + "[HKEY_CURRENT_USER\\A\\B]\r\n\"v\"=\"x\"\r\n");
    const reg::KeyEntry* parent = doc.FindKey("A");
    ASSERT_NE(parent, nullptr);
    EXPECT_TRUE(parent->values.empty());
    EXPECT_FALSE(parent->sectionEnd.has_value());
    const reg::KeyEntry* child = doc.FindKey("a\\B");
    ASSERT_NE(child, nullptr);
    EXPECT_EQ(child->values.count("v"), 1u);
}

}  // namespace
}  // namespace locationtest
