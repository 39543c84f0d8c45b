#include "core/measure/drift_journal.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace dmm {
namespace {

constexpr int kJournalVersion = 1;

QJsonArray Steps(const StepTable& table) {
    QJsonArray out;
    for (int k = 1; k <= table.StepCount(); ++k) {
        out.append(QJsonArray{QString::fromStdString(table.Step(k).active),
                              QString::fromStdString(table.Step(k).command)});
    }
    return out;
}

StepTable StepsFrom(const QJsonArray& rows) {
    StepTable table;
    table.INI(static_cast<int>(rows.size()));
    for (int k = 1; k <= rows.size(); ++k) {
        const QJsonArray row = rows[k - 1].toArray();
        table.SetStep(k, {row[0].toString().toStdString(), row[1].toString().toStdString()});
    }
    return table;
}

}  // namespace

namespace {

QString Clock(int64_t ms) {
    const int64_t s = ms / 1000;
    return QStringLiteral("%1:%2:%3")
        .arg(s / 3600)
        .arg(s / 60 % 60, 2, 10, QLatin1Char('0'))
        .arg(s % 60, 2, 10, QLatin1Char('0'));
}

}  // namespace

QString DriftGapLine(const DriftGap& g) {
    // Mode 0: the gap came while the chamber settled, before any mode of the step.
    const QString where = g.mode > 0 ? QStringLiteral("step %1, mode %2").arg(g.step).arg(g.mode)
                                     : QStringLiteral("step %1, settling").arg(g.step);
    return QStringLiteral("%1: %2 dropped out; waited %3 from %4 of the run, %5")
        .arg(where, g.what, Clock(g.lastedMs), Clock(g.atMs),
             !g.recovered ? QStringLiteral("not back in time: run interrupted")
             : g.mode > 0 ? QStringLiteral("mode measured again")
                          : QStringLiteral("the soak went on"));
}

QByteArray DriftJournalBytes(const DriftJournal& j) {
    QJsonObject o;
    o["version"] = kJournalVersion;
    o["withChamber"] = j.withChamber;
    o["step"] = j.step;
    o["nextMode"] = j.nextMode;
    o["fileCounter"] = j.fileCounter;
    QJsonArray plan;
    for (const PlanRow& r : j.setup.plan)
        plan.append(QJsonArray{r.temperature, r.humidity, r.temperatureRamp, r.humidityRamp});
    o["plan"] = plan;
    QJsonArray modes;
    for (int r = 0; r <= j.setup.modes.modeCount(); ++r) {
        QJsonArray row;
        for (int c = 0; c < ModeTable::kColumns; ++c)
            row.append(QString::fromStdString(j.setup.modes.Cell(r, c)));
        modes.append(row);
    }
    o["modes"] = modes;
    o["fluke"] = Steps(j.setup.fluke);
    o["power"] = Steps(j.setup.power);
    const DriftSettings& s = j.setup.settings;
    o["settings"] = QJsonObject{{"soakMinutes", s.soakMinutes},
                                {"powerDelayMs", s.powerDelayMs},
                                {"source", static_cast<int>(s.source)},
                                {"measure", static_cast<int>(s.measure)},
                                {"fullCaptures", s.fullCaptures},
                                {"keepCalibratorOn", s.keepCalibratorOn},
                                {"reconnectWaitMinutes", s.reconnectWaitMinutes}};
    QJsonArray gaps;
    for (const DriftGap& g : j.gaps)
        gaps.append(QJsonArray{g.what, g.step, g.mode, static_cast<double>(g.atMs),
                               static_cast<double>(g.lastedMs), g.recovered});
    o["gaps"] = gaps;
    // Figures are kept as their exact doubles, so that the files come out the same.
    QJsonArray steps;
    for (int st = 1; st <= j.results.steps(); ++st) {
        QJsonArray stepModes;
        for (int m = 1; m <= j.results.modes(); ++m) {
            QJsonArray figures;
            for (double v : j.results.Figures(st, m).InOrder()) figures.append(v);
            QJsonArray meters;
            for (int k = 0; k < kDriftMeterChannels; ++k) {
                const MeterFigure& f = j.results.Meter(k, st, m);
                meters.append(QJsonArray{f.value, f.unit});
            }
            stepModes.append(QJsonObject{
                {"figures", figures},
                {"meters", meters},
                {"measured", QJsonArray{j.results.HasFigures(st, m), j.results.HasMeters(st, m)}}});
        }
        const auto& c = j.results.Conditions(st);
        steps.append(QJsonObject{
            {"temperature", c.temperature}, {"humidity", c.humidity}, {"modes", stepModes}});
    }
    o["results"] = QJsonObject{{"modes", j.results.modes()}, {"steps", steps}};
    return QJsonDocument(o).toJson(QJsonDocument::Compact);
}

