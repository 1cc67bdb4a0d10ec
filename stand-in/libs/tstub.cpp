// tstub.dll: the product's stub COM server. Its self-registration (in
// classserver.cpp) writes and removes the class below.
#include "classserver.h"

const ClassServer g_classServer = {"{7A41C2D0-5E3B-4C19-9F62-1B8D04E7A301}",
                                   "Vantro Pro Stub Server", 0};
