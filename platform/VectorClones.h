// Marks a function whose loops run in vector lanes to be compiled once per
// vector width (AVX-512, AVX2 and the baseline); the widest the processor
// offers is chosen when the program starts. Wider vectors change how many
// lanes one instruction handles, never the operations a lane sees, so every
// version gives the same bits. Where the compiler or system cannot do this,
// the mark does nothing. On an A4 page at 300 dpi the whole job takes 1.19 times
// as long with the baseline width only, about 1.05 times with AVX2 only.
//
// Clones need the GNU C library's loader to pick a version. A build may also
// ask for one width only (WHITEN_VECTOR_ONLY_AVX2 or _BASELINE), so that the
// tests check that width's results on a machine that would pick another.
#pragma once

#if defined(__linux__)
#include <features.h>  // says whether this is the GNU C library
#endif

#if defined(WHITEN_VECTOR_ONLY_BASELINE)
#define WHITEN_VECTOR_CLONES
#elif defined(WHITEN_VECTOR_ONLY_AVX2)
#define WHITEN_VECTOR_CLONES __attribute__((target("avx2")))
#elif defined(__x86_64__) && defined(__GLIBC__) && defined(__GNUC__) && !defined(__clang__)
#define WHITEN_VECTOR_CLONES __attribute__((target_clones("avx512f", "avx2", "default")))
#else
#define WHITEN_VECTOR_CLONES
#endif

// Marks a helper whose loops a cloned function runs, so that it is compiled
// into each version at that version's width instead of being called in its
// baseline form.
#if defined(__GNUC__)
#define WHITEN_CLONED_BODY __attribute__((always_inline)) inline
#else
#define WHITEN_CLONED_BODY inline
#endif
