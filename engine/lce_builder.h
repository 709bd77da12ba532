// Builder API of the lce32 engine: creates dictionaries and table files,
// appends rows and reads them back. Used by the practice database tool and
// by tests to build fixtures; the access layer never uses it (it goes
// through the C operations of data/engine/lce32.h).
//
// Everything here throws lce::Error (code + English text naming the file)
// on failure. Objects are movable, not copyable; each owns its SQLite handle.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace lce {

// Engine column type codes (the same numbers LumGetFieldType reports).
enum ColumnType : std::uint16_t {
    kLogical = 1,
    kNumeric = 2,  // decimal text, length and decimals
    kDate = 3,
    kCharacter = 4,  // fixed length, blank padded
    kMemo = 5,
    kBinary = 6,
    kImage = 7,
    kVarMemo = 8,      // memo-like text
    kCompactDate = 9,  // 3 bytes
    kDouble = 10,
    kInteger = 11,
    kShortInteger = 12,
    kTime = 13,  // milliseconds since midnight
    kTimestamp = 14,
    kAutoIncrement = 15,
    kRaw = 16,  // fixed length bytes
    kCurrencyDouble = 17,
    kMoney = 18,        // 64-bit integer, four implied decimals
    kCiCharacter = 20,  // case-insensitive character
    kLongInteger = 21,  // 64-bit integer
    kModTime = 22,      // second timestamp type
    kVarChar = 23,      // capacity + 16-bit length
    kVarBinary = 24,
    kBlob51 = 51,
    kBlob52 = 52,
};

// Table types (record image layouts); codes as LumOpenTable90 takes them.
enum TableType : std::uint16_t { kNtx = 1, kCdx = 2, kLdt = 3, kVfp = 4 };

// Character types of a table.
enum CharType : std::uint16_t { kAnsi = 1, kOem = 2 };

class Error : public std::runtime_error {
public:
    Error(std::uint32_t code, const std::string& text) : std::runtime_error(text), code_(code) {}
    std::uint32_t code() const noexcept { return code_; }

private:
    std::uint32_t code_;
};

// One field value. Dates are Julian day numbers; a timestamp is a Julian day
// plus milliseconds since midnight; money/currency scaled is value × 10000.
struct Value {
    enum class Kind : std::uint8_t {
        Null,
        Integer,
        Double,
        Text,
        Date,
        Timestamp,
        Time,
        Logical,
        Scaled,
        Memo,
        Binary
    };
    Kind kind = Kind::Null;
    std::int64_t integer = 0;  // Integer, Date, Timestamp (day), Time (ms), Logical (0/1), Scaled
    std::uint32_t millis = 0;  // Timestamp: milliseconds since midnight
    double real = 0;           // Double
    std::string text;          // Text, Memo, Binary

    static Value null() { return {}; }
    static Value ofInteger(std::int64_t v) {
        Value x;
        x.kind = Kind::Integer;
        x.integer = v;
        return x;
    }
    static Value ofDouble(double v) {
        Value x;
        x.kind = Kind::Double;
        x.real = v;
        return x;
    }
    static Value ofText(std::string v) {
        Value x;
        x.kind = Kind::Text;
        x.text = std::move(v);
        return x;
    }
    static Value ofDate(std::int64_t julianDay) {
        Value x;
        x.kind = Kind::Date;
        x.integer = julianDay;
        return x;
    }
    static Value ofTimestamp(std::int64_t julianDay, std::uint32_t ms) {
        Value x;
        x.kind = Kind::Timestamp;
        x.integer = julianDay;
        x.millis = ms;
        return x;
    }
    static Value ofTime(std::uint32_t ms) {
        Value x;
        x.kind = Kind::Time;
        x.integer = ms;
        return x;
    }
    static Value ofLogical(bool v) {
        Value x;
        x.kind = Kind::Logical;
        x.integer = v ? 1 : 0;
        return x;
    }
    static Value ofScaled(std::int64_t tenThousandths) {
        Value x;
        x.kind = Kind::Scaled;
        x.integer = tenThousandths;
        return x;
    }
    static Value ofMemo(std::string v) {
        Value x;
        x.kind = Kind::Memo;
        x.text = std::move(v);
        return x;
    }
    static Value ofBinary(std::string bytes) {
        Value x;
        x.kind = Kind::Binary;
        x.text = std::move(bytes);
        return x;
    }

    bool isNull() const { return kind == Kind::Null; }
    bool operator==(const Value&) const = default;
};

using Row = std::vector<Value>;  // one value per column, in column order

