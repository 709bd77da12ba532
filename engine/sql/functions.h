// SQLite functions and collations that give SQL on practice tables the
// meaning of fixed-length character columns.
#pragma once

struct sqlite3;

namespace lce::sql {

// Collation names registered by RegisterPracticeFunctions.
// "LCECHAR": byte order, trailing blanks ignored ("AB" = "AB  ").
// "LCECHARI": the same, ASCII letters compared without regard to case.
inline constexpr const char* kCharCollation = "LCECHAR";
inline constexpr const char* kCharCollationNoCase = "LCECHARI";

// Registers on db:
//   lce_position(a, b): 1-based character position of a, trailing blanks
//     removed, in b; 0 when a is empty or blanks only, or not found; NULL
//     when either argument is NULL. (SQLite's instr answers 1 for an empty
//     needle, which would take a blank transaction type for a payment letter.)
//   lce_rtrim(a): a without trailing blanks (NULL stays NULL).
//   the two collations above.
// Returns an SQLite result code (SQLITE_OK on success).
int RegisterPracticeFunctions(sqlite3* db);

}  // namespace lce::sql
