#pragma once

namespace dmm::gui {

// Set on a child window that the placement memory gave its remembered place: windows that
// place themselves at their first show leave that place alone.
inline constexpr char kRememberedPlaceProperty[] = "dmmRememberedPlace";

}  // namespace dmm::gui
