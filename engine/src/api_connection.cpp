// C operations: connections, dictionaries, table lists and transactions.
#include <algorithm>
#include <ctime>
#include <filesystem>

#include "engine/src/api_support.h"
#include "engine/src/text.h"

using namespace lce;
using namespace lce::api;

namespace {

class Search : public Object {
public:
    HandleType handleType() const override { return HandleType::Search; }
    std::vector<std::pair<std::string, std::string>> items;  // (name, file)
    std::size_t next = 0;
};

bool globMatch(std::string_view pattern, std::string_view name) {
    if (pattern.empty()) return name.empty();
    if (pattern[0] == '*') {
        for (std::size_t i = 0; i <= name.size(); ++i)
            if (globMatch(pattern.substr(1), name.substr(i))) return true;
        return false;
    }
    if (name.empty()) return false;
    if (pattern[0] != '?' && upper(pattern.substr(0, 1)) != upper(name.substr(0, 1))) return false;
    return globMatch(pattern.substr(1), name.substr(1));
}

std::shared_ptr<Search> startSearch(const Connection& conn, const char* mask) {
    auto s = std::make_shared<Search>();
    if (conn.isDictionary()) {
        for (const auto& t : conn.dictionary().tables()) s->items.emplace_back(t.name, t.file);
        return s;
    }
    std::string m = normalizePath(mask ? mask : "");
    if (m.empty()) m = "*.LDT";
    std::string dir = directoryOf(m), pattern = fileNameOf(m);
    // A mask that names only a folder lists the folder's tables.
    if (pattern.empty()) pattern = "*.LDT";
    if (dir.empty() || dir[0] != '/') dir = dir.empty() ? conn.folder() : conn.folder() + "/" + dir;
    std::error_code ec;
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(dir, ec))
        if (e.is_regular_file(ec) && globMatch(pattern, e.path().filename().string()))
            names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    for (const std::string& n : names) {
        const auto dot = n.find_last_of('.');
        s->items.emplace_back(dot == std::string::npos ? n : n.substr(0, dot), n);
    }
    return s;
}

void nextItem(LUMHANDLE hFind, std::uint32_t endCode, char* name, UNSIGNED16* len, char* file, UNSIGNED16* flen) {
    auto s = HandleRegistry::instance().get<Search>(hFind, "search");
    if (s->next >= s->items.size()) fail(endCode, "No more entries");
    const auto& item = s->items[s->next];
    if (name) copyText(item.first, name, len);
    if (file) copyText(item.second, file, flen);
    ++s->next;
}

// What a search lists: table files or dictionary tables by mask, or the
// objects of a dictionary (which a free-table connection does not have).
enum class Listing { Tables, DictionaryTables, DictionaryUsers };

UNSIGNED32 firstItem(LUMHANDLE hConnect, const char* mask, std::uint32_t endCode, char* name, UNSIGNED16* len,
                     char* file, UNSIGNED16* flen, LUMHANDLE* phFind, Listing listing = Listing::Tables) {
    return guarded([&] {
        auto conn = connectionOf(hConnect);
        LUMHANDLE& h = out(phFind, "search handle");
        std::shared_ptr<Search> s;
        if (listing == Listing::DictionaryUsers) {
            s = std::make_shared<Search>();
            for (const auto& u : conn->dictionary().users()) s->items.emplace_back(u, "");
        } else {
            if (listing == Listing::DictionaryTables) conn->dictionary();
            s = startSearch(*conn, mask);
        }
        if (s->items.empty()) fail(endCode, "No entries found");
        h = HandleRegistry::instance().add(s);
        conn->adopt(h);
        nextItem(h, endCode, name, len, file, flen);
    });
}

}  // namespace

