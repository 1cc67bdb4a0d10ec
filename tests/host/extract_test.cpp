// Payload resources written to files, expanded into place, and tidied away.
#include <string.h>

#include "app/main.h"
#include "app/options.h"
#include "internal.h"
#include "machine_fixture.h"
#include "payload/catalogue.h"
#include "payload/extract.h"

class Extract : public MachineTest {
protected:
    void SetUp() override
    {
        MachineTest::SetUp();
        SetCurrentDirectoryA("C:\\TEMP");
    }
};

TEST_F(Extract, CatalogueTablesAreBoundToTheirResources)
{
    // Row counts, first indexes and the names a few rows are known by.
    EXPECT_STREQ(g_payloadResources[CLASSIC_FIRST].szResName, "EXEFILE2");
    EXPECT_STREQ(g_payloadResources[EXPLORER_FIRST + 4].szResName, "TXTFILE2");
    EXPECT_STREQ(g_payloadResources[UTILITY_FIRST + 19].szResName, "DLLFILE6");
    EXPECT_STREQ(g_payloadResources[COMMON_FIRST + 15].szResName, "DLLFILE7");
    EXPECT_STREQ(g_payloadResources[SITE_FIRST].szResName, "INIFILE1");
    EXPECT_STREQ(g_payloadResources[PAYLOAD_INSTINI].szCleanupName, "Install.ini");
    EXPECT_EQ(SITE_FIRST + SITE_COUNT, PAYLOAD_INSTINI);
    // Every packed name is the installed name with its last character "_".
    struct Table {
        CatalogueEntry *rows;
        int count, first;
    } tables[] = {{g_classicFiles, CLASSIC_COUNT, CLASSIC_FIRST},
                  {g_explorerFiles, EXPLORER_COUNT, EXPLORER_FIRST},
                  {g_utilityFiles, UTILITY_COUNT, UTILITY_FIRST},
                  {g_commonFiles, COMMON_COUNT, COMMON_FIRST},
                  {g_siteFiles, SITE_COUNT, SITE_FIRST}};
    for (const Table &t : tables)
        for (int i = 0; i < t.count; i++) {
            std::string installed = t.rows[i].szInstallFile, packed = g_payloadResources[t.first + i].szPackedName;
            SCOPED_TRACE(installed);
            ASSERT_EQ(installed.size(), packed.size());
            EXPECT_EQ(HostUpper(installed.substr(0, installed.size() - 1)),
                      HostUpper(packed.substr(0, packed.size() - 1)));
            EXPECT_EQ(packed.back(), '_');
            EXPECT_STREQ(g_payloadResources[t.first + i].szCleanupName, g_payloadResources[t.first + i].szPackedName);
        }
}

TEST_F(Extract, WritesAResourceIntoAFolder)
{
    HostSetResource("EXE", "DLLFILE1", "library bytes");
    struct Row {
        const char *folder, *expectedFile;
    } rows[] = {
        {"C:\\TEMP", "C:\\TEMP\\out.bin"},
        {"C:\\TEMP\\", "C:\\TEMP\\out.bin"},
        {"C:\\TEMP/", "C:\\TEMP\\\\out.bin"},  // only a backslash counts: one is added
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.folder);
        DeleteFileA("C:\\TEMP\\out.bin");
        EXPECT_EQ(WritePayloadFile(nullptr, 1, row.folder, "out.bin"), 1);
        EXPECT_EQ(ReadText(row.expectedFile), "library bytes");
    }
    // A missing resource fails without a word; so does an overlong path.
    EXPECT_EQ(WritePayloadFile(nullptr, EXPLORER_FIRST + 4, "C:\\TEMP", "shellext.txt"), 0);
    EXPECT_FALSE(HostFileExists("C:\\TEMP\\shellext.txt"));
    std::string folder = "C:\\" + std::string(240, 'd');
    HostMakeFolder(folder.c_str());
    EXPECT_EQ(WritePayloadFile(nullptr, 1, folder.c_str(), std::string(11, 'n').c_str()), 1);   // 255 characters
    EXPECT_EQ(WritePayloadFile(nullptr, 1, folder.c_str(), std::string(12, 'n').c_str()), 0);   // 256
    EXPECT_TRUE(HostMessageBoxes().empty());
    // A short write is a failure.
    HostFailCall("WriteFile", 1, ERROR_HANDLE_DISK_FULL);
    EXPECT_EQ(WritePayloadFile(nullptr, 1, "C:\\TEMP", "out.bin"), 0);
}

