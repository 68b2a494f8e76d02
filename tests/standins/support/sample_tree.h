// A small tree of files to archive, and a byte-for-byte comparison of two trees.
#pragma once

#include <string>

// Makes the folder path (whose parent exists) holding: text and binary files, an empty
// file, one larger than a cabinet data block, nested and empty folders, and Japanese
// names, one of them with a second byte equal to '\\'.
bool MakeSampleTree(const std::string& path);

// Empty when both trees hold the same names with the same bytes, else what differs.
// With ignoreEmptyFolders, folders that hold no file (at any depth) are left out.
std::string CompareTrees(const std::string& expected, const std::string& actual,
                         bool ignoreEmptyFolders);
