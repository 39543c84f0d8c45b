#pragma once

#include <QString>

#include <optional>
#include <string>

#include "core/app/settings_file.h"

namespace dmm {

class BenchCore;

// What the settings file holds for the bench itself, as opposed to what the windows'
// controls hold: the target record (chip, interface kind, chip link serial indexes), the
// opto-coupled option, the per-function register copies and the parallel port.
// Thread: whichever thread owns the core (the bench thread in the GUI).
void TakeBenchSettings(BenchCore& core, VzAdcConfig& config);
// Applies those settings. An interface kind or index outside its selector keeps the
// current value, so that a damaged file cannot put the link into a state no control
// shows.
void ApplyBenchSettings(BenchCore& core, const VzAdcConfig& config);

// The settings a command line gives, each only when it was given, as the settings file
// holds them (item indexes). For that run they win over the file's; the file keeps its
// own, since only a choice made in the program is the user's new setting.
struct CommandLineSettings {
    std::optional<int> interfaceKind;
    std::optional<int> CLPT;
    std::optional<bool> Photo;
    std::optional<int> serialPortIndex;
    std::optional<int> serialBaudIndex;
    std::optional<int> serialParityIndex;
};

// The settings the run uses: the command line's over config.
void OverrideByCommandLine(VzAdcConfig& config, const CommandLineSettings& given);
// The settings to write back: where the bench still runs as the command line said, the
// value the file held (file) instead.
void KeepFileValuesOfCommandLine(VzAdcConfig& current, const VzAdcConfig& file,
                                 const CommandLineSettings& given);

// Record 16, the calibration-set folder, holds a path in the bytes of the machine that
// wrote it (the Windows program's code page, say). The folder the record names here, and
// the record to write for the folder in use: the bytes as read while that folder is still
// the one they name, else the folder in the file system's own encoding, which reads back
// as the same folder.
QString CalibrationSetFolder(const std::string& record);
std::string CalibrationSetRecord(const QString& folder, const std::string& record);

// The settings file of a bench directory.
QString SettingsFilePath(const QString& benchDir);

// Writes the whole file atomically; false with the reason when it cannot be written.
bool WriteSettingsFile(const QString& path, const VzAdcConfig& config, QString& error);
// Reads a file onto config (see ReadVzAdcConfig). A file that cannot be read applies
// nothing, like a foreign one.
ConfigRead ReadSettingsFile(const QString& path, VzAdcConfig& config);
// LoadConfig's reading: a missing file is first written from config (the start-up
// settings), then read back.
ConfigRead LoadSettingsFile(const QString& path, VzAdcConfig& config);

// The bench directory's settings for a program that only reads them (the command line):
// nothing when the file is missing, unreadable or of another version.
std::optional<VzAdcConfig> ReadBenchSettings(const QString& benchDir);

// The capture length item the program starts with: the saved one, unless its length is
// below 256 (or unknown), then the item of 256.
int StartupSamplePointIndex(int savedIndex);

// The main caption of a product variant: its chip title, "-DMM V1.40".
QString ProductVariantCaption(int variant);

}  // namespace dmm
