// Payload extraction and expansion.
#include "payload/extract.h"

#include "payload/catalogue.h"

int WritePayloadFile(HMODULE module, int index, const char *folder, const char *name)
{
    if (index < 0 || index >= PAYLOAD_COUNT) return 0;
    HRSRC res = FindResourceA(module, g_payloadResources[index].szResName, "EXE");
    if (!res) return 0;
    DWORD size = SizeofResource(module, res);
    HGLOBAL data = LoadResource(module, res);
    if (!data) return 0;

    int result = 0;
    char path[PAYLOAD_PATH_SIZE];
    int folderLength = lstrlenA(folder);
    int needSlash = folderLength == 0 || folder[folderLength - 1] != '\\';
    // An overlong path is refused rather than cut, which would name another file.
    if (folderLength + needSlash + lstrlenA(name) < PAYLOAD_PATH_SIZE) {
        lstrcpyA(path, folder);
        if (needSlash) lstrcatA(path, "\\");
        lstrcatA(path, name);
        HANDLE file = CreateFileA(path, GENERIC_WRITE, FILE_SHARE_READ, NULL, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, NULL);
        if (file != INVALID_HANDLE_VALUE) {
            DWORD written = 0;
            const void *bytes = LockResource(data);
            if (WriteFile(file, bytes, size, &written, NULL) && written == size) result = 1;
            CloseHandle(file);
        }
    }
    FreeResource(data);
    return result;
}

// The file name part of a path: after its last "\" or "/".
static const char *NamePart(const char *path)
{
    const char *name = path;
    for (const char *p = path; *p; p++)
        if (*p == '\\' || *p == '/') name = p + 1;
    return name;
}

int ExpandFile(char *source, const char *dest)
{
    if (lstrcmpiA(source, dest) == 0) return 1;
    int length = lstrlenA(source);
    if (length == 0) return 0;

    // Packed distribution files end their extension in "_": try that name first.
    OFSTRUCT of;
    char last = source[length - 1];
    source[length - 1] = '_';
    INT in = LZOpenFileA(source, &of, OF_READ);
    if (in < 0) {
        source[length - 1] = last;
        in = LZOpenFileA(source, &of, OF_READ);
        if (in < 0) return 0;
    }
    OFSTRUCT ofOut;
    char target[MAX_PATH];
    if (lstrlenA(dest) >= (int)sizeof target) {
        LZClose(in);
        return 0;
    }
    lstrcpyA(target, dest);
    // When the destination cannot be created (a running program holds it), the
    // LZ library quietly creates the packed form of its name instead ("x.dl_")
    // and reports success. So the destination is first created here, which
    // also keeps the system's reason for a failure for the caller's message.
    HANDLE probe = CreateFileA(target, GENERIC_WRITE, FILE_SHARE_READ, NULL, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    if (probe == INVALID_HANDLE_VALUE) {
        LZClose(in);
        return 0;
    }
    int created = GetLastError() != ERROR_ALREADY_EXISTS;
    CloseHandle(probe);
    INT out = LZOpenFileA(target, &ofOut, OF_CREATE | OF_WRITE);
    if (out < 0) {
        // The library refused a path that the system takes (it is too long for
        // the library): leave no empty file behind.
        DWORD error = GetLastError();
        if (created) DeleteFileA(target);
        SetLastError(error);
        LZClose(in);
        return 0;
    }
    if (lstrcmpiA(NamePart(ofOut.szPathName), NamePart(target)) != 0) {
        LZClose(out);
        LZClose(in);
        DeleteFileA(ofOut.szPathName);
        return 0;
    }
    LONG copied = LZCopy(in, out);
    LZClose(out);
    LZClose(in);
    return copied > 0 ? 1 : 0;
}

void RemovePayloadTemps(void)
{
    char folder[PAYLOAD_PATH_SIZE];
    DWORD n = GetTempPathA(sizeof folder, folder);
    if (n == 0 || n >= sizeof folder) return;
    if (folder[n - 1] == '\\' || folder[n - 1] == '/') folder[--n] = 0;
    if (n + 1 >= sizeof folder) return;
    lstrcatA(folder, "\\");
    for (int i = 0; i < PAYLOAD_COUNT; i++) {
        char path[PAYLOAD_PATH_SIZE];
        if (n + 1 + lstrlenA(g_payloadResources[i].szCleanupName) >= sizeof path) continue;
        lstrcpyA(path, folder);
        lstrcatA(path, g_payloadResources[i].szCleanupName);
        DeleteFileA(path);  // most are absent: nothing to report
    }
}
