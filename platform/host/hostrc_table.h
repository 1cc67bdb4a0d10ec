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
// A control of a dialog template. Styles are the final ones, as windres writes
// them (the shorthand statements' defaults and WS_CHILD | WS_VISIBLE applied);
// places are dialog units.
struct HostRcControl {
    int id;                 // -1 for the unnamed static texts
    const char *className;  // "Button", "Static", "Edit", "ListBox", "ComboBox", or as the template names it
    const char *text;
    unsigned style;
    unsigned exStyle;
    int x, y, cx, cy;
};
// A DIALOG or DIALOGEX template with its controls in template (tab) order.
struct HostRcDialog {
    const char *name;  // as the script writes it ("DLG_INSTALL"), "#307" for a numeric name
    const char *caption;
    unsigned style;
    unsigned exStyle;
    int x, y, cx, cy;
    const char *fontFace;  // "" without a FONT statement
    int fontSize;
    const HostRcControl *controls;
    unsigned controlCount;
};
extern const HostRcString g_hostRcStrings[];
extern const unsigned g_hostRcStringCount;
extern const HostRcFile g_hostRcFiles[];
extern const unsigned g_hostRcFileCount;
extern const HostRcDialog g_hostRcDialogs[];
extern const unsigned g_hostRcDialogCount;

#endif
