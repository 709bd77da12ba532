// Aliases of lum.ini: where the file is looked for, how [Databases] entries
// read, and files that read as no alias (damaged, too large, not a file).
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fstream>

#include "data/lum/lum_ini.h"
#include "tests/lum/binding_fixture.h"
#include "tests/lum/fixture.h"

namespace lumtest {
namespace {

using lum::TLumAliasTableType;
using lum::TLumTableTypes;

struct AliasCase {
    const char* what;
    std::string ini;
    std::string alias;
    std::optional<std::string> path;  // nothing: no alias
    TLumAliasTableType type = TLumAliasTableType::atUnspecified;
};

TEST(LumIni, DatabasesEntriesReadAsAliases) {
    const std::string big(lum::kMaxLumIniBytes, 'x');
    const std::string longLine(lum::kMaxLumIniLineBytes + 1, 'x');
    std::string manyLines;
    for (std::size_t i = 0; i <= lum::kMaxLumIniLines; ++i) manyLines += "\n";
    const std::vector<AliasCase> cases = {
        {"plain entry", "[Databases]\nPay=/data/pay\n", "Pay", "/data/pay"},
        {"section and key ignore case", "[dataBASES]\nPAY=/data/pay\n", "pay", "/data/pay"},
        {"lower-case n after ;", "[Databases]\nPay=/data/pay;n\n", "Pay", "/data/pay", TLumAliasTableType::atNTX},
        {"C", "[Databases]\nPay=/data/pay;C\n", "Pay", "/data/pay", TLumAliasTableType::atCDX},
        {"l", "[Databases]\nPay=/data/pay;l\n", "Pay", "/data/pay", TLumAliasTableType::atLDT},
        {"V and more text", "[Databases]\nPay=/data/pay;Vfp;x\n", "Pay", "/data/pay", TLumAliasTableType::atVFP},
        {"other letter", "[Databases]\nPay=/data/pay;x\n", "Pay", "/data/pay"},
        {"; alone", "[Databases]\nPay=/data/pay;\n", "Pay", "/data/pay"},
        {"only a type", "[Databases]\nPay=;n\n", "Pay", std::nullopt},
        {"empty value", "[Databases]\nPay=\n", "Pay", std::nullopt},
        {"spaces around key and value", "[ Databases ]\n  Pay  =  /data/pay  \n", "Pay", "/data/pay"},
        {"quoted value", "[Databases]\nPay=\"/data/my pay\"\n", "Pay", "/data/my pay"},
        {"CR LF and byte-order mark", "\xEF\xBB\xBF[Databases]\r\nPay=/data/pay\r\n", "Pay", "/data/pay"},
        {"first of two entries", "[Databases]\nPay=/one\nPay=/two\n", "Pay", "/one"},
        {"another section", "[Other]\nPay=/data/pay\n[Databases]\nX=/x\n", "Pay", std::nullopt},
        {"before any section", "Pay=/data/pay\n[Databases]\n", "Pay", std::nullopt},
        {"comment", "[Databases]\n;Pay=/data/pay\n", "Pay", std::nullopt},
        {"no such key", "[Databases]\nPay=/data/pay\n", "Charges", std::nullopt},
        {"empty alias", "[Databases]\n=/data/pay\n", "", std::nullopt},
        {"NUL byte: damaged", std::string("[Databases]\nPay=/data/pay\n\0", 27), "Pay", std::nullopt},
        {"line too long", "[Databases]\nPay=/data/pay\n" + longLine + "\n", "Pay", std::nullopt},
        {"too many lines", "[Databases]\nPay=/data/pay\n" + manyLines, "Pay", std::nullopt},
        {"file too large", "[Databases]\nPay=/data/pay\n" + big, "Pay", std::nullopt},
    };
    for (const AliasCase& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir dir;
        const EnvironmentGuard env;
        WriteLumIni(dir, c.ini);
        const std::optional<lum::TLumAlias> alias = lum::LookUpAlias(c.alias);
        ASSERT_EQ(alias.has_value(), c.path.has_value());
        if (!alias) continue;
        EXPECT_EQ(alias->Path, *c.path);
        EXPECT_EQ(alias->TableType, c.type);
    }
}

TEST(LumIni, DataSetsAndConnectionsTakeDifferentTypesFromTheSameEntry) {
    const std::vector<std::tuple<TLumAliasTableType, TLumTableTypes, std::optional<TLumTableTypes>>> cases = {
        {TLumAliasTableType::atUnspecified, TLumTableTypes::ttLumLDT, std::nullopt},
        {TLumAliasTableType::atNTX, TLumTableTypes::ttLumNTX, TLumTableTypes::ttLumNTX},
        {TLumAliasTableType::atCDX, TLumTableTypes::ttLumCDX, TLumTableTypes::ttLumCDX},
        {TLumAliasTableType::atLDT, TLumTableTypes::ttLumLDT, TLumTableTypes::ttLumLDT},
        {TLumAliasTableType::atVFP, TLumTableTypes::ttLumVFP, TLumTableTypes::ttLumVFP},
    };
    for (const auto& [alias, dataSet, connection] : cases) {
        EXPECT_EQ(lum::DataSetTableType(alias), dataSet);
        EXPECT_EQ(lum::SpecifiedTableType(alias), connection);
    }
}

TEST(LumIni, TheVariableFolderComesFirstThenTheCurrentFolderAndPath) {
    TempDir variable, current, onPath, empty;
    const EnvironmentGuard env;
    std::ofstream(variable.path("lum.ini")) << "[Databases]\nPay=/from/variable\n";
    std::ofstream(current.path("lum.ini")) << "[Databases]\nPay=/from/current\n";
    std::ofstream(onPath.path("lum.ini")) << "[Databases]\nPay=/from/path\n";
    ::setenv("PATH", (empty.path() + "::" + onPath.path()).c_str(), 1);
    std::filesystem::current_path(current.path());

    ::setenv("lumini_path", variable.path().c_str(), 1);
    EXPECT_EQ(lum::FindLumIni(), variable.path("lum.ini"));
    EXPECT_EQ(lum::LookUpAlias("Pay")->Path, "/from/variable");
    // A variable naming a folder without lum.ini, or empty, is passed over.
    for (const std::string& value : {empty.path(), std::string()}) {
        ::setenv("lumini_path", value.c_str(), 1);
        EXPECT_EQ(lum::LookUpAlias("Pay")->Path, "/from/current");
    }
    std::filesystem::remove(current.path("lum.ini"));
    EXPECT_EQ(lum::LookUpAlias("Pay")->Path, "/from/path");
    std::filesystem::remove(onPath.path("lum.ini"));
    EXPECT_EQ(lum::FindLumIni(), "lum.ini");
    EXPECT_FALSE(lum::LookUpAlias("Pay"));
}

TEST(LumIni, ALumIniThatIsNoRegularFileReadsAsNoAlias) {
    TempDir dir, current;
    const EnvironmentGuard env;
    std::filesystem::current_path(current.path());
    ::setenv("PATH", current.path().c_str(), 1);
    // A folder named lum.ini is passed over by the search.
    std::filesystem::create_directory(dir.path("lum.ini"));
    ::setenv("lumini_path", dir.path().c_str(), 1);
    EXPECT_EQ(lum::FindLumIni(), "lum.ini");
    EXPECT_FALSE(lum::ReadIniValue(dir.path("lum.ini"), "Databases", "Pay"));
    // A FIFO is refused at once instead of blocking the reader.
    ASSERT_EQ(::mkfifo(current.path("lum.ini").c_str(), 0600), 0);
    EXPECT_FALSE(lum::LookUpAlias("Pay"));
    EXPECT_FALSE(lum::ReadIniValue(current.path("lum.ini"), "Databases", "Pay"));
    EXPECT_FALSE(lum::ReadIniValue(dir.path("missing.ini"), "Databases", "Pay"));
}

}  // namespace
}  // namespace lumtest
