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
#include "app/workfolder.h"
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

// The payload as the product's catalogue documents it, by resource index: the
// installed name, and whether a normal build carries the resource. Written
// down here rather than read from the build's own rows, so that a row the
// build gets wrong shows.
struct PayloadRow {
    const char *name;
    int carried;
};
static const PayloadRow kRows[] = {
    {"tclassic.exe", 1},  // 0 EXEFILE2
    {"tcore32.dll", 1},  // 1 DLLFILE1
    {"TCore32.cnt", 1},  // 2 CNTFILE1
    {"tcore32.hlp", 1},  // 3 HLPFILE1
    {"shellext.dll", 1},  // 4 DLLFILE2
    {"navhook.dll", 1},  // 5 DLLFILE3
    {"navhelp.cnt", 1},  // 6 CNTFILE2
    {"navhelp.hlp", 1},  // 7 HLPFILE2
    {"shellext.txt", 0},  // 8 TXTFILE2
    {"tscript.exe", 1},  // 9 EXEFILE3
    {"tscript.cnt", 1},  // 10 CNTFILE3
    {"tscript.hlp", 1},  // 11 HLPFILE3
    {"tscript.txt", 0},  // 12 TXTFILE3
    {"tfind.exe", 1},  // 13 EXEFILE1
    {"tfind.cnt", 1},  // 14 CNTFILE5
    {"tfind.hlp", 1},  // 15 HLPFILE5
    {"tfind.txt", 0},  // 16 TXTFILE4
    {"tsync.exe", 1},  // 17 EXEFILE4
    {"tsynclib.dll", 1},  // 18 DLLFILE4
    {"tsync.cnt", 1},  // 19 CNTFILE4
    {"tsync.hlp", 1},  // 20 HLPFILE4
    {"tsync.txt", 0},  // 21 TXTFILE5
    {"tqueue.exe", 1},  // 22 EXEFILE6
    {"tsched.exe", 1},  // 23 EXEFILE7
    {"tqueue.cnt", 1},  // 24 CNTFILE6
    {"tqueue.hlp", 1},  // 25 HLPFILE7
    {"tqueue.txt", 0},  // 26 TXTFILE7
    {"turl.exe", 1},  // 27 EXEFILE8
    {"vnbho2k0.dll", 1},  // 28 DLLFILE6
    {"tlink.exe", 1},  // 29 EXEFILE5
    {"tstub.dll", 1},  // 30 DLLFILE5
    {"uninst32.exe", 1},  // 31 REMOVEFILE
    {"relnotes.txt", 1},  // 32 TXTFILE
    {"tlink.hlp", 0},  // 33 HLPFILE6
    {"tcore32.pdf", 1},  // 34 TXTFILE6
    {"orderfrm.wri", 0},  // 35 ORDER
    {"terms.wri", 0},  // 36 LICENSE
    {"linkup.wav", 1},  // 37 WAVE2
    {"fault.wav", 1},  // 38 WAVE3
    {"done.wav", 1},  // 39 WAVE1
    {"seed.dat", 1},  // 40 DATFILE1
    {"peer.key", 1},  // 41 SSLKEY1
    {"peer.crt", 1},  // 42 SSLCRT1
    {"brenmoor.crt", 1},  // 43 SSLCRT2
    {"secsvc.dll", 1},  // 44 DLLFILE7
    {"secsvc.hlp", 1},  // 45 SSLHLP
    {"secsvc.cnt", 1},  // 46 SSLCNT
    {"Vantro.ini", 1},  // 47 INIFILE1
    {"scanners.ini", 1},  // 48 INIFILE2
    {"collects.ini", 1},  // 49 INIFILE3
    {"playtime.ini", 1},  // 50 INIFILE4
    {"devices.ini", 1},  // 51 INIFILE5
    {"brenmoor.ini", 1},  // 52 INIFILE6
    {"services.ini", 1},  // 53 INIFILE7
    {"programs.ini", 1},  // 54 INIFILE8
    {"publicag.ini", 1},  // 55 INIFILE9
    {"Install.ini", 0},  // 56 INSTINI, read by start-up only
};
static_assert(sizeof kRows / sizeof kRows[0] == 57, "one row per resource index, 0 to 56");

