// What the settings store relies on of the registry, stated once and held to
// on both sides: on Linux against the stand-in, under Wine against Windows'
// own advapi32. The stand-in's stricter readings, where Windows leaves the
// outcome open, are its own tests' business.
#include "platform/registry.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "settings/settings_key.h"
#include "shared/module_test.h"
#include "shared/platform.h"

namespace shared {
namespace {

const std::u16string kScratch = std::u16string(kSettingsParentKey) + u"\\SorvaneRegistryTest";

constexpr DWORD kMultiString = 7;
constexpr REGSAM kSetValueOnly = 0x0002;
constexpr REGSAM kGenericRead = 0x80000000u;

class SharedRegistry : public ::testing::Test {
 protected:
  void SetUp() override { CurrentPlatform().DeleteKeyTree(kScratch); }
  void TearDown() override { CurrentPlatform().DeleteKeyTree(kScratch); }

  static LSTATUS Open(const std::u16string& path, REGSAM access, UniqueRegKey& key) {
    return RegOpenKeyExW(HKEY_CURRENT_USER, AsWide(path.c_str()), 0, access, key.put());
  }
  static LSTATUS Create(const std::u16string& path, UniqueRegKey& key, DWORD* disposition) {
    return RegCreateKeyExW(HKEY_CURRENT_USER, AsWide(path.c_str()), 0, nullptr, 0, KEY_ALL_ACCESS,
                           nullptr, key.put(), disposition);
  }
};

TEST_F(SharedRegistry, KeyNamesIgnoreCaseAndOnlyABackslashSeparatesThem) {
  StoreValue(kScratch + u"\\Inner", u"v", REG_SZ, TextBytes(u"1"));
  struct Case {
    std::u16string path;
    LSTATUS expected;
  };
  const Case cases[] = {
      {kScratch + u"\\Inner", ERROR_SUCCESS},
      {u"software\\DENMARROW\\vek\\sorvaneregistrytest\\iNNER", ERROR_SUCCESS},
      {kScratch + u"\\Inner\\", ERROR_SUCCESS},
      {u"SOFTWARE/Denmarrow/VEK/SorvaneRegistryTest", ERROR_FILE_NOT_FOUND},
      {kScratch + u"\\Missing", ERROR_FILE_NOT_FOUND},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(Utf8(c.path));
    UniqueRegKey extended;
    EXPECT_EQ(Open(c.path, KEY_READ, extended), c.expected);
    UniqueRegKey legacy;
    EXPECT_EQ(RegOpenKeyW(HKEY_CURRENT_USER, AsWide(c.path.c_str()), legacy.put()), c.expected);
  }
}

TEST_F(SharedRegistry, CreateMakesEveryMissingKeyAndTellsWhetherItDid) {
  struct Case {
    std::u16string path;
    DWORD disposition;
  };
  const Case cases[] = {
      {kScratch + u"\\A\\B", REG_CREATED_NEW_KEY},
      {kScratch + u"\\a\\b", REG_OPENED_EXISTING_KEY},
      {kScratch + u"\\A", REG_OPENED_EXISTING_KEY},
      // "/" is a character of a key name like any other.
      {kScratch + u"\\C/D", REG_CREATED_NEW_KEY},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(Utf8(c.path));
    UniqueRegKey key;
    DWORD disposition = 0;
    ASSERT_EQ(Create(c.path, key, &disposition), ERROR_SUCCESS);
    EXPECT_EQ(disposition, c.disposition);
  }
  UniqueRegKey c;
  EXPECT_EQ(Open(kScratch + u"\\C", KEY_READ, c), ERROR_FILE_NOT_FOUND);
}

TEST_F(SharedRegistry, CreateRefusesAReservedArgumentOtherThanZero) {
  constexpr LSTATUS kInvalidParameter = 87;
  const std::u16string path = kScratch + u"\\Reserved";
  for (DWORD reserved : {1u, 0x80000000u}) {
    UniqueRegKey key;
    EXPECT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, AsWide(path.c_str()), reserved, nullptr, 0,
                              KEY_ALL_ACCESS, nullptr, key.put(), nullptr),
              kInvalidParameter)
        << reserved;
  }
  UniqueRegKey key;
  EXPECT_EQ(Open(path, KEY_READ, key), ERROR_FILE_NOT_FOUND);
}

