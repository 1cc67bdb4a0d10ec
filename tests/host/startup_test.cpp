// Start-up: platform facts, window geometry, the order of the start-up steps,
// the main window and its logos, and the start-up failures.
#include <string.h>

#include "app/main.h"
#include "app/workfolder.h"
#include "app/options.h"
#include "machine_fixture.h"
#include "payload/catalogue.h"

TEST(ComponentMasks, FollowThePlatform)
{
    struct Row {
        const char *name;
        int nt, major, minor, explore, bonus;
        int selection, choosable;
    } rows[] = {
        {"Windows 95", 0, 4, 0, 1, 1, 31, 31},
        {"Windows 98", 0, 4, 10, 1, 1, 31, 31},
        {"version 3.95 counts as modern", 0, 3, 95, 1, 1, 31, 31},
        {"version 3.10", 0, 3, 10, 1, 1, 1, 3},
        {"NT 3.51", 1, 3, 51, 1, 1, 5, 5},
        {"NT 4", 1, 4, 0, 1, 1, 31, 31},
        {"NT 4 without Explorer", 1, 4, 0, 0, 1, 29, 31},
        {"NT 4 without utilities", 1, 4, 0, 1, 0, 27, 31},
        {"NT 5 with neither", 1, 5, 0, 0, 0, 25, 31},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        int selection = -1, choosable = -1;
        ComputeComponentMasks(row.nt, row.major, row.minor, row.explore, row.bonus, &selection, &choosable);
        EXPECT_EQ(selection, row.selection);
        EXPECT_EQ(choosable, row.choosable);
    }
}

TEST(MainWindow, PlacementFollowsTheDesktop)
{
    struct Row {
        int dw, dh, x, y, w, h;
    } rows[] = {
        {800, 600, 80, 60, 640, 480},  {1024, 768, 104, 78, 816, 612}, {640, 480, 20, 40, 600, 400},
        {749, 499, 74, 49, 600, 400},  {751, 501, 75, 50, 600, 400},   {1280, 1024, 128, 104, 1024, 816},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(std::to_string(row.dw) + "x" + std::to_string(row.dh));
        RECT desktop = {0, 0, row.dw, row.dh};
        int x, y, w, h;
        MainWindowPlacement(&desktop, &x, &y, &w, &h);
        EXPECT_EQ(x, row.x);
        EXPECT_EQ(y, row.y);
        EXPECT_EQ(w, row.w);
        EXPECT_EQ(h, row.h);
    }
}

class Startup : public MachineTest {
protected:
    // Beside the program, where an administrator puts it.
    void Options(const std::string &text) { ASSERT_TRUE(HostWriteFile("C:\\SETUP\\Install.ini", text)); }
};

TEST_F(Startup, CentringNeverLeavesTheDesktop)
{
    HostSetDesktop(800, 600);
    WNDCLASSA wc = {};
    wc.lpfnWndProc = DefWindowProcA;
    wc.lpszClassName = "Probe";
    ASSERT_TRUE(RegisterClassA(&wc));
    struct Row {
        int w, h, x, y;
    } rows[] = {{300, 200, 250, 200}, {301, 201, 250, 200}, {800, 600, 0, 0}, {900, 700, 0, 0}, {200, 700, 300, 0}};
    for (const Row &row : rows) {
        HWND wnd = CreateWindowExA(0, "Probe", "", 0, 5, 5, row.w, row.h, nullptr, nullptr, nullptr, nullptr);
        CenterOnDesktop(wnd);
        RECT r;
        GetWindowRect(wnd, &r);
        EXPECT_EQ(r.left, row.x) << row.w << "x" << row.h;
        EXPECT_EQ(r.top, row.y) << row.w << "x" << row.h;
        EXPECT_EQ(r.right - r.left, row.w);
        EXPECT_EQ(r.bottom - r.top, row.h);
    }
}

TEST_F(Startup, UnattendedRunLogsAndShowsNothing)
{
    Options("[INSTALL]\r\nQUIET=TRUE\r\nLOGGING=TRUE\r\n");
    EXPECT_EQ(RunSetup(), 0);
    const std::string options = "g_bSilent=1\r\ng_bNoPass=0\r\ngbInstallBonusPack=1\r\ng_iconLocation=0\r\n"
                                "g_bExplore=1\r\ng_szLine1=\"\"\r\ng_szLine2=\"\"\r\n";
    std::string log = ReadText("C:\\TEMP\\setup.log");
    EXPECT_EQ(log.substr(0, options.size()), options);
    auto windows = HostWindows();
    ASSERT_EQ(windows.size(), 1u);
    EXPECT_EQ(windows[0].className, "VNInstal");
    EXPECT_FALSE(windows[0].everShown);
    EXPECT_TRUE(windows[0].destroyed);
    EXPECT_TRUE(HostBlits().empty());
    EXPECT_TRUE(HostMessageBoxes().empty());

    // A second run appends to the first one's log.
    ResetInstallerState();
    HostStartProcess();
    EXPECT_EQ(RunSetup(), 0);
    std::string second = ReadText("C:\\TEMP\\setup.log");
    EXPECT_EQ(second.substr(0, log.size()), log);
    EXPECT_EQ(second.substr(log.size(), options.size()), options);
}

