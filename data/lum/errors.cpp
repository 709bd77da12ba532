// ELUMDatabaseError and CheckLCEResult: every engine result is checked here and a
// failure carries the engine's code, text and native SQL code.
#include "data/lum/errors.h"

#include <charconv>

#include <cstring>
#include "data/lum/dataset.h"
#include "framework/text_compare.h"

namespace lum {

bool& BuildingDatabaseError() {
    thread_local bool building = false;
    return building;
}

std::int32_t NativeErrorCodeOf(const std::string& message) {
    const std::string upper = fw::AsciiUpperCase(message);
    if (upper.find("ERROR " + std::to_string(LUM_ERR_SQL) + ":") == std::string::npos) return 0;
    const std::string marker = "NATIVEERROR = ";
    const auto at = upper.find(marker);
    if (at == std::string::npos) return 0;
    const std::size_t start = at + marker.size();
    const auto semicolon = message.find(';', start);
    // Without a ";" the rest of the text is what is read.
    const std::string_view number =
        std::string_view(message).substr(start, semicolon == std::string::npos ? std::string::npos : semicolon - start);
    std::int32_t value = 0;
    const auto [end, error] = std::from_chars(number.data(), number.data() + number.size(), value);
    if (number.empty() || error != std::errc{} || end != number.data() + number.size()) return 0;
    return value;
}

std::string ColumnNamedIn(const std::string& message) {
    const std::string marker = "column \"";
    const auto at = message.find(marker);
    if (at == std::string::npos) return {};
    std::string rest = message.substr(at + marker.size(), 900);
    const auto quote = rest.find('"');
    if (quote != std::string::npos) rest.resize(quote);
    return rest;
}

ELUMDatabaseError::ELUMDatabaseError(TLumDataSet* dataSet, std::uint32_t code, const std::string& message)
    : fw::EDatabaseError(std::string()) {
    bool& building = BuildingDatabaseError();
    // A failure while another one is being described is only a placeholder.
    if (building) return;
    building = true;
    EngineErrorCode = code;
    try {
        if (dataSet != nullptr) {
            DataSetName = dataSet->Name();
            if (dataSet->Owner() != nullptr) DataSetOwnerName = dataSet->Owner()->Name();
            DataSetDatabaseName = dataSet->DatabaseName();
            DataSetPath = dataSet->ResolveDatabasePath();
            DataSetTableName = dataSet->TableName();
            if (code >= LUM_ERR_COLUMN_NAMED_FIRST && code <= LUM_ERR_COLUMN_NAMED_LAST)
                ColumnInError = ColumnNamedIn(message);
        }
        NativeErrorCode = NativeErrorCodeOf(message);
    } catch (...) {
        // What was gathered so far stays; the failure being reported wins.
    }
    SetMessage(DataSetName.empty() ? message : DataSetName + ": " + message);
    building = false;
}

ELUMDatabaseError::~ELUMDatabaseError() { BuildingDatabaseError() = false; }

LumError::LumError(const LumFunctions& engine, std::uint32_t) : fw::Exception(std::string()) {
    UNSIGNED32 code = 0;
    char buffer[601] = {};
    UNSIGNED16 length = 600;
    if (engine.LumGetLastError(&code, buffer, &length) == 0) {
        SetMessage(std::string(buffer, strnlen(buffer, 600)));
    } else {
        engine.LumShowError("Lum Exception Error");
    }
}

void CheckLCEResult(const LumFunctions& engine, TLumDataSet* dataSet, UNSIGNED32 result) {
    if (result == 0 || BuildingDatabaseError()) return;
    UNSIGNED32 code = 0;
    char buffer[601] = {};
    UNSIGNED16 length = 600;
    if (engine.LumGetLastError(&code, buffer, &length) != 0) {
        // The engine kept nothing: report the failing code itself.
        code = result;
        buffer[0] = '\0';
    }
    throw ELUMDatabaseError(dataSet, code, std::string(buffer, strnlen(buffer, 600)));
}

void RaiseLayerError(TLumDataSet* dataSet, const std::string& message) {
    throw ELUMDatabaseError(dataSet, LayerErrorCode, message);
}

}  // namespace lum
