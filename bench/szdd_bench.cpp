// szdd_bench <file>...: speed of the SZDD packer and of the host's reader.
// The files are joined (and repeated) into at least 4 MiB, packed once with
// tools/szddpack.cpp, and expanded several times from memory and through a
// reader callback of 16 KiB reads (as LZCopy reads a file); the best run is
// reported in MB/s (10^6 bytes) of output.
#include <chrono>
#include <cstdio>
#include <cstring>
#include <vector>

#define SZDDPACK_NO_MAIN
#include "tools/szddpack.cpp"

#include "szdd_decode.h"

namespace {

struct Sink {
    uint8_t *data;
    size_t size;
    size_t used;
};

BOOL SinkWrite(void *context, const BYTE *bytes, DWORD size) {
    Sink *s = static_cast<Sink *>(context);
    if (s->used + size > s->size) return FALSE;
    memcpy(s->data + s->used, bytes, size);
    s->used += size;
    return TRUE;
}

struct Source {
    const std::vector<uint8_t> *data;
    size_t pos;
};

LONG SourceRead(void *context, BYTE *buffer, DWORD size) {
    Source *s = static_cast<Source *>(context);
    size_t n = s->data->size() - s->pos;
    if (n > size) n = size;
    memcpy(buffer, s->data->data() + s->pos, n);
    s->pos += n;
    return (LONG)n;
}

double Seconds(std::chrono::steady_clock::time_point a, std::chrono::steady_clock::time_point b) {
    return std::chrono::duration<double>(b - a).count();
}

}  // namespace

int main(int argc, char **argv) {
    std::vector<uint8_t> one;
    for (int i = 1; i < argc; i++) {
        FILE *f = fopen(argv[i], "rb");
        if (!f) continue;
        uint8_t buf[65536];
        size_t got;
        while ((got = fread(buf, 1, sizeof buf, f)) > 0) one.insert(one.end(), buf, buf + got);
        fclose(f);
    }
    if (one.empty()) {
        fprintf(stderr, "usage: szdd_bench <file>...\n");
        return 2;
    }
    std::vector<uint8_t> data;
    while (data.size() < (4u << 20)) data.insert(data.end(), one.begin(), one.end());

    auto t0 = std::chrono::steady_clock::now();
    std::vector<uint8_t> packed = szddpack::PackSzdd(data.data(), data.size(), 'x');
    auto t1 = std::chrono::steady_clock::now();
    double packSpeed = data.size() / Seconds(t0, t1) / 1e6;

    std::vector<uint8_t> out(data.size());
    double bestBuffer = 1e9, bestStream = 1e9;
    for (int run = 0; run < 7; run++) {
        Sink sink = {out.data(), out.size(), 0};
        auto a = std::chrono::steady_clock::now();
        LONG r = SzddExpandBuffer(packed.data(), (DWORD)packed.size(), SinkWrite, &sink);
        auto b = std::chrono::steady_clock::now();
        if (r != (LONG)data.size() || memcmp(out.data(), data.data(), data.size()) != 0) {
            fprintf(stderr, "szdd_bench: expansion does not give the input back (%ld)\n", (long)r);
            return 1;
        }
        if (Seconds(a, b) < bestBuffer) bestBuffer = Seconds(a, b);

        Sink sink2 = {out.data(), out.size(), 0};
        Source src = {&packed, 0};
        a = std::chrono::steady_clock::now();
        r = SzddExpand(SourceRead, &src, SinkWrite, &sink2);
        b = std::chrono::steady_clock::now();
        if (r != (LONG)data.size()) return 1;
        if (Seconds(a, b) < bestStream) bestStream = Seconds(a, b);
    }
    printf("data: %zu bytes (%zu bytes of files, repeated), packed to %zu (%.1f%%)\n", data.size(), one.size(),
           packed.size(), 100.0 * packed.size() / data.size());
    printf("pack: %.1f MB/s of input (optimal parse)\n", packSpeed);
    printf("expand: %.0f MB/s of output from memory, %.0f MB/s through 16 KiB reads (best of 7)\n",
           data.size() / bestBuffer / 1e6, data.size() / bestStream / 1e6);
    return 0;
}