extern "C" {

UNSIGNED32 LumConnect(const char* pucPath, LUMHANDLE* phConnect) {
    return LumConnect60(pucPath, 0, nullptr, nullptr, 0, phConnect);
}

UNSIGNED32 LumConnect60(const char* pucPath, UNSIGNED16 usServerTypes, const char* pucUserName, const char* pucPassword,
                        UNSIGNED32, LUMHANDLE* phConnect) {
    return guarded([&] {
        LUMHANDLE& h = out(phConnect, "connection handle");
        h = 0;
        std::string path = normalizePath(in(pucPath, "path"));
        if (path.empty()) fail(kErrInvalidArgument, "No connection path given");
        if (usServerTypes != 0 && (usServerTypes & LUM_LOCAL_SERVER) == 0)
            fail(kErrNoServer, "No server of the requested type can be reached for " + path +
                                   " (this engine serves local connections only)");
        std::shared_ptr<Connection> conn;
        if (endsWithIgnoringCase(path, ".LDD")) {
            DictionaryStore dd = DictionaryStore::open(path, false);
            const std::string user = pucUserName ? pucUserName : "";
            if (user.empty() || !dd.checkLogin(user, pucPassword ? pucPassword : ""))
                fail(kErrLoginRefused, "Login of user '" + user + "' to data dictionary " + dd.path() +
                                           " refused: the user name or the password is not valid");
            const std::string folder = dd.folder();
            conn = std::make_shared<Connection>(folder.empty() ? "." : folder, std::move(dd), user);
        } else {
            while (path.size() > 1 && path.back() == '/') path.pop_back();
            std::error_code ec;
            if (!std::filesystem::is_directory(path, ec)) fail(kErrFileNotFound, "Folder " + path + " not found");
            conn = std::make_shared<Connection>(path, std::nullopt, "");
        }
        h = HandleRegistry::instance().add(conn);
    });
}

UNSIGNED32 LumDisconnect(LUMHANDLE hConnect) {
    return guarded([&] {
        auto conn = std::dynamic_pointer_cast<Connection>(HandleRegistry::instance().find(hConnect));
        if (!conn) fail(kErrConnectionGone, "Connection " + std::to_string(hConnect) + " is not connected");
        conn->releaseAll();
        HandleRegistry::instance().remove(hConnect);
    });
}

UNSIGNED32 LumGetServerName(LUMHANDLE hConnect, char* pucName, UNSIGNED16* pusLen) {
    return guarded([&] { copyText(connectionOf(hConnect)->folder(), pucName, pusLen); });
}

UNSIGNED32 LumGetConnectionType(LUMHANDLE hConnect, UNSIGNED16* pusType) {
    return guarded([&] {
        connectionOf(hConnect);
        out(pusType, "type") = 1;
    });
}

UNSIGNED32 LumIsConnectionAlive(LUMHANDLE hConnect, UNSIGNED16* pbAlive) {
    return guarded([&] {
        auto& f = out(pbAlive, "flag");
        f = std::dynamic_pointer_cast<Connection>(HandleRegistry::instance().find(hConnect)) ? 1 : 0;
        if (!f) fail(kErrInvalidHandle, "Invalid connection handle " + std::to_string(hConnect));
    });
}

UNSIGNED32 LumGetServerTime(LUMHANDLE hConnect, char* pucDate, UNSIGNED16* pusDateLen, SIGNED32* plTime, char* pucTime,
                            UNSIGNED16* pusTimeLen) {
    return guarded([&] {
        connectionOf(hConnect);
        const std::time_t now = std::time(nullptr);
        std::tm tm{};
        localtime_r(&now, &tm);
        const std::string date = compactFromJulian(julianFromDate(tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday));
        auto two = [](int v) { return std::to_string(100 + v).substr(1); };
        copyText(date, pucDate, pusDateLen);
        out(plTime, "time") = ((tm.tm_hour * 60 + tm.tm_min) * 60 + tm.tm_sec) * 1000;
        if (pucTime) copyText(two(tm.tm_hour) + ":" + two(tm.tm_min) + ":" + two(tm.tm_sec), pucTime, pusTimeLen);
    });
}

UNSIGNED32 LumGetHandleType(LUMHANDLE hObj, UNSIGNED16* pusType) {
    return guarded([&] {
        auto object = HandleRegistry::instance().find(hObj);
        if (!object) fail(kErrInvalidHandle, "Invalid handle " + std::to_string(hObj));
        out(pusType, "type") = static_cast<UNSIGNED16>(object->handleType());
    });
}

UNSIGNED32 LumCloseCachedTables(LUMHANDLE hConnect) {
    return guarded([&] { connectionOf(hConnect); });
}
UNSIGNED32 LumCacheOpenTables(UNSIGNED16) { return 0; }
UNSIGNED32 LumCacheOpenCursors(UNSIGNED16) { return 0; }

UNSIGNED32 LumGetNumActiveLinks(LUMHANDLE hConnect, UNSIGNED16* pusNumLinks) {
    return guarded([&] {
        connectionOf(hConnect);
        out(pusNumLinks, "count") = 0;
    });
}

UNSIGNED32 LumGetActiveLinkInfo(LUMHANDLE hConnect, UNSIGNED16 usLinkNum, char*, UNSIGNED16*) {
    return guarded([&] {
        connectionOf(hConnect);
        fail(kErrInvalidArgument,
             "Link " + std::to_string(usLinkNum) + " does not exist (the connection has no links)");
    });
}

UNSIGNED32 LumBeginTransaction(LUMHANDLE hConnect) {
    return guarded([&] { connectionOf(hConnect)->begin(); });
}
UNSIGNED32 LumCommitTransaction(LUMHANDLE hConnect) {
    return guarded([&] { connectionOf(hConnect)->commit(); });
}
UNSIGNED32 LumRollbackTransaction(LUMHANDLE hConnect) {
    return guarded([&] { connectionOf(hConnect)->rollback(); });
}
UNSIGNED32 LumRollbackTransaction80(LUMHANDLE hConnect, const char* pucSavepoint, UNSIGNED32) {
    return guarded([&] { connectionOf(hConnect)->rollbackTo(pucSavepoint ? pucSavepoint : ""); });
}
UNSIGNED32 LumCreateSavepoint(LUMHANDLE hConnect, const char* pucSavepoint, UNSIGNED32) {
    return guarded([&] { connectionOf(hConnect)->savepoint(in(pucSavepoint, "savepoint")); });
}
UNSIGNED32 LumInTransaction(LUMHANDLE hConnect, UNSIGNED16* pbInTrans) {
    return guarded([&] { flag(pbInTrans, connectionOf(hConnect)->transactionCount() > 0); });
}
UNSIGNED32 LumGetTransactionCount(LUMHANDLE hConnect, UNSIGNED32* pulCount) {
    return guarded([&] { out(pulCount, "count") = connectionOf(hConnect)->transactionCount(); });
}

UNSIGNED32 LumDDGetTableProperty(LUMHANDLE hConnect, const char* pucTableName, UNSIGNED16 usPropertyID,
                                 void* pvProperty, UNSIGNED16* pusPropertyLen) {
    return guarded([&] {
        auto conn = connectionOf(hConnect);
        const std::string name = in(pucTableName, "table name");
        const auto entry = conn->dictionary().findTable(name);
        if (!entry)
            fail(kErrNotInDictionary, "Table " + name + " is not in the data dictionary " + conn->dictionary().path());
        const auto it = entry->properties.find(usPropertyID);
        if (it == entry->properties.end())
            fail(kErrPropertyNotSet,
                 "Property " + std::to_string(usPropertyID) + " of table " + entry->name + " is not set");
        copyText(it->second, static_cast<char*>(pvProperty), pusPropertyLen);
    });
}

UNSIGNED32 LumDDGetFieldProperty(LUMHANDLE hConnect, const char* pucTableName, const char* pucFieldName,
                                 UNSIGNED16 usPropertyID, void* pvProperty, UNSIGNED16* pusPropertyLen) {
    return guarded([&] {
        auto conn = connectionOf(hConnect);
        const std::string name = in(pucTableName, "table name");
        const std::string field = in(pucFieldName, "field name");
        const auto entry = conn->dictionary().findTable(name);
        if (!entry)
            fail(kErrNotInDictionary, "Table " + name + " is not in the data dictionary " + conn->dictionary().path());
        const auto value = conn->dictionary().fieldProperty(entry->name, field, usPropertyID);
        if (!value)
            fail(kErrPropertyNotSet, "Property " + std::to_string(usPropertyID) + " of field " + field + " of table " +
                                         entry->name + " is not set");
        copyText(*value, static_cast<char*>(pvProperty), pusPropertyLen);
    });
}

UNSIGNED32 LumDDGetUserProperty(LUMHANDLE hConnect, const char* pucUserName, UNSIGNED16 usPropertyID, void* pvProperty,
                                UNSIGNED16* pusPropertyLen) {
    return guarded([&] {
        auto conn = connectionOf(hConnect);
        const std::string user = in(pucUserName, "user name");
        if (usPropertyID != LUM_DD_USER_GROUP_MEMBERSHIP)
            fail(kErrPropertyNotSet, "Property " + std::to_string(usPropertyID) + " of user " + user + " is not set");
        const auto groups = conn->dictionary().userGroups(user);
        if (!groups)
            fail(kErrInvalidArgument, "User " + user + " is not in the data dictionary " + conn->dictionary().path());
        if (groups->empty()) fail(kErrPropertyNotSet, "User " + user + " belongs to no group");
        copyText(*groups, static_cast<char*>(pvProperty), pusPropertyLen);
    });
}

UNSIGNED32 LumDDFindFirstObject(LUMHANDLE hConnect, UNSIGNED16 usObjectType, const char*, char* pucObjectName,
                                UNSIGNED16* pusNameLen, LUMHANDLE* phFind) {
    if (usObjectType != 10 && usObjectType != 11)
        return guarded(
            [&] { fail(kErrInvalidArgument, "Unknown dictionary object type " + std::to_string(usObjectType)); });
    return firstItem(hConnect, nullptr, kErrEndOfObjects, pucObjectName, pusNameLen, nullptr, nullptr, phFind,
                     usObjectType == 11 ? Listing::DictionaryUsers : Listing::DictionaryTables);
}
UNSIGNED32 LumDDFindNextObject(LUMHANDLE, LUMHANDLE hFind, char* pucObjectName, UNSIGNED16* pusNameLen) {
    return guarded([&] { nextItem(hFind, kErrEndOfObjects, pucObjectName, pusNameLen, nullptr, nullptr); });
}
UNSIGNED32 LumDDFindClose(LUMHANDLE hConnect, LUMHANDLE hFind) { return LumFindClose(hConnect, hFind); }

UNSIGNED32 LumFindFirstTable(LUMHANDLE hConnect, const char* pucFileMask, char* pucFirstFile, UNSIGNED16* pusFileLen,
                             LUMHANDLE* phFind) {
    return firstItem(hConnect, pucFileMask, kErrEndOfTables, pucFirstFile, pusFileLen, nullptr, nullptr, phFind);
}
UNSIGNED32 LumFindNextTable(LUMHANDLE, LUMHANDLE hFind, char* pucFileName, UNSIGNED16* pusFileLen) {
    return guarded([&] { nextItem(hFind, kErrEndOfTables, pucFileName, pusFileLen, nullptr, nullptr); });
}
UNSIGNED32 LumFindFirstTable62(LUMHANDLE hConnect, const char* pucFileMask, char* pucFirstDD, UNSIGNED16* pusDDLen,
                               char* pucFirstFile, UNSIGNED16* pusFileLen, LUMHANDLE* phFind) {
    return firstItem(hConnect, pucFileMask, kErrEndOfTables, pucFirstDD, pusDDLen, pucFirstFile, pusFileLen, phFind);
}
UNSIGNED32 LumFindNextTable62(LUMHANDLE, LUMHANDLE hFind, char* pucDDName, UNSIGNED16* pusDDLen, char* pucFileName,
                              UNSIGNED16* pusFileLen) {
    return guarded([&] { nextItem(hFind, kErrEndOfTables, pucDDName, pusDDLen, pucFileName, pusFileLen); });
}
UNSIGNED32 LumFindClose(LUMHANDLE hConnect, LUMHANDLE hFind) {
    return guarded([&] {
        HandleRegistry::instance().get<Search>(hFind, "search");
        if (auto conn = std::dynamic_pointer_cast<Connection>(HandleRegistry::instance().find(hConnect)))
            conn->forget(hFind);
        HandleRegistry::instance().remove(hFind);
    });
}

UNSIGNED32 LumSetSQLTimeout(LUMHANDLE hObj, UNSIGNED32 ulTimeout);  // statement or connection, in api_sql.cpp

}  // extern "C"
