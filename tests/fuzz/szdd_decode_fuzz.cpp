// libFuzzer target for the host's SZDD reader: any input, read from memory and
// through a reader that hands out chunks of fuzzer-chosen sizes. Besides the
// sanitizers' checks: both ways give the same result and bytes, a packed
// stream never gives more than nine bytes per input byte, and a success
// reports exactly what was written.
#include <stddef.h>
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include <vector>

#include "payload/szdd_format.h"
#include "szdd_decode.h"

namespace {

struct Sink {
    std::vector<uint8_t> bytes;
};

BOOL SinkWrite(void *context, const BYTE *data, DWORD size) {
    Sink *s = static_cast<Sink *>(context);
    s->bytes.insert(s->bytes.end(), data, data + size);
    return TRUE;
}

struct Source {
    const uint8_t *data;
    size_t size;
    size_t pos;
    uint8_t chunkSeed;
};

LONG SourceRead(void *context, BYTE *buffer, DWORD size) {
    Source *s = static_cast<Source *>(context);
    size_t n = s->size - s->pos;
    size_t chunk = 1 + (s->chunkSeed * 37u + s->pos) % 300;  // varied, short reads
    if (n > chunk) n = chunk;
    if (n > size) n = size;
    memcpy(buffer, s->data + s->pos, n);
    s->pos += n;
    return (LONG)n;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size > 1 << 20) return 0;
    Sink whole;
    LONG r1 = SzddExpandBuffer(data, (DWORD)size, SinkWrite, &whole);

    Sink streamed;
    Source src = {data, size, 0, size ? data[size - 1] : (uint8_t)0};
    LONG r2 = SzddExpand(SourceRead, &src, SinkWrite, &streamed);

    if (r1 != r2) abort();
    if (r1 >= 0) {
        if ((size_t)r1 != whole.bytes.size() || whole.bytes != streamed.bytes) abort();
    }
    if (szdd::HasSignature(data, size) && size >= szdd::kHeaderSize) {
        // Eight back-references of 18 bytes from 17 input bytes at most.
        if (whole.bytes.size() > 9 * (size - szdd::kHeaderSize)) abort();
    } else if (r1 >= 0 && (whole.bytes.size() != size || (size && memcmp(whole.bytes.data(), data, size) != 0))) {
        abort();  // an unpacked input comes out unchanged
    }
    return 0;
}
