// A dataset's table options: their defaults, every option and value read from
// a stored description, the guards of an open dataset, and the engine values
// they become when a table opens, a query runs, records are counted and
// cached, and the table's character type and index page size are read back.
#include <algorithm>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "data/lum/errors.h"
#include "data/lum/streaming.h"
#include "framework/reader.h"
#include "tests/lum/fixture.h"

namespace lumtest {
namespace {

using lum::TLumCharTypes;
using lum::TLumTableOptions;
using lum::TLumTableTypes;

// ---- options as text, so that one table of cases covers every option ------

const char* const kLockTypes[] = {"Proprietary", "Compatible"};
const char* const kFilters[] = {"IGNORE_WHEN_COUNTING", "RESPECT_WHEN_COUNTING"};
const char* const kScopes[] = {"IGNORE_SCOPES_WHEN_COUNTING", "RESPECT_SCOPES_WHEN_COUNTING"};
const char* const kCaches[] = {"rcNone", "rcStandard", "rcAggressive"};
const char* const kLOFTypes[] = {"atDynamic", "atKeySet", "atFixed"};
const char* const kLockingModes[] = {"lmPessimistic", "lmOptimistic"};
const char* const kCaching[] = {"tcNone", "tcReads", "tcWrites"};

// The identifier of a character type: its collation text without parentheses.
std::string CharTypeIdentifier(int ordinal) {
    std::string name = lum::CollationNames(static_cast<TLumCharTypes>(ordinal));
    std::string identifier;
    for (const char c : name) {
        if (c == '(') identifier += '_';
        if (c != '(' && c != ')') identifier += c;
    }
    return identifier;
}

template <class Enum, std::size_t N>
std::string Named(Enum value, const char* const (&names)[N]) {
    return names[static_cast<std::size_t>(value)];
}
std::string Flag(bool value) { return value ? "true" : "false"; }

// The option's current value as its stored identifier, number or text.
std::string ReadOption(const TLumTableOptions& o, const std::string& name) {
    if (name == "LumLockType") return Named(o.LumLockType(), kLockTypes);
    if (name == "LumCharType") return CharTypeIdentifier(static_cast<int>(o.LumCharType()));
    if (name == "LumFilterOptions") return Named(o.LumFilterOptions(), kFilters);
    if (name == "LumFreshRecordCount") return Flag(o.LumFreshRecordCount());
    if (name == "LumScopeOptions") return Named(o.LumScopeOptions(), kScopes);
    if (name == "LumLOFResolveImmediate") return Flag(o.LumLOFResolveImmediate());
    if (name == "LumRightsCheck") return Flag(o.LumRightsCheck());
    if (name == "LumOptimizedFilters") return Flag(o.LumOptimizedFilters());
    if (name == "LumIndexPageSize") return std::to_string(o.LumIndexPageSize());
    if (name == "LumRecordCache") return Named(o.LumRecordCache(), kCaches);
    if (name == "LumLOFType") return Named(o.LumLOFType(), kLOFTypes);
    if (name == "LumAutoKeyFieldCount") return Flag(o.LumAutoKeyFieldCount());
    if (name == "LumCalcFieldsBeforeFilter") return Flag(o.LumCalcFieldsBeforeFilter());
    if (name == "LumRecordLockingMode") return Named(o.LumRecordLockingMode(), kLockingModes);
    if (name == "LumPreserveSpaces") return Flag(o.LumPreserveSpaces());
    if (name == "LumNumericsAsFloats") return Flag(o.LumNumericsAsFloats());
    if (name == "LumCollation") return o.LumCollation();
    if (name == "LumCachingOption") return Named(o.LumCachingOption(), kCaching);
    ADD_FAILURE() << "no such option " << name;
    return {};
}

std::string AsText(const fw::PropertyValue& value) {
    if (const auto* b = std::get_if<bool>(&value)) return Flag(*b);
    if (const auto* n = std::get_if<long long>(&value)) return std::to_string(*n);
    if (const auto* s = std::get_if<std::string>(&value)) return *s;
    return std::get<fw::Ident>(value).Name;
}

// Every option with its default and the values it can be stored with; each
// list starts away from the default, so every value it sets is a change.
struct OptionCase {
    const char* name;
    const char* defaultValue;
    std::vector<fw::PropertyValue> values;
    std::vector<fw::PropertyValue> invalid;
};

std::vector<fw::PropertyValue> Idents(std::initializer_list<const char*> names) {
    std::vector<fw::PropertyValue> values;
    for (const char* name : names) values.emplace_back(fw::Ident{name});
    return values;
}

std::vector<OptionCase> OptionCases() {
    const std::vector<fw::PropertyValue> offOn = {true, false};
    const std::vector<fw::PropertyValue> onOff = {false, true};
    const std::vector<fw::PropertyValue> notAFlag = {std::string("true"), 1LL, fw::Ident{"True"}};
    std::vector<fw::PropertyValue> charTypes;
    for (int ordinal = lum::CharTypeCount - 1; ordinal >= 0; --ordinal)
        charTypes.emplace_back(fw::Ident{CharTypeIdentifier(ordinal)});
    return {
        {"LumLockType",
         "Proprietary",
         Idents({"Compatible", "Proprietary"}),
         {fw::Ident{"Exclusive"}, fw::Ident{"proprietary"}, 0LL}},
        {"LumCharType",
         "ANSI",
         charTypes,
         {fw::Ident{"ENGL(UK)_LUM_CS_AS_1252"}, fw::Ident{"UTF8"}, std::string("ANSI"), 1LL}},
        {"LumFilterOptions",
         "IGNORE_WHEN_COUNTING",
         Idents({"RESPECT_WHEN_COUNTING", "IGNORE_WHEN_COUNTING"}),
         {fw::Ident{"RESPECT_SCOPES_WHEN_COUNTING"}, true}},
        {"LumFreshRecordCount", "false", offOn, notAFlag},
        {"LumScopeOptions",
         "IGNORE_SCOPES_WHEN_COUNTING",
         Idents({"RESPECT_SCOPES_WHEN_COUNTING", "IGNORE_SCOPES_WHEN_COUNTING"}),
         {fw::Ident{"RESPECT_WHEN_COUNTING"}, 1LL}},
        {"LumLOFResolveImmediate", "false", offOn, notAFlag},
        {"LumRightsCheck", "true", onOff, notAFlag},
        {"LumOptimizedFilters", "true", onOff, notAFlag},
        {"LumIndexPageSize", "0", {512LL, 8192LL, 0LL}, {8193LL, -1LL, std::string("512"), 512.0}},
        {"LumRecordCache", "rcStandard", Idents({"rcAggressive", "rcNone", "rcStandard"}), {fw::Ident{"rcAll"}, 2LL}},
        {"LumLOFType", "atDynamic", Idents({"atFixed", "atKeySet", "atDynamic"}), {fw::Ident{"atStatic"}, 0LL}},
        {"LumAutoKeyFieldCount", "false", offOn, notAFlag},
        {"LumCalcFieldsBeforeFilter", "false", offOn, notAFlag},
        {"LumRecordLockingMode",
         "lmPessimistic",
         Idents({"lmOptimistic", "lmPessimistic"}),
         {fw::Ident{"lmNone"}, std::string("lmOptimistic")}},
        {"LumPreserveSpaces", "false", offOn, notAFlag},
        {"LumNumericsAsFloats", "false", offOn, notAFlag},
        {"LumCollation", "", {std::string("GERMAN_VFP_CI_AS_1252"), std::string("")}, {fw::Ident{"ANSI"}, 7LL}},
        {"LumCachingOption", "tcNone", Idents({"tcWrites", "tcReads", "tcNone"}), {fw::Ident{"tcAll"}, true}},
    };
}

// A table and a query: both read their options the same way.
struct DataSets {
    lum::TLumTable table;
    lum::TLumQuery query;
    DataSets() {
        table.SetName("tblOptions");
        query.SetName("qryOptions");
    }
};

TEST(TableOptions, EveryOptionStartsAtItsDefault) {
    DataSets d;
    for (const OptionCase& c : OptionCases()) {
        EXPECT_EQ(ReadOption(d.table.LumTableOptions(), c.name), c.defaultValue) << c.name;
        EXPECT_EQ(ReadOption(d.query.LumTableOptions(), c.name), c.defaultValue) << c.name;
    }
}

TEST(TableOptions, EveryOptionLoadsEachOfItsValuesAndRefusesOthersByName) {
    DataSets d;
    for (fw::IStreamable* target : {static_cast<fw::IStreamable*>(&d.table), static_cast<fw::IStreamable*>(&d.query)}) {
        const TLumTableOptions& options = target == &d.table ? d.table.LumTableOptions() : d.query.LumTableOptions();
        for (const OptionCase& c : OptionCases()) {
            const std::string path = std::string("LumTableOptions.") + c.name;
            for (const fw::PropertyValue& value : c.values) {
                target->SetStoredProperty(path, value);
                EXPECT_EQ(ReadOption(options, c.name), AsText(value)) << path;
            }
            // The lists end at the default; a refused value leaves it there.
            for (const fw::PropertyValue& value : c.invalid) {
                try {
                    target->SetStoredProperty(path, value);
                    ADD_FAILURE() << path << " took " << AsText(value);
                } catch (const fw::EConvertError& e) {
                    EXPECT_EQ(e.Message(), "Invalid property value: " + path);
                }
                EXPECT_EQ(ReadOption(options, c.name), c.defaultValue) << path;
            }
        }
        try {
            target->SetStoredProperty("LumTableOptions.LumFilterType", fw::Ident{"ftDynamic"});
            ADD_FAILURE() << "an unknown option loaded";
        } catch (const fw::EConvertError& e) {
            EXPECT_EQ(e.Message(), "Unknown property: LumTableOptions.LumFilterType");
        }
    }
}

TEST(TableOptions, AStoredDescriptionSetsEveryOptionOfATableAndAQuery) {
    fw::TReader reader;
    lum::RegisterLumClasses(reader);
    std::vector<std::pair<std::string, fw::PropertyValue>> properties;
    for (const OptionCase& c : OptionCases()) {
        properties.emplace_back(std::string("LumTableOptions.") + c.name, c.values.front());
        EXPECT_NE(AsText(c.values.front()), c.defaultValue) << c.name << " is not a change";
    }
    fw::TComponent root;
    root.SetName("frmMain");
    reader.Read(root, {{}, {{"TLumTable", "tblOptions", properties}, {"TLumQuery", "qryOptions", properties}}});
    for (const char* name : {"tblOptions", "qryOptions"}) {
        const auto* dataSet = dynamic_cast<lum::TLumDataSet*>(root.FindComponent(name));
        ASSERT_NE(dataSet, nullptr) << name;
        for (const OptionCase& c : OptionCases())
            EXPECT_EQ(ReadOption(dataSet->LumTableOptions(), c.name), AsText(c.values.front()))
                << name << " " << c.name;
    }
}

// A failure reported for a dataset: its text with the dataset's name in front,
// and the code, 5121 for the layer's own refusals.
void ExpectRefusal(const std::function<void()>& act, const std::string& message,
                   std::uint32_t code = lum::LayerErrorCode) {
    try {
        act();
        ADD_FAILURE() << "no exception, expected " << message;
    } catch (const lum::ELUMDatabaseError& e) {
        EXPECT_EQ(e.Message(), message);
        EXPECT_EQ(e.EngineErrorCode, code);
    }
}

TEST(TableOptions, CharacterTypesOfTheTableFormat) {
    const std::string cdxOnly =
        "tblOptions: ttLumCDX and ttLumNTX table types only support an LumCharType of ANSI or OEM.";
    const std::string unknown = "tblOptions: Invalid or unknown character type.";
    const auto beyondTheList = static_cast<TLumCharTypes>(lum::CharTypeCount);
    struct Case {
        TLumTableTypes format;
        TLumCharTypes value;
        std::string refusal;  // empty: accepted
    };
    const Case cases[] = {
        {TLumTableTypes::ttLumCDX, TLumCharTypes::OEM, ""},
        {TLumTableTypes::ttLumNTX, TLumCharTypes::ANSI, ""},
        {TLumTableTypes::ttLumCDX, TLumCharTypes::ENGL_UK_LUM_CS_AS_1252, cdxOnly},
        {TLumTableTypes::ttLumNTX, TLumCharTypes::GENERAL_VFP_CI_AS_1252, cdxOnly},
        {TLumTableTypes::ttLumCDX, beyondTheList, cdxOnly},  // the format is checked first
        {TLumTableTypes::ttLumLDT, TLumCharTypes::ENGL_UK_LUM_CS_AS_1252, ""},
        {TLumTableTypes::ttLumVFP, TLumCharTypes::BOSNIAN_LUM_CS_AS_775, ""},
        {TLumTableTypes::ttLumDefault, TLumCharTypes::GENERAL_VFP_CI_AS_1252, ""},
        {TLumTableTypes::ttLumLDT, beyondTheList, unknown},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.value));
        lum::TLumTable table;
        table.SetName("tblOptions");
        table.SetTableType(c.format);
        if (c.refusal.empty()) {
            table.LumTableOptions().SetLumCharType(c.value);
            EXPECT_EQ(table.LumTableOptions().LumCharType(), c.value);
        } else {
            ExpectRefusal([&] { table.LumTableOptions().SetLumCharType(c.value); }, c.refusal);
            EXPECT_EQ(table.LumTableOptions().LumCharType(), TLumCharTypes::ANSI);
        }
    }
    // A type's collation text and engine value.
    lum::TLumTable table;
    table.LumTableOptions().SetLumCharType(TLumCharTypes::ENGL_UK_LUM_CS_AS_1252);
    EXPECT_EQ(table.CollationName(), "ENGL(UK)_LUM_CS_AS_1252");
    EXPECT_EQ(table.LumTableOptions().EngineCharType(), 73);
    EXPECT_EQ(std::string(lum::CollationNames(TLumCharTypes::SPAN_MOD_LUM_CS_AS_1252)), "SPAN(MOD)_LUM_CS_AS_1252");
    EXPECT_EQ(std::string(lum::CollationNames(TLumCharTypes::BOSNIAN_LUM_CS_AS_775)), "BOSNIAN_LUM_CS_AS_775");
}

