// Verbs about the chip description: chips, load, map, field.
#include <optional>

#include "cli/verb.h"
#include "headless/chip_operations.h"
#include "headless/number_rules.h"

namespace dmm::cli {
namespace {

class ChipsVerb final : public Verb {
  public:
    void Define(CLI::App&) override {}
    bool Run(Session& s) override {
        const std::vector<std::string> chips = headless::ListChips(s.bench());
        for (size_t i = 0; i < chips.size(); ++i) s.out() << i << "  " << chips[i] << '\n';
        return true;
    }
};

class LoadVerb final : public Verb {
  public:
    void Define(CLI::App& app) override {
        app.add_option("INDEX", index_, "line of the chip list, from 0")
            ->required()
            ->transform(Whole(headless::kChipLineRule));
    }
    bool Run(Session& s) override {
        const auto summary = headless::LoadChipDescription(s.bench(), index_);
        if (!summary) return s.Fail(summary.failure());
        s.out() << headless::ChipSummaryText(*summary) << '\n';
        return true;
    }

  private:
    int index_ = 0;
};

class MapVerb final : public Verb {
  public:
    void Define(CLI::App&) override {}
    bool Run(Session& s) override {
        const auto map = headless::RegisterMapJson(s.bench());
        if (!map) return s.Fail(map.failure());
        s.out() << map->toStdString();
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
            ->transform(Whole(headless::kFieldValueRule));
    }
    bool Run(Session& s) override {
        std::optional<int64_t> value;
        if (value_ >= 0) value = value_;
        const auto readBack = headless::AccessField(s.bench(), name_, value);
        if (!readBack) return s.Fail(readBack.failure());
        s.out() << *readBack << '\n';
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
