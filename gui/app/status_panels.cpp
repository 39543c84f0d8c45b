#include "gui/app/status_panels.h"

#include <QFontMetrics>

#include <algorithm>

namespace dmm::gui {
namespace {

constexpr int kGap = 2;

}  // namespace

std::array<int, 3> StatusPanelWidths(int total, const std::array<int, 3>& needed) {
    const int third = total / 3;
    std::array<int, 3> widths = {third, third, total - 2 * third};
    for (size_t i = 0; i < widths.size(); ++i) {
        // The last panel gives first: it is the one that stretches.
        for (size_t j : {size_t{2}, size_t{1}, size_t{0}}) {
            if (j == i || widths[i] >= needed[i]) continue;
            const int spare = widths[j] - std::max(needed[j], kLeastStatusPanel);
            if (spare <= 0) continue;
            const int take = std::min(spare, needed[i] - widths[i]);
            widths[j] -= take;
            widths[i] += take;
        }
    }
    return widths;
}

StatusPanels::StatusPanels(QWidget* parent) : QWidget(parent) {
    setObjectName("StatusPanels");
    for (size_t i = 0; i < panels_.size(); ++i) {
        auto* label = new QLabel(this);
        label->setObjectName(QStringLiteral("StatusPanel%1").arg(i));
        label->setFrameShape(QFrame::Panel);
        label->setFrameShadow(QFrame::Sunken);
        label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        panels_[i] = label;
    }
    height_ = LineHeight(*panels_[0]);
}

void StatusPanels::SetText(int panel, const QString& text) {
    if (panel < 0 || panel >= static_cast<int>(panels_.size())) return;
    QLabel* label = panels_[static_cast<size_t>(panel)];
    if (label->text() == text) return;
    label->setText(text);
    Arrange();
}

QString StatusPanels::Text(int panel) const {
    if (panel < 0 || panel >= static_cast<int>(panels_.size())) return {};
    return panels_[static_cast<size_t>(panel)]->text();
}

QSize StatusPanels::sizeHint() const {
    return QSize(std::max(width(), 3 * kLeastStatusPanel), height_);
}

QSize StatusPanels::minimumSizeHint() const {
    return QSize(3 * kLeastStatusPanel, height_);
}

void StatusPanels::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    Arrange();
}

int StatusPanels::LineHeight(const QLabel& label) {
    return QFontMetrics(label.font()).height() + 2 * label.frameWidth() + 2 * label.margin();
}

void StatusPanels::Arrange() {
    if (width() <= 2 * kGap) return;
    // What each text needs on one line, as the label itself measures it.
    std::array<int, 3> needed{};
    int height = 0;
    for (size_t i = 0; i < panels_.size(); ++i) {
        QLabel& label = *panels_[i];
        label.setWordWrap(false);
        needed[i] = label.sizeHint().width();
        height = std::max({height, LineHeight(label), label.sizeHint().height()});
    }
    const std::array<int, 3> widths = StatusPanelWidths(width() - 2 * kGap, needed);
    for (size_t i = 0; i < panels_.size(); ++i) {
        QLabel& label = *panels_[i];
        if (needed[i] <= widths[i]) continue;
        label.setWordWrap(true);
        height = std::max(height, label.heightForWidth(widths[i]));
    }
    int x = 0;
    for (size_t i = 0; i < panels_.size(); ++i) {
        panels_[i]->setGeometry(x, 0, widths[i], height);
        x += widths[i] + kGap;
    }
    if (height != height_) {
        height_ = height;
        updateGeometry();
    }
}

}  // namespace dmm::gui
