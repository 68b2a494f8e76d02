// What the user is told when a link cannot be opened.
#pragma once

#include <string>

// "Unable to open hyperlink:" and a blank line, then the reason for the shell's code.
std::string OpenErrorText(int code);
