#pragma once

#include <QWidget>

#include "core/measure/histogram.h"

class QCustomPlot;

namespace dmm::gui {

// The histogram of the block, with the Gaussian of its measured mean and sigma over it.
class AdcHistogramView : public QWidget {
    Q_OBJECT
  public:
    explicit AdcHistogramView(QWidget* parent = nullptr);

    void Draw(const BlockHistogram& histogram);
    QCustomPlot* plot() const { return plot_; }
    int binCount() const;
    int curvePointCount() const;

  private:
    QCustomPlot* plot_;
};

}  // namespace dmm::gui
