// C operations: record editing, deletion flags and the record and table
// locks of a table handle.
#include "engine/src/api_support.h"

using namespace lce;
using namespace lce::api;

namespace {

std::shared_ptr<Cursor> tableOf(LUMHANDLE h) {
    auto c = cursorOf(h);
    if (c->options().sqlResult)
        fail(kErrReadOnly, "The result of an SQL statement cannot be changed; change the tables it reads");
    return c;
}

}  // namespace

extern "C" {

UNSIGNED32 LumAppendRecord(LUMHANDLE hTable) {
    return guarded([&] { tableOf(hTable)->appendRecord(); });
}

UNSIGNED32 LumWriteRecord(LUMHANDLE hTable) {
    return guarded([&] { tableOf(hTable)->writeRecord(); });
}

UNSIGNED32 LumDeleteRecord(LUMHANDLE hTable) {
    return guarded([&] { tableOf(hTable)->markDeleted(true); });
}

UNSIGNED32 LumRecallRecord(LUMHANDLE hTable) {
    return guarded([&] { tableOf(hTable)->markDeleted(false); });
}

UNSIGNED32 LumCancelUpdate(LUMHANDLE hTable) {
    return guarded([&] { tableOf(hTable)->cancelUpdate(); });
}

UNSIGNED32 LumLockRecord(LUMHANDLE hTable, UNSIGNED32 ulRec) {
    return guarded([&] { tableOf(hTable)->lockRecord(ulRec); });
}

UNSIGNED32 LumUnlockRecord(LUMHANDLE hTable, UNSIGNED32 ulRec) {
    return guarded([&] { tableOf(hTable)->unlockRecord(ulRec); });
}

UNSIGNED32 LumIsRecordLocked(LUMHANDLE hTable, UNSIGNED32 ulRec, UNSIGNED16* pbLocked) {
    return guarded([&] {
        UNSIGNED16& locked = out(pbLocked, "flag");
        locked = 0;
        locked = tableOf(hTable)->recordLocked(ulRec) ? 1 : 0;
    });
}

UNSIGNED32 LumLockTable(LUMHANDLE hTable) {
    return guarded([&] { tableOf(hTable)->lockTable(); });
}

UNSIGNED32 LumUnlockTable(LUMHANDLE hTable) {
    return guarded([&] { tableOf(hTable)->unlockTable(); });
}

UNSIGNED32 LumIsTableLocked(LUMHANDLE hTable, UNSIGNED16* pbLocked) {
    return guarded([&] { flag(pbLocked, tableOf(hTable)->tableLocked()); });
}

UNSIGNED32 LumIsRecordDeleted(LUMHANDLE hTable, UNSIGNED16* pbDeleted) {
    return guarded([&] {
        auto c = cursorOf(hTable);
        c->requireRecord();
        flag(pbDeleted, c->isDeleted());
    });
}

UNSIGNED32 LumGetDeleted(UNSIGNED16* pbShowDeleted) {
    return guarded([&] { flag(pbShowDeleted, showDeletedRecords()); });
}

UNSIGNED32 LumShowDeleted(UNSIGNED16 bShowDeleted) {
    setShowDeletedRecords(bShowDeleted != 0);
    return 0;
}

}  // extern "C"
