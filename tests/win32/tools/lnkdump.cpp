// lnkdump FOLDER: prints one line "NAME|TARGET|WORKING FOLDER" for each
// shortcut (*.lnk) in FOLDER, sorted by name, as IShellLink reads it back;
// a shortcut it cannot read prints "NAME|?|?". Exit 0, or 1 when COM fails.
#include <stdio.h>
#include <string.h>
#include <windows.h>

#include <objbase.h>
#include <objidl.h>
#include <shlobj.h>

#include <algorithm>
#include <string>
#include <vector>

int main(int argc, char **argv)
{
    if (argc != 2) {
        fprintf(stderr, "usage: lnkdump FOLDER\n");
        return 2;
    }
    std::string folder = argv[1];
    std::vector<std::string> names;
    WIN32_FIND_DATAA found;
    HANDLE find = FindFirstFileA((folder + "\\*.lnk").c_str(), &found);
    if (find != INVALID_HANDLE_VALUE) {
        do names.push_back(found.cFileName);
        while (FindNextFileA(find, &found));
        FindClose(find);
    }
    std::sort(names.begin(), names.end());
    if (FAILED(CoInitialize(NULL))) return 1;
    for (const std::string &name : names) {
        std::string target = "?", workDir = "?";
        IShellLinkA *link = NULL;
        IPersistFile *file = NULL;
        if (SUCCEEDED(CoCreateInstance(CLSID_ShellLink, NULL, CLSCTX_INPROC_SERVER, IID_IShellLinkA, (void **)&link)) &&
            SUCCEEDED(link->QueryInterface(IID_IPersistFile, (void **)&file))) {
            WCHAR wide[MAX_PATH];
            MultiByteToWideChar(CP_ACP, 0, (folder + "\\" + name).c_str(), -1, wide, MAX_PATH);
            char text[MAX_PATH * 2];
            if (SUCCEEDED(file->Load(wide, STGM_READ))) {
                text[0] = 0;
                if (SUCCEEDED(link->GetPath(text, sizeof text, NULL, SLGP_RAWPATH))) target = text;
                text[0] = 0;
                if (SUCCEEDED(link->GetWorkingDirectory(text, sizeof text))) workDir = text;
            }
        }
        if (file) file->Release();
        if (link) link->Release();
        printf("%s|%s|%s\n", name.c_str(), target.c_str(), workDir.c_str());
    }
    CoUninitialize();
    return 0;
}
