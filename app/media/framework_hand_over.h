// The media framework passes objects between its threads under locks the thread sanitizer
// cannot see (its libraries are not built for it). Marking where our code gives an object to
// the framework and where another thread of ours takes it back keeps our own accesses checked
// without false alarms. Free everywhere but in the sanitizer's build.
#pragma once

#if defined(__SANITIZE_THREAD__)
#define OVISTRA_THREAD_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define OVISTRA_THREAD_SANITIZER 1
#endif
#endif

#ifdef OVISTRA_THREAD_SANITIZER
#include <sanitizer/tsan_interface.h>
#endif

namespace ovistra::media {

#ifdef OVISTRA_THREAD_SANITIZER
// What this thread wrote to `object` happens before a later TakenFromFramework(object).
inline void GivenToFramework(const void* object) { __tsan_release(const_cast<void*>(object)); }
inline void TakenFromFramework(const void* object) { __tsan_acquire(const_cast<void*>(object)); }
#else
inline void GivenToFramework(const void*) {}
inline void TakenFromFramework(const void*) {}
#endif

}  // namespace ovistra::media
