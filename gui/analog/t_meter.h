#pragma once

#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QWidget>

#include <array>

#include "core/app/bench.h"
#include "gui/analog/segment_display.h"

namespace dmm::gui {

// "Meter": the readings of the six reference meters, one row each (store check box,
// scan-period selector, LED digits, unit and sign). The reading runs on the bench thread
// (MeterScan); the window shows what comes back. A row whose meter did not answer keeps
// its last reading, dimmed, so that an old value is never shown as a new one; a row whose
// meter has not answered since its port was selected shows no digits and no unit; a row
// whose meter's port went away says "lost" in place of its unit until the meter is back.
class TMeter : public QWidget {
    Q_OBJECT
  public:
    explicit TMeter(Bench& bench, QWidget* parent = nullptr);

    static constexpr int kRows = kMeterChannelCount;

    // Enables the rows whose meter port is in use (asked of the bench), disables the rest.
    void CkSel();
    void RDandStopClick();
    // Paints one row from a reading.
    void ShowRow(const MeterRowView& view);
    // True while the row shows a reading that is not the meter's latest answer.
    bool RowStale(int row) const { return stale_[static_cast<size_t>(row)]; }
    // True while the row shows a reading (fresh or old).
    bool RowHasReading(int row) const { return hasReading_[static_cast<size_t>(row)]; }
    // True while the row's meter port is gone: the row says "lost" until a reading comes.
    bool RowLost(int row) const { return lost_[static_cast<size_t>(row)]; }

    std::array<QCheckBox*, kRows> CheckBox{};
    std::array<QLabel*, kRows> Label{};
    std::array<QComboBox*, kRows> ComboBox{};
    std::array<TLedArray*, kRows> LedArray{};
    std::array<QLabel*, kRows> MUnit{};
    std::array<QFrame*, kRows> Panel{};
    QPushButton* RDandStop = nullptr;

  protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

  private:
    void ApplyChannels(const MeterChannelStates& states);
    void ShowReading(bool reading);
    // The row of a meter that has given no reading: no digits, no unit, no sign.
    void ShowNoReading(int row);
    // The row of a meter whose port went away: "lost" where the unit stands.
    void ShowLost(int row);

    Bench& bench_;
    std::array<bool, kRows> stale_{};
    std::array<bool, kRows> hasReading_{};
    std::array<bool, kRows> lost_{};
};

}  // namespace dmm::gui
