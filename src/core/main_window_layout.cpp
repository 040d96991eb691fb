#include "main_window_layout.h"

#include <stdexcept>

namespace rtrillex::main_window {

PixelRect PlaceInClient(const ControlDescription& control, TwipsPerPixel scale) {
  PixelRect place = ToPixels(control.place, scale);
  if (control.insideFrame) {
    // Each part converts on its own, as a child placed inside the frame would.
    const PixelRect frame = ToPixels(Describe(ControlId::Frame1).place, scale);
    place.left += frame.left;
    place.top += frame.top;
  }
  return place;
}

const ControlDescription& Describe(ControlId id) {
  for (const ControlDescription& control : kControls)
    if (control.id == id) return control;
  throw std::out_of_range("no such control");
}

}  // namespace rtrillex::main_window
