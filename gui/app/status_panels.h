#pragma once

#include <QLabel>
#include <QString>
#include <QWidget>

#include <array>

namespace dmm::gui {

// Widths of the three status panels in a bar total pixels wide: panels 0 and 1 a third
// each and panel 2 the rest, as designed; a panel whose text needs more borrows what the
// others' texts leave free (a panel keeps at least kLeastStatusPanel).
inline constexpr int kLeastStatusPanel = 50;
std::array<int, 3> StatusPanelWidths(int total, const std::array<int, 3>& needed);

// The main window's status panels: 0 the board link, 1 serial errors and diagnostics, 2
// progress and replies (QLabels StatusPanel0..2). A text that does not fit even with what
// it can borrow wraps onto more lines, and the bar grows, instead of being cut off.
class StatusPanels : public QWidget {
    Q_OBJECT
  public:
    explicit StatusPanels(QWidget* parent = nullptr);

    void SetText(int panel, const QString& text);
    QString Text(int panel) const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

  protected:
    void resizeEvent(QResizeEvent* event) override;

  private:
    void Arrange();
    static int LineHeight(const QLabel& label);

    std::array<QLabel*, 3> panels_{};
    int height_ = 0;
};

}  // namespace dmm::gui
