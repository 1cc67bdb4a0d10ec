// tqueue.exe: the queuing utility.
#include "guiapp.h"

const StandInProgram g_program = {"tqueue.exe", "Vantro Queuing Utility", "Holds transfers queued for later."};
