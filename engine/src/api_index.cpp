// C operations: indexes, raw keys, scopes and seeks.
#include "engine/src/api_support.h"
#include "engine/src/index_file.h"
#include "engine/src/text.h"

using namespace lce;
using namespace lce::api;

namespace {
const IndexInfo& info(const Target& t) { return t.cursor->index(t.order); }
}  // namespace

extern "C" {

UNSIGNED32 LumGetNumIndexes(LUMHANDLE hTable, UNSIGNED16* pusNum) {
    return guarded([&] {
        auto c = cursorOf(hTable);
        UNSIGNED16 n = 0;
        for (std::size_t o = 1; o < c->orderCount(); ++o) n += c->orderOpen(o) ? 1 : 0;
        out(pusNum, "count") = n;
    });
}

UNSIGNED32 LumGetAllIndexes(LUMHANDLE hTable, LUMHANDLE* ahIndex, UNSIGNED16* pusArrayLen) {
    return guarded([&] {
        auto c = cursorOf(hTable);
        UNSIGNED16& n = out(pusArrayLen, "array length");
        if (!ahIndex && n) fail(kErrInvalidArgument, "Missing index array");
        std::vector<LUMHANDLE> handles;
        for (std::size_t o = 1; o < c->orderCount(); ++o)
            if (c->orderOpen(o)) handles.push_back(c->indexHandle(o));
        const std::size_t room = n;
        for (std::size_t i = 0; i < handles.size() && i < room; ++i) ahIndex[i] = handles[i];
        n = static_cast<UNSIGNED16>(handles.size());
        if (handles.size() > room)
            fail(kErrBufferTooSmall, "Table " + c->name() + " has " + std::to_string(handles.size()) +
                                         " indexes, the array has room for " + std::to_string(room));
    });
}

UNSIGNED32 LumGetIndexHandle(LUMHANDLE hTable, const char* pucIndexName, LUMHANDLE* phIndex) {
    return guarded([&] {
        auto c = cursorOf(hTable);
        LUMHANDLE& h = out(phIndex, "index handle");
        h = 0;
        if (!pucIndexName || !*pucIndexName) return;
        for (std::size_t o = 1; o < c->orderCount(); ++o)
            if (c->orderOpen(o) && equalsIgnoringCase(c->index(o).def.name, pucIndexName)) {
                h = c->indexHandle(o);
                return;
            }
        fail(kErrIndexNotFound, std::string("Index ") + pucIndexName + " not found on table " + c->name());
    });
}

UNSIGNED32 LumGetIndexName(LUMHANDLE hIndex, char* pucName, UNSIGNED16* pusLen) {
    return guarded([&] { copyText(info(indexTarget(hIndex)).def.name, pucName, pusLen); });
}

UNSIGNED32 LumGetNumSegments(LUMHANDLE hIndex, UNSIGNED16* pusSegments) {
    return guarded(
        [&] { out(pusSegments, "count") = static_cast<UNSIGNED16>(info(indexTarget(hIndex)).segments.size()); });
}

UNSIGNED32 LumGetSegmentFieldname(LUMHANDLE hIndex, UNSIGNED16 usSegment, char* pucName, UNSIGNED16* pusLen) {
    return guarded([&] {
        const Target t = target(hIndex);
        if (t.order == 0) fail(kErrIndexNotFound, "No index is active on table " + t.cursor->name());
        const IndexInfo& ix = info(t);
        // Callers walk the segments until this answer, once per key they
        // build: its text is written into the kept one, without allocating.
        if (usSegment >= ix.segments.size()) {
            LastError& e = lastError();
            e.code = kErrIndexNotFound;
            e.text.assign("Index ").append(ix.def.name).append(" of table ");
            e.text.append(t.cursor->options().sqlResult ? "SQL result" : t.cursor->store().path());
            e.text.append(" has no segment ").append(std::to_string(usSegment));
            return UNSIGNED32{kErrIndexNotFound};
        }
        copyText(t.cursor->store().layout().columns()[ix.segments[usSegment]].def.name, pucName, pusLen);
        return UNSIGNED32{0};
    });
}

UNSIGNED32 LumIsIndexDescending(LUMHANDLE hIndex, UNSIGNED16* pb) {
    return guarded([&] { flag(pb, info(indexTarget(hIndex)).def.descending); });
}
UNSIGNED32 LumIsIndexUnique(LUMHANDLE hIndex, UNSIGNED16* pb) {
    return guarded([&] { flag(pb, info(indexTarget(hIndex)).def.unique); });
}
UNSIGNED32 LumIsIndexCandidate(LUMHANDLE hIndex, UNSIGNED16* pb) {
    return guarded([&] { flag(pb, info(indexTarget(hIndex)).def.candidate); });
}
UNSIGNED32 LumIsIndexPrimaryKey(LUMHANDLE hIndex, UNSIGNED16* pb) {
    return guarded([&] { flag(pb, info(indexTarget(hIndex)).def.primary); });
}
UNSIGNED32 LumGetIndexFlags(LUMHANDLE hIndex, UNSIGNED32* pulFlags) {
    return guarded([&] {
        const IndexDef& d = info(indexTarget(hIndex)).def;
        out(pulFlags, "flags") = (d.unique ? 1u : 0u) | (d.descending ? 2u : 0u) | (d.primary ? 4u : 0u) |
                                 (d.candidate ? 8u : 0u) | (d.condition.empty() ? 0u : 16u);
    });
}
UNSIGNED32 LumGetIndexCondition(LUMHANDLE hIndex, char* pucCondition, UNSIGNED16* pusLen) {
    return guarded([&] { copyText(info(indexTarget(hIndex)).def.condition, pucCondition, pusLen); });
}
UNSIGNED32 LumGetIndexPageSize(LUMHANDLE hIndex, UNSIGNED32* pulPageSize) {
    return guarded([&] { out(pulPageSize, "page size") = info(indexTarget(hIndex)).def.pageSize; });
}
UNSIGNED32 LumGetKeyLength(LUMHANDLE hIndex, UNSIGNED16* pusKeyLength) {
    return guarded([&] {
        out(pusKeyLength, "key length") =
            static_cast<UNSIGNED16>(std::min<std::uint32_t>(info(indexTarget(hIndex)).keyLength, 0xFFFF));
    });
}
UNSIGNED32 LumGetIndexFilename(LUMHANDLE hIndex, UNSIGNED16 usOption, char* pucName, UNSIGNED16* pusLen) {
    return guarded([&] {
        const Target t = indexTarget(hIndex);
        const std::string& path = t.cursor->indexFilePath(t.order);
        copyText(usOption == 2 ? fileNameOf(path) : path, pucName, pusLen);
    });
}

namespace {

std::string stemOf(const std::string& path) {
    const std::string f = fileNameOf(path);
    return upper(f.substr(0, f.find_last_of('.')));
}

// The table's own indexes, which live in its file, as LumOpenIndex gives them.
void ownIndexes(Cursor& c, LUMHANDLE* handles, UNSIGNED16& n) {
    for (std::size_t o = 1; o < c.orderCount(); ++o)
        if (!c.orderOpen(o) && !c.fromIndexFile(o))
            fail(kErrNotSupported, "A closed index cannot be opened again on table " + c.name());
    const std::size_t room = n;
    std::size_t k = 0;
    for (std::size_t o = 1; o < c.orderCount(); ++o) {
        if (c.fromIndexFile(o)) continue;
        if (k < room && handles) handles[k] = c.indexHandle(o);
        ++k;
    }
    n = static_cast<UNSIGNED16>(k);
    if (k > room) fail(kErrBufferTooSmall, "The array is too small for the indexes of " + c.name());
}

}  // namespace

UNSIGNED32 LumOpenIndex(LUMHANDLE hTable, const char* pucName, LUMHANDLE* ahIndex, UNSIGNED16* pusArrayLen) {
    return guarded([&] {
        auto c = cursorOf(hTable);
        const std::string given = normalizePath(in(pucName, "index file"));
        UNSIGNED16& n = out(pusArrayLen, "array length");
        if (!ahIndex && n) fail(kErrInvalidArgument, "Missing index array");
        if (stemOf(given) == stemOf(c->store().path())) return ownIndexes(*c, ahIndex, n);
        const std::string path = findFile(given);
        if (path.empty()) fail(kErrFileNotFound, "Index file " + given + " not found");
        if (c->indexFileOpen(path))
            fail(kErrIndexFileOpen, "Index file " + path + " is already open on table " + c->name());
        const std::vector<IndexDef> indexes = readIndexFile(path, c->store().db().lockWait());
        if (indexes.size() > n) {
            const std::size_t room = n;
            n = static_cast<UNSIGNED16>(indexes.size());
            fail(kErrBufferTooSmall, "Index file " + path + " holds " + std::to_string(indexes.size()) +
                                         " indexes, the array has room for " + std::to_string(room));
        }
        const std::vector<std::size_t> orders = c->openIndexFile(path, indexes);
        for (std::size_t i = 0; i < orders.size(); ++i) ahIndex[i] = c->indexHandle(orders[i]);
        n = static_cast<UNSIGNED16>(orders.size());
    });
}

UNSIGNED32 LumCloseIndex(LUMHANDLE hIndex) {
    return guarded([&] {
        const Target t = indexTarget(hIndex);
        if (t.cursor->fromIndexFile(t.order))
            t.cursor->closeIndexFile(t.order);
        else
            t.cursor->closeOrder(t.order);
    });
}

UNSIGNED32 LumInitRawKey(LUMHANDLE hIndex) {
    return guarded([&] {
        const Target t = indexTarget(hIndex);
        t.cursor->initRawKey(t.order);
    });
}

UNSIGNED32 LumBuildRawKey(LUMHANDLE hIndex, UNSIGNED8* pucKey, UNSIGNED16* pusKeyLen) {
    return guarded([&] {
        const Target t = indexTarget(hIndex);
        const std::string key = t.cursor->buildRawKey(t.order);
        UNSIGNED16& n = out(pusKeyLen, "key length");
        if (!pucKey) fail(kErrInvalidArgument, "Missing key buffer");
        if (key.size() > n) {
            n = static_cast<UNSIGNED16>(key.size());
            fail(kErrBufferTooSmall,
                 "The key of index " + info(t).def.name + " needs " + std::to_string(key.size()) + " bytes");
        }
        std::memcpy(pucKey, key.data(), key.size());
        n = static_cast<UNSIGNED16>(key.size());
    });
}

UNSIGNED32 LumSetScope(LUMHANDLE hIndex, UNSIGNED16 usScopeOption, const UNSIGNED8* pucScope, UNSIGNED16 usScopeLen,
                       UNSIGNED16 usDataType) {
    return guarded([&] {
        const Target t = target(hIndex);
        if (t.order == 0)
            fail(kErrIndexNotFound, "A scope needs an index; none is active on table " + t.cursor->name());
        if (!pucScope && usScopeLen) fail(kErrInvalidArgument, "Missing scope key");
        if (usScopeOption != 1 && usScopeOption != 2)
            fail(kErrInvalidArgument, "Invalid scope option " + std::to_string(usScopeOption));
        std::string bytes(reinterpret_cast<const char*>(pucScope ? pucScope : reinterpret_cast<const UNSIGNED8*>("")),
                          usScopeLen);
        if (usDataType == LUM_RAWKEY) {
            t.cursor->setScope(t.order, usScopeOption, std::move(bytes));
        } else if (usDataType == LUM_STRINGKEY) {
            const auto nul = bytes.find('\0');
            if (nul != std::string::npos) bytes.resize(nul);
            t.cursor->setScope(t.order, usScopeOption, t.cursor->textKey(t.order, bytes));
        } else {
            fail(kErrInvalidArgument, "Invalid scope key type " + std::to_string(usDataType));
        }
    });
}

UNSIGNED32 LumGetScope(LUMHANDLE hIndex, UNSIGNED16 usScopeOption, UNSIGNED8* pucScope, UNSIGNED16* pusBufLen) {
    return guarded([&] {
        const Target t = target(hIndex);
        if (t.order == 0) fail(kErrNoScope, "No index is active on table " + t.cursor->name());
        const auto& s = t.cursor->scope(t.order, usScopeOption);
        if (!s) fail(kErrNoScope, "No scope is set on index " + info(t).def.name + " of table " + t.cursor->name());
        UNSIGNED16& n = out(pusBufLen, "length");
        if (!pucScope) fail(kErrInvalidArgument, "Missing scope buffer");
        if (s->size() > n) {
            n = static_cast<UNSIGNED16>(s->size());
            fail(kErrBufferTooSmall, "The scope key needs " + std::to_string(s->size()) + " bytes");
        }
        std::memcpy(pucScope, s->data(), s->size());
        n = static_cast<UNSIGNED16>(s->size());
    });
}

UNSIGNED32 LumClearScope(LUMHANDLE hIndex, UNSIGNED16 usScopeOption) {
    return guarded([&] {
        const Target t = target(hIndex);
        if (t.order == 0) fail(kErrNoScope, "No index is active on table " + t.cursor->name());
        t.cursor->clearScope(t.order, usScopeOption);
    });
}

UNSIGNED32 LumClearAllScopes(LUMHANDLE hTable) {
    return guarded([&] { cursorOf(hTable)->clearAllScopes(); });
}

UNSIGNED32 LumSeek(LUMHANDLE hIndex, const UNSIGNED8* pucKey, UNSIGNED16 usKeyLen, UNSIGNED16 usDataType,
                   UNSIGNED16 usSeekType, UNSIGNED16* pbFound) {
    return guarded([&] {
        const Target t = target(hIndex);
        if (t.order == 0) fail(kErrIndexNotFound, "A seek needs an index; none is active on table " + t.cursor->name());
        UNSIGNED16& found = out(pbFound, "found flag");
        if (!pucKey && usKeyLen) fail(kErrInvalidArgument, "Missing seek key");
        if (usSeekType != LUM_SOFTSEEK && usSeekType != LUM_HARDSEEK)
            fail(kErrInvalidArgument, "Invalid seek type " + std::to_string(usSeekType));
        std::string bytes(reinterpret_cast<const char*>(pucKey ? pucKey : reinterpret_cast<const UNSIGNED8*>("")),
                          usKeyLen);
        if (usDataType == LUM_STRINGKEY) {
            const auto nul = bytes.find('\0');
            if (nul != std::string::npos) bytes.resize(nul);
            bytes = t.cursor->textKey(t.order, bytes);
        } else if (usDataType != LUM_RAWKEY) {
            fail(kErrInvalidArgument, "Invalid seek key type " + std::to_string(usDataType));
        }
        found = t.cursor->seek(t.order, bytes, usSeekType == LUM_HARDSEEK) ? 1 : 0;
    });
}

}  // extern "C"
