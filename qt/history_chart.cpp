#include "qt/history_chart.h"

#include <optional>

#include "qt/widgets.h"

#include <QFontMetrics>
#include <QPainter>
#include <QPainterPath>
#include <QPalette>

#include <algorithm>
#include <array>
#include <cmath>
#include <utility>

namespace zelto {
namespace {

struct Pane {
    std::vector<ChartSeries> series;
    std::optional<TextId> unit;  // none: "%"
    // The range shown before there is any reading, or always when `fixed`.
    double fallbackLow;
    double fallbackHigh;
    bool fixed;
    int weight;  // share of the height
};

const std::array<Pane, HistoryChart::kPanes>& Panes() {
    static const std::array<Pane, HistoryChart::kPanes> panes = {{
        {{ChartSeries::Mains, ChartSeries::Output}, TextId::ChartVolts, 200, 240, false, 4},
        {{ChartSeries::Battery}, TextId::ChartVolts, 10, 14, false, 3},
        {{ChartSeries::Load, ChartSeries::Charge}, std::nullopt, 0, 100, true, 4},
    }};
    return panes;
}

struct Legend {
    ChartSeries series;
    TextId name;
};

constexpr Legend kLegend[] = {{ChartSeries::Mains, TextId::ChartMains},
                              {ChartSeries::Output, TextId::ChartOutput},
                              {ChartSeries::Battery, TextId::ChartBattery},
                              {ChartSeries::Load, TextId::ChartLoad},
                              {ChartSeries::Charge, TextId::ChartCharge}};

constexpr int kLeftMargin = 46;  // the value labels
constexpr int kRightMargin = 8;
constexpr int kPaneGap = 6;

// As many labelled lines as fit with room between their labels, five at most.
int MaxSteps(int paneHeight, int fontHeight) {
    return std::clamp(paneHeight / (2 * std::max(fontHeight, 1)), 1, 5);
}

QString Number(double value, double step) {
    // As many decimals as the step needs: "230", "12.5", "0.2".
    const int decimals = step >= 1.0 ? 0 : static_cast<int>(std::ceil(-std::log10(step) - 1e-9));
    return QString::number(value, 'f', decimals);
}

ChartArea AreaOf(const QRect& rect) {
    return ChartArea{static_cast<double>(rect.left()), static_cast<double>(rect.top()),
                     static_cast<double>(rect.width()), static_cast<double>(rect.height())};
}

}  // namespace

HistoryChart::HistoryChart(Language language, QWidget* parent)
    : QWidget(parent), language_(language) {
    setObjectName("HistoryChart");
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void HistoryChart::SetPoints(std::vector<HistoryPoint> points, const Moment& now) {
    points_ = std::move(points);
    now_ = now;
    update();
}

QColor HistoryChart::SeriesColor(ChartSeries series) {
    switch (series) {
        case ChartSeries::Mains:
            return QColor(0x1f, 0x5f, 0xd0);
        case ChartSeries::Output:
            return QColor(0x20, 0xa0, 0x40);
        case ChartSeries::Battery:
            return QColor(0xe0, 0x80, 0x00);
        case ChartSeries::Load:
            return QColor(0xc0, 0x20, 0x30);
        case ChartSeries::Charge:
            return QColor(0x80, 0x40, 0xc0);
    }
    return Qt::black;
}

QRect HistoryChart::PlotArea(int pane) const {
    const QFontMetrics metrics(font());
    const int legend = metrics.height() + 6;
    const int axis = metrics.height() + 4;
    const int top = legend;
    const int height = std::max(this->height() - legend - axis - kPaneGap * (kPanes - 1), kPanes);
    int weights = 0;
    for (const Pane& p : Panes()) {
        weights += p.weight;
    }
    int y = top;
    for (int i = 0; i < pane; ++i) {
        y += height * Panes()[static_cast<std::size_t>(i)].weight / weights + kPaneGap;
    }
    const int paneHeight = height * Panes()[static_cast<std::size_t>(pane)].weight / weights;
    return QRect(kLeftMargin, y, std::max(width() - kLeftMargin - kRightMargin, 1), paneHeight);
}

ValueScale HistoryChart::ScaleOfPane(int pane) const {
    const Pane& p = Panes()[static_cast<std::size_t>(pane)];
    const int maxSteps = MaxSteps(PlotArea(pane).height(), QFontMetrics(font()).height());
    if (p.fixed) {
        return RoundScale(p.fallbackLow, p.fallbackHigh, maxSteps);
    }
    return ScaleOf(points_, p.series, p.fallbackLow, p.fallbackHigh, maxSteps);
}

void HistoryChart::paintEvent(QPaintEvent* /*event*/) {
    QPainter painter(this);
    painter.fillRect(rect(), palette().color(QPalette::Window));
    const QFontMetrics metrics(font());
    const QColor text = palette().color(QPalette::WindowText);
    const QColor grid(0xdc, 0xdc, 0xdc);

    // The legend along the top.
    int x = kLeftMargin;
    for (const Legend& item : kLegend) {
        const QString name = ShownText(language_, item.name);
        const int middle = metrics.height() / 2 + 2;
        painter.fillRect(QRect(x, middle - 2, 14, 4), SeriesColor(item.series));
        painter.setPen(text);
        painter.drawText(QPoint(x + 18, metrics.ascent() + 2), name);
        x += 18 + metrics.horizontalAdvance(name) + 14;
    }

    const auto marks = HourMarks(now_, AreaOf(PlotArea(0)));
    for (int pane = 0; pane < kPanes; ++pane) {
        const QRect area = PlotArea(pane);
        const ChartArea chartArea = AreaOf(area);
        const ValueScale scale = ScaleOfPane(pane);
        const Pane& p = Panes()[static_cast<std::size_t>(pane)];
        painter.setRenderHint(QPainter::Antialiasing, false);
        painter.fillRect(area, palette().color(QPalette::Base));

        // Hour marks, midnight darker; value lines with their labels at the left.
        for (const HourMark& mark : marks) {
            painter.setPen(mark.hour == 0 ? QColor(0xa0, 0xa0, 0xa0) : grid);
            const int mx = static_cast<int>(std::lround(mark.x));
            painter.drawLine(mx, area.top(), mx, area.bottom());
        }
        const int steps = static_cast<int>(std::lround((scale.high - scale.low) / scale.step));
        for (int step = 0; step <= steps; ++step) {
            const double value = scale.low + step * scale.step;
            const int y = area.bottom() -
                          static_cast<int>(std::lround(area.height() * step / std::max(steps, 1)));
            painter.setPen(grid);
            painter.drawLine(area.left(), y, area.right(), y);
            painter.setPen(text);
            const QString label = Number(value, scale.step) + QStringLiteral(" ") +
                                  (p.unit ? ShownText(language_, *p.unit) : QStringLiteral("%"));
            // Kept inside the pane, so that the labels at two panes' edges do not meet.
            const int boxTop = std::clamp(y - metrics.height() / 2, area.top(),
                                          area.bottom() + 1 - metrics.height());
            const QRect box(0, boxTop, kLeftMargin - 4, metrics.height());
            painter.drawText(box, Qt::AlignRight | Qt::AlignVCenter, label);
        }
        painter.setPen(QColor(0x90, 0x90, 0x90));
        painter.drawRect(area.adjusted(0, 0, -1, -1));

        painter.setRenderHint(QPainter::Antialiasing, true);
        painter.setClipRect(area);
        for (const ChartSeries series : p.series) {
            QPen pen(SeriesColor(series), 2.0);
            pen.setCapStyle(Qt::RoundCap);
            painter.setPen(pen);
            for (const ChartLine& line :
                 SeriesLines(points_, series, now_.unixSeconds, scale, chartArea)) {
                if (line.size() == 1) {
                    painter.drawPoint(QPointF(line[0].x, line[0].y));
                    continue;
                }
                QPainterPath path(QPointF(line[0].x, line[0].y));
                for (std::size_t i = 1; i < line.size(); ++i) {
                    path.lineTo(line[i].x, line[i].y);
                }
                painter.drawPath(path);
            }
        }
        painter.setClipping(false);
    }

    // The time axis: every third hour labelled under the last pane.
    const QRect last = PlotArea(kPanes - 1);
    painter.setPen(text);
    for (const HourMark& mark : marks) {
        if (mark.hour % 3 != 0) {
            continue;
        }
        const QString label = QStringLiteral("%1:00").arg(mark.hour, 2, 10, QLatin1Char('0'));
        const int half = metrics.horizontalAdvance(label) / 2;
        const int mx = std::clamp(static_cast<int>(std::lround(mark.x)), last.left() + half,
                                  last.right() - half);
        painter.drawText(QPoint(mx - half, last.bottom() + 2 + metrics.ascent()), label);
    }
}

}  // namespace zelto
