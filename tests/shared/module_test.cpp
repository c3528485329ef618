#include "shared/module_test.h"

#include <ostream>

#include "support/reg_text.h"
#include "support/utf.h"

namespace shared {

const std::vector<std::u16string> kSettingNames = {
    u"mIsColor",     u"mIsLType",   u"mIsLayer",          u"mIsDecimalPlace",
    u"mIsTolerance", u"mIsDimSize", u"IsHoleLayerChanged"};

const std::vector<std::u16string> kDefaultTexts = {u"1", u"1", u"1", u"1", u"0", u"0", u"0"};

void StoreValue(const std::u16string& path, const std::u16string& name, DWORD type,
                const std::vector<uint8_t>& bytes) {
  UniqueRegKey key;
  ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, AsWide(path.c_str()), 0, nullptr, 0, KEY_ALL_ACCESS,
                            nullptr, key.put(), nullptr),
            ERROR_SUCCESS);
  // Windows counts a NUL that follows string data given without one, as if
  // the caller had forgotten to count it, so what lies in memory after the
  // data matters: here never a NUL, and the value gets exactly these bytes.
  std::vector<uint8_t> guarded = bytes;
  guarded.insert(guarded.end(), {0xCC, 0xCC, 0xCC});
  ASSERT_EQ(RegSetValueExW(key.get(), AsWide(name.c_str()), 0, type, guarded.data(),
                           static_cast<DWORD>(bytes.size())),
            ERROR_SUCCESS);
}

std::optional<StoredValue> ReadValue(const std::u16string& path, const std::u16string& name) {
  UniqueRegKey key;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, AsWide(path.c_str()), 0, KEY_READ, key.put()) !=
      ERROR_SUCCESS) {
    return std::nullopt;
  }
  StoredValue value;
  value.bytes.resize(4096);
  DWORD size = static_cast<DWORD>(value.bytes.size());
  if (RegQueryValueExW(key.get(), AsWide(name.c_str()), nullptr, &value.type, value.bytes.data(),
                       &size) != ERROR_SUCCESS) {
    return std::nullopt;
  }
  value.bytes.resize(size);
  return value;
}

void PrintTo(const StoredValue& value, std::ostream* os) {
  *os << "type " << value.type << ", " << value.bytes.size() << " bytes:";
  for (size_t i = 0; i < value.bytes.size() && i < 32; ++i) *os << ' ' << int(value.bytes[i]);
  if (value.bytes.size() > 32) *os << " ...";
}

std::vector<uint8_t> TextBytes(const std::u16string& text) { return regtext::StringBytes(text); }

void StoreText(const std::u16string& name, const std::u16string& text) {
  StoreValue(kSettingsKey, name, REG_SZ, TextBytes(text));
}

std::u16string Stored(const std::u16string& name) {
  const auto value = ReadValue(kSettingsKey, name);
  return value ? regtext::TextOf(value->bytes) : u"<missing>";
}

std::vector<std::u16string> StoredSettings() {
  std::vector<std::u16string> texts;
  texts.reserve(kSettingNames.size());
  for (const auto& name : kSettingNames) texts.push_back(Stored(name));
  return texts;
}

void StoreSettings(const std::vector<int>& flags) {
  for (size_t i = 0; i < flags.size() && i < kSettingNames.size(); ++i) {
    StoreText(kSettingNames[i], flags[i] != 0 ? u"1" : u"0");
  }
}

std::string Utf8(const std::u16string& text) { return utf::ToUtf8(text); }

void ModuleTest::SetUp() {
  ASSERT_NE(platform().Startup(), nullptr) << "the module has no Startup";
  platform().DeleteKeyTree(kSettingsKey);
  host().Reset();
  ASSERT_EQ(host().Register(platform().Startup()), 0);
}

void ModuleTest::TearDown() { platform().DeleteKeyTree(kSettingsKey); }

}  // namespace shared
