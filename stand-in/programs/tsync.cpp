// tsync.exe: the synchronize utility.
#include "guiapp.h"

const StandInProgram g_program = {"tsync.exe", "Vantro Synchronize Utility", "Keeps a local folder and an FTP folder alike."};
