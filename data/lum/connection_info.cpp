// TLumConnection: what the engine tells about the connection (server name,
// kind, liveness, time), the lists of tables, the user's groups and the
// dictionary's links, and the engine's cache of open tables.
#include <algorithm>
#include <utility>

#include "data/lum/connection.h"
#include "data/lum/errors.h"
#include "framework/format.h"

namespace lum {

namespace {

// Room for one name of a listing, as a file name may be long.
constexpr UNSIGNED16 NameBufferSize = 261;
constexpr UNSIGNED16 ServerNameBufferSize = 255;
constexpr UNSIGNED16 ServerTimeBufferSize = 69;
constexpr UNSIGNED16 LinkInfoBufferSize = 1024;
// Engine values of LumGetConnectionType.
constexpr UNSIGNED16 LocalConnection = 1;
constexpr UNSIGNED16 RemoteConnection = 2;
constexpr UNSIGNED16 InternetConnection = 4;
// Dictionary object type of tables, and the user property of the groups.
constexpr UNSIGNED16 TableObjectType = 10;
constexpr UNSIGNED16 UserGroupsProperty = LUM_DD_USER_GROUP_MEMBERSHIP;
constexpr double MillisecondsPerDay = 86400000.0;

// Pieces of a ";"-joined text, empty ones left out.
std::vector<std::string> SplitAtSemicolons(const std::string& text) {
    std::vector<std::string> items;
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = text.find(';', start);
        if (end == std::string::npos) end = text.size();
        if (end > start) items.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return items;
}

// A search handle of a listing, closed when the listing ends.
class SearchHandle {
public:
    using Close = UNSIGNED32 (*)(LUMHANDLE, LUMHANDLE);
    SearchHandle(LUMHANDLE connection, Close close) : connection_(connection), close_(close) {}
    SearchHandle(const SearchHandle&) = delete;
    SearchHandle& operator=(const SearchHandle&) = delete;
    ~SearchHandle() {
        // The names are read; a failure to let go of the search changes nothing for them.
        if (handle != 0) close_(connection_, handle);
    }
    LUMHANDLE handle = 0;

private:
    LUMHANDLE connection_;
    Close close_;
};

std::string Text(const char* buffer, UNSIGNED16 length, UNSIGNED16 capacity) {
    return std::string(buffer, std::min<UNSIGNED16>(length, static_cast<UNSIGNED16>(capacity - 1)));
}

// The date of "CCYYMMDD": year, month and day by position.
double DateOfServer(const std::string& digits) {
    const auto refuse = [&] {
        return LumConnectionError("The server's date \"" + digits +
                                  "\" is not a valid date; check the date settings of the server");
    };
    const auto number = [&](std::size_t at, std::size_t count) {
        const std::string part = digits.substr(std::min(at, digits.size()), count);
        if (part.size() != count || part.find_first_not_of("0123456789") != std::string::npos) throw refuse();
        return std::stoi(part);
    };
    try {
        return fw::EncodeDate(number(0, 4), number(4, 2), number(6, 2));
    } catch (const fw::EConvertError&) {
        throw refuse();
    }
}

}  // namespace

void TLumConnection::RequireConnection() const {
    if (!connected_) throw LumConnectionError("No connection to Lumen server.");
}

std::string TLumConnection::ServerName() const {
    // There is no design time in this program, so a read without a connection is always refused.
    if (!connected_) throw LumConnectionError("Must be connected to get Lumen server name.");
    char buffer[ServerNameBufferSize] = {};
    UNSIGNED16 length = ServerNameBufferSize;
    if (const UNSIGNED32 rc = engine_->LumGetServerName(handle_, buffer, &length); rc != 0)
        throw LumError(*engine_, rc);
    return Text(buffer, length, ServerNameBufferSize);
}

std::string TLumConnection::ConnectionTypeName() const {
    if (!connected_) return {};
    UNSIGNED16 type = 0;
    if (const UNSIGNED32 rc = engine_->LumGetConnectionType(handle_, &type); rc != 0) throw LumError(*engine_, rc);
    switch (type) {
        case LocalConnection: return "Local";
        case RemoteConnection: return "Remote";
        case InternetConnection: return "Internet";
        default: return {};
    }
}

bool TLumConnection::IsAlive() const {
    if (!connected_) return false;
    UNSIGNED16 alive = 0;
    if (const UNSIGNED32 rc = engine_->LumIsConnectionAlive(handle_, &alive); rc != 0) throw LumError(*engine_, rc);
    return alive != 0;
}

double TLumConnection::ServerTime() {
    if (!connected_) SetIsConnected(true);
    const LumFunctions& engine = *engine_;
    const auto check = [&](UNSIGNED32 result) { CheckLCEResult(engine, nullptr, result); };
    char date[ServerTimeBufferSize] = {};
    char time[ServerTimeBufferSize] = {};
    UNSIGNED16 dateLength = ServerTimeBufferSize;
    UNSIGNED16 timeLength = ServerTimeBufferSize;
    SIGNED32 milliseconds = 0;
    check(engine.LumGetServerTime(handle_, date, &dateLength, &milliseconds, time, &timeLength));
    double julian = 0;
    check(engine.LumConvertDateToJulian(handle_, date, dateLength, &julian));
    char text[ServerTimeBufferSize] = {};
    UNSIGNED16 textLength = ServerTimeBufferSize;
    check(engine.LumConvertJulianToString(julian, text, &textLength));
    return DateOfServer(Text(text, textLength, ServerTimeBufferSize)) + milliseconds / MillisecondsPerDay;
}

std::string TLumConnection::TableSearchMask(const std::string& mask) const {
    if (isDictionary_) return {};
    std::string folder = ConnectionPath();
    while (!folder.empty() && (folder.back() == '/' || folder.back() == '\\')) folder.pop_back();
    switch (aliasTableType_) {
        case TLumAliasTableType::atLDT: return folder + "\\*.ldt";
        case TLumAliasTableType::atUnspecified: return folder + "\\" + mask;
        default: return folder + "\\*.dbf";
    }
}

TLumTableNames TLumConnection::ListTables(const std::string& mask, bool withFiles) {
    RequireConnection();
    const LumFunctions& engine = *engine_;
    // A dictionary's list fails through the check; a folder's as the engine's own failure.
    const bool dictionary = isDictionary_;
    const auto check = [&](UNSIGNED32 result) {
        if (result == 0) return;
        if (dictionary) CheckLCEResult(engine, nullptr, result);
        throw LumError(engine, result);
    };
    const std::string search = TableSearchMask(mask);
    TLumTableNames names;
    SearchHandle find(handle_, engine.LumFindClose);
    char name[NameBufferSize] = {};
    char file[NameBufferSize] = {};
    for (bool first = true;; first = false) {
        UNSIGNED16 nameLength = NameBufferSize;
        UNSIGNED16 fileLength = NameBufferSize;
        UNSIGNED32 rc = 0;
        if (withFiles) {
            rc = first ? engine.LumFindFirstTable62(handle_, search.c_str(), name, &nameLength, file, &fileLength,
                                                    &find.handle)
                       : engine.LumFindNextTable62(handle_, find.handle, name, &nameLength, file, &fileLength);
        } else {
            rc = first ? engine.LumFindFirstTable(handle_, search.c_str(), name, &nameLength, &find.handle)
                       : engine.LumFindNextTable(handle_, find.handle, name, &nameLength);
        }
        if (rc == LUM_ERR_END_OF_TABLES) break;
        check(rc);
        names.Names.push_back(Text(name, nameLength, NameBufferSize));
        if (withFiles) names.Files.push_back(Text(file, fileLength, NameBufferSize));
    }
    return names;
}

std::vector<std::string> TLumConnection::GetTableNames(const std::string& mask) {
    return ListTables(mask, false).Names;
}

TLumTableNames TLumConnection::GetTableNamesEx(const std::string& mask) { return ListTables(mask, true); }

std::vector<std::string> TLumConnection::GetDictionaryTableNames() {
    if (!connected_) SetIsConnected(true);
    const LumFunctions& engine = *engine_;
    std::vector<std::string> names;
    SearchHandle find(handle_, engine.LumDDFindClose);
    char name[NameBufferSize] = {};
    for (bool first = true;; first = false) {
        UNSIGNED16 length = NameBufferSize;
        const UNSIGNED32 rc =
            first ? engine.LumDDFindFirstObject(handle_, TableObjectType, "", name, &length, &find.handle)
                  : engine.LumDDFindNextObject(handle_, find.handle, name, &length);
        if (rc == LUM_ERR_END_OF_OBJECTS) break;
        CheckLCEResult(engine, nullptr, rc);
        names.push_back(Text(name, length, NameBufferSize));
    }
    return names;
}

void TLumConnection::ReadUserGroups() {
    groups_->clear();
    groupsText_.clear();
    if (!connected_) return;
    const LumFunctions& engine = *engine_;
    // First the size: too small a buffer tells it, an unset property means no groups.
    char probe[1] = {};
    UNSIGNED16 length = 0;
    const UNSIGNED32 rc = engine.LumDDGetUserProperty(handle_, username_.c_str(), UserGroupsProperty, probe, &length);
    if (rc == LUM_ERR_BUFFER_TOO_SMALL) {
        std::vector<char> buffer(static_cast<std::size_t>(length) + 1);
        UNSIGNED16 room = static_cast<UNSIGNED16>(std::min<std::size_t>(buffer.size(), 0xFFFF));
        CheckLCEResult(
            engine, nullptr,
            engine.LumDDGetUserProperty(handle_, username_.c_str(), UserGroupsProperty, buffer.data(), &room));
        groupsText_.assign(buffer.data(), std::min<std::size_t>(room, buffer.size() - 1));
    } else if (rc != LUM_ERR_PROPERTY_NOT_SET) {
        CheckLCEResult(engine, nullptr, rc);
    }
    *groups_ = SplitAtSemicolons(groupsText_);
    groupsRead_ = true;
}

const std::vector<std::string>& TLumConnection::UserGroups() {
    if (!groupsRead_) ReadUserGroups();
    return *groups_;
}

const std::string& TLumConnection::UserGroupsText() {
    if (!groupsRead_) ReadUserGroups();
    return groupsText_;
}

std::uint16_t TLumConnection::ActiveLinkCount() const {
    if (!connected_) return 0;
    UNSIGNED16 count = 0;
    CheckLCEResult(*engine_, nullptr, engine_->LumGetNumActiveLinks(handle_, &count));
    return count;
}

std::vector<TLumActiveLink> TLumConnection::GetActiveLinks() const {
    std::vector<TLumActiveLink> links;
    const std::uint16_t count = ActiveLinkCount();
    for (UNSIGNED16 link = 1; link <= count; ++link) {
        char info[LinkInfoBufferSize] = {};
        UNSIGNED16 length = LinkInfoBufferSize;
        CheckLCEResult(*engine_, nullptr, engine_->LumGetActiveLinkInfo(handle_, link, info, &length));
        const std::string text = Text(info, length, LinkInfoBufferSize);
        const std::size_t semicolon = text.find(';');
        if (semicolon == std::string::npos) {
            links.push_back({text, {}});
        } else {
            links.push_back({text.substr(0, semicolon), text.substr(semicolon + 1)});
        }
    }
    return links;
}

void TLumConnection::CloseCachedTables() {
    if (connected_) CheckLCEResult(*engine_, nullptr, engine_->LumCloseCachedTables(handle_));
}

}  // namespace lum
