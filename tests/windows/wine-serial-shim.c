// SPDX-License-Identifier: GPL-3.0-or-later
/* LD_PRELOAD for wine 8.0 (Debian 12's wine64) in the Windows tests: lets a program that
 * waits for received bytes as QSerialPort does (SetCommMask(EV_RXCHAR), an overlapped
 * WaitCommEvent without an event, its result taken from an I/O completion port) receive on
 * a pseudo-terminal mapped as a COM port.
 *
 * Wine 8.0 serves WaitCommEvent in ntdll's unix serial.c. wait_on() allocates a wait
 * record, checks the line once and starts a polling thread (wait_for_event); when the
 * OVERLAPPED has no event, the caller then blocks until that thread ends, and nothing
 * ever posts the result to the handle's completion port. The polling thread also ends at
 * the first failed TIOCMGET, which a pseudo-terminal always fails (ENOTTY). So on a pty
 * the program receives nothing; with TIOCMGET answered alone, its window thread blocks in
 * the port's first WaitCommEvent. Here:
 *  - TIOCMGET on a device without modem lines answers "all lines low";
 *  - a hung-up line counts as readable (TIOCINQ 1), as poll() reports it, so that the
 *    program's next read meets the hangup as it would on a pulled adapter;
 *  - at wait_on()'s first ioctl (TIOCGICOUNT) the wait record, the last 80-byte block the
 *    thread allocated, is taken over when its OVERLAPPED has no event: its internal event
 *    is set at once so the caller goes on, as WaitCommEvent does on Windows;
 *  - when wine frees a taken-over record whose wait ended with an event, the result is
 *    posted to the handle's completion port (server request add_fd_completion).
 * It relies on wine 8.0's wait record and request layouts: should they change, the query
 * in tests/windows/e2e.py stops after its first command. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <link.h>
#include <poll.h>
#include <stdarg.h>
#include <stdint.h>
#include <string.h>
#include <sys/ioctl.h>

typedef void *HANDLE;
typedef int NTSTATUS;
#define WINAPI __attribute__((ms_abi))

/* dlls/ntdll/unix/serial.c, wine 8.0 */
struct async_commio
{
    HANDLE device;
    unsigned int *events;
    uint64_t iosb; /* the OVERLAPPED, which is also the completion value */
    HANDLE event;
    unsigned int mask, cookie, mstat, pending_write;
    int irq_info[8];
};

/* the OVERLAPPED the program passed */
struct overlapped
{
    uintptr_t internal, internal_high;
    uint64_t offset;
    HANDLE event;
};

/* server/protocol.def, wine 8.0: add_fd_completion is request 254 */
enum { REQ_add_fd_completion = 254 };
struct add_fd_completion_request
{
    int req;
    unsigned int request_size, reply_size;
    unsigned int handle;
    uint64_t cvalue, information;
    unsigned int status;
    int async;
};
struct server_request_info
{
    union {
        struct add_fd_completion_request request;
        int max_size[16];
    } u;
    unsigned int data_count;
    void *reply_data;
    struct
    {
        const void *ptr;
        unsigned int size;
    } data[8];
};

extern void *__libc_malloc(size_t);
extern void __libc_free(void *);

static __thread struct async_commio *t_allocated; /* the thread's last 80-byte block */
static struct async_commio *volatile g_taken[32];

static unsigned int(WINAPI *p_wine_server_call)(void *);
static NTSTATUS(WINAPI *p_NtSetEvent)(HANDLE, long *);

static int FindNtdll(struct dl_phdr_info *info, size_t size, void *found)
{
    (void)size;
    const char *name = info->dlpi_name;
    const size_t n = strlen(name);
    if (n >= 20 && strcmp(name + n - 20, "x86_64-unix/ntdll.so") == 0) {
        *(void **)found = dlopen(name, RTLD_NOW | RTLD_NOLOAD);
        return 1;
    }
    return 0;
}

static int ResolveWine(void)
{
    if (p_wine_server_call && p_NtSetEvent)
        return 1;
    void *ntdll = NULL;
    dl_iterate_phdr(FindNtdll, &ntdll);
    if (!ntdll)
        return 0;
    p_wine_server_call = (unsigned int(WINAPI *)(void *))dlsym(ntdll, "wine_server_call");
    p_NtSetEvent = (NTSTATUS(WINAPI *)(HANDLE, long *))dlsym(ntdll, "NtSetEvent");
    return p_wine_server_call && p_NtSetEvent;
}

static int LooksLikeHandle(HANDLE h)
{
    const uintptr_t v = (uintptr_t)h;
    return v != 0 && v < (1u << 24) && (v & 3) == 0;
}

void *malloc(size_t size)
{
    void *block = __libc_malloc(size);
    if (size == sizeof(struct async_commio))
        t_allocated = block;
    return block;
}

static void TakeOverWait(void)
{
    struct async_commio *c = t_allocated;
    t_allocated = NULL;
    if (!c || !LooksLikeHandle(c->device) || !LooksLikeHandle(c->event) || !c->events || !c->iosb
        || c->mask == 0)
        return;
    const struct overlapped *ov = (const struct overlapped *)(uintptr_t)c->iosb;
    if (ov->event || !ResolveWine())
        return; /* the program waits on its own event: wine serves that */
    for (size_t i = 0; i < sizeof g_taken / sizeof g_taken[0]; ++i) {
        if (__sync_bool_compare_and_swap(&g_taken[i], NULL, c)) {
            *c->events = 0;
            p_NtSetEvent(c->event, NULL); /* the caller goes on */
            c->event = NULL; /* closed by the caller; the polling thread must not set it */
            return;
        }
    }
}

static void PostResult(const struct async_commio *c)
{
    struct server_request_info info;
    memset(&info, 0, sizeof info);
    info.u.request.req = REQ_add_fd_completion;
    info.u.request.handle = (unsigned int)(uintptr_t)c->device;
    info.u.request.cvalue = c->iosb;
    info.u.request.information = sizeof(unsigned int);
    info.u.request.status = 0;
    info.u.request.async = 1;
    p_wine_server_call(&info);
}

void free(void *block)
{
    if (block) {
        for (size_t i = 0; i < sizeof g_taken / sizeof g_taken[0]; ++i) {
            if (g_taken[i] == block && __sync_bool_compare_and_swap(&g_taken[i], block, NULL)) {
                const struct async_commio *c = block;
                if (*c->events)
                    PostResult(c);
                break;
            }
        }
    }
    __libc_free(block);
}

static int HungUp(int fd)
{
    struct pollfd p = { fd, POLLIN, 0 };
    return poll(&p, 1, 0) == 1 && (p.revents & POLLHUP);
}

int ioctl(int fd, unsigned long request, ...)
{
    static int (*real)(int, unsigned long, ...);
    va_list ap;
    va_start(ap, request);
    void *arg = va_arg(ap, void *);
    va_end(ap);
    if (!real)
        real = (int (*)(int, unsigned long, ...))dlsym(RTLD_NEXT, "ioctl");
    if (request == TIOCGICOUNT)
        TakeOverWait();
    else
        t_allocated = NULL;
    const int r = real(fd, request, arg);
    if (r == -1 && errno == ENOTTY && request == TIOCMGET && arg) {
        *(int *)arg = 0;
        errno = 0;
        return 0;
    }
    if (r == 0 && request == TIOCINQ && arg && *(int *)arg == 0 && HungUp(fd))
        *(int *)arg = 1;
    return r;
}
