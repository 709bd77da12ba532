// Seeking in an index order: the cursor goes to the first record whose key
// is not below the key sought, inside the order's scopes, and reports whether
// that record's key begins with it.
#include "engine/src/cursor.h"
#include "engine/src/error.h"

namespace lce {

bool Cursor::seek(std::size_t order, const std::string& key, bool hard) {
    beforeMove();
    const auto lease = store_->reading();
    const std::string& k = index(order).keyColumn;
    // A forward stream from the key, so a skip after the seek goes on
    // reading it. The scope's top and the key are one lower bound, the
    // greater of the two, so the key index serves it as a range.
    Stmt& stmt = statement("SELECT k.__recno, r.__rec, k." + k + " FROM " + keyTable(order) +
                           " AS k LEFT JOIN lce_images AS r ON r.__recno = k.__recno WHERE " +
                           scopeClause(order, "k." + k) + " ORDER BY k." + k + ", k.__recno");
    bindScope(stmt, order);
    const std::optional<std::string>& top = orders_[order].top;
    const std::string& from = top && key < *top ? *top : key;
    stmt.bindKey(3, from);
    stream_ = Stream{order, Dir::Forward, 0, &stmt, store_->readEpoch()};
    if (!stepStream()) {
        gotoEOF();
        return false;
    }
    landed(true, Dir::Forward, false);
    // Keys of whole segments end with a terminator, so a key that begins with
    // the one sought holds the same values in those segments; a partial text
    // key matches every value that starts with it.
    const std::optional<std::string> current = currentKey(order);
    const bool found = current && current->compare(0, key.size(), key) == 0;
    if (!found && hard) gotoEOF();
    return found;
}

}  // namespace lce
