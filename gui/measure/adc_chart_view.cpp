#include "gui/measure/adc_chart_view.h"

#include <qcustomplot.h>
#include <QVBoxLayout>

namespace dmm::gui {

AdcChartView::AdcChartView(QWidget* parent) : QWidget(parent), plot_(new QCustomPlot(this)) {
    setObjectName("Chart1");
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(plot_);
    plot_->plotLayout()->insertRow(0);
    plot_->plotLayout()->addElement(
        0, 0, new QCPTextElement(plot_, QString(), QFont("sans", 10, QFont::Bold)));
    QCPGraph* graph = plot_->addGraph();
    graph->setPen(QPen(QColor(20, 70, 160), 1.0));
    graph->setAdaptiveSampling(true);
    plot_->setNoAntialiasingOnDrag(true);
    plot_->setInteractions(QCP::iRangeDrag | QCP::iRangeZoom);
}

int AdcChartView::pointCount() const {
    return plot_->graph(0)->dataCount();
}

QString AdcChartView::title() const {
    auto* element = qobject_cast<QCPTextElement*>(plot_->plotLayout()->element(0, 0));
    return element ? element->text() : QString();
}

void AdcChartView::Replot(const QString& title, const QString& bottom, const QString& left,
                          double from, double to) {
    if (auto* element = qobject_cast<QCPTextElement*>(plot_->plotLayout()->element(0, 0))) {
        element->setText(title);
    }
    plot_->xAxis->setLabel(bottom);
    plot_->yAxis->setLabel(left);
    plot_->graph(0)->setData(keys_, values_, true);
    plot_->xAxis->setRange(from, to > from ? to : from + 1.0);
    bool found = false;
    QCPRange range = plot_->graph(0)->getValueRange(found);
    if (found) {
        const double margin = std::max(1.0, range.size() * 0.05);
        plot_->yAxis->setRange(range.lower - margin, range.upper + margin);
    }
    plot_->replot(QCustomPlot::rpQueuedReplot);
}

void AdcChartView::Draw(const AdcChart& chart) {
    keys_.resize(static_cast<qsizetype>(chart.points.size()));
    values_.resize(keys_.size());
    for (size_t i = 0; i < chart.points.size(); ++i) {
        keys_[static_cast<qsizetype>(i)] = chart.points[i].x();
        values_[static_cast<qsizetype>(i)] = chart.points[i].y();
    }
    Replot(chart.title, chart.bottomTitle, chart.leftTitle, chart.bottomMin, chart.bottomMax);
}

void AdcChartView::DrawLive(const CaptureSnapshot& snapshot) {
    const int count =
        snapshot.samples ? std::min<int>(snapshot.count, static_cast<int>(snapshot.samples->size()))
                         : 0;
    keys_.resize(count);
    values_.resize(count);
    const double step = count > 0 ? static_cast<double>(snapshot.elapsedMs) / count : 0.0;
    for (int k = 0; k < count; ++k) {
        keys_[k] = k * step;
        values_[k] = TimeDomainValue((*snapshot.samples)[static_cast<size_t>(k)], snapshot.divisor);
    }
    Replot("Time Domain", "Time  ms", "Degree", 0.0, static_cast<double>(snapshot.elapsedMs));
}

void AdcChartView::Clear() {
    keys_.clear();
    values_.clear();
    Replot(QString(), QString(), QString(), 0.0, 1.0);
}

}  // namespace dmm::gui
