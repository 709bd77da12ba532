#pragma once
// In-memory stand-ins for the components the search talks to.
#include <algorithm>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "framework/exceptions.h"
#include "framework/variant.h"
#include "search/contracts.h"

namespace testing_doubles {

using Row = std::map<std::string, fw::Variant>;

class VariantField : public app::IField {
public:
    explicit VariantField(fw::Variant value) : value_(std::move(value)) {}
    std::string ValueAsText() const override { return value_.IsNull() ? "" : value_.AsString(); }
    std::int32_t ValueAsInteger() const override {
        return value_.IsNull() ? 0 : static_cast<std::int32_t>(value_.AsInteger());
    }
    double ValueAsDateTime() const override { return value_.IsNull() ? 0.0 : value_.AsDouble(); }
    fw::Variant ValueAsVariant() const override { return value_; }

private:
    fw::Variant value_;
};

// A dataset over fixed rows; the cursor behaves as the contract says.
class RowsDataSet : public app::IDataSet {
public:
    RowsDataSet(std::string name, std::vector<Row> rows) : name_(std::move(name)), rows_(std::move(rows)) {}

    void SetActive(bool active) override {
        if (active && failOnOpen) throw fw::EDatabaseError(name_ + ": " + *failOnOpen);
        active_ = active;
        current_ = 0;
        atEnd_ = rows_.empty();
    }
    void MoveToFirst() override {
        current_ = 0;
        atEnd_ = rows_.empty();
    }
    void MoveToNext() override {
        if (atEnd_) return;
        if (current_ + 1 < rows_.size())
            ++current_;
        else
            atEnd_ = true;
    }
    bool AtEnd() const override { return atEnd_; }
    std::int64_t CountRecords() override { return static_cast<std::int64_t>(rows_.size()); }
    app::IField& FieldNamed(const std::string& name) override {
        if (!active_) throw fw::EDatabaseError(name_ + ": Cannot perform this operation on a closed dataset");
        const Row& row = rows_.at(current_);
        const auto found = row.find(name);
        if (found == row.end()) throw fw::EDatabaseError(name_ + ": Field '" + name + "' not found");
        reads_.push_back(std::make_unique<VariantField>(found->second));
        return *reads_.back();
    }

    bool Active() const { return active_; }
    const Row& CurrentRow() const { return rows_.at(current_); }
    std::optional<std::string> failOnOpen;

private:
    std::string name_;
    std::vector<Row> rows_;
    std::size_t current_ = 0;
    bool active_ = false;
    bool atEnd_ = true;
    std::vector<std::unique_ptr<VariantField>> reads_;
};

// The transaction table kept on the query row's Entry Number; a missing entry
// reads as nulls, as an empty scoped table does.
class DetailTable : public app::IDataSet {
public:
    DetailTable(RowsDataSet& master, std::map<std::int64_t, Row> byEntry)
        : master_(master), byEntry_(std::move(byEntry)) {}
    void SetActive(bool active) override { active_ = active; }
    void MoveToFirst() override {}
    void MoveToNext() override {}
    bool AtEnd() const override { return Current() == nullptr; }
    std::int64_t CountRecords() override { return Current() ? 1 : 0; }
    app::IField& FieldNamed(const std::string& name) override {
        static const std::vector<std::string> known{"Chart Number", "Case Number", "Date From", "Procedure Code"};
        if (std::find(known.begin(), known.end(), name) == known.end())
            throw fw::EDatabaseError("tblpay: Field '" + name + "' not found");
        const Row* row = Current();
        fw::Variant value = fw::Variant::Null();
        if (row != nullptr) {
            const auto found = row->find(name);
            if (found != row->end()) value = found->second;
        }
        reads_.push_back(std::make_unique<VariantField>(value));
        return *reads_.back();
    }
    bool Active() const { return active_; }

private:
    const Row* Current() const {
        const auto found = byEntry_.find(master_.CurrentRow().at("Entry Number").AsInteger());
        return found == byEntry_.end() ? nullptr : &found->second;
    }
    RowsDataSet& master_;
    std::map<std::int64_t, Row> byEntry_;
    bool active_ = false;
    std::vector<std::unique_ptr<VariantField>> reads_;
};

class Button : public app::IButton {
public:
    void SetEnabled(bool enabled) override { enabled_ = enabled; }
    bool Enabled() const { return enabled_; }

private:
    bool enabled_ = true;
};

class Location : public app::IPracticeLocation {
public:
    std::string ReadCurrentPracticePath() override {
        ++reads;
        return recorded;
    }
    std::string recorded;
    int reads = 0;
};

// Answers like a user would: confirms (optionally choosing another folder) or cancels.
class FolderDialog : public app::IFolderDialog {
public:
    explicit FolderDialog(const Button& searchButton) : button_(searchButton) {}
    void SetPath(const std::string& path) override { path_ = path; }
    std::string Path() const override { return path_; }
    bool RunModal() override {
        startedAt.push_back(path_);
        buttonEnabledWhileShown = button_.Enabled();
        if (!confirm) return false;
        if (choose) path_ = *choose;
        return true;
    }
    bool confirm = true;
    std::optional<std::string> choose;
    std::vector<std::string> startedAt;
    bool buttonEnabledWhileShown = true;

private:
    const Button& button_;
    std::string path_;
};

class Connection : public app::IConnection {
public:
    Connection(RowsDataSet& query, DetailTable& table) : query_(query), table_(table) {}
    void SetIsConnected(bool connected) override {
        if (!connected) {
            query_.SetActive(false);
            table_.SetActive(false);
            ++disconnects;
        }
    }
    void SetConnectPath(const std::string& path) override { path_ = path; }
    std::string ConnectPath() const override { return path_; }
    int disconnects = 0;

private:
    RowsDataSet& query_;
    DetailTable& table_;
    std::string path_ = "\\\\devhost\\practice\\ZTDDF.LDD";
};

class Bar : public app::IProgressBar {
public:
    double Position() const override { return position; }
    void SetPosition(double p) override { position = p; }
    void SetMax(double m) override { max = m; }
    double position = 0;
    double max = 100;
};

// A pane with a capacity, counting two characters per line end.
class Pane : public app::IOutputPane {
public:
    void ClearText() override {
        lines.clear();
        length = 0;
    }
    void AppendLine(const std::string& line) override {
        if (length + line.size() + 2 > capacity) {
            lines.push_back(line.substr(0, capacity - length));
            length = capacity;
            throw fw::EOutOfResources("RichEdit line insertion error");
        }
        lines.push_back(line);
        length += line.size() + 2;
    }
    std::vector<std::string> lines;
    std::size_t length = 0;
    std::size_t capacity = 65536;
};

class Messages : public app::IMessagePump {
public:
    void ProcessPendingMessages() override { ++calls; }
    int calls = 0;
};

}  // namespace testing_doubles
