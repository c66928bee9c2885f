#include "platform/placement.h"

namespace qvx {
namespace {

// The start of a span of length size centred over [from, to), then kept
// inside [low, high). A span longer than [low, high) starts at low, so that
// its top-left corner (caption, system menu) stays reachable.
std::int32_t Place(std::int32_t size, std::int32_t from, std::int32_t to, std::int32_t low,
                   std::int32_t high) {
  std::int32_t start = from + (to - from - size) / 2;
  if (start + size > high) start = high - size;
  if (start < low) start = low;
  return start;
}

}  // namespace

Rect CentredPlacement(const Rect& window, const Rect& over, const Rect& work) {
  std::int32_t width = window.right - window.left;
  std::int32_t height = window.bottom - window.top;
  std::int32_t x = Place(width, over.left, over.right, work.left, work.right);
  std::int32_t y = Place(height, over.top, over.bottom, work.top, work.bottom);
  return {x, y, x + width, y + height};
}

}  // namespace qvx
