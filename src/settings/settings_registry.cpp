#include "settings/settings_registry.h"

#include <algorithm>
#include <array>

#include "platform/registry.h"
#include "settings/settings_key.h"

namespace {

// A setting's data buffer: 255 bytes hold 126 characters and their NUL.
constexpr DWORD kReadBufferBytes = 255;

// Key paths may be written with "/" by habit; the registry only knows "\".
// Gives `path` itself when it has none, as the settings' own paths do, and
// otherwise `spare`, filled with the replaced copy.
const std::u16string& WithBackslashes(const std::u16string& path, std::u16string& spare) {
  if (path.find(u'/') == std::u16string::npos) return path;
  spare = path;
  std::replace(spare.begin(), spare.end(), u'/', u'\\');
  return spare;
}

// The registry hands back raw bytes, not necessarily a terminated string:
// take whole UTF-16 units up to the first NUL, never past `byteCount`.
std::u16string TextFromRegistryData(const char16_t* data, DWORD byteCount) {
  const std::size_t units = byteCount / sizeof(char16_t);
  const char16_t* end = std::find(data, data + units, u'\0');
  return std::u16string(data, end);
}

}  // namespace

std::u16string BuildSettingsKeyPath(const std::u16string& subkeyName) {
  return std::u16string(kSettingsParentKey) + u"\\" + subkeyName;
}

int32_t ReadRegistryString(const std::u16string& keyPath, const char16_t* valueName,
                           std::u16string& text) {
  std::u16string spare;
  const std::u16string& path = WithBackslashes(keyPath, spare);

  UniqueRegKey key;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, AsWide(path.c_str()), 0, KEY_READ, key.put()) !=
      ERROR_SUCCESS) {
    return -1;
  }

  std::array<char16_t, (kReadBufferBytes + 1) / sizeof(char16_t)> buffer{};
  DWORD type = 0;  // received but not looked at: any type is taken as text
  DWORD size = kReadBufferBytes;
  if (RegQueryValueExW(key.get(), AsWide(valueName), nullptr, &type,
                       reinterpret_cast<BYTE*>(buffer.data()), &size) != ERROR_SUCCESS) {
    return -1;
  }

  text = TextFromRegistryData(buffer.data(), std::min(size, kReadBufferBytes));
  return 0;
}

int32_t WriteRegistryString(const std::u16string& keyPath, const char16_t* valueName,
                            const std::u16string& text) {
  std::u16string spare;
  const std::u16string& path = WithBackslashes(keyPath, spare);

  UniqueRegKey key;
  if (RegCreateKeyExW(HKEY_CURRENT_USER, AsWide(path.c_str()), 0, nullptr, REG_OPTION_NON_VOLATILE,
                      KEY_ALL_ACCESS, nullptr, key.put(), nullptr) != ERROR_SUCCESS) {
    return -1;
  }

  const DWORD byteCount = static_cast<DWORD>((text.size() + 1) * sizeof(char16_t));
  if (RegSetValueExW(key.get(), AsWide(valueName), 0, REG_SZ,
                     reinterpret_cast<const BYTE*>(text.c_str()), byteCount) != ERROR_SUCCESS) {
    return -1;
  }
  return 0;
}

bool WriteSettingValue(const std::u16string& subkeyName, const char16_t* valueName,
                       const std::u16string& text) {
  return WriteRegistryString(BuildSettingsKeyPath(subkeyName), valueName, text) == 0;
}

bool DeleteSettingValue(const std::u16string& subkeyName, const char16_t* valueName) {
  // The path is used as built: unlike a read or a write, no "/" is replaced.
  const std::u16string keyPath = BuildSettingsKeyPath(subkeyName);

  UniqueRegKey key;
  if (RegOpenKeyW(HKEY_CURRENT_USER, AsWide(keyPath.c_str()), key.put()) != ERROR_SUCCESS) {
    return false;
  }
  // A refused delete is a failure too: reporting it as success would hide
  // that the legacy value is still there.
  return RegDeleteValueW(key.get(), AsWide(valueName)) == ERROR_SUCCESS;
}
