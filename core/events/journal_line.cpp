#include "core/events/journal_line.h"

#include <array>
#include <cstdio>
#include <cstdlib>

namespace zelto {
namespace {

constexpr std::int64_t kSecondsPerDay = 86400;

struct CivilDate {
    std::int64_t year;
    int month;
    int day;
};

// The proleptic Gregorian date of a day counted from 1970-01-01, valid far beyond any clock.
CivilDate CivilFromDays(std::int64_t days) {
    days += 719468;
    const std::int64_t era = (days >= 0 ? days : days - 146096) / 146097;
    const std::int64_t dayOfEra = days - era * 146097;
    const std::int64_t yearOfEra =
        (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const std::int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const std::int64_t shiftedMonth = (5 * dayOfYear + 2) / 153;  // March is 0
    const int day = static_cast<int>(dayOfYear - (153 * shiftedMonth + 2) / 5 + 1);
    const int month = static_cast<int>(shiftedMonth < 10 ? shiftedMonth + 3 : shiftedMonth - 9);
    return {yearOfEra + era * 400 + (month <= 2 ? 1 : 0), month, day};
}

std::string Tenths(int tenths) {
    return std::to_string(tenths / 10) + "." + std::to_string(tenths % 10);
}

std::string Reading(std::string_view name, int value, bool inTenths, std::string_view unit) {
    std::string text(name);
    text += '=';
    if (value < 0) {
        return text + "?";
    }
    return text + (inTenths ? Tenths(value) : std::to_string(value)) + std::string(unit);
}

constexpr std::array<std::string_view, 21> kWords = {
    "start",
    "exit",
    "mains-lost",
    "mains-back",
    "link-lost",
    "link-back",
    "battery-low",
    "battery-low-cleared",
    "ups-fault",
    "ups-fault-cleared",
    "countdown-started",
    "countdown-cancelled",
    "countdown-finished",
    "ups-switch-off-sent",
    "ups-cancel-sent",
    "power-request",
    "power-refused",
    "setting-changed",
    "error",
    "port-missing",
    "tray-missing",
};
static_assert(static_cast<std::size_t>(EventKind::TrayMissing) + 1 == kWords.size());

}  // namespace

std::string IsoLocalTime(const Moment& moment) {
    const std::int64_t local = moment.unixSeconds + moment.utcOffsetSeconds;
    std::int64_t days = local / kSecondsPerDay;
    std::int64_t seconds = local % kSecondsPerDay;
    if (seconds < 0) {
        seconds += kSecondsPerDay;
        --days;
    }
    const CivilDate date = CivilFromDays(days);
    const int offsetMinutes = std::abs(moment.utcOffsetSeconds) / 60;
    std::array<char, 48> text{};
    std::snprintf(text.data(), text.size(), "%04lld-%02d-%02dT%02d:%02d:%02d%c%02d:%02d",
                  static_cast<long long>(date.year), date.month, date.day,
                  static_cast<int>(seconds / 3600), static_cast<int>(seconds / 60 % 60),
                  static_cast<int>(seconds % 60), moment.utcOffsetSeconds < 0 ? '-' : '+',
                  offsetMinutes / 60, offsetMinutes % 60);
    return text.data();
}

std::string_view EventWord(EventKind kind) {
    return kWords.at(static_cast<std::size_t>(kind));
}

std::string Field(std::string_view name, std::string_view value) {
    bool quote = value.empty();
    std::string text;
    for (const char c : value) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F) {
            text += ' ';
            quote = true;
        } else if (c == '"' || c == '\\') {
            text += '\\';
            text += c;
            quote = true;
        } else {
            text += c;
            quote = quote || c == ' ';
        }
    }
    return std::string(name) + "=" + (quote ? "\"" + text + "\"" : text);
}

std::string ReadingsText(const Readings& readings) {
    return Reading("mains", readings.mainsTenths, true, "V") + " " +
           Reading("battery", readings.batteryTenths, true, "V") + " " +
           Reading("charge", readings.chargePercent, false, "%") + " " +
           Reading("load", readings.loadPercent, false, "%");
}

std::string JournalLine(const Event& event) {
    std::string line = IsoLocalTime(event.time);
    line += ' ';
    line += EventWord(event.kind);
    if (event.readings) {
        line += ' ' + ReadingsText(*event.readings);
    }
    if (!event.detail.empty()) {
        line += ' ' + event.detail;
    }
    return line;
}

}  // namespace zelto
