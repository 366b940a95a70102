#pragma once
// Marks that let clang's thread-safety analysis (-Wthread-safety) check, at compile time, that
// data is touched only under the lock that guards it and that locks are taken and given back in
// pairs. Other compilers read them as nothing. A lock type is marked VEBIX_CAPABILITY
// (mutex.h, fairmutex.h); what it guards is marked VEBIX_GUARDED_BY (the member itself) or
// VEBIX_PT_GUARDED_BY (what a pointer member points to); a function that expects the caller to
// hold a lock is marked VEBIX_REQUIRES.

#if defined(__clang__)
#define VEBIX_THREAD_ANNOTATION(x) __attribute__((x))
#else
#define VEBIX_THREAD_ANNOTATION(x)
#endif

#define VEBIX_CAPABILITY(name) VEBIX_THREAD_ANNOTATION(capability(name))
#define VEBIX_SCOPED_CAPABILITY VEBIX_THREAD_ANNOTATION(scoped_lockable)
#define VEBIX_GUARDED_BY(lock) VEBIX_THREAD_ANNOTATION(guarded_by(lock))
#define VEBIX_PT_GUARDED_BY(lock) VEBIX_THREAD_ANNOTATION(pt_guarded_by(lock))
#define VEBIX_REQUIRES(...) VEBIX_THREAD_ANNOTATION(requires_capability(__VA_ARGS__))
#define VEBIX_EXCLUDES(...) VEBIX_THREAD_ANNOTATION(locks_excluded(__VA_ARGS__))
#define VEBIX_ACQUIRE(...) VEBIX_THREAD_ANNOTATION(acquire_capability(__VA_ARGS__))
#define VEBIX_RELEASE(...) VEBIX_THREAD_ANNOTATION(release_capability(__VA_ARGS__))
