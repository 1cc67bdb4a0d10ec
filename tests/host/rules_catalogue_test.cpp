// Every row of the five install tables as the product ships it: the payload it
// comes from, its names, its caption, whether it gets an icon and whether it is
// indispensable.
#include <string.h>

#include <vector>

#include "app/main.h"
#include "payload/catalogue.h"
#include "rules_fixture.h"

namespace {

// The tables as built, taken before any test runs (an install on NT 3.x changes
// three flags of the common table for the rest of the process).
std::vector<CatalogueEntry> Snapshot()
{
    std::vector<CatalogueEntry> all;
    for (const RulesTable &t : kRulesTables) all.insert(all.end(), t.rows, t.rows + t.count);
    return all;
}
const std::vector<CatalogueEntry> kAsBuilt = Snapshot();

struct Row {
    const char *resource;     // the payload's resource name
    const char *file;         // szFile
    const char *installFile;  // szInstallFile
    const char *caption;      // literal caption, or the text loaded at start-up
    int icon, required;
};

// Table, row by row, in resource-index order.
const Row kRows[] = {
    // classic interface, indexes 0-3
    {"EXEFILE2", "tclassic.exe", "tclassic.exe", "Vantro Pro", 1, 1},
    {"DLLFILE1", "tcore32.dll", "tcore32.dll", "", 0, 1},
    {"CNTFILE1", "tcore32.cnt", "TCore32.cnt", "", 0, 0},
    {"HLPFILE1", "tcore32.hlp", "tcore32.hlp", "Vantro Pro Help", 1, 1},
    // Explorer interface, 4-8
    {"DLLFILE2", "shellext.dll", "shellext.dll", "", 0, 1},
    {"DLLFILE3", "navhook.dll", "navhook.dll", "", 0, 0},
    {"CNTFILE2", "navhelp.cnt", "navhelp.cnt", "", 0, 0},
    {"HLPFILE2", "navhelp.hlp", "navhelp.hlp", "Vantro Pro Explorer Help", 1, 0},
    {"TXTFILE2", "shellext.txt", "shellext.txt", "Vantro Pro Explorer Release Notes", 0, 0},
    // FTP utilities, 9-28
    {"EXEFILE3", "tscript.exe", "tscript.exe", "Vantro Scripting Utility", 1, 1},
    {"CNTFILE3", "tscript.cnt", "tscript.cnt", "", 0, 0},
    {"HLPFILE3", "tscript.hlp", "tscript.hlp", "Vantro Scripting Help", 1, 0},
    {"TXTFILE3", "tscript.txt", "tscript.txt", "Vantro Scripting Release Notes", 0, 0},
    {"EXEFILE1", "tfind.exe", "tfind.exe", "Vantro Find Utility", 1, 1},
    {"CNTFILE5", "tfind.cnt", "tfind.cnt", "", 0, 0},
    {"HLPFILE5", "tfind.hlp", "tfind.hlp", "Vantro Find Help", 1, 0},
    {"TXTFILE4", "tfind.txt", "tfind.txt", "Vantro Find Release Notes", 0, 0},
    {"EXEFILE4", "tsync.exe", "tsync.exe", "Vantro Synchronize Utility", 1, 1},
    {"DLLFILE4", "tsynclib.dll", "tsynclib.dll", "", 0, 1},
    {"CNTFILE4", "tsync.cnt", "tsync.cnt", "", 0, 0},
    {"HLPFILE4", "tsync.hlp", "tsync.hlp", "Vantro Synchronize Help", 1, 0},
    {"TXTFILE5", "tsync.txt", "tsync.txt", "Vantro Synchronize Release Notes", 0, 0},
    {"EXEFILE6", "tqueue.exe", "tqueue.exe", "Vantro Queuing Utility", 1, 1},
    {"EXEFILE7", "tsched.exe", "tsched.exe", "", 0, 1},
    {"CNTFILE6", "tqueue.cnt", "tqueue.cnt", "", 0, 0},
    {"HLPFILE7", "tqueue.hlp", "tqueue.hlp", "Vantro Queue Help", 1, 0},
    {"TXTFILE7", "tqueue.txt", "tqueue.txt", "Vantro Queue Release Notes", 0, 0},
    {"EXEFILE8", "turl.exe", "turl.exe", "", 0, 1},
    {"DLLFILE6", "vnbho2k0.dll", "vnbho2k0.dll", "", 0, 1},
    // common files, 29-46
    {"EXEFILE5", "tlink.exe", "tlink.exe", "Vantro Icon Placement", 1, 1},
    {"DLLFILE5", "tstub.dll", "tstub.dll", "", 0, 1},
    {"REMOVEFILE", "uninst32.exe", "uninst32.exe", "Vantro Pro Uninstall", 1, 0},
    {"TXTFILE", "relnotes.txt", "relnotes.txt", "Vantro Pro Release Notes", 1, 0},
    {"HLPFILE6", "tlink.hlp", "tlink.hlp", "", 0, 0},
    {"TXTFILE6", "tcore32.pdf", "tcore32.pdf", "Vantro Pro Manual", 1, 0},
    {"ORDER", "orderfrm.wri", "orderfrm.wri", "", 0, 0},
    {"LICENSE", "terms.wri", "terms.wri", "", 0, 0},
    {"WAVE2", "linkup.wav", "linkup.wav", "", 0, 0},
    {"WAVE3", "fault.wav", "fault.wav", "", 0, 0},
    {"WAVE1", "done.wav", "done.wav", "", 0, 0},
    {"DATFILE1", "seed.dat", "seed.dat", "", 0, 1},
    {"SSLKEY1", "peer.key", "peer.key", "", 0, 0},
    {"SSLCRT1", "peer.crt", "peer.crt", "", 0, 0},
    {"SSLCRT2", "brenmoor.crt", "brenmoor.crt", "", 0, 0},
    {"DLLFILE7", "secsvc.dll", "secsvc.dll", "", 0, 1},
    {"SSLHLP", "secsvc.hlp", "secsvc.hlp", "", 0, 0},
    {"SSLCNT", "secsvc.cnt", "secsvc.cnt", "", 0, 0},
    // configuration and topic site lists, 47-55
    {"INIFILE1", "Vantro.IN_", "Vantro.ini", "", 0, 0},
    {"INIFILE2", "scanners.ini", "scanners.ini", "", 0, 0},
    {"INIFILE3", "collects.ini", "collects.ini", "", 0, 0},
    {"INIFILE4", "playtime.ini", "playtime.ini", "", 0, 0},
    {"INIFILE5", "devices.ini", "devices.ini", "", 0, 0},
    {"INIFILE6", "brenmoor.ini", "brenmoor.ini", "", 0, 0},
    {"INIFILE7", "services.ini", "services.ini", "", 0, 0},
    {"INIFILE8", "programs.ini", "programs.ini", "", 0, 0},
    {"INIFILE9", "publicag.ini", "publicag.ini", "", 0, 0},
};

class RulesCatalogue : public RulesTest {};

TEST_F(RulesCatalogue, EveryRowAsShipped)
{
    ASSERT_EQ(sizeof kRows / sizeof kRows[0], 56u);
    ASSERT_EQ(kAsBuilt.size(), 56u);
    // The captions that come from the string table are filled by the main window.
    LoadCatalogueCaptions();
    size_t index = 0;
    for (const RulesTable &t : kRulesTables) {
        ASSERT_EQ(t.first, (int)index) << t.name;
        for (int i = 0; i < t.count; i++, index++) {
            const Row &row = kRows[index];
            const CatalogueEntry &built = kAsBuilt[index];
            SCOPED_TRACE(std::string(t.name) + " row " + std::to_string(i) + " " + row.installFile);
            EXPECT_STREQ(g_payloadResources[index].szResName, row.resource);
            EXPECT_STREQ(built.szFile, row.file);
            EXPECT_STREQ(built.szInstallFile, row.installFile);
            EXPECT_STREQ(t.rows[i].szCaption, row.caption);
            EXPECT_EQ(built.bIcon, (DWORD)row.icon);
            EXPECT_EQ(built.bRequired, (DWORD)row.required);
            EXPECT_EQ(built.dwState, 0u);
            EXPECT_EQ(built.iResult, 0);
        }
    }
    EXPECT_STREQ(g_payloadResources[56].szResName, "INSTINI");
}

}  // namespace
