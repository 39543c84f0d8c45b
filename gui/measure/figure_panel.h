#pragma once

#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QWidget>

#include <string>
#include <vector>

#include "core/measure/block_figures.h"
#include "core/measure/figure_table.h"

namespace dmm::gui {

// The analysis window's column of added figures: each with its unit and, as a tooltip,
// how it is computed (and why it has no value, when the block cannot give one); under
// them how an unfinished capture ended and the warnings of the block, and a button that
// shows all the conventions at once.
class FigurePanel : public QWidget {
    Q_OBJECT
  public:
    explicit FigurePanel(QWidget* parent = nullptr);

    // endNotice says how an unfinished capture ended ("stopped at 40 of 256 samples"): the
    // figures then describe only the samples it took.
    void ShowRows(const std::vector<FigureRow>& rows, const std::vector<FigureWarning>& warnings,
                  const QString& endNotice = {});
    // The value text a row shows ("----" when it is not computed); empty for no such row.
    QString ValueText(const std::string& key) const;
    QString WarningsText() const { return warnings_->text(); }
    // Everything the conventions button shows, for the program's figures and these.
    static QString ConventionsText(const std::vector<FigureRow>& original,
                                   const std::vector<FigureRow>& added);
    void SetConventions(const QString& text) { conventions_ = text; }

    QPushButton* Conventions;

  private:
    QGridLayout* grid_;
    QLabel* warnings_;
    std::vector<std::pair<std::string, QLabel*>> values_;
    std::vector<QWidget*> rowWidgets_;
    QString conventions_;
};

}  // namespace dmm::gui
