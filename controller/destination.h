// Asking for the destination folder, with a folder picker.
#ifndef VANTRO_DESTINATION_H
#define VANTRO_DESTINATION_H

#include "platform.h"

// Lets the user pick a folder, starting in `start`; `result` (260 characters)
// receives it, with "\Vantro" appended when the path does not already name the
// product folder. Returns non-zero when a folder was confirmed, 0 when the
// picker was cancelled or failed (or the result would not fit).
int BrowseForFolder(HWND owner, const char *start, char *result);

#endif
