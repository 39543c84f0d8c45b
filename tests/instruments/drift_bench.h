// The drift test on the simulated serial bench: a chamber, a calibrator, a power supply
// and meters behind pseudo-terminals, the demo DMM chip on the simulated board, all on
// stepped virtual time; and the plans and mode tables the drift tests run.
#pragma once

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include <algorithm>
#include <cmath>
#include <map>
#include <mutex>

#include "core/app/bench_core.h"
#include "core/chip/chip_loader.h"
#include "core/link/number_text.h"
#include "core/measure/adc_analysis.h"
#include "core/measure/capture_chip_layout.h"
#include "core/measure/drift_files.h"
#include "core/measure/drift_journal.h"
#include "core/measure/drift_outcome.h"
#include "core/measure/drift_test.h"
#include "serial_bench.h"

namespace dmm::test {

using sim::SimInstruments;

struct DriftBench {
    DriftBench()
        : core(serial.board.bus(), serial.clock),
          analysis(core, host, serial.hooks),
          access(serial.instruments),
          drift(core, analysis, access, serial.hooks) {
        drift.folder = dir.path();
        // The capture loop moves on a millisecond with every pass.
        serial.hooks.onEvents = [this](int) { serial.clock.Advance(1); };
    }

    bool Connect(bool chamber = true, bool meters = true) {
        Instruments& i = serial.instruments;
        if (!i.calibrator().FlukeSelectClick(SimInstruments::Calibrator)) return false;
        if (!i.power().PowerSelectClick(SimInstruments::PowerSupply)) return false;
        if (chamber && !i.chamber().ChamberSelectClick(SimInstruments::Chamber)) return false;
        if (meters) {
            if (!i.meter(0).Select(SimInstruments::MeterCom(0))) return false;
            if (!i.meter(3).Select(SimInstruments::MeterCom(3))) return false;
        }
        uint8_t status = 0;
        if (!core.link().OpenBoard(status)) return false;
        if (GetSELUP(IncludeDirectory(ShippedDataDirectory()), core.chipModel(), core.chip()) != 1)
            return false;
        CaptureSettings s;
        ApplyChipLayout(core.chipModel(), s);
        s.NPointIndex = SamplePointItemOf(256);
        analysis.SetSettings(s);
        return true;
    }

    // Register bytes that set ADC1 up on SENSE against the 1.2 V reference, with the
    // given oversampling; a reset before every mode clears whatever was there.
    std::map<uint16_t, uint8_t> Adc1Setup(int osr) {
        std::map<uint16_t, uint8_t> bytes;
        for (auto [name, value] : {std::pair{"S_AD1IP", 0},
                                   {"S_AD1IN", 3},
                                   {"S_AD1RH", 2},
                                   {"S_AD1RL", 0},
                                   {"AD1CHO", 1},
                                   {"AD1OSR", osr},
                                   {"ENAD_S", 1}}) {
            const TRegField& field = *core.chipModel().Field(name);
            const auto address = static_cast<uint16_t>(field.registerIndex);
            if (!bytes.count(address)) bytes[address] = core.target().RegisterImage[address];
            bytes[address] = static_cast<uint8_t>(field.Insert(bytes[address], value));
        }
        return bytes;
    }

    // Two modes: 100 mV and 200 mV from the calibrator, the supply on then off.
    DriftSetup TwoModes(std::vector<PlanRow> plan, int soakMinutes) {
        DriftSetup setup;
        setup.plan = std::move(plan);
        setup.modes = ModeTable(4);
        int column = 1;
        const auto first = Adc1Setup(0);
        const auto second = Adc1Setup(1);
        for (const auto& [address, value] : first) {
            setup.modes.SetCell(0, column, HexStr(address, 2));
            setup.modes.SetCell(1, column, HexStr(value, 2));
            setup.modes.SetCell(2, column, HexStr(second.at(address), 2));
            ++column;
        }
        for (int m = 1; m <= 2; ++m) {
            setup.modes.SetCell(m, ModeTable::kDelayColumn, "1");
            setup.modes.SetCell(m, ModeTable::kAcmColumn, "1.2");
        }
        setup.fluke.INI(4);
        setup.fluke.SetStep(1, {"1", "OUT 100 mV ,0 Hz"});
        setup.fluke.SetStep(2, {"1", "OUT 200 mV ,0 Hz"});
        setup.power.INI(4);
        setup.power.SetStep(1, {"1", "VOLT 3.3"});
        setup.power.SetStep(2, {"1", "outp off"});
        setup.settings.soakMinutes = soakMinutes;
        setup.settings.powerDelayMs = 500;
        setup.settings.measure = DriftMeasure::AdcAndMeters;
        return setup;
    }

    QByteArray File(const char* name) const {
        QFile f(QDir(dir.path()).filePath(name));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

    SerialBench serial;
    BenchCore core;
    StandaloneCaptureHost host;
    AdcAnalysis analysis;
    DirectInstrumentAccess access;
    DriftTest drift;
    QTemporaryDir dir;
};

inline std::vector<PlanRow> Plan(std::initializer_list<double> temperatures) {
    std::vector<PlanRow> plan;
    for (double t : temperatures) plan.push_back({t, 0, 0, 5});
    return plan;
}

inline std::vector<std::string> After(const std::vector<std::string>& lines, size_t from) {
    return {lines.begin() + static_cast<long>(std::min(from, lines.size())), lines.end()};
}

}  // namespace dmm::test
