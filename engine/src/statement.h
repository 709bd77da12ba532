// An SQL statement on a connection: the practice SQL is translated into
// SQLite SQL, the table files it names are attached read-only to a private
// in-memory database under views named as the tables, and a SELECT's result
// is materialized as an LDT-layout table that an ordinary cursor serves.
// INSERT, UPDATE and DELETE run on the writer of the table they change
// (table_writer.h), which then derives the changed records' images and keys.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/lce_builder.h"
#include "engine/src/connection.h"
#include "engine/src/handles.h"
#include "engine/src/procedure.h"

namespace lce {

namespace sql {
struct Translation;
}

class Statement : public Object {
public:
    explicit Statement(std::weak_ptr<Connection> connection) : connection_(std::move(connection)) {}
    HandleType handleType() const override { return HandleType::Statement; }

    void prepare(const std::string& sql);
    // Returns the new cursor handle, 0 when there is no result set.
    std::uint32_t execute();
    void setParameter(const char* field, Value value);  // field: ordinal or name
    std::optional<std::int64_t> rowCount() const { return rowCount_; }
    // The auto-increment value of the last record an INSERT of this
    // statement added (0: none).
    std::int64_t lastAutoIncrement() const { return lastAutoIncrement_; }
    // Whether the last SELECT ran as two halves at once (group_split.h).
    bool ranInHalves() const { return ranInHalves_; }

    std::uint16_t tableType = 3, charType = 1, lockType = 1, rights = 1, readOnly = 1, constrain = 2, readAll = 2;
    std::string collation;
    std::uint32_t timeout = 0;

private:
    std::shared_ptr<Connection> connection() const;
    std::int64_t executeChange(Connection& conn, const sql::Translation& first, std::uint32_t limit,
                               std::chrono::milliseconds lockWait);
    void failOnUnsetParameter() const;
    // Runs a system procedure; returns its result's cursor handle or 0.
    std::uint32_t runProcedure(Connection& conn);
    std::string textArgument(const ProcedureCall::Argument& argument) const;
    std::weak_ptr<Connection> connection_;
    std::string text_;
    bool prepared_ = false;
    std::optional<ProcedureCall> procedure_;
    std::vector<std::string> parameterNames_;
    std::vector<std::optional<Value>> parameters_;
    std::optional<std::int64_t> rowCount_;
    std::int64_t lastAutoIncrement_ = 0;
    bool ranInHalves_ = false;
};

// Message of an SQL failure, as the engine reports it under kErrSql.
[[noreturn]] void failSql(int native, const std::string& message, const std::string& sql);

}  // namespace lce
