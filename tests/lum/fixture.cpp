// The small practice the access layer's tests search, and the search's
// components read from the description the window and the headless run use.
#include "tests/lum/fixture.h"

#include <random>
#include <stdexcept>
#include <variant>

#include "framework/reader.h"
#include "search/search_description.h"

namespace lumtest {

using lce::Value;

TempDir::TempDir() {
    std::random_device rd;
    dir_ = std::filesystem::temp_directory_path() / ("lumtest-" + std::to_string(rd()) + std::to_string(rd()));
    std::filesystem::create_directories(dir_);
}

TempDir::~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
}

std::string TempDir::path(const std::string& name) const {
    return name.empty() ? dir_.string() : (dir_ / name).string();
}

namespace {

lce::ColumnDef Col(const std::string& name, std::uint16_t type, std::uint32_t length = 0) {
    lce::ColumnDef c;
    c.name = name;
    c.type = type;
    c.length = length;
    return c;
}

lce::IndexDef Index(const std::string& name, std::vector<std::string> fields) {
    lce::IndexDef ix;
    ix.name = name;
    ix.fields = std::move(fields);
    return ix;
}

// A text property of the search's stored connection, so that the practice
// accepts the login the search is stored with.
std::string StoredConnectionText(const std::string& property) {
    for (const fw::StoredComponent& component : app::SearchComponentDescriptions()) {
        if (component.Name != "LumConnection1") continue;
        for (const auto& [name, value] : component.Properties)
            if (name == property) return std::get<std::string>(value);
    }
    throw std::logic_error("the search's connection stores no " + property);
}

template <class T>
Value Opt(const std::optional<T>& v, Value (*make)(T)) {
    return v ? make(*v) : Value::null();
}

}  // namespace

void BuildPractice(const TempDir& dir, const std::vector<Transaction>& transactions,
                   const std::vector<Application>& applications, const std::string& defaultIndex) {
    lce::TableSchema trn;
    trn.columns = {Col("Chart Number", lce::kCharacter, 8),
                   Col("Case Number", lce::kInteger),
                   Col("Entry Number", lce::kAutoIncrement),
                   Col("Date From", lce::kDate),
                   Col("Procedure Code", lce::kCharacter, 10),
                   Col("Transaction Type", lce::kCharacter, 1),
                   Col("Amount", lce::kDouble),
                   Col("Documentation", lce::kMemo),
                   Col("CC Entry Number", lce::kInteger)};
    trn.indexes = {Index("IDXENTRY NUMBER", {"CC ENTRY NUMBER"}), Index("IDXCHARTNUMBER", {"CHART NUMBER"}),
                   Index("IDXENTRYNUMBER", {"ENTRY NUMBER"}),
                   Index("PRIMARY", {"CHART NUMBER", "CASE NUMBER", "ENTRY NUMBER"})};
    {
        auto t = lce::TableFile::create(dir.path("ZTTRN.LDT"), trn);
        // One write for all records keeps a practice of hundreds quick to build.
        lce::TableFile::Transaction all(t);
        for (const Transaction& x : transactions) {
            t.append({Value::ofText(x.chart), Opt<std::int64_t>(x.caseNumber, &Value::ofInteger),
                      Opt<std::int64_t>(x.entry, &Value::ofInteger), Opt<std::int64_t>(x.dateFrom, &Value::ofDate),
                      Value::ofText(x.code), Value::ofText(x.type), Opt<double>(x.amount, &Value::ofDouble),
                      Value::null(), Value::null()});
        }
        all.commit();
    }
    lce::TableSchema pax;
    pax.columns = {Col("Payment Reference", lce::kInteger), Col("Charge Reference", lce::kInteger),
                   Col("Payment Amount", lce::kDouble)};
    {
        auto t = lce::TableFile::create(dir.path("ZTPAX.LDT"), pax);
        lce::TableFile::Transaction all(t);
        for (const Application& a : applications)
            t.append({Value::ofInteger(a.payment), Value::ofInteger(a.charge), Value::ofDouble(a.amount)});
        all.commit();
    }
    auto dd = lce::Dictionary::create(dir.path("ZTDDF.LDD"));
    dd.addUser(StoredConnectionText("Username"), StoredConnectionText("Password"));
    std::map<std::uint16_t, std::string> properties;
    if (!defaultIndex.empty()) properties[213] = defaultIndex;
    dd.addTable({"ZTTRN", "ZTTRN.LDT", lce::kLdt, properties});
    dd.addTable({"ZTPAX", "ZTPAX.LDT", lce::kLdt, {}});
}

std::vector<std::string> SearchLines() { return app::SearchQueryLines(); }

Components::Components() {
    root.SetName("frmMain");
    fw::TReader reader;
    app::RegisterSearchClasses(reader);
    reader.Read(root, app::SearchDescription());
    connection = dynamic_cast<lum::TLumConnection*>(root.FindComponent("LumConnection1"));
    query = dynamic_cast<lum::TLumQuery*>(root.FindComponent("qryPay"));
    table = dynamic_cast<lum::TLumTable*>(root.FindComponent("tblpay"));
    dsQryChg = dynamic_cast<fw::TDataSource*>(root.FindComponent("dsQryChg"));
}

}  // namespace lumtest
