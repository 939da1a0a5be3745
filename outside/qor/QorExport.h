#pragma once
// Symbol visibility of the shared runtime library.
#if defined(QOR_BUILDING)
#define QOR_EXPORT __attribute__((visibility("default")))
#else
#define QOR_EXPORT
#endif
