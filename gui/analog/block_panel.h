#pragma once

#include <QComboBox>
#include <QPixmap>
#include <QPointer>
#include <QSize>
#include <QStringList>
#include <QWidget>

#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "core/app/bench.h"
#include "gui/analog/diagram_controls.h"
#include "gui/analog/diagram_painter.h"
#include "gui/analog/panel_fields.h"

namespace dmm::gui {

// What a panel says while no read of the chip has filled the register image.
inline constexpr char kNotReadYet[] = "not read yet: \"Read RAM\" reads the chip";

// The tooltip of every live-reading switch of the block panels.
inline const QString kLiveReadingTip = QStringLiteral(
    "Switches this panel's live reading on and off. Readings arrive only while the \"INTF\" "
    "item of the menu bar reads the chip (it then shows \"INTF-Reading\").");

// The conventions every analog block panel shares: a block diagram drawn in code with
// controls laid over the elements they set, each control bound to a named register
// field of the loaded chip.
//
// - On/off panels and labels toggle a one-bit field (ENPanel, ENLabel); combo boxes and
//   option labels choose a field value (ComboChange, OptionLabelClick); pictures of
//   switches toggle or choose. Every change is a read-modify-write of one register byte,
//   computed from the register image and written with WriteRegister on the bench thread.
// - DataUpdate repaints every control and derived label from the register image. It runs
//   whenever the bench publishes a new image and after each of the panel's own writes.
// - The chip description's captions, option labels, hidden options, combo entries and
//   gain tables reach the controls when a description is loaded; controls of fields the
//   description does not bind are disabled.
//
// Thread: GUI. The panel never touches the link; it posts work to the bench.
class BlockPanel : public QWidget {
    Q_OBJECT
  public:
    // Published state of the bench.
    void SetChipFields(ChipFieldsSnapshot fields);
    void SetRegisterImage(const RegisterImageSnapshot& image);
    // Repaints every bound control and derived label from the register image.
    virtual void DataUpdate() = 0;

    // The value last read from the image or chosen by the user for a field.
    int StoredValue(std::string_view field) const;
    const RegisterImageSnapshot& image() const { return image_; }
    const ChipFields& fields() const;

    // The diagram has one size; the window frame is sized around it.
    QSize sizeHint() const override { return size(); }
    QSize minimumSizeHint() const override { return size(); }

  protected:
    BlockPanel(Bench& bench, const QString& className, const QString& caption, QSize diagramSize,
               QWidget* parent = nullptr);

    // Building the controls (in the window's constructor). Every control is named by its
    // objectName; field is the keyword of the field it is bound to.
    BoundLabel* AddSwitchPanel(const QString& name, const QString& caption, const QRect& r,
                               const char* field);
    BoundLabel* AddSwitchLabel(const QString& name, const QString& caption, const QRect& r,
                               const char* field);
    BoundLabel* AddReadout(const QString& name, const QString& text, const QRect& r,
                           Qt::Alignment align = Qt::AlignCenter);
    // A label that shows a state (chosen or not) and takes no clicks.
    BoundLabel* AddIndicator(const QString& name, const QString& text, const QRect& r);
    // A framed box for a live reading.
    BoundLabel* AddDisplay(const QString& name, const QString& text, const QRect& r);
    QComboBox* AddCombo(const QString& name, const QStringList& items, const QRect& r,
                        int visibleRows = 8);
    // A combo box whose item index is the field's value.
    QComboBox* AddValueCombo(const QString& name, const QStringList& items, const QRect& r,
                             const char* field);

    struct SelectorLayout {
        const char* field = nullptr;
        QString comboName;
        QStringList comboItems;
        QRect comboRect;
        int visibleRows = 8;
        // Option labels, option k first, and where they lie.
        QStringList labelNames;
        QStringList labelTexts;
        std::vector<QRect> labelRects;
        // A second row of labels meaning the same options (a paired selector).
        QStringList secondNames;
        QStringList secondTexts;
        std::vector<QRect> secondRects;
        // Option labels that only show the choice (a click on them does nothing).
        bool labelsChoose = true;
        // What a choice in the combo box does (the item index); ComboChange when empty.
        std::function<void(int)> comboChoice;
    };
    // A selector: its combo box and its option labels.
    QComboBox* AddSelector(const SelectorLayout& plan);

