#include "standin/registry_standin.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "settings/settings_key.h"

namespace {

using regstandin::Operation;
using regstandin::Value;

const std::u16string kSettingsPath = SettingsKeyPath();
const char16_t* const kSettings = kSettingsPath.c_str();
const HKEY kLocalMachine = reinterpret_cast<HKEY>(static_cast<uintptr_t>(0x80000002u));

std::vector<uint8_t> Utf16Bytes(std::u16string_view text, bool terminated = true) {
  std::vector<uint8_t> bytes;
  for (char16_t c : text) {
    bytes.push_back(uint8_t(c));
    bytes.push_back(uint8_t(c >> 8));
  }
  if (terminated) bytes.insert(bytes.end(), {0, 0});
  return bytes;
}

class RegistryStandin : public ::testing::Test {
 protected:
  void SetUp() override { regstandin::Reset(); }
  void TearDown() override { EXPECT_EQ(regstandin::OpenHandleCount(), 0u); }

  static HKEY Open(const char16_t* path, REGSAM access = KEY_ALL_ACCESS) {
    HKEY key = nullptr;
    EXPECT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, path, 0, access, &key), ERROR_SUCCESS);
    return key;
  }
};

TEST_F(RegistryStandin, OpensByCaseInsensitiveBackslashPathsOnly) {
  regstandin::SetString(kSettings, u"mIsColor", u"1");
  struct Case {
    const char16_t* path;
    LSTATUS expected;
  };
  const Case cases[] = {
      {u"SOFTWARE\\Denmarrow\\VEK\\Sorvane", ERROR_SUCCESS},
      {u"software\\DENMARROW\\vek\\sORVANE", ERROR_SUCCESS},
      {u"SOFTWARE\\Denmarrow\\VEK\\Sorvane\\", ERROR_SUCCESS},
      {u"SOFTWARE/Denmarrow/VEK/Sorvane", ERROR_FILE_NOT_FOUND},
      {u"SOFTWARE\\Denmarrow\\VEK\\Sorvane\\Missing", ERROR_FILE_NOT_FOUND},
      {u"\\SOFTWARE\\Denmarrow", regstandin::ERROR_BAD_PATHNAME},
      {u"SOFTWARE\\\\Denmarrow", regstandin::ERROR_BAD_PATHNAME},
  };
  for (const Case& c : cases) {
    for (bool legacy : {false, true}) {
      HKEY key = reinterpret_cast<HKEY>(1);
      const LSTATUS status = legacy ? RegOpenKeyW(HKEY_CURRENT_USER, c.path, &key)
                                    : RegOpenKeyExW(HKEY_CURRENT_USER, c.path, 0, KEY_READ, &key);
      EXPECT_EQ(status, c.expected) << std::u16string_view(c.path).size() << " legacy " << legacy;
      if (status == ERROR_SUCCESS) {
        EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
      } else {
        EXPECT_EQ(key, nullptr);
      }
    }
  }
}

// RegOpenKeyExW takes 0 or REG_OPTION_OPEN_LINK and nothing else; the log
// keeps what was asked.
TEST_F(RegistryStandin, OpenRefusesOptionsWindowsDoesNotTake) {
  regstandin::CreateKey(kSettings);
  const std::pair<DWORD, LSTATUS> cases[] = {
      {0, ERROR_SUCCESS},
      {regstandin::REG_OPTION_OPEN_LINK, ERROR_SUCCESS},
      {1, regstandin::ERROR_INVALID_PARAMETER},
      {2, regstandin::ERROR_INVALID_PARAMETER},
      {4, regstandin::ERROR_INVALID_PARAMETER},
      {regstandin::REG_OPTION_OPEN_LINK | 1, regstandin::ERROR_INVALID_PARAMETER},
      {0x80000000u, regstandin::ERROR_INVALID_PARAMETER},
  };
  for (const auto& [options, expected] : cases) {
    regstandin::ClearLog();
    HKEY key = reinterpret_cast<HKEY>(1);
    EXPECT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, kSettings, options, KEY_READ, &key), expected)
        << options;
    ASSERT_EQ(regstandin::Log().size(), 1u);
    EXPECT_EQ(regstandin::Log()[0].options, options);
    if (expected == ERROR_SUCCESS) {
      EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
    } else {
      EXPECT_EQ(key, nullptr);
    }
  }
}

