#pragma once

#include <QLineEdit>
#include <QPushButton>

#include <array>

#include "core/analog/counter_arithmetic.h"
#include "gui/analog/block_panel.h"

namespace dmm::gui {

// The counter panel ("Program Counter"): the three counters as a frequency, duty-cycle
// and capacitance meter. The measurement runs on the bench (ProCounter); this window
// shows its counts, readings and state and forwards the user's entries and clicks.
class TProCounterA : public BlockPanel {
    Q_OBJECT
  public:
    explicit TProCounterA(Bench& bench, QWidget* parent = nullptr);

    void DataUpdate() override;

  protected:
    void PaintDiagram(DiagramPainter& d) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

  private:
    void BuildInputs();
    void BuildCounters();
    void BuildEntries();
    void BuildReadings();
    void BuildRanges();
    QLineEdit* AddEntry(const QString& name, const QString& text, const QRect& r);
    BoundLabel* AddCaption(const QString& text, const QRect& r,
                           Qt::Alignment align = Qt::AlignLeft | Qt::AlignVCenter);
    void PostEntries();
    void ShowReading(const CounterReading& reading);
    void ShowActivity(bool up);
    void PaintRange(int chosen);
    // The caption a switch network option label has on this chip.
    QString OptionCaption(std::string_view field, int option) const;

    BoundLabel* ENCTR = nullptr;
    BoundLabel* CNS = nullptr;
    BoundLabel* Source = nullptr;
    std::array<BoundLabel*, 3> ECTA{};
    std::array<BoundLabel*, 3> ECTB{};
    std::array<BoundLabel*, 3> ECTC{};
    QLineEdit* WCTA2 = nullptr;
    QLineEdit* WCTA1 = nullptr;
    QLineEdit* ESYSCLK = nullptr;
    QLineEdit* ECAP = nullptr;
    BoundLabel* EFRE = nullptr;
    BoundLabel* EDUTY = nullptr;
    BoundLabel* EDUTYUS = nullptr;
    BoundLabel* PCAP = nullptr;
    // The unit of PCAP's figure on the chosen range (empty before one is chosen).
    BoundLabel* LCAPUNIT = nullptr;
    QPushButton* BBG = nullptr;
    BoundLabel* LRF = nullptr;
    BoundLabel* FUVR0 = nullptr;
    BoundLabel* FUVR1 = nullptr;
    BoundLabel* LCMPH = nullptr;
    BoundLabel* LCMPL = nullptr;
    std::array<QPushButton*, 5> ranges_{};
    DiagramPicture* CUP0 = nullptr;
    DiagramPicture* CUP1 = nullptr;
    DiagramPicture* CDown0 = nullptr;
    DiagramPicture* CDown1 = nullptr;
};

}  // namespace dmm::gui
