#include "folder_tree.h"

#include <windows.h>
#include <stdio.h>

void RemoveFolderTree(const wchar_t* folder)
{
    wchar_t path[MAX_PATH];
    _snwprintf(path, MAX_PATH - 1, L"%ls\\*", folder);
    path[MAX_PATH - 1] = L'\0';
    WIN32_FIND_DATAW entry;
    HANDLE search = FindFirstFileW(path, &entry);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            _snwprintf(path, MAX_PATH - 1, L"%ls\\%ls", folder, entry.cFileName);
            if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0)
                DeleteFileW(path);
            else if (wcscmp(entry.cFileName, L".") != 0 && wcscmp(entry.cFileName, L"..") != 0)
                RemoveFolderTree(path);
        } while (FindNextFileW(search, &entry));
        FindClose(search);
    }
    RemoveDirectoryW(folder);
}
