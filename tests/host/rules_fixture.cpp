#include "rules_fixture.h"

#include "app/main.h"
#include "controller/dialogs.h"
#include "payload/catalogue.h"

const char *const RulesTest::kRestartPrompt =
    "Installation successful!\n\nInstall now needs to restart your computer to complete changes to your system "
    "files.\nSelect \"OK\" to restart now, or cancel to restart your system yourself.";
const char *const RulesTest::kDest = "C:\\Program Files\\Vantro Pro";

const RulesTable kRulesTables[5] = {
    {"classic", g_classicFiles, CLASSIC_COUNT, 0},  {"explorer", g_explorerFiles, EXPLORER_COUNT, 4},
    {"utility", g_utilityFiles, UTILITY_COUNT, 9},  {"common", g_commonFiles, COMMON_COUNT, 29},
    {"site", g_siteFiles, SITE_COUNT, 47},
};

void RulesTest::SetUp()
{
    MachineTest::SetUp();
    g_bCancelled = 0;
    // An NT 3.x run of another test clears these flags of three common rows;
    // a run on NT 4 needs them as built.
    g_commonFiles[0].bIcon = g_commonFiles[0].bRequired = 1;
    g_commonFiles[1].bIcon = 0;
    g_commonFiles[1].bRequired = 1;
    g_commonFiles[4].bIcon = g_commonFiles[4].bRequired = 0;
}

void RulesTest::TearDown()
{
    EXPECT_TRUE(HostDialogErrors().empty());
    HostOnIdle(nullptr);
    MachineTest::TearDown();
}

void RulesTest::Options(const std::string &text) { ASSERT_TRUE(HostWriteFile("C:\\SETUP\\Install.ini", text)); }

void RulesTest::ScriptInteractive(std::vector<HostDialogStep> components, bool componentsEnd)
{
    HostDialogScript("DLG_INSTALL", {HostClick(IDOK)});
    HostDialogScript("DLG_GETDIR", {HostClick(IDOK)});
    if (componentsEnd) components.push_back(HostClick(IDOK));
    HostDialogScript("DLG_VERS_32", components);
    // After the files: the proposed group, and the icon placement as proposed
    // (asked only on a first install of the Explorer interface).
    HostDialogScript("DLG_GETGROUP", {HostClick(IDOK)});
    HostDialogScript("#307", {HostClick(IDOK)});
}

bool RulesTest::DestHas(const char *name) const { return HostFileExists((std::string(kDest) + "\\" + name).c_str()); }

std::string RulesTest::Dest(const char *name) const { return ReadText((std::string(kDest) + "\\" + name).c_str()); }

std::string RulesTest::Record(const char *key) const
{
    char value[256];
    GetProfileStringA("Vantro", key, "(none)", value, sizeof value);
    return value;
}

HWND RulesTest::MainWindow() const
{
    for (const HostWindowInfo &w : HostWindows())
        if (w.className == "VNInstal") return w.wnd;
    return nullptr;
}

void RulesTest::ExpectNothingShown() const
{
    EXPECT_TRUE(HostMessageBoxes().empty());
    EXPECT_TRUE(HostDialogsShown().empty());
    for (const HostWindowInfo &w : HostWindows()) EXPECT_FALSE(w.everShown) << w.className << " " << w.title;
}

void RulesTest::FreshSequence()
{
    MachineTest::TearDown();
    SetUp();
    SetCurrentDirectoryA("C:\\TEMP");
    lstrcpyA(g_szTempName, "WFT9.TMP");
    HostMakeFolder(kDest);
}
