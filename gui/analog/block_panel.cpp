#include "gui/analog/block_panel.h"

#include <QAbstractItemView>
#include <QPaintEngine>
#include <QPaintEvent>
#include <QPainter>

#include "core/analog/block_field_ops.h"
#include "gui/analog/chip_fields_from_model.h"
#include "gui/analog/diagram_parts.h"

namespace dmm::gui {
namespace {

int OptionsOf(const TRegField& field) {
    if (!field.IsDefined()) return 0;
    return 1 << std::min(field.width, 8);
}

// Until the chip has been read the image holds only the zeros the program started with:
// the diagram is veiled and says so instead of passing the zeros off as the chip's state.
// Clicks go through to the controls under it.
class NotReadCover : public QWidget {
  public:
    explicit NotReadCover(QWidget* panel) : QWidget(panel) {
        setObjectName("NotReadYet");
        setAttribute(Qt::WA_TransparentForMouseEvents);
    }

  protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.fillRect(rect(), QColor(255, 255, 255, 150));
        QFont font = DiagramFont(TextRole::Title);
        painter.setFont(font);
        const QString text = QString::fromLatin1(kNotReadYet);
        const QRect box = QFontMetrics(font).boundingRect(text).adjusted(-10, -6, 10, 6);
        const QRect banner(QPoint(width() - box.width() - 8, 8), box.size());
        painter.fillRect(banner, QColor(254, 243, 199));
        painter.setPen(QColor(146, 64, 14));
        painter.drawRect(banner.adjusted(0, 0, -1, -1));
        painter.drawText(banner, Qt::AlignCenter, text);
    }
};

}  // namespace

BlockPanel::BlockPanel(Bench& bench, const QString& className, const QString& caption,
                       QSize diagramSize, QWidget* parent)
    : QWidget(parent), bench_(bench), fields_(std::make_shared<ChipFields>()) {
    setObjectName(className);
    setWindowTitle(caption);
    setFixedSize(diagramSize);
    setAutoFillBackground(false);
    // The diagram covers the whole panel: what lies beneath it (the MDI frame) need not be
    // painted again when a control on it repaints.
    setAttribute(Qt::WA_OpaquePaintEvent);
    notReadCover_ = new NotReadCover(this);
    notReadCover_->setGeometry(rect());
    connect(&bench_, &Bench::RegisterImageChanged, this, &BlockPanel::SetRegisterImage);
    connect(&bench_, &Bench::ChipModelChanged, this,
            [this](const std::shared_ptr<const TChipModel>& model) {
                if (model) SetChipFields(ChipFieldsFromModel(*model));
            });
    // Until the bench publishes anything new the panel shows the chip and image it holds now.
    bench_.Call([](Bench& b) { return ChipFieldsFromModel(b.core().chipModel()); }, this,
                [this](ChipFieldsSnapshot fields) { SetChipFields(std::move(fields)); });
    RunOnBench([](Bench&) {});
}

const ChipFields& BlockPanel::fields() const {
    return *fields_;
}

int BlockPanel::StoredValue(std::string_view field) const {
    const auto it = stored_.find(field);
    return it == stored_.end() ? 0 : it->second;
}

const TRegField& BlockPanel::FieldRecord(std::string_view field) const {
    return fields_->Info(field).field;
}

const std::vector<double>& BlockPanel::Gains(std::string_view field) const {
    return fields_->Info(field).gains;
}

uint8_t BlockPanel::ImageByte(int address) const {
    if (address < 0 || address >= kRegisterImageSize) return 0;
    return image_.bytes[static_cast<size_t>(address)];
}

int BlockPanel::ReadField(std::string_view field) {
    const TRegField& record = FieldRecord(field);
    const int value = record.IsDefined() ? record.Extract(ImageByte(record.registerIndex)) : 0;
    stored_[std::string(field)] = value;
    return value;
}

