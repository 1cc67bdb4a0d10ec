// uninst32.exe: the stand-alone uninstaller.
#include "guiapp.h"

const StandInProgram g_program = {"uninst32.exe", "Vantro Pro Uninstall", "Removes the product (switches -f folder -d folder -g group)."};
