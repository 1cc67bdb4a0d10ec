// The host's LZ expansion library (LZOpenFileA, LZCopy, LZClose) over the
// host's file API and the SZDD reader of szdd_decode.h.
//
// Handles are slots of a fixed table of 16 open files, numbered from 0x400 as
// the library numbers its expanding handles. Opening for reading does not look
// into the file; LZCopy expands an SZDD file or copies any other file through,
// and reports what the reader reports (szdd_decode.h lists the failures).
// When a file to read cannot be opened, its packed name is tried too (the
// extension's last character replaced by "_", or "_" appended to a short
// extension, or "._" appended to a name without one), as the library does.
#include <string.h>

#include "platform.h"
#include "machine.h"
#include "szdd_decode.h"

#define LZ_MAX_HANDLES 16
#define LZ_FIRST_HANDLE 0x400
#define LZ_SHARE_FLAGS 0x70  // OF_SHARE_* bits, which do not change the open

struct LzFile {
    int used;
    int writing;
    HANDLE file;
    char path[OFS_MAXPATHNAME];  // the name that opened, for faults chosen by path
};

static LzFile g_lzFiles[LZ_MAX_HANDLES];

void HostResetLz();

// Returns the table entry of handle `h` opened for writing (or reading), or null.
static LzFile *LzFromHandle(INT h, int writing) {
    if (h < LZ_FIRST_HANDLE || h >= LZ_FIRST_HANDLE + LZ_MAX_HANDLES) return 0;
    LzFile *f = &g_lzFiles[h - LZ_FIRST_HANDLE];
    if (!f->used || f->writing != writing) return 0;
    return f;
}

// Makes the packed form of `path` in `out` (MAX_PATH bytes); returns 1, or 0 when it does not fit.
static int LzPackedName(LPCSTR path, char *out) {
    size_t len = strlen(path);
    if (len + 3 > MAX_PATH) return 0;
    memcpy(out, path, len + 1);
    char *name = strrchr(out, '\\');
    name = name ? name + 1 : out;
    char *dot = strchr(name, '.');
    if (!dot) {
        memcpy(out + len, "._", 3);
    } else if (strlen(dot + 1) < 3) {
        out[len] = '_';
        out[len + 1] = 0;
    } else {
        out[len - 1] = '_';
    }
    return 1;
}

// Opens `path` for reading or creates it for writing; returns the file or INVALID_HANDLE_VALUE.
static HANDLE LzOpenReal(LPCSTR path, int writing) {
    if (writing)
        return CreateFileA(path, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, 0, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, 0);
    return CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, 0, OPEN_EXISTING,
                       FILE_ATTRIBUTE_NORMAL, 0);
}

// Records the outcome of an open in the caller's OFSTRUCT.
static void LzFillOfStruct(LPOFSTRUCT of, LPCSTR path, DWORD error) {
    if (!of) return;
    of->cBytes = (BYTE)sizeof(OFSTRUCT);
    of->fFixedDisk = 1;
    of->nErrCode = (WORD)error;
    of->Reserved1 = 0;
    of->Reserved2 = 0;
    size_t len = strlen(path);
    if (len >= OFS_MAXPATHNAME) len = OFS_MAXPATHNAME - 1;
    memcpy(of->szPathName, path, len);
    of->szPathName[len] = 0;
}

INT LZOpenFileA(LPSTR path, LPOFSTRUCT of, WORD style) {
    if (HostFaultOnPath("LZOpenFileA", path)) return LZERROR_BADINHANDLE;
    if (!path) return LZERROR_BADINHANDLE;
    // The library opens through OpenFile, whose path holds fewer than 128
    // characters: a longer path never opens (seen under Wine: 127 opens, 128 fails).
    if (strlen(path) >= OFS_MAXPATHNAME) {
        LzFillOfStruct(of, "", ERROR_FILENAME_EXCED_RANGE);
        return LZERROR_BADINHANDLE;
    }
    WORD mode = (WORD)(style & ~LZ_SHARE_FLAGS);
    int writing;
    if (mode == OF_READ)
        writing = 0;
    else if (mode == (OF_CREATE | OF_WRITE))
        writing = 1;
    else
        return LZERROR_BADVALUE;  // the installer opens files in these two ways only

    int slot = -1;
    for (int i = 0; i < LZ_MAX_HANDLES; i++)
        if (!g_lzFiles[i].used) {
            slot = i;
            break;
        }
    if (slot < 0) return LZERROR_GLOBALLOC;

    LPCSTR opened = path;
    HANDLE file = LzOpenReal(path, writing);
    char packed[MAX_PATH];
    // Like the LZ library, a name that does not open is tried in its packed form
    // ("x.dl_"), for writing too: a destination that cannot be created then
    // quietly becomes a new file under the packed name.
    if (file == INVALID_HANDLE_VALUE && LzPackedName(path, packed)) {
        DWORD firstError = GetLastError();
        file = LzOpenReal(packed, writing);
        if (file == INVALID_HANDLE_VALUE)
            SetLastError(firstError);
        else
            opened = packed;
    }
    if (file == INVALID_HANDLE_VALUE) {
        LzFillOfStruct(of, path, GetLastError());
        return LZERROR_BADINHANDLE;  // HFILE_ERROR
    }
    LzFillOfStruct(of, opened, 0);
    g_lzFiles[slot].used = 1;
    g_lzFiles[slot].writing = writing;
    g_lzFiles[slot].file = file;
    lstrcpynA(g_lzFiles[slot].path, opened, sizeof g_lzFiles[slot].path);
    return LZ_FIRST_HANDLE + slot;
}

// Reads through the host file API for the SZDD reader; returns the count or -1.
static LONG LzRead(void *context, BYTE *buffer, DWORD size) {
    DWORD got = 0;
    if (!ReadFile((HANDLE)context, buffer, size, &got, 0)) return -1;
    return (LONG)got;
}

// Writes through the host file API for the SZDD reader; returns 1 only when every byte was written.
static BOOL LzWrite(void *context, const BYTE *data, DWORD size) {
    DWORD written = 0;
    if (!WriteFile((HANDLE)context, data, size, &written, 0)) return FALSE;
    return written == size;
}

LONG LZCopy(INT source, INT dest) {
    LzFile *in = LzFromHandle(source, 0);
    LzFile *out = LzFromHandle(dest, 1);
    if (HostFaultOnPath("LZCopy", in ? in->path : nullptr, out ? out->path : nullptr)) return LZERROR_READ;
    if (!in) return LZERROR_BADINHANDLE;
    if (!out) return LZERROR_BADOUTHANDLE;
    return SzddExpand(LzRead, in->file, LzWrite, out->file);
}

void LZClose(INT handle) {
    LzFile *f = LzFromHandle(handle, 0);
    if (!f) f = LzFromHandle(handle, 1);
    if (!f) return;
    // The close's result is not tested: the handle is gone either way, and a
    // failed write has already been reported by LZCopy.
    CloseHandle(f->file);
    f->used = 0;
    f->file = 0;
}

// Forgets every open handle; called when the machine is reset, which closes
// the files themselves.
void HostResetLz() { memset(g_lzFiles, 0, sizeof g_lzFiles); }
