#include "platform/sim/sim_templates.h"

#include <iterator>

namespace qvx::sim {
namespace {

constexpr std::uint32_t kChild = kWsChild | kWsVisible;

// The setup dialog.
constexpr SimControlTemplate kSetupControls[] = {
    {1, "Button", "OK", kChild | kBsDefPushButton | kWsTabStop, 0, {203, 104, 58, 14}},
    {2, "Button", "Cancel", kChild | kBsPushButton | kWsTabStop, 0, {129, 104, 68, 14}},
    {1001,
     "Edit",
     "",
     kChild | kEsLeft | kEsAutoHScroll | kWsBorder | kWsTabStop,
     0,
     {7, 23, 224, 14}},
    {1002, "Static", "", kChild | kSsLeft, 0, {7, 50, 248, 51}},
    {1003, "Static", "Setup path:", kChild | kSsLeft, 0, {6, 11, 51, 8}},
    {1000, "Button", "", kWsChild | kWsDisabled | kBsPushButton | kBsFlat, 0, {233, 23, 22, 16}},
};

// The folder browser.
constexpr SimControlTemplate kFolderControls[] = {
    {1, "Button", "OK", kChild | kBsDefPushButton | kWsTabStop, 0, {177, 167, 50, 14}},
    {2, "Button", "Cancel", kChild | kBsPushButton | kWsTabStop, 0, {118, 167, 50, 14}},
    {1013,
     "SysTreeView32",
     "Tree1",
     kChild | kTvsDisableDragDrop | kTvsShowSelAlways | kWsBorder | kWsTabStop,
     0,
     {4, 17, 223, 146}},
    {1061, "Static", "Folder:", kChild | kSsLeft | kWsGroup, 0, {3, 3, 26, 8}},
    {1028,
     "Static",
     "",
     kChild | kSsLeft | kSsCenterImage | kWsGroup,
     kWsExStaticEdge,
     {30, 1, 197, 14}},
    {1001, "Edit", "", kChild | kEsLeft | kEsReadOnly | kWsTabStop, 0, {5, 166, 108, 14}},
};

constexpr std::uint32_t kModal = kWsPopup | kWsCaption | kWsSysMenu | kDsModalFrame | kDsSetFont;

constexpr SimDialogTemplate kTemplates[] = {
    {102,
     "Setup Quorvex",
     kModal | kWsVisible,
     kWsExAppWindow,
     8,
     "MS Sans Serif",
     {0, 0, 262, 118},
     kSetupControls},
    {149, "Open File(s)", kModal, 0, 8, "MS Sans Serif", {0, 0, 233, 183}, kFolderControls},
};

}  // namespace

const SimDialogTemplate* FindSimTemplate(int id) {
  for (const SimDialogTemplate& t : kTemplates) {
    if (t.id == id) return &t;
  }
  return nullptr;
}

bool IsKnownIcon(int iconId) { return iconId == 128 || iconId == 178 || iconId == 179; }

}  // namespace qvx::sim
