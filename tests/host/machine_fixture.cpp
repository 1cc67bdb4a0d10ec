#include "machine_fixture.h"

#include <stdlib.h>
#include <unistd.h>

#include "app/deferred.h"
#include "app/main.h"
#include "app/options.h"
#include "payload/catalogue.h"

void ResetInstallerState()
{
    g_bLogging = 0;
    g_bAllowReboot = 1;
    g_bSilent = 0;
    g_bNoPass = 0;
    gbInstallBonusPack = 1;
    g_iconLocation = 0;
    g_bExplore = 1;
    g_szLine1[0] = g_szLine2[0] = g_szIniFile[0] = 0;
    g_hInstance = nullptr;
    g_szTempName[0] = 0;
    g_bWinNT = g_winMajor = g_winMinor = nV = nM = 0;
    g_hMainWnd = g_hStatusWnd = nullptr;
    g_bRebootNeeded = 0;
    CatalogueEntry *tables[] = {g_classicFiles, g_explorerFiles, g_utilityFiles, g_commonFiles, g_siteFiles};
    int counts[] = {CLASSIC_COUNT, EXPLORER_COUNT, UTILITY_COUNT, COMMON_COUNT, SITE_COUNT};
    for (int t = 0; t < 5; t++)
        for (int i = 0; i < counts[t]; i++) {
            tables[t][i].dwState = 0;
            tables[t][i].iResult = 0;
        }
}

void MachineTest::SetUp()
{
    char tmpl[] = "/tmp/vantro-host-XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    root_ = tmpl;
    HostReset(root_.c_str());
    ResetInstallerState();
}

void MachineTest::TearDown()
{
    // Whatever the layer had to decide because the test did not say fails it.
    for (const std::string &problem : HostProblems()) ADD_FAILURE() << "unscripted: " << problem;
    HostClearProblems();
    if (!HasFailure()) {
        std::string cmd = "rm -rf '" + root_ + "'";
        if (system(cmd.c_str()) != 0) ADD_FAILURE() << "cannot remove " << root_;
    }
}

int RunSetup()
{
    return WinMain(GetModuleHandleA(nullptr), nullptr, (LPSTR) "", SW_SHOWNORMAL);
}

std::string ReadText(const char *winPath)
{
    std::string text;
    if (!HostReadFile(winPath, text)) return "";
    return text;
}
