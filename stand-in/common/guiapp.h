// guiapp.h: the window shell of the stand-in product's GUI programs
// (tclassic.exe, tscript.exe, ...). guiapp.cpp holds WinMain; each program
// names itself in g_program. Its icon is resource 1.
#ifndef VANTRO_GUIAPP_H
#define VANTRO_GUIAPP_H

#include "standin.h"

struct StandInProgram {
  const char* szFile;         // installed file name, "tclassic.exe"
  const char* szTitle;        // what the product calls it, "Vantro Pro"
  const char* szDescription;  // one line on what the real program would do
};

// Defined by each program.
extern const StandInProgram g_program;

// The icon resource every program carries.
#define STANDIN_ICON 1

#endif
