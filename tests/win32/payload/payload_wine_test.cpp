// The payload through the product's own code path on Windows: every resource
// the executable carries, written and expanded as the file copy does it,
// equals the file it was made from; a resource the build does not carry fails
// quietly; and the options file that start-up writes from the executable is
// gone when the run ends.
//
// VANTRO_PAYLOAD_FILES names the folder of the original files (a Z:\ path).
#include <gtest/gtest.h>
#include <stdlib.h>

#include <string>

#include "app/main.h"
#include "app/options.h"
#include "payload/catalogue.h"
#include "payload/extract.h"
#include "platform.h"
#include "../win_files.h"

static std::string TempFolder()
{
    char temp[MAX_PATH];
    GetTempPathA(sizeof temp, temp);
    return temp;  // ends with a backslash
}

// The installed name of each resource index, from the rows the build reads too.
static const char *const kInstalledNames[PAYLOAD_COUNT] = {
#define PAYLOAD_ROW(res, file, packed, carried) file,
#include "payload/payload_rows.inc"
#undef PAYLOAD_ROW
};
static const int kCarried[PAYLOAD_COUNT] = {
#define PAYLOAD_ROW(res, file, packed, carried) carried,
#include "payload/payload_rows.inc"
#undef PAYLOAD_ROW
};

TEST(PayloadOnWindows, EveryResourceExpandsToItsOriginal)
{
    const char *originals = getenv("VANTRO_PAYLOAD_FILES");
    ASSERT_NE(originals, nullptr) << "set VANTRO_PAYLOAD_FILES to the folder of the original files";
    std::string temp = TempFolder();
    std::string out = temp + "expanded";
    CreateDirectoryA(out.c_str(), NULL);
    lstrcpyA(g_szTempName, "WFTPAYLD.TMP");
    int expanded = 0;
    for (int i = 0; i < PAYLOAD_INSTINI; i++) {
        SCOPED_TRACE(kInstalledNames[i]);
        int written = WritePayloadFile(GetModuleHandleA(NULL), i, temp.c_str(), g_szTempName);
        if (!kCarried[i]) {
            EXPECT_EQ(written, 0);  // not carried: fails, and no message holds the run
            continue;
        }
        ASSERT_EQ(written, 1);
        char scratch[MAX_PATH];
        lstrcpyA(scratch, (temp + g_szTempName).c_str());
        std::string dest = out + "\\" + kInstalledNames[i];
        EXPECT_EQ(ExpandFile(scratch, dest.c_str()), 1);
        DeleteFileA(scratch);
        EXPECT_EQ(ReadAll(dest), ReadAll(std::string(originals) + "\\" + kInstalledNames[i]));
        expanded++;
    }
    EXPECT_EQ(expanded, 48);
}

TEST(PayloadOnWindows, EmbeddedOptionsFileIsReadThenRemoved)
{
    std::string options = TempFolder() + "Install.ini";
    ASSERT_EQ(GetFileAttributesA(options.c_str()), INVALID_FILE_ATTRIBUTES);
    int exitCode = -5;
    ASSERT_EQ(InitSetup(GetModuleHandleA(NULL), NULL, &exitCode), 1);
    // Start-up wrote the carried options file into the temporary folder and read it.
    EXPECT_NE(GetFileAttributesA(options.c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(g_bSilent, 1);
    EXPECT_STREQ(g_szLine1, "carried in the executable");
    EXPECT_EQ(RunMessageLoop(), 0);
    EXPECT_EQ(GetFileAttributesA(options.c_str()), INVALID_FILE_ATTRIBUTES);
}
