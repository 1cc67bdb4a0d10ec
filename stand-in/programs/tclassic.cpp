// tclassic.exe: the classic interface's main program.
#include "guiapp.h"

const StandInProgram g_program = {"tclassic.exe", "Vantro Pro", "The classic interface of the FTP client."};
