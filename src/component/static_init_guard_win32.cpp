// Why this file exists: the compiler guards every function-local static with
// __cxa_guard_acquire and __cxa_guard_release, so that two threads (two
// apartments of the host) never run one initialiser twice. From GCC 13 on,
// libstdc++'s win32 thread model makes the waiting threads sleep on a condition
// variable, which Windows has only since Vista: linking its guard would stop
// TB.dll from loading on XP. These definitions keep that archive member out.
//
// The guard is the Itanium ABI's 64-bit word. Its first byte is the "done" flag
// that the compiler's inline fast path reads; the second 32-bit word holds the id
// of the thread running the initialiser. Initialisers are short and contention is
// rare, so a waiter yields its time slice, and after a while sleeps, so that a
// preempted owner of lower priority gets to finish.
#include <windows.h>

#include <cstdlib>
#include <cxxabi.h>

namespace {

volatile char* DoneFlag(__cxxabiv1::__guard* guard) {
    return reinterpret_cast<volatile char*>(guard);
}

volatile LONG* Owner(__cxxabiv1::__guard* guard) {
    return reinterpret_cast<volatile LONG*>(guard) + 1;
}

}  // namespace

namespace __cxxabiv1 {

extern "C" int __cxa_guard_acquire(__guard* guard) {
    const LONG self = static_cast<LONG>(GetCurrentThreadId());
    for (unsigned round = 0;; ++round) {
        if (__atomic_load_n(DoneFlag(guard), __ATOMIC_ACQUIRE) != 0) return 0;
        const LONG owner = InterlockedCompareExchange(Owner(guard), self, 0);
        if (owner == 0) {
            // The previous owner may have finished between the two reads.
            if (__atomic_load_n(DoneFlag(guard), __ATOMIC_ACQUIRE) == 0) return 1;
            InterlockedExchange(Owner(guard), 0);
            return 0;
        }
        // An initialiser that needs its own variable: undefined behaviour that
        // would otherwise wait for ever.
        if (owner == self) std::abort();
        if (round < 64) {
            SwitchToThread();
        } else {
            Sleep(1);
        }
    }
}

extern "C" void __cxa_guard_release(__guard* guard) noexcept {
    __atomic_store_n(DoneFlag(guard), 1, __ATOMIC_RELEASE);
    InterlockedExchange(Owner(guard), 0);
}

// The initialiser threw: the next caller tries again.
extern "C" void __cxa_guard_abort(__guard* guard) noexcept { InterlockedExchange(Owner(guard), 0); }

}  // namespace __cxxabiv1
