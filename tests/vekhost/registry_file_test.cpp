// vekhost's registry kept in a file that other processes read and write
// too: what reaches the file, when, and what a bad file or a failed write
// leaves behind.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "settings/settings_key.h"
#include "standin/registry_standin.h"
#include "vekhost_registry_file.h"

namespace {

namespace fs = std::filesystem;

const std::u16string kSettingsPath = SettingsKeyPath();
const char16_t* const kSettings = kSettingsPath.c_str();
constexpr LSTATUS kRegistryCorrupt = 1015;
constexpr LSTATUS kRegistryIoFailed = 1016;

std::string ReadText(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteText(const fs::path& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

// What another process would leave in the file: the settings key with one value.
std::string FileWith(const std::string& name, const std::string& text) {
  return "Windows Registry Editor Version 5.00\r\n\r\n"
         "[HKEY_CURRENT_USER\\SOFTWARE\\Denmarrow\\VEK\\Sorvane]\r\n\"" +
         name + "\"=\"" + text + "\"\r\n\r\n";
}

class RegistryFile : public ::testing::Test {
 protected:
  void SetUp() override {
    regstandin::Reset();
    folder_ = fs::temp_directory_path() /
              ("sorvane-registry-file-" + std::to_string(::getpid()) + "-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(folder_);
    fs::create_directories(folder_);
    file_ = folder_ / "registry.reg";
  }
  void TearDown() override {
    regstandin::Reset();
    fs::remove_all(folder_);
  }

  void Attach(const fs::path& path) {
    std::string error;
    ASSERT_TRUE(vekhost::registryfile::Attach(path.string(), error)) << error;
  }

  static LSTATUS Set(const char16_t* name, std::u16string_view text) {
    HKEY key = nullptr;
    LSTATUS status = RegCreateKeyExW(HKEY_CURRENT_USER, kSettings, 0, nullptr, 0, KEY_ALL_ACCESS,
                                     nullptr, &key, nullptr);
    if (status != ERROR_SUCCESS) return status;
    std::u16string data(text);
    status = RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(data.c_str()),
                            DWORD((data.size() + 1) * 2));
    RegCloseKey(key);
    return status;
  }

  static std::u16string Query(const char16_t* name) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, kSettings, 0, KEY_READ, &key) != ERROR_SUCCESS) {
      return u"(no key)";
    }
    char16_t buffer[64] = {};
    DWORD size = sizeof buffer - 2;
    const LSTATUS status =
        RegQueryValueExW(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(buffer), &size);
    RegCloseKey(key);
    return status == ERROR_SUCCESS ? std::u16string(buffer) : u"(unreadable)";
  }

  std::size_t FilesInFolder() const {
    return std::size_t(std::distance(fs::directory_iterator(folder_), fs::directory_iterator()));
  }

  fs::path folder_;
  fs::path file_;
};

TEST_F(RegistryFile, EveryWriteReachesTheFileBeforeTheCallReturns) {
  Attach(file_);
  EXPECT_FALSE(fs::exists(file_)) << "attaching alone writes nothing";
  ASSERT_EQ(Set(u"mIsColor", u"0"), ERROR_SUCCESS);
  EXPECT_NE(ReadText(file_).find("\"mIsColor\"=\"0\""), std::string::npos) << ReadText(file_);

  HKEY key = nullptr;
  ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, kSettings, 0, KEY_ALL_ACCESS, &key), ERROR_SUCCESS);
  ASSERT_EQ(RegDeleteValueW(key, u"mIsColor"), ERROR_SUCCESS);
  RegCloseKey(key);
  EXPECT_EQ(ReadText(file_).find("mIsColor"), std::string::npos) << ReadText(file_);
}

TEST_F(RegistryFile, ReadsSeeWhatAnotherProcessWrote) {
  WriteText(file_, FileWith("mIsColor", "1"));
  Attach(file_);
  EXPECT_EQ(Query(u"mIsColor"), u"1");
  WriteText(file_, FileWith("mIsColor", "0"));
  EXPECT_EQ(Query(u"mIsColor"), u"0");
}

TEST_F(RegistryFile, AWriteKeepsWhatAnotherProcessWroteMeanwhile) {
  Attach(file_);
  ASSERT_EQ(Set(u"mIsColor", u"1"), ERROR_SUCCESS);
  // The other process replaces the file with its own value added.
  WriteText(file_, ReadText(file_) + "[HKEY_CURRENT_USER\\SOFTWARE\\Other]\r\n\"x\"=\"y\"\r\n\r\n");
  ASSERT_EQ(Set(u"mIsLType", u"0"), ERROR_SUCCESS);
  const std::string text = ReadText(file_);
  EXPECT_NE(text.find("\"mIsColor\"=\"1\""), std::string::npos) << text;
  EXPECT_NE(text.find("\"mIsLType\"=\"0\""), std::string::npos) << text;
  EXPECT_NE(text.find("[HKEY_CURRENT_USER\\SOFTWARE\\Other]"), std::string::npos) << text;
}

