// The filters of a cursor: a plain filter (LumSetFilter) and an optimised
// one (LumSetLOF), each kept as its parsed expression, and their combined
// SQLite condition over "records", compiled again when either changes or
// exact matching (LumSetExact22) is switched.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "engine/src/expression.h"
#include "engine/src/sqlite_db.h"

namespace lce {

class Filters {
public:
    // The first parameter number of the condition; lower ones belong to the
    // statement the condition is put in.
    static constexpr int kFirstParam = 10;

    bool active() const { return plain_ || optimized_; }
    bool has(bool optimized) const { return static_cast<bool>(optimized ? optimized_ : plain_); }
    bool exact() const { return exact_; }
    // Each fails as parsing or translating the expression fails, changing nothing.
    void set(bool optimized, const std::string& text, const expr::ColumnLookup& columns);
    void clear(bool optimized, const expr::ColumnLookup& columns);
    void setExact(bool exact, const expr::ColumnLookup& columns);
    // The condition both filters make; valid while active().
    const std::string& condition() const { return compiled_.sql; }
    void bind(Stmt& stmt) const { bindParams(stmt, compiled_); }
    static void bindParams(Stmt& stmt, const expr::Compiled& compiled);

private:
    using Tree = std::shared_ptr<const expr::Node>;
    void compile(const Tree& plain, const Tree& optimized, bool exact, const expr::ColumnLookup& columns);

    Tree plain_, optimized_;
    bool exact_ = true;
    expr::Compiled compiled_;
};

}  // namespace lce
