#pragma once

#include <QString>
#include <QWidget>

#include <vector>

namespace dmm::gui {

// The child windows of the main window, in creation order: class name (the window's
// objectName), caption and placement slot (-1: never placed in the main frame).
struct ChildWindowInfo {
    const char* className;
    QString caption;
    int slot;
};

const std::vector<ChildWindowInfo>& ChildWindowTable();

// Placement slots of ShowChild.
inline constexpr int kPlacementSlotCount = 22;

// A tool window whose tool is not in this build yet: it exists, keeps its place and
// can be shown and hidden like every other child window.
class PendingToolWindow : public QWidget {
    Q_OBJECT
  public:
    PendingToolWindow(const ChildWindowInfo& info, QWidget* parent = nullptr);
};

}  // namespace dmm::gui
