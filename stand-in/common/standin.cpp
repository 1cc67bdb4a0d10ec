// standin.cpp: module paths, failure markers and registry helpers of the
// stand-in product. Plain Win32 calls only, so that every module imports
// nothing but system DLLs.
#include "standin.h"

int StandInModulePath(HMODULE module, char* path, DWORD size) {
  if (!path || size == 0) return 0;
  path[0] = '\0';
  DWORD n = GetModuleFileNameA(module, path, size);
  if (n == 0 || n >= size) {  // a full buffer means the name may have been cut
    path[0] = '\0';
    return 0;
  }
  return 1;
}

int StandInModuleFolder(HMODULE module, char* folder, DWORD size) {
  if (!StandInModulePath(module, folder, size)) return 0;
  char* slash = 0;
  for (char* p = folder; *p; ++p)
    if (*p == '\\' || *p == '/') slash = p;
  if (!slash) {
    folder[0] = '\0';
    return 0;
  }
  *slash = '\0';
  return 1;
}

int StandInJoin(char* out, DWORD size, const char* folder, const char* name) {
  if (!out || size == 0) return 0;
  out[0] = '\0';
  DWORD a = lstrlenA(folder), b = lstrlenA(name);
  if (a + 1 + b + 1 > size) return 0;
  lstrcpyA(out, folder);
  out[a] = '\\';
  lstrcpyA(out + a + 1, name);
  return 1;
}

// Returns 1 and the marker path of `module` ("<folder>\<base>.fail") in `marker`.
static int MarkerPath(HMODULE module, char* marker, DWORD size) {
  char path[STANDIN_MAX_PATH];
  if (!StandInModulePath(module, path, sizeof path)) return 0;
  char* dot = 0;
  for (char* p = path; *p; ++p) {
    if (*p == '.') dot = p;
    if (*p == '\\' || *p == '/') dot = 0;
  }
  if (dot) *dot = '\0';
  DWORD n = lstrlenA(path);
  if (n + 6 > size) return 0;
  lstrcpyA(marker, path);
  lstrcpyA(marker + n, ".fail");
  return 1;
}

int StandInShouldFail(HMODULE module, const char* what, int matchAll) {
  char marker[STANDIN_MAX_PATH];
  if (!MarkerPath(module, marker, sizeof marker)) return 0;
  HANDLE f = CreateFileA(marker, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, 0,
                         OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, 0);
  if (f == INVALID_HANDLE_VALUE) return 0;
  char text[4096];
  DWORD got = 0;
  BOOL read = ReadFile(f, text, sizeof text - 1, &got, 0);
  CloseHandle(f);
  if (!read) return 0;
  text[got] = '\0';

  int anyLine = 0, hit = 0;
  char* p = text;
  while (*p && !hit) {
    char* line = p;
    while (*p && *p != '\n') ++p;
    if (*p) *p++ = '\0';
    // Trim blanks and a CR at both ends of the line.
    while (*line == ' ' || *line == '\t' || *line == '\r') ++line;
    char* end = line + lstrlenA(line);
    while (end > line && (end[-1] == ' ' || end[-1] == '\t' || end[-1] == '\r')) *--end = '\0';
    if (!*line) continue;
    anyLine = 1;
    if (lstrcmpiA(line, what) == 0) hit = 1;
    else if (matchAll && lstrcmpA(line, "*") == 0) hit = 1;
  }
  if (!anyLine && matchAll) return 1;  // an empty marker fails every entry point
  return hit;
}

int StandInSetString(HKEY root, const char* key, const char* name, const char* value) {
  HKEY h;
  if (RegCreateKeyExA(root, key, 0, 0, REG_OPTION_NON_VOLATILE, KEY_SET_VALUE, 0, &h, 0) !=
      ERROR_SUCCESS)
    return 0;
  LONG rc = RegSetValueExA(h, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value),
                           static_cast<DWORD>(lstrlenA(value) + 1));
  RegCloseKey(h);
  return rc == ERROR_SUCCESS;
}

int StandInDeleteKey(HKEY root, const char* key) {
  LONG rc = RegDeleteKeyA(root, key);
  if (rc == ERROR_SUCCESS || rc == ERROR_FILE_NOT_FOUND) return 1;
  HKEY h;
  if (RegOpenKeyExA(root, key, 0, KEY_READ, &h) != ERROR_SUCCESS) return 1;  // not there
  RegCloseKey(h);
  return 0;
}

// Returns 1 and "CLSID\<clsid>" (+ "\InprocServer32" when `server`) in `key`.
static int ClassKey(char* key, DWORD size, const char* clsid, int server) {
  const char* tail = server ? "\\InprocServer32" : "";
  if (6 + lstrlenA(clsid) + lstrlenA(tail) + 1 > static_cast<int>(size)) return 0;
  lstrcpyA(key, "CLSID\\");
  lstrcatA(key, clsid);
  lstrcatA(key, tail);
  return 1;
}

int StandInRegisterClass(HMODULE module, const char* clsid, const char* description) {
  char path[STANDIN_MAX_PATH], key[128], server[160];
  if (!StandInModulePath(module, path, sizeof path)) return 0;
  if (!ClassKey(key, sizeof key, clsid, 0) || !ClassKey(server, sizeof server, clsid, 1)) return 0;
  return StandInSetString(HKEY_CLASSES_ROOT, key, 0, description) &&
         StandInSetString(HKEY_CLASSES_ROOT, server, 0, path) &&
         StandInSetString(HKEY_CLASSES_ROOT, server, "ThreadingModel", "Apartment");
}

int StandInUnregisterClass(const char* clsid) {
  char key[128], server[160];
  if (!ClassKey(key, sizeof key, clsid, 0) || !ClassKey(server, sizeof server, clsid, 1)) return 0;
  // The server key first: Windows NT does not delete a key that has subkeys.
  int ok = StandInDeleteKey(HKEY_CLASSES_ROOT, server);
  return StandInDeleteKey(HKEY_CLASSES_ROOT, key) && ok;
}
