#pragma once
// Included last by the effect sources, whose fast paths are SSE2 code. Every 64-bit processor has
// SSE2; the 32-bit build compiles the rest of the including file for SSE2 as well, so both
// builds run the same code.
#include <emmintrin.h>

#if defined(__i386__) && !defined(__SSE2__)
#pragma GCC target("sse2")
#endif
