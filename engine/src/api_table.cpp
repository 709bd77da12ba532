// C operations: opening tables, navigation, record numbers and bookmarks.
#include <sys/stat.h>
#include <unistd.h>

#include "engine/src/api_support.h"
#include "engine/src/bytes.h"
#include "engine/src/record_locks.h"
#include "engine/src/text.h"

using namespace lce;
using namespace lce::api;

namespace {

// usCheckRights of LumOpenTable90: 1 checks the user's rights, 2 ignores them.
constexpr UNSIGNED16 kIgnoreRights = 2;

// The open options a table handle reports: as asked (exclusive, read-only)
// and, unless read-only, the rights to update and insert. With rights
// checking, a table file without write permission bits (marked read-only) or
// that this user may not write gives neither right.
std::uint32_t openOptions(const TableStore& store, UNSIGNED32 asked, UNSIGNED16 checkRights) {
    std::uint32_t options = asked & (Cursor::kExclusive | Cursor::kReadOnly);
    if (options & Cursor::kReadOnly) return options;
    if (checkRights != kIgnoreRights) {
        struct stat st {};
        if (::stat(store.path().c_str(), &st) != 0 || (st.st_mode & 0222) == 0 ||
            ::access(store.path().c_str(), W_OK) != 0)
            return options;
    }
    return options | Cursor::kMayUpdate | Cursor::kMayInsert;
}

const char* typeName(std::uint16_t t) {
    switch (t) {
        case 1: return "NTX";
        case 2: return "CDX";
        case 3: return "LDT";
        case 4: return "VFP";
        default: return "unknown";
    }
}
}  // namespace

