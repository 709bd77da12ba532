// A table file (NAME.LDT): an SQLite database holding the catalog (columns,
// indexes, table type, character type, collation) and the table "records".
// Each row of "records" carries its record number (__recno), the record
// image (__rec), one order-preserving key per index (__k1, __k2, ...) and
// one SQL-visible column per field, named as the field, for the SQL engine.
// Opening for reading uses SQLite's read-only mode: the file is never
// created, changed or locked against other readers.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/lce_builder.h"
#include "engine/src/layout.h"
#include "engine/src/sqlite_db.h"

namespace lce {

struct IndexInfo {
  IndexDef def;
  std::vector<std::size_t> segments;  // column positions of the segments
  std::string keyColumn;              // "__k1", ...
  std::uint32_t keyLength = 0;        // greatest key length in bytes
};

class TableStore {
 public:
  static std::shared_ptr<TableStore> create(const std::string& path, TableSchema schema);
  static std::shared_ptr<TableStore> createInMemory(TableSchema schema);
  static std::shared_ptr<TableStore> open(const std::string& path, bool writable);

  const TableSchema& schema() const { return schema_; }
  const RecordLayout& layout() const { return layout_; }
  const std::vector<IndexInfo>& indexes() const { return indexes_; }
  const Db& db() const { return db_; }
  const std::string& path() const { return path_; }
  bool writable() const { return writable_; }
  // Column index by name ignoring case, -1 when there is none.
  int column(std::string_view name) const { return layout_.find(name); }

  // Appends a row (one value per column). Returns the record number.
  std::int64_t append(const Row& row);
  void begin();
  void commit();
  void rollback();
  bool inTransaction() const { return inTransaction_; }

  // Key of a row of normalized values for index i (before inversion of a
  // descending index: the returned key is final).
  std::string keyFor(std::size_t i, const Row& normalized) const;
  // The value of a memo or blob column of a record.
  Value blobValue(std::int64_t recno, std::size_t c) const;
  Row decodeRow(std::int64_t recno, std::string_view image) const;
  std::int64_t rowCount() const;

  // SQL declaration of a field column; the declared type carries the engine
  // type as "LCE_type_length_decimals" so SQL results can recover it.
  static std::string declaredType(const ColumnDef& def);

 private:
  TableStore() = default;
  void initialize(TableSchema schema);
  void loadCatalog();
  void prepareIndexes();
  void createSqlIndexes();
  void dropSqlIndexes();
  std::string sqlIndexes(bool create) const;

  Db db_;
  std::string path_;
  bool writable_ = false;
  TableSchema schema_;
  RecordLayout layout_;
  std::vector<IndexInfo> indexes_;
  Stmt insert_;
  std::vector<Stmt> conditionUpdates_;
  std::optional<std::int64_t> nextAutoInc_;
  bool inTransaction_ = false;
  bool rebuildIndexesAtCommit_ = false;
};

}  // namespace lce