// The reserved arguments of RegCreateKeyExW and RegSetValueExW must be 0.
TEST_F(RegistryStandin, ReservedArgumentsOtherThanZeroAreRefused) {
  const uint8_t data[] = {'1', 0, 0, 0};
  HKEY key = reinterpret_cast<HKEY>(1);
  EXPECT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, kSettings, 1, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                            &key, nullptr),
            regstandin::ERROR_INVALID_PARAMETER);
  EXPECT_EQ(key, nullptr);
  EXPECT_FALSE(regstandin::KeyExists(kSettings));

  ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, kSettings, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                            &key, nullptr),
            ERROR_SUCCESS);
  EXPECT_EQ(RegSetValueExW(key, u"mIsColor", 1, REG_SZ, data, sizeof data),
            regstandin::ERROR_INVALID_PARAMETER);
  EXPECT_EQ(regstandin::GetValue(kSettings, u"mIsColor"), std::nullopt);
  EXPECT_EQ(RegSetValueExW(key, u"mIsColor", 0, REG_SZ, data, sizeof data), ERROR_SUCCESS);
  EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
}

TEST_F(RegistryStandin, CreateMakesParentsAndKeepsTheFirstSpelling) {
  struct Case {
    const char16_t* path;
    DWORD disposition;
  };
  const Case cases[] = {
      {u"Software\\Denmarrow\\VEK\\Sorvane", REG_CREATED_NEW_KEY},
      {u"SOFTWARE\\DENMARROW\\vek\\sorvane", REG_OPENED_EXISTING_KEY},
      {u"SOFTWARE\\Denmarrow", REG_OPENED_EXISTING_KEY},
      {u"SOFTWARE\\Denmarrow\\A/B", REG_CREATED_NEW_KEY},
  };
  for (const Case& c : cases) {
    HKEY key = nullptr;
    DWORD disposition = 0;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, c.path, 0, nullptr, REG_OPTION_NON_VOLATILE,
                              KEY_ALL_ACCESS, nullptr, &key, &disposition),
              ERROR_SUCCESS);
    EXPECT_EQ(disposition, c.disposition);
    RegCloseKey(key);
  }
  EXPECT_TRUE(regstandin::KeyExists(u"software\\denmarrow\\vek"));
  EXPECT_TRUE(regstandin::KeyExists(u"Software\\Denmarrow\\A/B"));
  EXPECT_FALSE(regstandin::KeyExists(u"Software\\Denmarrow\\A"));
  const std::string text = regstandin::ExportRegText();
  EXPECT_NE(text.find("[HKEY_CURRENT_USER\\Software\\Denmarrow\\VEK\\Sorvane]"), std::string::npos);
  EXPECT_EQ(text.find("SOFTWARE"), std::string::npos);
}

TEST_F(RegistryStandin, OpensRelativeToAnOpenedKey) {
  regstandin::CreateKey(kSettings);
  HKEY vek = Open(u"Software\\Denmarrow\\VEK");
  HKEY sorvane = nullptr;
  ASSERT_EQ(RegOpenKeyExW(vek, u"sorvane", 0, KEY_ALL_ACCESS, &sorvane), ERROR_SUCCESS);
  const BYTE data[] = {'1', 0, 0, 0};
  EXPECT_EQ(RegSetValueExW(sorvane, u"mIsColor", 0, REG_SZ, data, sizeof data), ERROR_SUCCESS);
  EXPECT_EQ(regstandin::GetString(kSettings, u"MISCOLOR"), u"1");
  RegCloseKey(sorvane);
  RegCloseKey(vek);
}