void BlockPanel::SetRegisterImage(const RegisterImageSnapshot& image) {
    image_ = image;
    DataUpdate();
    notReadCover_->setVisible(!image.read);
    if (!image.read) notReadCover_->raise();
    update();
}

void BlockPanel::SetChipFields(ChipFieldsSnapshot fields) {
    fields_ = fields ? std::move(fields) : std::make_shared<ChipFields>();
    for (auto& [field, control] : boundControls_) {
        if (control) control->setEnabled(FieldRecord(field).IsDefined());
    }
    for (auto& [field, control] : captionControls_) {
        const auto& caption = fields_->Info(field).caption;
        if (control && caption) control->setText(*caption);
    }
    for (auto& [field, selector] : selectors_) ApplySelector(field, selector);
    ChipFieldsChanged();
    DataUpdate();
    update();
}

void BlockPanel::ApplySelector(const std::string& field, Selector& selector) {
    const PanelFieldInfo& info = fields_->Info(field);
    const int options = OptionsOf(info.field);
    auto applyRow = [&](std::vector<BoundLabel*>& labels, const std::vector<PanelOption>& given) {
        for (size_t k = 0; k < labels.size(); ++k) {
            const PanelOption* option = k < given.size() ? &given[k] : nullptr;
            if (option && option->text) labels[k]->setText(*option->text);
            // A label that is no option of this chip, or one the description hides, goes.
            const bool exists = info.field.IsDefined() ? static_cast<int>(k) < options : true;
            labels[k]->setVisible(exists && !(option && option->hidden));
        }
    };
    applyRow(selector.labels, info.options);
    applyRow(selector.secondLabels, info.secondOptions.empty() ? info.options : info.secondOptions);

    QComboBox* combo = selector.combo;
    if (info.comboItems) {
        combo->clear();
        for (const auto& [text, option] : *info.comboItems) combo->addItem(text, option);
    } else if (combo->count() != selector.designItems.size()) {
        combo->clear();
        for (int k = 0; k < selector.designItems.size(); ++k)
            combo->addItem(selector.designItems[k], k);
    }
}

const BlockPanel::Selector* BlockPanel::FindSelector(std::string_view field) const {
    const auto it = selectors_.find(field);
    return it == selectors_.end() ? nullptr : &it->second;
}

void BlockPanel::paintEvent(QPaintEvent* event) {
    // A control repaints the diagram beneath it: a live reading's display does so with every
    // reading, and drawing the whole diagram again each time (its texts shaped anew) cost a
    // tenth of a core. The diagram changes only when the panel repaints as a whole, so
    // what lies beneath one control comes from the diagram as last drawn.
    bool beneathOneControl = false;
    for (QObject* child : children()) {
        const auto* control = qobject_cast<QWidget*>(child);
        // The "not read yet" cover spans the whole panel: it is no control.
        if (control && control != notReadCover_ && control->isVisible() && !control->isWindow() &&
            control->geometry().contains(event->rect())) {
            beneathOneControl = true;
            break;
        }
    }
    QPainter target(this);
    if (target.paintEngine()->type() != QPaintEngine::Raster) {
        // A printer, a PDF or a recorded picture gets the diagram itself, sharp at any size.
        target.fillRect(rect(), DefaultDiagramStyle().paper);
        DiagramPainter diagram(target);
        PaintDiagram(diagram);
        return;
    }
    const qreal ratio = devicePixelRatioF();
    if (diagram_.size() != size() * ratio || !beneathOneControl) {
        diagram_ = QPixmap(size() * ratio);
        diagram_.setDevicePixelRatio(ratio);
        QPainter painter(&diagram_);
        painter.fillRect(rect(), DefaultDiagramStyle().paper);
        DiagramPainter diagram(painter);
        PaintDiagram(diagram);
    }
    target.drawPixmap(0, 0, diagram_);
}

// ---- building

