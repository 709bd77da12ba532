// C operations: errors, version, operations of later engine versions, and
// the function table.
#include <cstdio>

#include "engine/src/api_support.h"

using namespace lce;
using namespace lce::api;

namespace {
UNSIGNED32 notSupported(const char* what) {
    return guarded(
        [&] { fail(kErrNotSupported, std::string(what) + " is not available in this version of the engine"); });
}
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

UNSIGNED32 LumSetFilter(LUMHANDLE, const char*) { return notSupported("Filtering"); }
UNSIGNED32 LumSetLOF(LUMHANDLE, const char*, UNSIGNED16) { return notSupported("Optimized filtering"); }
UNSIGNED32 LumEvalLogicalExpr(LUMHANDLE, const char*, UNSIGNED16*) { return notSupported("Expression evaluation"); }
UNSIGNED32 LumExpressionLongToShort(LUMHANDLE, const char*, char*, UNSIGNED16*) {
    return notSupported("Expression conversion");
}
UNSIGNED32 LumExpressionShortToLong(LUMHANDLE, const char*, char*, UNSIGNED16*) {
    return notSupported("Expression conversion");
}
UNSIGNED32 LumSetExact22(LUMHANDLE, UNSIGNED16) { return notSupported("Exact matching"); }
UNSIGNED32 LumClearFilter(LUMHANDLE hTable) {
    return guarded([&] { fail(kErrNoFilter, "No filter is set on table " + cursorOf(hTable)->name()); });
}
UNSIGNED32 LumClearLOF(LUMHANDLE hTable) { return LumClearFilter(hTable); }

#define LUM_BIND_POINTER(name) &name,
const struct LumFunctions* LumGetFunctions(void) {
    static const LumFunctions table = {LUM_FUNCTIONS(LUM_BIND_POINTER)};
    return &table;
}
#undef LUM_BIND_POINTER

}  // extern "C"
