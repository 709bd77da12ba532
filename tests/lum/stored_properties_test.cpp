// Stored property values of the access layer's components: every enumeration
// identifier sets its own value, and an unknown identifier or a value of
// another kind fails with the message that names the property.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "data/lum/connection.h"
#include "data/lum/query.h"
#include "data/lum/table.h"
#include "framework/exceptions.h"

namespace {

// The three components a stored description sets these properties on.
struct Components {
    lum::TLumConnection connection;
    lum::TLumTable table;
    lum::TLumQuery query;
};

using Target = fw::IStreamable& (*)(Components&);
fw::IStreamable& OfConnection(Components& c) { return c.connection; }
fw::IStreamable& OfTable(Components& c) { return c.table; }
fw::IStreamable& OfQuery(Components& c) { return c.query; }

TEST(StoredProperties, EachIdentifierSetsItsOwnValue) {
    struct Case {
        Target target;
        const char* path;
        const char* identifier;
        std::function<int(const Components&)> read;
        int expected;
    };
    const auto tableType = [](const Components& c) { return static_cast<int>(c.table.TableType()); };
    const auto sourceType = [](const Components& c) { return static_cast<int>(c.query.SourceTableType()); };
    const auto mismatch = [](const Components& c) { return static_cast<int>(c.table.IndexCollationMismatch()); };
    const auto level = [](const Components& c) { return static_cast<int>(c.table.SequencedLevel()); };
    const auto compression = [](const Components& c) { return static_cast<int>(c.connection.Compression()); };
    const auto communication = [](const Components& c) { return static_cast<int>(c.connection.CommunicationType()); };
    const auto lockType = [](const Components& c) { return static_cast<int>(c.table.LumTableOptions().LumLockType()); };
    const Case cases[] = {
        {OfTable, "TableType", "ttLumNTX", tableType, 1},
        {OfTable, "TableType", "ttLumVFP", tableType, 4},
        {OfTable, "TableType", "ttLumLDT", tableType, 2},
        {OfQuery, "SourceTableType", "ttLumDefault", sourceType, 3},
        {OfQuery, "SourceTableType", "ttLumCDX", sourceType, 0},
        {OfTable, "IndexCollationMismatch", "icmReindex", mismatch, 2},
        {OfTable, "IndexCollationMismatch", "icmIgnore", mismatch, 1},
        {OfTable, "SequencedLevel", "slExact", level, 1},
        {OfTable, "SequencedLevel", "slStandard", level, 0},
        {OfConnection, "Compression", "ccLumCompressNever", compression, 3},
        {OfConnection, "Compression", "ccLumCompressInternet", compression, 1},
        {OfConnection, "CommunicationType", "ctLumTCPIP", communication, 3},
        {OfConnection, "CommunicationType", "ctLumUDPIP", communication, 1},
        {OfTable, "LumTableOptions.LumLockType", "Compatible", lockType, 1},
        {OfTable, "LumTableOptions.LumLockType", "Proprietary", lockType, 0},
    };
    for (const Case& c : cases) {
        Components components;
        c.target(components).SetStoredProperty(c.path, fw::Ident{c.identifier});
        EXPECT_EQ(c.read(components), c.expected) << c.path << " = " << c.identifier;
    }
}

TEST(StoredProperties, ServerTypesTakeEachListedIdentifier) {
    Components components;
    components.connection.SetStoredProperty("LumServerTypes", fw::IdentSet{{"stLUM_LIS", "stLUM_REMOTE"}});
    const lum::TLumServerTypes types = components.connection.LumServerTypes();
    EXPECT_TRUE(types.Contains(lum::TLumServerType::stLUM_REMOTE));
    EXPECT_FALSE(types.Contains(lum::TLumServerType::stLUM_LOCAL));
    EXPECT_TRUE(types.Contains(lum::TLumServerType::stLUM_LIS));
}

TEST(StoredProperties, AnUnknownIdentifierOrAnotherKindNamesTheProperty) {
    struct Case {
        Target target;
        const char* path;
        fw::PropertyValue value;
    };
    const Case cases[] = {
        {OfTable, "TableType", fw::Ident{"ttLumDBF"}},
        {OfTable, "TableType", fw::Ident{"ttlumvfp"}},  // identifiers keep their case
        {OfTable, "TableType", std::string("ttLumVFP")},
        {OfQuery, "SourceTableType", fw::Ident{""}},
        {OfTable, "IndexCollationMismatch", fw::Ident{"icmAbort"}},
        {OfTable, "SequencedLevel", true},
        {OfTable, "Exclusive", std::string("true")},
        {OfTable, "TableName", 7LL},
        {OfConnection, "Compression", fw::Ident{"ccLumCompressSometimes"}},
        {OfConnection, "CommunicationType", 3LL},
        {OfConnection, "LumServerTypes", fw::IdentSet{{"stLUM_LOCAL", "stLUM_CLOUD"}}},
        {OfConnection, "LumServerTypes", fw::Ident{"stLUM_LOCAL"}},
        {OfConnection, "SQLTimeout", -1LL},
        {OfTable, "LumTableOptions.LumLockType", fw::Ident{"Exclusive"}},
        {OfTable, "LumTableOptions.LumIndexPageSize", 8193LL},
        {OfTable, "LumTableOptions.LumCollation", true},
        {OfQuery, "Version", 10LL},
    };
    for (const Case& c : cases) {
        Components components;
        try {
            c.target(components).SetStoredProperty(c.path, c.value);
            ADD_FAILURE() << c.path << " took an invalid value";
        } catch (const fw::EConvertError& e) {
            EXPECT_EQ(e.Message(), std::string("Invalid property value: ") + c.path);
        }
    }
}

}  // namespace
