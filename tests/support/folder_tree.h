#ifndef QUENLARK_TESTS_FOLDER_TREE_H
#define QUENLARK_TESTS_FOLDER_TREE_H

#include <string>

// Removes a folder with everything in it, as far as it can.
void RemoveFolderTree(const std::wstring& folder);

#endif
