// Pictures held once however often they are copied: a screenshot copied
// again, or put back and so copied anew, shares the PNG and thumbnail of the
// one held already, and a picture is held while any history line holds it.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <vector>

#include "entry.h"

namespace rtrillex {

class PictureShelf {
 public:
  // `picture`, or the equal one already held in its place.
  PictureData Share(PictureData picture);
  std::size_t HeldCount();

 private:
  struct Held {
    std::weak_ptr<const std::vector<std::uint8_t>> png;
    std::weak_ptr<const Pixels> thumbnail;
  };
  void ForgetReleased();
  std::multimap<std::uint64_t, Held> held_;  // by a hash of the PNG
};

}  // namespace rtrillex
