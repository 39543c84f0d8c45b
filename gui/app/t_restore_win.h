#pragma once

#include <QObject>
#include <QString>

#include <vector>

#include "core/app/placement_file.h"

namespace dmm::gui {

class TMainPanel;

// RestoreWin1: remembers where every window of the program was (place, size, state,
// visibility) in the placement file beside the settings, and puts them back at the next
// start. The main window calls Load at its first show and Save when it closes.
class TRestoreWin : public QObject {
    Q_OBJECT
  public:
    explicit TRestoreWin(TMainPanel& mainPanel);

    bool Enabled = true;
    // Shows a restored window whose entry says it was visible.
    bool AutoShow = true;
    QString ExtName() const { return extName_; }
    void SetExtName(const QString& extension);  // empty: "wst" again

    // The placement file in a folder (the bench directory).
    QString FileName(const QString& folder) const;

    void Load(const QString& folder);
    void Save(const QString& folder);
    const std::vector<WindowPlacement>& entries() const { return entries_; }

  private:
    void Apply();
    // Moves a window (or a child window's frame) wholly into the area.
    static void KeepInside(QWidget& window, const QRect& area);
    WindowPlacement PlacementOf(const QString& name, QWidget* window) const;

    TMainPanel& main_;
    QString extName_ = QString::fromLatin1(kDefaultPlacementExtension);
    std::vector<WindowPlacement> entries_;
};

}  // namespace dmm::gui