TEST_F(Startup, WorksInAFolderOfItsOwnWithAScratchFile)
{
    HostSetTempPath("C:\\Users\\Me\\Temp\\");
    HostMakeFolder("C:\\Users\\Me\\Temp");
    // Options files where another program can put them are not read.
    HostWriteFile("C:\\TEMP\\Install.ini", "[INSTALL]\r\nQUIET=1\r\n");
    HostWriteFile("C:\\Users\\Me\\Temp\\install.ini", "[INSTALL]\r\nQUIET=1\r\n");
    int exitCode;
    ASSERT_EQ(InitSetup(GetModuleHandleA(nullptr), nullptr, &exitCode), 1);
    // Run with administrator rights: a folder of its own inside the temporary
    // folder, made current, that only SYSTEM and Administrators can open.
    EXPECT_STREQ(g_szTempFolder, "C:\\Users\\Me\\Temp");
    char cwd[MAX_PATH];
    GetCurrentDirectoryA(sizeof cwd, cwd);
    EXPECT_STREQ(cwd, g_szWorkFolder);
    EXPECT_EQ(std::string(cwd).rfind("C:\\Users\\Me\\Temp\\VNS", 0), 0u) << cwd;
    EXPECT_EQ(HostFolderSecurity(cwd), "D:P(A;OICI;0x1f01ff;;;S-1-5-18)(A;OICI;0x1f01ff;;;S-1-5-32-544)");
    EXPECT_EQ(strncmp(g_szTempName, "WFT", 3), 0);
    EXPECT_STREQ(g_szTempName + strlen(g_szTempName) - 4, ".TMP");
    EXPECT_EQ(strchr(g_szTempName, '\\'), nullptr);
    EXPECT_TRUE(HostFileExists((std::string(cwd) + "\\" + g_szTempName).c_str()));
    // No options file was found: the interactive defaults, and a shown window.
    EXPECT_STREQ(g_szIniFile, "");
    EXPECT_EQ(g_bSilent, 0);
    DestroyWindow(g_hMainWnd);
    RemoveWorkFolder();
    EXPECT_EQ(GetFileAttributesA(cwd), INVALID_FILE_ATTRIBUTES);
    EXPECT_TRUE(HostFileExists("C:\\Users\\Me\\Temp\\install.ini"));  // the user's, left alone
}

TEST_F(Startup, EmbeddedOptionsAreWrittenReadAndRemoved)
{
    HostSetResource("EXE", "INSTINI", "[INSTALL]\r\nQUIET=1\r\nLOGGING=1\r\nLINE1=embedded\r\n");
    HostWriteFile("C:\\SETUP\\install.ini", "[INSTALL]\r\nQUIET=0\r\nLINE1=beside\r\n");
    EXPECT_EQ(RunSetup(), 0);
    EXPECT_EQ(g_bSilent, 1);
    EXPECT_STREQ(g_szLine1, "embedded");
    // Read from the run's own folder, which went at the end with all in it.
    EXPECT_EQ(std::string(g_szIniFile), std::string(g_szWorkFolder) + "\\Install.ini");
    EXPECT_EQ(std::string(g_szIniFile).rfind("C:\\TEMP\\VNS", 0), 0u) << g_szIniFile;
    EXPECT_EQ(GetFileAttributesA(g_szWorkFolder), INVALID_FILE_ATTRIBUTES);
    EXPECT_TRUE(HostFileExists("C:\\SETUP\\install.ini"));
}

TEST_F(Startup, PlatformFactsComeFromTheVersionAndOS)
{
    struct Row {
        const char *name;
        int major, minor, platform;
        const char *os;
        int nt, selection, choosable;
    } rows[] = {
        {"Windows 95", 4, 0, VER_PLATFORM_WIN32_WINDOWS, nullptr, 0, 31, 31},
        {"NT 3.51", 3, 51, VER_PLATFORM_WIN32_NT, "Windows_NT", 1, 5, 5},
        {"OS must say NT in capitals", 4, 0, VER_PLATFORM_WIN32_NT, "Windows_nt", 0, 31, 31},
        {"Windows 3.10", 3, 10, VER_PLATFORM_WIN32s, nullptr, 0, 1, 3},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        MachineTest::TearDown();
        MachineTest::SetUp();
        HostSetVersion(row.major, row.minor, 950, row.platform);
        HostSetEnv("OS", row.os);
        Options("[INSTALL]\r\nQUIET=1\r\n");
        EXPECT_EQ(RunSetup(), 0);
        EXPECT_EQ(g_winMajor, row.major);
        EXPECT_EQ(g_winMinor, row.minor);
        EXPECT_EQ(g_bWinNT, row.nt);
        EXPECT_EQ(nV, row.selection);
        EXPECT_EQ(nM, row.choosable);
    }
}

