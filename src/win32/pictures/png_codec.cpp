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

std::optional<std::vector<std::uint8_t>> PngCodec::Encode(const Pixels& pixels) {
  const std::size_t stride = std::size_t{pixels.width} * 4;
  if (!factory_ || !FitsUint(pixels.bgra.size()) || pixels.bgra.size() != stride * pixels.height) return std::nullopt;
  ComPtr<IStream> stream;
  ComPtr<IWICBitmapEncoder> encoder;
  ComPtr<IWICBitmapFrameEncode> frame;
  ComPtr<IPropertyBag2> options;
  WICPixelFormatGUID format = GUID_WICPixelFormat32bppBGRA;
  HRESULT result = CreateStreamOnHGlobal(nullptr, TRUE, stream.out());
  if (SUCCEEDED(result)) result = factory_->CreateEncoder(GUID_ContainerFormatPng, nullptr, encoder.out());
  if (SUCCEEDED(result)) result = encoder->Initialize(stream.get(), WICBitmapEncoderNoCache);
  if (SUCCEEDED(result))
    result = encoder->CreateNewFrame(frame.out(),
                                     options.out());
  if (SUCCEEDED(result)) result = frame->Initialize(options.get());
  if (SUCCEEDED(result)) result = frame->SetSize(pixels.width, pixels.height);
  if (SUCCEEDED(result)) result = frame->SetPixelFormat(&format);
  // The encoder may offer another format; only this one keeps every pixel.
  if (SUCCEEDED(result) && format != GUID_WICPixelFormat32bppBGRA) result = E_FAIL;
  if (SUCCEEDED(result))
    result = frame->WritePixels(pixels.height, static_cast<UINT>(stride), static_cast<UINT>(pixels.bgra.size()),
                                const_cast<BYTE*>(pixels.bgra.data()));
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
  if (SUCCEEDED(result))
    result = factory_->CreateDecoderFromStream(stream.get(), nullptr, WICDecodeMetadataCacheOnDemand,
                                               decoder.out());
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
