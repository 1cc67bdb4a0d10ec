// A component the user (or the options file) leaves out brings none of its
// files; without the classic interface only its indispensable files that are
// missing come along, so that the other interface finds them.
#include "app/main.h"
#include "app/options.h"
#include "rules_fixture.h"

namespace {

const char *const kUtilityFiles[] = {
    "tscript.exe", "tscript.cnt", "tscript.hlp", "tscript.txt", "tfind.exe",  "tfind.cnt",  "tfind.hlp",
    "tfind.txt",   "tsync.exe",   "tsynclib.dll", "tsync.cnt",  "tsync.hlp",  "tsync.txt",  "tqueue.exe",
    "tsched.exe",  "tqueue.cnt",  "tqueue.hlp",  "tqueue.txt",  "turl.exe",   "vnbho2k0.dll"};
const char *const kExplorerFiles[] = {"shellext.dll", "navhook.dll", "navhelp.cnt", "navhelp.hlp", "shellext.txt"};
// The utility and Explorer files the executable as built carries (the release
// notes rows name resources it does not carry).
const char *const kCarriedUtilityFile = "tscript.exe";
const char *const kCarriedExplorerFile = "shellext.dll";
const char *const kClassicRequired[] = {"tclassic.exe", "tcore32.dll", "tcore32.hlp"};

class RulesComponents : public RulesTest {};

TEST_F(RulesComponents, ComponentsLeftOutBringNoFiles)
{
    struct Row {
        const char *name;
        const char *options;                // null: interactive
        std::vector<HostDialogStep> boxes;  // interactive: what the user unchecks
        bool utilities, explorer;           // expected installed
    };
    const Row rows[] = {
        {"utilities unchecked", nullptr, {HostUncheck(2418)}, false, true},
        {"Explorer interface unchecked", nullptr, {HostUncheck(2417)}, true, false},
        {"both unchecked", nullptr, {HostUncheck(2417), HostUncheck(2418)}, false, false},
        {"everything proposed", nullptr, {}, true, true},
        {"BONUS false, unattended", "[INSTALL]\r\nQUIET=1\r\nBONUS=FALSE\r\n", {}, false, true},
        {"BONUS 0, unattended", "[INSTALL]\r\nQUIET=1\r\nBONUS=0\r\n", {}, false, true},
        {"EXPLORER false, unattended", "[INSTALL]\r\nQUIET=1\r\nEXPLORER=false\r\n", {}, true, false},
        {"unattended defaults", "[INSTALL]\r\nQUIET=1\r\n", {}, true, true},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        MachineTest::TearDown();
        SetUp();
        if (row.options) {
            Options(row.options);
        } else {
            ScriptInteractive(row.boxes);
            HostAnswerMessageBox(IDOK);  // the closing congratulations
        }
        EXPECT_EQ(RunSetup(), 0);
        EXPECT_TRUE(DestHas("tclassic.exe"));  // the install itself went through
        EXPECT_EQ(Record("INSTOPTS"), "12");
        for (const char *file : kUtilityFiles)
            if (!row.utilities) {
                EXPECT_FALSE(DestHas(file)) << file;
            }
        for (const char *file : kExplorerFiles)
            if (!row.explorer) {
                EXPECT_FALSE(DestHas(file)) << file;
            }
        EXPECT_EQ(DestHas(kCarriedUtilityFile), row.utilities);
        EXPECT_EQ(DestHas(kCarriedExplorerFile), row.explorer);
        EXPECT_EQ(HostMessageBoxes().size(), row.options ? 0u : 1u);
    }
}

TEST_F(RulesComponents, ExplorerOnlyInstallTakesOnlyMissingRequiredClassicFiles)
{
    struct Row {
        const char *name;
        bool classicPresent;
    } rows[] = {{"classic files missing", false}, {"classic files present", true}};
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        MachineTest::TearDown();
        SetUp();
        if (row.classicPresent) {
            HostMakeFolder(kDest);
            for (const char *file : kClassicRequired)
                HostWriteFile((std::string(kDest) + "\\" + file).c_str(), "earlier");
        }
        ScriptInteractive({HostUncheck(1880), HostUncheck(2418)});
        HostAnswerMessageBox(IDCANCEL);
        EXPECT_EQ(RunSetup(), 0);
        ASSERT_EQ(HostMessageBoxes().size(), 1u);
        EXPECT_EQ(HostMessageBoxes()[0].text, kRestartPrompt);
        for (const char *file : kClassicRequired) {
            EXPECT_TRUE(DestHas(file)) << file;
            // Present ones are not installed again.
            EXPECT_EQ(Dest(file) == "earlier", row.classicPresent) << file;
        }
        EXPECT_FALSE(DestHas("TCore32.cnt"));  // not required
        EXPECT_TRUE(DestHas("shellext.dll"));
        // The Explorer interface alone still writes the configuration.
        EXPECT_TRUE(DestHas("Vantro.ini"));
        EXPECT_TRUE(DestHas("scanners.ini"));
        for (const char *file : kUtilityFiles) EXPECT_FALSE(DestHas(file)) << file;
    }
}

}  // namespace