TEST_F(Startup, InteractiveWindowPaintsBothLogos)
{
    HostSetDesktop(1024, 768);
    int exitCode = -5;
    ASSERT_EQ(InitSetup(GetModuleHandleA(nullptr), nullptr, &exitCode), 1);
    HostPaint(g_hMainWnd);  // as the shown window is painted while the dialogue runs
    HostDialogScript("DLG_INSTALL", {HostClick(IDCANCEL)});
    EXPECT_EQ(RunMessageLoop(), 0);
    auto windows = HostWindows();
    ASSERT_GE(windows.size(), 1u);
    const HostWindowInfo &main = windows[0];
    EXPECT_EQ(main.title, "Vantro Pro Install (32)");
    EXPECT_EQ(main.style, (DWORD)(WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN));
    EXPECT_EQ(main.rect.left, 104);
    EXPECT_EQ(main.rect.top, 78);
    EXPECT_EQ(main.rect.right - main.rect.left, 816);
    EXPECT_EQ(main.rect.bottom - main.rect.top, 612);
    EXPECT_TRUE(main.everShown);

    const WNDCLASSA *wc = HostFindClass("VNInstal");
    ASSERT_NE(wc, nullptr);
    EXPECT_EQ(wc->style, 0x200Bu);
    COLORREF ground = 0;
    ASSERT_TRUE(HostBrushColor(wc->hbrBackground, ground));
    EXPECT_EQ(ground, RGB(0, 128, 128));
    EXPECT_NE(wc->hIcon, nullptr);

    // The window was painted once it was shown, before the start command closed it.
    const auto &blits = HostBlits();
    ASSERT_EQ(blits.size(), 2u);
    EXPECT_EQ(blits[0].bitmap, "VN_BMP");
    EXPECT_EQ(blits[0].x, 10);
    EXPECT_EQ(blits[0].y, 10);
    EXPECT_EQ(blits[0].width, 153);
    EXPECT_EQ(blits[0].height, 46);
    RECT client;
    ASSERT_TRUE(HostClientRectOf(main.wnd, client));
    EXPECT_EQ(blits[1].bitmap, "BRENMOOR");
    EXPECT_EQ(blits[1].x, client.right - 151);
    EXPECT_EQ(blits[1].y, client.bottom - 118);
    EXPECT_EQ(blits[1].width, 151);
    EXPECT_EQ(blits[1].height, 118);

    // The icon captions of the catalogue were filled when the window was made.
    EXPECT_STREQ(g_classicFiles[3].szCaption, "Vantro Pro Help");
    EXPECT_STREQ(g_explorerFiles[3].szCaption, "Vantro Pro Explorer Help");
    EXPECT_STREQ(g_commonFiles[0].szCaption, "Vantro Icon Placement");
    EXPECT_STREQ(g_commonFiles[2].szCaption, "Vantro Pro Uninstall");
    EXPECT_STREQ(g_commonFiles[3].szCaption, "Vantro Pro Release Notes");
}

TEST_F(Startup, AMissingLogoIsNotPainted)
{
    HostRemoveResource("BITMAP", "VN_BMP");
    int exitCode;
    ASSERT_EQ(InitSetup(GetModuleHandleA(nullptr), nullptr, &exitCode), 1);
    HostPaint(g_hMainWnd);
    HostDialogScript("DLG_INSTALL", {HostClick(IDCANCEL)});
    EXPECT_EQ(RunMessageLoop(), 0);
    ASSERT_EQ(HostBlits().size(), 1u);
    EXPECT_EQ(HostBlits()[0].bitmap, "BRENMOOR");
}

TEST_F(Startup, FailuresToMakeTheWindow)
{
    struct Row {
        const char *name;
        const char *api;
        bool silent;
        int code;
        const char *text;
    } rows[] = {
        {"class, interactive", "RegisterClassA", false, -1, "Window registration failed.\nExit and restart Windows."},
        {"class, unattended", "RegisterClassA", true, -1, nullptr},
        {"window, interactive", "CreateWindowExA", false, 2, "Window creation failed.\nExit and restart Windows."},
        {"window, unattended", "CreateWindowExA", true, 2, nullptr},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        MachineTest::TearDown();
        MachineTest::SetUp();
        if (row.silent) Options("[INSTALL]\r\nQUIET=1\r\n");
        HostFailCall(row.api, 1, 8);
        if (row.text) HostAnswerMessageBox(IDOK);  // the warning has OK alone
        EXPECT_EQ(RunSetup(), row.code);
        // The run's folder goes with it.
        WIN32_FIND_DATAA found;
        HANDLE search = FindFirstFileA("C:\\TEMP\\VNS*", &found);
        EXPECT_EQ(search, INVALID_HANDLE_VALUE) << found.cFileName;
        if (search != INVALID_HANDLE_VALUE) FindClose(search);
        if (!row.text) {
            EXPECT_TRUE(HostMessageBoxes().empty());
            continue;
        }
        ASSERT_EQ(HostMessageBoxes().size(), 1u);
        const HostMessageBox &box = HostMessageBoxes()[0];
        EXPECT_EQ(box.text, row.text);
        EXPECT_TRUE(box.nullCaption);
        EXPECT_EQ(box.owner, nullptr);
        EXPECT_EQ(box.type, (unsigned)(MB_OK | MB_ICONWARNING));
    }
}
