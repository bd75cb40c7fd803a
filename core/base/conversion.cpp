#include "core/base/conversion.h"

#include <cstddef>

#include "core/base/errors.h"

namespace zelto {
namespace {

int DigitValue(char c, int base) {
    int value = -1;
    if (c >= '0' && c <= '9') {
        value = c - '0';
    } else if (c >= 'a' && c <= 'f') {
        value = c - 'a' + 10;
    } else if (c >= 'A' && c <= 'F') {
        value = c - 'A' + 10;
    }
    return value < base ? value : -1;
}

bool StartsWith(std::string_view text, std::size_t at, std::string_view prefix) {
    return text.substr(at, prefix.size()) == prefix;
}

}  // namespace

std::int32_t StrToInt(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && text[i] == ' ') {
        ++i;
    }
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) {
        negative = text[i] == '-';
        ++i;
    }
    int base = 10;
    if (StartsWith(text, i, "0x") || StartsWith(text, i, "0X")) {
        base = 16;
        i += 2;
    } else if (i < text.size() && (text[i] == '$' || text[i] == 'x' || text[i] == 'X')) {
        base = 16;
        i += 1;
    }
    if (i == text.size()) {
        throw NotValidInteger(text);
    }
    // The magnitude may reach 2^31 only for a negative value.
    const std::int64_t limit = negative ? 2147483648LL : 2147483647LL;
    std::int64_t magnitude = 0;
    for (; i < text.size(); ++i) {
        const int digit = DigitValue(text[i], base);
        if (digit < 0) {
            throw NotValidInteger(text);
        }
        magnitude = magnitude * base + digit;
        if (magnitude > limit) {
            throw NotValidInteger(text);
        }
    }
    return static_cast<std::int32_t>(negative ? -magnitude : magnitude);
}

std::int32_t StrToIntInRange(std::string_view text, std::int32_t low, std::int32_t high) {
    const std::int32_t value = StrToInt(text);
    if (value < low || value > high) {
        throw RangeCheckError();
    }
    return value;
}

}  // namespace zelto