TEST(TableOptions, FilterBitsAndTheOptionsAStatementIsRunWith) {
    struct Case {
        lum::TLumLOFTypes type;
        bool resolveImmediate;
        std::uint16_t bits;
    };
    const Case cases[] = {
        {lum::TLumLOFTypes::atDynamic, false, 2}, {lum::TLumLOFTypes::atDynamic, true, 1},
        {lum::TLumLOFTypes::atKeySet, false, 6},  {lum::TLumLOFTypes::atKeySet, true, 5},
        {lum::TLumLOFTypes::atFixed, false, 10},  {lum::TLumLOFTypes::atFixed, true, 9},
    };
    lum::TLumTable table;
    TLumTableOptions& o = table.LumTableOptions();
    for (const Case& c : cases) {
        o.SetLumLOFType(c.type);
        o.SetLumLOFResolveImmediate(c.resolveImmediate);
        EXPECT_EQ(o.LOFOptionBits(), c.bits) << static_cast<int>(c.type) << " " << c.resolveImmediate;
    }

    const lum::TLumDatasetOptions defaults = o.DatasetOptions();
    EXPECT_EQ(defaults.LockType, 1);
    EXPECT_EQ(defaults.CharType, 1);
    EXPECT_EQ(defaults.RightsMode, 1);
    EXPECT_EQ(defaults.TableType, 3);
    EXPECT_EQ(defaults.Collation, "ANSI");
    table.SetTableType(TLumTableTypes::ttLumCDX);
    o.SetLumLockType(lum::TLumLockTypes::Compatible);
    o.SetLumCharType(TLumCharTypes::OEM);
    o.SetLumRightsCheck(false);
    const lum::TLumDatasetOptions changed = o.DatasetOptions();
    EXPECT_EQ(changed.LockType, 0);
    EXPECT_EQ(changed.CharType, 2);
    EXPECT_EQ(changed.RightsMode, 2);
    EXPECT_EQ(changed.TableType, 2);
    EXPECT_EQ(changed.Collation, "OEM");
    o.SetLumCollation("GERMAN_VFP_CI_AS_1252");
    EXPECT_EQ(o.DatasetOptions().Collation, "GERMAN_VFP_CI_AS_1252");
}

