#include "machine_fixture.h"

#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include "app/deferred.h"
#include "app/libraries.h"
#include "app/main.h"
#include "app/options.h"
#include "app/outcome.h"
#include "app/workfolder.h"
#include "controller/dialogs.h"
#include "payload/catalogue.h"

namespace {

// The catalogue tables as the program starts with them. Start-up rewrites rows
// in place (the old-NT step changes bIcon and bRequired, every install sets
// dwState and iResult), so each test gets them back from this copy, taken
// before any test ran.
struct PristineCatalogue {
    CatalogueEntry classic[CLASSIC_COUNT];
    CatalogueEntry explorer[EXPLORER_COUNT];
    CatalogueEntry utility[UTILITY_COUNT];
    CatalogueEntry common[COMMON_COUNT];
    CatalogueEntry site[SITE_COUNT];
    PristineCatalogue()
    {
        memcpy(classic, g_classicFiles, sizeof classic);
        memcpy(explorer, g_explorerFiles, sizeof explorer);
        memcpy(utility, g_utilityFiles, sizeof utility);
        memcpy(common, g_commonFiles, sizeof common);
        memcpy(site, g_siteFiles, sizeof site);
    }
    void Restore() const
    {
        memcpy(g_classicFiles, classic, sizeof classic);
        memcpy(g_explorerFiles, explorer, sizeof explorer);
        memcpy(g_utilityFiles, utility, sizeof utility);
        memcpy(g_commonFiles, common, sizeof common);
        memcpy(g_siteFiles, site, sizeof site);
    }
};
const PristineCatalogue g_pristineCatalogue;

}  // namespace

void ResetInstallerState()
{
    // Options (app/options.cpp): as before any options file was read.
    g_bLogging = 0;
    g_bAllowReboot = 1;
    g_bSilent = 0;
    g_bNoPass = 0;
    gbInstallBonusPack = 1;
    g_iconLocation = 0;
    g_bExplore = 1;
    g_szLine1[0] = g_szLine2[0] = g_szIniFile[0] = g_szEmbeddedIni[0] = 0;
    // Start-up and the platform it found (app/main.cpp).
    g_hInstance = nullptr;
    g_szTempName[0] = 0;
    g_bWinNT = g_winMajor = g_winMinor = nV = nM = 0;
    g_hMainWnd = g_hStatusWnd = nullptr;
    // The run's flags (app/deferred.cpp, controller/dialogs.cpp).
    g_bRebootNeeded = 0;
    g_bDeferredStored = 0;
    g_bCancelled = 0;
    g_exitCode = 0;
    g_szOutcome[0] = 0;
    // The run's folders (app/workfolder.cpp): none yet.
    g_szTempFolder[0] = g_szWorkFolder[0] = 0;
    g_bPrivateFolder = 0;
    g_bSearchRestricted = 0;
    g_hWorkFolder = INVALID_HANDLE_VALUE;
    // The catalogue and its captions (payload/catalogue.cpp).
    g_pristineCatalogue.Restore();
    g_szHelpCaption[0] = g_szExplorerHelpCaption[0] = g_szIconPlacementCaption[0] = 0;
    g_szUninstallCaption[0] = g_szRelNotesCaption[0] = 0;
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
