// Parameter values handed to an engine statement in the form its data type asks for.
#include "data/lum/statement_binding.h"

#include <cmath>
#include <string>

#include "data/lum/errors.h"
#include "framework/format.h"

namespace lum {

namespace {

using fw::TFieldType;

constexpr double MillisecondsPerDay = 86400000.0;
// Binary subtype the engine takes for parameter bytes.
constexpr UNSIGNED16 BinaryParamType = 6;

SIGNED32 JulianDay(double dateTime) {
    return static_cast<SIGNED32>(std::trunc(dateTime)) + static_cast<SIGNED32>(fw::JulianDayOfDateTimeZero);
}

SIGNED32 MillisecondsOfDay(double dateTime) {
    const double fraction = std::fabs(dateTime - std::trunc(dateTime));
    return static_cast<SIGNED32>(std::lround(fraction * MillisecondsPerDay));
}

void PutLE32(std::uint8_t* out, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) out[i] = static_cast<std::uint8_t>(value >> (8 * i));
}

bool Unsupported(TFieldType type) {
    switch (type) {
        case TFieldType::ftParadoxOle:
        case TFieldType::ftDBaseOle:
        case TFieldType::ftTypedBinary:
        case TFieldType::ftCursor:
        case TFieldType::ftWideString:
        case TFieldType::ftADT:
        case TFieldType::ftArray:
        case TFieldType::ftReference:
        case TFieldType::ftDataSet: return true;
        default: return false;
    }
}

// Types the engine has no binding for: left unbound, so the engine refuses
// the statement for its marker without a value.
bool LeftToTheEngine(TFieldType type) {
    switch (type) {
        case TFieldType::ftOraBlob:
        case TFieldType::ftOraClob:
        case TFieldType::ftVariant:
        case TFieldType::ftInterface:
        case TFieldType::ftIDispatch:
        case TFieldType::ftGuid:
        case TFieldType::ftFMTBcd: return true;
        default: return false;
    }
}

}  // namespace

void BindStatementParam(const LumFunctions& engine, TLumDataSet* dataSet, LUMHANDLE statement, const TParam& param,
                        std::uint16_t ordinal) {
    const auto check = [&](UNSIGNED32 result) { CheckLCEResult(engine, dataSet, result); };
    const LUMFIELD field = LUM_FIELD_NUMBER(ordinal);
    const TFieldType type = param.DataType();
    if (type == TFieldType::ftUnknown) {
        RaiseLayerError(dataSet,
                        "The field named: '" + param.Name() + "' has the DataType of ftUnknown, which is invalid.");
    }
    if (param.IsNull()) return check(engine.LumSetEmpty(statement, field));
    if (Unsupported(type)) {
        RaiseLayerError(dataSet, "The field named: '" + param.Name() + "' has a DataType that is not supported.");
    }
    if (LeftToTheEngine(type)) return;
    const fw::Variant& value = param.Value();
    switch (type) {
        case TFieldType::ftBoolean: return check(engine.LumSetLogical(statement, field, value.AsBoolean() ? 1 : 0));
        case TFieldType::ftFloat:
        case TFieldType::ftCurrency: return check(engine.LumSetDouble(statement, field, value.AsDouble()));
        case TFieldType::ftDate: return check(engine.LumSetJulian(statement, field, JulianDay(value.AsDouble())));
        case TFieldType::ftTime:
            return check(engine.LumSetMilliseconds(statement, field, MillisecondsOfDay(value.AsDouble())));
        case TFieldType::ftDateTime:
        case TFieldType::ftTimeStamp: {
            std::uint8_t raw[8];
            PutLE32(raw, static_cast<std::uint32_t>(JulianDay(value.AsDouble())));
            PutLE32(raw + 4, static_cast<std::uint32_t>(MillisecondsOfDay(value.AsDouble())));
            return check(engine.LumSetTimeStampRaw(statement, field, raw, sizeof raw));
        }
        case TFieldType::ftBytes:
        case TFieldType::ftVarBytes:
        case TFieldType::ftBlob:
        case TFieldType::ftGraphic: {
            const std::string bytes = value.AsString();
            const auto size = static_cast<UNSIGNED32>(bytes.size());
            return check(engine.LumSetBinary(statement, field, BinaryParamType, size, 0,
                                             reinterpret_cast<const UNSIGNED8*>(bytes.data()), size));
        }
        default: {
            const std::string text = value.AsString();
            return check(engine.LumSetString(statement, field, text.c_str(), static_cast<UNSIGNED32>(text.size())));
        }
    }
}

}  // namespace lum
