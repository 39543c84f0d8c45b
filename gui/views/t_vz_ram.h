#pragma once

#include <QAction>
#include <QColorDialog>
#include <QMenu>
#include <QWidget>

#include <array>
#include <functional>
#include <memory>

#include "core/app/bench.h"
#include "core/views/ram_file.h"
#include "core/views/ram_panel_state.h"
#include "core/views/typed_hex_edit.h"
#include "gui/views/hex_grid_view.h"
#include "gui/views/panel_style.h"
#include "gui/views/ram_grid_model.h"

namespace dmm::gui {

// The RAM panel: one bank of 256 chip addresses as a 16 x 16 grid of bytes. The user
// edits bytes (double click or typing), marks cells with colours, keeps hints on cells,
// saves and loads all of it as a ".ram" file and exports the values to a workbook.
// Values come from the published register image; writes go to the bench thread.
class TVz_RAM : public QWidget {
    Q_OBJECT
  public:
    explicit TVz_RAM(Bench& bench, QWidget* parent = nullptr);

    // A chip was loaded: its masks and banks.
    void SetChip(std::shared_ptr<const PanelChip> chip);
    // Recomputes the bank's cells from the last register image; repaints what changed.
    void RefreshRam(bool first);
    void SelectBank(int bank);
    int CurrentBank() const { return state_.bank(); }
    const RamPanelState& state() const { return state_; }

    // The file operations behind the menu items, after their dialogs. Failures are
    // reported in a message box. SaveRamData asks before it overwrites a file and emits
    // FileOperationDone when it is over; LoadRamData checks the whole file first and
    // changes nothing when it is bad; SaveToExcel writes the workbook.
    void SaveRamData(const QString& path);
    bool LoadRamData(const QString& path);
    bool SaveToExcel(const QString& path);
    // The contents a save writes now.
    RamFileContents FileContents() const;

    HexGridView* SGD = nullptr;
    std::array<ClickPanel*, 5> bankTabs{};  // PBank0 .. PBank4
    QMenu* PMenuRAM = nullptr;
    QAction* SetMark = nullptr;
    QAction* SetMarkNewColor = nullptr;
    QAction* ResetMark = nullptr;
    QAction* ResetAllMark = nullptr;
    QAction* SetHint = nullptr;
    QAction* ResetHint = nullptr;
    QAction* ResetAllHint = nullptr;
    QAction* LoadRAMData = nullptr;
    QAction* SaveRAMData = nullptr;
    QAction* SaveToExcelItem = nullptr;
    std::array<QAction*, 5> bankItems{};  // RAMBANK0 .. RAMBANK4
    QColorDialog* ColorDialog1 = nullptr;

    // The cell the context menu acts on (the cell under the last right click).
    void SetMenuCell(int cell) { menuCell_ = cell; }

  signals:
    // A save finished (true) or was declined or failed (false).
    void FileOperationDone(bool ok);

  protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

  private:
    void FormCreate();
    void OnRegisterImage(const RegisterImageSnapshot& image);
    void ShowBanks();
    int MenuAddress() const;  // the address of the menu's cell when it can carry a note, else -1
    void RepaintAddress(int address);
    void Warn(const QString& text);
    bool WriteRamFileNow(const QString& path);

    // Handlers.
    void SGDDblClick(const QModelIndex& index);
    void SGDContextMenu(const QPoint& position);
    void SetMarkClick();
    void SetMarkNewColorClick();
    void ResetMarkClick();
    void ResetAllMarkClick();
    void SetHintClick();
    void ResetHintClick();
    void ResetAllHintClick();
    void LoadRAMDataClick();
    void SaveRAMDataClick();
    void SaveToExcelClick();
    void Ask(const QString& text, std::function<void()> onYes);

    // Typing into the grid.
    void DigitTyped(const QModelIndex& index, QChar digit);
    void CommitTyped();

    Bench& bench_;
    RamPanelState state_;
    RegisterImageBytes image_{};
    RamGridModel* model_ = nullptr;
    TypedHexEdit edit_;
    int menuCell_ = -1;
    bool nextRefreshFirst_ = false;
    bool placed_ = false;
    QString folder_;
};

}  // namespace dmm::gui
