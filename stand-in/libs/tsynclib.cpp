// tsynclib.dll: the synchronize utility's library. The stand-in carries
// only a version query, enough to be a real library the programs could load.
#include "standin.h"

// Returns the library's version, 0x00010000 (1.0); never fails.
extern "C" DWORD WINAPI TSyncVersion(void) { return 0x00010000; }
