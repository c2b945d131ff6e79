#pragma once

#include <windows.h>

// <winbase.h> defines Yield() to nothing, a leftover of 16-bit Windows; the window interface has
// a Yield of its own.
#undef Yield
