// Separate index files: indexes of a table kept outside its file.
//
// A table file holds its own indexes with their keys (table_store.h). An
// index file adds further orders to an open table without changing the
// table file, which the engine opens read-only:
//   - The file (any name, conventionally beside the table, e.g. ZTTRNX.LDI)
//     is an SQLite file holding only definitions: "lce_meta" (format
//     "lce-index", version "1") and "lce_indexes", one row per index with the
//     columns of a table file's catalog (name, fields joined by ";", unique,
//     descending, primary, candidate, condition, page size). No keys.
//   - LumOpenIndex reads the definitions read-only (the file is never created
//     or changed, nor any file beside it), checks them against the table's
//     fields, and builds their keys over the table's rows into a temporary
//     table of the SQLite connection the table handle reads through, held in
//     memory (temp_store=MEMORY): nothing is written in the practice folder,
//     nor anywhere else. The keys are the same order-preserving keys as a
//     table file's, so navigation, scopes and counts work alike on every index.
//   - Writes through the engine's connection (record editing, SQL) go through
//     the table's writer (table_writer.h), which keeps these keys in step in
//     the same transaction as the table's own. Once the connection writes
//     the table, its handles of the table read through the writer's SQLite
//     connection and build their keys there again (also after a rollback
//     took them away).
//   - Rows another program (or another connection) adds later are in those
//     orders once the file is opened again.
//   - Closing any index of the file (LumCloseIndex) closes the whole file:
//     its handles become invalid and its keys are dropped; closing the table
//     handle drops them too.
// Reading is bounded: a file with more than kMaxIndexFileIndexes indexes,
// more than kMaxIndexSegments segments in one, or longer texts than
// kMaxIndexFileText is refused as damaged.
#pragma once

#include <chrono>
#include <cstddef>
#include <string>
#include <vector>

#include "engine/lce_builder.h"

namespace lce {

inline constexpr std::size_t kMaxIndexFileIndexes = 256;
inline constexpr std::size_t kMaxIndexSegments = 64;
inline constexpr std::size_t kMaxIndexFileText = 4096;

// The definitions of the index file at path (found ignoring the case of its
// name), read without changing anything. Fails kErrFileNotFound,
// kErrNotAnIndexFile, kErrDamaged or kErrLocked (after lockWait).
std::vector<IndexDef> readIndexFile(const std::string& path, std::chrono::milliseconds lockWait);

}  // namespace lce
