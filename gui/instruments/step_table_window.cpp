#include "gui/instruments/step_table_window.h"

#include <QHeaderView>
#include <QVBoxLayout>

#include <algorithm>

namespace dmm::gui {

StepTableWindow::StepTableWindow(Bench& bench, Which which, const QString& caption,
                                 const QString& gridName, QWidget* parent)
    : QWidget(parent), bench_(bench), which_(which) {
    setWindowTitle(caption);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    grid_ = new QTableWidget(this);
    grid_->setObjectName(gridName);
    grid_->setColumnCount(3);
    grid_->setHorizontalHeaderLabels(
        {QStringLiteral("序號"), QStringLiteral("Step"), QStringLiteral("輸入值")});
    grid_->verticalHeader()->hide();
    // The number and step columns as wide as their titles need at any font size; the
    // value column takes the rest.
    grid_->setColumnWidth(0, std::max(28, grid_->horizontalHeader()->sectionSizeHint(0)));
    grid_->setColumnWidth(1, std::max(30, grid_->horizontalHeader()->sectionSizeHint(1)));
    grid_->setColumnWidth(2, 240);
    grid_->horizontalHeader()->setStretchLastSection(true);
    grid_->verticalHeader()->setDefaultSectionSize(20);
    grid_->setFixedSize(338, 622);
    layout->addWidget(grid_);
    linkState_ = new QLabel(this);
    linkState_->setObjectName("LinkState");
    linkState_->setContentsMargins(4, 2, 4, 2);
    linkState_->setWordWrap(true);  // a long device name wraps instead of being cut
    linkState_->hide();
    layout->addWidget(linkState_);
    resize(grid_->size());
    connect(grid_, &QTableWidget::cellChanged, this, &StepTableWindow::CellChanged);
    connect(&bench_.instrumentWatch(), &InstrumentWatch::LinkChanged, this,
            &StepTableWindow::FollowInstrumentLink);
    INI(StepTable::kDefaultSteps);
}

void StepTableWindow::INI(int steps) {
    filling_ = true;
    grid_->setRowCount(std::max(steps, 0));
    for (int r = 0; r < grid_->rowCount(); ++r) {
        auto* number = new QTableWidgetItem(QString::number(r + 1));
        number->setFlags(number->flags() & ~Qt::ItemIsEditable);
        number->setBackground(palette().button());
        grid_->setItem(r, 0, number);
        for (int c = 1; c < 3; ++c) {
            if (!grid_->item(r, c)) grid_->setItem(r, c, new QTableWidgetItem);
        }
    }
    filling_ = false;
    Publish();
}

StepTable StepTableWindow::Table() const {
    StepTable table;
    table.INI(grid_->rowCount());
    for (int r = 0; r < grid_->rowCount(); ++r) {
        auto text = [&](int c) {
            const QTableWidgetItem* item = grid_->item(r, c);
            return item ? item->text().toStdString() : std::string();
        };
        table.SetStep(r + 1, {text(1), text(2)});
    }
    return table;
}

void StepTableWindow::SetTable(const StepTable& table) {
    INI(table.StepCount());
    filling_ = true;
    for (int k = 1; k <= table.StepCount(); ++k) {
        grid_->item(k - 1, 1)->setText(QString::fromStdString(table.Step(k).active));
        grid_->item(k - 1, 2)->setText(QString::fromStdString(table.Step(k).command));
    }
    filling_ = false;
    Publish();
}

void StepTableWindow::FollowInstrumentLink(const InstrumentLinkView& view) {
    const InstrumentId mine =
        which_ == Which::Fluke ? InstrumentId::Calibrator : InstrumentId::PowerSupply;
    if (view.id != mine || (view.link != InstrumentLink::Lost && !view.back)) return;
    const QString who = which_ == Which::Fluke ? QStringLiteral("The calibrator")
                                               : QStringLiteral("The power supply");
    linkState_->setText(who + QStringLiteral(" ") + InstrumentLinkText(view));
    if (linkState_->isHidden()) {
        // The window grows by the line, in its sub-window too.
        linkState_->show();
        adjustSize();
        if (QWidget* frame = parentWidget()) frame->adjustSize();
    }
}

void StepTableWindow::CellChanged(int, int column) {
    if (!filling_ && column > 0) Publish();
}

void StepTableWindow::Publish() {
    const Which which = which_;
    bench_.Post([table = Table(), which](Bench& b) {
        (which == Which::Fluke ? b.flukeSteps() : b.powerSteps()) = table;
    });
}

TFLUKE::TFLUKE(Bench& bench, QWidget* parent)
    : StepTableWindow(bench, Which::Fluke, QStringLiteral("FLUKE-5500"), QStringLiteral("FlukeGd"),
                      parent) {}

TFPower::TFPower(Bench& bench, QWidget* parent)
    : StepTableWindow(bench, Which::Power, QStringLiteral("Power Supply"),
                      QStringLiteral("PowerGd"), parent) {}

}  // namespace dmm::gui
