// The client's configuration file and the topic site lists on a reinstall: when
// the user is asked, what is never overwritten, and how a failure of the
// configuration step or a Cancel there ends.
#include "app/main.h"
#include "controller/dialogs.h"
#include "payload/catalogue.h"
#include "payload/sequence.h"
#include "rules_fixture.h"

namespace {

const char *const kTopicLists[] = {"scanners.ini", "collects.ini", "playtime.ini", "devices.ini",
                                   "brenmoor.ini", "services.ini", "programs.ini", "publicag.ini"};
const char kEarlierConfig[] = "[MySites]\r\nFILENAME=C:\\Program Files\\Vantro Pro\\original.ini\r\n"
                              "[_config_]\r\nMAILADDR=me@example.net\r\nSITE=mine\r\n";

class RulesSiteLists : public RulesTest {
protected:
    void Put(const char *name, const char *text)
    {
        HostMakeFolder(kDest);
        HostWriteFile((std::string(kDest) + "\\" + name).c_str(), text);
    }
    // A complete earlier installation: every file of the product in place.
    void CompleteInstall()
    {
        ScriptInteractive();
        HostAnswerMessageBox(IDOK);
        ASSERT_EQ(RunSetup(), 0);
        ASSERT_TRUE(DestHas("publicag.ini"));
        ResetInstallerState();
        g_bCancelled = 0;
        HostStartProcess();
    }
};

TEST_F(RulesSiteLists, WhenTheQuestionIsAskedAndWhatIsKept)
{
    struct Row {
        const char *name;
        bool complete;          // a complete installation first (its own lists)
        bool earlierConfig;     // otherwise: an earlier Vantro.ini of the user's
        const char *present[3]; // files of the user's before the run (name, then text)
        int answer;             // 0: the question must not come
        bool merged;            // a fresh Vantro.ini from the template
    } rows[] = {
        {"complete install with scanners.ini", true, false, {nullptr}, 0, false},
        {"Vantro.ini and scanners.ini only", false, true, {"scanners.ini", nullptr}, 0, false},
        {"Vantro.ini and original.ini only", false, true, {"original.ini", nullptr}, 0, false},
        {"first install next to the user's own lists", false, false, {"collects.ini", "publicag.ini", nullptr}, 0,
         true},
        {"lists deleted but two, Yes", false, true, {"collects.ini", "publicag.ini", nullptr}, IDYES, true},
        {"lists deleted but two, No", false, true, {"collects.ini", "publicag.ini", nullptr}, IDNO, false},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        MachineTest::TearDown();
        SetUp();
        if (row.complete) CompleteInstall();
        if (row.earlierConfig) Put("Vantro.ini", kEarlierConfig);
        for (const char *const *p = row.present; *p; p++) Put(*p, "[mine]\r\n");
        std::string config = Dest("Vantro.ini");
        std::vector<std::string> listsBefore;
        for (const char *list : kTopicLists) listsBefore.push_back(Dest(list));

        ScriptInteractive();
        if (row.answer) HostAnswerMessageBox(row.answer);
        HostAnswerMessageBox(IDCANCEL);  // the closing restart prompt: not now
        EXPECT_EQ(RunSetup(), 0);
        size_t boxes = row.answer ? 2 : 1;
        ASSERT_EQ(HostMessageBoxes().size(), boxes);
        if (row.answer) {
            // Asked over the main window.
            const HostMessageBox &question = HostMessageBoxes()[0];
            EXPECT_EQ(question.caption, "Vantro Sites");
            EXPECT_EQ(question.type, (unsigned)(MB_YESNO | MB_ICONQUESTION));
            HWND main = MainWindow();
            EXPECT_NE(main, nullptr);
            EXPECT_EQ(question.owner, main);
        }
        EXPECT_EQ(HostMessageBoxes()[boxes - 1].text, kRestartPrompt);

        // An existing topic list is never overwritten.
        for (size_t i = 0; i < 8; i++) {
            if (!listsBefore[i].empty()) {
                EXPECT_EQ(Dest(kTopicLists[i]), listsBefore[i]) << kTopicLists[i];
            } else {
                EXPECT_EQ(DestHas(kTopicLists[i]), row.merged) << kTopicLists[i];
            }
        }
        if (row.merged) {
            EXPECT_NE(Dest("Vantro.ini").find("FILENAME=C:\\Program Files\\Vantro Pro\\original.ini"),
                      std::string::npos);
            if (row.answer == IDYES) {
                EXPECT_EQ(Dest("original.ini"), "[_config_]\r\nMAILADDR=me@example.net\r\nSITE=mine\r\n");
            }
        } else {
            EXPECT_EQ(Dest("Vantro.ini"), config);
        }
    }
}

TEST_F(RulesSiteLists, AFailedRenameMeansNoMerge)
{
    Put("Vantro.ini", kEarlierConfig);
    // Another program has the configuration open: it cannot be renamed.
    ASSERT_TRUE(HostHoldFile((std::string(kDest) + "\\Vantro.ini").c_str(), FILE_SHARE_READ | FILE_SHARE_WRITE, false));
    ScriptInteractive();
    HostAnswerMessageBox(IDYES);
    HostAnswerMessageBox(IDCANCEL);
    EXPECT_EQ(RunSetup(), 0);
    ASSERT_EQ(HostMessageBoxes().size(), 2u);
    EXPECT_EQ(HostMessageBoxes()[0].caption, "Vantro Sites");
    // The install goes on and succeeds; nothing of the site lists was written.
    EXPECT_EQ(HostMessageBoxes()[1].text, kRestartPrompt);
    EXPECT_EQ(Dest("Vantro.ini"), kEarlierConfig);
    EXPECT_FALSE(DestHas("original.ini"));
    for (const char *list : kTopicLists) EXPECT_FALSE(DestHas(list)) << list;
    EXPECT_EQ(Record("INSTOPTS"), "12");
}

TEST_F(RulesSiteLists, ATemplateThatCannotBeWrittenLeavesItsTextAndGoesOn)
{
    struct Row {
        const char *name;
        void (*spoil)();
    } rows[] = {
        {"template missing", [] { HostRemoveResource("EXE", "INIFILE1"); }},
        {"template empty", [] { HostSetResource("EXE", "INIFILE1", ""); }},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        FreshSequence();
        row.spoil();
        char failure[512];
        DWORD report = 0x12345678;
        int result = RunInstallSequence("C:\\TEMP\\", kDest, 0x1 | 0x2 | 0x4 | 0x10000000, &report, nullptr, nullptr, failure);
        EXPECT_NE(result, 0);
        EXPECT_STREQ(failure, "Failed to install INI files.");
        EXPECT_TRUE(report & 0x1);
        EXPECT_FALSE(report & 0x8);
        // The phase ended: no topic list either.
        for (const char *list : kTopicLists) EXPECT_FALSE(DestHas(list)) << list;
        EXPECT_TRUE(HostMessageBoxes().empty());
    }
}

// The user presses the status window's Cancel once the configuration file is
// written, while the first topic list is being copied.
void CancelDuringTheSiteLists()
{
    static bool pressed;
    if (!HostFileExists("C:\\Program Files\\Vantro Pro\\Vantro.ini")) {
        pressed = false;
        return;
    }
    if (pressed) return;
    pressed = true;
    PostMessageA(HostOpenDialog("DLG_COPY"), WM_COMMAND, IDCANCEL, 0);
}

TEST_F(RulesSiteLists, CancelDuringTheSiteListsStopsThere)
{
    HostOnIdle(CancelDuringTheSiteLists);
    ScriptInteractive();
    HostAnswerMessageBox(IDOK);  // the failure message
    EXPECT_EQ(RunSetup(), 0);
    EXPECT_EQ(g_bCancelled, 1);
    EXPECT_TRUE(DestHas("Vantro.ini"));
    EXPECT_TRUE(DestHas("scanners.ini"));  // the file being copied finishes
    for (int i = 1; i < 8; i++) EXPECT_FALSE(DestHas(kTopicLists[i])) << kTopicLists[i];
    ASSERT_EQ(HostMessageBoxes().size(), 1u);
    EXPECT_EQ(HostMessageBoxes()[0].text, "Some portion of installation process failed.");
    EXPECT_EQ(Record("DEFDIR"), "(none)");
    EXPECT_EQ(Record("INSTOPTS"), "(none)");
}

}  // namespace
