// tfind.exe: the find utility.
#include "guiapp.h"

const StandInProgram g_program = {"tfind.exe", "Vantro Find Utility", "Searches FTP sites for files."};
