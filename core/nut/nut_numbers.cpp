#include "core/nut/nut_numbers.h"

#include <array>
#include <charconv>
#include <system_error>

namespace zelto {
namespace {

std::string_view Trimmed(std::string_view text) {
    while (!text.empty() && text.front() == ' ') {
        text.remove_prefix(1);
    }
    while (!text.empty() && text.back() == ' ') {
        text.remove_suffix(1);
    }
    return text;
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// Optional minus, digits, at most one point; at least one digit. from_chars alone would also
// take "inf", "nan" and hexadecimal forms.
bool IsPlainDecimal(std::string_view text) {
    if (!text.empty() && text.front() == '-') {
        text.remove_prefix(1);
    }
    bool digit = false;
    bool point = false;
    for (const char c : text) {
        if (IsDigit(c)) {
            digit = true;
        } else if (c == '.' && !point) {
            point = true;
        } else {
            return false;
        }
    }
    return digit;
}

}  // namespace

std::optional<double> ParseNutDecimal(std::string_view text) {
    text = Trimmed(text);
    if (!IsPlainDecimal(text)) {
        return std::nullopt;
    }
    double value = 0;
    const auto [end, error] =
        std::from_chars(text.data(), text.data() + text.size(), value, std::chars_format::fixed);
    if (error != std::errc() || end != text.data() + text.size()) {
        return std::nullopt;
    }
    return value;
}

std::string FormatNutFixed(double value, int decimals) {
    std::array<char, 64> buffer{};
    const auto [end, error] = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value,
                                            std::chars_format::fixed, decimals);
    if (error != std::errc()) {
        return "0";
    }
    std::string text(buffer.data(), end);
    // "-0.0" from a small negative reading reads as zero to every client.
    if (text.find_first_not_of("-0.") == std::string::npos && text.front() == '-') {
        text.erase(0, 1);
    }
    return text;
}

std::optional<int> ParseNutInt(std::string_view text, int low, int high) {
    text = Trimmed(text);
    if (text.empty() || !IsDigit(text.back()) || text.front() == '+') {
        return std::nullopt;
    }
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || value < low || value > high) {
        return std::nullopt;
    }
    return value;
}

}  // namespace zelto
