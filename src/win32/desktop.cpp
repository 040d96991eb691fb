#include "desktop.h"

#include <cmath>
#include <cstring>
#include <string>

#include "control_layout.h"
#include "resource.h"

namespace rtrillex {

int ScreenDotsPerInchY() {
  WindowDC screen(nullptr);
  return GetDeviceCaps(screen.get(), LOGPIXELSY);
}

TwipsPerPixel ScreenTwipsPerPixel() {
  WindowDC screen(nullptr);
  return TwipsPerPixelFor(GetDeviceCaps(screen.get(), LOGPIXELSX), GetDeviceCaps(screen.get(), LOGPIXELSY));
}

UniqueFont CreatePointFont(std::wstring_view face, float points) {
  LOGFONTW font{};
  font.lfHeight = -static_cast<LONG>(std::lround(points * static_cast<float>(ScreenDotsPerInchY()) / 72.0f));
  font.lfWeight = FW_NORMAL;
  font.lfCharSet = static_cast<BYTE>(kShiftJisCharset);
  const std::wstring name(face.substr(0, LF_FACESIZE - 1));
  std::memcpy(font.lfFaceName, name.c_str(), (name.size() + 1) * sizeof(wchar_t));
  return UniqueFont(CreateFontIndirectW(&font));
}

namespace {

SIZE ExtentIn(HDC dc, std::wstring_view text) {
  if (text.empty()) return SIZE{0, 0};
  RECT extent{0, 0, 0, 0};
  DrawTextW(dc, text.data(), static_cast<int>(text.size()), &extent, DT_CALCRECT | DT_NOPREFIX | DT_EXPANDTABS);
  return SIZE{extent.right, extent.bottom};
}

}  // namespace

SIZE MeasureText(HWND window, HFONT font, std::wstring_view text) {
  if (text.empty()) return SIZE{0, 0};
  WindowDC dc(window);
  SelectedObject selected(dc.get(), font);
  return ExtentIn(dc.get(), text);
}

TextMeasurer::TextMeasurer(HFONT font) : dc_(CreateCompatibleDC(nullptr)) {
  if (dc_) SelectObject(dc_.get(), font);  // for good: the DC is deleted with it selected
}

SIZE TextMeasurer::Measure(std::wstring_view text) const {
  return dc_ ? ExtentIn(dc_.get(), text) : SIZE{0, 0};
}

UniqueFont CreateMenuFont() {
  NONCLIENTMETRICSW metrics{};
  metrics.cbSize = sizeof metrics;
  if (!SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0)) return UniqueFont();
  return UniqueFont(CreateFontIndirectW(&metrics.lfMenuFont));
}

PixelRect WorkAreaAt(POINT point) {
  MONITORINFO monitor{};
  monitor.cbSize = sizeof monitor;
  RECT area{};
  if (GetMonitorInfoW(MonitorFromPoint(point, MONITOR_DEFAULTTONEAREST), &monitor))
    area = monitor.rcWork;
  else
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);  // the main monitor's
  return {area.left, area.top, area.right - area.left, area.bottom - area.top};
}

COLORREF ResolveColour(Colour colour) {
  return IsSystemColour(colour) ? GetSysColor(static_cast<int>(SystemColourIndex(colour))) : COLORREF{colour};
}

UniqueIcon LoadProgramIcon(int width, int height) {
  return UniqueIcon(static_cast<HICON>(
      LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDI_PROGRAM), IMAGE_ICON, width, height, 0)));
}

ProgramIcons::ProgramIcons()
    : big_(LoadProgramIcon(GetSystemMetrics(SM_CXICON), GetSystemMetrics(SM_CYICON))),
      small_(LoadProgramIcon(GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON))) {}

void ProgramIcons::AttachTo(HWND window) const {
  SendMessageW(window, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(big_.get()));
  SendMessageW(window, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(small_.get()));
}

UniqueIcon LoadPopupIcon() {
  // The exe's only icon resource is the program icon, so the popup's icon
  // travels as the raw .ico file: a 6-byte header, 16-byte entries, then images.
  HMODULE module = GetModuleHandleW(nullptr);
  HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(IDR_POPUP_ICON), MAKEINTRESOURCEW(10) /* RT_RCDATA */);
  if (!found) return UniqueIcon();
  const auto* file = static_cast<const BYTE*>(LockResource(LoadResource(module, found)));
  const DWORD fileSize = SizeofResource(module, found);
  constexpr DWORD kHeader = 6, kEntry = 16;
  if (!file || fileSize < kHeader + kEntry) return UniqueIcon();
  DWORD imageSize, imageOffset;
  std::memcpy(&imageSize, file + kHeader + 8, sizeof imageSize);
  std::memcpy(&imageOffset, file + kHeader + 12, sizeof imageOffset);
  if (imageOffset > fileSize || imageSize > fileSize - imageOffset) return UniqueIcon();
  return UniqueIcon(CreateIconFromResourceEx(const_cast<BYTE*>(file + imageOffset), imageSize, TRUE, 0x00030000,
                                             32, 32, LR_DEFAULTCOLOR));
}

}  // namespace rtrillex
