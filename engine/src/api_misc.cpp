// C operations: errors, version, filters and expressions (see filter.cpp),
// operations of later engine versions, and the function table.
#include <cstdio>

#include "engine/src/api_support.h"

using namespace lce;
using namespace lce::api;

namespace {
// Bits of LumSetLOF's options: 1 resolve at once, 2 resolve when read, 4 key
// set, 8 fixed.
constexpr UNSIGNED16 kLofOptionMask = 0x0F;
}  // namespace

extern "C" {

UNSIGNED32 LumGetLastError(UNSIGNED32* pulErrCode, char* pucBuf, UNSIGNED16* pusBufLen) {
    if (!pulErrCode || !pucBuf || !pusBufLen || *pusBufLen == 0) return kErrInvalidArgument;
    const LastError& e = lastError();
    *pulErrCode = e.code;
    const std::size_t n = std::min<std::size_t>(e.text.size(), *pusBufLen - 1u);
    std::memcpy(pucBuf, e.text.data(), n);
    pucBuf[n] = '\0';
    *pusBufLen = static_cast<UNSIGNED16>(n);
    return 0;
}

UNSIGNED32 LumShowError(const char* pucTitle) {
    const LastError& e = lastError();
    std::fprintf(stderr, "%s: error %u: %s\n", pucTitle ? pucTitle : "lce32", e.code,
                 e.text.empty() ? "(no error recorded)" : e.text.c_str());
    return 0;
}

UNSIGNED32 LumSetLastError(UNSIGNED32 ulErrCode, const char* pucText) {
    setLastError(ulErrCode, pucText ? pucText : "");
    return ulErrCode;
}

UNSIGNED32 LumGetVersion(UNSIGNED32* pulMajor, UNSIGNED32* pulMinor, char* pucLetter, char* pucDesc,
                         UNSIGNED16* pusDescLen) {
    return guarded([&] {
        out(pulMajor, "major") = 1;
        out(pulMinor, "minor") = 0;
        if (pucLetter) *pucLetter = ' ';
        if (pucDesc)
            copyText(std::string("Lumen client engine lce32 on SQLite ") + sqlite3_libversion(), pucDesc, pusDescLen);
    });
}

UNSIGNED32 LumEnableEncryption(LUMHANDLE hTable, const char*) {
    return guarded([&] {
        cursorOf(hTable);
        fail(kErrNotSupported, "Encryption is not available in this version of the engine");
    });
}

UNSIGNED32 LumSetFilter(LUMHANDLE hTable, const char* pucFilter) {
    return guarded([&] { cursorOf(hTable)->setFilter(false, in(pucFilter, "filter")); });
}

// The options (dynamic, key set or fixed, resolved at once or when read)
// change nothing here: the condition is asked of the stored records every
// time, which is the dynamic kind.
UNSIGNED32 LumSetLOF(LUMHANDLE hTable, const char* pucFilter, UNSIGNED16 usOptions) {
    return guarded([&] {
        if (usOptions > kLofOptionMask)
            fail(kErrInvalidArgument, "Invalid filter options " + std::to_string(usOptions));
        cursorOf(hTable)->setFilter(true, in(pucFilter, "filter"));
    });
}

UNSIGNED32 LumEvalLogicalExpr(LUMHANDLE hTable, const char* pucExpr, UNSIGNED16* pbResult) {
    return guarded([&] {
        UNSIGNED16& result = out(pbResult, "result");
        result = cursorOf(hTable)->evaluate(in(pucExpr, "expression")) ? 1 : 0;
    });
}

UNSIGNED32 LumExpressionLongToShort(LUMHANDLE hTable, const char* pucLong, char* pucShort, UNSIGNED16* pusLen) {
    return guarded(
        [&] { copyText(cursorOf(hTable)->convertExpression(in(pucLong, "expression"), true), pucShort, pusLen); });
}

UNSIGNED32 LumExpressionShortToLong(LUMHANDLE hTable, const char* pucShort, char* pucLong, UNSIGNED16* pusLen) {
    return guarded(
        [&] { copyText(cursorOf(hTable)->convertExpression(in(pucShort, "expression"), false), pucLong, pusLen); });
}

UNSIGNED32 LumSetExact22(LUMHANDLE hObj, UNSIGNED16 bExact) {
    return guarded([&] { cursorOf(hObj)->setExact(bExact != 0); });
}
UNSIGNED32 LumClearFilter(LUMHANDLE hTable) {
    return guarded([&] { cursorOf(hTable)->clearFilter(false); });
}
UNSIGNED32 LumClearLOF(LUMHANDLE hTable) {
    return guarded([&] { cursorOf(hTable)->clearFilter(true); });
}

#define LUM_BIND_POINTER(name) &name,
const struct LumFunctions* LumGetFunctions(void) {
    static const LumFunctions table = {LUM_FUNCTIONS(LUM_BIND_POINTER)};
    return &table;
}
#undef LUM_BIND_POINTER

}  // extern "C"
