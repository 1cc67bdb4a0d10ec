// shellext.dll: the Explorer interface's shell extension. Its self-registration
// (in classserver.cpp) writes and removes the class below.
#include "classserver.h"

const ClassServer g_classServer = {"{7A41C2D0-5E3B-4C19-9F62-1B8D04E7A302}",
                                   "Vantro Pro Explorer Extension", 0};
