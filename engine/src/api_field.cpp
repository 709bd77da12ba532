// C operations: record images, field descriptions and values, and the value
// setters (staging key values on an index, binding statement parameters).
#include "engine/src/api_support.h"
#include "engine/src/blob_pieces.h"
#include "engine/src/bytes.h"
#include "engine/src/layout.h"
#include "engine/src/statement.h"
#include "engine/src/text.h"
#include "engine/src/value_text.h"

using namespace lce;
using namespace lce::api;

namespace {

const ColumnLayout& columnLayout(const Cursor& c, LUMFIELD f) { return c.store().layout().columns()[columnOf(c, f)]; }

// Value of a column from its bytes in a record image.
Value valueFromRaw(const Cursor& c, std::size_t col, const UNSIGNED8* buf, UNSIGNED32 len) {
    if (!buf) fail(kErrInvalidArgument, "Missing value buffer");
    const RecordLayout& layout = c.store().layout();
    const ColumnLayout& cl = layout.columns()[col];
    // The whole column given (a key staged from a record buffer): decoded
    // where it lies, its flags clear, as on an image with only it set.
    if (len >= cl.size) return layout.decodeColumn(col, reinterpret_cast<const char*>(buf), cl.size, false, false);
    std::string image = layout.nullImage();
    layout.encode(image, col, Value::ofText(""));  // clears a VFP null flag
    std::memcpy(image.data() + cl.offset, buf, std::min<std::size_t>(len, cl.size));
    return layout.decode(image, col);
}

// Setters address an index (key staging), a statement (parameters) or a
// table (record editing: the current record's pending image).
template <typename MakeValue>
UNSIGNED32 setValue(LUMHANDLE h, LUMFIELD field, MakeValue make) {
    return guarded([&] {
        // The handle type names the class: a key is staged once per row of
        // a master-detail link, so no dynamic cast on the way.
        const Resolved r = resolveTarget(h);
        switch (r.type) {
            case HandleType::Statement: {
                const std::shared_ptr<Object> object = HandleRegistry::instance().find(h);
                if (!object || object->handleType() != HandleType::Statement) break;  // closed meanwhile
                static_cast<Statement&>(*object).setParameter(field, make(nullptr, 0));
                return;
            }
            case HandleType::Index: {
                if (!r.target.cursor) indexTableClosed(h);
                Cursor& c = *r.target.cursor;
                const std::size_t col = columnOf(c, field);
                c.stage(r.target.order, col, make(&c, col));
                return;
            }
            case HandleType::Table:
            case HandleType::Cursor: {
                Cursor& c = *r.target.cursor;
                const std::size_t col = columnOf(c, field);
                c.setFieldValue(col, make(&c, col));
                return;
            }
            default: break;
        }
        fail(kErrInvalidHandle, "Invalid table, index or statement handle " + std::to_string(h));
    });
}

}  // namespace

