// navhook.dll: the Explorer interface's navigation hook. The stand-in carries
// only a version query, enough to be a real library the programs could load.
#include "standin.h"

// Returns the library's version, 0x00010000 (1.0); never fails.
extern "C" DWORD WINAPI NavHookVersion(void) { return 0x00010000; }