TEST_F(RegistryStandin, ValuesKeepTypeAndExactBytes) {
  struct Case {
    const char16_t* name;
    DWORD type;
    std::vector<uint8_t> bytes;
  };
  const std::vector<Case> cases = {
      {u"terminated", REG_SZ, Utf16Bytes(u"1")},
      {u"unterminated", REG_SZ, Utf16Bytes(u"12", false)},
      {u"odd", REG_SZ, {'7', 0, '8'}},
      {u"embedded NUL", REG_SZ, {'a', 0, 0, 0, 'b', 0, 0, 0}},
      {u"empty", REG_SZ, {}},
      {u"binary", REG_BINARY, {0, 0xFF, 0, 0x10}},
      {u"dword", REG_DWORD, {0x78, 0x56, 0x34, 0x12}},
      {u"short dword", REG_DWORD, {1, 2, 3}},
      {u"", regstandin::REG_MULTI_SZ, {'a', 0, 0, 0, 0, 0}},
  };
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, kSettings, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                            &key, nullptr),
            ERROR_SUCCESS);
  for (const Case& c : cases) {
    ASSERT_EQ(RegSetValueExW(key, c.name, 0, c.type, c.bytes.data(), DWORD(c.bytes.size())),
              ERROR_SUCCESS);
  }
  RegCloseKey(key);

  // Through the Win32 side, then through a .reg text and back.
  for (int pass = 0; pass < 2; ++pass) {
    key = Open(kSettings, KEY_READ);
    for (const Case& c : cases) {
      std::vector<uint8_t> buffer(c.bytes.size() + 8, 0xCC);
      DWORD type = 99;
      DWORD size = DWORD(buffer.size());
      ASSERT_EQ(RegQueryValueExW(key, c.name, nullptr, &type, buffer.data(), &size), ERROR_SUCCESS);
      EXPECT_EQ(type, c.type) << "pass " << pass;
      buffer.resize(size);
      EXPECT_EQ(buffer, c.bytes) << "pass " << pass;
    }
    RegCloseKey(key);
    const std::string text = regstandin::ExportRegText();
    regstandin::Reset();
    std::string error;
    ASSERT_TRUE(regstandin::ImportRegText(text, error)) << error << "\n" << text;
  }
}

TEST_F(RegistryStandin, QueryReportsSizesAndRefusesShortBuffers) {
  regstandin::SetString(kSettings, u"mIsTolerance", u"12");  // six bytes with the NUL
  HKEY key = Open(kSettings, KEY_READ);
  struct Case {
    bool withData;
    DWORD offered;
    LSTATUS expected;
    bool copied;
  };
  const Case cases[] = {
      {false, 0, ERROR_SUCCESS, false},  {true, 6, ERROR_SUCCESS, true},
      {true, 255, ERROR_SUCCESS, true},  {true, 5, ERROR_MORE_DATA, false},
      {true, 0, ERROR_MORE_DATA, false},
  };
  for (const Case& c : cases) {
    // Never an empty vector: its data() could be null, which means "size only".
    std::vector<uint8_t> buffer(std::max<DWORD>(c.offered, 1), 0xCC);
    DWORD size = c.offered;
    DWORD type = 99;
    EXPECT_EQ(RegQueryValueExW(key, u"MISTOLERANCE", nullptr, &type,
                               c.withData ? buffer.data() : nullptr, &size),
              c.expected);
    EXPECT_EQ(size, 6u);
    EXPECT_EQ(type, REG_SZ);
    const bool untouched =
        std::all_of(buffer.begin(), buffer.end(), [](uint8_t b) { return b == 0xCC; });
    EXPECT_EQ(untouched, !c.copied);
  }
  // The type is optional; a data buffer without a size is not.
  DWORD size = 0;
  EXPECT_EQ(RegQueryValueExW(key, u"mIsTolerance", nullptr, nullptr, nullptr, &size),
            ERROR_SUCCESS);
  BYTE data[8];
  EXPECT_EQ(RegQueryValueExW(key, u"mIsTolerance", nullptr, nullptr, data, nullptr),
            regstandin::ERROR_INVALID_PARAMETER);
  RegCloseKey(key);
}

TEST_F(RegistryStandin, MissingThingsAreFileNotFound) {
  regstandin::CreateKey(kSettings);
  HKEY key = Open(kSettings);
  DWORD size = 0;
  EXPECT_EQ(RegQueryValueExW(key, u"Type", nullptr, nullptr, nullptr, &size), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(RegDeleteValueW(key, u"Type"), ERROR_FILE_NOT_FOUND);
  RegCloseKey(key);
  HKEY missing = nullptr;
  EXPECT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, u"SOFTWARE\\Nobody", 0, KEY_READ, &missing),
            ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(RegOpenKeyW(HKEY_CURRENT_USER, u"SOFTWARE\\Nobody", &missing), ERROR_FILE_NOT_FOUND);
  EXPECT_FALSE(regstandin::KeyExists(u"SOFTWARE\\Nobody"));
}

