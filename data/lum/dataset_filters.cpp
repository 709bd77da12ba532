// TLumDataSet's filters: the Filter text put on the engine cursor as an
// optimised or a plain filter (as LumOptimizedFilters says), the trailing
// "*" that asks for a prefix match, Filtered switched on an open dataset,
// and the OnFilterRecord handler offered each record that is read.
#include <cctype>
#include <string>
#include <vector>

#include "data/lum/dataset.h"

namespace lum {

namespace {

bool IsWordChar(char c) { return std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '_'; }

// The end of a quoted value or bracketed name opened at `start` (one past its
// closing character), or the text's end when it is not closed.
std::size_t EndOfQuoted(const std::string& text, std::size_t start) {
    const char close = text[start] == '[' ? ']' : text[start];
    const std::size_t end = text.find(close, start + 1);
    return end == std::string::npos ? text.size() : end + 1;
}

// Where a CONTAINS call at `at` ends, past its parenthesised argument;
// std::string::npos when the word there is not a CONTAINS call.
std::size_t EndOfContains(const std::string& text, std::size_t at) {
    static const std::string word = "CONTAINS";
    if (at > 0 && IsWordChar(text[at - 1])) return std::string::npos;
    if (text.size() - at < word.size()) return std::string::npos;
    for (std::size_t i = 0; i < word.size(); ++i)
        if (std::toupper(static_cast<unsigned char>(text[at + i])) != word[i]) return std::string::npos;
    std::size_t i = at + word.size();
    while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i])) != 0) ++i;
    if (i >= text.size() || text[i] != '(') return std::string::npos;
    int depth = 0;
    while (i < text.size()) {
        const char c = text[i];
        if (c == '\'' || c == '"' || c == '[') {
            i = EndOfQuoted(text, i);
            continue;
        }
        if (c == '(') ++depth;
        if (c == ')' && --depth == 0) return i + 1;
        ++i;
    }
    return text.size();
}

// Takes the "*" off every quoted value that ends in one and holds more than
// asterisks, leaving CONTAINS arguments and bracketed names as they are.
std::string WithoutTrailingAsterisks(const std::string& text, bool& removed) {
    std::string out;
    out.reserve(text.size());
    std::size_t i = 0;
    while (i < text.size()) {
        const char c = text[i];
        if (c == '[') {
            const std::size_t end = EndOfQuoted(text, i);
            out.append(text, i, end - i);
            i = end;
        } else if (c == '\'' || c == '"') {
            const std::size_t end = EndOfQuoted(text, i);
            std::string literal = text.substr(i, end - i);
            const bool closed = literal.size() >= 2 && literal.back() == c;
            if (closed && literal[literal.size() - 2] == '*' &&
                literal.find_first_not_of('*', 1) < literal.size() - 1) {
                literal.erase(literal.size() - 2, 1);
                removed = true;
            }
            out += literal;
            i = end;
        } else if (const std::size_t end = EndOfContains(text, i); end != std::string::npos) {
            out.append(text, i, end - i);
            i = end;
        } else {
            // A word is copied whole, so that CONTAINS is only found at a word's start.
            std::size_t j = i + 1;
            if (IsWordChar(c))
                while (j < text.size() && IsWordChar(text[j])) ++j;
            out.append(text, i, j - i);
            i = j;
        }
    }
    return out;
}

}  // namespace

std::string TLumDataSet::EngineFilterText(bool& prefix) {
    std::string text = filter_;
    if (engineTableType_ == LUM_LDT) {
        // The engine's own forms give the text one spelling of its values and words.
        const auto convert = [&](auto entry, const std::string& from) {
            std::vector<char> buffer(std::min<std::size_t>(from.size() * 2 + 256, 0xFFFF));
            UNSIGNED16 length = static_cast<UNSIGNED16>(buffer.size());
            UNSIGNED32 rc = (engine_->*entry)(cursorHandle_, from.c_str(), buffer.data(), &length);
            if (rc == LUM_ERR_BUFFER_TOO_SMALL && length < 0xFFFF) {
                buffer.assign(static_cast<std::size_t>(length) + 1, '\0');
                length = static_cast<UNSIGNED16>(buffer.size());
                rc = (engine_->*entry)(cursorHandle_, from.c_str(), buffer.data(), &length);
            }
            Check(rc);
            return std::string(buffer.data(), length);
        };
        text = convert(&LumFunctions::LumExpressionShortToLong, convert(&LumFunctions::LumExpressionLongToShort, text));
    }
    prefix = false;
    return WithoutTrailingAsterisks(text, prefix);
}

void TLumDataSet::ActivateFilter(bool optimized) {
    if (filter_.find_first_not_of(" \t\r\n") == std::string::npos) return;
    bool prefix = false;
    const std::string text = EngineFilterText(prefix);
    if (prefix != exactSwitchedOff_) {
        Check(engine_->LumSetExact22(cursorHandle_, prefix ? 0 : 1));
        exactSwitchedOff_ = prefix;
    }
    if (optimized) {
        Check(engine_->LumSetLOF(cursorHandle_, text.c_str(), options_->LOFOptionBits()));
    } else {
        Check(engine_->LumSetFilter(cursorHandle_, text.c_str()));
    }
}

void TLumDataSet::DeactivateFilter(bool optimized) {
    const UNSIGNED32 rc = optimized ? engine_->LumClearLOF(cursorHandle_) : engine_->LumClearFilter(cursorHandle_);
    if (rc != LUM_ERR_NO_FILTER) Check(rc);
}

void TLumDataSet::SetFilter(const std::string& text) {
    if (!Active() || !Filtered() || cursorHandle_ == 0) {
        filter_ = text;
        return;
    }
    CheckBrowseMode();
    const bool optimized = options_->LumOptimizedFilters();
    const std::string previous = filter_;
    DeactivateFilter(optimized);
    filter_ = text;
    try {
        ActivateFilter(optimized);
    } catch (...) {
        // The previous filter, which the engine took before, stays in force.
        filter_ = previous;
        try {
            ActivateFilter(optimized);
        } catch (...) {
            // The failure being reported says more than this one.
        }
        throw;
    }
    MoveToFirst();
}

void TLumDataSet::SetFiltered(bool value) {
    if (Active() && value != Filtered() && cursorHandle_ != 0) {
        CheckBrowseMode();
        if (value) {
            ActivateFilter(options_->LumOptimizedFilters());
        } else {
            DeactivateFilter(options_->LumOptimizedFilters());
        }
    }
    fw::TDataSet::SetFiltered(value);
}

void TLumDataSet::FilterModeChanged(bool wasOptimized) {
    if (!Filtered() || cursorHandle_ == 0) return;
    CheckBrowseMode();
    DeactivateFilter(wasOptimized);
    try {
        ActivateFilter(!wasOptimized);
    } catch (...) {
        try {
            ActivateFilter(wasOptimized);
        } catch (...) {
            // The failure being reported says more than this one.
        }
        throw;
    }
    MoveToFirst();
}

bool TLumDataSet::AcceptRecord(fw::RecordBuffer& buffer) {
    const bool calculatedFirst = options_->LumCalcFieldsBeforeFilter();
    if (calculatedFirst) {
        CalculateFields(buffer);
    } else {
        // The handler sees no calculated values of the record the buffer held before.
        ClearCalcFields(buffer);
    }
    if (Filtered() && !FilterRecord(buffer)) return false;
    if (!calculatedFirst) CalculateFields(buffer);
    return true;
}

}  // namespace lum
