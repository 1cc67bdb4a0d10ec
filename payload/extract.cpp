// Payload extraction and expansion.
#include "payload/extract.h"

#include "app/options.h"
#include "app/paths.h"
#include "app/workfolder.h"
#include "app/state.h"
#include "payload/catalogue.h"
#include "payload/payload_crc.h"

static unsigned int g_crcTable[256];

static DWORD ReadDword(const unsigned char *p)
{
    return (DWORD)p[0] | ((DWORD)p[1] << 8) | ((DWORD)p[2] << 16) | ((DWORD)p[3] << 24);
}

// Whether resource `index` holds the bytes the build recorded for it. A row the
// build recorded nothing for (no check table, or no CRC for the row) is taken
// as it is; a recorded row whose table entry is missing or differs is damaged.
static int PayloadIntact(HMODULE module, int index, const void *bytes, DWORD size)
{
    HRSRC res = FindResourceA(module, PAYLOAD_CRC_NAME, PAYLOAD_CRC_TYPE);
    if (!res) return 1;
    DWORD tableSize = SizeofResource(module, res);
    HGLOBAL data = LoadResource(module, res);
    const unsigned char *table = data ? (const unsigned char *)LockResource(data) : NULL;
    int intact = 0;
    if (table && tableSize >= PAYLOAD_CRC_HEADER) {
        DWORD magic = ReadDword(table), rows = ReadDword(table + 4);
        DWORD at = PAYLOAD_CRC_HEADER + (DWORD)index * PAYLOAD_CRC_ROW;
        if (magic == PAYLOAD_CRC_MAGIC && (DWORD)index < rows && at + PAYLOAD_CRC_ROW <= tableSize) {
            DWORD recorded = ReadDword(table + at), crc = ReadDword(table + at + 4);
            intact = !recorded || (bytes && PayloadCrc32(0, (const unsigned char *)bytes, size, g_crcTable) == crc);
        }
    }
    if (data) FreeResource(data);
    return intact;
}

int WritePayloadFile(HMODULE module, int index, const char *folder, const char *name)
{
    // Every failure leaves its own reason for the caller's message.
    if (index < 0 || index >= PAYLOAD_COUNT) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    SetLastError(ERROR_SUCCESS);
    HRSRC res = FindResourceA(module, g_payloadResources[index].szResName, "EXE");
    if (!res) {
        if (GetLastError() == ERROR_SUCCESS) SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
        return 0;
    }
    DWORD size = SizeofResource(module, res);
    HGLOBAL data = LoadResource(module, res);
    if (!data) {
        if (GetLastError() == ERROR_SUCCESS) SetLastError(ERROR_RESOURCE_DATA_NOT_FOUND);
        return 0;
    }
    // A damaged payload counts as a missing one: nothing is written for it.
    if (!PayloadIntact(module, index, LockResource(data), size)) {
        FreeResource(data);
        SetLastError(ERROR_CRC);
        return 0;
    }

    int result = 0;
    char path[PAYLOAD_PATH_SIZE];
    // An overlong path is refused rather than cut, which would name another file.
    if (JoinPath(path, sizeof path, folder, name)) {
        HANDLE file = CreateFileA(path, GENERIC_WRITE, FILE_SHARE_READ, NULL, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, NULL);
        if (file != INVALID_HANDLE_VALUE) {
            DWORD written = 0;
            const void *bytes = LockResource(data);
            SetLastError(ERROR_SUCCESS);
            if (WriteFile(file, bytes, size, &written, NULL) && written == size) result = 1;
            else if (GetLastError() == ERROR_SUCCESS) SetLastError(ERROR_HANDLE_DISK_FULL);
            DWORD error = GetLastError();
            CloseHandle(file);
            SetLastError(error);
        }
    } else {
        SetLastError(ERROR_FILENAME_EXCED_RANGE);
    }
    DWORD error = GetLastError();
    FreeResource(data);
    SetLastError(error);
    return result;
}

// The system's error for an LZ library failure that left none of its own.
static DWORD LzError(LONG code)
{
    switch (code) {
    case LZERROR_BADINHANDLE:
    case LZERROR_BADOUTHANDLE:
        return ERROR_INVALID_HANDLE;
    case LZERROR_READ:
        return ERROR_READ_FAULT;
    case LZERROR_WRITE:
        return ERROR_WRITE_FAULT;
    case LZERROR_GLOBALLOC:
    case LZERROR_GLOBLOCK:
        return ERROR_NOT_ENOUGH_MEMORY;
    default:
        return ERROR_INVALID_DATA;
    }
}

// Keeps the error the failing call left, or the one its code stands for.
static void KeepError(LONG code)
{
    if (GetLastError() == ERROR_SUCCESS) SetLastError(LzError(code));
}

// Expands the open packed file `in` into `path`, which must not be held by
// anyone. Returns 1 when the whole file was written; on failure the file at
// `path` is partial or absent and the error is set.
static int ExpandInto(INT in, const char *path)
{
    OFSTRUCT ofOut;
    char target[MAX_PATH];
    lstrcpyA(target, path);
    SetLastError(ERROR_SUCCESS);
    INT out = LZOpenFileA(target, &ofOut, OF_CREATE | OF_WRITE);
    if (out < 0) {
        KeepError(out);
        return 0;
    }
    if (lstrcmpiA(FileNamePart(ofOut.szPathName), FileNamePart(target)) != 0) {
        // The library made the packed form of the name instead: not ours to keep.
        LZClose(out);
        DeleteFileA(ofOut.szPathName);
        SetLastError(ERROR_INVALID_NAME);
        return 0;
    }
    SetLastError(ERROR_SUCCESS);
    LONG copied = LZCopy(in, out);
    // Nothing expanded counts as a failure too: no product file is empty.
    if (copied <= 0) KeepError(copied);
    DWORD error = GetLastError();
    LZClose(out);
    SetLastError(error);
    return copied > 0;
}

