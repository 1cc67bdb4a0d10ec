// The payload catalogue: the resources the executable carries, in resource-index
// order, and the five tables of files to install, grouped by the component that
// brings them. A catalogue row finds its payload by arithmetic: the first
// resource index of its table plus its row number.
#ifndef VANTRO_CATALOGUE_H
#define VANTRO_CATALOGUE_H

#include "platform.h"

struct PayloadResource {
    const char *szResName;      // resource of type "EXE" holding the payload
    const char *szResType;      // always "EXE"
    const char *szPackedName;   // the installed name with its last character "_"
    const char *szCleanupName;  // deleted from the temporary folder at exit
};

struct CatalogueEntry {
    const char *szFile;         // catalogue name: failure texts, removal
    const char *szInstallFile;  // name written into the destination folder
    const char *szCaption;      // icon caption, "" for none
    DWORD bIcon;                // 1: gets a Program Manager icon
    DWORD bRequired;            // 1: indispensable
    DWORD dwState;              // FILE_* bits gained in this run
    int iResult;                // last InstallFile result (0 installed, 1 not)
};

// Run-time states of a catalogue row, only ever OR-ed in.
#define FILE_INSTALLED 0x1
#define FILE_ICON 0x2
#define FILE_REGISTERED 0x4
#define FILE_FAILED 0x8

#define PAYLOAD_COUNT 57
#define CLASSIC_COUNT 4
#define EXPLORER_COUNT 5
#define UTILITY_COUNT 20
#define COMMON_COUNT 18
#define SITE_COUNT 9

// First resource index of each catalogue table.
#define CLASSIC_FIRST 0
#define EXPLORER_FIRST 4
#define UTILITY_FIRST 9
#define COMMON_FIRST 29
#define SITE_FIRST 47
// The embedded options file, written by start-up only.
#define PAYLOAD_INSTINI 56

extern const PayloadResource g_payloadResources[PAYLOAD_COUNT];
extern CatalogueEntry g_classicFiles[CLASSIC_COUNT];
extern CatalogueEntry g_explorerFiles[EXPLORER_COUNT];
extern CatalogueEntry g_utilityFiles[UTILITY_COUNT];
extern CatalogueEntry g_commonFiles[COMMON_COUNT];
extern CatalogueEntry g_siteFiles[SITE_COUNT];

// Icon captions filled from the string table when the main window is created.
#define CAPTION_SIZE 256
extern char g_szHelpCaption[CAPTION_SIZE];          // tcore32.hlp
extern char g_szExplorerHelpCaption[CAPTION_SIZE];  // navhelp.hlp
extern char g_szIconPlacementCaption[CAPTION_SIZE]; // tlink.exe
extern char g_szUninstallCaption[CAPTION_SIZE];     // uninst32.exe
extern char g_szRelNotesCaption[CAPTION_SIZE];      // relnotes.txt

// Loads the five caption buffers from the string table.
void LoadCatalogueCaptions(void);

#endif
