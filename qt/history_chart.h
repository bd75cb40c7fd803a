#pragma once
// The chart of the last 24 hours, drawn plainly: three panes over one time axis (mains and
// output voltage, battery voltage, load and charge), each with its own round scale, hour marks
// below, and no line where no record came. It draws the points it was last given.

#include <QColor>
#include <QRect>
#include <QSize>
#include <QWidget>

#include <vector>

#include "core/base/texts.h"
#include "core/events/event.h"
#include "core/events/history.h"
#include "core/events/history_chart.h"

namespace zelto {

class HistoryChart : public QWidget {
    Q_OBJECT

public:
    static constexpr int kPanes = 3;

    explicit HistoryChart(Language language, QWidget* parent = nullptr);

    // The history's points and the moment they were read at, which is the chart's right edge.
    void SetPoints(std::vector<HistoryPoint> points, const Moment& now);

    const std::vector<HistoryPoint>& Points() const { return points_; }
    // Where pane 0, 1 or 2 draws its lines.
    QRect PlotArea(int pane) const;
    static QColor SeriesColor(ChartSeries series);

    QSize sizeHint() const override { return {600, 300}; }
    QSize minimumSizeHint() const override { return {360, 200}; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    ValueScale ScaleOfPane(int pane) const;

    std::vector<HistoryPoint> points_;
    const Language language_;
    Moment now_;
};

}  // namespace zelto