TEST_F(RegistryStandin, AccessMaskOfTheHandleGovernsValueCalls) {
  regstandin::SetString(kSettings, u"Type", u"1");
  const BYTE data[] = {'0', 0, 0, 0};
  struct Case {
    REGSAM access;
    LSTATUS query, set, remove;
  };
  const Case cases[] = {
      {KEY_READ, ERROR_SUCCESS, ERROR_ACCESS_DENIED, ERROR_ACCESS_DENIED},
      {regstandin::KEY_SET_VALUE, ERROR_ACCESS_DENIED, ERROR_SUCCESS, ERROR_SUCCESS},
      {KEY_ALL_ACCESS, ERROR_SUCCESS, ERROR_SUCCESS, ERROR_SUCCESS},
      {0x80000000u /* GENERIC_READ */, ERROR_SUCCESS, ERROR_ACCESS_DENIED, ERROR_ACCESS_DENIED},
  };
  for (const Case& c : cases) {
    regstandin::SetString(kSettings, u"Type", u"1");
    HKEY key = Open(kSettings, c.access);
    DWORD size = 0;
    EXPECT_EQ(RegQueryValueExW(key, u"Type", nullptr, nullptr, nullptr, &size), c.query);
    EXPECT_EQ(RegSetValueExW(key, u"Type", 0, REG_SZ, data, sizeof data), c.set);
    EXPECT_EQ(RegDeleteValueW(key, u"Type"), c.remove);
    EXPECT_EQ(regstandin::GetValue(kSettings, u"Type").has_value(), c.remove != ERROR_SUCCESS);
    RegCloseKey(key);
  }
  // RegOpenKeyW opens for everything.
  HKEY key = nullptr;
  ASSERT_EQ(RegOpenKeyW(HKEY_CURRENT_USER, kSettings, &key), ERROR_SUCCESS);
  EXPECT_EQ(RegSetValueExW(key, u"Type", 0, REG_SZ, data, sizeof data), ERROR_SUCCESS);
  EXPECT_EQ(RegDeleteValueW(key, u"Type"), ERROR_SUCCESS);
  RegCloseKey(key);
}

TEST_F(RegistryStandin, BadHandlesAreRefusedInEveryCall) {
  regstandin::SetString(kSettings, u"mIsColor", u"1");
  HKEY closed = Open(kSettings);
  ASSERT_EQ(RegCloseKey(closed), ERROR_SUCCESS);
  int dummy = 0;
  const HKEY bogus = reinterpret_cast<HKEY>(&dummy);
  const BYTE data[] = {'1', 0, 0, 0};
  for (HKEY bad : {closed, bogus, HKEY(nullptr), kLocalMachine}) {
    HKEY out = nullptr;
    DWORD size = 0;
    EXPECT_EQ(RegOpenKeyExW(bad, u"x", 0, KEY_READ, &out), ERROR_INVALID_HANDLE);
    EXPECT_EQ(RegOpenKeyW(bad, u"", &out), ERROR_INVALID_HANDLE);
    EXPECT_EQ(RegCreateKeyExW(bad, u"x", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &out, nullptr),
              ERROR_INVALID_HANDLE);
    EXPECT_EQ(RegQueryValueExW(bad, u"mIsColor", nullptr, nullptr, nullptr, &size),
              ERROR_INVALID_HANDLE);
    EXPECT_EQ(RegSetValueExW(bad, u"mIsColor", 0, REG_SZ, data, sizeof data), ERROR_INVALID_HANDLE);
    EXPECT_EQ(RegDeleteValueW(bad, u"mIsColor"), ERROR_INVALID_HANDLE);
    EXPECT_EQ(RegCloseKey(bad), ERROR_INVALID_HANDLE);
    EXPECT_EQ(out, nullptr);
  }
  EXPECT_EQ(regstandin::GetString(kSettings, u"mIsColor"), u"1");
}