BoundLabel* BlockPanel::AddSwitchPanel(const QString& name, const QString& caption, const QRect& r,
                                       const char* field) {
    auto* panel = new BoundLabel(name, caption, BoundLabel::Shape::Panel, this);
    panel->setGeometry(r);
    connect(panel, &BoundLabel::clicked, this, [this, field] { ENPanel(field); });
    BindControl(field, panel);
    BindCaption(field, panel);
    return panel;
}

BoundLabel* BlockPanel::AddSwitchLabel(const QString& name, const QString& caption, const QRect& r,
                                       const char* field) {
    auto* label = new BoundLabel(name, caption, BoundLabel::Shape::Cell, this);
    label->setGeometry(r);
    connect(label, &BoundLabel::clicked, this, [this, field] { ENLabel(field); });
    BindControl(field, label);
    BindCaption(field, label);
    return label;
}

BoundLabel* BlockPanel::AddReadout(const QString& name, const QString& text, const QRect& r,
                                   Qt::Alignment align) {
    auto* label = new BoundLabel(name, text, BoundLabel::Shape::Readout, this);
    label->setGeometry(r);
    label->setAlignment(align);
    // Text on the diagram: whatever lies under it shows through.
    label->Paint(Qt::transparent, DefaultDiagramStyle().ink);
    return label;
}

BoundLabel* BlockPanel::AddIndicator(const QString& name, const QString& text, const QRect& r) {
    auto* label = new BoundLabel(name, text, BoundLabel::Shape::Cell, this);
    label->setGeometry(r);
    label->unsetCursor();
    return label;
}

BoundLabel* BlockPanel::AddDisplay(const QString& name, const QString& text, const QRect& r) {
    auto* display = new BoundLabel(name, text, BoundLabel::Shape::Display, this);
    display->setGeometry(r);
    display->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    display->setFont(DiagramFont(TextRole::Block));
    return display;
}

QComboBox* BlockPanel::AddCombo(const QString& name, const QStringList& items, const QRect& r,
                                int visibleRows) {
    auto* combo = new QComboBox(this);
    combo->setObjectName(name);
    combo->setFont(DiagramFont(TextRole::Signal));
    // Narrow margins: the entries ("SAD1RP<000>") fit the small boxes on the diagram.
    combo->setStyleSheet(QStringLiteral("QComboBox { padding: 0px 0px 0px 3px; }"));
    combo->setGeometry(r);
    combo->setMaxVisibleItems(visibleRows);
    for (int k = 0; k < items.size(); ++k) combo->addItem(items[k], k);
    combo->setCurrentIndex(0);
    return combo;
}

QComboBox* BlockPanel::AddValueCombo(const QString& name, const QStringList& items, const QRect& r,
                                     const char* field) {
    QComboBox* combo = AddCombo(name, items, r, std::max(8, static_cast<int>(items.size())));
    // Only the user's choices write; the panel's own repaints set the index silently.
    connect(combo, &QComboBox::activated, this,
            [this, field, combo](int index) { ComboChange(field, combo, index); });
    BindControl(field, combo);
    return combo;
}

QComboBox* BlockPanel::AddSelector(const SelectorLayout& plan) {
    Selector selector;
    selector.designItems = plan.comboItems;
    selector.combo = AddCombo(plan.comboName, plan.comboItems, plan.comboRect, plan.visibleRows);
    const char* field = plan.field;
    QComboBox* combo = selector.combo;
    if (plan.comboChoice) {
        connect(combo, &QComboBox::activated, this, plan.comboChoice);
    } else {
        connect(combo, &QComboBox::activated, this,
                [this, field, combo](int index) { ComboChange(field, combo, index); });
    }
    BindControl(field, combo);
    auto addRow = [&](const QStringList& names, const QStringList& texts,
                      const std::vector<QRect>& rects, std::vector<BoundLabel*>& row) {
        for (int k = 0; k < names.size(); ++k) {
            const QString text = k < texts.size() ? texts[k] : QString();
            BoundLabel* label = nullptr;
            if (plan.labelsChoose) {
                label = new BoundLabel(names[k], text, BoundLabel::Shape::Cell, this);
                label->setGeometry(rects.at(static_cast<size_t>(k)));
                connect(label, &BoundLabel::clicked, this,
                        [this, field, label] { OptionLabelClick(field, label); });
            } else {
                label = AddIndicator(names[k], text, rects.at(static_cast<size_t>(k)));
            }
            BindControl(field, label);
            row.push_back(label);
        }
    };
    addRow(plan.labelNames, plan.labelTexts, plan.labelRects, selector.labels);
    addRow(plan.secondNames, plan.secondTexts, plan.secondRects, selector.secondLabels);
    selectors_[field] = std::move(selector);
    return combo;
}

