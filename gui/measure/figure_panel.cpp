#include "gui/measure/figure_panel.h"

#include <QMessageBox>
#include <QVBoxLayout>

namespace dmm::gui {

FigurePanel::FigurePanel(QWidget* parent) : QWidget(parent) {
    setObjectName("PanelFigures");
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(8, 4, 4, 4);
    auto* heading = new QLabel(tr("More figures"), this);
    QFont bold = heading->font();
    bold.setBold(true);
    heading->setFont(bold);
    layout->addWidget(heading);
    grid_ = new QGridLayout;
    grid_->setHorizontalSpacing(6);
    grid_->setVerticalSpacing(2);
    layout->addLayout(grid_);
    warnings_ = new QLabel(this);
    warnings_->setObjectName("FigureWarnings");
    warnings_->setWordWrap(true);
    warnings_->setTextFormat(Qt::RichText);
    // The warnings wrap to the width the figures give the panel, and never widen it.
    warnings_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    layout->addWidget(warnings_);
    layout->addStretch(1);
    Conventions = new QPushButton(tr("How these are computed"), this);
    Conventions->setObjectName("Conventions");
    layout->addWidget(Conventions);
    connect(Conventions, &QPushButton::clicked, this, [this] {
        QMessageBox box(QMessageBox::Information, tr("How the figures are computed"), conventions_,
                        QMessageBox::Ok, this);
        box.setTextFormat(Qt::RichText);
        box.exec();
    });
    ShowRows({}, {});
}

void FigurePanel::ShowRows(const std::vector<FigureRow>& rows,
                           const std::vector<FigureWarning>& warnings, const QString& endNotice) {
    for (QWidget* w : rowWidgets_) delete w;
    rowWidgets_.clear();
    values_.clear();
    int at = 0;
    for (const FigureRow& row : rows) {
        auto* name = new QLabel(row.label, this);
        auto* value = new QLabel(FigureText(row), this);
        auto* unit = new QLabel(row.unit, this);
        value->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        value->setTextInteractionFlags(Qt::TextSelectableByMouse);
        value->setMinimumWidth(80);
        const QString tip = row.withheld.isEmpty()
                                ? row.convention
                                : row.convention + QStringLiteral("\nWithheld: ") + row.withheld;
        for (QLabel* label : {name, value, unit}) {
            label->setToolTip(tip);
            rowWidgets_.push_back(label);
        }
        grid_->addWidget(name, at, 0);
        grid_->addWidget(value, at, 1);
        grid_->addWidget(unit, at, 2);
        values_.emplace_back(row.key, value);
        ++at;
    }
    QStringList lines;
    if (!endNotice.isEmpty())
        lines << QStringLiteral("<b style='color:#c00000'>%1</b>").arg(endNotice.toHtmlEscaped());
    for (FigureWarning w : warnings) {
        // What makes the block unusable in red, what only limits a figure in amber.
        const char* colour = IsSevere(w) ? "#c00000" : "#a06000";
        lines << QStringLiteral("<span style='color:%1'>%2</span>")
                     .arg(colour, WarningText(w).toHtmlEscaped());
    }
    warnings_->setText(lines.join("<br>"));
    warnings_->setVisible(!lines.isEmpty());
}

QString FigurePanel::ValueText(const std::string& key) const {
    for (const auto& [name, label] : values_) {
        if (name == key) return label->text();
    }
    return {};
}

QString FigurePanel::ConventionsText(const std::vector<FigureRow>& original,
                                     const std::vector<FigureRow>& added) {
    QString html = QStringLiteral("<p>%1</p>").arg(ConventionsPreamble().toHtmlEscaped());
    auto table = [&](const QString& title, const std::vector<FigureRow>& rows) {
        html += QStringLiteral("<p><b>%1</b></p><table cellspacing=4>").arg(title);
        for (const FigureRow& row : rows) {
            html += QStringLiteral("<tr><td><b>%1</b></td><td>%2</td></tr>")
                        .arg(row.label.toHtmlEscaped(), row.convention.toHtmlEscaped());
        }
        html += QStringLiteral("</table>");
    };
    table(tr("The program's figures (and its CSV files)"), original);
    table(tr("Added figures"), added);
    return html;
}

}  // namespace dmm::gui
