#include "gui/analog/diagram_layout.h"

namespace dmm::gui::layout {

QStringList BinaryItems(int count, int digits, const QString& prefix, const QString& suffix) {
    QStringList items;
    for (int k = 0; k < count; ++k)
        items << prefix + QString::number(k, 2).rightJustified(digits, u'0') + suffix;
    return items;
}

QStringList NumberedNames(const QString& stem, int count) {
    QStringList names;
    for (int k = 0; k < count; ++k) names << stem + QString::number(k);
    return names;
}

std::vector<QRect> LabelColumn(int x, int top, int count, int width) {
    std::vector<QRect> rects;
    for (int k = 0; k < count; ++k)
        rects.emplace_back(x, top + k * kLabelPitch, width, kLabelHeight);
    return rects;
}

double LabelCentre(int top, int k) {
    return top + k * kLabelPitch + kLabelHeight / 2.0;
}

QRectF MuxBesideLabels(int left, int right, int top, int count) {
    return QRectF(left, top - 1, right - left, count * kLabelPitch);
}

}  // namespace dmm::gui::layout
