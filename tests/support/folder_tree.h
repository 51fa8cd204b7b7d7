#ifndef QUENLARK_TESTS_FOLDER_TREE_H
#define QUENLARK_TESTS_FOLDER_TREE_H

#include <wchar.h>

// Removes a folder with everything in it, as far as it can. On kernel32 and
// msvcrt alone, for the kit's runner and the end-to-end cases of every build.
void RemoveFolderTree(const wchar_t* folder);

#endif
