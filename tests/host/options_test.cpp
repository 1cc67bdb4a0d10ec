// Finding and reading Install.ini.
#include "app/main.h"
#include "app/options.h"
#include "machine_fixture.h"

class Options : public MachineTest {
protected:
    void SetUp() override
    {
        MachineTest::SetUp();
        SetCurrentDirectoryA("C:\\TEMP");
    }
    // The options file the executable carries, as start-up writes it into the
    // run's working folder.
    void WriteOptions(const std::string &text)
    {
        ASSERT_TRUE(HostWriteFile("C:\\TEMP\\Install.ini", text));
        lstrcpyA(g_szEmbeddedIni, "C:\\TEMP\\Install.ini");
    }
};

struct FlagRow {
    const char *key;
    const char *value;  // null: the key is absent
    int *flag;
    int expected;
};

TEST_F(Options, TruthRulesOfEachKey)
{
    const FlagRow rows[] = {
        {"LOGGING", "", &g_bLogging, 1},        {"LOGGING", "no", &g_bLogging, 1},
        {"LOGGING", "FaLsE", &g_bLogging, 0},   {"LOGGING", "0", &g_bLogging, 0},
        {"LOGGING", "00", &g_bLogging, 1},      {"LOGGING", nullptr, &g_bLogging, 0},
        {"QUIET", "yes", &g_bSilent, 0},        {"QUIET", "True", &g_bSilent, 1},
        {"QUIET", "1", &g_bSilent, 1},          {"QUIET", "01", &g_bSilent, 0},
        {"QUIET", "on", &g_bSilent, 0},         {"QUIET", nullptr, &g_bSilent, 0},
        {"ALLOWRBT", "true", &g_bAllowReboot, 1}, {"ALLOWRBT", nullptr, &g_bAllowReboot, 0},
        {"NOPASSWORD", "1", &g_bNoPass, 1},     {"NOPASSWORD", "x", &g_bNoPass, 0},
        {"BONUS", nullptr, &gbInstallBonusPack, 1}, {"BONUS", "no", &gbInstallBonusPack, 0},
        {"BONUS", "TRUE", &gbInstallBonusPack, 1},
        {"EXPLORER", "no", &g_bExplore, 1},     {"EXPLORER", "false", &g_bExplore, 0},
        {"EXPLORER", "0", &g_bExplore, 0},      {"EXPLORER", nullptr, &g_bExplore, 1},
        {"DESKTOP", "FALSE", &g_iconLocation, 1}, {"DESKTOP", "1", &g_iconLocation, 0},
        {"DESKTOP", "maybe", &g_iconLocation, 1}, {"DESKTOP", nullptr, &g_iconLocation, 0},
    };
    for (const FlagRow &row : rows) {
        SCOPED_TRACE(std::string(row.key) + "=" + (row.value ? row.value : "(absent)"));
        std::string text = "[INSTALL]\r\n";
        if (row.value) text += std::string(row.key) + "=" + row.value + "\r\n";
        WriteOptions(text);
        ReadInstallOptions();
        EXPECT_EQ(*row.flag, row.expected);
    }
}

TEST_F(Options, DefaultsWithAndWithoutAFile)
{
    // No file anywhere: the restart is allowed, nothing is logged.
    ReadInstallOptions();
    EXPECT_STREQ(g_szIniFile, "");
    EXPECT_EQ(g_bAllowReboot, 1);
    EXPECT_EQ(g_bLogging, 0);
    EXPECT_EQ(g_bSilent, 0);
    EXPECT_EQ(gbInstallBonusPack, 1);
    EXPECT_EQ(g_bExplore, 1);
    EXPECT_EQ(g_iconLocation, 0);

    // A file with only the install record's section: the keys' own defaults,
    // where the restart in unattended mode is not allowed.
    WriteOptions("[Vantro]\r\nDIR32=D:\\Apps\r\n");
    ReadInstallOptions();
    EXPECT_STREQ(g_szIniFile, "C:\\TEMP\\Install.ini");
    EXPECT_EQ(g_bAllowReboot, 0);
    EXPECT_EQ(g_bLogging, 0);
    EXPECT_EQ(g_bSilent, 0);
    EXPECT_EQ(g_bNoPass, 0);
    EXPECT_EQ(gbInstallBonusPack, 1);
    EXPECT_EQ(g_bExplore, 1);
    EXPECT_EQ(g_iconLocation, 0);
    EXPECT_FALSE(HostFileExists("C:\\TEMP\\setup.log"));
}

