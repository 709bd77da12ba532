// The SQLite functions and collations registered on every statement's connection
// so SQL compares fixed-length character columns as the practice's tables do.
#include "engine/sql/functions.h"

#include <sqlite3.h>

#include <algorithm>
#include <string_view>

namespace lce::sql {
namespace {

std::string_view TrimTrailingBlanks(std::string_view text) {
    std::size_t n = text.size();
    while (n > 0 && text[n - 1] == ' ') --n;
    return text.substr(0, n);
}

std::string_view ValueText(sqlite3_value* value) {
    const auto* text = reinterpret_cast<const char*>(sqlite3_value_text(value));
    if (text == nullptr) return {};
    return {text, static_cast<std::size_t>(sqlite3_value_bytes(value))};
}

// Characters, not bytes, as SQLite's own length() and substr() count them.
sqlite3_int64 CharacterCount(std::string_view utf8) {
    sqlite3_int64 count = 0;
    for (const char c : utf8) {
        if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) ++count;
    }
    return count;
}

void Position(sqlite3_context* context, int, sqlite3_value** argv) {
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL || sqlite3_value_type(argv[1]) == SQLITE_NULL) {
        sqlite3_result_null(context);
        return;
    }
    // The needle is a fixed-length value: its trailing blanks are padding, and
    // a value of blanks only is found nowhere.
    const std::string_view needle = TrimTrailingBlanks(ValueText(argv[0]));
    if (needle.empty()) {
        sqlite3_result_int64(context, 0);
        return;
    }
    const std::string_view haystack = ValueText(argv[1]);
    const std::size_t at = haystack.find(needle);
    sqlite3_result_int64(context, at == std::string_view::npos ? 0 : CharacterCount(haystack.substr(0, at)) + 1);
}

void RightTrim(sqlite3_context* context, int, sqlite3_value** argv) {
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) {
        sqlite3_result_null(context);
        return;
    }
    const std::string_view text = TrimTrailingBlanks(ValueText(argv[0]));
    sqlite3_result_text(context, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
}

char FoldAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

template <bool kFoldCase>
int CompareFixed(void*, int lengthA, const void* a, int lengthB, const void* b) {
    const std::string_view left = TrimTrailingBlanks({static_cast<const char*>(a), static_cast<std::size_t>(lengthA)});
    const std::string_view right = TrimTrailingBlanks({static_cast<const char*>(b), static_cast<std::size_t>(lengthB)});
    const std::size_t common = std::min(left.size(), right.size());
    for (std::size_t i = 0; i < common; ++i) {
        const char l = kFoldCase ? FoldAscii(left[i]) : left[i];
        const char r = kFoldCase ? FoldAscii(right[i]) : right[i];
        if (l != r) return static_cast<unsigned char>(l) < static_cast<unsigned char>(r) ? -1 : 1;
    }
    if (left.size() == right.size()) return 0;
    return left.size() < right.size() ? -1 : 1;
}

}  // namespace

int RegisterPracticeFunctions(sqlite3* db) {
    constexpr int kFlags = SQLITE_UTF8 | SQLITE_DETERMINISTIC | SQLITE_INNOCUOUS;
    int rc = sqlite3_create_function_v2(db, "lce_position", 2, kFlags, nullptr, Position, nullptr, nullptr, nullptr);
    if (rc == SQLITE_OK) {
        rc = sqlite3_create_function_v2(db, "lce_rtrim", 1, kFlags, nullptr, RightTrim, nullptr, nullptr, nullptr);
    }
    if (rc == SQLITE_OK) {
        rc = sqlite3_create_collation_v2(db, kCharCollation, SQLITE_UTF8, nullptr, CompareFixed<false>, nullptr);
    }
    if (rc == SQLITE_OK) {
        rc = sqlite3_create_collation_v2(db, kCharCollationNoCase, SQLITE_UTF8, nullptr, CompareFixed<true>, nullptr);
    }
    return rc;
}

}  // namespace lce::sql
