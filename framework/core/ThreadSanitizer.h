#pragma once

#if defined(__SANITIZE_THREAD__)
extern "C" void __tsan_acquire(void *address);
extern "C" void __tsan_release(void *address);
#endif

// Qt is built without ThreadSanitizer, so the orderings it makes inside its
// own library (a contended mutex handed over, a thread waited for) are
// invisible to the sanitizer and what they guard looks raced. These mark
// such an ordering by hand on some address both sides agree on; in builds
// without the sanitizer they are nothing.
namespace tsan {

inline void released(void *sync)
{
#if defined(__SANITIZE_THREAD__)
    __tsan_release(sync);
#else
    (void)sync;
#endif
}

inline void acquired(void *sync)
{
#if defined(__SANITIZE_THREAD__)
    __tsan_acquire(sync);
#else
    (void)sync;
#endif
}

} // namespace tsan
