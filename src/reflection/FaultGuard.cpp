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
    Guard* outer;
};

// Each thread's innermost guard lives in a system thread-local slot: the handler reads it
// without allocating (the runtime's emulated thread_local could allocate on a thread's first
// use), and two threads in guarded calls at once never see each other's guard.
std::atomic<DWORD> guardSlot{TLS_OUT_OF_INDEXES};

Guard* InnermostGuard()
{
    const DWORD slot = guardSlot.load();
    return slot == TLS_OUT_OF_INDEXES ? nullptr : static_cast<Guard*>(TlsGetValue(slot));
}

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
// hardware fault on a thread inside a guarded call is taken.
LONG CALLBACK OnException(EXCEPTION_POINTERS* info)
{
    Guard* guard = InnermostGuard();
    if (guard == nullptr || !IsHardwareFault(info->ExceptionRecord->ExceptionCode))
    {
        return EXCEPTION_CONTINUE_SEARCH;
    }
    __builtin_longjmp(guard->jump, 1);
}

// Adding a handler allocates inside the system, so it is added once, with the thread slot; an
// unloaded library must not leave either behind.
struct HandlerRegistration
{
    HandlerRegistration()
    {
        const DWORD slot = TlsAlloc();
        if (slot == TLS_OUT_OF_INDEXES)
        {
            return;
        }
        guardSlot.store(slot);
        handle = AddVectoredExceptionHandler(1, &OnException);
    }
    ~HandlerRegistration()
    {
        if (handle != nullptr)
        {
            RemoveVectoredExceptionHandler(handle);
        }
        const DWORD slot = guardSlot.exchange(TLS_OUT_OF_INDEXES);
        if (slot != TLS_OUT_OF_INDEXES)
        {
            TlsFree(slot);
        }
    }
    void* handle = nullptr;
};

struct Activation
{
    Guard& guard;
    explicit Activation(Guard& active) : guard(active) { TlsSetValue(guardSlot.load(), &guard); }
    ~Activation() { TlsSetValue(guardSlot.load(), guard.outer); }
};
} // namespace

bool RunContained(void (*body)(void* context), void* context)
{
    static HandlerRegistration registration;
    if (registration.handle == nullptr)
    {
        return false;
    }
    Guard guard{{}, InnermostGuard()};
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
#include <mutex>

namespace Orv
{
namespace
{
constexpr int kSignals[] = {SIGSEGV, SIGBUS, SIGFPE, SIGILL};
constexpr int kSignalCount = static_cast<int>(sizeof(kSignals) / sizeof(kSignals[0]));

struct Guard
{
    sigjmp_buf jump;
    Guard* outer;
};

// Each thread's innermost guard. Initial-exec: the handler reads it with one load, without the
// lazy (allocating) set-up a dynamically loaded library's thread variables otherwise get on a
// thread's first access, which may be inside the handler on a thread that never guarded.
__attribute__((tls_model("initial-exec"))) thread_local Guard* innermost = nullptr;

// What each signal had before ours, in kSignals' order; written only while ours is not yet in.
struct sigaction previous[kSignalCount];
std::atomic<bool> installed{false};
std::mutex installation;

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

bool IsOurs(const struct sigaction& action);

// As the kernel would have delivered the signal to the handler we replaced. A fault raised by
// the hardware (si_code above zero) cannot be ignored: the kernel kills for it, so an ignored
// one takes the default too.
void PassOn(int signal, siginfo_t* info, void* context)
{
    struct sigaction& before = previous[SlotOf(signal)];
    const bool sent = info == nullptr || info->si_code <= 0;
    const bool takesInfo = (before.sa_flags & SA_SIGINFO) != 0;
    if (!takesInfo && before.sa_handler == SIG_IGN && sent)
    {
        return;
    }
    if ((!takesInfo && (before.sa_handler == SIG_DFL || before.sa_handler == SIG_IGN)) || IsOurs(before))
    {
        // Returning runs the faulting instruction again, now into the default; a sent signal
        // does not come again by itself.
        std::signal(signal, SIG_DFL);
        if (sent)
        {
            raise(signal);
        }
        return;
    }
    // The mask the kernel would have set for that handler; our return puts the old one back.
    sigset_t mask = before.sa_mask;
    if ((before.sa_flags & SA_NODEFER) == 0)
    {
        sigaddset(&mask, signal);
    }
    pthread_sigmask(SIG_BLOCK, &mask, nullptr);
    struct sigaction handler = before;
    if ((before.sa_flags & SA_RESETHAND) != 0)
    {
        before.sa_handler = SIG_DFL;
        before.sa_flags &= ~SA_SIGINFO;
    }
    if (takesInfo)
    {
        handler.sa_sigaction(signal, info, context);
    }
    else
    {
        handler.sa_handler(signal);
    }
}

void OnFault(int signal, siginfo_t* info, void* context)
{
    Guard* guard = innermost;
    if (guard != nullptr)
    {
        siglongjmp(guard->jump, 1);
    }
    // Not inside a guarded call on this thread: not ours.
    PassOn(signal, info, context);
}

bool IsOurs(const struct sigaction& action) { return (action.sa_flags & SA_SIGINFO) != 0 && action.sa_sigaction == &OnFault; }

// Puts the handlers back when the library unloads (or the program ends, the mod linked in).
struct Release
{
    ~Release() { RestoreFaultHandlers(); }
} release;

struct Activation
{
    Guard& guard;
    explicit Activation(Guard& active) : guard(active) { innermost = &guard; }
    ~Activation() { innermost = guard.outer; }
};
} // namespace

bool InstallFaultHandlers()
{
    if (installed.load(std::memory_order_acquire))
    {
        return true;
    }
    std::lock_guard lock(installation);
    if (installed.load(std::memory_order_relaxed))
    {
        return true;
    }
    struct sigaction action{};
    action.sa_sigaction = &OnFault;
    // Not deferred: the signal stays unblocked in the handler, so the jump out of it needs no
    // saved signal mask (and no system call to save or restore one).
    action.sa_flags = SA_SIGINFO | SA_NODEFER | SA_ONSTACK;
    sigemptyset(&action.sa_mask);
    for (int i = 0; i < kSignalCount; ++i)
    {
        // The previous handler is in place before ours can run and pass a signal on to it.
        if (sigaction(kSignals[i], nullptr, &previous[i]) != 0)
        {
            return false;
        }
        sigaction(kSignals[i], &action, nullptr);
    }
    installed.store(true, std::memory_order_release);
    return true;
}

void RestoreFaultHandlers()
{
    std::lock_guard lock(installation);
    if (!installed.load(std::memory_order_relaxed))
    {
        return;
    }
    for (int i = kSignalCount - 1; i >= 0; --i)
    {
        struct sigaction now{};
        // A library that replaced ours since keeps its handler (and may still pass on to ours).
        if (sigaction(kSignals[i], nullptr, &now) == 0 && IsOurs(now))
        {
            sigaction(kSignals[i], &previous[i], nullptr);
        }
    }
    installed.store(false, std::memory_order_release);
}

bool RunContained(void (*body)(void* context), void* context)
{
    if (!installed.load(std::memory_order_acquire) && !InstallFaultHandlers())
    {
        return false;
    }
    Guard guard;
    guard.outer = innermost;
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
