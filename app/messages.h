// Message texts from the string table, numbered-insert formatting, and the
// plain-text setup log.
#ifndef VANTRO_MESSAGES_H
#define VANTRO_MESSAGES_H

#include "platform.h"

// Size of the buffer FormatMsgString fills, terminator included.
#define FORMAT_BUFFER_SIZE 1024

// Copies text `id` into `buffer` (capacity characters); returns 1 when found.
// A missing text leaves "<id> DEBUG - Unable to load string", cut to the buffer,
// and returns 0; a capacity of 0 returns 0 and leaves the buffer alone.
int LoadMsgString(UINT id, char *buffer, int capacity);

// Fills `tmpl`'s numbered inserts ("%1!s!", "%2!u!") with the arguments that
// follow, in insert order, into `buffer` (FORMAT_BUFFER_SIZE characters). Returns
// the number of characters stored; 0 (and an empty buffer) on failure.
int FormatMsgString(char *buffer, const char *tmpl, ...);

// Appends `line` and a line break to setup.log in the user's temporary folder
// when logging is on. Failures are silent: the log never stops an install. A
// log that would be written through a link is not written.
void SetupLog(const char *line);

#endif
