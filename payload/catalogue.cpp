// The payload resources and the five install tables.
#include "payload/catalogue.h"

#include "app/messages.h"
#include "resource.h"

const PayloadResource g_payloadResources[PAYLOAD_COUNT] = {
#define PAYLOAD_ROW(res, file, packed, carried) {res, "EXE", packed, packed},
#include "payload/payload_rows.inc"
#undef PAYLOAD_ROW
};

char g_szHelpCaption[CAPTION_SIZE];
char g_szExplorerHelpCaption[CAPTION_SIZE];
char g_szIconPlacementCaption[CAPTION_SIZE];
char g_szUninstallCaption[CAPTION_SIZE];
char g_szRelNotesCaption[CAPTION_SIZE];

CatalogueEntry g_classicFiles[CLASSIC_COUNT] = {
    {"tclassic.exe", "tclassic.exe", "Vantro Pro", 1, 1, 0, 0},
    {"tcore32.dll", "tcore32.dll", "", 0, 1, 0, 0},
    {"tcore32.cnt", "TCore32.cnt", "", 0, 0, 0, 0},
    {"tcore32.hlp", "tcore32.hlp", g_szHelpCaption, 1, 1, 0, 0},
};

CatalogueEntry g_explorerFiles[EXPLORER_COUNT] = {
    {"shellext.dll", "shellext.dll", "", 0, 1, 0, 0},
    {"navhook.dll", "navhook.dll", "", 0, 0, 0, 0},
    {"navhelp.cnt", "navhelp.cnt", "", 0, 0, 0, 0},
    {"navhelp.hlp", "navhelp.hlp", g_szExplorerHelpCaption, 1, 0, 0, 0},
    {"shellext.txt", "shellext.txt", "Vantro Pro Explorer Release Notes", 0, 0, 0, 0},
};

CatalogueEntry g_utilityFiles[UTILITY_COUNT] = {
    {"tscript.exe", "tscript.exe", "Vantro Scripting Utility", 1, 1, 0, 0},
    {"tscript.cnt", "tscript.cnt", "", 0, 0, 0, 0},
    {"tscript.hlp", "tscript.hlp", "Vantro Scripting Help", 1, 0, 0, 0},
    {"tscript.txt", "tscript.txt", "Vantro Scripting Release Notes", 0, 0, 0, 0},
    {"tfind.exe", "tfind.exe", "Vantro Find Utility", 1, 1, 0, 0},
    {"tfind.cnt", "tfind.cnt", "", 0, 0, 0, 0},
    {"tfind.hlp", "tfind.hlp", "Vantro Find Help", 1, 0, 0, 0},
    {"tfind.txt", "tfind.txt", "Vantro Find Release Notes", 0, 0, 0, 0},
    {"tsync.exe", "tsync.exe", "Vantro Synchronize Utility", 1, 1, 0, 0},
    {"tsynclib.dll", "tsynclib.dll", "", 0, 1, 0, 0},
    {"tsync.cnt", "tsync.cnt", "", 0, 0, 0, 0},
    {"tsync.hlp", "tsync.hlp", "Vantro Synchronize Help", 1, 0, 0, 0},
    {"tsync.txt", "tsync.txt", "Vantro Synchronize Release Notes", 0, 0, 0, 0},
    {"tqueue.exe", "tqueue.exe", "Vantro Queuing Utility", 1, 1, 0, 0},
    {"tsched.exe", "tsched.exe", "", 0, 1, 0, 0},
    {"tqueue.cnt", "tqueue.cnt", "", 0, 0, 0, 0},
    {"tqueue.hlp", "tqueue.hlp", "Vantro Queue Help", 1, 0, 0, 0},
    {"tqueue.txt", "tqueue.txt", "Vantro Queue Release Notes", 0, 0, 0, 0},
    {"turl.exe", "turl.exe", "", 0, 1, 0, 0},
    {"vnbho2k0.dll", "vnbho2k0.dll", "", 0, 1, 0, 0},
};

CatalogueEntry g_commonFiles[COMMON_COUNT] = {
    {"tlink.exe", "tlink.exe", g_szIconPlacementCaption, 1, 1, 0, 0},
    {"tstub.dll", "tstub.dll", "", 0, 1, 0, 0},
    {"uninst32.exe", "uninst32.exe", g_szUninstallCaption, 1, 0, 0, 0},
    {"relnotes.txt", "relnotes.txt", g_szRelNotesCaption, 1, 0, 0, 0},
    {"tlink.hlp", "tlink.hlp", "", 0, 0, 0, 0},
    {"tcore32.pdf", "tcore32.pdf", "Vantro Pro Manual", 1, 0, 0, 0},
    {"orderfrm.wri", "orderfrm.wri", "", 0, 0, 0, 0},
    {"terms.wri", "terms.wri", "", 0, 0, 0, 0},
    {"linkup.wav", "linkup.wav", "", 0, 0, 0, 0},
    {"fault.wav", "fault.wav", "", 0, 0, 0, 0},
    {"done.wav", "done.wav", "", 0, 0, 0, 0},
    {"seed.dat", "seed.dat", "", 0, 1, 0, 0},
    {"peer.key", "peer.key", "", 0, 0, 0, 0},
    {"peer.crt", "peer.crt", "", 0, 0, 0, 0},
    {"brenmoor.crt", "brenmoor.crt", "", 0, 0, 0, 0},
    {"secsvc.dll", "secsvc.dll", "", 0, 1, 0, 0},
    {"secsvc.hlp", "secsvc.hlp", "", 0, 0, 0, 0},
    {"secsvc.cnt", "secsvc.cnt", "", 0, 0, 0, 0},
};

CatalogueEntry g_siteFiles[SITE_COUNT] = {
    {"Vantro.IN_", "Vantro.ini", "", 0, 0, 0, 0},
    {"scanners.ini", "scanners.ini", "", 0, 0, 0, 0},
    {"collects.ini", "collects.ini", "", 0, 0, 0, 0},
    {"playtime.ini", "playtime.ini", "", 0, 0, 0, 0},
    {"devices.ini", "devices.ini", "", 0, 0, 0, 0},
    {"brenmoor.ini", "brenmoor.ini", "", 0, 0, 0, 0},
    {"services.ini", "services.ini", "", 0, 0, 0, 0},
    {"programs.ini", "programs.ini", "", 0, 0, 0, 0},
    {"publicag.ini", "publicag.ini", "", 0, 0, 0, 0},
};

void LoadCatalogueCaptions(void)
{
    LoadMsgString(MSG_HELP_CAPTION, g_szHelpCaption, CAPTION_SIZE);
    LoadMsgString(MSG_RELNOTES_CAPTION, g_szRelNotesCaption, CAPTION_SIZE);
    LoadMsgString(MSG_UNINSTALL_CAPTION, g_szUninstallCaption, CAPTION_SIZE);
    LoadMsgString(MSG_ICON_PLACEMENT_CAPTION, g_szIconPlacementCaption, CAPTION_SIZE);
    LoadMsgString(MSG_EXPLORER_HELP_CAPTION, g_szExplorerHelpCaption, CAPTION_SIZE);
}
