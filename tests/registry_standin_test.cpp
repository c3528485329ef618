#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "settings/settings_key.h"
#include "tests/test_registry.h"

namespace {

using testreg::Operation;
using testreg::Value;

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
  void SetUp() override { testreg::Reset(); }
  void TearDown() override { EXPECT_EQ(regstandin::OpenHandleCount(), 0u); }

  static HKEY Open(const char16_t* path, REGSAM access = KEY_ALL_ACCESS) {
    HKEY key = nullptr;
    EXPECT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, path, 0, access, &key), ERROR_SUCCESS);
    return key;
  }
};

// Where Windows leaves the outcome open, the stand-in takes the stricter
// reading (standin/registry_standin.h); what Windows does too is held by the
// shared suite (shared/registry_test.cpp).
TEST_F(RegistryStandin, TakesTheStricterReadingWhereWindowsVaries) {
  testreg::SetString(kSettings, u"mIsTolerance", u"12");  // six bytes with the NUL
  for (const char16_t* path : {u"\\SOFTWARE\\Denmarrow", u"SOFTWARE\\\\Denmarrow"}) {
    HKEY key = reinterpret_cast<HKEY>(1);
    EXPECT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, path, 0, KEY_READ, &key),
              regstandin::ERROR_BAD_PATHNAME);
    EXPECT_EQ(key, nullptr);
    key = reinterpret_cast<HKEY>(1);
    EXPECT_EQ(RegOpenKeyW(HKEY_CURRENT_USER, path, &key), regstandin::ERROR_BAD_PATHNAME);
    EXPECT_EQ(key, nullptr);
  }
  HKEY key = reinterpret_cast<HKEY>(1);
  EXPECT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, u"New", 1, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                            nullptr),
            regstandin::ERROR_INVALID_PARAMETER);
  EXPECT_EQ(key, nullptr);
  EXPECT_FALSE(testreg::KeyExists(u"New"));

  key = Open(kSettings);
  // A reserved argument of RegSetValueExW other than 0, which Wine ignores.
  const uint8_t data[] = {'1', 0, 0, 0};
  EXPECT_EQ(RegSetValueExW(key, u"mIsColor", 1, REG_SZ, data, sizeof data),
            regstandin::ERROR_INVALID_PARAMETER);
  EXPECT_EQ(testreg::GetValue(kSettings, u"mIsColor"), std::nullopt);
  // A short buffer is left as it was.
  std::vector<uint8_t> buffer(5, 0xCC);
  DWORD size = DWORD(buffer.size());
  EXPECT_EQ(RegQueryValueExW(key, u"mIsTolerance", nullptr, nullptr, buffer.data(), &size),
            ERROR_MORE_DATA);
  EXPECT_EQ(size, 6u);
  EXPECT_EQ(buffer, std::vector<uint8_t>(5, 0xCC));
  RegCloseKey(key);
}

// RegOpenKeyExW takes 0 or REG_OPTION_OPEN_LINK and nothing else; the log
// keeps what was asked.
TEST_F(RegistryStandin, OpenRefusesOptionsWindowsDoesNotTake) {
  testreg::CreateKey(kSettings);
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
    testreg::ClearLog();
    HKEY key = reinterpret_cast<HKEY>(1);
    EXPECT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, kSettings, options, KEY_READ, &key), expected)
        << options;
    ASSERT_EQ(testreg::Log().size(), 1u);
    EXPECT_EQ(testreg::Log()[0].options, options);
    if (expected == ERROR_SUCCESS) {
      EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
    } else {
      EXPECT_EQ(key, nullptr);
    }
  }
}

TEST_F(RegistryStandin, BadHandlesAreRefusedInEveryCall) {
  testreg::SetString(kSettings, u"mIsColor", u"1");
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
  EXPECT_EQ(testreg::GetString(kSettings, u"mIsColor"), u"1");
}