TEST_F(RegistryStandin, HandlesAreCountedUntilClosed) {
  regstandin::CreateKey(kSettings);
  HKEY first = Open(kSettings);
  HKEY second = Open(u"SOFTWARE\\Denmarrow");
  EXPECT_NE(first, second);
  EXPECT_EQ(regstandin::OpenHandlePaths(),
            (std::vector<std::u16string>{kSettings, u"SOFTWARE\\Denmarrow"}));
  // An empty subkey hands back the same handle without opening anything.
  HKEY same = nullptr;
  ASSERT_EQ(RegOpenKeyW(first, nullptr, &same), ERROR_SUCCESS);
  EXPECT_EQ(same, first);
  EXPECT_EQ(regstandin::OpenHandleCount(), 2u);
  EXPECT_EQ(RegCloseKey(first), ERROR_SUCCESS);
  EXPECT_EQ(RegCloseKey(same), ERROR_INVALID_HANDLE);
  EXPECT_EQ(regstandin::OpenHandleCount(), 1u);
  // A key removed under an open handle answers as Windows does, and the handle
  // can still be closed.
  regstandin::RemoveKey(u"SOFTWARE");
  DWORD size = 0;
  EXPECT_EQ(RegQueryValueExW(second, u"x", nullptr, nullptr, nullptr, &size),
            regstandin::ERROR_KEY_DELETED);
  EXPECT_EQ(regstandin::OpenHandlePaths(), (std::vector<std::u16string>{u"SOFTWARE\\Denmarrow"}));
  EXPECT_EQ(RegCloseKey(second), ERROR_SUCCESS);
  // Reset forgets leaked handles rather than carrying them into the next test.
  regstandin::CreateKey(u"Leak");
  Open(u"Leak", KEY_READ);
  regstandin::Reset();
  EXPECT_EQ(regstandin::OpenHandleCount(), 0u);
}

TEST_F(RegistryStandin, RefusalsFailTheirOperationAndChangeNothing) {
  const BYTE one[] = {'1', 0, 0, 0};
  struct Case {
    Operation operation;
    const char* call;
  };
  const Case cases[] = {{Operation::Open, "open"},   {Operation::Open, "open legacy"},
                        {Operation::Query, "query"}, {Operation::Create, "create"},
                        {Operation::Set, "set"},     {Operation::Delete, "delete"}};
  for (const Case& c : cases) {
    regstandin::Reset();
    regstandin::SetString(kSettings, u"Type", u"0");
    HKEY key = Open(kSettings);  // opened before the refusal takes effect
    regstandin::Refuse(u"software\\denmarrow\\vek\\SORVANE", c.operation);
    HKEY other = nullptr;
    DWORD size = 0;
    const std::string call = c.call;
    LSTATUS status = ERROR_SUCCESS;
    if (call == "open") {
      status = RegOpenKeyExW(HKEY_CURRENT_USER, kSettings, 0, KEY_READ, &other);
    } else if (call == "open legacy") {
      status = RegOpenKeyW(HKEY_CURRENT_USER, kSettings, &other);
    } else if (call == "query") {
      status = RegQueryValueExW(key, u"Type", nullptr, nullptr, nullptr, &size);
    } else if (call == "create") {
      status = RegCreateKeyExW(HKEY_CURRENT_USER, kSettings, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                               &other, nullptr);
    } else if (call == "set") {
      status = RegSetValueExW(key, u"Type", 0, REG_SZ, one, sizeof one);
    } else {
      status = RegDeleteValueW(key, u"Type");
    }
    EXPECT_EQ(status, ERROR_ACCESS_DENIED) << call;
    EXPECT_EQ(other, nullptr) << call;
    EXPECT_EQ(regstandin::GetString(kSettings, u"Type"), u"0") << call;
    RegCloseKey(key);
  }
  // A refused create does not make the missing parents either, and Allow lifts it.
  regstandin::Reset();
  regstandin::Refuse(kSettings, Operation::Create);
  HKEY key = nullptr;
  EXPECT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, kSettings, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                            &key, nullptr),
            ERROR_ACCESS_DENIED);
  EXPECT_FALSE(regstandin::KeyExists(u"SOFTWARE"));
  regstandin::Allow(kSettings, Operation::Create);
  EXPECT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, kSettings, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                            &key, nullptr),
            ERROR_SUCCESS);
  RegCloseKey(key);
}

