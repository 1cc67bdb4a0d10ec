// classserver.h: the COM self-registration shared by the stand-in class
// servers (tstub.dll, shellext.dll, vnbho2k0.dll). classserver.cpp holds
// DllMain, DllRegisterServer and DllUnregisterServer; each library names its
// own class in g_classServer.
#ifndef VANTRO_CLASSSERVER_H
#define VANTRO_CLASSSERVER_H

#include "standin.h"

struct ClassServer {
  const char* szClassId;    // "{...}", a class id of the library's own
  const char* szClassName;  // default value of the class key
  int (*pfnUnregisterMore)(void);  // extra keys to remove on unregistration, or 0;
                                   // returns 1 when they are gone
};

// Defined by each class server library.
extern const ClassServer g_classServer;

// The library's own module handle, set when it is loaded.
extern HMODULE g_hModule;

#endif
