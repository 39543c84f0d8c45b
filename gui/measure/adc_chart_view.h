#pragma once

#include <QVector>
#include <QWidget>

#include "core/measure/adc_chart.h"
#include "core/measure/capture_monitor.h"

class QCustomPlot;

namespace dmm::gui {

// Chart1 of the analysis window: draws a finished chart as the analysis built it, or
// the samples of a running capture from a monitor snapshot (time domain).
class AdcChartView : public QWidget {
    Q_OBJECT
  public:
    explicit AdcChartView(QWidget* parent = nullptr);

    void Draw(const AdcChart& chart);
    // Time-domain view of the samples captured so far.
    void DrawLive(const CaptureSnapshot& snapshot);
    void Clear();

    QCustomPlot* plot() const { return plot_; }
    int pointCount() const;
    QString title() const;
    // The labels of the marked components ("F", "2", ...) as drawn.
    QStringList markerLabels() const;
    bool rightAxisShown() const;

  private:
    void Replot(const QString& title, const QString& bottom, const QString& left, double from,
                double to);

    void ShowMarkers(const AdcChart& chart);

    QCustomPlot* plot_;
    QVector<double> keys_, values_;
    double rightOffset_ = 0.0;  // dBFS = dB + offset
};

}  // namespace dmm::gui
