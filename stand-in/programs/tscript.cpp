// tscript.exe: the scripting utility.
#include "guiapp.h"

const StandInProgram g_program = {"tscript.exe", "Vantro Scripting Utility", "Runs FTP transfer scripts."};
