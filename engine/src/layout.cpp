#include "engine/src/layout.h"

#include <bit>
#include <cmath>
#include <limits>

#include "engine/src/bytes.h"
#include "engine/src/error.h"
#include "engine/src/text.h"

static_assert(std::endian::native == std::endian::little, "record images are little-endian");

namespace lce {

Value::Kind kindOf(std::uint16_t type) {
  switch (type) {
    case kLogical: return Value::Kind::Logical;
    case kNumeric: case kDouble: case kCurrencyDouble: return Value::Kind::Double;
    case kDate: case kCompactDate: return Value::Kind::Date;
    case kCharacter: case kCiCharacter: case kVarChar: return Value::Kind::Text;
    case kMemo: case kVarMemo: return Value::Kind::Memo;
    case kInteger: case kShortInteger: case kAutoIncrement: case kLongInteger: return Value::Kind::Integer;
    case kTime: return Value::Kind::Time;
    case kTimestamp: case kModTime: return Value::Kind::Timestamp;
    case kMoney: return Value::Kind::Scaled;
    default: return Value::Kind::Binary;
  }
}

bool isCharacterType(std::uint16_t t) { return t == kCharacter || t == kCiCharacter || t == kVarChar; }
bool isBlobType(std::uint16_t t) { return (t >= kMemo && t <= kVarMemo) || t == kBlob51 || t == kBlob52; }
bool isKnownType(std::uint16_t t) { return (t >= 1 && t <= 18) || (t >= 20 && t <= 24) || t == 51 || t == 52; }

namespace {

bool allowedFor(std::uint16_t tableType, std::uint16_t t) {
  if (tableType == kLdt) return isKnownType(t);
  switch (t) {
    case kLogical: case kNumeric: case kDate: case kCharacter: case kMemo: case kBinary: case kImage:
    case kVarMemo: case kDouble: case kInteger: case kShortInteger: case kTimestamp: case kAutoIncrement:
    case kRaw: case kCurrencyDouble:
      return true;
    case kVarChar: case kVarBinary:
      return tableType == kVfp;
    default:
      return false;
  }
}

std::uint32_t fixedSize(std::uint16_t tableType, std::uint16_t t) {
  const bool ldt = tableType == kLdt;
  switch (t) {
    case kLogical: return 1;
    case kDate: return ldt ? 4 : 8;
    case kMemo: case kBinary: case kImage: case kVarMemo: case kBlob51: case kBlob52: return 4;
    case kCompactDate: return 3;
    case kDouble: case kCurrencyDouble: case kTimestamp: case kModTime: case kMoney: case kLongInteger: return 8;
    case kInteger: case kAutoIncrement: case kTime: return 4;
    case kShortInteger: return 2;
    default: return 0;  // length given by the definition
  }
}

constexpr char kDoubleNull[8] = {0x20, 0, 0, 0, 0, 0, 0, static_cast<char>(0x80)};

std::string columnText(const std::string& name) { return "column \"" + name + "\""; }

}  // namespace

RecordLayout RecordLayout::build(TableSchema& schema) {
  RecordLayout layout;
  layout.tableType_ = schema.tableType;
  layout.charType_ = schema.charType;
  if (schema.tableType < kNtx || schema.tableType > kVfp)
    fail(kErrInvalidArgument, "Unknown table type " + std::to_string(schema.tableType));
  if (schema.columns.empty()) fail(kErrInvalidArgument, "A table needs at least one column");
  const bool ldt = schema.tableType == kLdt;
  std::uint32_t offset = ldt ? 0 : 1;  // DBF and VFP images start with the deletion flag
  int bits = 0;
  for (std::size_t i = 0; i < schema.columns.size(); ++i) {
    ColumnDef& def = schema.columns[i];
    if (def.name.empty() || def.name.size() > 128) fail(kErrInvalidArgument, "Invalid column name \"" + def.name + "\"");
    if (def.name.rfind("__", 0) == 0) fail(kErrInvalidArgument, "Column names may not start with \"__\": " + def.name);
    for (std::size_t j = 0; j < i; ++j)
      if (equalsIgnoringCase(schema.columns[j].name, def.name))
        fail(kErrInvalidArgument, "Duplicate column name \"" + def.name + "\"");
    if (!isKnownType(def.type) || !allowedFor(schema.tableType, def.type))
      fail(kErrInvalidArgument, "Column type " + std::to_string(def.type) + " of " + columnText(def.name) +
                                    " is not supported for table type " + std::to_string(schema.tableType));
    if (const std::uint32_t fixed = fixedSize(schema.tableType, def.type)) def.length = fixed;
    if (def.length == 0 || def.length > 65000)
      fail(kErrInvalidArgument, "Invalid length of " + columnText(def.name));
    if (def.type != kNumeric) def.decimals = 0;
    if (def.type == kNumeric && (def.length > 32 || def.decimals + 2u > def.length) && def.decimals != 0)
      fail(kErrInvalidArgument, "Invalid decimals of " + columnText(def.name));
    if (!ldt && schema.tableType != kVfp) def.nullable = false;  // DBF has no null flags
    ColumnLayout col;
    col.def = def;
    col.offset = offset;
    col.size = def.length + ((ldt && (def.type == kVarChar || def.type == kVarBinary)) ? 2 : 0);
    if (schema.tableType == kVfp) {
      if (def.type == kVarChar || def.type == kVarBinary) col.fullBit = bits++;
      if (def.nullable) col.nullBit = bits++;
    }
    offset += col.size;
    layout.columns_.push_back(col);
  }
  layout.flagsOffset_ = offset;
  layout.flagsSize_ = static_cast<std::uint32_t>((bits + 7) / 8);
  layout.recordSize_ = offset + layout.flagsSize_;
  layout.nullImage_.assign(layout.recordSize_, '\0');
  if (!ldt) layout.nullImage_[0] = ' ';
  for (std::size_t c = 0; c < layout.columns_.size(); ++c) layout.encode(layout.nullImage_, c, Value::null());
  return layout;
}

int RecordLayout::find(std::string_view name) const {
  for (std::size_t i = 0; i < columns_.size(); ++i)
    if (equalsIgnoringCase(columns_[i].def.name, name)) return static_cast<int>(i);
  return -1;
}

Value RecordLayout::normalize(std::size_t c, const Value& v) const {
  const ColumnDef& def = columns_[c].def;
  if (v.isNull()) return v;
  using K = Value::Kind;
  const K want = kindOf(def.type);
  auto mismatch = [&]() -> Value {
    fail(kErrInvalidArgument, "Value does not fit " + columnText(def.name) + " of type " + std::to_string(def.type));
  };
  switch (want) {
    case K::Logical:
      if (v.kind == K::Logical) return v;
      if (v.kind == K::Integer) return Value::ofLogical(v.integer != 0);
      return mismatch();
    case K::Double: {
      double d;
      if (v.kind == K::Double) d = v.real;
      else if (v.kind == K::Integer) d = static_cast<double>(v.integer);
      else if (v.kind == K::Scaled) d = static_cast<double>(v.integer) / 10000.0;
      else return mismatch();
      if (!std::isfinite(d)) return mismatch();
      if (def.type == kNumeric) {
        const std::string text = formatFixed(d, def.decimals);
        if (text.size() > def.length)
          fail(kErrInvalidArgument, "Numeric value " + text + " does not fit " + columnText(def.name));
      }
      return Value::ofDouble(d);
    }
    case K::Date:
      if (v.kind == K::Date || v.kind == K::Timestamp) {
        if (v.integer <= 0 || v.integer > 0x7FFFFFFF) return mismatch();
        return Value::ofDate(v.integer);
      }
      return mismatch();
    case K::Text: {
      if (v.kind != K::Text && v.kind != K::Memo) return mismatch();
      std::string text = v.text;
      if (def.type != kVarChar) text = std::string(trimTrailingBlanks(text));
      if (text.size() > def.length)
        fail(kErrInvalidArgument, "Text of " + std::to_string(text.size()) + " characters is longer than " +
                                      columnText(def.name) + " (" + std::to_string(def.length) + ")");
      return Value::ofText(std::move(text));
    }
    case K::Memo:
      if (v.kind == K::Memo || v.kind == K::Text) return Value::ofMemo(v.text);
      return mismatch();
    case K::Binary:
      if (v.kind != K::Binary && v.kind != K::Text) return mismatch();
      if ((def.type == kRaw || def.type == kVarBinary) && v.text.size() > def.length)
        fail(kErrInvalidArgument, "Value is longer than " + columnText(def.name));
      return Value::ofBinary(v.text);
    case K::Integer: {
      std::int64_t i;
      if (v.kind == K::Integer) i = v.integer;
      else if (v.kind == K::Double && std::nearbyint(v.real) == v.real && std::fabs(v.real) < 9.2e18)
        i = static_cast<std::int64_t>(v.real);
      else return mismatch();
      std::int64_t lo = std::numeric_limits<std::int32_t>::min() + 1, hi = std::numeric_limits<std::int32_t>::max();
      if (def.type == kShortInteger) { lo = -32767; hi = 32767; }
      if (def.type == kAutoIncrement) { lo = 0; hi = 0x7FFFFFFE; }
      if (def.type == kLongInteger) { lo = std::numeric_limits<std::int64_t>::min() + 1; hi = std::numeric_limits<std::int64_t>::max(); }
      if (i < lo || i > hi)
        fail(kErrInvalidArgument, "Integer " + std::to_string(i) + " is out of range for " + columnText(def.name));
      return Value::ofInteger(i);
    }
    case K::Time:
      if ((v.kind == K::Time || v.kind == K::Integer) && v.integer >= 0 && v.integer < 86400000)
        return Value::ofTime(static_cast<std::uint32_t>(v.integer));
      return mismatch();
    case K::Timestamp:
      if ((v.kind == K::Timestamp || v.kind == K::Date) && v.integer > 0 && v.integer <= 0x7FFFFFFF &&
          v.millis < 86400000)
        return Value::ofTimestamp(v.integer, v.kind == K::Timestamp ? v.millis : 0);
      return mismatch();
    case K::Scaled:
      if (v.kind == K::Scaled) return v;
      if (v.kind == K::Integer) return Value::ofScaled(v.integer * 10000);
      if (v.kind == K::Double && std::isfinite(v.real) && std::fabs(v.real) < 9.2e14)
        return Value::ofScaled(std::llround(v.real * 10000.0));
      return mismatch();
    default:
      return mismatch();
  }
}

void RecordLayout::encode(std::string& image, std::size_t c, const Value& v) const {
  const ColumnLayout& col = columns_[c];
  const ColumnDef& def = col.def;
  char* p = image.data() + col.offset;
  const std::uint32_t len = def.length;
  const bool ldt = tableType_ == kLdt;
  const bool null = v.isNull();
  auto text8 = [&](const std::string& t) { return charType_ == kOem ? ansiToOem(t) : t; };
  if (tableType_ == kVfp && col.nullBit >= 0) {
    char& byte = image[flagsOffset_ + static_cast<std::uint32_t>(col.nullBit) / 8];
    const char mask = static_cast<char>(1 << (col.nullBit % 8));
    byte = null ? static_cast<char>(byte | mask) : static_cast<char>(byte & ~mask);
  }
  switch (def.type) {
    case kLogical:
      *p = null ? ' ' : (v.integer ? 'T' : 'F');
      return;
    case kNumeric: {
      if (null) {
        std::memset(p, ldt ? 0 : ' ', len);
        return;
      }
      const std::string text = formatFixed(v.real, def.decimals);
      std::memset(p, ' ', len);
      std::memcpy(p + (len - text.size()), text.data(), text.size());
      return;
    }
    case kDate:
      if (ldt) {
        putLE<std::int32_t>(p, null ? 0 : static_cast<std::int32_t>(v.integer));
      } else if (null) {
        std::memset(p, ' ', len);
      } else {
        const std::string t = compactFromJulian(v.integer);
        std::memcpy(p, t.data(), 8);
      }
      return;
    case kCharacter: case kCiCharacter: {
      if (null) {
        std::memset(p, ldt ? 0 : ' ', len);
        return;
      }
      const std::string t = text8(v.text);
      std::memset(p, ' ', len);
      std::memcpy(p, t.data(), t.size());
      return;
    }
    case kVarChar: case kVarBinary: {
      const bool isText = def.type == kVarChar;
      const std::string t = null ? std::string() : (isText ? text8(v.text) : v.text);
      std::memset(p, (ldt || !isText) ? 0 : ' ', len);
      std::memcpy(p, t.data(), t.size());
      if (ldt) {
        putLE<std::uint16_t>(p + len, null ? 0xFFFF : static_cast<std::uint16_t>(t.size()));
      } else {
        const bool full = t.size() == len;
        if (!full) p[len - 1] = static_cast<char>(t.size());
        char& byte = image[flagsOffset_ + static_cast<std::uint32_t>(col.fullBit) / 8];
        const char mask = static_cast<char>(1 << (col.fullBit % 8));
        byte = full ? static_cast<char>(byte | mask) : static_cast<char>(byte & ~mask);
      }
      return;
    }
    case kMemo: case kBinary: case kImage: case kVarMemo: case kBlob51: case kBlob52:
      putLE<std::uint32_t>(p, null ? 0u : 1u);  // the value itself lives in the table's SQL column
      return;
    case kCompactDate: {
      if (null) {
        std::memset(p, 0, 3);
        return;
      }
      int y, m, d;
      dateFromJulian(v.integer, y, m, d);
      p[0] = static_cast<char>(y / 128);
      p[1] = static_cast<char>((y % 128) * 2 + m / 8);
      p[2] = static_cast<char>((m % 8) * 32 + d);
      return;
    }
    case kDouble: case kCurrencyDouble:
      if (null && ldt) std::memcpy(p, kDoubleNull, 8);
      else putLE<double>(p, null ? 0.0 : v.real);
      return;
    case kInteger:
      putLE<std::int32_t>(p, null ? (ldt ? std::numeric_limits<std::int32_t>::min() : 0) : static_cast<std::int32_t>(v.integer));
      return;
    case kAutoIncrement:
      putLE<std::uint32_t>(p, null ? (ldt ? 0xFFFFFFFFu : 0u) : static_cast<std::uint32_t>(v.integer));
      return;
    case kShortInteger:
      putLE<std::int16_t>(p, null ? (ldt ? std::numeric_limits<std::int16_t>::min() : 0) : static_cast<std::int16_t>(v.integer));
      return;
    case kTime:
      putLE<std::uint32_t>(p, null ? 0xFFFFFFFFu : static_cast<std::uint32_t>(v.integer));
      return;
    case kTimestamp: case kModTime: {
      std::uint32_t ms = null ? 0 : v.millis;
      if (tableType_ == kVfp && ms > 0) --ms;  // VFP images store the time part one millisecond short
      putLE<std::uint32_t>(p, null ? 0u : static_cast<std::uint32_t>(v.integer));
      putLE<std::uint32_t>(p + 4, ms);
      return;
    }
    case kRaw:
      std::memset(p, 0, len);
      if (!null) std::memcpy(p, v.text.data(), v.text.size());
      return;
    case kMoney: case kLongInteger:
      putLE<std::int64_t>(p, null ? std::numeric_limits<std::int64_t>::min() : v.integer);
      return;
    default:
      return;
  }
}

bool RecordLayout::vfpFlag(std::string_view image, int bit) const {
  if (bit < 0 || flagsOffset_ + static_cast<std::uint32_t>(bit) / 8 >= image.size()) return false;
  return (static_cast<unsigned char>(image[flagsOffset_ + static_cast<std::uint32_t>(bit) / 8]) >> (bit % 8)) & 1;
}

bool RecordLayout::isNull(std::string_view image, std::size_t c) const {
  const ColumnLayout& col = columns_[c];
  const char* p = image.data() + col.offset;
  const std::uint32_t len = col.def.length;
  auto all = [&](auto pred) {
    for (std::uint32_t i = 0; i < len; ++i)
      if (!pred(p[i])) return false;
    return true;
  };
  const std::uint16_t t = col.def.type;
  if (tableType_ == kLdt) {
    switch (t) {
      case kLogical: return *p == ' ';
      case kNumeric: case kDate: case kCharacter: case kCompactDate: case kRaw: case kCiCharacter:
        return all([](char ch) { return ch == 0; });
      case kDouble: case kCurrencyDouble: return std::memcmp(p, kDoubleNull, 8) == 0;
      case kInteger: return getLE<std::uint32_t>(p) == 0x80000000u;
      case kShortInteger: return getLE<std::uint16_t>(p) == 0x8000u;
      case kTime: case kAutoIncrement: return getLE<std::uint32_t>(p) == 0xFFFFFFFFu;
      case kTimestamp: case kModTime: return getLE<std::uint32_t>(p) == 0;
      case kMoney: case kLongInteger: return getLE<std::uint64_t>(p) == 0x8000000000000000ull;
      case kVarChar: case kVarBinary: {
        const auto n = getLE<std::uint16_t>(p + len);
        return n == 0xFFFF || n == 0;
      }
      default: return getLE<std::uint32_t>(p) == 0;  // blobs
    }
  }
  const auto blankOrZero = [](char ch) { return ch == 0 || ch == ' '; };
  if (tableType_ == kVfp) {
    if ((t == kLogical || t == kNumeric || t == kDate) && all([](char ch) { return ch == ' '; })) return true;
    if ((isBlobType(t) || t == kTimestamp) && getLE<std::uint32_t>(p) == 0) return true;
    return col.nullBit >= 0 && vfpFlag(image, col.nullBit);
  }
  switch (t) {
    case kLogical: case kNumeric: case kCharacter: case kDate: return all(blankOrZero);
    case kDouble: case kInteger: case kShortInteger: case kCurrencyDouble: case kAutoIncrement: return false;
    case kTimestamp: return getLE<std::uint32_t>(p) == 0;
    case kRaw: return all([](char ch) { return ch == 0; });
    default: return getLE<std::uint32_t>(p) == 0;
  }
}

Value RecordLayout::decode(std::string_view image, std::size_t c) const {
  if (isNull(image, c)) return Value::null();
  const ColumnLayout& col = columns_[c];
  const char* p = image.data() + col.offset;
  const std::uint32_t len = col.def.length;
  const bool ldt = tableType_ == kLdt;
  auto ansi = [&](std::string_view t) { return charType_ == kOem ? oemToAnsi(t) : std::string(t); };
  switch (col.def.type) {
    case kLogical: {
      const char ch = *p;
      return Value::ofLogical(ch == 'T' || ch == 't' || ch == 'Y' || ch == 'y' || ch == '1');
    }
    case kNumeric: {
      const auto d = parseDouble(std::string_view(p, len));
      return d ? Value::ofDouble(*d) : Value::ofDouble(0.0);
    }
    case kDate: {
      if (ldt) return Value::ofDate(getLE<std::int32_t>(p));
      const auto jd = julianFromCompact(std::string_view(p, 8));
      return jd ? Value::ofDate(*jd) : Value::null();
    }
    case kCharacter: case kCiCharacter:
      return Value::ofText(ansi(trimTrailingBlanks(std::string_view(p, len))));
    case kVarChar: case kVarBinary: {
      std::size_t n;
      if (ldt) n = getLE<std::uint16_t>(p + len);
      else n = vfpFlag(image, col.fullBit) ? len : static_cast<unsigned char>(p[len - 1]);
      n = std::min<std::size_t>(n, len);
      if (col.def.type == kVarChar) return Value::ofText(ansi(std::string_view(p, n)));
      return Value::ofBinary(std::string(p, n));
    }
    case kCompactDate: {
      const auto b0 = static_cast<unsigned char>(p[0]), b1 = static_cast<unsigned char>(p[1]),
                 b2 = static_cast<unsigned char>(p[2]);
      const int year = b0 * 128 + b1 / 2, month = (b1 % 2) * 8 + b2 / 32, day = b2 % 32;
      return Value::ofDate(julianFromDate(year, month, day));
    }
    case kDouble: case kCurrencyDouble: return Value::ofDouble(getLE<double>(p));
    case kInteger: return Value::ofInteger(getLE<std::int32_t>(p));
    case kAutoIncrement: return Value::ofInteger(getLE<std::uint32_t>(p));
    case kShortInteger: return Value::ofInteger(getLE<std::int16_t>(p));
    case kTime: return Value::ofTime(getLE<std::uint32_t>(p));
    case kTimestamp: case kModTime: {
      std::uint32_t ms = getLE<std::uint32_t>(p + 4);
      if (tableType_ == kVfp && ms != 0) ++ms;
      return Value::ofTimestamp(getLE<std::uint32_t>(p), ms);
    }
    case kRaw: return Value::ofBinary(std::string(p, len));
    case kMoney: return Value::ofScaled(getLE<std::int64_t>(p));
    case kLongInteger: return Value::ofInteger(getLE<std::int64_t>(p));
    default: return Value::null();  // blob contents are not part of the image
  }
}

}  // namespace lce
