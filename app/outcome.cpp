// The run's exit code and the log line that names it.
#include "app/outcome.h"

#include "app/messages.h"
#include "app/options.h"

int g_exitCode;
char g_szOutcome[OUTCOME_SIZE];

void SetOutcome(int code, const char *what)
{
    if (!g_bSilent) return;
    g_exitCode = code;
    lstrcpynA(g_szOutcome, what, sizeof g_szOutcome);
}

void LogOutcome(void)
{
    if (!g_bSilent || !g_szOutcome[0]) return;
    char line[sizeof g_szOutcome + 32];
    wsprintfA(line, "Exit code %d: %s.", g_exitCode, g_szOutcome);
    SetupLog(line);
}
