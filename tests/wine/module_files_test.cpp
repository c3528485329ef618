// What Sorvane.dll carries besides its code, read the way Windows and its
// tools read it: the version block, the manifest, the dialog template, the
// export table.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "wine_support.h"

namespace wine {
namespace {

std::vector<uint8_t> VersionBlock() {
  const std::wstring path = ModulePath();
  DWORD handle = 0;
  const DWORD size = GetFileVersionInfoSizeW(path.c_str(), &handle);
  if (size == 0) return {};
  std::vector<uint8_t> block(size);
  if (!GetFileVersionInfoW(path.c_str(), 0, size, block.data())) return {};
  return block;
}

std::wstring VersionString(std::vector<uint8_t>& block, const std::wstring& name) {
  void* value = nullptr;
  UINT length = 0;
  const std::wstring query = L"\\StringFileInfo\\041204b0\\" + name;
  if (!VerQueryValueW(block.data(), query.c_str(), &value, &length) || value == nullptr) {
    return L"<missing>";
  }
  return std::wstring(static_cast<const wchar_t*>(value));
}

TEST(ModuleFilesTest, VersionBlockNamesTheModuleInKorean) {
  std::vector<uint8_t> block = VersionBlock();
  ASSERT_FALSE(block.empty()) << "no version block, error " << GetLastError();

  void* value = nullptr;
  UINT length = 0;
  ASSERT_TRUE(VerQueryValueW(block.data(), L"\\", &value, &length));
  ASSERT_EQ(length, sizeof(VS_FIXEDFILEINFO));
  const auto* fixed = static_cast<const VS_FIXEDFILEINFO*>(value);
  EXPECT_EQ(fixed->dwSignature, 0xFEEF04BDu);
  EXPECT_EQ(fixed->dwFileVersionMS, MAKELONG(2, 4));  // 4.2
  EXPECT_EQ(fixed->dwFileVersionLS, MAKELONG(1, 1));  // .1.1
  EXPECT_EQ(fixed->dwProductVersionMS, MAKELONG(2, 4));
  EXPECT_EQ(fixed->dwProductVersionLS, MAKELONG(1, 1));
  EXPECT_EQ(fixed->dwFileType, static_cast<DWORD>(VFT_DLL));

  ASSERT_TRUE(VerQueryValueW(block.data(), L"\\VarFileInfo\\Translation", &value, &length));
  ASSERT_EQ(length, 4u) << "exactly one language";
  const auto* translation = static_cast<const WORD*>(value);
  EXPECT_EQ(translation[0], 0x0412);  // Korean
  EXPECT_EQ(translation[1], 1200);    // Unicode

  EXPECT_EQ(VersionString(block, L"FileDescription"), L"속성ㆍ레이어복사")
      << Utf8(VersionString(block, L"FileDescription"));
  EXPECT_EQ(VersionString(block, L"FileVersion"), L"4.2.1.1");
  EXPECT_EQ(VersionString(block, L"ProductVersion"), L"4.2.1.1");
  EXPECT_EQ(VersionString(block, L"OriginalFilename"), L"Sorvane.dll");
  EXPECT_EQ(VersionString(block, L"InternalName"), L"Sorvane.dll");
}

std::string ResourceText(HMODULE module, HRSRC resource) {
  const HGLOBAL loaded = LoadResource(module, resource);
  const void* data = loaded != nullptr ? LockResource(loaded) : nullptr;
  if (data == nullptr) return {};
  return std::string(static_cast<const char*>(data), SizeofResource(module, resource));
}

TEST(ModuleFilesTest, ManifestAsADllsAsksForTheInvokersRightsAndDeclaresDpiAwareness) {
  ASSERT_NE(Module(), nullptr);
  // A DLL's manifest is resource 2; 1 would be an executable's, which the
  // loader ignores in a DLL.
  EXPECT_EQ(FindResourceW(Module(), MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24)), nullptr);
  const HRSRC resource = FindResourceW(Module(), ISOLATIONAWARE_MANIFEST_RESOURCE_ID, RT_MANIFEST);
  ASSERT_NE(resource, nullptr);
  const std::string manifest = ResourceText(Module(), resource);

  EXPECT_EQ(manifest.rfind("<?xml", 0), 0u) << manifest;
  EXPECT_NE(manifest.find("<requestedExecutionLevel level=\"asInvoker\""), std::string::npos)
      << manifest;
  EXPECT_NE(manifest.find(">true</dpiAware>"), std::string::npos) << manifest;
  EXPECT_NE(manifest.find(">PerMonitorV2</dpiAwareness>"), std::string::npos) << manifest;
  EXPECT_EQ(manifest.find("requireAdministrator"), std::string::npos);
}

TEST(ModuleFilesTest, DialogTemplateIsAKoreanResourceOfTheModule) {
  ASSERT_NE(Module(), nullptr);
  const HRSRC resource = FindResourceExW(Module(), RT_DIALOG, MAKEINTRESOURCEW(23000),
                                         MAKELANGID(LANG_KOREAN, SUBLANG_DEFAULT));
  ASSERT_NE(resource, nullptr);
  const HGLOBAL loaded = LoadResource(Module(), resource);
  ASSERT_NE(loaded, nullptr);
  const auto* words = static_cast<const WORD*>(LockResource(loaded));
  ASSERT_NE(words, nullptr);
  // An extended template starts with version 1 and the signature 0xFFFF.
  EXPECT_EQ(words[0], 1);
  EXPECT_EQ(words[1], 0xFFFF);
  // Nothing else in this program carries the template.
  EXPECT_EQ(FindResourceW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(23000), RT_DIALOG), nullptr);
}

// The export directory, read from the loaded image as the loader reads it.
std::vector<std::string> ExportNames(HMODULE module) {
  const auto* base = reinterpret_cast<const uint8_t*>(module);
  const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
  const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS64*>(base + dos->e_lfanew);
  const IMAGE_DATA_DIRECTORY& entry =
      nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT];
  std::vector<std::string> names;
  if (entry.VirtualAddress == 0) return names;
  const auto* exports =
      reinterpret_cast<const IMAGE_EXPORT_DIRECTORY*>(base + entry.VirtualAddress);
  const auto* nameRvas = reinterpret_cast<const DWORD*>(base + exports->AddressOfNames);
  for (DWORD i = 0; i < exports->NumberOfNames; ++i) {
    names.emplace_back(reinterpret_cast<const char*>(base + nameRvas[i]));
  }
  names.push_back("functions:" + std::to_string(exports->NumberOfFunctions));
  return names;
}

TEST(ModuleFilesTest, ExportsStartupAndNothingElse) {
  ASSERT_NE(Module(), nullptr);
  EXPECT_EQ(ExportNames(Module()), (std::vector<std::string>{"Startup", "functions:1"}));
  EXPECT_NE(Startup(), nullptr);
}

TEST(ModuleFilesTest, TakesTheHostLibraryFromTheVekLibDllThisProgramLoaded) {
  ASSERT_NE(Module(), nullptr);
  // One VekLib.dll in the process: the module's imports and this program's
  // simulated host are the same instance.
  const HMODULE vekLib = GetModuleHandleW(L"VekLib.dll");
  ASSERT_NE(vekLib, nullptr);
  HMODULE owner = nullptr;
  ASSERT_TRUE(GetModuleHandleExW(
      GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
      reinterpret_cast<LPCWSTR>(&sim::Host::Instance()), &owner));
  EXPECT_EQ(owner, vekLib);
}

}  // namespace
}  // namespace wine
