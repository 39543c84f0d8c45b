#include "core/app/bench_settings.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <array>

#include "core/app/atomic_write.h"
#include "core/app/bench_core.h"
#include "core/instruments/chip_port.h"
#include "core/instruments/com_ports.h"

namespace dmm {
namespace {

bool Within(int value, int count) {
    return value >= 0 && value < count;
}

// The whole-number settings a command line can give, with their fields in the file.
struct GivenNumber {
    int VzAdcConfig::*field;
    std::optional<int> value;
};

std::array<GivenNumber, 5> GivenNumbers(const CommandLineSettings& given) {
    return {{{&VzAdcConfig::interfaceKind, given.interfaceKind},
             {&VzAdcConfig::CLPT, given.CLPT},
             {&VzAdcConfig::serialPortIndex, given.serialPortIndex},
             {&VzAdcConfig::serialBaudIndex, given.serialBaudIndex},
             {&VzAdcConfig::serialParityIndex, given.serialParityIndex}}};
}

}  // namespace

void TakeBenchSettings(BenchCore& core, VzAdcConfig& c) {
    const STND& target = core.target();
    c.chipIndex = target.chipIndex;
    c.interfaceKind = static_cast<int>(target.interfaceKind);
    c.serialPortIndex = target.serialPortIndex;
    c.serialBaudIndex = target.serialBaudIndex;
    c.serialParityIndex = target.serialParityIndex;
    c.CLPT = LptItemIndex(core.parallel().PortBase);
    c.Photo = core.chip().Photo;
    c.scaleCopy = core.chip().ScaleCopy;
    c.dmmCopy = core.chip().DmmCopy;
}

void ApplyBenchSettings(BenchCore& core, const VzAdcConfig& c) {
    STND& target = core.target();
    if (Within(c.chipIndex, 0x10000)) target.chipIndex = static_cast<uint16_t>(c.chipIndex);
    if (Within(c.interfaceKind, kInterfaceKindCount))
        target.interfaceKind = static_cast<InterfaceKind>(c.interfaceKind);
    if (Within(c.serialPortIndex, kComPortCount)) target.serialPortIndex = c.serialPortIndex;
    if (Within(c.serialBaudIndex, static_cast<int>(kChipBaudRates.size())))
        target.serialBaudIndex = c.serialBaudIndex;
    if (Within(c.serialParityIndex, 3)) target.serialParityIndex = c.serialParityIndex;
    core.parallel().PortBase = LptPortBase(c.CLPT);
    core.chip().Photo = c.Photo;
    core.chip().ScaleCopy = c.scaleCopy;
    core.chip().DmmCopy = c.dmmCopy;
}

void OverrideByCommandLine(VzAdcConfig& config, const CommandLineSettings& given) {
    for (const GivenNumber& n : GivenNumbers(given))
        if (n.value) config.*n.field = *n.value;
    if (given.Photo) config.Photo = *given.Photo;
}

void KeepFileValuesOfCommandLine(VzAdcConfig& current, const VzAdcConfig& file,
                                 const CommandLineSettings& given) {
    for (const GivenNumber& n : GivenNumbers(given))
        if (n.value && current.*n.field == *n.value) current.*n.field = file.*n.field;
    if (given.Photo && current.Photo == *given.Photo) current.Photo = file.Photo;
}

QString CalibrationSetFolder(const std::string& record) {
    return QFile::decodeName(QByteArray::fromStdString(record));
}

std::string CalibrationSetRecord(const QString& folder, const std::string& record) {
    // Bytes the file-name codec cannot take (Big5 on a UTF-8 system) decode with
    // replacement characters: encoding that text again would lose the folder for good.
    if (CalibrationSetFolder(record) == folder) return record;
    return QFile::encodeName(folder).toStdString();
}

QString SettingsFilePath(const QString& benchDir) {
    return QDir(benchDir).filePath(QString::fromLatin1(kSettingsFileName));
}

bool WriteSettingsFile(const QString& path, const VzAdcConfig& config, QString& error) {
    return WriteFileAtomically(path, FormatVzAdcConfig(config), error);
}

ConfigRead ReadSettingsFile(const QString& path, VzAdcConfig& config) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return {};
    return ReadVzAdcConfig(file.readAll(), config);
}

ConfigRead LoadSettingsFile(const QString& path, VzAdcConfig& config) {
    if (!QFileInfo::exists(path)) {
        // A bench directory that cannot be written is not worth a message: the settings
        // simply stay as they started.
        QString error;
        WriteSettingsFile(path, config, error);
    }
    return ReadSettingsFile(path, config);
}

std::optional<VzAdcConfig> ReadBenchSettings(const QString& benchDir) {
    if (benchDir.isEmpty()) return std::nullopt;
    VzAdcConfig config;
    if (!ReadSettingsFile(SettingsFilePath(benchDir), config).versionMatched) return std::nullopt;
    return config;
}

int StartupSamplePointIndex(int savedIndex) {
    const bool known = Within(savedIndex, static_cast<int>(kSamplePointItems.size()));
    if (!known || CaptureLengthOfItem(savedIndex) < kDefaultCaptureLength)
        return SamplePointItemOf(kDefaultCaptureLength);
    return savedIndex;
}

QString ProductVariantCaption(int variant) {
    return QString::fromLatin1(ProductVariantTitle(variant)) + QStringLiteral("-") +
           QString::fromLatin1(kSettingsVersionLine);
}

}  // namespace dmm
