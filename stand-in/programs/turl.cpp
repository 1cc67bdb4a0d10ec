// turl.exe: the URL handler of the browser integration.
#include "guiapp.h"

const StandInProgram g_program = {"turl.exe", "Vantro URL Handler", "Opens ftp:// addresses handed over by a browser."};
