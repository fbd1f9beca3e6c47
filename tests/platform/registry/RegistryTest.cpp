#include "platform/registry/cRegistry.h"

#include "platform/fs/Paths.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace {

// Points the user and system configuration folders at a temporary folder.
class RegistryTest : public ::testing::Test {
protected:
    testsupport::TempDir dir;
    std::string oldHome, oldDirs;

    void SetUp() override {
        if (const char* v = std::getenv("XDG_CONFIG_HOME")) oldHome = v;
        if (const char* v = std::getenv("XDG_CONFIG_DIRS")) oldDirs = v;
        ::setenv("XDG_CONFIG_HOME", dir.file("user").c_str(), 1);
        ::setenv("XDG_CONFIG_DIRS", (dir.file("system") + ":/etc/xdg").c_str(), 1);
    }
    void TearDown() override {
        restore("XDG_CONFIG_HOME", oldHome);
        restore("XDG_CONFIG_DIRS", oldDirs);
    }
    static void restore(const char* name, const std::string& v) {
        if (v.empty()) ::unsetenv(name);
        else ::setenv(name, v.c_str(), 1);
    }
    void writeHive(const std::string& folder, const std::string& ini) {
        files::createFolders(dir.file(folder + "/Torvik"));
        ASSERT_TRUE(files::writeTextFile(dir.file(folder + "/Torvik/registry.ini"), ini));
    }
    static cRegistry at(std::uint32_t root, const std::string& key, const std::string& value) {
        cRegistry r;
        r.RegistryKey(root);
        r.RegistrySubKey(key);
        r.RegistryValueName(value);
        return r;
    }
};

TEST_F(RegistryTest, ReadsValuesTrimmedAndWithoutRegardToCase) {
    writeHive("user",
              "[Software/Torvik/Dalvane%204.5/Enterprise]\n"
              "HelpLocation=\"  /opt/help/index.html   \"\n"
              "Version=\"6.0.2900, SP2\"\n");
    cRegistry r = at(HKEY_CURRENT_USER, "Software\\Torvik\\Dalvane 4.5\\Enterprise", "HelpLocation");
    EXPECT_EQ(r.GetRegistryValue(), "/opt/help/index.html");
    EXPECT_EQ(r.RegistryValueData(), "/opt/help/index.html");
    EXPECT_EQ(r.GetRegistryValueLength(), static_cast<long>(std::string("  /opt/help/index.html   ").size() + 1));

    cRegistry upper = at(HKEY_CURRENT_USER, "SOFTWARE\\TORVIK\\dalvane 4.5\\enterprise", "helplocation");
    EXPECT_EQ(upper.GetRegistryValue(), "/opt/help/index.html");

    cRegistry comma = at(HKEY_CURRENT_USER, "Software\\Torvik\\Dalvane 4.5\\Enterprise", "Version");
    EXPECT_EQ(comma.GetRegistryValue(), "6.0.2900, SP2");
}

TEST_F(RegistryTest, MissingKeysValuesAndRootsGiveEmptyText) {
    writeHive("user", "[Software/Torvik]\nName=x\n");
    EXPECT_EQ(at(HKEY_CURRENT_USER, "Software\\Torvik", "Missing").GetRegistryValue(), "");
    EXPECT_EQ(at(HKEY_CURRENT_USER, "Software\\Nobody", "Name").GetRegistryValue(), "");
    EXPECT_EQ(at(HKEY_LOCAL_MACHINE, "Software\\Torvik", "Name").GetRegistryValue(), "");
    EXPECT_EQ(at(HKEY_CLASSES_ROOT, "Software\\Torvik", "Name").GetRegistryValue(), "");
    EXPECT_EQ(at(HKEY_CURRENT_USER, "Software\\Torvik", "Missing").GetRegistryValueLength(), 0);
}

TEST_F(RegistryTest, MachineHiveComesFromTheFirstSystemConfigFolder) {
    writeHive("system", "[Software/Microsoft/DataAccess]\nFullInstallVer=2.81.1117.0\n");
    EXPECT_EQ(cRegistry::hiveFile(HKEY_LOCAL_MACHINE), dir.file("system/Torvik/registry.ini"));
    cRegistry r = at(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\DataAccess", "Version");
    EXPECT_EQ(r.GetRegistryValue(), "");
    r.RegistryValueName("FullInstallVer");
    EXPECT_EQ(r.GetRegistryValue(), "2.81.1117.0");
}

TEST_F(RegistryTest, GetKeysGivesTheLastSubKey) {
    const std::string longName(60, 'k');
    writeHive("system",
              "[Policy/first]\na=1\n[Policy/second]\nb=2\n"
              "[Long/" + std::string(60, 'a') + "]\nc=3\n[Long/" + longName + "]\nd=4\n");
    EXPECT_EQ(at(HKEY_LOCAL_MACHINE, "Policy", "").GetKeys(), "second");
    // A long sub-key name is enumerated like any other.
    EXPECT_EQ(at(HKEY_LOCAL_MACHINE, "Long", "").GetKeys(), longName);
    EXPECT_EQ(at(HKEY_LOCAL_MACHINE, "Policy\\first", "").GetKeys(), "");
    EXPECT_EQ(at(HKEY_LOCAL_MACHINE, "Nothing", "").GetKeys(), "");
}

TEST_F(RegistryTest, CreateAndDeleteKeys) {
    cRegistry r = at(HKEY_CURRENT_USER, "Software\\Torvik\\Dalvane 4.5\\Enterprise", "");
    EXPECT_FALSE(r.DeleteRegistryEntry());
    ASSERT_TRUE(r.CreateRegistryEntry());
    EXPECT_TRUE(files::fileExists(dir.file("user/Torvik/registry.ini")));
    EXPECT_EQ(at(HKEY_CURRENT_USER, "Software\\Torvik\\Dalvane 4.5", "").GetKeys(), "Enterprise");
    // Creating again keeps the key.
    EXPECT_TRUE(r.CreateRegistryEntry());
    EXPECT_TRUE(r.DeleteRegistryEntry());
    EXPECT_EQ(at(HKEY_CURRENT_USER, "Software\\Torvik\\Dalvane 4.5", "").GetKeys(), "");
    EXPECT_FALSE(r.DeleteRegistryEntry());
}

}  // namespace
