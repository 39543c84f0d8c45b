#include "core/analog/switch_test_setup.h"

#include <QList>

#include <algorithm>

namespace dmm {
namespace {

constexpr int kLineSelectors = 0;
constexpr int kLineEnabled = 1;
constexpr int kLineRegisterList = 2;
constexpr int kLineFirstChannel = 3;
constexpr int kLineSelectedStep = 11;
constexpr int kBlockSamples = 16;
constexpr int kBytesPerSample = 3;

void AppendField(QByteArray& line, int value) {
    line += QByteArray::number(value).rightJustified(4, ' ');
}

// The line's whitespace-separated decimal numbers, up to the first token that is not one.
std::vector<int> Numbers(const QByteArray& line) {
    std::vector<int> numbers;
    for (const QByteArray& token : line.simplified().split(' ')) {
        bool ok = false;
        const int value = token.toInt(&ok, 10);
        if (!ok) break;
        numbers.push_back(value);
    }
    return numbers;
}

// A selector index the combo box cannot show reads as the item the value rule gives it: "4".
int SelectorIndex(int index, size_t items) {
    return index >= 0 && index < static_cast<int>(items) ? index : kDefaultEvStepLenIndex;
}

}  // namespace

int StepItemValue(int index) {
    if (index == 2 || index < 0 || index >= static_cast<int>(kLoopStepItems.size())) return 4;
    return kLoopStepItems[static_cast<size_t>(index)];
}

int SwitchTestSetup::EnabledCount() const {
    return static_cast<int>(std::count(enabled.begin(), enabled.end(), true));
}

QByteArray StepFileBytes(const SwitchTestSetup& setup) {
    QByteArray out;
    auto endLine = [&](const QByteArray& line) { out += line + "\r\n"; };
    QByteArray line;
    AppendField(line, setup.evStepLenIndex);
    AppendField(line, setup.loopStepIndex);
    endLine(line);
    line.clear();
    for (bool on : setup.enabled) AppendField(line, on ? 1 : 0);
    endLine(line);
    line.clear();
    for (uint8_t reg : kChannelRegisters) AppendField(line, reg);
    endLine(line);
    for (const ChannelValues& values : setup.values) {
        line.clear();
        for (uint8_t v : values) AppendField(line, v);
        endLine(line);
    }
    line.clear();
    AppendField(line, setup.selectedStep);
    endLine(line);
    return out;
}

void ReadStepFile(const QByteArray& bytes, SwitchTestSetup& setup) {
    QList<QByteArray> lines = bytes.split('\n');
    if (!lines.isEmpty() && lines.back().isEmpty()) lines.pop_back();
    for (int n = 0; n < lines.size() && n <= kLineSelectedStep; ++n) {
        const std::vector<int> v = Numbers(lines[n]);
        auto take = [&](size_t i, auto& field) {
            if (i < v.size()) field = static_cast<std::decay_t<decltype(field)>>(v[i]);
        };
        if (n == kLineSelectors) {
            take(0, setup.evStepLenIndex);
            take(1, setup.loopStepIndex);
            setup.evStepLenIndex = SelectorIndex(setup.evStepLenIndex, kEvStepLenItems.size());
            setup.loopStepIndex = SelectorIndex(setup.loopStepIndex, kLoopStepItems.size());
        } else if (n == kLineEnabled) {
            for (size_t k = 0; k < setup.enabled.size() && k < v.size(); ++k)
                setup.enabled[k] = v[k] != 0;
        } else if (n == kLineRegisterList) {
            continue;  // the list is fixed, whatever the file says
        } else if (n < kLineSelectedStep) {
            // Each value is taken as a byte.
            ChannelValues& values = setup.values[static_cast<size_t>(n - kLineFirstChannel)];
            for (size_t i = 0; i < values.size(); ++i) take(i, values[i]);
        } else {
            take(0, setup.selectedStep);
            if (setup.selectedStep < 0 || setup.selectedStep >= kSwitchChannelCount)
                setup.selectedStep = 0;
        }
    }
}

int EffectiveStep(const std::array<bool, kSwitchChannelCount>& enabled, int step) {
    if (step < 0 || step >= kSwitchChannelCount) return 0;
    for (int k = 0; k <= step; ++k) {
        if (!enabled[static_cast<size_t>(k)]) return 0;
    }
    return step;
}

int32_t DecodeSwitchSample(uint32_t raw, int32_t divisor) {
    const int32_t d = divisor > 0 ? divisor : 1;
    const auto o = static_cast<int32_t>(raw & 0xFFFFFF);
    if (o < 0x800000) return o / d;
    return -((0x1000000 - o) / d);
}

SamplePlace PlaceSample(int r, int channels, int samplesPerStep) {
    const int perLoop = channels * samplesPerStep;
    if (perLoop <= 0) return {};
    return {(r % perLoop) / samplesPerStep, (r / perLoop) * samplesPerStep + r % samplesPerStep};
}

int BlockBytes(int total, int read) {
    const int left = total - read;
    return left >= kBlockSamples ? kBlockSamples * kBytesPerSample : left * kBytesPerSample;
}

QString ResultFileName(int table) {
    return QStringLiteral("VzADCSW%1.CSV").arg(table);
}

QByteArray ResultFileBytes(const std::vector<int32_t>& table, int samplesPerStep, int loops) {
    QByteArray out = "  , ";
    for (int n = 0; n < samplesPerStep; ++n) {
        if (n) out += ", ";
        out += "Data " + QByteArray::number(n);
    }
    out += "\r\n";
    for (int loop = 0; loop < loops; ++loop) {
        out += QByteArray::number(loop + 1);
        for (int n = 0; n < samplesPerStep; ++n) {
            const size_t at = static_cast<size_t>(loop * samplesPerStep + n);
            out += ", " + QByteArray::number(at < table.size() ? table[at] : 0);
        }
        out += "\r\n";
    }
    return out;
}

}  // namespace dmm
