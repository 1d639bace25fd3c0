// The settings store against the real registry. HKEY_LOCAL_MACHINE is
// redirected to a scratch key of the current user for each test, so the
// tests need no administrator rights and never touch the kit's own settings.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "common/settings.h"

namespace kit {
namespace {

const char kScratch[] = "Software\\Brindlewood\\KitSettingsTest";
const char kKey[] = "Software\\Brindlewood\\DEZARED\\Config";

class RegistrySettings : public ::testing::Test {
 protected:
  HKEY scratch = nullptr;

  void SetUp() override {
    RegDeleteTreeA(HKEY_CURRENT_USER, kScratch);
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, kScratch, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &scratch,
                              nullptr),
              ERROR_SUCCESS);
    ASSERT_EQ(RegOverridePredefKey(HKEY_LOCAL_MACHINE, scratch), ERROR_SUCCESS);
  }
  void TearDown() override {
    RegOverridePredefKey(HKEY_LOCAL_MACHINE, nullptr);
    if (scratch) RegCloseKey(scratch);
    RegDeleteTreeA(HKEY_CURRENT_USER, kScratch);
    _putenv_s("KitTestSetting", "");
  }

  // Stores raw bytes under the kit's key, as another program might.
  void store(const char* name, DWORD type, const std::string& bytes) {
    HKEY key;
    ASSERT_EQ(RegCreateKeyExA(scratch, kKey, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr), ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExA(key, name, 0, type, reinterpret_cast<const BYTE*>(bytes.data()), DWORD(bytes.size())),
              ERROR_SUCCESS);
    RegCloseKey(key);
  }
  // A value as the registry holds it, read past the store's own code. The
  // wide call, since the narrow one adds a zero to a text that has none.
  std::string stored(const wchar_t* name, DWORD* type = nullptr) {
    HKEY key;
    if (RegOpenKeyExA(scratch, kKey, 0, KEY_READ, &key) != ERROR_SUCCESS) return "<no key>";
    std::wstring wide(32768, L'\0');
    DWORD size = DWORD(wide.size() * sizeof(wchar_t));
    LONG rc = RegQueryValueExW(key, name, nullptr, type, reinterpret_cast<BYTE*>(wide.data()), &size);
    RegCloseKey(key);
    if (rc != ERROR_SUCCESS) return "<missing>";
    wide.resize(size / sizeof(wchar_t));
    return std::string(wide.begin(), wide.end());  // the tests store ASCII only
  }
  static std::string withoutZero(std::string s) {
    if (!s.empty() && s.back() == '\0') s.pop_back();
    return s;
  }
  static std::string read(const char* name, int* rc = nullptr, size_t capacity = 32768) {
    std::string buf(capacity, 'x');
    int r = readSetting(name, buf.data(), capacity);
    if (rc) *rc = r;
    return r == 0 ? std::string(buf.c_str()) : "<" + std::to_string(r) + ">";
  }
};

TEST_F(RegistrySettings, WriteCreatesTheKeyAndReadsBack) {
  ASSERT_EQ(writeSetting("AdventuresPath", "C:\\Adventures", 13), 0);
  EXPECT_EQ(read("AdventuresPath"), "C:\\Adventures");
  // A string of the length given (the system may add a zero of its own);
  // the text beyond the length is not stored, whatever follows it.
  DWORD type = 0;
  EXPECT_EQ(withoutZero(stored(L"AdventuresPath", &type)), "C:\\Adventures");
  EXPECT_EQ(type, DWORD(REG_SZ));
  ASSERT_EQ(writeSetting("KilnLastLoadPath", "C:\\QuestXYZ", 8), 0);
  EXPECT_EQ(withoutZero(stored(L"KilnLastLoadPath")), "C:\\Quest");
  ASSERT_EQ(writeSetting("ChartsmithLastLoadPath", "C:\\Quest", 8), 0);
  EXPECT_EQ(stored(L"KilnLastLoadPath"), stored(L"ChartsmithLastLoadPath"));
  EXPECT_EQ(read("KilnLastLoadPath"), "C:\\Quest");
  // Writing again replaces the value; the other values stay.
  ASSERT_EQ(writeSetting("AdventuresPath", "D:\\A", 4), 0);
  EXPECT_EQ(read("AdventuresPath"), "D:\\A");
  EXPECT_EQ(read("KilnLastLoadPath"), "C:\\Quest");
}

TEST_F(RegistrySettings, ValueWithoutTerminatingZeroIsEndedInTheBuffer) {
  store("AdventuresPath", REG_SZ, "C:\\abc");  // 6 bytes, no zero
  int rc = -1;
  EXPECT_EQ(read("AdventuresPath", &rc, 7), "C:\\abc");
  EXPECT_EQ(rc, 0);
  read("AdventuresPath", &rc, 6);  // the text fits, its zero does not
  EXPECT_NE(rc, 0);
  // A value stored with its zero, as the registry tools store it, needs the
  // same room.
  store("AdventuresPath", REG_SZ, std::string("C:\\abc\0", 7));
  EXPECT_EQ(read("AdventuresPath", &rc, 7), "C:\\abc");
  read("AdventuresPath", &rc, 6);
  EXPECT_NE(rc, 0);
  // An empty value reads as an empty text.
  ASSERT_EQ(writeSetting("AdventuresPath", "", 0), 0);
  EXPECT_EQ(read("AdventuresPath", &rc, 1), "");
  EXPECT_EQ(rc, 0);
}

TEST_F(RegistrySettings, ValueTooLongForTheCapacityFails) {
  std::string longPath = "C:\\" + std::string(300, 'p');
  ASSERT_EQ(writeSetting("AdventuresPath", longPath.data(), longPath.size()), 0);
  int rc = 0;
  read("AdventuresPath", &rc, 256);
  EXPECT_EQ(rc, ERROR_MORE_DATA);
  char none[1];
  EXPECT_NE(readSetting("AdventuresPath", none, 0), 0);
  // With room for it the whole path comes back: no limit of its own.
  EXPECT_EQ(read("AdventuresPath"), longPath);
}

TEST_F(RegistrySettings, MissingKeyOrValueFails) {
  int rc = 0;
  read("AdventuresPath", &rc);
  EXPECT_EQ(rc, ERROR_FILE_NOT_FOUND);  // no key
  ASSERT_EQ(writeSetting("KilnLastLoadPath", "C:\\", 3), 0);
  read("AdventuresPath", &rc);
  EXPECT_EQ(rc, ERROR_FILE_NOT_FOUND);  // key, but no such value
}

TEST_F(RegistrySettings, LookupPrefersTheEnvironment) {
  ASSERT_EQ(writeSetting("KitTestSetting", "C:\\stored", 9), 0);
  char buf[16];
  ASSERT_EQ(lookupSetting("KitTestSetting", buf, sizeof buf), 0);
  EXPECT_STREQ(buf, "C:\\stored");
  _putenv_s("KitTestSetting", "C:\\from env");
  ASSERT_EQ(lookupSetting("KitTestSetting", buf, sizeof buf), 0);
  EXPECT_STREQ(buf, "C:\\from env");
  _putenv_s("KitTestSetting", "C:\\much too long for it");
  EXPECT_NE(lookupSetting("KitTestSetting", buf, sizeof buf), 0);
}

}  // namespace
}  // namespace kit