// Copies the unpacked file `from` to `to` (the LZ library passes it through).
static int CopyUnpacked(const char *from, const char *to)
{
    OFSTRUCT of;
    char path[MAX_PATH];
    lstrcpyA(path, from);
    SetLastError(ERROR_SUCCESS);
    INT in = LZOpenFileA(path, &of, OF_READ);
    if (in < 0) {
        KeepError(in);
        return 0;
    }
    int result = ExpandInto(in, to);
    DWORD error = GetLastError();
    LZClose(in);
    SetLastError(error);
    return result;
}

int ExpandFile(char *source, const char *dest)
{
    if (lstrcmpiA(source, dest) == 0) return 1;
    int length = lstrlenA(source);
    if (length == 0) {
        SetLastError(ERROR_INVALID_NAME);
        return 0;
    }
    if (lstrlenA(dest) >= MAX_PATH) {
        SetLastError(ERROR_FILENAME_EXCED_RANGE);
        return 0;
    }

    // Packed distribution files end their extension in "_": try that name first.
    OFSTRUCT of;
    char last = source[length - 1];
    source[length - 1] = '_';
    INT in = LZOpenFileA(source, &of, OF_READ);
    if (in < 0) {
        source[length - 1] = last;
        SetLastError(ERROR_SUCCESS);
        in = LZOpenFileA(source, &of, OF_READ);
        if (in < 0) {
            KeepError(in);
            return 0;
        }
    }
    // When the destination cannot be created (a running program holds it), the
    // LZ library quietly creates the packed form of its name instead ("x.dl_")
    // and reports success. So the destination is first opened here, without
    // truncating it, which also keeps the system's reason for the caller.
    HANDLE probe = CreateFileA(dest, GENERIC_WRITE, FILE_SHARE_READ, NULL, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    if (probe == INVALID_HANDLE_VALUE) {
        DWORD error = GetLastError();
        LZClose(in);
        SetLastError(error);
        return 0;
    }
    int created = GetLastError() != ERROR_ALREADY_EXISTS;
    CloseHandle(probe);

    int result;
    if (created) {
        // Nothing to lose: expand in place, and leave no partial file.
        result = ExpandInto(in, dest);
        if (!result) {
            DWORD error = GetLastError();
            DeleteFileA(dest);
            SetLastError(error);
        }
    } else {
        // An existing file is replaced only by a whole new one: a damaged
        // payload or a full disk must leave the old file as it was. The new file
        // is made beside it under a name no longer than any product file's
        // ("XXXX.TMP"), so that the library's path limit is met wherever the
        // target's is.
        char folder[MAX_PATH], fresh[MAX_PATH];
        lstrcpyA(folder, dest);
        char *name = (char *)FileNamePart(folder);
        if (name == folder) lstrcpyA(folder, ".");
        else if (name - folder == 3 && folder[1] == ':') *name = 0;  // "C:\"
        else name[-1] = 0;
        result = GetTempFileNameA(folder, "", 0, fresh) != 0;
        if (result) {
            result = ExpandInto(in, fresh);
            DWORD error = GetLastError();
            if (result && !DeleteFileA(dest)) {
                error = GetLastError();
                result = 0;
            } else if (result && !MoveFileA(fresh, dest)) {
                // The old file is gone already: the new one must take its place.
                result = CopyUnpacked(fresh, dest);
                error = GetLastError();
            }
            DeleteFileA(fresh);  // gone already after the move
            SetLastError(error);
        }
    }
    DWORD error = GetLastError();
    LZClose(in);
    SetLastError(error);
    return result;
}

void RemovePayloadTemps(void)
{
    // A folder of the run's own goes whole at the end (RemoveWorkFolder).
    if (g_bPrivateFolder) return;
    // The folder the run wrote into: its working folder, the temporary folder
    // (before start-up, the one the system names).
    char folder[PAYLOAD_PATH_SIZE];
    if (g_szWorkFolder[0]) {
        lstrcpynA(folder, g_szWorkFolder, sizeof folder);
    } else {
        DWORD n = GetTempPathA(sizeof folder, folder);
        if (n == 0 || n >= sizeof folder) return;
    }
    char path[PAYLOAD_PATH_SIZE];
    for (int i = 0; i < PAYLOAD_COUNT; i++) {
        // An options file is deleted only where start-up wrote it: one of the
        // user's in the temporary folder is theirs.
        if (i == PAYLOAD_INSTINI && !g_szEmbeddedIni[0]) continue;
        if (JoinPath(path, sizeof path, folder, g_payloadResources[i].szCleanupName))
            DeleteFileA(path);  // most are absent: nothing to report
    }
    // The start-up's scratch file: a copy deletes it after each expansion,
    // but a removal, or an install that copied nothing, would leave it behind.
    if (g_szTempName[0] && JoinPath(path, sizeof path, folder, g_szTempName)) DeleteFileA(path);
}
