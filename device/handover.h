#pragma once

// Qt hands data from one thread to another through its own uninstrumented
// locks (a posted event's queue, a finished thread's wait), which
// ThreadSanitizer cannot see. Code that hands something over states that
// edge itself: everything the sending thread did before ZEL_HANDED_OVER(p)
// happens before whatever the receiving thread does after
// ZEL_TAKEN_BACK(p) on the same address.
#if defined(__SANITIZE_THREAD__)
#include <sanitizer/tsan_interface.h>
#define ZEL_HANDED_OVER(p) __tsan_release(const_cast<void *>(static_cast<const void *>(p)))
#define ZEL_TAKEN_BACK(p) __tsan_acquire(const_cast<void *>(static_cast<const void *>(p)))
#else
#define ZEL_HANDED_OVER(p) static_cast<void>(p)
#define ZEL_TAKEN_BACK(p) static_cast<void>(p)
#endif