TEST_F(SharedRegistry, SubkeysOpenRelativeToAnOpenKey) {
  StoreValue(kScratch + u"\\Inner", u"v", REG_SZ, TextBytes(u"1"));
  UniqueRegKey outer;
  ASSERT_EQ(Open(kScratch, KEY_READ, outer), ERROR_SUCCESS);
  UniqueRegKey inner;
  ASSERT_EQ(RegOpenKeyExW(outer.get(), AsWide(u"inner"), 0, KEY_ALL_ACCESS, inner.put()),
            ERROR_SUCCESS);
  const std::vector<uint8_t> data = TextBytes(u"2");
  ASSERT_EQ(RegSetValueExW(inner.get(), AsWide(u"w"), 0, REG_SZ, data.data(), DWORD(data.size())),
            ERROR_SUCCESS);
  EXPECT_EQ(ReadValue(kScratch + u"\\Inner", u"W"), (StoredValue{REG_SZ, data}));
}

TEST_F(SharedRegistry, ValuesKeepTheirTypeAndExactBytes) {
  struct Case {
    std::u16string name;
    DWORD type;
    std::vector<uint8_t> bytes;
  };
  const std::vector<Case> cases = {
      {u"terminated", REG_SZ, {'1', 0, 0, 0}},
      {u"unterminated", REG_SZ, {'1', 0, '2', 0}},
      {u"odd", REG_SZ, {'7', 0, '8'}},
      {u"embedded NUL", REG_SZ, {'a', 0, 0, 0, 'b', 0, 0, 0}},
      {u"empty", REG_SZ, {}},
      {u"binary", REG_BINARY, {0, 0xFF, 0, 0x10}},
      {u"dword", REG_DWORD, {0x78, 0x56, 0x34, 0x12}},
      {u"short dword", REG_DWORD, {1, 2, 3}},
      {u"multi", kMultiString, {'a', 0, 0, 0, 0, 0}},
      {u"", REG_SZ, {'d', 0, 0, 0}},  // the key's default value
  };
  for (const Case& c : cases) StoreValue(kScratch, c.name, c.type, c.bytes);
  for (const Case& c : cases) {
    SCOPED_TRACE(Utf8(c.name));
    EXPECT_EQ(ReadValue(kScratch, c.name), (StoredValue{c.type, c.bytes}));
  }
}

TEST_F(SharedRegistry, ValueNamesIgnoreCaseAndKeepTheirFirstSpelling) {
  StoreValue(kScratch, u"mIsColor", REG_SZ, TextBytes(u"1"));
  StoreValue(kScratch, u"MISCOLOR", REG_SZ, TextBytes(u"0"));
  EXPECT_EQ(ReadValue(kScratch, u"miscolor"), (StoredValue{REG_SZ, TextBytes(u"0")}));
  EXPECT_EQ(CurrentPlatform().ValueNames(kScratch), (std::vector<std::u16string>{u"mIsColor"}));
}

TEST_F(SharedRegistry, AQueryReportsTheSizeAndRefusesAShortBuffer) {
  StoreValue(kScratch, u"v", REG_SZ, TextBytes(u"12"));  // six bytes with the NUL
  UniqueRegKey key;
  ASSERT_EQ(Open(kScratch, KEY_READ, key), ERROR_SUCCESS);
  struct Case {
    bool withData;
    DWORD offered;
    LSTATUS expected;
  };
  const Case cases[] = {{false, 0, ERROR_SUCCESS},
                        {true, 6, ERROR_SUCCESS},
                        {true, 255, ERROR_SUCCESS},
                        {true, 5, ERROR_MORE_DATA},
                        {true, 0, ERROR_MORE_DATA}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.offered) + (c.withData ? " with data" : " size only"));
    std::vector<uint8_t> buffer(std::max<DWORD>(c.offered, 1), 0xCC);
    DWORD size = c.offered;
    DWORD type = 99;
    EXPECT_EQ(RegQueryValueExW(key.get(), AsWide(u"V"), nullptr, &type,
                               c.withData ? buffer.data() : nullptr, &size),
              c.expected);
    EXPECT_EQ(size, 6u);
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
  }
  // The type is optional; a data buffer without a size is not.
  constexpr LSTATUS kInvalidParameter = 87;
  DWORD size = 0;
  EXPECT_EQ(RegQueryValueExW(key.get(), AsWide(u"v"), nullptr, nullptr, nullptr, &size),
            ERROR_SUCCESS);
  BYTE data[8];
  EXPECT_EQ(RegQueryValueExW(key.get(), AsWide(u"v"), nullptr, nullptr, data, nullptr),
            kInvalidParameter);
}

