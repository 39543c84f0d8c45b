#pragma once

#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QWidget>

#include <array>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

#include "core/app/bench.h"
#include "core/views/register_panel_state.h"
#include "core/views/register_writes.h"
#include "core/views/typed_hex_edit.h"
#include "gui/views/hex_grid_view.h"
#include "gui/views/panel_style.h"
#include "gui/views/register_grid_models.h"

namespace dmm::gui {

// The register panel: the chip's special-function registers as the chip description lays
// them out (bit registers page by page, byte and word registers), and a status strip
// with the working register and the two indirect-addressing pairs. Every change goes to
// the chip through WriteRegister on the bench thread; the cells change only when the
// register image that follows comes back.
class TVz_Reg2 : public QWidget {
    Q_OBJECT
  public:
    explicit TVz_Reg2(Bench& bench, QWidget* parent = nullptr);

    // A chip was loaded: rebuild the grids and the page tabs.
    void SetChip(std::shared_ptr<const PanelChip> chip);
    // Recomputes values and highlights from the last register image and repaints.
    void RefreshRegisters(bool first);
    // Rebuilds the bit grid for the current page, then refreshes with first = true.
    void SWSREG();
    // First and end index of the current page within the bit-register list.
    std::pair<int, int> rkrr() const;
    int CurrentPage() const { return page_; }
    // Shows a page (0 to 3) as its tab would; the page already shown is left as it is
    // (a page change fits the window to the page, which would undo a restored size).
    void SelectPage(int page) {
        page = page >= 0 && page < 4 ? page : 0;
        if (page != page_) PageClick(page);
    }
    const RegisterPanelState& state() const { return state_; }

    // Status strip.
    QFrame* PBase = nullptr;
    ClickFrame* PnlWork_B = nullptr;
    QLabel* PnlWork = nullptr;
    ClickFrame* PnlIND0_B = nullptr;
    QLabel* PnlIND0_1 = nullptr;
    QLabel* PnlIND0_2 = nullptr;
    ClickFrame* PnlIND1_B = nullptr;
    QLabel* PnlIND1_1 = nullptr;
    QLabel* PnlIND1_2 = nullptr;
    ClickPanel* PnlPC = nullptr;
    ClickPanel* PnlCycle = nullptr;
    // Grids and page tabs.
    HexGridView* SREG = nullptr;
    QLabel* LByte = nullptr;
    HexGridView* SByteReg = nullptr;
    QLabel* LWord = nullptr;
    HexGridView* SWordReg = nullptr;
    std::array<ClickPanel*, 4> pageTabs{};  // PPage1, PPAGE2, PPAGE3, PPAGE4
    // Menus.
    QMenu* PMenuIND = nullptr;
    QAction* PMenuINDValue = nullptr;
    QAction* PMenuINDAddress = nullptr;
    QMenu* PMenuBit = nullptr;
    QAction* PMenuBitSet = nullptr;
    QAction* PMenuBitClear = nullptr;
    QMenu* PMenuReg = nullptr;
    QAction* PMenuRegValue = nullptr;

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    void FormCreate();
    QWidget* BuildStrip();
    void OnRegisterImage(const RegisterImageSnapshot& image);
    void PaintStrip();
    void ShowPageTabs();
    void FitToContents();
    void Write(std::vector<RegisterWrite> writes);
    QPoint BelowCell(const HexGridView* grid, const QModelIndex& index) const;
    static QPoint Below(const QWidget* widget);

    // Handlers.
    void PageClick(int page);
    void SREGDblClick(const QModelIndex& index);
    void SByteRegDblClick(const QModelIndex& index);
    void SWordRegDblClick(const QModelIndex& index);
    void PnlWorkClick();
    void PnlPCClick();
    void PnlINDClick(int pair);
    void PMenuRegValueClick();
    void PMenuINDValueClick();
    void PMenuINDAddressClick();
    void PMenuBitClick(bool set);

    // Typing into the byte and word grids.
    void ConnectTyping(HexGridView* grid, RegisterValueGridModel* model, TypedHexEdit& edit);
    void CommitTyped(RegisterValueGridModel* model, TypedHexEdit& edit);

    Bench& bench_;
    RegisterPanelState state_;
    RegisterImageBytes image_{};
    int page_ = 0;
    BitGridModel* bitModel_ = nullptr;
    RegisterValueGridModel* byteModel_ = nullptr;
    RegisterValueGridModel* wordModel_ = nullptr;
    TypedHexEdit byteEdit_;
    TypedHexEdit wordEdit_;
    // The bit chosen for the bit menu, the pair of the IND menu, and whether the value
    // menu was opened from the working register (else from the program counter).
    int pendingBitAddress_ = -1;
    int pendingBit_ = 0;
    int indPair_ = 0;
    bool regMenuFromWork_ = true;
    bool placed_ = false;
    bool loadImagePending_ = false;
};

}  // namespace dmm::gui
