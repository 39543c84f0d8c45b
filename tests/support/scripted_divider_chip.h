#pragma once

#include <QCoreApplication>
#include <QObject>
#include <QString>

#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/app/ui_hooks.h"
#include "core/link/processor_centre.h"
#include "sim/sim_chip.h"
#include "support/sim_fixture.h"

namespace dmm::test {

// A chip whose ADC1 delivers scripted results: while a result is ready the interrupt-flag
// register (0x14) shows SADC_IF (bit 2) and RMS_IF (bit 4); reading the last byte of a
// result (0x02 for ADC1, 0x0D for RMS) takes it and makes the next one. The script sees
// the divider's input selector (0x24) and bank P (0x2A), so it can tell the blocks apart;
// nothing from it means the converter is silent.
class ScriptedDividerChip final : public sim::SimChip {
  public:
    std::function<std::optional<int32_t>(uint8_t ad1is, uint8_t bankP)> adc1;
    std::function<std::optional<uint64_t>()> rms;

    uint8_t Read(uint16_t address) override {
        if (address == kFlags) {
            if (!adc1Ready_) LoadAdc1();
            if (!rmsReady_) LoadRms();
            return static_cast<uint8_t>((adc1Ready_ ? 0x04 : 0) | (rmsReady_ ? 0x10 : 0));
        }
        const uint8_t value = SimChip::Read(address);
        if (address == 0x02) adc1Ready_ = false;
        if (address == 0x0D) rmsReady_ = false;
        return value;
    }

  private:
    static constexpr uint16_t kFlags = 0x14;
    void LoadAdc1() {
        const std::optional<int32_t> r = adc1 ? adc1(memory_[0x24], memory_[0x2A]) : std::nullopt;
        if (!r) return;
        for (int i = 0; i < 3; ++i)
            memory_[static_cast<size_t>(i)] = static_cast<uint8_t>(*r >> (8 * i));
        adc1Ready_ = true;
    }
    void LoadRms() {
        const std::optional<uint64_t> r = rms ? rms() : std::nullopt;
        if (!r) return;
        for (int i = 0; i < 5; ++i)
            memory_[static_cast<size_t>(9 + i)] = static_cast<uint8_t>(*r >> (8 * i));
        rmsReady_ = true;
    }
    bool adc1Ready_ = false;
    bool rmsReady_ = false;
};

// Hooks that keep every status text and message and answer questions as told.
struct KeptUiHooks : public NullUiHooks {
    void SetStatusText(int panel, const QString& text) override {
        statuses.emplace_back(panel, text);
    }
    void ShowMessage(const QString& text) override { messages.push_back(text); }
    bool AskYesNo(const QString& text) override {
        questions.push_back(text);
        return answer;
    }
    std::vector<QString> Statuses(int panel) const {
        std::vector<QString> out;
        for (const auto& [p, text] : statuses) {
            if (p == panel) out.push_back(text);
        }
        return out;
    }
    QString Last(int panel) const {
        const auto all = Statuses(panel);
        return all.empty() ? QString() : all.back();
    }
    std::vector<std::pair<int, QString>> statuses;
    std::vector<QString> messages;
    std::vector<QString> questions;
    bool answer = true;
};

// Timers need an application object; a test makes one unless it has one already.
struct TestApplication {
    TestApplication() {
        if (!QCoreApplication::instance()) app = std::make_unique<QCoreApplication>(argc, argv);
    }
    int argc = 1;
    char name[8] = "test";
    char* argv[1] = {name};
    std::unique_ptr<QCoreApplication> app;
};

// The scripted chip on the simulated board with a heartbeat that knows its flags.
struct ScriptedDividerBench {
    ScriptedDividerBench() : f(std::make_unique<ScriptedDividerChip>()), up(f.core.chip(), hooks) {
        up.SetIntfReading(true);
        fields["SADC_IF"] = {0x14, 1, 2, 0, 1};
        fields["RMS_IF"] = {0x14, 1, 4, 0, 1};
        up.FieldLookup = [this](std::string_view name) -> const TRegField* {
            auto it = fields.find(std::string(name));
            return it == fields.end() ? nullptr : &it->second;
        };
    }
    ScriptedDividerChip& chip() { return static_cast<ScriptedDividerChip&>(f.sim.chip()); }
    // A queue of ADC1 results for every block; empty: silent.
    void Queue(std::vector<int32_t> values) {
        queue = std::deque<int32_t>(values.begin(), values.end());
        chip().adc1 = [this](uint8_t, uint8_t) -> std::optional<int32_t> {
            if (queue.empty()) return std::nullopt;
            const int32_t v = queue.front();
            queue.pop_front();
            return v;
        };
    }
    // The divider blocks written so far (the data of every 21-byte write at address 30).
    std::vector<Bytes> DividerWrites() const {
        std::vector<Bytes> out;
        for (const Bytes& p : f.trace.Sent()) {
            // DMM write frame: C2 00 (address x 2) count data...
            if (p.size() == 4 + 21 && p[0] == 0xC2 && p[2] == 2 * 30 && p[3] == 21)
                out.emplace_back(p.begin() + 4, p.end());
        }
        return out;
    }

    TestApplication application;
    SimFixture f;
    KeptUiHooks hooks;
    TVz_UP up;
    std::map<std::string, TRegField> fields;
    std::deque<int32_t> queue;
};

}  // namespace dmm::test
