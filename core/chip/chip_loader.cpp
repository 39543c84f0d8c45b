#include "core/chip/chip_loader.h"

#include <QFile>

#include "core/app/bench_directory.h"
#include "core/chip/chip_list.h"
#include "core/link/chip_access.h"

namespace dmm {
namespace {

std::optional<std::vector<ChipListEntry>> ReadChipList(const QString& includeDir) {
    const QString path = FindFileCaseInsensitive(includeDir, kChipListFileName);
    if (path.isEmpty()) return std::nullopt;
    const auto text = ReadWholeFile(path);
    if (!text) return std::nullopt;
    return ParseChipList(*text);
}

}  // namespace

QString IncludeDirectory(const QString& benchDir) {
    const QString found = FindFileCaseInsensitive(benchDir, "INCLUDE");
    return found.isEmpty() ? benchDir + "/INCLUDE" : found;
}

std::optional<std::string> ReadWholeFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return std::nullopt;
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) return std::nullopt;
    return bytes.toStdString();
}

ChipSelector FillChipSelector(const QString& includeDir) {
    ChipSelector selector;
    if (const auto chips = ReadChipList(includeDir)) {
        selector.fromFile = true;
        for (const ChipListEntry& chip : *chips) selector.texts.push_back(chip.selectorText);
    } else {
        selector.texts = FallbackChipSelector();
    }
    return selector;
}

bool LoadChipDescriptionFile(const QString& path, TChipModel& model) {
    const auto text = ReadWholeFile(path);
    if (!text) return false;
    ReadChipDescription(*text, model);
    return true;
}

int GetSELUP(const QString& includeDir, TChipModel& model, ChipAccess& access, int /*channel*/) {
    // Nothing is touched before both files are found: a failed load must not leave the
    // loaded chip without its implemented-bit masks.
    const auto chips = ReadChipList(includeDir);
    const size_t index = access.target().chipIndex;
    if (!chips || index >= chips->size()) return 0;
    const QString path = FindFileCaseInsensitive(
        includeDir, QString::fromStdString((*chips)[index].descriptionFile));
    if (path.isEmpty() || !LoadChipDescriptionFile(path, model)) return 0;
    access.ChipTitle = model.productTitle;
    return 1;
}

}  // namespace dmm
