// The installer's dialog templates as the sim builds them: the same controls,
// ids, texts, styles and positions as resources/qvxsetup.rc, which a host test
// compares line by line.
#pragma once

#include <cstdint>
#include <span>

namespace qvx::sim {

// Window and control styles, with the values of <windows.h> and <commctrl.h>.
inline constexpr std::uint32_t kWsPopup = 0x80000000u;
inline constexpr std::uint32_t kWsChild = 0x40000000u;
inline constexpr std::uint32_t kWsVisible = 0x10000000u;
inline constexpr std::uint32_t kWsDisabled = 0x08000000u;
inline constexpr std::uint32_t kWsCaption = 0x00C00000u;
inline constexpr std::uint32_t kWsBorder = 0x00800000u;
inline constexpr std::uint32_t kWsSysMenu = 0x00080000u;
inline constexpr std::uint32_t kWsGroup = 0x00020000u;
inline constexpr std::uint32_t kWsTabStop = 0x00010000u;
inline constexpr std::uint32_t kDsSetFont = 0x40u;
inline constexpr std::uint32_t kDsModalFrame = 0x80u;
inline constexpr std::uint32_t kWsExStaticEdge = 0x00020000u;
inline constexpr std::uint32_t kWsExAppWindow = 0x00040000u;
inline constexpr std::uint32_t kBsPushButton = 0x0u;
inline constexpr std::uint32_t kBsDefPushButton = 0x1u;
inline constexpr std::uint32_t kBsTypeMask = 0xFu;
inline constexpr std::uint32_t kBsIcon = 0x40u;
inline constexpr std::uint32_t kBsFlat = 0x8000u;
inline constexpr std::uint32_t kEsLeft = 0x0u;
inline constexpr std::uint32_t kEsAutoHScroll = 0x80u;
inline constexpr std::uint32_t kEsReadOnly = 0x800u;
inline constexpr std::uint32_t kSsLeft = 0x0u;
inline constexpr std::uint32_t kSsCenterImage = 0x200u;
inline constexpr std::uint32_t kTvsDisableDragDrop = 0x10u;
inline constexpr std::uint32_t kTvsShowSelAlways = 0x20u;

// Rectangles of a template are in dialog units: x, y, width, height.
struct DialogUnits {
  int x = 0;
  int y = 0;
  int cx = 0;
  int cy = 0;
};

struct SimControlTemplate {
  int id;
  const char* windowClass;  // "Button", "Edit", "Static", "SysTreeView32"
  const char* text;
  std::uint32_t style;  // WS_CHILD included, WS_VISIBLE where the control starts visible
  std::uint32_t exStyle;
  DialogUnits rect;
};

struct SimDialogTemplate {
  int id;
  const char* caption;
  std::uint32_t style;
  std::uint32_t exStyle;
  int fontPoints;
  const char* fontName;
  DialogUnits rect;
  std::span<const SimControlTemplate> controls;  // in tab order
};

// The template with the id, or null.
const SimDialogTemplate* FindSimTemplate(int id);

// Dialog units to pixels for 8-point MS Sans Serif (base units 6 x 13).
inline constexpr int DialogUnitsToPixelsX(int x) { return x * 3 / 2; }
inline constexpr int DialogUnitsToPixelsY(int y) { return y * 13 / 8; }

// The icon resources of the program.
bool IsKnownIcon(int iconId);

}  // namespace qvx::sim
