// Preloaded into the game by tests: opens of a file named by
// A2D_FAIL_OPEN_NAME (any folder) fail with EACCES, the first
// A2D_FAIL_OPEN_COUNT times (1 when unset), as when a file cannot be opened
// at that moment. Every other open goes through unchanged. With
// A2D_CUT_FILE set, those opens do not fail: each cuts that file to half
// its size instead, as a file damaged while the game runs. Hard links fail
// too when A2D_FAIL_LINK is set (see the end).
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
#include <stdarg.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

typedef int (*OpenFunction)(const char*, int, ...);
typedef int (*OpenAtFunction)(int, const char*, int, ...);

static int g_left = -1;

static int shouldFail(const char* path)
{
    const char* name = getenv("A2D_FAIL_OPEN_NAME");
    if (!name || !*name || !path)
        return 0;
    const size_t p = strlen(path), n = strlen(name);
    if (p <= n || path[p - n - 1] != '/' || strcmp(path + p - n, name) != 0)
        return 0;
    int left = __atomic_load_n(&g_left, __ATOMIC_SEQ_CST);
    if (left < 0) {
        const char* count = getenv("A2D_FAIL_OPEN_COUNT");
        int expected = -1;
        __atomic_compare_exchange_n(&g_left, &expected, count ? atoi(count) : 1, 0, __ATOMIC_SEQ_CST,
                                    __ATOMIC_SEQ_CST);
    }
    for (left = __atomic_load_n(&g_left, __ATOMIC_SEQ_CST); left > 0;)
        if (__atomic_compare_exchange_n(&g_left, &left, left - 1, 0, __ATOMIC_SEQ_CST, __ATOMIC_SEQ_CST))
            return 1;
    return 0;
}

// True when the open is to fail (errno set).
static int failOrCut(const char* path)
{
    if (!shouldFail(path))
        return 0;
    const char* cut = getenv("A2D_CUT_FILE");
    if (!cut || !*cut) {
        errno = EACCES;
        return 1;
    }
    struct stat st;
    if (stat(cut, &st) == 0) {
        const int done = truncate(cut, st.st_size / 2);
        (void)done;
    }
    return 0;
}

// The mode argument is there only when a file may be created.
static mode_t modeOf(int flags, va_list args)
{
    return (flags & O_CREAT) || (flags & O_TMPFILE) == O_TMPFILE ? (mode_t)va_arg(args, int) : 0;
}

static int forwardOpen(const char* symbol, const char* path, int flags, mode_t mode)
{
    if (failOrCut(path))
        return -1;
    OpenFunction real = (OpenFunction)dlsym(RTLD_NEXT, symbol);
    return real(path, flags, mode);
}

static int forwardOpenAt(const char* symbol, int dir, const char* path, int flags, mode_t mode)
{
    if (failOrCut(path))
        return -1;
    OpenAtFunction real = (OpenAtFunction)dlsym(RTLD_NEXT, symbol);
    return real(dir, path, flags, mode);
}

int open(const char* path, int flags, ...)
{
    va_list args;
    va_start(args, flags);
    const mode_t mode = modeOf(flags, args);
    va_end(args);
    return forwardOpen("open", path, flags, mode);
}

int open64(const char* path, int flags, ...)
{
    va_list args;
    va_start(args, flags);
    const mode_t mode = modeOf(flags, args);
    va_end(args);
    return forwardOpen("open64", path, flags, mode);
}

int openat(int dir, const char* path, int flags, ...)
{
    va_list args;
    va_start(args, flags);
    const mode_t mode = modeOf(flags, args);
    va_end(args);
    return forwardOpenAt("openat", dir, path, flags, mode);
}

int openat64(int dir, const char* path, int flags, ...)
{
    va_list args;
    va_start(args, flags);
    const mode_t mode = modeOf(flags, args);
    va_end(args);
    return forwardOpenAt("openat64", dir, path, flags, mode);
}

// With A2D_FAIL_LINK set, hard links are refused (EPERM), as on a file
// system without them.
typedef int (*LinkFunction)(const char*, const char*);
typedef int (*LinkAtFunction)(int, const char*, int, const char*, int);

int link(const char* from, const char* to)
{
    if (getenv("A2D_FAIL_LINK")) {
        errno = EPERM;
        return -1;
    }
    LinkFunction real = (LinkFunction)dlsym(RTLD_NEXT, "link");
    return real(from, to);
}

int linkat(int fromDir, const char* from, int toDir, const char* to, int flags)
{
    if (getenv("A2D_FAIL_LINK")) {
        errno = EPERM;
        return -1;
    }
    LinkAtFunction real = (LinkAtFunction)dlsym(RTLD_NEXT, "linkat");
    return real(fromDir, from, toDir, to, flags);
}
