#pragma once
// The 24-hour chart as plain numbers: where each kept reading lands, where a line breaks, the
// round value scales and the hour marks. The front end only draws what these say.

#include <cstdint>
#include <optional>
#include <vector>

#include "core/events/event.h"
#include "core/events/history.h"

namespace zelto {

inline constexpr std::int64_t kChartSeconds = 24 * 60 * 60;

enum class ChartSeries { Mains, Output, Battery, Load, Charge };

// A series' reading in the unit it is drawn in (volts or percent); nothing where not known.
std::optional<double> SeriesValue(const Readings& readings, ChartSeries series);

// A rectangle in the drawing's coordinates, y growing downwards.
struct ChartArea {
    double left = 0;
    double top = 0;
    double width = 0;
    double height = 0;
};

struct ValueScale {
    double low = 0;
    double high = 1;
    double step = 1;  // between two labelled lines
};

// Round numbers around [low, high]: a step of 1, 2 or 5 times a power of ten, the fewest that
// keeps to `maxSteps` steps, and both ends on a multiple of it. An empty range gets one step.
ValueScale RoundScale(double low, double high, int maxSteps);

// The scale of a pane that shows `series`: the round range of their readings in the points, or
// `fallbackLow`-`fallbackHigh` when none has one.
ValueScale ScaleOf(const std::vector<HistoryPoint>& points, const std::vector<ChartSeries>& series,
                   double fallbackLow, double fallbackHigh, int maxSteps);

struct ChartPoint {
    double x = 0;
    double y = 0;
};
using ChartLine = std::vector<ChartPoint>;

// The lines of one series over the 24 hours up to `now`, the oldest at the area's left edge and
// `now` at its right. A line breaks where a slot holds no record or the series no reading, so a
// gap stays empty; a line may be a single point. Values outside the scale stay on the edge.
std::vector<ChartLine> SeriesLines(const std::vector<HistoryPoint>& points, ChartSeries series,
                                   std::int64_t now, const ValueScale& scale,
                                   const ChartArea& area);

struct HourMark {
    double x = 0;
    int hour = 0;  // local time, 0-23
};

// Every full local hour in the 24 hours up to `now`, oldest first.
std::vector<HourMark> HourMarks(const Moment& now, const ChartArea& area);

}  // namespace zelto
