#pragma once
// The access layer's exceptions and the one check every engine result passes.
//
// ELUMDatabaseError carries the engine's code and text; with a dataset its
// message is "<dataset name>: <text>". The layer's own refusals use
// LUM_ERR_LAYER_REFUSAL.
// LumError is built from the engine's latest failure (disconnecting and a few
// other connection operations); LumConnectionError carries the connection's
// own refusals.
#include <cstdint>
#include <string>

#include "data/lum/engine.h"
#include "framework/exceptions.h"

namespace lum {

class TLumDataSet;

// The code of the layer's own messages.
constexpr std::uint32_t LayerErrorCode = LUM_ERR_LAYER_REFUSAL;

class ELUMDatabaseError : public fw::EDatabaseError {
public:
    // Gathers the dataset's description and the codes found in the message.
    ELUMDatabaseError(TLumDataSet* dataSet, std::uint32_t code, const std::string& message);
    ELUMDatabaseError(const ELUMDatabaseError&) = default;
    ~ELUMDatabaseError() override;
    const char* ClassName() const noexcept override { return "ELUMDatabaseError"; }

    std::uint32_t EngineErrorCode = 0;
    std::int32_t NativeErrorCode = 0;  // from "NativeError = N;" of an SQL error's text
    std::string DataSetName;
    std::string DataSetOwnerName;
    std::string DataSetDatabaseName;
    std::string DataSetPath;
    std::string DataSetTableName;
    std::string ColumnInError;  // the quoted column of LUM_ERR_COLUMN_NAMED_...
};

class LumError : public fw::Exception {
public:
    // The message is the engine's text of its latest failure; when the engine
    // cannot say, it reports the failure itself and the message stays empty.
    LumError(const LumFunctions& engine, std::uint32_t code);
    const char* ClassName() const noexcept override { return "LumError"; }
};

class LumConnectionError : public fw::Exception {
public:
    using fw::Exception::Exception;
    const char* ClassName() const noexcept override { return "LumConnectionError"; }
};

// Returns for 0; otherwise raises ELUMDatabaseError with the engine's latest
// code and text. Does nothing while an ELUMDatabaseError is being built on
// this thread.
void CheckLCEResult(const LumFunctions& engine, TLumDataSet* dataSet, UNSIGNED32 result);

// Raises the layer's own refusal (LayerErrorCode) for a dataset or none.
[[noreturn]] void RaiseLayerError(TLumDataSet* dataSet, const std::string& message);

// True on this thread while an ELUMDatabaseError is being filled in.
bool& BuildingDatabaseError();

// The native SQL error code of an engine text, 0 when it has none.
std::int32_t NativeErrorCodeOf(const std::string& message);
// The column named as `column "name"` in an engine text, "" when none.
std::string ColumnNamedIn(const std::string& message);

}  // namespace lum