std::optional<DriftJournal> ParseDriftJournal(const QByteArray& bytes) {
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(bytes, &error);
    if (error.error != QJsonParseError::NoError || !doc.isObject()) return std::nullopt;
    const QJsonObject o = doc.object();
    if (o["version"].toInt() != kJournalVersion) return std::nullopt;
    DriftJournal j;
    j.withChamber = o["withChamber"].toBool();
    j.step = o["step"].toInt();
    j.nextMode = o["nextMode"].toInt();
    j.fileCounter = o["fileCounter"].toInt();
    for (const QJsonValue& v : o["plan"].toArray()) {
        const QJsonArray r = v.toArray();
        if (r.size() != 4) return std::nullopt;
        j.setup.plan.push_back(
            {r[0].toDouble(), r[1].toDouble(), r[2].toDouble(), r[3].toDouble()});
    }
    const QJsonArray modes = o["modes"].toArray();
    if (modes.isEmpty() || modes.size() - 1 > ModeTable::kMaxModes) return std::nullopt;
    j.setup.modes = ModeTable(static_cast<int>(modes.size()) - 1);
    for (int r = 0; r < modes.size(); ++r) {
        const QJsonArray row = modes[r].toArray();
        for (int c = 0; c < ModeTable::kColumns && c < row.size(); ++c)
            j.setup.modes.SetCell(r, c, row[c].toString().toStdString());
    }
    j.setup.fluke = StepsFrom(o["fluke"].toArray());
    j.setup.power = StepsFrom(o["power"].toArray());
    const QJsonObject s = o["settings"].toObject();
    j.setup.settings.soakMinutes = s["soakMinutes"].toInt();
    j.setup.settings.powerDelayMs = s["powerDelayMs"].toInt();
    j.setup.settings.source = static_cast<CaptureSource>(std::clamp(s["source"].toInt(), 0, 3));
    j.setup.settings.measure = static_cast<DriftMeasure>(std::clamp(s["measure"].toInt(), 0, 2));
    j.setup.settings.fullCaptures = s["fullCaptures"].toBool();
    j.setup.settings.keepCalibratorOn = s["keepCalibratorOn"].toBool();
    j.setup.settings.reconnectWaitMinutes = s["reconnectWaitMinutes"].toInt(10);
    for (const QJsonValue& v : o["gaps"].toArray()) {
        const QJsonArray g = v.toArray();
        if (g.size() != 6) return std::nullopt;
        j.gaps.push_back({g[0].toString(), g[1].toInt(), g[2].toInt(),
                          static_cast<int64_t>(g[3].toDouble()),
                          static_cast<int64_t>(g[4].toDouble()), g[5].toBool()});
    }

    const QJsonObject results = o["results"].toObject();
    const QJsonArray steps = results["steps"].toArray();
    const int modeCount = results["modes"].toInt();
    if (steps.size() != static_cast<int>(j.setup.plan.size()) || modeCount < 0 ||
        modeCount > ModeTable::kMaxModes)
        return std::nullopt;
    j.results.Resize(static_cast<int>(steps.size()), modeCount);
    for (int st = 1; st <= steps.size(); ++st) {
        const QJsonObject step = steps[st - 1].toObject();
        j.results.SetConditions(st, {step["temperature"].toDouble(), step["humidity"].toDouble()});
        const QJsonArray stepModes = step["modes"].toArray();
        if (stepModes.size() != modeCount) return std::nullopt;
        for (int m = 1; m <= modeCount; ++m) {
            const QJsonObject mode = stepModes[m - 1].toObject();
            const QJsonArray f = mode["figures"].toArray();
            if (f.size() != 7) return std::nullopt;
            j.results.SetFigures(
                st, m,
                {f[0].toDouble(), f[1].toDouble(), f[2].toDouble(), f[3].toDouble(),
                 f[4].toDouble(), f[5].toDouble(), f[6].toDouble()});
            const QJsonArray meters = mode["meters"].toArray();
            for (int k = 0; k < kDriftMeterChannels && k < meters.size(); ++k) {
                const QJsonArray meter = meters[k].toArray();
                j.results.SetMeter(k, st, m, {meter[0].toDouble(), meter[1].toString()});
            }
            // A journal without the marks counts the modes before its next one as measured.
            const QJsonArray measured = mode["measured"].toArray();
            const bool before = st < j.step || (st == j.step && m < j.nextMode);
            const DriftMeasure what = j.setup.settings.measure;
            j.results.SetMeasured(
                st, m,
                measured.size() == 2 ? measured[0].toBool()
                                     : before && what != DriftMeasure::Meters,
                measured.size() == 2 ? measured[1].toBool() : before && what != DriftMeasure::Adc);
        }
    }
    if (j.step < 1 || j.step > static_cast<int>(j.setup.plan.size()) + 1 || j.nextMode < 1)
        return std::nullopt;
    return j;
}

}  // namespace dmm
