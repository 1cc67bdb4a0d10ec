// The host's SZDD reader: expands a file packed in the format of the Windows LZ
// expansion library (payload/szdd_format.h) in one streaming pass, for the
// host's LZCopy. It reads through a callback or from a buffer and writes
// through a callback; it keeps only the 4096-byte window and fixed buffers.
//
// What it accepts and refuses, as the library does (seen under Wine's LZ32,
// pinned by tests/shared/lz_cases.cpp):
// - Input that does not begin with the full 8-byte signature, or that ends
//   before the 14-byte header is complete, is not packed: it is copied through
//   unchanged. An empty input gives 0 bytes.
// - A method other than 'A' is LZERROR_UNKNOWNALG.
// - The stream may end anywhere: after any whole item, or between the two bytes
//   of a match, which is then dropped. What was decoded up to there is the
//   result, whatever the header's declared length says; the declared length is
//   not looked at, so a stream that gives more than it is written whole.
// - An output above 0x7FFFFFFF bytes is LZERROR_BADVALUE (the count would not
//   fit LZCopy's result).
// - A failed read is LZERROR_READ, a failed write LZERROR_WRITE.
// On failure, bytes already handed to the writer stay written; the caller
// discards the output.
#ifndef VANTRO_SZDD_DECODE_H
#define VANTRO_SZDD_DECODE_H

#include "platform.h"

// Reads up to `size` bytes into `buffer`; returns the count read, 0 at the end
// of the input, or a negative value when the read fails.
typedef LONG (*SzddReadProc)(void *context, BYTE *buffer, DWORD size);
// Writes `size` bytes; returns 1 when all of them were written, 0 otherwise.
typedef BOOL (*SzddWriteProc)(void *context, const BYTE *data, DWORD size);

// Expands (or copies through) the input read through `read`; returns the
// number of bytes written, or a negative LZERROR_ code as described above.
LONG SzddExpand(SzddReadProc read, void *readContext, SzddWriteProc write, void *writeContext);

// The same over `size` bytes at `data`; returns the bytes written or a negative LZERROR_ code.
LONG SzddExpandBuffer(const BYTE *data, DWORD size, SzddWriteProc write, void *writeContext);

#endif