TEST_F(Extract, ExpandsPackedAndPlainFiles)
{
    // An empty resource writes an empty file, but its expansion fails.
    HostSetResource("EXE", "TXTFILE", "");
    EXPECT_EQ(WritePayloadFile(nullptr, COMMON_FIRST + 3, "C:\\TEMP", "WFT1.TMP"), 1);
    EXPECT_TRUE(HostFileExists("C:\\TEMP\\WFT1.TMP"));
    char source[MAX_PATH] = "C:\\TEMP\\WFT1.TMP";
    EXPECT_EQ(ExpandFile(source, "C:\\TEMP\\relnotes.txt"), 0);

    // Plain text comes out byte for byte.
    HostWriteFile("C:\\TEMP\\WFT1.TMP", "$$\\original.ini\r\n");
    EXPECT_EQ(ExpandFile(source, "C:\\TEMP\\Vantro.ini"), 1);
    EXPECT_EQ(ReadText("C:\\TEMP\\Vantro.ini"), "$$\\original.ini\r\n");
    EXPECT_STREQ(source, "C:\\TEMP\\WFT1.TMP");

    // The "_" form of the source is read first, and named back to the caller.
    HostWriteFile("C:\\TEMP\\WFT1.TM_", "packed form");
    EXPECT_EQ(ExpandFile(source, "C:\\TEMP\\x.dat"), 1);
    EXPECT_EQ(ReadText("C:\\TEMP\\x.dat"), "packed form");
    EXPECT_STREQ(source, "C:\\TEMP\\WFT1.TM_");

    // The same file in other letter case: nothing to do, and nothing touched.
    char same[MAX_PATH] = "c:\\temp\\X.DAT";
    EXPECT_EQ(ExpandFile(same, "C:\\TEMP\\x.dat"), 1);
    EXPECT_EQ(ReadText("C:\\TEMP\\x.dat"), "packed form");
}

TEST_F(Extract, TheLzLibraryOpensPathsOfUpTo127Characters)
{
    std::string folder = "C:\\" + std::string(100, 'd');
    HostMakeFolder(folder.c_str());
    HostWriteFile("C:\\TEMP\\WFT1.TMP", "text");
    char source[MAX_PATH] = "C:\\TEMP\\WFT1.TMP";
    std::string fits = folder + "\\" + std::string(127 - 104, 'f');
    std::string over = folder + "\\" + std::string(128 - 104, 'f');
    EXPECT_EQ(ExpandFile(source, fits.c_str()), 1);
    EXPECT_EQ(ExpandFile(source, over.c_str()), 0);
    EXPECT_FALSE(HostFileExists(over.c_str()));
}

TEST_F(Extract, AHeldDestinationFailsWithoutAStrayPackedFile)
{
    HostMakeFolder("C:\\Vantro");
    HostWriteFile("C:\\Vantro\\tcore32.dll", "old");
    HostHoldFile("C:\\Vantro\\tcore32.dll", FILE_SHARE_READ, true);
    HostWriteFile("C:\\TEMP\\WFT1.TMP", "new");
    char source[MAX_PATH] = "C:\\TEMP\\WFT1.TMP";
    EXPECT_EQ(ExpandFile(source, "C:\\Vantro\\tcore32.dll"), 0);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_SHARING_VIOLATION);
    EXPECT_EQ(ReadText("C:\\Vantro\\tcore32.dll"), "old");
    EXPECT_FALSE(HostFileExists("C:\\Vantro\\tcore32.dl_"));
}

TEST_F(Extract, TidiesOnlyThePayloadNames)
{
    // An options file is the run's only where start-up wrote it.
    HostWriteFile("C:\\TEMP\\Install.ini", "[INSTALL]");
    RemovePayloadTemps();
    EXPECT_TRUE(HostFileExists("C:\\TEMP\\Install.ini"));
    lstrcpyA(g_szEmbeddedIni, "C:\\TEMP\\Install.ini");
    HostWriteFile("C:\\TEMP\\TCLASSIC.EX_", "left over");
    HostWriteFile("C:\\TEMP\\keep.txt", "the user's");
    // This run's scratch file, and another run's.
    HostWriteFile("C:\\TEMP\\WFT1A.TMP", "");
    HostWriteFile("C:\\TEMP\\WFT2B.TMP", "");
    char saved[TEMP_NAME_SIZE];
    lstrcpyA(saved, g_szTempName);
    lstrcpyA(g_szTempName, "WFT1A.TMP");
    RemovePayloadTemps();
    lstrcpyA(g_szTempName, saved);
    EXPECT_FALSE(HostFileExists("C:\\TEMP\\Install.ini"));
    EXPECT_FALSE(HostFileExists("C:\\TEMP\\tclassic.ex_"));
    EXPECT_FALSE(HostFileExists("C:\\TEMP\\WFT1A.TMP"));
    EXPECT_TRUE(HostFileExists("C:\\TEMP\\WFT2B.TMP"));
    EXPECT_TRUE(HostFileExists("C:\\TEMP\\keep.txt"));
    RemovePayloadTemps();  // nothing left to delete: nothing reported
    EXPECT_TRUE(HostMessageBoxes().empty());
}

// A payload resource whose bytes are not those the build recorded is not
// written at all (the system's data error), as though it were missing; the
// check table itself is what the build made from the embedded bytes.
TEST_F(Extract, ADamagedPayloadIsNotWritten)
{
    struct Row {
        const char *name;
        size_t offset;  // of the flipped byte; npos: intact
        int written;
    } rows[] = {{"intact", std::string::npos, 1}, {"first byte", 0, 1 - 1}, {"a byte inside", 100, 0}};
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        MachineTest::TearDown();
        SetUp();
        if (row.offset != std::string::npos) {
            ASSERT_TRUE(HostDamageResource("EXE", "EXEFILE2", row.offset));  // tclassic.exe
        }
        SetLastError(0);
        EXPECT_EQ(WritePayloadFile(GetModuleHandleA(nullptr), CLASSIC_FIRST, "C:\\TEMP", "t.ex_"), row.written);
        EXPECT_EQ(HostFileExists("C:\\TEMP\\t.ex_"), row.written != 0);
        if (!row.written) EXPECT_EQ(GetLastError(), (DWORD)ERROR_CRC);
    }
}
