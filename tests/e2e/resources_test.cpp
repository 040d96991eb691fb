// What the exe carries: its version record and its one icon.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "harness.h"
#include "resource.h"
#include "version.h"

namespace e2e {
namespace {

std::wstring ExePath() { return ThisProgramsDirectory() + L"\\rTrillex.exe"; }

std::wstring VersionString(const std::vector<BYTE>& record, const wchar_t* name) {
  wchar_t* value = nullptr;
  UINT length = 0;
  const std::wstring key = std::wstring(L"\\StringFileInfo\\041104b0\\") + name;
  if (!VerQueryValueW(record.data(), key.c_str(), reinterpret_cast<void**>(&value), &length) || !value) return L"";
  return std::wstring(value, length ? length - 1 : 0);
}

TEST(Resources, VersionRecord) {
  const std::wstring exe = ExePath();
  DWORD ignored = 0;
  const DWORD size = GetFileVersionInfoSizeW(exe.c_str(), &ignored);
  ASSERT_GT(size, 0u);
  std::vector<BYTE> record(size);
  ASSERT_TRUE(GetFileVersionInfoW(exe.c_str(), 0, size, record.data()));

  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT length = 0;
  ASSERT_TRUE(VerQueryValueW(record.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
  // The record must say what version.h says: the one place the version is written.
  constexpr DWORD majorMinor = (RTRILLEX_VERSION_MAJOR << 16) | RTRILLEX_VERSION_MINOR;
  EXPECT_EQ(fixed->dwFileVersionMS, majorMinor);
  EXPECT_EQ(fixed->dwFileVersionLS, 0u);
  EXPECT_EQ(fixed->dwProductVersionMS, majorMinor);
  EXPECT_EQ(fixed->dwProductVersionLS, 0u);
  EXPECT_EQ(fixed->dwFileFlags, 0u);
  EXPECT_EQ(fixed->dwFileOS, 4u);
  EXPECT_EQ(fixed->dwFileType, 1u);
  EXPECT_EQ(fixed->dwFileDateMS | fixed->dwFileDateLS, 0u);

  struct Translation {
    WORD language, codePage;
  }* translation = nullptr;
  ASSERT_TRUE(VerQueryValueW(record.data(), L"\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translation),
                             &length));
  EXPECT_EQ(translation->language, 0x0411);
  EXPECT_EQ(translation->codePage, 1200);

  EXPECT_EQ(VersionString(record, L"FileVersion"), L"" RTRILLEX_VERSION_RECORD_TEXT);
  EXPECT_EQ(VersionString(record, L"ProductVersion"), L"" RTRILLEX_VERSION_RECORD_TEXT);
  EXPECT_EQ(VersionString(record, L"ProductName"), L"rTrillex");
  EXPECT_EQ(VersionString(record, L"InternalName"), L"rTrillex");
  EXPECT_EQ(VersionString(record, L"OriginalFilename"), L"rTrillex.exe");
  EXPECT_EQ(VersionString(record, L"CompanyName"), L"rTrillex project");
}

TEST(Resources, TheOnlyIconIsTheProgramIconAt150By153) {
  HMODULE exe = LoadLibraryExW(ExePath().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  ASSERT_NE(exe, nullptr);
  struct Counter {
    static BOOL CALLBACK Count(HMODULE, LPCWSTR, LPWSTR, LONG_PTR count) {
      ++*reinterpret_cast<int*>(count);
      return TRUE;
    }
  };
  int groups = 0;
  EnumResourceNamesW(exe, RT_GROUP_ICON, Counter::Count, reinterpret_cast<LONG_PTR>(&groups));
  EXPECT_EQ(groups, 1);

  HRSRC image = FindResourceW(exe, MAKEINTRESOURCEW(1), RT_ICON);
  ASSERT_NE(image, nullptr);
  const auto* header = static_cast<const BITMAPINFOHEADER*>(LockResource(LoadResource(exe, image)));
  ASSERT_NE(header, nullptr);
  EXPECT_EQ(header->biWidth, 150);
  EXPECT_EQ(header->biHeight, 2 * 153);  // colour rows and mask rows
  EXPECT_EQ(header->biBitCount, 24);
  FreeLibrary(exe);
}

TEST(Resources, ThePopupsIconIs32By32With16Colours) {
  HMODULE exe = LoadLibraryExW(ExePath().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  ASSERT_NE(exe, nullptr);
  HRSRC data = FindResourceW(exe, MAKEINTRESOURCEW(IDR_POPUP_ICON), RT_RCDATA);
  ASSERT_NE(data, nullptr);
  const auto* file = static_cast<const BYTE*>(LockResource(LoadResource(exe, data)));
  ASSERT_NE(file, nullptr);
  EXPECT_EQ(file[6], 32);       // width
  EXPECT_EQ(file[7], 32);       // height
  EXPECT_EQ(file[8], 16);       // colours
  EXPECT_EQ(file[6 + 6], 4);    // bits per pixel
  FreeLibrary(exe);
}

}  // namespace
}  // namespace e2e