extern "C" {

UNSIGNED32 LumOpenTable90(LUMHANDLE hConnect, const char* pucName, const char*, UNSIGNED16 usTableType,
                          UNSIGNED16 usCharType, UNSIGNED16, UNSIGNED16 usCheckRights, UNSIGNED32 ulOptions,
                          const char* pucCollation, LUMHANDLE* phTable) {
    return guarded([&] {
        LUMHANDLE& h = out(phTable, "table handle");
        h = 0;
        const std::string name = in(pucName, "table name");
        if (usTableType > 4) fail(kErrInvalidArgument, "Unknown table type " + std::to_string(usTableType));
        if (usCharType < 1 || usCharType > 118)
            fail(kErrInvalidArgument, "Unknown character type " + std::to_string(usCharType));
        std::shared_ptr<Connection> conn;
        Connection::TableTarget tt;
        if (hConnect == 0) {
            tt.file = normalizePath(name);
            tt.tableType = usTableType;
        } else {
            conn = connectionOf(hConnect);
            tt = conn->resolveTable(name, usTableType);
        }
        // Every table opens read-only at the file level, so opening and
        // reading never change or lock out the file; the first write opens it
        // for writing (cursor_edit.cpp).
        auto store = TableStore::open(tt.file, false, conn ? conn->lockWait() : defaultLockWait());
        const std::uint16_t fileType = store->schema().tableType;
        if (tt.tableType != 0 && tt.tableType != fileType)
            fail(kErrTableTypeMismatch, "Table file " + store->path() + " is of type " + typeName(fileType) + ", not " +
                                            typeName(tt.tableType) + " as asked");
        Cursor::Options options;
        options.openOptions = openOptions(*store, ulOptions, usCheckRights);
        options.checkRights = usCheckRights != kIgnoreRights;
        options.collation = pucCollation ? pucCollation : "";
        options.connection = conn;
        options.writerGeneration = conn->writerGenerationCounter();
        auto openLock = OpenLock::take(store->path(), (ulOptions & Cursor::kExclusive) != 0);
        auto cursor = std::make_shared<Cursor>(store, options);
        cursor->setOpenLock(std::move(openLock));
        cursor->followWriter();
        h = HandleRegistry::instance().add(cursor);
        cursor->registerIndexes();
        if (conn) conn->adopt(h);
    });
}

UNSIGNED32 LumCloseTable(LUMHANDLE hTable) {
    return guarded([&] {
        auto cursor = HandleRegistry::instance().get<Cursor>(hTable, "table");
        // The handle closes also when its pending changes cannot be written.
        struct Closer {
            LUMHANDLE h;
            ~Closer() { closeCursorHandle(h); }
        } closer{hTable};
        cursor->close();
    });
}

UNSIGNED32 LumGetTableType(LUMHANDLE hTable, UNSIGNED16* pusType) {
    return guarded([&] { out(pusType, "type") = cursorOf(hTable)->store().schema().tableType; });
}

UNSIGNED32 LumGetTableOpenOptions(LUMHANDLE hTable, UNSIGNED32* pulOptions) {
    return guarded([&] { out(pulOptions, "options") = cursorOf(hTable)->options().openOptions; });
}

UNSIGNED32 LumGetTableCharType(LUMHANDLE hTable, UNSIGNED16* pusCharType) {
    return guarded([&] { out(pusCharType, "character type") = cursorOf(hTable)->store().schema().charType; });
}

UNSIGNED32 LumGetTableCollation(LUMHANDLE hTable, char* pucCollation, UNSIGNED16* pusLen) {
    return guarded([&] {
        auto c = cursorOf(hTable);
        const std::string& collation = c->store().schema().collation;
        if (collation.empty()) fail(kErrNoCollation, "Table " + c->name() + " has no collation of its own");
        copyText(collation, pucCollation, pusLen);
    });
}

UNSIGNED32 LumCacheRecords(LUMHANDLE hTable, UNSIGNED16) {
    return guarded([&] { cursorOf(hTable); });
}

UNSIGNED32 LumIsTableEncrypted(LUMHANDLE hTable, UNSIGNED16* pbEncrypted) {
    return guarded([&] {
        cursorOf(hTable);
        flag(pbEncrypted, false);
    });
}
UNSIGNED32 LumIsEncryptionEnabled(LUMHANDLE hTable, UNSIGNED16* pbEnabled) {
    return guarded([&] {
        cursorOf(hTable);
        flag(pbEnabled, false);
    });
}

UNSIGNED32 LumGotoTop(LUMHANDLE hObj) {
    return guarded([&] {
        auto t = target(hObj);
        t.cursor->gotoTop(t.order);
    });
}
UNSIGNED32 LumGotoBottom(LUMHANDLE hObj) {
    return guarded([&] {
        auto t = target(hObj);
        t.cursor->gotoBottom(t.order);
    });
}
UNSIGNED32 LumGotoBOF(LUMHANDLE hObj) {
    return guarded([&] { target(hObj).cursor->gotoBOF(); });
}
UNSIGNED32 LumGotoEOF(LUMHANDLE hObj) {
    return guarded([&] { target(hObj).cursor->gotoEOF(); });
}
UNSIGNED32 LumSkip(LUMHANDLE hObj, SIGNED32 lRecs) {
    return guarded([&] {
        auto t = target(hObj);
        t.cursor->skip(t.order, lRecs);
    });
}
UNSIGNED32 LumAtBOF(LUMHANDLE hTable, UNSIGNED16* pbBof) {
    return guarded([&] { flag(pbBof, cursorOf(hTable)->atBOF()); });
}
UNSIGNED32 LumAtEOF(LUMHANDLE hTable, UNSIGNED16* pbEof) {
    return guarded([&] { flag(pbEof, cursorOf(hTable)->atEOF()); });
}
UNSIGNED32 LumGotoRecord(LUMHANDLE hTable, UNSIGNED32 ulRec) {
    return guarded([&] { cursorOf(hTable)->gotoRecord(ulRec); });
}

UNSIGNED32 LumGetRecordNum(LUMHANDLE hTable, UNSIGNED16, UNSIGNED32* pulRec) {
    return guarded([&] {
        auto c = cursorOf(hTable);
        out(pulRec, "record number") = c->hasRecord() ? static_cast<UNSIGNED32>(c->recno()) : 0;
    });
}

UNSIGNED32 LumGetKeyNum(LUMHANDLE hIndex, UNSIGNED16 usFilterOption, UNSIGNED32* pulKey) {
    return guarded([&] {
        auto t = target(hIndex);
        UNSIGNED32& k = out(pulKey, "key number");
        k = t.cursor->hasRecord() ? static_cast<UNSIGNED32>(t.cursor->keyNumber(t.order, usFilterOption)) : 0;
    });
}

UNSIGNED32 LumGetRelKeyPos(LUMHANDLE hIndex, double* pdPos) {
    return guarded([&] {
        auto t = target(hIndex);
        double& pos = out(pdPos, "position");
        pos = 0.0;
        if (!t.cursor->hasRecord()) {
            if (t.cursor->atEOF()) {
                pos = 1.0;
                return;
            }
            if (t.cursor->atBOF()) return;
            fail(kErrNoKeyPosition, "No current key in table " + t.cursor->name());
        }
        const std::int64_t n = t.cursor->count(t.order, 3);
        const std::int64_t k = t.cursor->keyNumber(t.order, 3);
        if (k == 0)
            fail(kErrNoKeyPosition, "The current record is not in the index order of table " + t.cursor->name());
        pos = n <= 1 ? 0.0 : static_cast<double>(k - 1) / static_cast<double>(n - 1);
    });
}

UNSIGNED32 LumSetRelKeyPos(LUMHANDLE hIndex, double dPos) {
    return guarded([&] {
        auto t = target(hIndex);
        t.cursor->gotoKeyPosition(t.order, dPos);
    });
}

UNSIGNED32 LumIsRecordVisible(LUMHANDLE hObj, UNSIGNED16* pbVisible) {
    return guarded([&] {
        auto t = target(hObj);
        UNSIGNED16& v = out(pbVisible, "flag");
        v = 0;
        v = t.cursor->isVisible(t.order) ? 1 : 0;
    });
}

UNSIGNED32 LumRefreshRecord(LUMHANDLE hTable) {
    return guarded([&] { cursorOf(hTable)->refresh(); });
}

UNSIGNED32 LumGetBookmarkLength(LUMHANDLE hObj, UNSIGNED32* pulLength) {
    return guarded([&] {
        target(hObj);
        out(pulLength, "length") = 4;
    });
}

UNSIGNED32 LumGetBookmark60(LUMHANDLE hObj, UNSIGNED8* pucBookmark, UNSIGNED32* pulLength) {
    return guarded([&] {
        auto c = target(hObj).cursor;
        UNSIGNED32& n = out(pulLength, "length");
        if (!pucBookmark) fail(kErrInvalidArgument, "Missing bookmark buffer");
        if (n < 4) {
            n = 4;
            fail(kErrBufferTooSmall, "A bookmark needs 4 bytes");
        }
        if (!c->hasRecord()) fail(kErrNoCurrentRecord, "There is no current record in table " + c->name());
        putLE<std::uint32_t>(reinterpret_cast<char*>(pucBookmark), static_cast<std::uint32_t>(c->recno()));
        n = 4;
    });
}

UNSIGNED32 LumGotoBookmark(LUMHANDLE hTable, UNSIGNED32 ulBookmark) {
    return guarded([&] { cursorOf(hTable)->gotoRecord(ulBookmark); });
}

UNSIGNED32 LumCompareBookmarks(const UNSIGNED8* pucBookmark1, const UNSIGNED8* pucBookmark2, SIGNED32* plResult) {
    return guarded([&] {
        if (!pucBookmark1 || !pucBookmark2) fail(kErrInvalidArgument, "Missing bookmark");
        const auto a = getLE<std::uint32_t>(reinterpret_cast<const char*>(pucBookmark1));
        const auto b = getLE<std::uint32_t>(reinterpret_cast<const char*>(pucBookmark2));
        out(plResult, "result") = a < b ? -1 : a > b ? 1 : 0;
    });
}

UNSIGNED32 LumGetRecordCount(LUMHANDLE hObj, UNSIGNED16 usFilterOption, UNSIGNED32* pulCount);  // api_sql.cpp

}  // extern "C"