TEST_F(RegistryStandin, HandlesAreCountedUntilClosed) {
  testreg::CreateKey(kSettings);
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
  testreg::RemoveKey(u"SOFTWARE");
  DWORD size = 0;
  EXPECT_EQ(RegQueryValueExW(second, u"x", nullptr, nullptr, nullptr, &size),
            regstandin::ERROR_KEY_DELETED);
  EXPECT_EQ(regstandin::OpenHandlePaths(), (std::vector<std::u16string>{u"SOFTWARE\\Denmarrow"}));
  EXPECT_EQ(RegCloseKey(second), ERROR_SUCCESS);
  // Reset forgets leaked handles rather than carrying them into the next test.
  testreg::CreateKey(u"Leak");
  Open(u"Leak", KEY_READ);
  testreg::Reset();
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
    testreg::Reset();
    testreg::SetString(kSettings, u"Type", u"0");
    HKEY key = Open(kSettings);  // opened before the refusal takes effect
    testreg::Refuse(u"software\\denmarrow\\vek\\SORVANE", c.operation);
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
    EXPECT_EQ(testreg::GetString(kSettings, u"Type"), u"0") << call;
    RegCloseKey(key);
  }
  // A refused create does not make the missing parents either, and Allow lifts it.
  testreg::Reset();
  testreg::Refuse(kSettings, Operation::Create);
  HKEY key = nullptr;
  EXPECT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, kSettings, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                            &key, nullptr),
            ERROR_ACCESS_DENIED);
  EXPECT_FALSE(testreg::KeyExists(u"SOFTWARE"));
  testreg::Allow(kSettings, Operation::Create);
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
  using testreg::LogEntry;
  const std::vector<LogEntry> expected = {
      {"RegCreateKeyExW", u"SOFTWARE/Denmarrow", u"", std::nullopt, ERROR_SUCCESS},
      {"RegSetValueExW", u"SOFTWARE/Denmarrow", u"mIsTolerance", u"1", ERROR_SUCCESS},
      {"RegCloseKey", u"SOFTWARE/Denmarrow", u"", std::nullopt, ERROR_SUCCESS},
      {"RegCreateKeyExW", u"SOFTWARE/Denmarrow", u"", std::nullopt, ERROR_SUCCESS},
      {"RegSetValueExW", u"SOFTWARE/Denmarrow", u"mIsTolerance", u"0", ERROR_SUCCESS},
      {"RegCloseKey", u"SOFTWARE/Denmarrow", u"", std::nullopt, ERROR_SUCCESS},
      {"RegOpenKeyExW", u"SOFTWARE\\Missing", u"", std::nullopt, ERROR_FILE_NOT_FOUND},
  };
  EXPECT_EQ(testreg::Log(), expected);
  EXPECT_EQ(testreg::Describe(testreg::Log()[1]),
            "RegSetValueExW SOFTWARE/Denmarrow mIsTolerance=\"1\" -> 0");
  testreg::ClearLog();
  EXPECT_TRUE(testreg::Log().empty());
}

TEST_F(RegistryStandin, ExportsReadableRegeditText) {
  testreg::SetString(kSettings, u"mIsColor", u"1");
  testreg::SetString(kSettings, u"Path", u"C:\\a \"b\" \uD55C");
  testreg::SetString(kSettings, u"", u"default");
  testreg::SetValue(kSettings, u"Count", REG_DWORD, {0x2A, 0, 0, 0});
  testreg::SetValue(kSettings, u"Raw", REG_SZ, {'1', 0});
  testreg::SetValue(kSettings, u"Blob", REG_BINARY, std::vector<uint8_t>(30, 0xAB));
  EXPECT_TRUE(testreg::CreateKey(u"SOFTWARE\\Empty"));
  EXPECT_FALSE(testreg::CreateKey(u"software\\EMPTY"));  // the first spelling stays
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
  EXPECT_EQ(testreg::ExportRegText(), expected);
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
    testreg::Reset();
    std::string error;
    ASSERT_TRUE(testreg::ImportRegText(text, error)) << error;
    EXPECT_EQ(testreg::GetString(kSettings, u"mIsColor"), u"0");
    EXPECT_EQ(testreg::GetValue(kSettings, u""), (Value{REG_DWORD, {1, 0, 0, 0}}));
    EXPECT_EQ(testreg::GetValue(kSettings, u"wrapped"),
              (Value{regstandin::REG_QWORD, {1, 2, 3, 4, 5, 6, 7, 8}}));
    EXPECT_EQ(testreg::ValueNames(kSettings),
              (std::vector<std::u16string>{u"mIsColor", u"", u"Wrapped"}));
    EXPECT_FALSE(testreg::KeyExists(u"SOFTWARE\\Gone"));
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
    testreg::Reset();
    testreg::SetString(u"S", u"a", u"kept");
    std::string error;
    EXPECT_FALSE(testreg::ImportRegText(c.text, error, "in.reg")) << c.error;
    EXPECT_EQ(error.rfind(c.error, 0), 0u) << "got: " << error;
    EXPECT_EQ(error.find('\n'), std::string::npos) << error;
    EXPECT_EQ(testreg::GetString(u"S", u"a"), u"kept") << c.error;
    EXPECT_EQ(testreg::ValueNames(u"S").size(), 1u) << c.error;
  }
}

TEST_F(RegistryStandin, DamagedFilesNeverCrashTheImport) {
  testreg::SetString(kSettings, u"mIsColor", u"1");
  testreg::SetValue(kSettings, u"Blob", REG_BINARY, std::vector<uint8_t>(40, 0x5C));
  const std::string good = testreg::ExportRegText();
  // Every truncation and a spread of single-byte corruptions: each must end in
  // either a clean import or an error naming a line.
  for (std::size_t length = 0; length <= good.size(); ++length) {
    std::string error;
    if (!testreg::ImportRegText(good.substr(0, length), error, "t")) {
      EXPECT_EQ(error.rfind("t:", 0), 0u) << error;
    }
  }
  const char replacements[] = {'\0', '\\', '"', '[', ']', '=', ',', '\n', '\x80', '\xFF'};
  for (std::size_t at = 0; at < good.size(); at += 3) {
    for (char replacement : replacements) {
      std::string damaged = good;
      damaged[at] = replacement;
      std::string error;
      if (!testreg::ImportRegText(damaged, error, "t")) {
        EXPECT_EQ(error.rfind("t:", 0), 0u) << error;
      }
    }
  }
}

}  // namespace