TEST_F(SharedRegistry, MissingValuesAndKeysAreNotFound) {
  StoreValue(kScratch, u"v", REG_SZ, TextBytes(u"1"));
  UniqueRegKey key;
  ASSERT_EQ(Open(kScratch, KEY_ALL_ACCESS, key), ERROR_SUCCESS);
  DWORD size = 0;
  EXPECT_EQ(RegQueryValueExW(key.get(), AsWide(u"Type"), nullptr, nullptr, nullptr, &size),
            ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(RegDeleteValueW(key.get(), AsWide(u"Type")), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(RegDeleteValueW(key.get(), AsWide(u"V")), ERROR_SUCCESS);
  EXPECT_EQ(RegDeleteValueW(key.get(), AsWide(u"v")), ERROR_FILE_NOT_FOUND);
}

TEST_F(SharedRegistry, TheHandlesAccessGovernsWhatItMayDo) {
  const std::vector<uint8_t> data = TextBytes(u"0");
  struct Case {
    const char* what;
    REGSAM access;
    LSTATUS query, set, remove;
  };
  const Case cases[] = {
      {"KEY_READ", KEY_READ, ERROR_SUCCESS, ERROR_ACCESS_DENIED, ERROR_ACCESS_DENIED},
      {"KEY_SET_VALUE", kSetValueOnly, ERROR_ACCESS_DENIED, ERROR_SUCCESS, ERROR_SUCCESS},
      {"KEY_ALL_ACCESS", KEY_ALL_ACCESS, ERROR_SUCCESS, ERROR_SUCCESS, ERROR_SUCCESS},
      {"GENERIC_READ", kGenericRead, ERROR_SUCCESS, ERROR_ACCESS_DENIED, ERROR_ACCESS_DENIED},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    StoreValue(kScratch, u"Type", REG_SZ, TextBytes(u"1"));
    UniqueRegKey key;
    ASSERT_EQ(Open(kScratch, c.access, key), ERROR_SUCCESS);
    DWORD size = 0;
    EXPECT_EQ(RegQueryValueExW(key.get(), AsWide(u"Type"), nullptr, nullptr, nullptr, &size),
              c.query);
    EXPECT_EQ(
        RegSetValueExW(key.get(), AsWide(u"Type"), 0, REG_SZ, data.data(), DWORD(data.size())),
        c.set);
    EXPECT_EQ(RegDeleteValueW(key.get(), AsWide(u"Type")), c.remove);
    EXPECT_EQ(ReadValue(kScratch, u"Type").has_value(), c.remove != ERROR_SUCCESS);
  }
  // RegOpenKeyW opens for everything.
  StoreValue(kScratch, u"Type", REG_SZ, TextBytes(u"1"));
  UniqueRegKey legacy;
  ASSERT_EQ(RegOpenKeyW(HKEY_CURRENT_USER, AsWide(kScratch.c_str()), legacy.put()), ERROR_SUCCESS);
  EXPECT_EQ(
      RegSetValueExW(legacy.get(), AsWide(u"Type"), 0, REG_SZ, data.data(), DWORD(data.size())),
      ERROR_SUCCESS);
  EXPECT_EQ(RegDeleteValueW(legacy.get(), AsWide(u"Type")), ERROR_SUCCESS);
}

TEST_F(SharedRegistry, RegOpenKeyWithoutASubkeyGivesBackTheSameHandle) {
  StoreValue(kScratch, u"v", REG_SZ, TextBytes(u"1"));
  UniqueRegKey key;
  ASSERT_EQ(Open(kScratch, KEY_READ, key), ERROR_SUCCESS);
  for (const char16_t* subkey : {static_cast<const char16_t*>(nullptr), u""}) {
    HKEY same = nullptr;
    ASSERT_EQ(RegOpenKeyW(key.get(), AsWide(subkey), &same), ERROR_SUCCESS);
    EXPECT_EQ(same, key.get());
  }
}

}  // namespace
}  // namespace shared
