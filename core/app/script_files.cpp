#include "core/app/script_files.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <string>
#include <vector>

#include "core/app/atomic_write.h"
#include "core/app/bench_directory.h"
#include "core/link/number_text.h"

namespace dmm {
namespace {

constexpr int kRegisterFieldWidth = 4;
constexpr int kColumnFieldWidth = 6;
constexpr int kStepFieldWidth = 4;

// Right-aligned in width. A longer text keeps its last characters, so that the fields
// after it keep their places; "Save Reg" refuses mode cells wider than their fields first.
std::string Field(const std::string& text, int width) {
    const size_t w = static_cast<size_t>(width);
    if (text.size() >= w) return text.substr(text.size() - w);
    return std::string(w - text.size(), ' ') + text;
}

std::vector<std::string> Lines(const QByteArray& bytes) {
    std::vector<std::string> lines;
    std::string line;
    for (char c : bytes) {
        if (c == '\n') {
            if (!line.empty() && line.back() == '\r') line.pop_back();
            lines.push_back(std::move(line));
            line.clear();
        } else {
            line += c;
        }
    }
    if (!line.empty()) lines.push_back(std::move(line));
    return lines;
}

void EndLine(QByteArray& out) {
    out += "\r\n";
}

QByteArray ColumnFileBytes(const ModeTable& table, int column) {
    QByteArray out;
    const int steps = table.UsedSteps();
    for (int row = 1; row <= steps; ++row) {
        out += Field(table.Cell(row, column), kColumnFieldWidth);
        EndLine(out);
    }
    return out;
}

bool ParseWhole(const std::string& text, long long& value) {
    if (text.empty()) return false;
    const auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    return ec == std::errc() && ptr == text.data() + text.size();
}

bool ParseFraction(const std::string& text, double& value) {
    if (text.empty()) return false;
    const auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    return ec == std::errc() && ptr == text.data() + text.size();
}

// Fills a column from a file's lines; lines beyond the file up to the used steps get the
// default text.
template <typename Convert>
void ReadColumnFile(ModeTable& table, int column, const QByteArray& bytes, Convert convert,
                    const char* fallback) {
    const std::vector<std::string> lines = Lines(bytes);
    int row = 0;
    for (const std::string& line : lines) {
        if (++row > table.modeCount()) break;
        table.SetCell(row, column, convert(line.substr(0, kColumnFieldWidth)));
    }
    const int steps = table.UsedSteps();
    for (int r = row + 1; r <= steps; ++r) table.SetCell(r, column, fallback);
}

}  // namespace

QByteArray RegisterFileBytes(const ModeTable& table) {
    const int columns = table.UsedColumns();
    const int steps = table.UsedSteps();
    QByteArray out;
    for (int row = 0; row <= steps; ++row) {
        for (int c = 1; c <= ModeTable::kRegisterColumns; ++c)
            out += Field(c <= columns ? table.Cell(row, c) : std::string(), kRegisterFieldWidth);
        EndLine(out);
    }
    return out;
}

QByteArray DelayFileBytes(const ModeTable& table) {
    return ColumnFileBytes(table, ModeTable::kDelayColumn);
}

QByteArray AcmFileBytes(const ModeTable& table) {
    return ColumnFileBytes(table, ModeTable::kAcmColumn);
}

int ReadRegisterFile(ModeTable& table, const QByteArray& bytes,
                     const std::function<void(int row)>& progress) {
    table.ClearSteps();
    int row = 0;
    for (const std::string& line : Lines(bytes)) {
        for (int c = 1; c <= ModeTable::kRegisterColumns; ++c) {
            const size_t from = static_cast<size_t>((c - 1) * kRegisterFieldWidth);
            const std::string digits =
                from < line.size() ? HexDigitsOf(line.substr(from, kRegisterFieldWidth)) : "";
            if (!digits.empty()) table.SetCell(row, c, digits);
        }
        ++row;
        if (progress) progress(row);
        if (row > table.modeCount()) break;
    }
    return table.UsedSteps();
}

void ReadDelayFile(ModeTable& table, const QByteArray& bytes) {
    long long previous = 0;
    ReadColumnFile(
        table, ModeTable::kDelayColumn, bytes,
        [&previous](const std::string& field) {
            long long value = 0;
            if (ParseWhole(HexDigitsOf(field), value)) previous = value;
            return std::to_string(previous);
        },
        kDefaultDelayText);
}

void ReadAcmFile(ModeTable& table, const QByteArray& bytes) {
    // A field that is no number repeats the line before, as the delay column does.
    double previous = 0;
    ReadColumnFile(
        table, ModeTable::kAcmColumn, bytes,
        [&previous](const std::string& field) {
            std::string kept;
            for (char c : field) {
                if (c == '.' || std::isxdigit(static_cast<unsigned char>(c))) kept += c;
            }
            double value = 0;
            if (ParseFraction(kept, value)) previous = value;
            return QString::number(previous, 'g', 15).toStdString();
        },
        kDefaultAcmText);
}

DataGridShape DataGridShapeFor(int usedSteps) {
    return {std::min(usedSteps + 1, 11), usedSteps / 10 + 2};
}

QByteArray InstrumentStepFileBytes(const StepTable& table, int stepCount) {
    QByteArray out;
    for (int k = 1; k <= stepCount; ++k) {
        if (!table.Active(k)) continue;
        out += Field(table.Step(k).active, kStepFieldWidth);
        out += table.Step(k).command;
        EndLine(out);
    }
    return out;
}

void ReadFlukeFile(StepTable& table, int stepCount, const std::optional<QByteArray>& bytes) {
    table.INI(stepCount);
    for (int k = 1; k <= stepCount; ++k) table.SetStep(k, {});
    if (!bytes) return;
    int row = 0;
    for (const std::string& line : Lines(*bytes)) {
        const std::string digits = HexDigitsOf(line.substr(0, kStepFieldWidth));
        long long number = 0;
        if (!ParseWhole(digits, number) || number <= 0) continue;
        if (++row > stepCount) break;
        table.SetStep(row, {digits, line.size() > kStepFieldWidth ? line.substr(kStepFieldWidth)
                                                                  : std::string()});
    }
}

void ReadPowerFile(StepTable& table, int stepCount, const std::optional<QByteArray>& bytes) {
    table.INI(stepCount);
    for (int k = 1; k <= stepCount; ++k) table.SetStep(k, {});
    if (!bytes) return;
    int row = 0;
    for (const std::string& line : Lines(*bytes)) {
        if (++row > stepCount) break;
        table.SetStep(
            row, {HexDigitsOf(line.substr(0, kStepFieldWidth)),
                  line.size() > kStepFieldWidth ? line.substr(kStepFieldWidth) : std::string()});
    }
}

std::optional<QByteArray> ReadOptionalFile(const QString& folder, const QString& name) {
    const QString path = FindFileCaseInsensitive(folder, name);
    // A missing file is no error (Qt would warn about opening an empty name).
    if (path.isEmpty()) return std::nullopt;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return std::nullopt;
    return file.readAll();
}

bool SaveReg(const ModeTable& table, const QString& folder, QString& error) {
    // A cell wider than its field would be saved cut: nothing is written.
    const std::string refusal = ModeTableRefusal(table);
    if (!refusal.empty()) {
        error = QStringLiteral("Save Reg: ") + QString::fromStdString(refusal);
        return false;
    }
    const QDir dir(folder);
    int failed = -1;
    return WriteFilesAtomically({{dir.filePath(kRegisterFileName), RegisterFileBytes(table)},
                                 {dir.filePath(kDelayFileName), DelayFileBytes(table)},
                                 {dir.filePath(kAcmFileName), AcmFileBytes(table)}},
                                failed, error);
}

bool DownloadReg(ModeTable& table, const QString& folder, UiHooks& ui, int& usedSteps) {
    QString path = FindFileCaseInsensitive(folder, kRegisterFileName);
    if (path.isEmpty()) path = QDir(folder).filePath(kRegisterFileName);
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        ui.ShowError(
            QStringLiteral("I/O error: cannot read %1 (%2)").arg(path, file.errorString()));
        return false;
    }
    usedSteps = ReadRegisterFile(table, file.readAll(), [&ui](int row) {
        ui.SetStatusText(0, QStringLiteral("Download Register Value - %1").arg(row));
        ui.ProcessPendingEvents();
    });
    const auto delay = ReadOptionalFile(folder, kDelayFileName);
    if (!delay) return true;
    ReadDelayFile(table, *delay);
    const auto acm = ReadOptionalFile(folder, kAcmFileName);
    if (!acm) return true;
    ReadAcmFile(table, *acm);
    ui.SetStatusText(0, QStringLiteral("Download Register Value OK !!!"));
    return true;
}

bool SaveStepFile(const StepTable& table, int stepCount, const QString& path, QString& error) {
    return WriteFileAtomically(path, InstrumentStepFileBytes(table, stepCount), error);
}

}  // namespace dmm
