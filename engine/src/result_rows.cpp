// Compact storage of a SELECT's rows and the column types their values give.
#include "engine/src/result_rows.h"

#include <algorithm>
#include <limits>

#include "engine/src/layout.h"

namespace lce {

namespace {

bool fitsInt32(std::int64_t v) {
    return v > std::numeric_limits<std::int32_t>::min() && v <= std::numeric_limits<std::int32_t>::max();
}

}  // namespace

void ResultRows::add(sqlite3_stmt* raw) {
    for (std::size_t c = 0; c < columns_; ++c) {
        const int col = static_cast<int>(c);
        Stored cell{};
        cell.type = static_cast<std::uint8_t>(sqlite3_column_type(raw, col));
        Stats& st = stats_[c];
        switch (cell.type) {
            case SQLITE_INTEGER:
                cell.i = sqlite3_column_int64(raw, col);
                st.anyInt = true;
                st.wide |= !fitsInt32(cell.i);
                break;
            case SQLITE_FLOAT:
                cell.d = sqlite3_column_double(raw, col);
                st.anyReal = true;
                break;
            case SQLITE_TEXT:
            case SQLITE_BLOB: {
                const auto* p = static_cast<const char*>(sqlite3_column_blob(raw, col));
                const auto n = static_cast<std::size_t>(sqlite3_column_bytes(raw, col));
                cell.offset = bytes_.size();
                cell.length = static_cast<std::uint32_t>(n);
                if (p) bytes_.append(p, n);
                (cell.type == SQLITE_TEXT ? st.anyText : st.anyBlob) = true;
                st.maxLen = std::max(st.maxLen, n);
                break;
            }
            default: break;
        }
        cells_.push_back(cell);
    }
}

void ResultRows::append(ResultRows&& tail) {
    if (tail_) {
        tail_->append(std::move(tail));
    } else {
        tail_ = std::make_unique<ResultRows>(std::move(tail));
    }
    for (std::size_t c = 0; c < columns_ && c < tail_->stats_.size(); ++c) {
        Stats& st = stats_[c];
        const Stats& more = tail_->stats_[c];
        st.anyReal |= more.anyReal;
        st.anyText |= more.anyText;
        st.anyBlob |= more.anyBlob;
        st.anyInt |= more.anyInt;
        st.wide |= more.wide;
        st.maxLen = std::max(st.maxLen, more.maxLen);
    }
}

Cell ResultRows::cell(std::size_t row, std::size_t column) const {
    if (row >= own()) return tail_->cell(row - own(), column);
    const Stored& s = cells_[row * columns_ + column];
    Cell c;
    c.type = s.type;
    if (s.type == SQLITE_INTEGER)
        c.i = s.i;
    else if (s.type == SQLITE_FLOAT)
        c.d = s.d;
    else if (s.type != SQLITE_NULL)
        c.s = std::string_view(bytes_).substr(s.offset, s.length);
    return c;
}

ColumnDef ResultRows::typeFromValues(std::size_t column) const {
    const Stats& st = stats_[column];
    ColumnDef def;
    if (st.anyBlob) {
        def.type = kRaw;
        def.length = static_cast<std::uint32_t>(st.maxLen);
    } else if (st.anyText) {
        def.type = kCharacter;
        def.length = static_cast<std::uint32_t>(st.maxLen);
    } else if (st.anyReal)
        def.type = kDouble;
    else if (st.anyInt)
        def.type = st.wide ? kLongInteger : kInteger;
    else {
        def.type = kCharacter;
        def.length = 1;
    }
    return def;
}

}  // namespace lce
