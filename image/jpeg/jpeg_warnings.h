// The JPEG library's warnings after which a file is refused.
#pragma once

// Why a file is refused after the library's warning of this code (a J_MESSAGE_CODE), or
// nullptr for a warning that is harmless, after which decoding goes on.
const char* JpegWarningRefusal(int code);
