/* Calling convention and symbol export shared by the two engine interfaces. */
#ifndef TESK_ENGINE_ABI_H
#define TESK_ENGINE_ABI_H

#include <stdint.h>

/* 32-bit Windows callers use the standard calling convention; everywhere else the
   platform's only one applies. */
#if defined(_WIN32) && !defined(_WIN64)
#define TESK_CALL __stdcall
#else
#define TESK_CALL
#endif

#if defined(_WIN32)
#define TESK_EXPORT __declspec(dllexport)
#else
#define TESK_EXPORT __attribute__((visibility("default")))
#endif

#if defined(__cplusplus)
#define TESK_STATIC_ASSERT(cond, msg) static_assert(cond, msg)
#else
#define TESK_STATIC_ASSERT(cond, msg) _Static_assert(cond, msg)
#endif

/* Both engines take name tables of this many slots: n names, an empty text, then nulls. */
#define TESK_NAMELIST_SLOTS 1024

#endif