extern "C" {

UNSIGNED32 LumGetRecordLength(LUMHANDLE hTable, UNSIGNED32* pulLength) {
    return guarded([&] { out(pulLength, "length") = cursorOf(hTable)->store().layout().recordSize(); });
}

UNSIGNED32 LumGetRecord(LUMHANDLE hTable, UNSIGNED8* pucRec, UNSIGNED32* pulLen) {
    return guarded([&] {
        auto c = cursorOf(hTable);
        c->requireRecord();
        const UNSIGNED32 size = c->store().layout().recordSize();
        UNSIGNED32& n = out(pulLen, "length");
        if (!pucRec) fail(kErrInvalidArgument, "Missing buffer");
        if (size > n) {
            n = size;
            fail(kErrBufferTooSmall, "Buffer is too small for " + std::to_string(size) + " bytes");
        }
        // Straight from the stored image into the caller's buffer.
        c->copyImage(reinterpret_cast<char*>(pucRec));
        n = size;
    });
}

UNSIGNED32 LumGetNullRecord(LUMHANDLE hTable, UNSIGNED8* pucRec, UNSIGNED32* pulLen) {
    return guarded([&] { copyBytes(cursorOf(hTable)->store().layout().nullImage(), pucRec, pulLen); });
}

UNSIGNED32 LumGetNumFields(LUMHANDLE hTable, UNSIGNED16* pusCount) {
    return guarded(
        [&] { out(pusCount, "count") = static_cast<UNSIGNED16>(cursorOf(hTable)->store().layout().columns().size()); });
}

UNSIGNED32 LumGetFieldName(LUMHANDLE hTable, UNSIGNED16 usFld, char* pucName, UNSIGNED16* pusLen) {
    return guarded([&] {
        auto c = cursorOf(hTable);
        if (usFld == 0) fail(kErrFieldNotFound, "Columns count from 1 (table " + c->name() + ")");
        copyText(columnLayout(*c, LUM_FIELD_NUMBER(usFld)).def.name, pucName, pusLen);
    });
}

UNSIGNED32 LumGetFieldType(LUMHANDLE hTable, LUMFIELD f, UNSIGNED16* pusType) {
    return guarded([&] { out(pusType, "type") = columnLayout(*cursorOf(hTable), f).def.type; });
}
UNSIGNED32 LumGetFieldLength(LUMHANDLE hTable, LUMFIELD f, UNSIGNED32* pulLength) {
    return guarded([&] { out(pulLength, "length") = columnLayout(*cursorOf(hTable), f).def.length; });
}
UNSIGNED32 LumGetFieldDecimals(LUMHANDLE hTable, LUMFIELD f, UNSIGNED16* pusDecimals) {
    return guarded([&] { out(pusDecimals, "decimals") = columnLayout(*cursorOf(hTable), f).def.decimals; });
}
UNSIGNED32 LumGetFieldOffset(LUMHANDLE hTable, LUMFIELD f, UNSIGNED32* pulOffset) {
    return guarded([&] { out(pulOffset, "offset") = columnLayout(*cursorOf(hTable), f).offset; });
}
UNSIGNED32 LumIsNullable(LUMHANDLE hTable, LUMFIELD f, UNSIGNED16* pbNullable) {
    return guarded([&] { flag(pbNullable, columnLayout(*cursorOf(hTable), f).def.nullable); });
}
UNSIGNED32 LumGetColumnPermissions(LUMHANDLE hTable, LUMFIELD f, UNSIGNED16* pusPermissions) {
    return guarded([&] { out(pusPermissions, "permissions") = columnLayout(*cursorOf(hTable), f).def.permissions; });
}

UNSIGNED32 LumGetField(LUMHANDLE hTable, LUMFIELD f, UNSIGNED8* pucBuf, UNSIGNED32* pulLen, UNSIGNED16) {
    return guarded([&] {
        auto c = cursorOf(hTable);
        const std::size_t col = columnOf(*c, f);
        const std::string text = textOfValue(c->store().layout().columns()[col].def, c->fieldValue(col));
        UNSIGNED32& n = out(pulLen, "length");
        if (!pucBuf) fail(kErrInvalidArgument, "Missing value buffer");
        if (text.size() + 1 > n) {
            n = static_cast<UNSIGNED32>(text.size());
            fail(kErrBufferTooSmall,
                 "Buffer too small for the value of " + c->store().layout().columns()[col].def.name);
        }
        std::memcpy(pucBuf, text.data(), text.size());
        pucBuf[text.size()] = 0;
        n = static_cast<UNSIGNED32>(text.size());
    });
}

UNSIGNED32 LumGetDataLength(LUMHANDLE hTable, LUMFIELD f, UNSIGNED32* pulLength) {
    return guarded([&] {
        auto c = cursorOf(hTable);
        const std::size_t col = columnOf(*c, f);
        out(pulLength, "length") =
            static_cast<UNSIGNED32>(textOfValue(c->store().layout().columns()[col].def, c->fieldValue(col)).size());
    });
}
UNSIGNED32 LumGetBinaryLength(LUMHANDLE hTable, LUMFIELD f, UNSIGNED32* pulLength) {
    return LumGetDataLength(hTable, f, pulLength);
}
UNSIGNED32 LumGetBinary(LUMHANDLE hTable, LUMFIELD f, UNSIGNED32 ulOffset, UNSIGNED8* pucBuf, UNSIGNED32* pulLen) {
    return guarded([&] {
        auto c = cursorOf(hTable);
        const std::size_t col = columnOf(*c, f);
        const std::string bytes = textOfValue(c->store().layout().columns()[col].def, c->fieldValue(col));
        const std::string part = ulOffset >= bytes.size() ? std::string() : bytes.substr(ulOffset);
        UNSIGNED32& n = out(pulLen, "length");
        if (!pucBuf) fail(kErrInvalidArgument, "Missing buffer");
        const std::size_t k = std::min<std::size_t>(n, part.size());
        std::memcpy(pucBuf, part.data(), k);
        n = static_cast<UNSIGNED32>(k);
    });
}

UNSIGNED32 LumIsNull(LUMHANDLE hTable, LUMFIELD f, UNSIGNED16* pbNull) {
    return guarded([&] {
        auto c = cursorOf(hTable);
        flag(pbNull, c->store().layout().isNull(c->image(), columnOf(*c, f)));
    });
}

UNSIGNED32 LumIsEmpty(LUMHANDLE hTable, LUMFIELD f, UNSIGNED16* pbEmpty) {
    return guarded([&] {
        auto c = cursorOf(hTable);
        flag(pbEmpty, c->fieldIsEmpty(columnOf(*c, f)));
    });
}

UNSIGNED32 LumAccessVfpSystemField(LUMHANDLE hTable, LUMFIELD f, const UNSIGNED8* pucRecord, UNSIGNED16 usOption,
                                   UNSIGNED16* pusFlag) {
    return guarded([&] {
        auto c = cursorOf(hTable);
        const RecordLayout& layout = c->store().layout();
        if (layout.tableType() != kVfp) fail(kErrInvalidArgument, "Table " + c->name() + " is not a VFP table");
        const ColumnLayout& cl = layout.columns()[columnOf(*c, f)];
        if (usOption != LUM_VFP_NULL_FLAG && usOption != LUM_VFP_FULL_FLAG)
            fail(kErrInvalidArgument, "Unknown system field option " + std::to_string(usOption));
        const std::string_view image =
            pucRecord ? std::string_view(reinterpret_cast<const char*>(pucRecord), layout.recordSize())
                      : std::string_view(c->image());
        flag(pusFlag, layout.vfpFlag(image, usOption == LUM_VFP_NULL_FLAG ? cl.nullBit : cl.fullBit));
    });
}

UNSIGNED32 LumConvertStringToJulian(const char* pucDate, UNSIGNED16 usLen, double* pdJulian) {
    return guarded([&] {
        if (!pucDate) fail(kErrInvalidArgument, "Missing date text");
        std::string_view text(pucDate, usLen);
        const auto nul = text.find('\0');
        if (nul != std::string_view::npos) text = text.substr(0, nul);
        double& jd = out(pdJulian, "julian");
        if (trimBlanks(text).empty()) {
            jd = 0;
            return;
        }
        const Value v = valueFromText(ColumnDef{"date", kDate, 4, 0, true, 6}, text);
        jd = static_cast<double>(v.integer);
    });
}

UNSIGNED32 LumConvertDateToJulian(LUMHANDLE, const char* pucDate, UNSIGNED16 usLen, double* pdJulian) {
    return LumConvertStringToJulian(pucDate, usLen, pdJulian);
}

UNSIGNED32 LumConvertJulianToString(double dJulian, char* pucDate, UNSIGNED16* pusLen) {
    return guarded([&] {
        if (!(dJulian >= 1 && dJulian < 1e9)) fail(kErrInvalidArgument, "Invalid Julian day number");
        copyText(compactFromJulian(static_cast<std::int64_t>(dJulian)), pucDate, pusLen);
    });
}

UNSIGNED32 LumSetField(LUMHANDLE hObj, LUMFIELD f, const UNSIGNED8* pucBuf, UNSIGNED32 ulLen) {
    return setValue(hObj, f, [&](Cursor* c, std::size_t col) {
        if (!pucBuf) fail(kErrInvalidArgument, "Missing value buffer");
        std::string_view text(reinterpret_cast<const char*>(pucBuf), ulLen);
        const auto nul = text.find('\0');
        if (nul != std::string_view::npos) text = text.substr(0, nul);
        if (!c) return Value::ofText(std::string(text));
        const ColumnDef& def = c->store().layout().columns()[col].def;
        // A character value of an OEM table is given in the ANSI code page.
        return valueFromText(def, text);
    });
}

UNSIGNED32 LumSetFieldRaw(LUMHANDLE hObj, LUMFIELD f, const UNSIGNED8* pucBuf, UNSIGNED32 ulLen) {
    return setValue(hObj, f, [&](Cursor* c, std::size_t col) {
        if (!c) {
            if (!pucBuf) fail(kErrInvalidArgument, "Missing value buffer");
            return Value::ofBinary(std::string(reinterpret_cast<const char*>(pucBuf), ulLen));
        }
        return valueFromRaw(*c, col, pucBuf, ulLen);
    });
}

UNSIGNED32 LumSetEmpty(LUMHANDLE hObj, LUMFIELD f) {
    // On a record the column takes its type's empty value (blanks, 0, false);
    // a key segment or a parameter becomes null, which orders as empty.
    auto c = std::dynamic_pointer_cast<Cursor>(HandleRegistry::instance().find(hObj));
    if (c) return guarded([&] { c->setFieldEmpty(columnOf(*c, f)); });
    return setValue(hObj, f, [](Cursor*, std::size_t) { return Value::null(); });
}
UNSIGNED32 LumSetNull(LUMHANDLE hObj, LUMFIELD f) {
    return setValue(hObj, f, [](Cursor*, std::size_t) { return Value::null(); });
}
UNSIGNED32 LumSetString(LUMHANDLE hObj, LUMFIELD f, const char* pucBuf, UNSIGNED32 ulLen) {
    return LumSetField(hObj, f, reinterpret_cast<const UNSIGNED8*>(pucBuf), ulLen);
}
UNSIGNED32 LumSetDouble(LUMHANDLE hObj, LUMFIELD f, double dValue) {
    return setValue(hObj, f, [&](Cursor*, std::size_t) { return Value::ofDouble(dValue); });
}
UNSIGNED32 LumSetLogical(LUMHANDLE hObj, LUMFIELD f, UNSIGNED16 bValue) {
    return setValue(hObj, f, [&](Cursor*, std::size_t) { return Value::ofLogical(bValue != 0); });
}
UNSIGNED32 LumSetJulian(LUMHANDLE hObj, LUMFIELD f, SIGNED32 lDate) {
    return setValue(hObj, f, [&](Cursor*, std::size_t) { return Value::ofDate(lDate); });
}
UNSIGNED32 LumSetMilliseconds(LUMHANDLE hObj, LUMFIELD f, SIGNED32 lTime) {
    return setValue(hObj, f, [&](Cursor*, std::size_t) {
        if (lTime < 0 || lTime >= 86400000) fail(kErrInvalidArgument, "Invalid time of day " + std::to_string(lTime));
        return Value::ofTime(static_cast<std::uint32_t>(lTime));
    });
}
UNSIGNED32 LumSetTimeStampRaw(LUMHANDLE hObj, LUMFIELD f, const UNSIGNED8* pucBuf, UNSIGNED32 ulLen) {
    return setValue(hObj, f, [&](Cursor*, std::size_t) {
        if (!pucBuf || ulLen < 8) fail(kErrInvalidArgument, "A raw timestamp needs 8 bytes");
        const auto* p = reinterpret_cast<const char*>(pucBuf);
        return Value::ofTimestamp(getLE<std::int32_t>(p), getLE<std::uint32_t>(p + 4));
    });
}
UNSIGNED32 LumSetBinary(LUMHANDLE hObj, LUMFIELD f, UNSIGNED16, UNSIGNED32 ulTotalLength, UNSIGNED32 ulOffset,
                        const UNSIGNED8* pucBuf, UNSIGNED32 ulLen) {
    return setValue(hObj, f, [&](Cursor* c, std::size_t col) {
        if (!pucBuf && ulLen) fail(kErrInvalidArgument, "Missing value buffer");
        const std::string_view piece(reinterpret_cast<const char*>(pucBuf), pucBuf ? ulLen : 0);
        // A key segment or a parameter takes its value in one piece; a
        // record's blob is put together from pieces at their offsets.
        if (!c) {
            if (ulOffset != 0) fail(kErrNotSupported, "Key and parameter values are set in one piece");
            return Value::ofBinary(std::string(piece));
        }
        const ColumnDef& def = c->store().layout().columns()[col].def;
        // Pieces may come in any order: each changes the value the others left.
        std::string bytes = valueBytes(c->fieldValue(col));
        spliceBlobPiece(bytes, ulTotalLength, ulOffset, piece, def.name);
        return kindOf(def.type) == Value::Kind::Memo ? Value::ofMemo(std::move(bytes))
                                                     : Value::ofBinary(std::move(bytes));
    });
}

}  // extern "C"