DiagramPicture* BlockPanel::AddPicture(const QString& name, const QRect& r,
                                       DiagramPicture::PaintFunction paint) {
    return new DiagramPicture(name, r, std::move(paint), this);
}

std::pair<DiagramPicture*, DiagramPicture*> BlockPanel::AddChopperIndicators(const QString& name00,
                                                                             const QString& name01,
                                                                             const QRect& r) {
    auto picture = [&](const QString& name, bool crossed) {
        DiagramPicture* p = AddPicture(name, r, [crossed](DiagramPainter& d, const QRectF& area) {
            parts::ChopperPicture(d, area.adjusted(0.5, 0.5, -0.5, -0.5), crossed);
        });
        p->SetClickable(false);
        return p;
    };
    DiagramPicture* straight = picture(name00, false);
    DiagramPicture* crossed = picture(name01, true);
    crossed->hide();
    return {straight, crossed};
}

BlockPanel::PicturePair BlockPanel::AddSwitchPictures(const QString& onName, const QString& offName,
                                                      const QRect& r) {
    auto picture = [&](const QString& name, bool closed) {
        return AddPicture(name, r, [closed](DiagramPainter& d, const QRectF& box) {
            parts::SwitchPicture(d, box, closed);
        });
    };
    return {picture(onName, true), picture(offName, false)};
}

void BlockPanel::ClickToggles(DiagramPicture* picture, const char* field) {
    connect(picture, &DiagramPicture::clicked, this, [this, field] { ENPanel(field); });
    BindControl(field, picture);
}

void BlockPanel::ClickChooses(DiagramPicture* picture, const char* field, int option) {
    connect(picture, &DiagramPicture::clicked, this,
            [this, field, option] { ChooseOption(field, option); });
    BindControl(field, picture);
}

void BlockPanel::BindCaption(const char* field, QLabel* control) {
    captionControls_.emplace(field, control);
}

void BlockPanel::BindControl(const char* field, QWidget* control) {
    boundControls_.emplace(field, control);
    control->setEnabled(FieldRecord(field).IsDefined());
}

void BlockPanel::OptionStubs(DiagramPainter& d, std::string_view field, double toX,
                             bool secondRow) const {
    const Selector* selector = FindSelector(field);
    if (!selector) return;
    for (const BoundLabel* label : secondRow ? selector->secondLabels : selector->labels) {
        if (label->isHidden()) continue;
        const QRect r = label->geometry();
        const double y = r.top() + r.height() / 2.0;
        d.Wire({QPointF(r.right() + 1, y), QPointF(toX, y)});
    }
}

// ---- painting state

void BlockPanel::PanelSwitch(BoundLabel* panel, int value) {
    panel->PaintChosen(value != 0, WindowColour());
}

void BlockPanel::LabelSwitch(BoundLabel* label, int value) {
    label->PaintChosen(value != 0, WindowColour());
}

void BlockPanel::FaceSwitch(BoundLabel* label, int value) {
    label->PaintChosen(value != 0, ButtonFaceColour());
}

