#include "pointer_placement.h"

#include <gtest/gtest.h>

#include <array>

namespace rtrillex {
namespace {

struct PlacementCase {
  const char* where;
  ScreenPoint pointer;
  PixelRect workArea;
  PixelRect place;
};

std::array<int, 4> Corners(const PixelRect& r) { return {r.left, r.top, r.left + r.width, r.top + r.height}; }

TEST(PlaceBesidePointer, StaysBesideThePointerWholeInsideTheWorkArea) {
  constexpr PixelSize popup{123, 40};
  constexpr PixelRect screen{0, 0, 1280, 1024};
  const PlacementCase cases[] = {
      {"where it fits", {400, 300}, screen, {410, 275, 123, 40}},
      {"touching the top edge", {640, 25}, screen, {650, 0, 123, 40}},
      {"a pixel past the top edge: below", {640, 24}, screen, {650, 49, 123, 40}},
      {"touching the right edge", {1147, 300}, screen, {1157, 275, 123, 40}},
      {"a pixel past the right edge: left", {1148, 300}, screen, {1015, 275, 123, 40}},
      {"top left corner", {0, 0}, screen, {10, 25, 123, 40}},
      {"top right corner", {1275, 3}, screen, {1142, 28, 123, 40}},
      {"bottom left corner", {3, 1020}, screen, {13, 984, 123, 40}},
      {"bottom right corner", {1276, 1020}, screen, {1143, 984, 123, 40}},
      {"over a taskbar at the bottom", {600, 1010}, {0, 0, 1280, 984}, {610, 944, 123, 40}},
      {"over a taskbar on the left", {20, 500}, {60, 0, 1220, 1024}, {60, 475, 123, 40}},
      {"top right of a monitor left of the main one", {-3, 2}, {-1920, 0, 1920, 1080}, {-136, 27, 123, 40}},
      {"bottom left of a monitor above and left", {-1278, -2}, {-1280, -1024, 1280, 1024}, {-1268, -40, 123, 40}},
      {"top of a monitor above", {640, -1020}, {0, -1024, 1280, 1024}, {650, -995, 123, 40}},
      {"too narrow for either side", {100, 500}, {0, 0, 200, 1024}, {77, 475, 123, 40}},
      {"too low for above and below", {700, 20}, {0, 0, 1280, 60}, {710, 0, 123, 40}},
      {"smaller than the popup: its corner wins", {120, 110}, {100, 100, 80, 30}, {100, 100, 123, 40}},
  };
  for (const PlacementCase& c : cases)
    EXPECT_EQ(Corners(PlaceBesidePointer(c.pointer, popup, c.workArea)), Corners(c.place)) << c.where;
}

}  // namespace
}  // namespace rtrillex