struct ColumnDef {
    std::string name;
    std::uint16_t type = kCharacter;
    std::uint32_t length = 0;    // characters/bytes for 2, 4, 16, 20, 23, 24; ignored (fixed) for the others
    std::uint16_t decimals = 0;  // type 2 only
    bool nullable = true;
    std::uint8_t permissions = 6;  // 2 update permitted, 4 insert permitted
};

struct IndexDef {
    std::string name;
    std::vector<std::string> fields;  // segment field names, compared ignoring case
    bool unique = false;
    bool descending = false;
    bool primary = false;
    bool candidate = false;
    std::string condition;  // SQLite expression over the columns ("" = every row)
    std::uint32_t pageSize = 512;
};

struct TableSchema {
    std::vector<ColumnDef> columns;
    std::vector<IndexDef> indexes;
    std::uint16_t tableType = kLdt;
    std::uint16_t charType = kAnsi;
    std::string collation;  // name stored with the table ("" = the engine's default)

    // Position of a column by name ignoring case, -1 when there is none.
    int columnIndex(const std::string& name) const;
};

// Creates an index file: index definitions kept outside a table file,
// whose keys the engine builds over a table's rows when LumOpenIndex opens
// it on that table (see engine/src/index_file.h). Fails when the file exists,
// or a definition has no name, a duplicate name or no fields.
void createIndexFile(const std::string& path, const std::vector<IndexDef>& indexes);

// A dictionary file (.LDD): catalog of tables and users.
class Dictionary {
public:
    struct TableEntry {
        std::string name;  // dictionary name ("ZTTRN")
        std::string file;  // table file relative to the dictionary's folder ("ZTTRN.LDT")
        std::uint16_t tableType = kLdt;
        std::map<std::uint16_t, std::string> properties;  // e.g. 213 = default index name
    };

    // Creates a new dictionary; fails when the file exists already.
    static Dictionary create(const std::string& path);
    // Opens an existing dictionary for changes.
    static Dictionary open(const std::string& path);

    Dictionary(Dictionary&&) noexcept;
    Dictionary& operator=(Dictionary&&) noexcept;
    ~Dictionary();

    // The password is stored as a salted hash only.
    void addUser(const std::string& name, const std::string& password, const std::vector<std::string>& groups = {});
    void addTable(const TableEntry& table);
    void setTableProperty(const std::string& table, std::uint16_t property, const std::string& value);
    void removeTableProperty(const std::string& table, std::uint16_t property);
    // A field's property, e.g. its default value (LUM_DD_FIELD_DEFAULT).
    void setFieldProperty(const std::string& table, const std::string& field, std::uint16_t property,
                          const std::string& value);
    std::vector<TableEntry> tables() const;
    const std::string& path() const;

private:
    struct Impl;
    explicit Dictionary(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> impl_;
};

// A table file (NAME.LDT) opened by the builder.
class TableFile {
public:
    // Creates the file with its columns and indexes; fails when it exists.
    static TableFile create(const std::string& path, const TableSchema& schema);
    // Opens an existing table file for appending, holding its table lock
    // (kErrLocked while another user has it open exclusively or holds a lock).
    static TableFile openForAppend(const std::string& path);
    // Opens an existing table file read-only (never creates or changes it).
    static TableFile openForReading(const std::string& path);

    TableFile(TableFile&&) noexcept;
    TableFile& operator=(TableFile&&) noexcept;
    ~TableFile();

    const TableSchema& schema() const;
    const std::string& path() const;

    // Appends one row (one value per column; a null auto-increment is
    // assigned). Returns the record number. Outside a transaction each append
    // commits on its own.
    std::int64_t append(const Row& row);

    // All appends between begin and commit are one transaction: all or nothing.
    // A Transaction left without commit() rolls back when destroyed. A
    // transaction filling a table this TableFile created writes its rows on
    // a second thread while the caller goes on: a failure to write one is
    // thrown by a later append or by commit().
    class Transaction {
    public:
        explicit Transaction(TableFile& table);
        Transaction(const Transaction&) = delete;
        Transaction& operator=(const Transaction&) = delete;
        ~Transaction();
        void commit();
        void rollback();

    private:
        TableFile* table_;
        bool open_ = true;
    };

    // Calls visit for each row in record-number order until it returns false.
    void forEachRow(const std::function<bool(std::int64_t recordNumber, const Row& row)>& visit) const;
    std::int64_t rowCount() const;

private:
    struct Impl;
    explicit TableFile(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> impl_;
};

}  // namespace lce
