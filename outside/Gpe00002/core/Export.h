#pragma once
// What the package's two libraries show to their callers: only declarations marked
// GPE00002_EXPORT are visible outside the library that defines them.

#if defined(GPE00002_BUILDING)
#define GPE00002_EXPORT __attribute__((visibility("default")))
#else
#define GPE00002_EXPORT
#endif
