// Verbs about the chip description: chips, load, map, field.
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStringDecoder>

#include <cctype>

#include "cli/verb.h"
#include "core/chip/chip_list.h"
#include "core/chip/chip_loader.h"
#include "core/link/number_text.h"
#include "core/views/big5_text.h"

namespace dmm::cli {
namespace {

QString IncludeOf(Session& s) {
    return IncludeDirectory(QString::fromStdString(s.benchDir()));
}

// Description files are text in the system code page of their author: plain ASCII for
// the English sections, Big5 where Chinese crept in.
QString Text(std::string_view text) {
    return DescriptionFileText(std::string(text));
}

class ChipsVerb final : public Verb {
  public:
    void Define(CLI::App&) override {}
    bool Run(Session& s) override {
        const ChipSelector selector = FillChipSelector(IncludeOf(s));
        if (!selector.fromFile) {
            s.err() << "dmmctl: no chip list " << kChipListFileName << " in "
                    << IncludeOf(s).toStdString() << "; these fallback entries cannot be loaded\n";
        }
        for (size_t i = 0; i < selector.texts.size(); ++i)
            s.out() << i << "  " << selector.texts[i] << '\n';
        return true;
    }
};

class LoadVerb final : public Verb {
  public:
    void Define(CLI::App& app) override {
        app.add_option("INDEX", index_, "line of the chip list, from 0")
            ->required()
            ->transform(Whole({"a line of the chip list", 0, 0xFFFF}));
    }
    bool Run(Session& s) override {
        if (!s.LoadChip(index_)) return false;
        const TChipModel& m = s.core().chipModel();
        int bound = 0;
        for (size_t i = 0; i < kFieldDirectorySize; ++i) bound += m.FieldAt(i).IsDefined() ? 1 : 0;
        s.out() << (m.productTitle.empty() ? "(no product title)" : m.productTitle) << ": "
                << m.bitRegisters.Count() << " bit registers (pages " << m.pageCounts[0] << '/'
                << m.pageCounts[1] << '/' << m.pageCounts[2] << '/' << m.pageCounts[3] << "), "
                << m.ByteCount() << " byte registers, " << m.WordCount() << " word registers, "
                << bound << " fields\n";
        return true;
    }

  private:
    int index_ = 0;
};

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

class MapVerb final : public Verb {
  public:
    void Define(CLI::App&) override {}
    bool Run(Session& s) override {
        if (!s.EnsureChip()) return false;
        s.out() << QJsonDocument(MapJson(s.core().chipModel()))
                       .toJson(QJsonDocument::Indented)
                       .toStdString();
        return true;
    }
};

class FieldVerb final : public Verb {
  public:
    void Define(CLI::App& app) override {
        app.add_option("NAME", name_, "field name, as the chip description binds it")->required();
        // What a field of the loaded chip takes is known once the chip is: its width is
        // checked then.
        app.add_option("VALUE", value_, "value to write (read-modify-write of its register)")
            ->transform(Whole({"a field value", 0, 0xFF, "VALUE", "", WholeForm::Any, true}));
    }
    bool Run(Session& s) override {
        if (!s.EnsureChip()) return false;
        std::string name = name_;
        for (char& c : name) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        TRegField* field = s.core().chipModel().Field(name);
        if (!field) return s.Fail("no field named " + name + " in the field directory");
        if (!field->IsDefined()) {
            return s.Fail("the loaded chip (" + s.core().chipModel().productTitle +
                          ") does not bind " + name);
        }
        const int value = value_;  // -1: none given
        if (value >= field->OptionCount()) {
            const WholeRule rule{"a value of this field", 0, field->OptionCount() - 1, "VALUE"};
            return RefuseValue(
                s, "VALUE: " + Refusal(std::to_string(value), rule.what, RangeText(rule)) + ": " +
                       name + " is " + std::to_string(field->width) + " bits wide");
        }
        if (!s.EnsureChipLink()) return false;
        ChipAccess& chip = s.core().chip();
        const auto address = static_cast<uint16_t>(field->registerIndex);
        // Start from the chip's present byte, not a stale image, so other fields keep their bits.
        if (!chip.ReadChip(address, 1)) return s.ChipFail("chip read failed");
        const uint8_t current = chip.buffer()[0];
        chip.SetRegImage(address, current);
        if (value >= 0) {
            if (!chip.WriteRegister(address, field->Insert(current, static_cast<int>(value)))) {
                return s.ChipFail("register write failed");
            }
        }
        field->value = field->Extract(chip.GetRegImage(address));
        if (value >= 0 && field->value != value) {
            s.err() << "dmmctl: " << name << " reads back " << field->value << ", not " << value
                    << '\n';
        }
        s.out() << field->value << '\n';
        return true;
    }

  private:
    std::string name_;
    int value_ = -1;
};

}  // namespace

void AddChipVerbs(std::vector<VerbInfo>& verbs) {
    verbs.push_back({"chips", "list the chip selector (INCLUDE/VzSel.INC)",
                     [] { return std::make_unique<ChipsVerb>(); }});
    verbs.push_back({"load", "load INDEX: load that chip's description; print what it defines",
                     [] { return std::make_unique<LoadVerb>(); }});
    verbs.push_back({"map", "print the loaded register map and fields as JSON",
                     [] { return std::make_unique<MapVerb>(); }});
    verbs.push_back({"field",
                     "field NAME [VALUE]: read a named field, or write it and print the read-back",
                     [] { return std::make_unique<FieldVerb>(); }});
}

}  // namespace dmm::cli
