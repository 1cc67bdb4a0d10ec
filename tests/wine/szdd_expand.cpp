// szdd_expand <source> <destination>: expands a file with the host's SZDD
// reader (platform/host/szdd_decode.cpp), as the host's LZCopy does, for
// tests/wine/check-szdd to compare with the system's LZ expansion library.
// Exit status: 0 on success, 1 when the reader refused the input (its LZERROR
// code is printed), 2 on a usage or file error.
#include <stdio.h>

#include "szdd_decode.h"

static LONG ReadFromFile(void *context, BYTE *buffer, DWORD size) {
    size_t got = fread(buffer, 1, size, (FILE *)context);
    if (got < size && ferror((FILE *)context)) return -1;
    return (LONG)got;
}

static BOOL WriteToFile(void *context, const BYTE *data, DWORD size) {
    return fwrite(data, 1, size, (FILE *)context) == size;
}

int main(int argc, char **argv) {
    if (argc != 3) {
        fprintf(stderr, "usage: szdd_expand <source> <destination>\n");
        return 2;
    }
    FILE *in = fopen(argv[1], "rb");
    if (!in) {
        perror(argv[1]);
        return 2;
    }
    FILE *out = fopen(argv[2], "wb");
    if (!out) {
        perror(argv[2]);
        fclose(in);
        return 2;
    }
    LONG r = SzddExpand(ReadFromFile, in, WriteToFile, out);
    fclose(in);
    if (fclose(out) != 0 && r >= 0) r = LZERROR_WRITE;
    if (r < 0) {
        fprintf(stderr, "szdd_expand: %s refused (%ld)\n", argv[1], (long)r);
        return 1;
    }
    return 0;
}