// The executable's own options come first, then those beside it; one lying in
// the temporary folder (or the current one) is never read: any program of the
// user can write there, and the install may run with administrator rights.
TEST_F(Options, TheEmbeddedFileComesBeforeTheProgramsFolder)
{
    HostWriteFile("C:\\SETUP\\INSTALL.INI", "[install]\r\nquiet=1\r\n");
    HostWriteFile("C:\\TEMP\\install.ini", "[INSTALL]\r\nQUIET=0\r\nLINE1=planted\r\n");
    ReadInstallOptions();
    EXPECT_STREQ(g_szIniFile, "C:\\SETUP\\install.ini");
    EXPECT_EQ(g_bSilent, 1);
    EXPECT_STREQ(g_szLine1, "");

    WriteOptions("[Install]\r\nQUIET=0\r\n");
    ReadInstallOptions();
    EXPECT_STREQ(g_szIniFile, "C:\\TEMP\\Install.ini");
    EXPECT_EQ(g_bSilent, 0);

    // An embedded file that is gone again counts for nothing.
    DeleteFileA("C:\\TEMP\\Install.ini");
    ReadInstallOptions();
    EXPECT_STREQ(g_szIniFile, "C:\\SETUP\\install.ini");

    // The program at a drive's root does not double the backslash.
    g_szEmbeddedIni[0] = 0;
    HostSetModulePath("C:\\VantroSetup.exe");
    HostWriteFile("C:\\install.ini", "[INSTALL]\r\n");
    ReadInstallOptions();
    EXPECT_STREQ(g_szIniFile, "C:\\install.ini");
}

TEST_F(Options, LogsSevenLinesInOrder)
{
    WriteOptions("[INSTALL]\r\nLOGGING=1\r\nQUIET=TRUE\r\nDESKTOP=FALSE\r\nEXPLORER=0\r\n"
                 "LINE1=  Site licence 42  \r\nLINE2=\"quoted\"\r\n");
    ReadInstallOptions();
    EXPECT_EQ(ReadText("C:\\TEMP\\setup.log"),
              "g_bSilent=1\r\ng_bNoPass=0\r\ngbInstallBonusPack=1\r\ng_iconLocation=1\r\ng_bExplore=0\r\n"
              "g_szLine1=\"Site licence 42\"\r\ng_szLine2=\"quoted\"\r\n");
}

TEST_F(Options, FreeTextIsCutAt255Characters)
{
    std::string longText(300, 'L');
    WriteOptions("[INSTALL]\r\nLINE1=" + longText + "\r\nLINE2=" + std::string(255, 'M') + "\r\n");
    ReadInstallOptions();
    EXPECT_EQ(std::string(g_szLine1), std::string(255, 'L'));
    EXPECT_EQ(std::string(g_szLine2), std::string(255, 'M'));
}

TEST_F(Options, AFileThatCannotBeReadGivesEachKeysDefault)
{
    WriteOptions("[INSTALL]\r\nQUIET=1\r\nLOGGING=1\r\n");
    // Another program holds it open without sharing.
    ASSERT_TRUE(HostHoldFile("C:\\TEMP\\Install.ini", 0, false));
    ReadInstallOptions();
    EXPECT_EQ(g_bSilent, 0);
    EXPECT_EQ(g_bLogging, 0);
    EXPECT_EQ(g_bAllowReboot, 0);
}
