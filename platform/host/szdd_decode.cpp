// The host's SZDD reader (see szdd_decode.h for what it accepts and refuses).
//
// Output is built in one linear buffer whose first 4096 bytes hold the window
// (the last 4096 bytes produced, or the primed spaces), so a match is a plain
// copy from `distance` bytes back. When the buffer fills, its new bytes go to
// the writer and the last 4096 of them move to the front. Groups of eight
// items are decoded without per-byte checks whenever the whole group is
// certainly in the input buffer and fits the output buffer.
#include "szdd_decode.h"

#include <string.h>

#include "payload/szdd_format.h"

#define SZDD_IN_SIZE 16384
#define SZDD_OUT_SIZE 65536
#define SZDD_GROUP_IN 17    // a flag byte and eight matches
#define SZDD_GROUP_OUT 144  // eight matches of 18 bytes
#define SZDD_MAX_LONG 0x7FFFFFFFul

struct SzddInput {
    const BYTE *p;
    const BYTE *end;
    SzddReadProc read;  // null: the buffer is all there is
    void *context;
    BYTE *buffer;
    int failed;
};

struct SzddOutput {
    BYTE window[szdd::kWindowSize + SZDD_OUT_SIZE];
    DWORD pos;         // next byte in `window`
    DWORD slotOffset;  // window slot of window[pos] is (pos + slotOffset) & 0xFFF
    unsigned long flushed;
    SzddWriteProc write;
    void *context;
};

// Refills the input buffer; returns 1 when bytes are available, 0 at the end or on a failed read.
static int SzddRefill(SzddInput *in) {
    if (in->p < in->end) return 1;
    if (!in->read) return 0;
    LONG got = in->read(in->context, in->buffer, SZDD_IN_SIZE);
    if (got < 0 || got > SZDD_IN_SIZE) {
        in->failed = 1;
        return 0;
    }
    in->p = in->buffer;
    in->end = in->buffer + got;
    return got > 0;
}

// Takes one input byte; returns 1, or 0 at the end of the input or on a failed read.
static int SzddGetByte(SzddInput *in, BYTE *b) {
    if (in->p >= in->end && !SzddRefill(in)) return 0;
    *b = *in->p++;
    return 1;
}

// Hands the new bytes to the writer and keeps the last 4096 as the window; returns 1, or 0 when the write fails.
static int SzddFlush(SzddOutput *out) {
    DWORD count = out->pos - szdd::kWindowSize;
    if (count == 0) return 1;
    if (!out->write(out->context, out->window + szdd::kWindowSize, count)) return 0;
    memmove(out->window, out->window + count, szdd::kWindowSize);
    out->flushed += count;
    out->slotOffset += count;
    out->pos = szdd::kWindowSize;
    return 1;
}

// Copies a match from window slot `slot`; the output buffer has room for 18 more bytes.
static inline void SzddCopyMatch(SzddOutput *out, unsigned slot, unsigned length) {
    unsigned distance = (out->pos + out->slotOffset - slot) & szdd::kWindowMask;
    if (distance == 0) distance = szdd::kWindowSize;
    BYTE *dst = out->window + out->pos;
    const BYTE *src = dst - distance;
    if (distance >= szdd::kMaxMatch) {
        memcpy(dst, src, szdd::kMaxMatch);  // bytes past `length` are rewritten later
    } else {
        for (unsigned k = 0; k < length; k++) dst[k] = src[k];  // a run into its own output
    }
    out->pos += length;
}

// Copies an unpacked input through: the `held` bytes first, then the rest of the input; returns the count or an LZERROR_ code.
static LONG SzddPassThrough(SzddInput *in, const BYTE *held, DWORD heldSize, SzddWriteProc write,
                            void *writeContext) {
    unsigned long total = heldSize;
    if (heldSize && !write(writeContext, held, heldSize)) return LZERROR_WRITE;
    for (;;) {
        if (in->p < in->end) {
            DWORD count = (DWORD)(in->end - in->p);
            total += count;
            if (total > SZDD_MAX_LONG) return LZERROR_BADVALUE;
            if (!write(writeContext, in->p, count)) return LZERROR_WRITE;
            in->p = in->end;
        }
        if (!SzddRefill(in)) break;
    }
    if (in->failed) return LZERROR_READ;
    return (LONG)total;  // 0 for an empty input, as the library reports it
}

