// The resource table that tools/hostrc generates from the resource script.
#ifndef VANTRO_HOSTRC_TABLE_H
#define VANTRO_HOSTRC_TABLE_H

struct HostRcString {
    unsigned id;
    const char *text;
};
// A resource statement naming a file: type ("ICON", "BITMAP", "EXE", ...), name, path.
struct HostRcFile {
    const char *type;
    const char *name;
    const char *path;
};
extern const HostRcString g_hostRcStrings[];
extern const unsigned g_hostRcStringCount;
extern const HostRcFile g_hostRcFiles[];
extern const unsigned g_hostRcFileCount;

#endif
