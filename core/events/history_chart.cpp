#include "core/events/history_chart.h"

#include <algorithm>
#include <cmath>

namespace zelto {
namespace {

double Clamp(double value, double low, double high) {
    return std::min(std::max(value, low), high);
}

double XOf(std::int64_t unixSeconds, std::int64_t now, const ChartArea& area) {
    const double fraction = static_cast<double>(unixSeconds - (now - kChartSeconds)) /
                            static_cast<double>(kChartSeconds);
    return area.left + area.width * Clamp(fraction, 0.0, 1.0);
}

// Whole steps in `value`, rounded down or up, forgiving the last bit of a division that should
// have come out even (226.4 / 0.1).
double StepsDown(double value, double step) {
    return std::floor(value / step + 1e-9);
}

double StepsUp(double value, double step) {
    return std::ceil(value / step - 1e-9);
}

double YOf(double value, const ValueScale& scale, const ChartArea& area) {
    const double fraction = (scale.high - value) / (scale.high - scale.low);
    return area.top + area.height * Clamp(fraction, 0.0, 1.0);
}

}  // namespace

std::optional<double> SeriesValue(const Readings& readings, ChartSeries series) {
    int value = -1;
    double unit = 1.0;
    switch (series) {
        case ChartSeries::Mains:
            value = readings.mainsTenths;
            unit = 0.1;
            break;
        case ChartSeries::Output:
            value = readings.outputTenths;
            unit = 0.1;
            break;
        case ChartSeries::Battery:
            value = readings.batteryTenths;
            unit = 0.1;
            break;
        case ChartSeries::Load:
            value = readings.loadPercent;
            break;
        case ChartSeries::Charge:
            value = readings.chargePercent;
            break;
    }
    if (value < 0) {
        return std::nullopt;
    }
    return value * unit;
}

ValueScale RoundScale(double low, double high, int maxSteps) {
    maxSteps = std::max(maxSteps, 1);
    if (high < low) {
        std::swap(low, high);
    }
    double step = 1.0;
    if (high > low) {
        // The smallest 1-2-5 step that covers the range in `maxSteps`.
        double power = std::pow(10.0, std::floor(std::log10((high - low) / maxSteps)));
        for (;;) {
            bool found = false;
            for (const double factor : {1.0, 2.0, 5.0}) {
                step = factor * power;
                if (StepsUp(high, step) - StepsDown(low, step) <= maxSteps) {
                    found = true;
                    break;
                }
            }
            if (found) {
                break;
            }
            power *= 10.0;
        }
    } else {
        step = high == 0.0 ? 1.0 : std::pow(10.0, std::floor(std::log10(std::abs(high))));
    }
    ValueScale scale{StepsDown(low, step) * step, StepsUp(high, step) * step, step};
    if (scale.high <= scale.low) {
        scale.high = scale.low + step;
    }
    return scale;
}

ValueScale ScaleOf(const std::vector<HistoryPoint>& points, const std::vector<ChartSeries>& series,
                   double fallbackLow, double fallbackHigh, int maxSteps) {
    std::optional<double> low;
    std::optional<double> high;
    for (const HistoryPoint& point : points) {
        for (const ChartSeries one : series) {
            if (const auto value = SeriesValue(point.readings, one)) {
                low = std::min(low.value_or(*value), *value);
                high = std::max(high.value_or(*value), *value);
            }
        }
    }
    if (!low) {
        return RoundScale(fallbackLow, fallbackHigh, maxSteps);
    }
    return RoundScale(*low, *high, maxSteps);
}

std::vector<ChartLine> SeriesLines(const std::vector<HistoryPoint>& points, ChartSeries series,
                                   std::int64_t now, const ValueScale& scale,
                                   const ChartArea& area) {
    std::vector<ChartLine> lines;
    std::optional<std::int64_t> previous;  // the slot of the last point drawn
    for (const HistoryPoint& point : points) {
        // A slot that began before the 24 hours may still reach into them.
        if (point.unixSeconds > now ||
            point.unixSeconds <= now - kChartSeconds - kHistorySlotSeconds) {
            continue;
        }
        const auto value = SeriesValue(point.readings, series);
        if (!value) {
            previous.reset();
            continue;
        }
        // Neighbouring slots join; a slot without a record between them breaks the line.
        if (!previous || point.unixSeconds - *previous > kHistorySlotSeconds) {
            lines.emplace_back();
        }
        lines.back().push_back({XOf(point.unixSeconds, now, area), YOf(*value, scale, area)});
        previous = point.unixSeconds;
    }
    return lines;
}

std::vector<HourMark> HourMarks(const Moment& now, const ChartArea& area) {
    constexpr std::int64_t kHour = 60 * 60;
    const std::int64_t localNow = now.unixSeconds + now.utcOffsetSeconds;
    const std::int64_t localStart = localNow - kChartSeconds;
    // The first full hour from the start on; rounded up, also before 1970.
    std::int64_t hour = localStart / kHour + (localStart % kHour > 0 ? 1 : 0);
    std::vector<HourMark> marks;
    for (; hour * kHour <= localNow; ++hour) {
        const std::int64_t local = hour * kHour;
        const auto hourOfDay = static_cast<int>(((hour % 24) + 24) % 24);
        marks.push_back({XOf(local - now.utcOffsetSeconds, now.unixSeconds, area), hourOfDay});
    }
    return marks;
}

}  // namespace zelto