TEST(PayloadOnWindows, EveryResourceExpandsToItsOriginal)
{
    const char *originals = getenv("VANTRO_PAYLOAD_FILES");
    ASSERT_NE(originals, nullptr) << "set VANTRO_PAYLOAD_FILES to the folder of the original files";
    std::string temp = TempFolder();
    std::string out = temp + "expanded";
    CreateDirectoryA(out.c_str(), NULL);
    lstrcpyA(g_szTempName, "WFTPAYLD.TMP");
    int expanded = 0;
    for (int i = 0; i < 56; i++) {  // every row but the options file
        SCOPED_TRACE(kRows[i].name);
        int written = WritePayloadFile(GetModuleHandleA(NULL), i, temp.c_str(), g_szTempName);
        if (!kRows[i].carried) {
            EXPECT_EQ(written, 0);  // not carried: fails, and no message holds the run
            continue;
        }
        ASSERT_EQ(written, 1);
        char scratch[MAX_PATH];
        lstrcpyA(scratch, (temp + g_szTempName).c_str());
        std::string dest = out + "\\" + kRows[i].name;
        EXPECT_EQ(ExpandFile(scratch, dest.c_str()), 1);
        DeleteFileA(scratch);
        EXPECT_EQ(ReadAll(dest), ReadAll(std::string(originals) + "\\" + kRows[i].name));
        expanded++;
    }
    EXPECT_EQ(expanded, 48);
}

TEST(PayloadOnWindows, EmbeddedOptionsFileIsReadThenRemoved)
{
    int exitCode = -5;
    ASSERT_EQ(InitSetup(GetModuleHandleA(NULL), NULL, &exitCode), 1);
    // Start-up wrote the carried options file into the run's own folder inside
    // the temporary folder (Wine's user is an administrator) and read it.
    std::string work = g_szWorkFolder, options = work + "\\Install.ini";
    EXPECT_EQ(work.rfind(TempFolder() + "VNS", 0), 0u) << work;
    EXPECT_NE(GetFileAttributesA(options.c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(g_bSilent, 1);
    EXPECT_STREQ(g_szLine1, "carried in the executable");
    EXPECT_EQ(RunMessageLoop(), 0);
    RemoveWorkFolder();
    EXPECT_EQ(GetFileAttributesA(options.c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(GetFileAttributesA(work.c_str()), INVALID_FILE_ATTRIBUTES);
}

// The private working folder's security descriptor, as Windows reads the bytes
// the program hands to CreateDirectoryA: valid, and exactly full control for
// SYSTEM and Administrators, inherited by what is made inside, nothing
// inherited from the temporary folder. (Wine keeps no descriptor given to
// CreateDirectoryA and enforces none: the folder itself shows Wine's default;
// the bytes are checked here, and the folder's use on the simulated machine.)
// Wine's user is an administrator, whose token has the group enabled.
TEST(PayloadOnWindows, ThePrivateFoldersSecurityIsWhatWindowsReads)
{
    const BYTE *descriptor = NULL;
    int size = PrivateFolderSecurity(&descriptor);
    ASSERT_NE(descriptor, (const BYTE *)NULL);
    EXPECT_TRUE(IsValidSecurityDescriptor((PSECURITY_DESCRIPTOR)descriptor));
    EXPECT_EQ((DWORD)size, GetSecurityDescriptorLength((PSECURITY_DESCRIPTOR)descriptor));
    typedef BOOL(WINAPI * ToStringProc)(PSECURITY_DESCRIPTOR, DWORD, SECURITY_INFORMATION, LPSTR *, PULONG);
    ToStringProc toString = (ToStringProc)(void (*)(void))GetProcAddress(
        GetModuleHandleA("advapi32.dll"), "ConvertSecurityDescriptorToStringSecurityDescriptorA");
    ASSERT_NE(toString, (ToStringProc)NULL);
    LPSTR text = NULL;
    ASSERT_TRUE(toString((PSECURITY_DESCRIPTOR)descriptor, 1, DACL_SECURITY_INFORMATION, &text, NULL));
    EXPECT_STREQ(text, "D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)");
    LocalFree(text);
    g_bWinNT = 1;
    EXPECT_EQ(HasAdministratorRights(), 1);
}
