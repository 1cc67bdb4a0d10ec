// libFuzzer target for the packer against the reader: whatever the file, the
// payload szddpack makes of it expands back to exactly that file, the packed
// form is never larger than the file plus the format's own overhead, and the
// payload is never larger than the packed form.
#include <stddef.h>
#include <stdint.h>
#include <stdlib.h>

#include <vector>

#define SZDDPACK_NO_MAIN
#include "tools/szddpack.cpp"

#include "szdd_decode.h"

namespace {

BOOL SinkWrite(void *context, const BYTE *data, DWORD size) {
    std::vector<uint8_t> *out = static_cast<std::vector<uint8_t> *>(context);
    out->insert(out->end(), data, data + size);
    return TRUE;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size > 1 << 18) return 0;
    std::vector<uint8_t> packed = szddpack::PackSzdd(data, size, 'x');
    if (packed.size() > szdd::kHeaderSize + size + (size + 7) / 8) abort();
    std::vector<uint8_t> payload = szddpack::MakePayload(data, size, 'x');
    if (payload.size() > packed.size()) abort();
    std::vector<uint8_t> out;
    LONG r = SzddExpandBuffer(payload.data(), (DWORD)payload.size(), SinkWrite, &out);
    if (size == 0) {
        if (r != 0 || !out.empty()) abort();  // an empty file is stored empty and gives nothing
        return 0;
    }
    if (r != (LONG)size || out.size() != size || !std::equal(out.begin(), out.end(), data)) abort();
    return 0;
}
