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
    // The fundamental and harmonics of a tone, as points over the spectrum.
    QCPGraph* marks = plot_->addGraph();
    marks->setLineStyle(QCPGraph::lsNone);
    marks->setScatterStyle(
        QCPScatterStyle(QCPScatterStyle::ssCircle, QColor(200, 40, 30), Qt::white, 7));
    // The right axis reads the left one in dBFS.
    connect(plot_->yAxis, qOverload<const QCPRange&>(&QCPAxis::rangeChanged), this,
            [this](const QCPRange& range) {
                plot_->yAxis2->setRange(range.lower + rightOffset_, range.upper + rightOffset_);
            });
    plot_->setNoAntialiasingOnDrag(true);
    plot_->setInteractions(QCP::iRangeDrag | QCP::iRangeZoom);
}

int AdcChartView::pointCount() const {
    return plot_->graph(0)->dataCount();
}

QStringList AdcChartView::markerLabels() const {
    QStringList labels;
    for (int i = 0; i < plot_->itemCount(); ++i) {
        if (auto* text = qobject_cast<QCPItemText*>(plot_->item(i))) labels << text->text();
    }
    return labels;
}

bool AdcChartView::rightAxisShown() const {
    return plot_->yAxis2->visible();
}

void AdcChartView::ShowMarkers(const AdcChart& chart) {
    plot_->clearItems();
    QVector<double> x, y;
    for (const ChartMarker& m : chart.markers) {
        x.push_back(m.x);
        y.push_back(m.y);
        auto* text = new QCPItemText(plot_);
        text->setText(m.label);
        text->setPositionAlignment(Qt::AlignHCenter | Qt::AlignBottom);
        text->position->setCoords(m.x, m.y);
        text->setPadding(QMargins(0, 0, 0, 6));
        text->setColor(QColor(200, 40, 30));
        text->setFont(QFont("sans", 8, QFont::Bold));
    }
    plot_->graph(1)->setData(x, y, true);
    rightOffset_ = chart.rightOffset;
    plot_->yAxis2->setVisible(!chart.rightTitle.isEmpty());
    plot_->yAxis2->setLabel(chart.rightTitle);
    plot_->yAxis2->setTickLabels(!chart.rightTitle.isEmpty());
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
        for (const QCPGraphData& m : *plot_->graph(1)->data()) range.expand(m.value + 6.0);
        const double margin = std::max(1.0, range.size() * 0.05);
        plot_->yAxis->setRange(range.lower - margin, range.upper + margin);
    }
    plot_->yAxis2->setRange(plot_->yAxis->range().lower + rightOffset_,
                            plot_->yAxis->range().upper + rightOffset_);
    plot_->replot(QCustomPlot::rpQueuedReplot);
}

void AdcChartView::Draw(const AdcChart& chart) {
    keys_.resize(static_cast<qsizetype>(chart.points.size()));
    values_.resize(keys_.size());
    for (size_t i = 0; i < chart.points.size(); ++i) {
        keys_[static_cast<qsizetype>(i)] = chart.points[i].x();
        values_[static_cast<qsizetype>(i)] = chart.points[i].y();
    }
    ShowMarkers(chart);
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
    ShowMarkers({});
    Replot("Time Domain", "Time  ms", "Degree", 0.0, static_cast<double>(snapshot.elapsedMs));
}

void AdcChartView::Clear() {
    keys_.clear();
    values_.clear();
    ShowMarkers({});
    Replot(QString(), QString(), QString(), 0.0, 1.0);
}

}  // namespace dmm::gui
