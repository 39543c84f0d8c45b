#pragma once

#include <QByteArray>
#include <QString>

#include <functional>
#include <optional>

#include "core/app/ui_hooks.h"
#include "core/instruments/step_table.h"
#include "core/measure/mode_table.h"

namespace dmm {

inline constexpr char kRegisterFileName[] = "Register.txt";
inline constexpr char kDelayFileName[] = "Delay.txt";
inline constexpr char kAcmFileName[] = "ACM.txt";
inline constexpr char kFlukeFileName[] = "Fluke.txt";
inline constexpr char kPowerFileName[] = "Power.txt";
inline constexpr char kDefaultDelayText[] = "15";
inline constexpr char kDefaultAcmText[] = "2.4";

// The step-table files of the drift test, as bytes: fixed-width fields, right-aligned and
// space-padded, lines ending CR LF. Readers take CR LF or LF.

// "Register.txt": the used columns' addresses, then one line of the used columns' values
// per used step; ten 4-character fields a line.
QByteArray RegisterFileBytes(const ModeTable& table);
// "Delay.txt" and "ACM.txt": column 11 or 12 of every used step, 6 characters a line.
QByteArray DelayFileBytes(const ModeTable& table);
QByteArray AcmFileBytes(const ModeTable& table);

// Reads "Register.txt" into the table (columns 1..12 of the steps cleared first): line 1
// into the header row, line k+1 into step k, up to the table's last step. Each field keeps
// its hexadecimal digits; a field without any leaves its cell empty. progress(row) follows
// every line. Returns the used steps afterwards.
int ReadRegisterFile(ModeTable& table, const QByteArray& bytes,
                     const std::function<void(int row)>& progress = {});
// Column 11 from "Delay.txt": line k into step k as a decimal number (a field that is no
// number repeats the line before, 0 for the first); used steps after the file's last line
// get "15".
void ReadDelayFile(ModeTable& table, const QByteArray& bytes);
// Column 12 from "ACM.txt", the same way with decimal fractions; "2.4" after the last line.
void ReadAcmFile(ModeTable& table, const QByteArray& bytes);

// The results grid's shape after a download: one column per used step plus the step
// number, at most 11; a row per ten steps plus two.
struct DataGridShape {
    int columns = 0;
    int rows = 0;
};
DataGridShape DataGridShapeFor(int usedSteps);

// "Fluke.txt" and "Power.txt": every step 1..stepCount whose enable number is non-zero,
// the number right-aligned in 4 characters, then the command.
QByteArray InstrumentStepFileBytes(const StepTable& table, int stepCount);
// "DownLoad Fluke": the table resized to stepCount and emptied; lines whose first four
// characters keep a number above 0 fill the next step, the others are skipped.
void ReadFlukeFile(StepTable& table, int stepCount, const std::optional<QByteArray>& bytes);
// "Download Power": steps emptied; line k fills step k, whatever it holds.
void ReadPowerFile(StepTable& table, int stepCount, const std::optional<QByteArray>& bytes);

// The File menu's actions on the bench directory. Saving writes each file to a temporary
// file and renames it into place; error says what failed.
bool SaveReg(const ModeTable& table, const QString& folder, QString& error);
// "Download Reg": false (with the box) when "Register.txt" cannot be read; the delay and
// reference columns are filled only while their files exist. Returns the used steps in
// usedSteps.
bool DownloadReg(ModeTable& table, const QString& folder, UiHooks& ui, int& usedSteps);
bool SaveStepFile(const StepTable& table, int stepCount, const QString& path, QString& error);
// A missing file leaves the emptied table.
std::optional<QByteArray> ReadOptionalFile(const QString& folder, const QString& name);

}  // namespace dmm
