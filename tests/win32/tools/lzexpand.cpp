// lzexpand.exe <source> <destination> [<source> <destination> ...]: expands
// files through the system's LZ expansion library (LZOpenFileA, LZCopy,
// LZClose), as the installer does, so that scripts can compare its output
// with our own reader's. Several pairs in one run save a Wine start per file.
// Prints "OK <bytes> <source>" or "FAIL <code> <source>" per pair. Exit
// status: 0 when LZCopy reported a byte count for every pair, 1 when any
// failed, 2 on a usage error.
#include <windows.h>
#include <lzexpand.h>
#include <stdio.h>

// Expands one file; returns LZCopy's result, or the failed open's code.
static LONG ExpandOne(char *source, char *dest) {
    OFSTRUCT ofSrc, ofDst;
    INT src = LZOpenFileA(source, &ofSrc, OF_READ);
    if (src < 0) return src;
    INT dst = LZOpenFileA(dest, &ofDst, OF_CREATE | OF_WRITE);
    if (dst < 0) {
        LZClose(src);
        return dst;
    }
    LONG copied = LZCopy(src, dst);
    LZClose(dst);
    LZClose(src);
    return copied;
}

int main(int argc, char **argv) {
    if (argc < 3 || argc % 2 != 1) {
        fprintf(stderr, "usage: lzexpand <source> <destination> [<source> <destination> ...]\n");
        return 2;
    }
    int failed = 0;
    for (int i = 1; i + 1 < argc; i += 2) {
        LONG r = ExpandOne(argv[i], argv[i + 1]);
        if (r < 0) {
            printf("FAIL %ld %s\n", (long)r, argv[i]);
            failed = 1;
        } else {
            printf("OK %ld %s\n", (long)r, argv[i]);
        }
    }
    fflush(stdout);
    return failed;
}
