// What every entry point of the library is: C linkage, the public name, no exception across the
// boundary, and on 32-bit Windows a re-aligned stack (hosts promise only 4 bytes, SSE code needs 16).
#pragma once

#include <ormi/effects.h>

#if defined(_WIN32) && defined(__i386__)
#define ORMI_REALIGN __attribute__((force_align_arg_pointer))
#else
#define ORMI_REALIGN
#endif

#define ORMI_EXPORT extern "C" ORMI_API ORMI_REALIGN