// ---- what the engine is told ---------------------------------------------

// The calls of the options' concern, as the engine receives them.
std::vector<std::string> calls;
const LumFunctions* realEngine = &lum::DefaultEngine();
bool refuseReadAhead = false;
bool collationUnreadable = false;

std::string Hex(UNSIGNED32 value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%x", static_cast<unsigned>(value));
    return text;
}

LumFunctions RecordingEngine() {
    LumFunctions engine = lum::DefaultEngine();
    engine.LumOpenTable90 = [](LUMHANDLE connection, const char* name, const char* alias, UNSIGNED16 type,
                               UNSIGNED16 charType, UNSIGNED16 lockType, UNSIGNED16 rights, UNSIGNED32 options,
                               const char* collation, LUMHANDLE* table) {
        calls.push_back("Open(type " + std::to_string(type) + ", char " + std::to_string(charType) + ", lock " +
                        std::to_string(lockType) + ", rights " + std::to_string(rights) + ", options " + Hex(options) +
                        ", " + collation + ")");
        return realEngine->LumOpenTable90(connection, name, alias, type, charType, lockType, rights, options, collation,
                                          table);
    };
    engine.LumCacheRecords = [](LUMHANDLE table, UNSIGNED16 records) {
        calls.push_back("Cache(" + std::to_string(records) + ")");
        if (refuseReadAhead) return realEngine->LumSetLastError(LUM_ERR_NOT_SUPPORTED, "Read-ahead refused");
        return realEngine->LumCacheRecords(table, records);
    };
    engine.LumGetRecordCount = [](LUMHANDLE handle, UNSIGNED16 mode, UNSIGNED32* count) {
        calls.push_back("Count(" + std::to_string(mode) + ")");
        return realEngine->LumGetRecordCount(handle, mode, count);
    };
    engine.LumGetTableCollation = [](LUMHANDLE table, char* collation, UNSIGNED16* length) {
        if (collationUnreadable) return realEngine->LumSetLastError(LUM_ERR_NOT_SUPPORTED, "Collation unreadable");
        return realEngine->LumGetTableCollation(table, collation, length);
    };
    engine.LumStmtSetTableLockType = [](LUMHANDLE statement, UNSIGNED16 lockType) {
        calls.push_back("StmtLock(" + std::to_string(lockType) + ")");
        return realEngine->LumStmtSetTableLockType(statement, lockType);
    };
    engine.LumStmtSetTableCharType = [](LUMHANDLE statement, UNSIGNED16 charType) {
        calls.push_back("StmtCharType(" + std::to_string(charType) + ")");
        return realEngine->LumStmtSetTableCharType(statement, charType);
    };
    engine.LumStmtSetTableCollation = [](LUMHANDLE statement, const char* collation) {
        calls.push_back(std::string("StmtCollation(") + collation + ")");
        return realEngine->LumStmtSetTableCollation(statement, collation);
    };
    engine.LumStmtSetTableRights = [](LUMHANDLE statement, UNSIGNED16 rights) {
        calls.push_back("StmtRights(" + std::to_string(rights) + ")");
        return realEngine->LumStmtSetTableRights(statement, rights);
    };
    return engine;
}

