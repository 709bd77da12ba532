// Locating records by key values (Locate, Lookup) and searching with the
// filter handler (FindFirst and its kin). A key search seeks on an index that
// leads with the key fields; without one, each record in the active order is
// tested with an engine expression built from the fields and values.
#include <charconv>
#include <cmath>
#include <cstdio>

#include "data/lum/dataset.h"
#include "framework/format.h"
#include "framework/text_compare.h"

namespace lum {

using fw::TFieldType;

namespace {

std::string Trimmed(const std::string& text) {
    const auto first = text.find_first_not_of(' ');
    if (first == std::string::npos) return {};
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

std::vector<std::string> SplitNames(const std::string& names) {
    std::vector<std::string> parts;
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = names.find(';', start);
        const std::string part = Trimmed(names.substr(start, end == std::string::npos ? end : end - start));
        if (!part.empty()) parts.push_back(part);
        if (end == std::string::npos) return parts;
        start = end + 1;
    }
}

LocateValueKind KindOf(TFieldType type) {
    switch (type) {
        case TFieldType::ftBoolean: return LocateValueKind::Logical;
        case TFieldType::ftDate: return LocateValueKind::Date;
        case TFieldType::ftTime: return LocateValueKind::Time;
        case TFieldType::ftDateTime:
        case TFieldType::ftTimeStamp: return LocateValueKind::Timestamp;
        case TFieldType::ftSmallint:
        case TFieldType::ftInteger:
        case TFieldType::ftWord:
        case TFieldType::ftFloat:
        case TFieldType::ftCurrency:
        case TFieldType::ftBCD:
        case TFieldType::ftAutoInc:
        case TFieldType::ftLargeint:
        case TFieldType::ftFMTBcd: return LocateValueKind::Number;
        default: return LocateValueKind::Text;
    }
}

bool IsIntegral(TFieldType type) {
    return type == TFieldType::ftSmallint || type == TFieldType::ftInteger || type == TFieldType::ftWord ||
           type == TFieldType::ftAutoInc || type == TFieldType::ftLargeint;
}

bool Absent(const fw::Variant& value) { return value.IsNull() || value.IsEmpty(); }

std::string TwoDigits(int value) {
    char text[8];
    std::snprintf(text, sizeof text, "%02d", value);
    return text;
}

std::string DateText(double dateTime) {
    int year = 0, month = 0, day = 0;
    fw::DecodeDate(dateTime, year, month, day);
    char text[16];
    std::snprintf(text, sizeof text, "%02d/%02d/%04d", month, day, year);
    return text;
}

std::string TimeText(double dateTime) {
    int hour = 0, minute = 0, second = 0, millisecond = 0;
    fw::DecodeTime(dateTime, hour, minute, second, millisecond);
    std::string text = TwoDigits(hour) + ":" + TwoDigits(minute) + ":" + TwoDigits(second);
    if (millisecond != 0) {
        char fraction[8];
        std::snprintf(fraction, sizeof fraction, ".%03d", millisecond);
        text += fraction;
    }
    return text;
}

// A number as the expression writes it: only digits, sign, point and
// exponent, whatever the value held; none for a value that is no number.
std::optional<std::string> NumberText(const fw::Variant& value) {
    if (value.Type() == fw::VarType::Integer) return std::to_string(value.AsInteger());
    if (value.Type() == fw::VarType::Currency || value.Type() == fw::VarType::Decimal) return value.AsString();
    const double number = value.AsDouble();
    if (!std::isfinite(number)) return std::nullopt;
    char text[32];
    const auto result = std::to_chars(text, text + sizeof text, number);
    return std::string(text, result.ptr);
}

// The part of the search for one key field; none when no record can hold
// the value (a text longer than its column, a fraction for a whole number).
std::optional<LocateTerm> TermFor(const fw::TField& field, const fw::Variant& value) {
    LocateTerm term{field.FieldName(), KindOf(field.DataType()), std::nullopt};
    if (Absent(value)) return term;
    switch (term.Kind) {
        case LocateValueKind::Text: {
            term.Value = value.AsString();
            const bool fixed = field.DataType() == TFieldType::ftString || field.DataType() == TFieldType::ftFixedChar;
            if (fixed && field.Size() > 0 && Trimmed(*term.Value).size() > static_cast<std::size_t>(field.Size()))
                return std::nullopt;
            break;
        }
        case LocateValueKind::Number:
            term.Value = NumberText(value);
            if (!term.Value) return std::nullopt;
            if (IsIntegral(field.DataType()) && value.AsDouble() != std::floor(value.AsDouble())) return std::nullopt;
            break;
        case LocateValueKind::Date: term.Value = DateText(value.AsDouble()); break;
        case LocateValueKind::Time: term.Value = TimeText(value.AsDouble()); break;
        case LocateValueKind::Timestamp:
            term.Value = DateText(value.AsDouble()) + " " + TimeText(value.AsDouble());
            break;
        case LocateValueKind::Logical: term.Value = value.AsBoolean() ? "T" : "F"; break;
    }
    return term;
}

}  // namespace

std::vector<fw::TField*> TLumDataSet::KeyFieldList(const std::string& names) const {
    std::vector<fw::TField*> fields;
    for (const std::string& name : SplitNames(names)) fields.push_back(&FieldNamed(name));
    return fields;
}

bool TLumDataSet::Locate(const std::string& keyFields, const std::vector<fw::Variant>& keyValues,
                         TLocateOptions options) {
    CheckBrowseMode();
    if (BeforeScroll) BeforeScroll(*this);
    fw::RecordBuffer buffer(recordBufferSize_);
    if (!LocateRecord(keyFields, keyValues, options, buffer)) return false;
    ReadWindowAroundCursor(true);
    if (AfterScroll) AfterScroll(*this);
    return true;
}

std::vector<fw::Variant> TLumDataSet::Lookup(const std::string& keyFields, const std::vector<fw::Variant>& keyValues,
                                             const std::string& resultFields) {
    CheckBrowseMode();
    const std::vector<fw::TField*> results = KeyFieldList(resultFields);
    std::vector<fw::Variant> values(results.size(), fw::Variant::Null());
    fw::RecordBuffer buffer(recordBufferSize_);
    if (!LocateRecord(keyFields, keyValues, {}, buffer)) return values;
    // The fields read the record found; the window and the state stay as they are.
    const fw::TDataSetState saved = SetTempState(fw::TDataSetState::dsCalcFields);
    lookupRecord_ = &buffer;
    try {
        for (std::size_t i = 0; i < results.size(); ++i)
            if (results[i]->FieldKind() == fw::TFieldKind::fkData) values[i] = results[i]->ValueAsVariant();
    } catch (...) {
        lookupRecord_ = nullptr;
        RestoreState(saved);
        throw;
    }
    lookupRecord_ = nullptr;
    RestoreState(saved);
    return values;
}

bool TLumDataSet::LocateRecord(const std::string& keyFields, const std::vector<fw::Variant>& keyValues,
                               TLocateOptions options, fw::RecordBuffer& buffer) {
    CheckActive();
    const std::vector<fw::TField*> fields = KeyFieldList(keyFields);
    if (fields.empty() || fields.size() != keyValues.size()) {
        RaiseLayerError(this, "A record search needs one value for each key field: " + std::to_string(fields.size()) +
                                  " fields and " + std::to_string(keyValues.size()) + " values were given.");
    }
    // From here on the cursor stands wherever the search leaves it.
    CursorPosChanged();
    std::vector<LocateTerm> terms;
    for (std::size_t i = 0; i < fields.size(); ++i) {
        std::optional<LocateTerm> term = TermFor(*fields[i], keyValues[i]);
        if (!term) return false;
        terms.push_back(std::move(*term));
    }
    if (const LUMHANDLE index = SeekIndexFor(fields, options); index != 0) {
        if (!SeekKey(index, fields, keyValues, options)) return false;
        // The record found is the answer when the dataset shows it; one that a
        // scope or a filter hides leaves the search to the expression.
        if (FetchRecord(buffer, fw::TFetchMode::Current) == fw::TFetchResult::Ok) return true;
    }
    return ScanForExpression(BuildLocateExpression(terms, options), options.Has(TLocateOption::loPartialKey), buffer);
}

LUMHANDLE TLumDataSet::SeekIndexFor(const std::vector<fw::TField*>& fields, TLocateOptions options) {
    bool text = false;
    std::string names;
    for (const fw::TField* field : fields) {
        if (field->FieldKind() != fw::TFieldKind::fkData || field->FieldNo() < 1) return 0;
        text = text || KindOf(field->DataType()) == LocateValueKind::Text;
        if (!names.empty()) names += ';';
        names += field->FieldName();
    }
    // An index orders by letter case, and whole values: a prefix of a text
    // goes through a text key, which holds only the first segment.
    if (text && options.Has(TLocateOption::loCaseInsensitive)) return 0;
    if (text && options.Has(TLocateOption::loPartialKey) && fields.size() != 1) return 0;
    ReadIndexDefsFromEngine();
    // The active index first, so the record found is the first in the order shown.
    if (activeHandle_ != cursorHandle_ && activeHandle_ != NoHandle) {
        char name[260] = {};
        UNSIGNED16 length = sizeof name;
        Check(engine_->LumGetIndexName(activeHandle_, name, &length));
        for (std::size_t i = 0; i < indexDefs_.Count(); ++i) {
            const fw::TIndexDef& def = indexDefs_[i];
            if (!fw::SameText(def.Name, name)) continue;
            fw::TIndexDefs active;
            active.Add(def.Name, def.Fields, def.Options);
            if (active.FindIndexForFields(names) != nullptr) return activeHandle_;
        }
    }
    const fw::TIndexDef* def = indexDefs_.FindIndexForFields(names);
    if (def == nullptr) return 0;
    LUMHANDLE index = 0;
    Check(engine_->LumGetIndexHandle(cursorHandle_, def->Name.c_str(), &index));
    return index;
}

bool TLumDataSet::SeekKey(LUMHANDLE index, const std::vector<fw::TField*>& fields,
                          const std::vector<fw::Variant>& values, TLocateOptions options) {
    UNSIGNED16 found = 0;
    if (options.Has(TLocateOption::loPartialKey) && fields.size() == 1 && !Absent(values.front()) &&
        KindOf(fields.front()->DataType()) == LocateValueKind::Text) {
        const std::string text = values.front().AsString();
        if (text.size() > RawKeyAreaSize) return false;
        Check(engine_->LumSeek(index, reinterpret_cast<const UNSIGNED8*>(text.data()),
                               static_cast<UNSIGNED16>(text.size()), LUM_STRINGKEY, LUM_HARDSEEK, &found));
        return found != 0;
    }
    // The values go into the search key as into a range's key, for this index.
    KeyBuffer& key = Key(KeyKind::SearchKey);
    const fw::TDataSetState saved = SetTempState(fw::TDataSetState::dsSetKey);
    const auto restore = [&] {
        currentKey_ = nullptr;
        searchIndex_ = 0;
        RestoreState(saved);
    };
    try {
        searchIndex_ = index;
        ResetKey(key);
        currentKey_ = &key;
        key.Changed = true;
        for (std::size_t i = 0; i < fields.size(); ++i) {
            fields[i]->SetValueAsVariant(Absent(values[i]) ? fw::Variant::Null() : values[i]);
        }
        key.FieldCount = static_cast<std::int32_t>(fields.size());
    } catch (...) {
        restore();
        throw;
    }
    restore();
    std::vector<std::uint8_t> area(RawKeyAreaSize);
    UNSIGNED16 length = RawKeyAreaSize;
    ComposeRangeKey(index, key, area.data(), length);
    Check(engine_->LumSeek(index, area.data(), length, LUM_RAWKEY, LUM_HARDSEEK, &found));
    return found != 0;
}

namespace {
// The engine compares "=" as whole texts unless exact matching is off; a
// partial search switches it off for its own evaluations only, so that the
// filter deciding which records are visible keeps its own matching.
class PrefixMatching {
public:
    PrefixMatching(const LumFunctions& engine, LUMHANDLE cursor, bool active)
        : engine_(engine), cursor_(cursor), active_(active) {}
    ~PrefixMatching() {
        if (active_) engine_.LumSetExact22(cursor_, 1);  // failures here leave the next filter call to report
    }
    PrefixMatching(const PrefixMatching&) = delete;
    PrefixMatching& operator=(const PrefixMatching&) = delete;
    UNSIGNED32 Begin() const { return active_ ? engine_.LumSetExact22(cursor_, 0) : 0; }

private:
    const LumFunctions& engine_;
    LUMHANDLE cursor_;
    bool active_;
};
}  // namespace

bool TLumDataSet::ScanForExpression(const std::string& expression, bool prefix, fw::RecordBuffer& buffer) {
    // Exact matching may already be off for a prefix filter.
    const bool switchOff = prefix && !exactSwitchedOff_;
    SeekBeforeFirst();
    for (fw::TFetchResult result = FetchRecord(buffer, fw::TFetchMode::Next); result == fw::TFetchResult::Ok;
         result = FetchRecord(buffer, fw::TFetchMode::Next)) {
        UNSIGNED16 match = 0;
        {
            PrefixMatching matching(*engine_, cursorHandle_, switchOff);
            Check(matching.Begin());
            Check(engine_->LumEvalLogicalExpr(cursorHandle_, expression.c_str(), &match));
        }
        if (match != 0) return true;
    }
    return false;
}

bool TLumDataSet::FindRecord(bool restart, bool goForward) {
    CheckBrowseMode();
    if (!OnFilterRecord) RaiseLayerError(this, "Expected OnFilterRecord event.");
    if (BeforeScroll) BeforeScroll(*this);
    const fw::TFetchMode mode = goForward ? fw::TFetchMode::Next : fw::TFetchMode::Prior;
    if (restart) {
        CursorPosChanged();
        if (goForward) {
            SeekBeforeFirst();
        } else {
            SeekAfterLast();
        }
    } else {
        // Onward from the active record; an empty dataset has none to start from.
        if (IsEmpty()) return false;
        UpdateCursorPos();
        CursorPosChanged();
    }
    fw::RecordBuffer buffer(recordBufferSize_);
    for (fw::TFetchResult result = FetchRecord(buffer, mode); result == fw::TFetchResult::Ok;
         result = FetchRecord(buffer, mode)) {
        if (!FilterRecord(buffer)) continue;
        ReadWindowAroundCursor(true);
        if (AfterScroll) AfterScroll(*this);
        return true;
    }
    return false;
}

}  // namespace lum