TEST_F(RegistryFile, AHandleToAKeyAnotherProcessRemovedAnswersKeyDeleted) {
  WriteText(file_, FileWith("mIsColor", "1"));
  Attach(file_);
  HKEY key = nullptr;
  ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, kSettings, 0, KEY_ALL_ACCESS, &key), ERROR_SUCCESS);
  WriteText(file_, "Windows Registry Editor Version 5.00\r\n\r\n");
  DWORD size = 0;
  EXPECT_EQ(RegQueryValueExW(key, u"mIsColor", nullptr, nullptr, nullptr, &size),
            regstandin::ERROR_KEY_DELETED);
  EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
}

TEST_F(RegistryFile, AFileThatCannotBeParsedIsLeftByteForByte) {
  const std::string good = FileWith("mIsColor", "1");
  const std::string bad = "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\X\r\n";
  WriteText(file_, bad);
  std::string error;
  EXPECT_FALSE(vekhost::registryfile::Attach(file_.string(), error));
  EXPECT_EQ(error.rfind(file_.string() + ":3: ", 0), 0u) << error;
  EXPECT_EQ(ReadText(file_), bad);

  // Spoilt while attached: the calls fail, the file stays as it is, and the
  // end of the session reports it.
  WriteText(file_, good);
  Attach(file_);
  WriteText(file_, bad);
  EXPECT_EQ(Set(u"mIsColor", u"0"), kRegistryCorrupt);
  EXPECT_EQ(ReadText(file_), bad);
  EXPECT_FALSE(vekhost::registryfile::Finish(error));
  EXPECT_EQ(error.rfind(file_.string() + ":3: ", 0), 0u) << error;
  EXPECT_EQ(ReadText(file_), bad);
}

TEST_F(RegistryFile, ASymbolicLinkIsWrittenThroughToItsTarget) {
  const fs::path target = folder_ / "target.reg";
  WriteText(target, FileWith("mIsColor", "1"));
  fs::create_symlink("target.reg", file_);
  Attach(file_);
  ASSERT_EQ(Set(u"mIsColor", u"0"), ERROR_SUCCESS);
  EXPECT_TRUE(fs::is_symlink(file_));
  EXPECT_NE(ReadText(target).find("\"mIsColor\"=\"0\""), std::string::npos) << ReadText(target);
}

TEST_F(RegistryFile, TheFileKeepsItsPermissions) {
  WriteText(file_, FileWith("mIsColor", "1"));
  fs::permissions(file_, fs::perms::owner_read | fs::perms::owner_write);
  Attach(file_);
  ASSERT_EQ(Set(u"mIsColor", u"0"), ERROR_SUCCESS);
  EXPECT_EQ(fs::status(file_).permissions(), fs::perms::owner_read | fs::perms::owner_write);
}

// A full disk, as far as the writer can tell: the file size limit makes the
// write fail with EFBIG once the temporary file is created.
TEST_F(RegistryFile, AFailedWriteLeavesTheFileAndNoTemporaryBehind) {
  const std::string before = FileWith("mIsColor", "1");
  WriteText(file_, before);
  Attach(file_);
  rlimit saved{};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
  rlimit tiny = saved;
  tiny.rlim_cur = 16;
  const sighandler_t previous = signal(SIGXFSZ, SIG_IGN);
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &tiny), 0);
  const LSTATUS status = Set(u"mIsColor", u"0");
  setrlimit(RLIMIT_FSIZE, &saved);
  (void)signal(SIGXFSZ, previous);

  EXPECT_EQ(status, kRegistryIoFailed);
  EXPECT_EQ(ReadText(file_), before);
  EXPECT_EQ(FilesInFolder(), 1u) << "a temporary file was left behind";
  EXPECT_EQ(Query(u"mIsColor"), u"1") << "what did not reach the file did not happen";
  std::string error;
  EXPECT_FALSE(vekhost::registryfile::Finish(error));
  EXPECT_NE(error.find(file_.string() + ": cannot be written: "), std::string::npos) << error;
}

TEST_F(RegistryFile, AFileNothingWroteIsCreatedAtTheEnd) {
  const fs::path nested = folder_ / "new" / "registry.reg";
  Attach(nested);
  std::string error;
  ASSERT_TRUE(vekhost::registryfile::Finish(error)) << error;
  EXPECT_EQ(ReadText(nested).rfind("Windows Registry Editor Version 5.00", 0), 0u);
}

}  // namespace