// Expands the LZSS stream after the header into `out`; returns the count or an LZERROR_ code.
static LONG SzddDecodeStream(SzddInput *in, SzddOutput *out) {
    const DWORD fastLimit = sizeof(out->window) - SZDD_GROUP_OUT;
    for (;;) {
        // Whole groups while the input and the output buffer certainly hold them.
        while (in->end - in->p >= SZDD_GROUP_IN) {
            if (out->pos > fastLimit && !SzddFlush(out)) return LZERROR_WRITE;
            const BYTE *p = in->p;
            unsigned flags = *p++;
            for (unsigned item = 0; item < szdd::kItemsPerFlag; item++, flags >>= 1) {
                if (flags & 1) {
                    out->window[out->pos++] = *p++;
                } else {
                    unsigned slot = szdd::DecodeMatchPos(p[0], p[1]);
                    SzddCopyMatch(out, slot, szdd::DecodeMatchLength(p[1]));
                    p += 2;
                }
            }
            in->p = p;
            if (out->flushed > SZDD_MAX_LONG - SZDD_OUT_SIZE) return LZERROR_BADVALUE;
        }

        // One group item by item, near the end of the input buffer.
        BYTE flags;
        if (!SzddGetByte(in, &flags)) break;
        for (unsigned item = 0; item < szdd::kItemsPerFlag; item++, flags >>= 1) {
            if (out->pos > sizeof(out->window) - szdd::kMaxMatch && !SzddFlush(out))
                return LZERROR_WRITE;
            BYTE b1, b2;
            if (!SzddGetByte(in, &b1)) goto end_of_input;  // the stream may end after any item
            if (flags & 1) {
                out->window[out->pos++] = b1;
            } else {
                // Cut inside a match: the library stops before it.
                if (!SzddGetByte(in, &b2)) goto end_of_input;
                SzddCopyMatch(out, szdd::DecodeMatchPos(b1, b2), szdd::DecodeMatchLength(b2));
            }
            if (out->flushed > SZDD_MAX_LONG - SZDD_OUT_SIZE) return LZERROR_BADVALUE;
        }
    }
end_of_input:
    if (in->failed) return LZERROR_READ;
    if (!SzddFlush(out)) return LZERROR_WRITE;
    return (LONG)out->flushed;
}

// Reads the header and expands or copies through; returns the count or an LZERROR_ code.
static LONG SzddRun(SzddInput *in, SzddWriteProc write, void *writeContext) {
    BYTE header[szdd::kHeaderSize];
    DWORD held = 0;
    while (held < szdd::kHeaderSize) {
        if (held == szdd::kSignatureSize && !szdd::HasSignature(header, held)) break;
        if (!SzddGetByte(in, &header[held])) break;
        held++;
    }
    if (in->failed) return LZERROR_READ;
    // Without the signature, or with a header cut short, the input is not
    // packed: the library copies it through.
    if (!szdd::HasSignature(header, held) || held < szdd::kHeaderSize)
        return SzddPassThrough(in, header, held, write, writeContext);
    if (header[szdd::kMethodOffset] != szdd::kMethodLz) return LZERROR_UNKNOWNALG;
    // The declared length is not looked at: the library writes what the stream gives.

    static_assert(sizeof(SzddOutput) < 80000, "the decoder's state lives on the stack");
    SzddOutput out;
    memset(out.window, szdd::kPrimeByte, szdd::kWindowSize);
    out.pos = szdd::kWindowSize;
    out.slotOffset = szdd::kFirstWritePos - szdd::kWindowSize;  // window[4096] is slot 0xFF0
    out.flushed = 0;
    out.write = write;
    out.context = writeContext;
    return SzddDecodeStream(in, &out);
}

LONG SzddExpand(SzddReadProc read, void *readContext, SzddWriteProc write, void *writeContext) {
    if (!read || !write) return LZERROR_BADVALUE;
    BYTE buffer[SZDD_IN_SIZE];
    SzddInput in;
    in.p = in.end = buffer;
    in.read = read;
    in.context = readContext;
    in.buffer = buffer;
    in.failed = 0;
    return SzddRun(&in, write, writeContext);
}

LONG SzddExpandBuffer(const BYTE *data, DWORD size, SzddWriteProc write, void *writeContext) {
    if ((!data && size) || !write) return LZERROR_BADVALUE;
    SzddInput in;
    in.p = data;
    in.end = data + size;
    in.read = 0;
    in.context = 0;
    in.buffer = 0;
    in.failed = 0;
    return SzddRun(&in, write, writeContext);
}
