#pragma once

#include <QLabel>
#include <QTableWidget>
#include <QWidget>

#include "core/app/bench.h"

namespace dmm::gui {

// The two instrument step-table windows: a grid of steps with their number, enable
// number ("Step", hexadecimal) and command ("輸入值"). Every edit goes to the bench's copy
// of the table, which the drift test reads.
class StepTableWindow : public QWidget {
    Q_OBJECT
  public:
    // Resizes the grid to a number of steps (plus its heading) and numbers them again.
    void INI(int steps);
    QTableWidget* grid() const { return grid_; }
    // The table as the grid holds it.
    StepTable Table() const;
    // Fills the grid from a table (a step file was loaded) and resizes it to its steps.
    void SetTable(const StepTable& table);
    // Under the grid once the table's instrument lost its port: lost, then back.
    QLabel* LinkState() const { return linkState_; }

  protected:
    enum class Which { Fluke, Power };
    StepTableWindow(Bench& bench, Which which, const QString& caption, const QString& gridName,
                    QWidget* parent);

  private:
    void CellChanged(int row, int column);
    void Publish();
    void FollowInstrumentLink(const InstrumentLinkView& view);

    Bench& bench_;
    Which which_;
    QTableWidget* grid_ = nullptr;
    QLabel* linkState_ = nullptr;
    bool filling_ = false;
};

// "FLUKE-5500": the calibrator's step commands (grid FlukeGd).
class TFLUKE final : public StepTableWindow {
    Q_OBJECT
  public:
    explicit TFLUKE(Bench& bench, QWidget* parent = nullptr);
    QTableWidget* FlukeGd() const { return grid(); }
};

// "Power Supply": the power supply's step commands (grid PowerGd).
class TFPower final : public StepTableWindow {
    Q_OBJECT
  public:
    explicit TFPower(Bench& bench, QWidget* parent = nullptr);
    QTableWidget* PowerGd() const { return grid(); }
};

}  // namespace dmm::gui
