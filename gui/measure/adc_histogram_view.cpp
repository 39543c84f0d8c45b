#include "gui/measure/adc_histogram_view.h"

#include <qcustomplot.h>
#include <QVBoxLayout>

#include <algorithm>

namespace dmm::gui {
namespace {

QCPBars* Bars(QCustomPlot* plot) {
    return qobject_cast<QCPBars*>(plot->plottable(0));
}

}  // namespace

AdcHistogramView::AdcHistogramView(QWidget* parent)
    : QWidget(parent), plot_(new QCustomPlot(this)) {
    setObjectName("Histogram");
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(plot_);
    plot_->plotLayout()->insertRow(0);
    plot_->plotLayout()->addElement(
        0, 0, new QCPTextElement(plot_, tr("Histogram"), QFont("sans", 10, QFont::Bold)));
    auto* bars = new QCPBars(plot_->xAxis, plot_->yAxis);
    bars->setName(tr("samples"));
    bars->setPen(QPen(QColor(20, 70, 160)));
    bars->setBrush(QColor(20, 70, 160, 90));
    QCPGraph* gauss = plot_->addGraph();
    gauss->setName(tr("Gaussian of the mean and sigma"));
    gauss->setPen(QPen(QColor(200, 40, 30), 1.5));
    plot_->xAxis->setLabel(tr("Counts"));
    plot_->yAxis->setLabel(tr("Samples"));
    plot_->legend->setVisible(true);
    plot_->axisRect()->insetLayout()->setInsetAlignment(0, Qt::AlignTop | Qt::AlignRight);
    plot_->setInteractions(QCP::iRangeDrag | QCP::iRangeZoom);
}

int AdcHistogramView::binCount() const {
    return Bars(plot_)->dataCount();
}

int AdcHistogramView::curvePointCount() const {
    return plot_->graph(0)->dataCount();
}

void AdcHistogramView::Draw(const BlockHistogram& h) {
    QVector<double> centres, counts;
    for (size_t i = 0; i < h.counts.size(); ++i) {
        centres.push_back(h.Centre(i));
        counts.push_back(h.counts[i]);
    }
    QCPBars* bars = Bars(plot_);
    bars->setWidth(h.binWidth);
    bars->setData(centres, counts, true);
    plot_->graph(0)->setData(QVector<double>(h.curveX.begin(), h.curveX.end()),
                             QVector<double>(h.curveY.begin(), h.curveY.end()), true);
    double from = centres.isEmpty() ? 0.0 : centres.front() - h.binWidth;
    double to = centres.isEmpty() ? 1.0 : centres.back() + h.binWidth;
    if (h.sigma > 0) {
        from = std::min(from, h.mean - 4 * h.sigma);
        to = std::max(to, h.mean + 4 * h.sigma);
    }
    plot_->xAxis->setRange(from, to > from ? to : from + 1.0);
    double top = 1.0;
    for (double c : counts) top = std::max(top, c);
    for (double y : h.curveY) top = std::max(top, y);
    plot_->yAxis->setRange(0.0, top * 1.1);
    plot_->replot(QCustomPlot::rpQueuedReplot);
}

}  // namespace dmm::gui