TEST_F(RegistryStandin, LogRecordsEachCallInOrder) {
  for (const char16_t* text : {u"1", u"0"}) {
    HKEY key = nullptr;
    RegCreateKeyExW(HKEY_CURRENT_USER, u"SOFTWARE/Denmarrow", 0, nullptr, 0, KEY_ALL_ACCESS,
                    nullptr, &key, nullptr);
    const auto bytes = Utf16Bytes(text);
    RegSetValueExW(key, u"mIsTolerance", 0, REG_SZ, bytes.data(), DWORD(bytes.size()));
    RegCloseKey(key);
  }
  HKEY key = nullptr;
  RegOpenKeyExW(HKEY_CURRENT_USER, u"SOFTWARE\\Missing", 0, KEY_READ, &key);
  using regstandin::LogEntry;
  const std::vector<LogEntry> expected = {
      {"RegCreateKeyExW", u"SOFTWARE/Denmarrow", u"", std::nullopt, ERROR_SUCCESS},
      {"RegSetValueExW", u"SOFTWARE/Denmarrow", u"mIsTolerance", u"1", ERROR_SUCCESS},
      {"RegCloseKey", u"SOFTWARE/Denmarrow", u"", std::nullopt, ERROR_SUCCESS},
      {"RegCreateKeyExW", u"SOFTWARE/Denmarrow", u"", std::nullopt, ERROR_SUCCESS},
      {"RegSetValueExW", u"SOFTWARE/Denmarrow", u"mIsTolerance", u"0", ERROR_SUCCESS},
      {"RegCloseKey", u"SOFTWARE/Denmarrow", u"", std::nullopt, ERROR_SUCCESS},
      {"RegOpenKeyExW", u"SOFTWARE\\Missing", u"", std::nullopt, ERROR_FILE_NOT_FOUND},
  };
  EXPECT_EQ(regstandin::Log(), expected);
  EXPECT_EQ(regstandin::Describe(regstandin::Log()[1]),
            "RegSetValueExW SOFTWARE/Denmarrow mIsTolerance=\"1\" -> 0");
  regstandin::ClearLog();
  EXPECT_TRUE(regstandin::Log().empty());
}

TEST_F(RegistryStandin, ExportsReadableRegeditText) {
  regstandin::SetString(kSettings, u"mIsColor", u"1");
  regstandin::SetString(kSettings, u"Path", u"C:\\a \"b\" \uD55C");
  regstandin::SetString(kSettings, u"", u"default");
  regstandin::SetValue(kSettings, u"Count", REG_DWORD, {0x2A, 0, 0, 0});
  regstandin::SetValue(kSettings, u"Raw", REG_SZ, {'1', 0});
  regstandin::SetValue(kSettings, u"Blob", REG_BINARY, std::vector<uint8_t>(30, 0xAB));
  regstandin::CreateKey(u"SOFTWARE\\Empty");
  const std::string expected =
      "Windows Registry Editor Version 5.00\r\n\r\n"
      "[HKEY_CURRENT_USER\\SOFTWARE]\r\n\r\n"
      "[HKEY_CURRENT_USER\\SOFTWARE\\Denmarrow]\r\n\r\n"
      "[HKEY_CURRENT_USER\\SOFTWARE\\Denmarrow\\VEK]\r\n\r\n"
      "[HKEY_CURRENT_USER\\SOFTWARE\\Denmarrow\\VEK\\Sorvane]\r\n"
      "\"mIsColor\"=\"1\"\r\n"
      "\"Path\"=\"C:\\\\a \\\"b\\\" \xED\x95\x9C\"\r\n"
      "@=\"default\"\r\n"
      "\"Count\"=dword:0000002a\r\n"
      "\"Raw\"=hex(1):31,00\r\n"
      "\"Blob\"=hex:ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,\\\r\n"
      "  ab,ab,ab,ab,ab,ab,ab,ab\r\n\r\n"
      "[HKEY_CURRENT_USER\\SOFTWARE\\Empty]\r\n\r\n";
  EXPECT_EQ(regstandin::ExportRegText(), expected);
}

