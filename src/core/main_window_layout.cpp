#include "main_window_layout.h"

#include <stdexcept>

#include "text_excerpt.h"

namespace rtrillex::main_window {

PixelRect PlaceInClient(const MainControl& control, TwipsPerPixel scale) {
  return rtrillex::PlaceInClient(control, Describe(ControlId::Frame1).place, scale);
}

std::wstring CurrentContentShown(std::wstring_view text) {
  return ShownPartMarked(text, kCurrentBoxMaxLines, kCurrentBoxMaxColumns, kCutMarker);
}

const MainControl& Describe(ControlId id) {
  for (const MainControl& control : kControls)
    if (control.id == id) return control;
  throw std::out_of_range("no such control");
}

}  // namespace rtrillex::main_window
