// Byte-level helpers for code page 932 text: the second byte of a double-byte character
// may equal '\\', so path text is always walked character by character.
#pragma once

#include <string>
#include <vector>

// True when the last whole character of text is a backslash.
bool EndsWithBackslashChar(const std::string& text);

// True when text holds a backslash character anywhere.
bool HasBackslashChar(const std::string& text);

// Whether text ends with suffix, the suffix starting on a character boundary of text.
bool EndsWithChars(const std::string& text, const std::string& suffix);

// The part of path after its last backslash character (the whole path if none).
std::string LastComponent(const std::string& path);

// name up to its last dot character, or name itself when it has no dot.
std::string WithoutExtension(const std::string& name);

// The pieces of path between backslash characters; empty pieces are kept.
std::vector<std::string> SplitAtBackslashes(const std::string& path);

// Conversions between code page 932 bytes and UTF-16; false when text is not valid.
bool Cp932ToWide(const std::string& text, std::wstring* wide);
bool WideToCp932(const std::wstring& wide, std::string* text);
