#include "pictures/png_codec.h"

#include <limits>
#include <new>

namespace rtrillex {
namespace {

bool FitsUint(std::size_t size) { return size <= std::numeric_limits<UINT>::max(); }

// The bytes an in-memory stream holds.
std::optional<std::vector<std::uint8_t>> BytesOf(IStream* stream) {
  HGLOBAL memory = nullptr;
  STATSTG status{};
  if (FAILED(GetHGlobalFromStream(stream, &memory)) || FAILED(stream->Stat(&status, STATFLAG_NONAME)))
    return std::nullopt;
  const auto size = static_cast<std::size_t>(status.cbSize.QuadPart);
  const auto* bytes = static_cast<const std::uint8_t*>(GlobalLock(memory));
  if (!bytes) return std::nullopt;
  std::vector<std::uint8_t> copy(bytes, bytes + size);
  GlobalUnlock(memory);
  return copy;
}

}  // namespace

PngCodec::PngCodec() {
  if (FAILED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_IWICImagingFactory,
                              factory_.put())))
    factory_.reset();
}

// An opaque picture is written without its alpha bytes: a quarter less to
// keep, and the same pixels read back.
std::vector<std::uint8_t> RowsWithoutAlpha(const Pixels& pixels) {
  std::vector<std::uint8_t> bgr;
  bgr.reserve(pixels.bgra.size() / 4 * 3);
  for (std::size_t i = 0; i < pixels.bgra.size(); i += 4)
    bgr.insert(bgr.end(), pixels.bgra.begin() + static_cast<std::ptrdiff_t>(i),
               pixels.bgra.begin() + static_cast<std::ptrdiff_t>(i + 3));
  return bgr;
}

std::optional<std::vector<std::uint8_t>> PngCodec::Encode(const Pixels& pixels) {
  if (!factory_ || pixels.width == 0 || pixels.height == 0 || !FitsUint(pixels.bgra.size()) ||
      pixels.bgra.size() != std::size_t{pixels.width} * 4 * pixels.height)
    return std::nullopt;
  const bool opaque = !HasTransparency(pixels);
  const std::vector<std::uint8_t> bgr = opaque ? RowsWithoutAlpha(pixels) : std::vector<std::uint8_t>();
  const std::vector<std::uint8_t>& rows = opaque ? bgr : pixels.bgra;
  const WICPixelFormatGUID wanted = opaque ? GUID_WICPixelFormat24bppBGR : GUID_WICPixelFormat32bppBGRA;
  ComPtr<IStream> stream;
  ComPtr<IWICBitmapEncoder> encoder;
  ComPtr<IWICBitmapFrameEncode> frame;
  ComPtr<IPropertyBag2> options;
  WICPixelFormatGUID format = wanted;
  HRESULT result = CreateStreamOnHGlobal(nullptr, TRUE, stream.out());
  if (SUCCEEDED(result)) result = factory_->CreateEncoder(GUID_ContainerFormatPng, nullptr, encoder.out());
  if (SUCCEEDED(result)) result = encoder->Initialize(stream.get(), WICBitmapEncoderNoCache);
  if (SUCCEEDED(result)) result = encoder->CreateNewFrame(frame.out(), options.out());
  if (SUCCEEDED(result)) result = frame->Initialize(options.get());
  if (SUCCEEDED(result)) result = frame->SetSize(pixels.width, pixels.height);
  if (SUCCEEDED(result)) result = frame->SetPixelFormat(&format);
  // The encoder may offer another format; only the one asked for keeps every pixel.
  if (SUCCEEDED(result) && format != wanted) result = E_FAIL;
  const auto stride = static_cast<UINT>(rows.size() / pixels.height);
  // WritePixels only reads the rows, whatever its signature says.
  if (SUCCEEDED(result))
    result = frame->WritePixels(pixels.height, stride, static_cast<UINT>(rows.size()), const_cast<BYTE*>(rows.data()));
  if (SUCCEEDED(result)) result = frame->Commit();
  if (SUCCEEDED(result)) result = encoder->Commit();
  if (FAILED(result)) return std::nullopt;
  return BytesOf(stream.get());
}

std::optional<Pixels> PngCodec::Decode(const std::uint8_t* png, std::size_t size) {
  if (!factory_ || !png || !FitsUint(size)) return std::nullopt;
  ComPtr<IWICStream> stream;
  ComPtr<IWICBitmapDecoder> decoder;
  ComPtr<IWICBitmapFrameDecode> frame;
  ComPtr<IWICBitmapSource> converted;
  Pixels pixels;
  HRESULT result = factory_->CreateStream(stream.out());
  if (SUCCEEDED(result)) result = stream->InitializeFromMemory(const_cast<BYTE*>(png), static_cast<DWORD>(size));
  // The PNG decoder itself, not whichever one knows the bytes: what is kept
  // and put back as PNG is never another format.
  if (SUCCEEDED(result)) result = factory_->CreateDecoder(GUID_ContainerFormatPng, nullptr, decoder.out());
  if (SUCCEEDED(result)) result = decoder->Initialize(stream.get(), WICDecodeMetadataCacheOnDemand);
  if (SUCCEEDED(result)) result = decoder->GetFrame(0, frame.out());
  if (SUCCEEDED(result)) result = frame->GetSize(&pixels.width, &pixels.height);
  if (FAILED(result) || pixels.width == 0 || pixels.height == 0 || pixels.width > kLargestPictureSide ||
      pixels.height > kLargestPictureSide)
    return std::nullopt;
  result = WICConvertBitmapSource(GUID_WICPixelFormat32bppBGRA, frame.get(),
                                  converted.out());
  const std::size_t stride = std::size_t{pixels.width} * 4;
  try {
    pixels.bgra.resize(stride * pixels.height);
  } catch (const std::bad_alloc&) {
    return std::nullopt;
  }
  if (SUCCEEDED(result) && FitsUint(pixels.bgra.size()))
    result = converted->CopyPixels(nullptr, static_cast<UINT>(stride), static_cast<UINT>(pixels.bgra.size()),
                                   pixels.bgra.data());
  if (FAILED(result)) return std::nullopt;
  return pixels;
}

std::optional<Pixels> PngCodec::Scale(const Pixels& pixels, PictureSize size) {
  if (size.width == pixels.width && size.height == pixels.height) return pixels;
  const std::size_t stride = std::size_t{pixels.width} * 4;
  if (!factory_ || !FitsUint(pixels.bgra.size()) || pixels.bgra.size() != stride * pixels.height) return std::nullopt;
  ComPtr<IWICBitmap> source;
  ComPtr<IWICBitmapScaler> scaler;
  Pixels scaled;
  scaled.width = size.width;
  scaled.height = size.height;
  scaled.bgra.resize(std::size_t{size.width} * size.height * 4);
  HRESULT result = factory_->CreateBitmapFromMemory(pixels.width, pixels.height, GUID_WICPixelFormat32bppBGRA,
                                                    static_cast<UINT>(stride), static_cast<UINT>(pixels.bgra.size()),
                                                    const_cast<BYTE*>(pixels.bgra.data()), source.out());
  if (SUCCEEDED(result)) result = factory_->CreateBitmapScaler(scaler.out());
  if (SUCCEEDED(result)) result = scaler->Initialize(source.get(), size.width, size.height, WICBitmapInterpolationModeFant);
  if (SUCCEEDED(result))
    result = scaler->CopyPixels(nullptr, size.width * 4, static_cast<UINT>(scaled.bgra.size()), scaled.bgra.data());
  if (FAILED(result)) return std::nullopt;
  return scaled;
}

}  // namespace rtrillex