    DiagramPicture* AddPicture(const QString& name, const QRect& r,
                               DiagramPicture::PaintFunction paint);
    // The chopper's two indicator pictures ("..00" straight, "..01" crossed) in one place;
    // the heartbeat's channel indicators show one of them at a time, "..00" at start.
    std::pair<DiagramPicture*, DiagramPicture*> AddChopperIndicators(const QString& name00,
                                                                     const QString& name01,
                                                                     const QRect& r);
    // A switch drawn closed (the on-picture) and open (the off-picture) in one place; the
    // switch runs along the rectangle's long side.
    struct PicturePair {
        DiagramPicture* on = nullptr;
        DiagramPicture* off = nullptr;
    };
    PicturePair AddSwitchPictures(const QString& onName, const QString& offName, const QRect& r);
    // A pair that only shows a state (another control changes it).
    static void ShowsOnly(const PicturePair& pair) {
        pair.on->SetClickable(false);
        pair.off->SetClickable(false);
    }
    // A picture whose click toggles a one-bit field, or chooses an option of a field.
    void ClickToggles(DiagramPicture* picture, const char* field);
    void ClickChooses(DiagramPicture* picture, const char* field, int option);

    // A control whose caption the field's description line may replace.
    void BindCaption(const char* field, QLabel* control);
    // A control that is enabled only when the chip binds the field.
    void BindControl(const char* field, QWidget* control);

    // The shared operations.
    // Reads the field from the image and keeps it as the field's stored value.
    int ReadField(std::string_view field);
    const TRegField& FieldRecord(std::string_view field) const;
    const std::vector<double>& Gains(std::string_view field) const;
    uint8_t ImageByte(int address) const;
    static void PanelSwitch(BoundLabel* panel, int value);
    static void LabelSwitch(BoundLabel* label, int value);
    // An on/off label whose off state has the button face, as option labels do.
    static void FaceSwitch(BoundLabel* label, int value);
    // Paints the option labels of a selector (option value chosen) and sets its combo box.
    void ShowOption(std::string_view field, int value);
    // Value 0 shows the on-picture, anything else the off-picture.
    static void ShowPicturePair(int value, QWidget* on, QWidget* off);
    // The switch pictures' way round: a set field (non-zero) shows the on-picture.
    static void ShowWhenSet(int value, QWidget* on, QWidget* off);
    static void ShowWhenSet(int value, const PicturePair& pair) {
        ShowWhenSet(value, pair.on, pair.off);
    }
    // A selector's option labels, option k first (empty for a field without a selector).
    const std::vector<BoundLabel*>& OptionLabels(std::string_view field) const;
    // The text an option label of a selector shows now (the description's or the design's).
    QString OptionText(std::string_view field, int option) const;
    // Sets a combo box to the entry that stands for value (blank when none does).
    static void SetComboValue(QComboBox* combo, int value);

    void ENPanel(std::string_view field);
    void ENLabel(std::string_view field) { ENPanel(field); }
    void ComboChange(std::string_view field, QComboBox* combo, int index);
    void OptionLabelClick(std::string_view field, const QObject* label);
    void ChooseOption(std::string_view field, int option);
    // Read-modify-write of the field on the bench thread.
    void WriteField(std::string_view field, int value);

    // Runs work on the bench thread; the register image it leaves behind comes back and
    // repaints the panel (also when the work failed: the controls then show the chip's
    // unchanged state).
    template <typename Work>
    void RunOnBench(Work work) {
        bench_.Call(
            [work = std::move(work)](Bench& b) mutable {
                work(b);
                return SnapshotOf(b.target());
            },
            this, [this](const RegisterImageSnapshot& snapshot) { SetRegisterImage(snapshot); });
    }

    // Wires from the visible option labels of a selector (or its second row) to x.
    void OptionStubs(DiagramPainter& d, std::string_view field, double toX,
                     bool secondRow = false) const;

    // The block diagram behind the controls, drawn from the stored values.
    virtual void PaintDiagram(DiagramPainter& d) = 0;
    // A new description arrived; the shared parts are applied already.
    virtual void ChipFieldsChanged() {}

    void paintEvent(QPaintEvent* event) override;

    Bench& bench_;

  private:
    struct Selector {
        QComboBox* combo = nullptr;
        std::vector<BoundLabel*> labels;
        std::vector<BoundLabel*> secondLabels;
        QStringList designItems;
    };
    void ApplySelector(const std::string& field, Selector& selector);
    const Selector* FindSelector(std::string_view field) const;

    // The diagram as last drawn: what repaints the parts beneath the controls.
    QPixmap diagram_;
    ChipFieldsSnapshot fields_;
    RegisterImageSnapshot image_;
    std::map<std::string, int, std::less<>> stored_;
    std::map<std::string, Selector, std::less<>> selectors_;
    std::multimap<std::string, QPointer<QWidget>, std::less<>> boundControls_;
    std::multimap<std::string, QPointer<QLabel>, std::less<>> captionControls_;
    // Lies over the whole diagram while the image holds no read of the chip.
    QWidget* notReadCover_ = nullptr;
};

}  // namespace dmm::gui
