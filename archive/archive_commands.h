// Command lines handed to the archiver libraries. Every path stands in double quotes;
// a folder argument keeps its trailing backslash inside them. Each builds into out
// (outSize bytes) and returns 1, or 0 when the line would not fit or a piece of a path
// is longer than 255 bytes (out then holds an empty string).
#pragma once

#include <cstddef>

// Creation. isFolder counts when not 0; source is the file or folder path whole.
int FormatLhaCreate(char* out, size_t outSize, const char* archive, const char* source,
                    int isFolder);
int FormatSevenZipCreate(char* out, size_t outSize, const char* archive, const char* source,
                         const char* typeName, int isFolder);
int FormatCabCreate(char* out, size_t outSize, const char* archive, const char* source,
                    int isFolder);

// Second step of the self-extracting formats: turns the plain archive temp into a
// self-extracting one in the folder of archive.
int FormatLhaSfxStep(char* out, size_t outSize, const char* temp, const char* archive);
int FormatCabSfxStep(char* out, size_t outSize, const char* temp, const char* archive);

// Extraction into dest, a folder ending in a backslash.
int FormatLhaExtract(char* out, size_t outSize, const char* archive, const char* dest);
int FormatSevenZipExtract(char* out, size_t outSize, const char* archive, const char* dest);
int FormatCabExtract(char* out, size_t outSize, const char* archive, const char* dest);
