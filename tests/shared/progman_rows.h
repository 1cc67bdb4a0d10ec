// The commands the Program Manager client sends for each kind of item, the same
// on the simulated Program Manager and under Wine: a caption, a folder, a file
// name and a command line, and the DeleteItem and AddItem texts they give.
// The current folder of the "empty folder" row is C:\TEMP.
#ifndef VANTRO_TESTS_PROGMAN_ROWS_H
#define VANTRO_TESTS_PROGMAN_ROWS_H

struct ProgmanItemRow {
    const char *name;
    const char *caption, *folder, *file, *commandLine;
    const char *deleted, *added;  // the two commands AddItem sends
};

static const ProgmanItemRow kProgmanItemRows[] = {
    {"the install's own icon", "Vantro Pro", "C:\\Program Files\\Vantro Pro", "tclassic.exe", "",
     "[DeleteItem(\"Vantro Pro\")]",
     "[AddItem(\"C:\\Program Files\\Vantro Pro\\tclassic.exe\",\"Vantro Pro\",,,,,C:\\Program Files\\Vantro Pro)]"},
    {"empty caption: the file names the item", "", "C:\\V", "tfind.exe", "", "[DeleteItem(\"tfind.exe\")]",
     "[AddItem(\"C:\\V\\tfind.exe\",\"tfind.exe\",,,,,C:\\V)]"},
    {"empty folder: the current one", "Help", "", "tcore32.hlp", "", "[DeleteItem(\"Help\")]",
     "[AddItem(\"C:\\TEMP\\tcore32.hlp\",\"Help\",,,,,C:\\TEMP)]"},
    {"a folder ending with a backslash gets no second one", "Root", "D:\\", "x.exe", "",
     "[DeleteItem(\"Root\")]", "[AddItem(\"D:\\x.exe\",\"Root\",,,,,D:\\)]"},
    {"a file name with a backslash is the target", "Tool", "C:\\V", "C:\\Other\\tool.exe", "",
     "[DeleteItem(\"Tool\")]", "[AddItem(\"C:\\Other\\tool.exe\",\"Tool\",,,,,C:\\V)]"},
    {"a command line given is sent as it is", "Icons", "C:\\V", "tlink.exe", "C:\\V\\tlink.exe -icons",
     "[DeleteItem(\"Icons\")]", "[AddItem(\"C:\\V\\tlink.exe -icons\",\"Icons\",,,,,C:\\V)]"},
};

#endif
