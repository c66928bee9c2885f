#include "platform/placement.h"

#include <gtest/gtest.h>

namespace qvx {
namespace {

TEST(CentredPlacement, CentresThenKeepsInsideTheWorkArea) {
  const Rect work{0, 0, 1024, 738};   // a task bar of 30 pixels at the bottom
  const Rect dialog{0, 0, 400, 200};  // as the template places it
  struct Case {
    const char* name;
    Rect over;
    Rect expected;
  };
  const Case cases[] = {
      {"no owner: the work area", work, {312, 269, 712, 469}},
      {"owner in the middle", {200, 200, 700, 500}, {250, 250, 650, 450}},
      {"owner at the right edge", {900, 100, 1300, 400}, {624, 150, 1024, 350}},
      {"owner above the top", {-300, -250, 100, 50}, {0, 0, 400, 200}},
      {"owner below the bottom", {300, 700, 700, 900}, {300, 538, 700, 738}},
      {"owner smaller than the dialog", {500, 300, 520, 320}, {310, 210, 710, 410}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(CentredPlacement(dialog, c.over, work), c.expected);
  }
}

TEST(CentredPlacement, ADialogLargerThanTheWorkAreaKeepsItsCaptionOnScreen) {
  const Rect work{0, 0, 640, 450};
  EXPECT_EQ(CentredPlacement({0, 0, 700, 500}, work, work), (Rect{0, 0, 700, 500}));
  // A work area that does not start at 0 (task bar at the top or left).
  const Rect shifted{40, 30, 640, 480};
  EXPECT_EQ(CentredPlacement({0, 0, 200, 100}, shifted, shifted), (Rect{240, 205, 440, 305}));
}

}  // namespace
}  // namespace qvx
