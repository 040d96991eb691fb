// Pictures to and from PNG through the system's imaging component (WIC):
// how a copied picture is kept, once, and read back to be put on the
// clipboard again. One codec a thread, in a COM apartment of that thread.
#pragma once

#include <windows.h>
#include <wincodec.h>

#include <cstdint>
#include <optional>
#include <vector>

#include "com.h"
#include "picture.h"

namespace rtrillex {

class PngCodec {
 public:
  PngCodec();
  bool ok() const { return static_cast<bool>(factory_); }

  // Alpha kept as it is, every pixel exactly.
  std::optional<std::vector<std::uint8_t>> Encode(const Pixels& pixels);
  // nullopt for what does not decode, or a side beyond kLargestPictureSide.
  std::optional<Pixels> Decode(const std::uint8_t* png, std::size_t size);
  // Smaller, for a thumbnail; a picture already that small comes back as it is.
  std::optional<Pixels> Scale(const Pixels& pixels, PictureSize size);

 private:
  ComPtr<IWICImagingFactory> factory_;
};

}  // namespace rtrillex