TEST_F(RegistryStandin, ImportsRegeditTextInBothEncodings) {
  const std::string utf8 =
      "\xEF\xBB\xBFWindows Registry Editor Version 5.00\n"
      "\n"
      "; a comment\n"
      "[HKEY_CURRENT_USER\\SOFTWARE\\Gone]\n"
      "\"x\"=\"y\"\n"
      "[-HKEY_CURRENT_USER\\SOFTWARE\\Gone]\n"
      "[hkey_current_user\\SOFTWARE\\Denmarrow\\VEK\\Sorvane]\n"
      "\"mIsColor\" = \"0\"\n"
      "\"Type\"=\"1\"\n"
      "\"Type\"=-\n"
      "@=dword:1\n"
      "\"Wrapped\"=hex(b):01,02,\\\n"
      "    03,04,05,06,07,08\n";
  std::u16string wide =
      u"Windows Registry Editor Version 5.00\r\n\r\n"
      u"[HKEY_CURRENT_USER\\SOFTWARE\\Denmarrow\\VEK\\Sorvane]\r\n"
      u"\"mIsColor\"=\"0\"\r\n@=dword:00000001\r\n"
      u"\"Wrapped\"=hex(b):01,02,03,04,05,06,07,08\r\n";
  std::string utf16le = "\xFF\xFE";
  for (char16_t c : wide) utf16le += {char(c & 0xFF), char(c >> 8)};

  for (const std::string& text : {utf8, utf16le}) {
    regstandin::Reset();
    std::string error;
    ASSERT_TRUE(regstandin::ImportRegText(text, error)) << error;
    EXPECT_EQ(regstandin::GetString(kSettings, u"mIsColor"), u"0");
    EXPECT_EQ(regstandin::GetValue(kSettings, u""), (Value{REG_DWORD, {1, 0, 0, 0}}));
    EXPECT_EQ(regstandin::GetValue(kSettings, u"wrapped"),
              (Value{regstandin::REG_QWORD, {1, 2, 3, 4, 5, 6, 7, 8}}));
    EXPECT_EQ(regstandin::ValueNames(kSettings),
              (std::vector<std::u16string>{u"mIsColor", u"", u"Wrapped"}));
    EXPECT_FALSE(regstandin::KeyExists(u"SOFTWARE\\Gone"));
  }
}

TEST_F(RegistryStandin, BadTextIsOneClearErrorAndChangesNothing) {
  const std::string header = "Windows Registry Editor Version 5.00\r\n";
  const std::string section = header + "[HKEY_CURRENT_USER\\S]\r\n";
  struct Case {
    std::string text;
    std::string error;
  };
  const std::vector<Case> cases = {
      {"", "in.reg:1: the text is empty"},
      {"REGEDIT4\r\n", "in.reg:1: REGEDIT4 files are not supported"},
      {"\r\nWindows Registry Editor 5\r\n", "in.reg:2: expected the header"},
      {header + "\"a\"=\"b\"\r\n", "in.reg:2: value outside a [key] section"},
      {header + "[HKEY_LOCAL_MACHINE\\S]\r\n", "in.reg:2: only HKEY_CURRENT_USER is supported"},
      {header + "[HKEY_CURRENT_USERS\\S]\r\n", "in.reg:2: a section must name a key under"},
      {header + "[HKEY_CURRENT_USER\\S\r\n", "in.reg:2: section without a closing"},
      {header + "[HKEY_CURRENT_USER\\S\\\\T]\r\n", "in.reg:2: empty key name"},
      {header + "[-HKEY_CURRENT_USER]\r\n", "in.reg:2: HKEY_CURRENT_USER itself cannot be removed"},
      {section + "\"a\"=\"b\r\n", "in.reg:3: unterminated quoted string"},
      {section + "\"a=\"b\"\r\n", "in.reg:3: expected '=' after the value name"},
      {section + "\"a\"=\"b\\n\"\r\n", "in.reg:3: bad escape in the quoted string"},
      {section + "\"a\"=\"b\" x\r\n", "in.reg:3: text after the closing"},
      {section + "\"a\"=hex:0g\r\n", "in.reg:3: bad hex data"},
      {section + "\"a\"=hex:123\r\n", "in.reg:3: bad hex data"},
      {section + "\"a\"=hex:01,\r\n", "in.reg:3: bad hex data"},
      {section + "\"a\"=hex(xyz):01\r\n", "in.reg:3: hex(N): needs a type"},
      {section + "\"a\"=hex(1:01\r\n", "in.reg:3: hex(N): needs a type"},
      {section + "\"a\"=dword:123456789\r\n", "in.reg:3: dword: needs one to eight hex digits"},
      {section + "\"a\"=dword:\r\n", "in.reg:3: dword: needs one to eight hex digits"},
      {section + "\"a\"=word:1\r\n", "in.reg:3: expected \"text\", dword:"},
      {section + "\"a\"=hex:01,\\\r\n", "in.reg:3: the value continues"},
      {section + "\"a\"=hex:01,\\\r\n\r\n", "in.reg:3: bad hex data"},
      {section + "junk\r\n", "in.reg:3: expected a [key] section"},
      {section + "\"\xC3\x28\"=\"b\"\r\n", "in.reg:3: invalid UTF-8"},
      {section + "\"\xE2\x82", "in.reg:3: truncated UTF-8"},
      {section + "\"\xE0\x80\xAF\"=\"b\"", "in.reg:3: invalid UTF-8"},
      {section + "\"a\"=\"" + std::string(1, '\0') + "\"", "in.reg:3: NUL character"},
      {section + "\"a\"=hex:" + std::string(5u << 20, '0'), "in.reg:3: line longer than"},
      {"\xFE\xFF", "in.reg:1: UTF-16 big-endian"},
      {"\xFF\xFEW", "in.reg:1: UTF-16LE text with an odd number of bytes"},
  };
  for (const Case& c : cases) {
    regstandin::Reset();
    regstandin::SetString(u"S", u"a", u"kept");
    std::string error;
    EXPECT_FALSE(regstandin::ImportRegText(c.text, error, "in.reg")) << c.error;
    EXPECT_EQ(error.rfind(c.error, 0), 0u) << "got: " << error;
    EXPECT_EQ(error.find('\n'), std::string::npos) << error;
    EXPECT_EQ(regstandin::GetString(u"S", u"a"), u"kept") << c.error;
    EXPECT_EQ(regstandin::ValueNames(u"S").size(), 1u) << c.error;
  }
}