void BlockPanel::ShowPicturePair(int value, QWidget* on, QWidget* off) {
    on->setVisible(value == 0);
    off->setVisible(value != 0);
}

void BlockPanel::ShowWhenSet(int value, QWidget* on, QWidget* off) {
    on->setVisible(value != 0);
    off->setVisible(value == 0);
}

const std::vector<BoundLabel*>& BlockPanel::OptionLabels(std::string_view field) const {
    static const std::vector<BoundLabel*> kNone;
    const Selector* selector = FindSelector(field);
    return selector ? selector->labels : kNone;
}

QString BlockPanel::OptionText(std::string_view field, int option) const {
    const auto& labels = OptionLabels(field);
    if (option < 0 || option >= static_cast<int>(labels.size())) return {};
    return labels[static_cast<size_t>(option)]->text();
}

void BlockPanel::SetComboValue(QComboBox* combo, int value) {
    combo->setCurrentIndex(combo->findData(value));
}

void BlockPanel::ShowOption(std::string_view field, int value) {
    const Selector* selector = FindSelector(field);
    if (!selector) return;
    const int options =
        std::max(OptionsOf(FieldRecord(field)), static_cast<int>(selector->labels.size()));
    // A stored value at or beyond the option count shows option 0.
    const int chosen = value < OptionsOf(FieldRecord(field)) ? value : 0;
    for (const auto* row : {&selector->labels, &selector->secondLabels}) {
        for (int k = 0; k < static_cast<int>(row->size()) && k < options; ++k) {
            (*row)[static_cast<size_t>(k)]->PaintChosen(k == chosen, ButtonFaceColour());
        }
    }
    SetComboValue(selector->combo, chosen);
}

// ---- user actions

void BlockPanel::WriteField(std::string_view field, int value) {
    const TRegField record = FieldRecord(field);
    if (!record.IsDefined()) return;
    RunOnBench([record, value](Bench& b) { WriteFieldValue(b.chip(), record, value); });
}

void BlockPanel::ENPanel(std::string_view field) {
    const TRegField record = FieldRecord(field);
    if (!record.IsDefined()) return;
    // The bench toggles what its image holds, so quick double clicks toggle twice.
    RunOnBench([record](Bench& b) { ToggleField(b.chip(), record); });
}

void BlockPanel::ComboChange(std::string_view field, QComboBox* combo, int index) {
    const TRegField& record = FieldRecord(field);
    if (!record.IsDefined() || index < 0) return;
    const QVariant data = combo->itemData(index);
    const int chosen = data.isValid() ? data.toInt() : index;
    int& stored = stored_[std::string(field)];
    // A choice beyond the field's options is put back; the stored value is written
    // either way, so the chip and the combo box agree again.
    if (chosen > OptionsOf(record) - 1)
        SetComboValue(combo, stored);
    else
        stored = chosen;
    ShowOption(field, stored);
    // The image the write leaves behind comes back and repaints the rest.
    WriteField(field, stored);
}

void BlockPanel::OptionLabelClick(std::string_view field, const QObject* label) {
    const Selector* selector = FindSelector(field);
    if (!selector) return;
    const int options = OptionsOf(FieldRecord(field));
    for (int k = 0; k < options; ++k) {
        const bool first = k < static_cast<int>(selector->labels.size()) &&
                           selector->labels[static_cast<size_t>(k)] == label;
        const bool second = k < static_cast<int>(selector->secondLabels.size()) &&
                            selector->secondLabels[static_cast<size_t>(k)] == label;
        if (first || second) {
            ChooseOption(field, k);
            return;
        }
    }
    // Not an option label of this field: nothing to write, only a repaint.
    DataUpdate();
}

void BlockPanel::ChooseOption(std::string_view field, int option) {
    if (!FieldRecord(field).IsDefined()) return;
    stored_[std::string(field)] = option;
    ShowOption(field, option);
    WriteField(field, option);
}

}  // namespace dmm::gui
