#include "sim/sim_calibrator.h"

#include <QString>
#include <QStringList>

namespace dmm::sim {
namespace {

constexpr int64_t kEchoMs = 1;
constexpr int64_t kAnswerMs = 15;

double UnitScale(const QString& unit) {
    const QString u = unit.toUpper();
    if (u == "V") return 1.0;
    if (u == "MV") return 1e-3;
    if (u == "UV") return 1e-6;
    return 0;
}

}  // namespace

bool SimCalibrator::ParseOut(const std::string& line, double& volts, double& frequencyHz) {
    QString text = QString::fromStdString(line).trimmed();
    if (!text.startsWith("OUT", Qt::CaseInsensitive)) return false;
    text = text.mid(3);
    const QStringList parts = text.split(',');
    // Each part: a number and its unit, with or without a space between.
    auto quantity = [](QString part, double& value, QString& unit) {
        part = part.trimmed();
        qsizetype split = 0;
        while (split < part.size() &&
               (part[split].isDigit() || part[split] == '.' || part[split] == '-' ||
                part[split] == '+' || part[split] == 'E' || part[split] == 'e')) {
            // An "e" followed by a letter starts a unit, not an exponent.
            if ((part[split] == 'E' || part[split] == 'e') &&
                (split + 1 >= part.size() || part[split + 1].isLetter()))
                break;
            ++split;
        }
        bool ok = false;
        value = part.left(split).toDouble(&ok);  // QString::toDouble ignores the locale
        unit = part.mid(split).trimmed();
        return ok;
    };
    double value = 0;
    QString unit;
    if (parts.isEmpty() || !quantity(parts[0], value, unit)) return false;
    const double scale = UnitScale(unit);
    if (scale == 0) return false;
    volts = value * scale;
    frequencyHz = 0;
    if (parts.size() > 1) {
        double f = 0;
        QString fUnit;
        if (!quantity(parts[1], f, fUnit)) return false;
        const QString u = fUnit.toUpper();
        const double scale = u == "HZ" ? 1.0 : u == "KHZ" ? 1e3 : u == "MHZ" ? 1e6 : 0.0;
        if (scale == 0) return false;
        frequencyHz = f * scale;
    }
    return true;
}

void SimCalibrator::OnBytes(int64_t nowMs, const std::vector<uint8_t>& bytes) {
    for (uint8_t b : bytes) {
        if (faults().wrongIdentity) {
            if (b == '\r') {
                Reply(nowMs, kAnswerMs, std::string("?\r\n"));
                pending_.clear();
            }
            continue;
        }
        if (b == '\r') {
            Reply(nowMs, kEchoMs, std::string("\r\n"));
            Execute(nowMs, pending_);
            pending_.clear();
        } else if (b != '\n') {
            Reply(nowMs, kEchoMs, std::vector<uint8_t>{b});
            pending_ += static_cast<char>(b);
        }
    }
}

void SimCalibrator::Execute(int64_t nowMs, const std::string& raw) {
    const std::string line = QString::fromStdString(raw).trimmed().toStdString();
    if (line.empty()) return;
    lines_.push_back(line);
    const QString upper = QString::fromStdString(line).toUpper();
    double volts = 0, frequency = 0;
    if (upper == "STBY") {
        output_.operate = false;
        Changed();
    } else if (upper == "OPER") {
        output_.operate = true;
        Changed();
    } else if (upper == "RANGELCK ON") {
        rangeLocked_ = true;
    } else if (upper == "RANGELCK OFF") {
        rangeLocked_ = false;
    } else if (upper == "*OPT" || upper == "*OPT?") {
        Reply(nowMs, kAnswerMs, std::string("0\r\n"));
    } else if (upper == "*IDN?") {
        Reply(nowMs, kAnswerMs, std::string("FLUKE,5500A,0,1.0\r\n"));
    } else if (ParseOut(line, volts, frequency)) {
        setVolts_ = volts;
        setFrequency_ = frequency;
        Changed();
    }
}

void SimCalibrator::Changed() {
    output_.volts = setVolts_;
    output_.frequencyHz = setFrequency_;
    if (onOutput) onOutput(output_);
}

}  // namespace dmm::sim