TEST_F(RegistryStandin, DamagedFilesNeverCrashTheImport) {
  regstandin::SetString(kSettings, u"mIsColor", u"1");
  regstandin::SetValue(kSettings, u"Blob", REG_BINARY, std::vector<uint8_t>(40, 0x5C));
  const std::string good = regstandin::ExportRegText();
  // Every truncation and a spread of single-byte corruptions: each must end in
  // either a clean import or an error naming a line.
  for (std::size_t length = 0; length <= good.size(); ++length) {
    std::string error;
    if (!regstandin::ImportRegText(good.substr(0, length), error, "t")) {
      EXPECT_EQ(error.rfind("t:", 0), 0u) << error;
    }
  }
  const char replacements[] = {'\0', '\\', '"', '[', ']', '=', ',', '\n', '\x80', '\xFF'};
  for (std::size_t at = 0; at < good.size(); at += 3) {
    for (char replacement : replacements) {
      std::string damaged = good;
      damaged[at] = replacement;
      std::string error;
      if (!regstandin::ImportRegText(damaged, error, "t")) {
        EXPECT_EQ(error.rfind("t:", 0), 0u) << error;
      }
    }
  }
}

TEST_F(RegistryStandin, SavesAndLoadsFiles) {
  std::string pattern =
      (std::filesystem::temp_directory_path() / "registry_standin_XXXXXX").string();
  ASSERT_NE(mkdtemp(pattern.data()), nullptr);
  const std::filesystem::path directory = pattern;
  const std::string file = (directory / "user.reg").string();
  regstandin::SetString(kSettings, u"mIsLayer", u"0");
  std::string error;
  ASSERT_TRUE(regstandin::SaveToFile(file, error)) << error;
  regstandin::Reset();
  ASSERT_TRUE(regstandin::LoadFromFile(file, error)) << error;
  EXPECT_EQ(regstandin::GetString(kSettings, u"mIsLayer"), u"0");

  const std::string missing = (directory / "missing.reg").string();
  EXPECT_FALSE(regstandin::LoadFromFile(missing, error));
  EXPECT_EQ(error.rfind(missing + ": cannot be read", 0), 0u) << error;

  std::ofstream(file, std::ios::binary) << "Windows Registry Editor Version 5.00\n[oops\n";
  EXPECT_FALSE(regstandin::LoadFromFile(file, error));
  EXPECT_EQ(error, file + ":2: section without a closing \"]\"");
  std::filesystem::remove_all(directory);
}

}  // namespace
