// The install's later phases: the product's registrations, the install record,
// the Program Manager group and its icons, the shell namespace and uninstall
// entries, browser integration and the queue scheduler; and the small registry
// and file helpers they share with the removal.
#ifndef VANTRO_REGISTRATION_H
#define VANTRO_REGISTRATION_H

#include "platform.h"

// The class key of the base product's classic client, and the namespace
// objects of the Explorer and classic interfaces.
#define BASE_CLASS_KEY "CLSID\\{5B3E91C4-0D27-4A6F-8E15-C2A07D9B3F10}\\InProcServer32"
#define NAMESPACE_EXPLORER_ID "{5B3E91C4-0D27-4A6F-8E15-c2a07d9b3f01}"
#define NAMESPACE_CLASSIC_ID "{5B3E91C4-0D27-4A6F-8E15-c2a07d9b3f0a}"
#define NAMESPACE_DESKTOP_KEY "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Desktop\\Namespace\\%s"
#define NAMESPACE_MYCOMPUTER_KEY "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\MyComputer\\Namespace\\%s"
#define UNINSTALL_KEY "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\VantroPro"
#define SSL_KEY "SOFTWARE\\Brenmoor\\Vantro\\SSL"
#define PRODUCT_GROUP "Vantro Pro"

// Registers the classic client `path` as the base class's in-process server;
// 1 when the default value and "ThreadingModel" were set.
int RegisterBaseServer(const char *path);
// Creates key `path` (with "\" and `subkey` when given) and sets value `name`
// (NULL: the default value) to `value`; 1 when the value was set, 0 otherwise
// and always 0 when no value is given (the key is only created).
int WriteRegString(HKEY root, const char *path, const char *subkey, const char *name, const char *value);
// Reads value `name` (NULL: the default) of key `path` into `buffer`; 1 when it
// was read. When the key opens but the value cannot be read, `fallback` (when
// given) is copied into the buffer and the result is 0; when the key does not
// open the buffer is untouched.
int ReadRegString(HKEY root, const char *path, const char *name, const char *fallback, char *buffer, int size);
// 1 when folder\name can be opened for reading.
int CanOpenFile(const char *folder, const char *name);

// Phases of the install after its files: run while `success` holds (each as
// its rules say), OR the outcome into `report`, and return the success flag.
int RunRegistrationPhases(const char *destFolder, DWORD flags, DWORD *report, HWND owner, HWND statusControl,
                          char *failure, int success, int configWritten);

#endif
