#include "headless/chip_operations.h"

#include "core/app/user_numbers.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cctype>

#include "core/chip/chip_list.h"
#include "core/chip/chip_loader.h"
#include "core/views/big5_text.h"

namespace dmm::headless {
namespace {

QString IncludeOf(const HeadlessBench& bench) {
    return IncludeDirectory(QString::fromStdString(bench.benchDir()));
}

// Description files are text in the system code page of their author: plain ASCII for
// the English sections, Big5 where Chinese crept in.
QString Text(std::string_view text) {
    return DescriptionFileText(std::string(text));
}

QJsonArray OptionsJson(const std::vector<OptionLabel>& options) {
    QJsonArray array;
    for (size_t k = 0; k < options.size(); ++k) {
        QJsonObject o{{"option", static_cast<int>(k)}, {"hidden", options[k].hidden}};
        if (options[k].text) o["label"] = Text(*options[k].text);
        array.append(o);
    }
    return array;
}

QJsonObject FieldJson(const DirectoryEntry& entry, const TRegField& field,
                      const FieldPanelData& data) {
    QJsonObject o{{"name", Text(entry.name)},
                  {"section", Text(SectionDirective(entry.section))},
                  {"kind", Text(FieldKindName(entry.kind))},
                  {"register", field.registerIndex},
                  {"width", field.width},
                  {"shift", field.shift},
                  {"mask", field.Mask()}};
    if (data.caption) o["caption"] = Text(*data.caption);
    if (!data.options.empty()) o["options"] = OptionsJson(data.options);
    if (!data.secondOptions.empty()) o["secondOptions"] = OptionsJson(data.secondOptions);
    if (data.comboRebuilt) {
        QJsonArray items;
        for (const ComboEntry& e : data.comboItems)
            items.append(QJsonObject{{"text", Text(e.text)}, {"option", e.option}});
        o["comboItems"] = items;
        o["selectFirstItem"] = data.selectFirstItem;
    }
    if (!data.gains.empty()) {
        QJsonArray gains;
        for (double g : data.gains) gains.append(g);
        o["gains"] = gains;
    }
    return o;
}

QJsonObject MapJson(const TChipModel& m) {
    QJsonArray areas;
    for (const AddressRange& r : m.registerAreas)
        areas.append(QJsonObject{{"start", r.start}, {"end", r.end}});
    QJsonArray banks;
    for (size_t b = 0; b < m.ramBanks.size(); ++b) {
        if (!m.ramBanks[b].Exists()) continue;
        banks.append(QJsonObject{{"bank", static_cast<int>(b)},
                                 {"start", m.ramBanks[b].start},
                                 {"end", m.ramBanks[b].end}});
    }
    QJsonArray bits;
    for (int i = 0; i < m.bitRegisters.Count(); ++i) {
        const TBitRegEntry& e = *m.bitRegisters.Items(i);
        QJsonArray bitSlots;
        for (int bit = 7; bit >= 0; --bit) {
            bitSlots.append(QJsonObject{{"bit", bit},
                                        {"name", Text(e.Bit(bit).name)},
                                        {"description", ShownDescription(e.Bit(bit).description)}});
        }
        bits.append(QJsonObject{{"page", e.page + 1},
                                {"name", Text(e.name)},
                                {"address", e.address},
                                {"mask", m.RegMask[e.address]},
                                {"description", ShownDescription(e.description)},
                                {"bits", bitSlots}});
    }
    QJsonArray bytes;
    for (int i = 0; i < m.byteRegisters.Count(); ++i) {
        const TByteRegEntry& e = *m.byteRegisters.Items(i);
        bytes.append(QJsonObject{{"name", Text(e.name)},
                                 {"address", e.address},
                                 {"mask", e.mask},
                                 {"description", ShownDescription(e.description)}});
    }
    QJsonArray words;
    for (int i = 0; i < m.wordRegisters.Count(); ++i) {
        const TWordRegEntry& e = *m.wordRegisters.Items(i);
        words.append(QJsonObject{{"name", Text(e.name)},
                                 {"highAddress", e.highAddress},
                                 {"lowAddress", e.lowAddress},
                                 {"highMask", e.highMask},
                                 {"lowMask", e.lowMask},
                                 {"description", ShownDescription(e.description)}});
    }
    QJsonArray fields;
    for (size_t i = 0; i < kFieldDirectorySize; ++i) {
        if (m.FieldAt(i).IsDefined())
            fields.append(FieldJson(FieldDirectory()[i], m.FieldAt(i), m.PanelDataAt(i)));
    }
    QJsonArray pages;
    for (uint16_t c : m.pageCounts) pages.append(c);
    return QJsonObject{
        {"product", Text(m.productTitle)},
        {"compiler", Text(m.compilerName)},
        {"id", m.chipId},
        {"programMemorySize", static_cast<qint64>(m.programMemorySize)},
        {"stackDepth", m.stackDepth},
        {"simic", m.simicValue},
        {"adcCount", m.adcCount},
        {"threeByteRegisters", m.threeByteCount},
        {"registerPanelCaption", Text(m.registerPanelCaption)},
        {"mainCaption", Text(m.mainCaption)},
        {"instrumentControlsHidden", m.instrumentUiHidden},
        {"registerAreas", areas},
        {"ramBanks", banks},
        {"pages", pages},
        {"bitRegisters", bits},
        {"byteRegisters", bytes},
        {"wordRegisters", words},
        {"fields", fields},
    };
}

}  // namespace

std::vector<std::string> ListChips(HeadlessBench& bench) {
    const ChipSelector selector = FillChipSelector(IncludeOf(bench));
    if (!selector.fromFile) {
        bench.hooks().Say("no chip list " + std::string(kChipListFileName) + " in " +
                          IncludeOf(bench).toStdString() +
                          "; these fallback entries cannot be loaded");
    }
    return selector.texts;
}

std::string ChipSummaryText(const ChipSummary& s) {
    return (s.productTitle.empty() ? "(no product title)" : s.productTitle) + ": " +
           std::to_string(s.bitRegisters) + " bit registers (pages " + std::to_string(s.pages[0]) +
           '/' + std::to_string(s.pages[1]) + '/' + std::to_string(s.pages[2]) + '/' +
           std::to_string(s.pages[3]) + "), " + std::to_string(s.byteRegisters) +
           " byte registers, " + std::to_string(s.wordRegisters) + " word registers, " +
           std::to_string(s.fields) + " fields";
}

Result<ChipSummary> LoadChipDescription(HeadlessBench& bench, int64_t index) {
    if (index < 0 || index > 0xFFFF) return Refused("INDEX must be 0..65535");
    if (Done loaded = bench.LoadChip(static_cast<int>(index)); !loaded) return loaded.failure();
    const TChipModel& m = bench.core().chipModel();
    ChipSummary s;
    s.productTitle = m.productTitle;
    s.bitRegisters = m.bitRegisters.Count();
    for (size_t i = 0; i < s.pages.size(); ++i) s.pages[i] = m.pageCounts[i];
    s.byteRegisters = m.ByteCount();
    s.wordRegisters = m.WordCount();
    for (size_t i = 0; i < kFieldDirectorySize; ++i) s.fields += m.FieldAt(i).IsDefined() ? 1 : 0;
    return s;
}

Result<QByteArray> RegisterMapJson(HeadlessBench& bench) {
    if (Done chip = bench.EnsureChip(); !chip) return chip.failure();
    return QJsonDocument(MapJson(bench.core().chipModel())).toJson(QJsonDocument::Indented);
}

Result<std::vector<std::string>> BoundFieldNames(HeadlessBench& bench) {
    if (Done chip = bench.EnsureChip(); !chip) return chip.failure();
    std::vector<std::string> names;
    const TChipModel& m = bench.core().chipModel();
    for (size_t i = 0; i < kFieldDirectorySize; ++i) {
        if (m.FieldAt(i).IsDefined()) names.emplace_back(FieldDirectory()[i].name);
    }
    return names;
}

Result<int> AccessField(HeadlessBench& bench, const std::string& fieldName,
                        std::optional<int64_t> value) {
    if (Done chip = bench.EnsureChip(); !chip) return chip.failure();
    std::string name = fieldName;
    for (char& c : name) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    TRegField* field = bench.core().chipModel().Field(name);
    if (!field) return Refused("no field named " + name + " in the field directory");
    if (!field->IsDefined()) {
        return Refused("the loaded chip (" + bench.core().chipModel().productTitle +
                       ") does not bind " + name);
    }
    if (value && (*value < 0 || *value >= field->OptionCount())) {
        const WholeRule rule{"a value of this field", 0, field->OptionCount() - 1, "VALUE"};
        Failure refused =
            Refused("VALUE: " + Refusal(std::to_string(*value), rule.what, RangeText(rule)) + ": " +
                    name + " is " + std::to_string(field->width) + " bits wide");
        refused.invalidValue = true;
        return refused;
    }
    if (Done link = bench.EnsureChipLink(); !link) return link.failure();
    ChipAccess& chip = bench.core().chip();
    const auto address = static_cast<uint16_t>(field->registerIndex);
    // Start from the chip's present byte, not a stale image, so other fields keep their bits.
    if (!chip.ReadChip(address, 1)) return bench.ChipFailure("chip read failed");
    const uint8_t current = chip.buffer()[0];
    chip.SetRegImage(address, current);
    if (value) {
        if (!chip.WriteRegister(address, field->Insert(current, static_cast<int>(*value))))
            return bench.ChipFailure("register write failed");
    }
    field->value = field->Extract(chip.GetRegImage(address));
    if (value && field->value != *value) {
        bench.hooks().Say(name + " reads back " + std::to_string(field->value) + ", not " +
                          std::to_string(*value));
    }
    return field->value;
}

}  // namespace dmm::headless
