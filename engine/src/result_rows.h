// The rows of a SELECT as SQLite returns them, kept compactly until they
// become the result table: sixteen bytes a value plus the bytes of texts and
// blobs in one shared buffer, instead of a vector and a string per row.
#pragma once

#include <sqlite3.h>

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "engine/lce_builder.h"

namespace lce {

// One value of a result row as SQLite typed it (SQLITE_INTEGER, ...).
struct Cell {
    int type = SQLITE_NULL;
    std::int64_t i = 0;
    double d = 0;
    std::string_view s;
};

class ResultRows {
public:
    explicit ResultRows(int columns) : columns_(static_cast<std::size_t>(columns)), stats_(columns_) {}

    // Copies the statement's current row.
    void add(sqlite3_stmt* raw);
    // Puts the rows of another result of the same columns after these,
    // without copying them (the halves of a split statement).
    void append(ResultRows&& tail);
    std::size_t size() const { return own() + (tail_ ? tail_->size() : 0); }
    Cell cell(std::size_t row, std::size_t column) const;
    // The type of a column from its values alone: raw where any is a blob,
    // character (as wide as the widest) where any is text, else double,
    // integer (long where a value needs it) or, with nulls only, character 1.
    ColumnDef typeFromValues(std::size_t column) const;

private:
    struct Stored {
        std::uint8_t type;
        std::uint32_t length;  // of a text or blob
        union {
            std::int64_t i;
            double d;
            std::uint64_t offset;  // of a text or blob in bytes_
        };
    };
    struct Stats {
        bool anyReal = false, anyText = false, anyBlob = false, anyInt = false, wide = false;
        std::size_t maxLen = 1;
    };
    std::size_t own() const { return columns_ == 0 ? 0 : cells_.size() / columns_; }

    std::size_t columns_;
    std::vector<Stored> cells_;
    std::string bytes_;
    std::vector<Stats> stats_;
    std::unique_ptr<ResultRows> tail_;
};

}  // namespace lce