// The recorded calls whose text starts with `prefix`.
std::vector<std::string> CallsOf(const std::string& prefix) {
    std::vector<std::string> found;
    for (const std::string& call : calls)
        if (call.rfind(prefix, 0) == 0) found.push_back(call);
    return found;
}

using Calls = std::vector<std::string>;

lce::ColumnDef Column(const std::string& name, std::uint16_t type, std::uint32_t length = 0) {
    lce::ColumnDef c;
    c.name = name;
    c.type = type;
    c.length = length;
    return c;
}

// One table of a character column, with the character type, collation and
// index page size given.
void BuildTable(const TempDir& dir, const std::string& file, std::uint16_t charType, const std::string& collation,
                std::uint32_t pageSize) {
    lce::TableSchema schema;
    schema.columns = {Column("Name", lce::kCharacter, 10)};
    schema.charType = charType;
    schema.collation = collation;
    if (pageSize != 0) {
        lce::IndexDef index;
        index.name = "NAME";
        index.fields = {"NAME"};
        index.pageSize = pageSize;
        schema.indexes = {index};
    }
    auto table = lce::TableFile::create(dir.path(file), schema);
    table.append({lce::Value::ofText("A")});
}

class OptionsAtTheEngine : public ::testing::Test {
protected:
    void SetUp() override {
        BuildPractice(dir, {{1, "I", 10.0}, {2, "A", -10.0}}, {{2, 1, 10.0}});
        BuildTable(dir, "OEMTAB.LDT", lce::kOem, "", 0);
        BuildTable(dir, "COLLTAB.LDT", lce::kAnsi, "GERMAN_VFP_CI_AS_1252", 1024);
        calls.clear();
        refuseReadAhead = false;
        collationUnreadable = false;
    }
    void TearDown() override {
        refuseReadAhead = false;
        collationUnreadable = false;
    }
    // A closed table of the practice folder that calls the recording engine.
    void Prepare(lum::TLumTable& table, const std::string& file) {
        table.SetName("tblOptions");
        table.SetEngine(engine);
        table.SetDatabaseName(dir.path());
        table.SetTableName(file);
    }
    TempDir dir;
    const LumFunctions engine = RecordingEngine();
};

