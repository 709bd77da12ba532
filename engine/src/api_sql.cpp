// C operations: SQL statements and record counts.
#include "engine/sql/translate.h"
#include "engine/src/api_support.h"
#include "engine/src/statement.h"

using namespace lce;
using namespace lce::api;

namespace {
std::shared_ptr<Statement> statementOf(LUMHANDLE h) {
    return HandleRegistry::instance().get<Statement>(h, "statement");
}

template <typename F>
UNSIGNED32 option(LUMHANDLE h, UNSIGNED16 value, UNSIGNED16 lo, UNSIGNED16 hi, F set) {
    return guarded([&] {
        auto s = statementOf(h);
        if (value < lo || value > hi)
            fail(kErrInvalidArgument, "Statement option value " + std::to_string(value) + " is out of range");
        set(*s);
    });
}
}  // namespace

extern "C" {

UNSIGNED32 LumCreateSQLStatement(LUMHANDLE hConnect, LUMHANDLE* phStatement) {
    return guarded([&] {
        auto conn = connectionOf(hConnect);
        LUMHANDLE& h = out(phStatement, "statement handle");
        h = HandleRegistry::instance().add(std::make_shared<Statement>(conn));
        conn->adopt(h);
    });
}

UNSIGNED32 LumCloseSQLStatement(LUMHANDLE hStatement) {
    return guarded([&] {
        if (!std::dynamic_pointer_cast<Statement>(HandleRegistry::instance().find(hStatement)))
            fail(kErrStatementClosed, "Statement " + std::to_string(hStatement) + " is closed");
        HandleRegistry::instance().remove(hStatement);
    });
}

UNSIGNED32 LumStmtSetTableLockType(LUMHANDLE h, UNSIGNED16 v) {
    return option(h, v, 0, 1, [&](Statement& s) { s.lockType = v; });
}
UNSIGNED32 LumStmtSetTableCharType(LUMHANDLE h, UNSIGNED16 v) {
    return option(h, v, 1, 118, [&](Statement& s) { s.charType = v; });
}
UNSIGNED32 LumStmtSetTableCollation(LUMHANDLE h, const char* c) {
    return guarded([&] { statementOf(h)->collation = c ? c : ""; });
}
UNSIGNED32 LumStmtSetTableRights(LUMHANDLE h, UNSIGNED16 v) {
    return option(h, v, 1, 2, [&](Statement& s) { s.rights = v; });
}
UNSIGNED32 LumStmtSetTableReadOnly(LUMHANDLE h, UNSIGNED16 v) {
    return option(h, v, 1, 2, [&](Statement& s) { s.readOnly = v; });
}
UNSIGNED32 LumStmtSetTableType(LUMHANDLE h, UNSIGNED16 v) {
    return option(h, v, 1, 4, [&](Statement& s) { s.tableType = v; });
}
UNSIGNED32 LumStmtConstrainUpdates(LUMHANDLE h, UNSIGNED16 v) {
    return option(h, v, 1, 2, [&](Statement& s) { s.constrain = v; });
}
UNSIGNED32 LumStmtReadAllColumns(LUMHANDLE h, UNSIGNED16 v) {
    return option(h, v, 1, 2, [&](Statement& s) { s.readAll = v; });
}

UNSIGNED32 LumPrepareSQL(LUMHANDLE hStatement, const char* pucSQL) {
    return guarded([&] { statementOf(hStatement)->prepare(in(pucSQL, "SQL text")); });
}

UNSIGNED32 LumExecuteSQL(LUMHANDLE hStatement, LUMHANDLE* phCursor) {
    return guarded([&] {
        LUMHANDLE& h = out(phCursor, "cursor handle");
        h = 0;
        h = statementOf(hStatement)->execute();
    });
}

UNSIGNED32 LumExecuteSQLDirect(LUMHANDLE hStatement, const char* pucSQL, LUMHANDLE* phCursor) {
    return guarded([&] {
        LUMHANDLE& h = out(phCursor, "cursor handle");
        h = 0;
        auto s = statementOf(hStatement);
        s->prepare(in(pucSQL, "SQL text"));
        h = s->execute();
    });
}

UNSIGNED32 LumGetSQLStmtParams(const char* pucSQL, char* pucParams, UNSIGNED16* pusLen) {
    return guarded([&] {
        const auto names = sql::ScanParameters(in(pucSQL, "SQL text"));
        std::string joined;
        for (std::size_t i = 0; i < names.size(); ++i) joined += (i ? ";" : "") + names[i];
        if (pucParams)
            copyText(joined, pucParams, pusLen);
        else if (pusLen)
            *pusLen = static_cast<UNSIGNED16>(std::min<std::size_t>(joined.size(), 0xFFFF));
    });
}

UNSIGNED32 LumSqlPeekStatement(LUMHANDLE hCursor, UNSIGNED16* pbLive) {
    return guarded([&] {
        cursorOf(hCursor);
        flag(pbLive, false);  // SELECT results are static cursors
    });
}

UNSIGNED32 LumSetSQLTimeout(LUMHANDLE hObj, UNSIGNED32 ulTimeout) {
    return guarded([&] {
        auto object = HandleRegistry::instance().find(hObj);
        if (auto s = std::dynamic_pointer_cast<Statement>(object))
            s->timeout = ulTimeout;
        else if (auto c = std::dynamic_pointer_cast<Connection>(object))
            c->setSqlTimeout(ulTimeout);
        else
            fail(kErrInvalidHandle, "Invalid statement or connection handle " + std::to_string(hObj));
    });
}

UNSIGNED32 LumGetRecordCount(LUMHANDLE hObj, UNSIGNED16 usFilterOption, UNSIGNED32* pulCount) {
    return guarded([&] {
        UNSIGNED32& n = out(pulCount, "count");
        auto object = HandleRegistry::instance().find(hObj);
        if (auto s = std::dynamic_pointer_cast<Statement>(object)) {
            const auto count = s->rowCount();
            if (!count) fail(kErrNoRowCount, "Statement " + std::to_string(hObj) + " has no row count");
            n = static_cast<UNSIGNED32>(*count);
            return;
        }
        const Target t = target(hObj);
        n = static_cast<UNSIGNED32>(t.cursor->count(t.order, usFilterOption));
    });
}

UNSIGNED32 LumGetLastAutoinc(LUMHANDLE hObj, UNSIGNED32* pulAutoIncVal) {
    return guarded([&] {
        UNSIGNED32& value = out(pulAutoIncVal, "auto-increment value");
        // A statement answers for its INSERTs, a table or index handle for the
        // records appended through its table; an SQL cursor never inserts.
        if (auto s = std::dynamic_pointer_cast<Statement>(HandleRegistry::instance().find(hObj)))
            value = static_cast<UNSIGNED32>(s->lastAutoIncrement());
        else
            value = static_cast<UNSIGNED32>(cursorOf(hObj)->lastAutoIncrement());
    });
}

}  // extern "C"
