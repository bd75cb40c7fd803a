// The string-to-integer conversion against a reference written the other way round: the digits
// are cut out first, their size is judged by comparing digit strings, and only then is a value
// computed. Whatever the input, StrToInt must agree on acceptance, value and error text.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>

#include "core/base/conversion.h"
#include "core/base/errors.h"

namespace {

void Fail(const char* what, std::string_view text) {
    std::fprintf(stderr, "fuzz_conversion: %s for text of %zu bytes:", what, text.size());
    for (const char c : text) {
        std::fprintf(stderr, " %02x", static_cast<unsigned char>(c));
    }
    std::fprintf(stderr, "\n");
    std::abort();
}

bool IsDigitOf(char c, int base) {
    if (c >= '0' && c <= '9') {
        return true;
    }
    const char lower = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
    return base == 16 && lower >= 'a' && lower <= 'f';
}

// Digit strings of the same base compare by length once their leading zeros are gone, and then
// character by character (case folded for hexadecimal).
bool NotAbove(std::string_view digits, std::string_view limit) {
    std::size_t first = 0;
    while (first + 1 < digits.size() && digits[first] == '0') {
        ++first;
    }
    digits.remove_prefix(first);
    if (digits.size() != limit.size()) {
        return digits.size() < limit.size();
    }
    for (std::size_t i = 0; i < digits.size(); ++i) {
        char c = digits[i];
        if (c >= 'a' && c <= 'f') {
            c = static_cast<char>(c - 'a' + 'A');
        }
        if (c != limit[i]) {
            return c < limit[i];
        }
    }
    return true;
}

std::optional<std::int32_t> Reference(std::string_view text) {
    std::string_view rest = text;
    while (!rest.empty() && rest.front() == ' ') {
        rest.remove_prefix(1);
    }
    bool negative = false;
    if (!rest.empty() && (rest.front() == '+' || rest.front() == '-')) {
        negative = rest.front() == '-';
        rest.remove_prefix(1);
    }
    int base = 10;
    for (const std::string_view prefix : {"0x", "0X", "$", "x", "X"}) {
        if (rest.substr(0, prefix.size()) == prefix) {
            base = 16;
            rest.remove_prefix(prefix.size());
            break;
        }
    }
    if (rest.empty()) {
        return std::nullopt;
    }
    for (const char c : rest) {
        if (!IsDigitOf(c, base)) {
            return std::nullopt;
        }
    }
    const std::string_view limit = base == 10 ? (negative ? "2147483648" : "2147483647")
                                              : (negative ? "80000000" : "7FFFFFFF");
    if (!NotAbove(rest, limit)) {
        return std::nullopt;
    }
    const long long magnitude = std::strtoll(std::string(rest).c_str(), nullptr, base);
    return static_cast<std::int32_t>(negative ? -magnitude : magnitude);
}

// The decimal text of a value as the input spelled it: no blanks, no plus sign, no leading zeros.
std::string Canonical(std::string_view text) {
    std::string_view rest = text;
    while (!rest.empty() && rest.front() == ' ') {
        rest.remove_prefix(1);
    }
    bool negative = false;
    if (rest.front() == '+' || rest.front() == '-') {
        negative = rest.front() == '-';
        rest.remove_prefix(1);
    }
    while (rest.size() > 1 && rest.front() == '0') {
        rest.remove_prefix(1);
    }
    return (negative && rest != "0" ? "-" : "") + std::string(rest);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const auto expected = Reference(text);

    std::optional<std::int32_t> got;
    try {
        got = zelto::StrToInt(text);
    } catch (const zelto::Error& e) {
        // The text reaches the message box as a C string, so it ends at a NUL byte.
        const std::string expected = "'" + std::string(text) + "' is not a valid integer value";
        if (std::string(e.what()) != expected.c_str()) {
            Fail("wrong error text", text);
        }
    }
    if (got.has_value() != expected.has_value()) {
        Fail(got ? "accepted what the reference rejects" : "rejected what the reference accepts",
             text);
    }
    if (!got) {
        return 0;
    }
    if (*got != *expected) {
        Fail("value differs from the reference", text);
    }
    const std::string decimal = std::to_string(*got);
    if (zelto::StrToInt(decimal) != *got) {
        Fail("decimal text of the value does not convert back", text);
    }
    const bool hexadecimal = text.find_first_of("$xX") != std::string_view::npos;
    if (!hexadecimal && Canonical(text) != decimal) {
        Fail("decimal input does not round-trip through std::to_string", text);
    }

    // The range check is the conversion plus bounds, with its own error.
    const std::int32_t low = -100;
    const std::int32_t high = 65535;
    try {
        const std::int32_t inRange = zelto::StrToIntInRange(text, low, high);
        if (inRange != *got || inRange < low || inRange > high) {
            Fail("StrToIntInRange accepted a value out of range", text);
        }
    } catch (const zelto::Error& e) {
        if (*got >= low && *got <= high) {
            Fail("StrToIntInRange refused a value in range", text);
        }
        if (std::string(e.what()) != "Range check error") {
            Fail("wrong range error text", text);
        }
    }
    return 0;
}