TEST_F(OptionsAtTheEngine, ATableOpensWithTheEngineValuesOfItsOptions) {
    lum::TLumConnection connection;
    connection.SetConnectPath(dir.path());
    connection.SetLumCollation("DUTCH_VFP_CI_AS_1252");
    struct Case {
        const char* what;
        std::function<void(lum::TLumTable&)> set;
        const char* open;
    };
    const Case cases[] = {
        {"defaults", [](lum::TLumTable&) {}, "Open(type 3, char 1, lock 1, rights 1, options 0x0, ANSI)"},
        {"compatible, unchecked, reads cached, a collation type",
         [](lum::TLumTable& t) {
             TLumTableOptions& o = t.LumTableOptions();
             o.SetLumLockType(lum::TLumLockTypes::Compatible);
             o.SetLumRightsCheck(false);
             o.SetLumCachingOption(lum::TLumTableCachingOption::tcReads);
             o.SetLumCharType(TLumCharTypes::ENGL_UK_LUM_CS_AS_1252);
         },
         "Open(type 3, char 73, lock 0, rights 2, options 0x20000000, ENGL(UK)_LUM_CS_AS_1252)"},
        {"writes cached, OEM with a collation of its own",
         [](lum::TLumTable& t) {
             TLumTableOptions& o = t.LumTableOptions();
             o.SetLumCachingOption(lum::TLumTableCachingOption::tcWrites);
             o.SetLumCharType(TLumCharTypes::OEM);
             o.SetLumCollation("GERMAN_VFP_CI_AS_1252");
         },
         "Open(type 3, char 2, lock 1, rights 1, options 0x40000000, GERMAN_VFP_CI_AS_1252)"},
        {"the connection's collation", [&](lum::TLumTable& t) { t.SetLumConnection(&connection); },
         "Open(type 3, char 1, lock 1, rights 1, options 0x0, DUTCH_VFP_CI_AS_1252)"},
        {"its own collation before the connection's",
         [&](lum::TLumTable& t) {
             t.SetLumConnection(&connection);
             t.LumTableOptions().SetLumCollation("SPAN(MOD)_LUM_CS_AS_1252");
         },
         "Open(type 3, char 1, lock 1, rights 1, options 0x0, SPAN(MOD)_LUM_CS_AS_1252)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        lum::TLumTable table;
        Prepare(table, "ZTPAX.LDT");
        c.set(table);
        calls.clear();
        table.SetActive(true);
        EXPECT_EQ(CallsOf("Open"), Calls{c.open});
        // The table has no collation of its own: its ANSI character type is read back.
        EXPECT_EQ(table.LumTableOptions().LumCharType(), TLumCharTypes::ANSI);
    }
}

TEST_F(OptionsAtTheEngine, AQueryStatementGetsLockCollationAndRightsButNoCharacterType) {
    Components c;
    c.connection->SetConnectPath(dir.path() + "\\ZTDDF.LDD");
    c.table->SetMasterSource(nullptr);
    lum::TLumQuery& q = *c.query;
    q.SetEngine(engine);
    struct Case {
        const char* what;
        std::function<void(TLumTableOptions&)> set;
        Calls statement;
    };
    const Case cases[] = {
        {"defaults", [](TLumTableOptions&) {}, {"StmtLock(1)", "StmtCollation(ANSI)", "StmtRights(1)"}},
        {"compatible, unchecked, OEM",
         [](TLumTableOptions& o) {
             o.SetLumLockType(lum::TLumLockTypes::Compatible);
             o.SetLumRightsCheck(false);
             o.SetLumCharType(TLumCharTypes::OEM);
         },
         {"StmtLock(0)", "StmtCollation(OEM)", "StmtRights(2)"}},
        {"a collation of its own",
         [](TLumTableOptions& o) { o.SetLumCollation("GENERAL_VFP_CI_AS_437"); },
         {"StmtLock(0)", "StmtCollation(GENERAL_VFP_CI_AS_437)", "StmtRights(2)"}},
    };
    for (const Case& x : cases) {
        SCOPED_TRACE(x.what);
        x.set(q.LumTableOptions());
        calls.clear();
        q.SetActive(true);
        EXPECT_EQ(CallsOf("Stmt"), x.statement);
        // The payment query counts respecting scopes: its progress bar needs the rows it will walk.
        calls.clear();
        q.CountRecords();
        EXPECT_EQ(calls, Calls{"Count(3)"});
        q.SetActive(false);
    }
}

TEST_F(OptionsAtTheEngine, CountingUsesTheModeTheOptionsGiveAtTheTimeOfCounting) {
    struct Case {
        lum::TLumRespectFilters filters;
        lum::TLumRespectScopes scopes;
        bool fresh;
        const char* call;
    };
    using F = lum::TLumRespectFilters;
    using S = lum::TLumRespectScopes;
    const Case cases[] = {
        {F::IGNORE_WHEN_COUNTING, S::IGNORE_SCOPES_WHEN_COUNTING, false, "Count(2)"},
        {F::IGNORE_WHEN_COUNTING, S::RESPECT_SCOPES_WHEN_COUNTING, false, "Count(3)"},
        {F::RESPECT_WHEN_COUNTING, S::IGNORE_SCOPES_WHEN_COUNTING, false, "Count(1)"},
        {F::RESPECT_WHEN_COUNTING, S::RESPECT_SCOPES_WHEN_COUNTING, false, "Count(1)"},  // filters win
        {F::IGNORE_WHEN_COUNTING, S::IGNORE_SCOPES_WHEN_COUNTING, true, "Count(6)"},
        {F::IGNORE_WHEN_COUNTING, S::RESPECT_SCOPES_WHEN_COUNTING, true, "Count(7)"},
        {F::RESPECT_WHEN_COUNTING, S::RESPECT_SCOPES_WHEN_COUNTING, true, "Count(5)"},
    };
    lum::TLumTable table;
    Prepare(table, "ZTPAX.LDT");
    table.SetActive(true);
    for (const Case& c : cases) {
        TLumTableOptions& o = table.LumTableOptions();
        o.SetLumFilterOptions(c.filters);
        o.SetLumScopeOptions(c.scopes);
        o.SetLumFreshRecordCount(c.fresh);
        calls.clear();
        EXPECT_EQ(table.CountRecords(), 1);
        EXPECT_EQ(calls, Calls{c.call});
    }
}

TEST_F(OptionsAtTheEngine, ReadAheadAtOpenAndAtOnceOnAnOpenDataset) {
    using R = lum::TLumRecordCacheTypes;
    const std::pair<R, Calls> atOpen[] = {
        {R::rcNone, {"Cache(0)"}}, {R::rcAggressive, {"Cache(100)"}}, {R::rcStandard, {}}};
    for (const auto& [cache, expected] : atOpen) {
        lum::TLumTable table;
        Prepare(table, "ZTPAX.LDT");
        table.LumTableOptions().SetLumRecordCache(cache);  // closed: only stored
        EXPECT_EQ(CallsOf("Cache"), Calls{});
        table.SetActive(true);
        EXPECT_EQ(CallsOf("Cache"), expected) << static_cast<int>(cache);
        calls.clear();
    }

    lum::TLumTable table;
    Prepare(table, "ZTPAX.LDT");
    table.SetActive(true);
    const std::pair<R, const char*> whileOpen[] = {
        {R::rcNone, "Cache(0)"}, {R::rcAggressive, "Cache(100)"}, {R::rcStandard, "Cache(10)"}};
    for (const auto& [cache, expected] : whileOpen) {
        calls.clear();
        table.LumTableOptions().SetLumRecordCache(cache);
        EXPECT_EQ(calls, Calls{expected});
        EXPECT_EQ(table.LumTableOptions().LumRecordCache(), cache);
    }
    // A refused read-ahead leaves the stored value.
    refuseReadAhead = true;
    ExpectRefusal([&] { table.LumTableOptions().SetLumRecordCache(R::rcNone); }, "tblOptions: Read-ahead refused",
                  LUM_ERR_NOT_SUPPORTED);
    EXPECT_EQ(table.LumTableOptions().LumRecordCache(), R::rcStandard);
}

TEST_F(OptionsAtTheEngine, CharacterTypeAndIndexPageSizeAreReadBackFromTheOpenTable) {
    struct Case {
        const char* file;
        TLumCharTypes after;
        std::uint16_t openCharType;
        std::uint16_t pageSize;
    };
    const Case cases[] = {
        {"OEMTAB.LDT", TLumCharTypes::OEM, 2, 0},                         // no collation, no index
        {"COLLTAB.LDT", TLumCharTypes::ENGL_UK_LUM_CS_AS_1252, 1, 1024},  // a collation: the type stays
        {"ZTTRN.LDT", TLumCharTypes::ANSI, 1, 512},                       // more indexes than room for one
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        lum::TLumTable table;
        Prepare(table, c.file);
        table.LumTableOptions().SetLumCharType(TLumCharTypes::ENGL_UK_LUM_CS_AS_1252);
        table.LumTableOptions().SetLumIndexPageSize(512);
        table.SetActive(true);
        EXPECT_EQ(table.LumTableOptions().LumCharType(), c.after);
        EXPECT_EQ(table.OpenCharType(), c.openCharType);
        EXPECT_EQ(table.LumTableOptions().LumIndexPageSize(), c.pageSize);
    }
    // Any failure but "no collation" while reading the collation fails the open.
    collationUnreadable = true;
    lum::TLumTable table;
    Prepare(table, "ZTPAX.LDT");
    ExpectRefusal([&] { table.SetActive(true); }, "tblOptions: Collation unreadable", LUM_ERR_NOT_SUPPORTED);
    EXPECT_FALSE(table.Active());
}

TEST_F(OptionsAtTheEngine, AnOpenDataSetRefusesTheGuardedOptionsAndStoresTheOthers) {
    const std::vector<std::string> guarded = {"LumLockType", "LumCharType", "LumRightsCheck", "LumCachingOption"};
    lum::TLumTable table;
    Prepare(table, "ZTPAX.LDT");
    table.SetActive(true);
    for (const OptionCase& c : OptionCases()) {
        SCOPED_TRACE(c.name);
        const std::string path = std::string("LumTableOptions.") + c.name;
        const fw::PropertyValue& value = c.values.front();
        if (std::find(guarded.begin(), guarded.end(), c.name) != guarded.end()) {
            ExpectRefusal([&] { table.SetStoredProperty(path, value); }, "tblOptions: Table must not be Active.");
            EXPECT_EQ(ReadOption(table.LumTableOptions(), c.name), c.defaultValue);
        } else {
            table.SetStoredProperty(path, value);
            EXPECT_EQ(ReadOption(table.LumTableOptions(), c.name), AsText(value));
        }
    }
}

// A table that records how its filter is asked to change mode.
class FilterProbe : public lum::TLumTable {
public:
    using lum::TLumTable::TLumTable;
    std::vector<std::string> moves;
    bool refuse = false;

protected:
    void FilterModeChanged(bool wasOptimized) override {
        const auto mode = [](bool optimized) { return optimized ? "optimised" : "plain"; };
        moves.push_back(std::string(mode(wasOptimized)) + " to " + mode(LumTableOptions().LumOptimizedFilters()));
        if (refuse) lum::RaiseLayerError(this, "Filter refused");
    }
};

TEST_F(OptionsAtTheEngine, SwitchingOptimisedFiltersMovesTheFilterOfAnOpenDataSetOnly) {
    FilterProbe probe;
    Prepare(probe, "ZTPAX.LDT");
    TLumTableOptions& o = probe.LumTableOptions();
    o.SetLumOptimizedFilters(false);  // closed: stored for the next open
    o.SetLumOptimizedFilters(true);
    EXPECT_EQ(probe.moves, Calls{});
    probe.SetActive(true);
    o.SetLumOptimizedFilters(true);  // unchanged: nothing to move
    EXPECT_EQ(probe.moves, Calls{});
    o.SetLumOptimizedFilters(false);
    EXPECT_EQ(probe.moves, Calls{"optimised to plain"});
    EXPECT_FALSE(o.LumOptimizedFilters());
    // A move that fails keeps the old mode and passes the error on.
    probe.refuse = true;
    ExpectRefusal([&] { o.SetLumOptimizedFilters(true); }, "tblOptions: Filter refused");
    EXPECT_EQ(probe.moves, (Calls{"optimised to plain", "plain to optimised"}));
    EXPECT_FALSE(o.LumOptimizedFilters());

    // While its stored description is read, an open dataset only stores the value.
    FilterProbe* loaded = nullptr;
    fw::TReader reader;
    reader.RegisterClass("FilterProbe", [&](fw::TComponent& owner) -> fw::TComponent& {
        loaded = &owner.CreateOwned<FilterProbe>();
        Prepare(*loaded, "ZTPAX.LDT");
        loaded->SetActive(true);
        return *loaded;
    });
    fw::TComponent root;
    reader.Read(root, {{}, {{"FilterProbe", "tblLoaded", {{"LumTableOptions.LumOptimizedFilters", false}}}}});
    ASSERT_NE(loaded, nullptr);
    EXPECT_FALSE(loaded->LumTableOptions().LumOptimizedFilters());
    EXPECT_EQ(loaded->moves, Calls{});
}

}  // namespace
}  // namespace lumtest
