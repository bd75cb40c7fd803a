#include "core/nut/nut_address.h"

#include <algorithm>
#include <cstddef>
#include <iterator>
#include <optional>
#include <vector>

#include "core/nut/nut_numbers.h"

namespace zelto {
namespace {

std::vector<std::string_view> Split(std::string_view text, char separator) {
    std::vector<std::string_view> parts;
    std::size_t start = 0;
    while (true) {
        const std::size_t end = text.find(separator, start);
        parts.push_back(text.substr(start, end == std::string_view::npos ? end : end - start));
        if (end == std::string_view::npos) {
            return parts;
        }
        start = end + 1;
    }
}

bool IsIpv4(std::string_view address) {
    const auto parts = Split(address, '.');
    if (parts.size() != 4) {
        return false;
    }
    for (const std::string_view part : parts) {
        if (part.empty() || part.size() > 3 || part.front() == ' ' || part.back() == ' ' ||
            !ParseNutInt(part, 0, 255)) {
            return false;
        }
    }
    return true;
}

bool IsHexGroup(std::string_view group) {
    return !group.empty() && group.size() <= 4 &&
           group.find_first_not_of("0123456789abcdefABCDEF") == std::string_view::npos;
}

// Groups of one side of "::" (or of the whole address); an IPv4 tail counts as two groups.
// Nothing when a group is malformed.
std::optional<std::size_t> CountGroups(std::string_view side, bool mayEndInIpv4) {
    if (side.empty()) {
        return 0;
    }
    const auto groups = Split(side, ':');
    std::size_t count = 0;
    for (std::size_t i = 0; i < groups.size(); ++i) {
        if (IsHexGroup(groups[i])) {
            ++count;
        } else if (mayEndInIpv4 && i + 1 == groups.size() && IsIpv4(groups[i])) {
            count += 2;
        } else {
            return std::nullopt;
        }
    }
    return count;
}

bool IsIpv6(std::string_view address) {
    const std::size_t gap = address.find("::");
    if (gap == std::string_view::npos) {
        return CountGroups(address, true) == std::optional<std::size_t>(8);
    }
    if (address.find("::", gap + 1) != std::string_view::npos) {
        return false;
    }
    const std::string_view right = address.substr(gap + 2);
    const auto left = CountGroups(address.substr(0, gap), false);
    const auto rightCount = CountGroups(right, true);
    return left && rightCount && *left + *rightCount <= 7;
}

}  // namespace

bool IsNutListenAddress(std::string_view address) {
    return IsIpv4(address) || (address.find(':') != std::string_view::npos && IsIpv6(address));
}

std::string NutPeerText(const std::uint8_t* bytes, std::size_t count) {
    const auto v4 = [](const std::uint8_t* b) {
        return std::to_string(b[0]) + '.' + std::to_string(b[1]) + '.' + std::to_string(b[2]) +
               '.' + std::to_string(b[3]);
    };
    if (count == 4) {
        return v4(bytes);
    }
    if (count != 16) {
        return "?";
    }
    constexpr std::uint8_t kMapped[12] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xff, 0xff};
    if (std::equal(std::begin(kMapped), std::end(kMapped), bytes)) {
        return v4(bytes + 12);
    }
    std::array<unsigned, 8> groups{};
    for (std::size_t i = 0; i < groups.size(); ++i) {
        groups[i] = static_cast<unsigned>(bytes[2 * i] << 8 | bytes[2 * i + 1]);
    }
    // The longest run of two or more zero groups, the first of equal ones, becomes "::".
    std::size_t bestStart = groups.size();
    std::size_t bestLength = 1;
    for (std::size_t i = 0; i < groups.size();) {
        std::size_t end = i;
        while (end < groups.size() && groups[end] == 0) {
            ++end;
        }
        if (end - i > bestLength) {
            bestStart = i;
            bestLength = end - i;
        }
        i = end == i ? i + 1 : end;
    }
    static const char kHex[] = "0123456789abcdef";
    std::string text;
    for (std::size_t i = 0; i < groups.size(); ++i) {
        if (i == bestStart) {
            text += "::";
            i += bestLength - 1;
            continue;
        }
        if (!text.empty() && text.back() != ':') {
            text += ':';
        }
        bool started = false;
        for (int shift = 12; shift >= 0; shift -= 4) {
            const unsigned digit = groups[i] >> shift & 0xF;
            if (started || digit != 0 || shift == 0) {
                text += kHex[digit];
                started = true;
            }
        }
    }
    return text;
}

}  // namespace zelto
