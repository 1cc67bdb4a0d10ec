// Paths as the installer builds and checks them: the join, the form a command
// run at the next start of Windows reads as one argument, the platform's
// Program Files folder, and the folders no installation may take.
#include "app/paths.h"
#include "controller/install.h"
#include "machine_fixture.h"

namespace {

class Paths : public MachineTest {};

const char kCurrentVersion[] = "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion";

TEST_F(Paths, JoinAddsOneSeparatorAndNeverCuts)
{
    struct Row {
        const char *folder, *name;
        int size;
        const char *joined;  // null: does not fit
    } rows[] = {
        {"C:\\A", "b.txt", 64, "C:\\A\\b.txt"},
        {"C:\\A\\", "b.txt", 64, "C:\\A\\b.txt"},
        {"C:\\A/", "b.txt", 64, "C:\\A/b.txt"},
        {"", "b.txt", 64, "b.txt"},
        {"C:\\", "b.txt", 64, "C:\\b.txt"},
        {"C:\\A", "b.txt", 11, "C:\\A\\b.txt"},  // exact fit, terminator included
        {"C:\\A", "b.txt", 10, nullptr},         // one short
    };
    for (const Row &row : rows) {
        char out[64] = "untouched";
        EXPECT_EQ(JoinPath(out, row.size, row.folder, row.name), row.joined ? 1 : 0) << row.folder << " " << row.size;
        EXPECT_STREQ(out, row.joined ? row.joined : "");
    }
}

// A path in a command that cmd.exe or command.com runs at the next start:
// one argument, whatever its name holds.
TEST_F(Paths, ACommandNamesAPathAsOneArgumentOrNotAtAll)
{
    struct Row {
        const char *folder;  // made on the disk, with "x.dll" in it
        bool shortNames;     // the file system gives 8.3 names
        const char *form;    // null: refused
    } rows[] = {
        {"C:\\Program Files\\Vantro Pro", true, "C:\\PROGRA~1\\VANTRO~1\\x.dll"},
        // "&" is legal in an 8.3 name: unquoted, it would start a second command.
        {"C:\\Apps & Tools\\Vantro", true, nullptr},
        {"C:\\R&D", true, nullptr},
        {"C:\\R(D)", true, nullptr},
        {"C:\\A^B", true, nullptr},
        // Without short names the long path is quoted where blanks would split
        // it, and inside quotes & ( ) are plain characters...
        {"C:\\Program Files\\Vantro Pro", false, "\"C:\\Program Files\\Vantro Pro\\x.dll\""},
        {"C:\\Program Files (x86)\\Vantro Pro", false, "\"C:\\Program Files (x86)\\Vantro Pro\\x.dll\""},
        {"C:\\Apps & Tools\\Vantro", false, "\"C:\\Apps & Tools\\Vantro\\x.dll\""},
        {"C:\\a,b", false, "\"C:\\a,b\\x.dll\""},
        // ...but % and ! are expanded even there.
        {"C:\\100% Sure", false, nullptr},
        {"C:\\Wow! Apps", false, nullptr},
        {"C:\\R&D", false, nullptr},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(std::string(row.folder) + (row.shortNames ? " (8.3)" : " (no 8.3)"));
        ASSERT_TRUE(HostMakeFolder(row.folder));
        std::string file = std::string(row.folder) + "\\x.dll";
        ASSERT_TRUE(HostWriteFile(file.c_str(), "x"));
        if (!row.shortNames) HostFailCall("GetShortPathNameA", 0, ERROR_INVALID_PARAMETER);
        char out[MAX_PATH + 3] = "untouched";
        EXPECT_EQ(CommandPathOf(file.c_str(), out, sizeof out), row.form ? 1 : 0);
        EXPECT_STREQ(out, row.form ? row.form : "");
        HostClearFaults();
    }
    // A form that does not fit is no form.
    char small[10];
    EXPECT_EQ(CommandPathOf("C:\\R\\x.dll", small, sizeof small), 0);  // ten characters and the terminator
}

TEST_F(Paths, FoldersNoInstallationMayTake)
{
    HostAddDrive('D');
    HostSetWindowsFolders("C:\\Windows Dir", "C:\\Windows Dir\\System32");
    HostMakeFolder("C:\\Windows Dir\\System32");
    HostRegSetString(kCurrentVersion, "ProgramFilesDir", "D:\\Programme");
    HostMakeFolder("C:\\R&D");
    struct Row {
        const char *folder;
        int problem;
    } rows[] = {
        {"C:\\Program Files\\Vantro Pro", FOLDER_OK},
        {"D:\\Programme\\Vantro Pro", FOLDER_OK},
        {"C:\\Apps\\", FOLDER_OK},
        {"c:\\windows dirs", FOLDER_OK},  // merely starts the same way
        {"C:\\R&D", FOLDER_OK},           // as a folder; no command may name it (below)
        {"", FOLDER_NOT_PLAIN},
        {"Vantro", FOLDER_NOT_PLAIN},
        {"C:Vantro", FOLDER_NOT_PLAIN},
        {"\\Vantro", FOLDER_NOT_PLAIN},
        {"\\\\server\\share\\Vantro", FOLDER_NOT_PLAIN},
        {"\\\\?\\C:\\Vantro", FOLDER_NOT_PLAIN},
        {"C:/Vantro", FOLDER_NOT_PLAIN},
        {"C:\\Apps\\..\\Windows Dir", FOLDER_NOT_PLAIN},
        {"C:\\Apps\\.\\Vantro", FOLDER_NOT_PLAIN},
        {"C:\\Windows Dir.", FOLDER_NOT_PLAIN},  // Windows drops the dot
        {"C:\\Windows Dir \\x", FOLDER_NOT_PLAIN},
        {"C:\\a\\\\b", FOLDER_NOT_PLAIN},
        {"C:\\a?b", FOLDER_NOT_PLAIN},
        {"C:\\a*b", FOLDER_NOT_PLAIN},
        {"C:\\a\tb", FOLDER_NOT_PLAIN},
        {"C:\\", FOLDER_ROOT},
        {"d:", FOLDER_ROOT},
        {"C:\\Windows Dir", FOLDER_WINDOWS},
        {"c:\\WINDOWS DIR\\", FOLDER_WINDOWS},
        {"C:\\Windows Dir\\Vantro", FOLDER_WINDOWS},
        {"C:\\WINDOW~1\\Vantro", FOLDER_WINDOWS},  // its 8.3 alias
        {"C:\\Windows Dir\\System32\\Vantro", FOLDER_WINDOWS},
        {"C:\\Program Files", FOLDER_PROGRAM_FILES},
        {"C:\\Program Files\\", FOLDER_PROGRAM_FILES},
        {"d:\\programme", FOLDER_PROGRAM_FILES},
    };
    HostMakeFolder("C:\\Program Files");
    for (const Row &row : rows) EXPECT_EQ(FolderProblem(row.folder), row.problem) << row.folder;
    // The system folder outside the Windows folder, as NT can have it.
    HostSetWindowsFolders("C:\\WINNT", "C:\\SYS");
    EXPECT_EQ(FolderProblem("C:\\SYS\\Vantro"), FOLDER_SYSTEM);
    // Once made, a destination must be one a command can name.
    EXPECT_EQ(DestinationProblem("C:\\R&D"), FOLDER_COMMAND_UNSAFE);
    EXPECT_EQ(DestinationProblem("C:\\Program Files"), FOLDER_PROGRAM_FILES);
    HostMakeFolder("C:\\Apps & Tools");
    EXPECT_EQ(DestinationProblem("C:\\Apps & Tools"), FOLDER_COMMAND_UNSAFE);  // APPS&T~1
    EXPECT_EQ(DestinationProblem("C:\\Not Made Yet"), FOLDER_OK);
}

// The computed default: the platform's own Program Files folder where it names
// one (a 32-bit program on 64-bit Windows reads "C:\Program Files (x86)"), else
// the old rule.
TEST_F(Paths, TheDefaultDestinationTakesThePlatformsProgramFiles)
{
    struct Row {
        const char *name;
        const char *programFiles;  // null: no value
        int major, platform;
        const char *dest;
    } rows[] = {
        {"64-bit Windows", "C:\\Program Files (x86)", 10, VER_PLATFORM_WIN32_NT, "C:\\Program Files (x86)\\Vantro Pro"},
        {"a localised Windows", "C:\\Programme\\", 4, VER_PLATFORM_WIN32_WINDOWS, "C:\\Programme\\Vantro Pro"},
        {"no value", nullptr, 4, VER_PLATFORM_WIN32_NT, "C:\\Program Files\\Vantro Pro"},
        {"a value that is no plain folder", "Program Files", 5, VER_PLATFORM_WIN32_NT, "C:\\Program Files\\Vantro Pro"},
        {"a drive's root", "D:\\", 5, VER_PLATFORM_WIN32_NT, "C:\\Program Files\\Vantro Pro"},
        {"NT 3.51 keeps its own", "C:\\Program Files", 3, VER_PLATFORM_WIN32_NT, "C:\\WIN32APP\\Vantro"},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        MachineTest::TearDown();
        SetUp();
        HostSetVersion(row.major, 0, 1000, row.platform);
        if (row.programFiles) HostRegSetString(kCurrentVersion, "ProgramFilesDir", row.programFiles);
        char folder[512];
        DefaultDestination(folder, sizeof folder);
        EXPECT_STREQ(folder, row.dest);
    }
}

}  // namespace
