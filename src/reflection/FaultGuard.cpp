// The fault guard around engine calls, one form per toolchain.
#include "reflection/FaultGuard.hpp"

#if defined(_MSC_VER)

#include "reflection/Host.hpp"

namespace Orv
{
bool RunContained(void (*body)(void* context), void* context)
{
    __try
    {
        body(context);
        return true;
    }
    __except (EXCEPTION_EXECUTE_HANDLER)
    {
        return false;
    }
}
} // namespace Orv

#elif defined(_WIN32)

#include "reflection/Host.hpp"

#include <atomic>

namespace Orv
{
namespace
{
struct Guard
{
    void* jump[5];
    DWORD thread;
    Guard* outer;
};

std::atomic<Guard*> innermost{nullptr};

bool IsHardwareFault(DWORD code)
{
    switch (code)
    {
    case EXCEPTION_ACCESS_VIOLATION:
    case EXCEPTION_IN_PAGE_ERROR:
    case EXCEPTION_DATATYPE_MISALIGNMENT:
    case EXCEPTION_ARRAY_BOUNDS_EXCEEDED:
    case EXCEPTION_ILLEGAL_INSTRUCTION:
    case EXCEPTION_PRIV_INSTRUCTION:
    case EXCEPTION_INT_DIVIDE_BY_ZERO:
    case EXCEPTION_INT_OVERFLOW:
    case EXCEPTION_FLT_DIVIDE_BY_ZERO:
    case EXCEPTION_FLT_INVALID_OPERATION:
    case EXCEPTION_FLT_OVERFLOW:
    case EXCEPTION_STACK_OVERFLOW: return true;
    default: return false;
    }
}

// Every exception passes here first, C++ throws and debugger notices included: only a
// hardware fault on a guarded thread is taken.
LONG CALLBACK OnException(EXCEPTION_POINTERS* info)
{
    Guard* guard = innermost.load();
    if (guard == nullptr || guard->thread != GetCurrentThreadId() || !IsHardwareFault(info->ExceptionRecord->ExceptionCode))
    {
        return EXCEPTION_CONTINUE_SEARCH;
    }
    __builtin_longjmp(guard->jump, 1);
}

// Adding a handler allocates inside the system, so it is added once; an unloaded library
// must not leave it behind.
struct HandlerRegistration
{
    void* handle = AddVectoredExceptionHandler(1, &OnException);
    ~HandlerRegistration()
    {
        if (handle != nullptr)
        {
            RemoveVectoredExceptionHandler(handle);
        }
    }
};

struct Activation
{
    Guard& guard;
    explicit Activation(Guard& active) : guard(active) { innermost.store(&guard); }
    ~Activation() { innermost.store(guard.outer); }
};
} // namespace

bool RunContained(void (*body)(void* context), void* context)
{
    static HandlerRegistration registration;
    if (registration.handle == nullptr)
    {
        return false;
    }
    Guard guard{{}, GetCurrentThreadId(), innermost.load()};
    Activation activation(guard);
    if (__builtin_setjmp(guard.jump) != 0)
    {
        return false;
    }
    body(context);
    return true;
}
} // namespace Orv

#else

#include <atomic>
#include <csetjmp>
#include <csignal>
#include <pthread.h>

namespace Orv
{
namespace
{
constexpr int kSignals[] = {SIGSEGV, SIGBUS, SIGFPE, SIGILL};
constexpr int kSignalCount = static_cast<int>(sizeof(kSignals) / sizeof(kSignals[0]));

struct Guard
{
    sigjmp_buf jump;
    pthread_t thread;
    Guard* outer;
    struct sigaction previous[kSignalCount];
};

std::atomic<Guard*> innermost{nullptr};

int SlotOf(int signal)
{
    for (int i = 0; i < kSignalCount; ++i)
    {
        if (kSignals[i] == signal)
        {
            return i;
        }
    }
    return 0;
}

void OnFault(int signal, siginfo_t*, void*)
{
    Guard* guard = innermost.load();
    if (guard != nullptr && pthread_equal(guard->thread, pthread_self()) != 0)
    {
        siglongjmp(guard->jump, 1);
    }
    // Another thread's fault is not ours: put back what was there and let the faulting
    // instruction run again into it.
    if (guard != nullptr)
    {
        sigaction(signal, &guard->previous[SlotOf(signal)], nullptr);
    }
    else
    {
        std::signal(signal, SIG_DFL);
    }
}

// Installs the handlers for the guard's lifetime; the destructor also runs when the body
// throws, so a C++ exception never leaves them behind.
struct Activation
{
    Guard& guard;
    explicit Activation(Guard& active) : guard(active)
    {
        struct sigaction action{};
        action.sa_sigaction = &OnFault;
        // Not deferred: the signal stays unblocked in the handler, so the jump out of it needs
        // no saved signal mask (and no system call to save one).
        action.sa_flags = SA_SIGINFO | SA_NODEFER | SA_ONSTACK;
        sigemptyset(&action.sa_mask);
        for (int i = 0; i < kSignalCount; ++i)
        {
            sigaction(kSignals[i], &action, &guard.previous[i]);
        }
        innermost.store(&guard);
    }
    ~Activation()
    {
        innermost.store(guard.outer);
        for (int i = kSignalCount - 1; i >= 0; --i)
        {
            sigaction(kSignals[i], &guard.previous[i], nullptr);
        }
    }
};
} // namespace

bool RunContained(void (*body)(void* context), void* context)
{
    Guard guard;
    guard.thread = pthread_self();
    guard.outer = innermost.load();
    Activation activation(guard);
    if (sigsetjmp(guard.jump, 0) != 0)
    {
        return false;
    }
    body(context);
    return true;
}
} // namespace Orv

#endif
