// Reading Install.ini's [INSTALL] keys into the option flags.
#include "app/options.h"

#include "app/messages.h"

int g_bLogging;
int g_bAllowReboot = 1;
int g_bSilent;
int g_bNoPass;
int gbInstallBonusPack = 1;
int g_iconLocation;
int g_bExplore = 1;
char g_szLine1[OPTION_TEXT_SIZE];
char g_szLine2[OPTION_TEXT_SIZE];
char g_szIniFile[INI_PATH_SIZE];
char g_szEmbeddedIni[INI_PATH_SIZE];

static const char kOptionsName[] = "\\install.ini";

// Joins a folder and "\install.ini" into g_szIniFile when it fits and the file
// exists; returns 1 then.
static int TryOptionsFile(const char *folder, int folderLength)
{
    // A root such as "C:\" already ends with the separator.
    const char *name = kOptionsName;
    if (folderLength > 0 && folder[folderLength - 1] == '\\') name++;
    if (folderLength + lstrlenA(name) >= INI_PATH_SIZE) return 0;
    lstrcpynA(g_szIniFile, folder, folderLength + 1);
    lstrcatA(g_szIniFile, name);
    if (GetFileAttributesA(g_szIniFile) != INVALID_FILE_ATTRIBUTES) return 1;
    g_szIniFile[0] = 0;
    return 0;
}

int FindInstallOptions(void)
{
    char path[INI_PATH_SIZE];
    g_szIniFile[0] = 0;
    // The executable's own options come first.
    if (g_szEmbeddedIni[0] && GetFileAttributesA(g_szEmbeddedIni) != INVALID_FILE_ATTRIBUTES) {
        lstrcpyA(g_szIniFile, g_szEmbeddedIni);
        return 1;
    }
    DWORD n = GetModuleFileNameA(NULL, path, sizeof path);
    if (n > 0 && n < sizeof path) {
        int slash = -1;
        for (int i = 0; path[i]; i++)
            if (path[i] == '\\') slash = i;
        if (slash >= 0 && TryOptionsFile(path, slash)) return 1;
    }
    g_szIniFile[0] = 0;
    return 0;
}

static int IsTrueText(const char *value) { return lstrcmpiA(value, "TRUE") == 0 || lstrcmpA(value, "1") == 0; }
static int IsFalseText(const char *value) { return lstrcmpiA(value, "FALSE") == 0 || lstrcmpA(value, "0") == 0; }

// Reads one [INSTALL] key with its default into `value` (261 characters).
static void ReadOption(const char *key, const char *def, char *value)
{
    GetPrivateProfileStringA("INSTALL", key, def, value, INI_PATH_SIZE, g_szIniFile);
}

static void LogFlag(const char *format, int value)
{
    char line[64];
    wsprintfA(line, format, value);
    SetupLog(line);
}

void ReadInstallOptions(void)
{
    char value[INI_PATH_SIZE];
    char line[OPTION_TEXT_SIZE + 32];

    FindInstallOptions();
    if (g_szIniFile[0] == 0 || GetFileAttributesA(g_szIniFile) == INVALID_FILE_ATTRIBUTES) {
        g_bLogging = 0;
        g_bAllowReboot = 1;
        g_bSilent = 0;
        g_bNoPass = 0;
        gbInstallBonusPack = 1;
        g_iconLocation = 0;
        g_bExplore = 1;
        g_szLine1[0] = 0;
        g_szLine2[0] = 0;
        return;
    }

    // LOGGING and EXPLORER are on for anything but a false value; the others
    // only for a true one. LOGGING comes first, so it decides the log lines.
    ReadOption("LOGGING", "FALSE", value);
    g_bLogging = !IsFalseText(value);
    ReadOption("ALLOWRBT", "FALSE", value);
    g_bAllowReboot = IsTrueText(value);
    ReadOption("QUIET", "FALSE", value);
    g_bSilent = IsTrueText(value);
    LogFlag("g_bSilent=%d", g_bSilent);
    ReadOption("NOPASSWORD", "FALSE", value);
    g_bNoPass = IsTrueText(value);
    LogFlag("g_bNoPass=%d", g_bNoPass);
    ReadOption("BONUS", "TRUE", value);
    gbInstallBonusPack = IsTrueText(value);
    LogFlag("gbInstallBonusPack=%d", gbInstallBonusPack);
    ReadOption("DESKTOP", "TRUE", value);
    g_iconLocation = IsTrueText(value) ? 0 : 1;
    LogFlag("g_iconLocation=%d", g_iconLocation);
    ReadOption("EXPLORER", "TRUE", value);
    g_bExplore = !IsFalseText(value);
    LogFlag("g_bExplore=%d", g_bExplore);

    GetPrivateProfileStringA("Install", "LINE1", "", g_szLine1, OPTION_TEXT_SIZE, g_szIniFile);
    GetPrivateProfileStringA("Install", "LINE2", "", g_szLine2, OPTION_TEXT_SIZE, g_szIniFile);
    wsprintfA(line, "g_szLine1=\"%s\"", g_szLine1);
    SetupLog(line);
    wsprintfA(line, "g_szLine2=\"%s\"", g_szLine2);
    SetupLog(line);
}
