#include "app/search_database.h"

#include <string>

#include "framework/exceptions.h"

namespace app {
namespace {

// Until the database access layer joins the build, the window's connection
// keeps its path and its datasets refuse to open with a message that says so.
class UnavailableDataSet : public IDataSet {
public:
    explicit UnavailableDataSet(std::string name) : name_(std::move(name)) {}
    void SetActive(bool active) override {
        if (active) throw fw::EDatabaseError(name_ + ": The database access layer is not part of this build");
    }
    void MoveToFirst() override { Refuse(); }
    void MoveToNext() override { Refuse(); }
    bool AtEnd() const override { return true; }
    std::int64_t CountRecords() override { Refuse(); }
    IField& FieldNamed(const std::string&) override { Refuse(); }

private:
    [[noreturn]] void Refuse() const { throw fw::EDatabaseError(name_ + ": Cannot perform this operation on a closed dataset"); }
    std::string name_;
};

class UnavailableConnection : public IConnection {
public:
    void SetIsConnected(bool connected) override {
        if (connected) throw fw::EDatabaseError("The database access layer is not part of this build");
    }
    void SetConnectPath(const std::string& path) override { path_ = path; }
    std::string ConnectPath() const override { return path_; }

private:
    std::string path_ = "\\\\devhost\\Orvanta\\Data\\ZTDDF.LDD";
};

class UnavailableDatabase : public SearchDatabase {
public:
    IConnection& Connection() override { return connection_; }
    IDataSet& Query() override { return query_; }
    IDataSet& Table() override { return table_; }

private:
    UnavailableConnection connection_;
    UnavailableDataSet query_{"qryPay"};
    UnavailableDataSet table_{"tblpay"};
};

}  // namespace

std::unique_ptr<SearchDatabase> CreateSearchDatabase() { return std::make_unique<UnavailableDatabase>(); }

}  // namespace app
