// tlink.exe: the icon placement utility.
#include "guiapp.h"

const StandInProgram g_program = {"tlink.exe", "Vantro Icon Placement", "Places the Explorer interface's icon."};
