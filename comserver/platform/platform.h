// The Windows services the server uses. On Windows they come from the
// system headers; elsewhere from the small stand-in beside this file, so the
// same server sources build and run natively under the sanitizers.
#pragma once

#if defined(_WIN32)
#include <windows.h>
#include <objbase.h>
// The system's interface declarations have no virtual destructor on
// purpose: COM objects are destroyed by their last Release, never deleted
// through an interface pointer.
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"
// Literal UTF-16 text in the platform's wide character type.
#define UTF16(text) L##text
#else
#include "stand_in.h"
#define UTF16(text) u##text
#endif
