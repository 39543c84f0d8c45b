#include "gui/analog/t_mpn.h"

#include "gui/analog/diagram_layout.h"
#include "gui/analog/t_mpn_layout.h"

namespace dmm::gui {
namespace {

using namespace mpn;

template <size_t N>
QStringList Texts(const std::array<const char*, N>& texts) {
    QStringList list;
    for (const char* text : texts) list << QString::fromLatin1(text);
    return list;
}

// The mode switches' picture names, in ModeSwitches order.
constexpr const char* kModeSwitchNames[kModeSwitches] = {"SAGND", "SVDD",   "SVSS", "SVSO1",
                                                         "SVSO2", "NSVSO2", "SCP",  "SCN"};

}  // namespace

TMPN::TMPN(Bench& bench, QWidget* parent)
    : BlockPanel(bench, "TMPN", "MPN", QSize(967, 732), parent) {
    BuildBanks();
    BuildMode();
    BuildReference();
    BuildComparator();
    BuildOutputs();
    DataUpdate();
}

void TMPN::BuildBanks() {
    for (size_t b = 0; b < banks_.size(); ++b) {
        const Bank& bank = kBanks[b];
        for (int k = 0; k < kBankSwitches; ++k) {
            const QString name = QString::fromLatin1(bank.prefix) + QString::number(k);
            PicturePair& pair = banks_[b][static_cast<size_t>(k)];
            pair = AddSwitchPictures(name + "on", name + "off", BankSwitch(bank, k));
            const char* field = kBankFields[b][k];
            ClickToggles(pair.on, field);
            ClickToggles(pair.off, field);
        }
    }
}

void TMPN::BuildMode() {
    SMODE = AddCombo("SMODE", layout::BinaryItems(16, 4, "S_MODE<", ">"), kModeCombo, 16);
    connect(SMODE, &QComboBox::activated, this,
            [this](int index) { ModeOrReferenceChange("SMODE", SMODE, index); });
    BindControl("SMODE", SMODE);
    SMODE3 = AddIndicator("SMODE3", "S_MODE<3>", kModeBit3);
    for (int r = 0; r < kModeSwitches; ++r) {
        const QString name = QString::fromLatin1(kModeSwitchNames[r]);
        const int y = ModeRowY(r);
        const bool twoPictures = r == 4;  // SVSO2: two switches in series
        const QRect first(kModeSwitchX, y - 10, twoPictures ? 30 : 40, 20);
        PicturePair& pair = modeSwitches_[static_cast<size_t>(r)];
        pair = twoPictures ? AddSwitchPictures(name + "on0", name + "off0", first)
                           : AddSwitchPictures(name + "on", name + "off", first);
        if (twoPictures) {
            svso2Second_ = AddSwitchPictures(name + "on1", name + "off1",
                                             QRect(kModeSwitchX + 32, y - 10, 30, 20));
        }
    }
    // The mode switches show the mode; only the mode selector changes it.
    ShowsOnly(svso2Second_);
    for (const PicturePair& pair : modeSwitches_) ShowsOnly(pair);
    SMODE4 = AddSwitchPictures("SMODE4on", "SMODE4off", kSmode4);
    SMODE5 = AddSwitchPictures("SMODE5on", "SMODE5off", kSmode5);
    for (auto [pair, field] : {std::pair{&SMODE4, "SMODE4"}, std::pair{&SMODE5, "SMODE5"}}) {
        ClickToggles(pair->on, field);
        ClickToggles(pair->off, field);
    }
}

void TMPN::BuildReference() {
    SelectorLayout plan;
    plan.field = "SFUVR";
    plan.comboName = "SFUVR";
    plan.comboItems = layout::BinaryItems(16, 4, "S_FUVR<", ">");
    plan.comboRect = kRefCombo;
    plan.visibleRows = 16;
    plan.labelNames = layout::NumberedNames("SFUVR", 16);
    plan.labelTexts = Texts(kReferenceTapTexts);
    // The lower eight taps in one column, the upper eight beside them.
    plan.labelRects = layout::LabelColumn(kRefLowX, kRefLabelTop, 8, kRefLabelWidth);
    for (const QRect& r : layout::LabelColumn(kRefHighX, kRefLabelTop, 8, kRefLabelWidth))
        plan.labelRects.push_back(r);
    plan.labelsChoose = false;
    plan.comboChoice = [this](int index) { ModeOrReferenceChange("SFUVR", SFUVR, index); };
    SFUVR = AddSelector(plan);
}

void TMPN::BuildComparator() {
    auto selector = [this](const char* field, const QString& combo, const QString& stem,
                           const QStringList& items, const QStringList& texts, int x, int top,
                           const QRect& comboRect, int width) {
        SelectorLayout plan;
        plan.field = field;
        plan.comboName = combo;
        plan.comboItems = items;
        plan.comboRect = comboRect;
        plan.visibleRows = 16;
        plan.labelNames = layout::NumberedNames(stem, static_cast<int>(texts.size()));
        plan.labelTexts = texts;
        plan.labelRects = layout::LabelColumn(x, top, static_cast<int>(texts.size()), width);
        return AddSelector(plan);
    };
    const int thresholdOut = kThresholdTop + 8 * layout::kLabelPitch - 1;
    SCMPRH = selector("S_CMPRH", "SCMPRH", "SCMPRH", layout::BinaryItems(16, 4, "S_CMPRH<", ">"),
                      Texts(kUpperThresholdTexts), kUpperLabelX, kThresholdTop,
                      QRect(kUpperMuxLeft + kMuxWidth + 18, thresholdOut - 24, 110, 20),
                      kThresholdLabelWidth);
    // The design-time entries keep the misprint of the third one.
    QStringList lowItems = layout::BinaryItems(16, 4, "S_CMPRL<", ">");
    lowItems[2] = QStringLiteral("S_CMPRL>0010>");
    SCMPRL =
        selector("S_CMPRL", "SCMPRL", "SCMPRL", lowItems, Texts(kLowerThresholdTexts), kLowerLabelX,
                 kThresholdTop, QRect(kLowerMuxLeft + kMuxWidth + 18, thresholdOut - 24, 110, 20),
                 kThresholdLabelWidth);
    const int inputOut = kInputTop + 4 * layout::kLabelPitch - 1;
    SCMPI =
        selector("S_CMPI", "SCMPI", "SCMPI", layout::BinaryItems(8, 3, "S_CMPI<", ">"),
                 Texts(kComparatorInputTexts), kInputLabelX, kInputTop,
                 QRect(kInputMuxLeft + kMuxWidth + 4, inputOut - 25, 92, 20), layout::kLabelWidth);
    ENCMP = AddSwitchLabel("ENCMP", "EN_CMP",
                           QRect(kComparator.x() + 2, kComparator.bottom() + 6, 56, 16), "EN_CMP");
}

void TMPN::BuildOutputs() {
    sdio_ = AddSwitchPictures("SDIOon", "SDIOoff", kSdioSwitch);
    ClickToggles(sdio_.on, "SDIO");
    ClickToggles(sdio_.off, "SDIO");

    LDCPO = AddIndicator("LDCPO", "DCPO", kDirectLabel);
    LACPO = AddIndicator("LACPO", "ACPO", kLatchedLabel);
    LCPOLevel = AddIndicator("LCPOLevel", "low", kCpoLevel);
    LCPOLevel->setToolTip(QStringLiteral(
        "The comparator's output level (ACPO) as last read from the chip: \"Read RAM\" or a "
        "choice of SMODE or SFUVR reads it"));
    SADCP = AddSwitchLabel("SADCP", "SDACP",
                           QRect(kStateMux.center().x() - 29, kStateMux.bottom() + 6, 58, 16),
                           "SADCPO");

    accIn_ = AddSwitchPictures("ACCon0", "ACCoff0", kAccSwitchIn);
    accOut_ = AddSwitchPictures("ACCon1", "ACCoff1", kAccSwitchOut);
    // The accumulator's switches show whether it is in the path; ACC's entry sets it.
    ShowsOnly(accIn_);
    ShowsOnly(accOut_);
    ACC = AddValueCombo("ACC", layout::BinaryItems(128, 7, "ACC<", ">"),
                        QRect(kAccSwitchOut.right() + 10, kAccY - 36, 108, 20), "ACC");
    ACC->setMaxVisibleItems(16);

    // Names of the comparator output net along its branches.
    CPO1 = AddReadout("CPO1", "CPO", QRect(kComparator.right() + 2, kCpoY - 16, 26, 13));
    CPO2 = AddReadout("CPO2", "CPO", QRect(kCpoNodeX + 2, kSdioY - 16, 26, 13));
    Label1 = AddReadout("Label1", "CPO", QRect(kCpoNodeX - 28, kAccY - 16, 26, 13));
    for (BoundLabel* name : {CPO1, CPO2, Label1}) name->setFont(DiagramFont(TextRole::Note));
    // A cover of the designer's that the window keeps under its name, out of sight.
    PMPNCov1 = AddReadout("PMPNCov1", QString(), QRect(0, 0, 1, 1));
    PMPNCov1->hide();
    SetProductVariant(0);
}

// ---- user actions

void TMPN::RefreshComparatorStatus() {
    const TRegField rise = FieldRecord("FGRISE");
    const TRegField level = FieldRecord("ACPO");
    bench_.Post([rise, level](Bench& b) {
        for (const TRegField& field : {rise, level}) {
            if (!field.IsDefined()) continue;
            const auto address = static_cast<uint16_t>(field.registerIndex);
            if (!b.chip().ReadChip(address, 1)) continue;
            const uint8_t value = b.chip().buffer()[0];
            b.chip().SetRegImage(address, value);
            // The status register holds the interrupt flags too: reading it clears them in
            // the chip, so the heartbeat gets what this read took.
            b.up().AccumulateFlags(address, value);
        }
    });
}

void TMPN::ModeOrReferenceChange(const char* field, QComboBox* combo, int index) {
    RefreshComparatorStatus();
    // Chosen like every other combo box: an entry beyond the field's options is put back
    // and the stored value written, so a narrower field never gets stray bits.
    ComboChange(field, combo, index);
    // The choice is shown at once by the tap rule, not as a plain selector shows it.
    if (combo == SFUVR) ShowReference(StoredValue("SFUVR"));
}

// ---- refresh

bool TMPN::UpdateComparatorState() {
    comparatorHigh_ = ComparatorHigh(ReadField("SADCPO"), ReadField("FGRISE"), ReadField("ACPO"));
    return comparatorHigh_;
}

void TMPN::ShowMode(int mode) {
    SetComboValue(SMODE, mode);
    FaceSwitch(SMODE3, ComparatorMode(mode));
    const bool high = ComparatorMode(mode) && UpdateComparatorState();
    const std::optional<int> pattern = ModePattern(mode, high);
    if (!pattern) return;
    pattern_ = *pattern;
    const ModeSwitches& closed = ModePatternSwitches(pattern_);
    for (int r = 0; r < kModeSwitches; ++r)
        ShowWhenSet(closed[static_cast<size_t>(r)], modeSwitches_[static_cast<size_t>(r)]);
    ShowWhenSet(closed[4], svso2Second_);
}

void TMPN::ShowReference(int value) {
    const auto& labels = OptionLabels("SFUVR");
    for (BoundLabel* label : labels) FaceSwitch(label, 0);
    SetComboValue(SFUVR, value);
    const int mode = StoredValue("SMODE");
    const bool high = ComparatorMode(mode) && UpdateComparatorState();
    const int chosen = ReferenceTapLabel(value, mode, high);
    if (chosen >= 0 && chosen < static_cast<int>(labels.size()))
        FaceSwitch(labels[static_cast<size_t>(chosen)], 1);
}

void TMPN::DataUpdate() {
    for (size_t b = 0; b < banks_.size(); ++b) {
        for (int k = 0; k < kBankSwitches; ++k) {
            ShowWhenSet(ReadField(kBankFields[b][k]), banks_[b][static_cast<size_t>(k)]);
        }
    }
    ShowMode(ReadField("SMODE"));
    ShowWhenSet(ReadField("SMODE4") == 1, SMODE4);
    ShowWhenSet(ReadField("SMODE5") == 1, SMODE5);
    ShowReference(ReadField("SFUVR"));
    const int acc = ReadField("ACC");
    ShowWhenSet(acc, accIn_);
    ShowWhenSet(acc, accOut_);
    SetComboValue(ACC, acc);
    ShowWhenSet(ReadField("SDIO"), sdio_);
    FaceSwitch(ENCMP, ReadField("EN_CMP"));
    for (const char* selector : {"S_CMPRH", "S_CMPI", "S_CMPRL"})
        ShowOption(selector, ReadField(selector));
    const bool level = ReadField("ACPO") != 0;
    LCPOLevel->setText(level ? QStringLiteral("high") : QStringLiteral("low"));
    LabelSwitch(LCPOLevel, level);
    const int routing = ReadField("SADCPO");
    FaceSwitch(SADCP, routing);
    FaceSwitch(LACPO, routing == 1);
    FaceSwitch(LDCPO, routing != 1);
    update();
}

void TMPN::SetProductVariant(int variant) {
    const bool shown = variant != 2 && variant != 3;
    PMPNCov1->setVisible(shown);
    Label1->setVisible(shown);
}

}  // namespace dmm::gui
