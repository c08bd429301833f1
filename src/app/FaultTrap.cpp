#include "app/FaultTrap.h"

#include <dlfcn.h>
#include <fenv.h>
#include <setjmp.h>
#include <signal.h>
#include <ucontext.h>

#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <memory>

namespace pavana {
namespace {

constexpr int kSignals[] = {SIGSEGV, SIGBUS, SIGFPE, SIGILL};
constexpr std::size_t kSignalCount = sizeof kSignals / sizeof kSignals[0];
// Room for the handler even when the fault is a stack overflow (and for a sanitizer's
// instrumentation of it).
constexpr std::size_t kAlternateStackSize = 128 * 1024;

struct Trap {
    sigjmp_buf jump;
    Fault fault;
};

// The trap of the call in progress on this thread; the handlers the call replaced.
thread_local Trap* t_trap = nullptr;
struct sigaction g_previous[kSignalCount];

std::uintptr_t InstructionOf(const void* context) {
    const auto* uc = static_cast<const ucontext_t*>(context);
#if defined(__x86_64__)
    return static_cast<std::uintptr_t>(uc->uc_mcontext.gregs[REG_RIP]);
#elif defined(__i386__)
    return static_cast<std::uintptr_t>(uc->uc_mcontext.gregs[REG_EIP]);
#elif defined(__aarch64__)
    return static_cast<std::uintptr_t>(uc->uc_mcontext.pc);
#else
    (void)uc;
    return 0;
#endif
}

bool IsWrite(int signal, const void* context) {
#if defined(__x86_64__) || defined(__i386__)
    // Bit 1 of the page fault's error code: the access was a write.
    const auto* uc = static_cast<const ucontext_t*>(context);
    return signal == SIGSEGV && (uc->uc_mcontext.gregs[REG_ERR] & 2) != 0;
#else
    (void)signal;
    (void)context;
    return false;
#endif
}

void OnFault(int signal, siginfo_t* info, void* context) {
    Trap* trap = t_trap;
    if (trap == nullptr) {
        // Not the thread of the call: the previous handler takes the fault when it recurs.
        for (std::size_t i = 0; i < kSignalCount; ++i)
            if (kSignals[i] == signal) sigaction(signal, &g_previous[i], nullptr);
        return;
    }
    t_trap = nullptr;
    trap->fault.signal = signal;
    trap->fault.code = info->si_code;
    trap->fault.instruction = InstructionOf(context);
    trap->fault.address = reinterpret_cast<std::uintptr_t>(info->si_addr);
    trap->fault.write = IsWrite(signal, context);
    siglongjmp(trap->jump, 1);
}

// The handlers and the alternate stack for the length of one call.
class Handlers {
public:
    Handlers() : stack_(std::make_unique<char[]>(kAlternateStackSize)) {
        stack_t alternate{};
        alternate.ss_sp = stack_.get();
        alternate.ss_size = kAlternateStackSize;
        sigaltstack(&alternate, &previousStack_);
        struct sigaction action {};
        action.sa_sigaction = OnFault;
        action.sa_flags = SA_SIGINFO | SA_ONSTACK;
        sigemptyset(&action.sa_mask);
        for (std::size_t i = 0; i < kSignalCount; ++i) sigaction(kSignals[i], &action, &g_previous[i]);
        fegetenv(&floatingPoint_);
    }
    ~Handlers() {
        fesetenv(&floatingPoint_);
        for (std::size_t i = 0; i < kSignalCount; ++i) sigaction(kSignals[i], &g_previous[i], nullptr);
        sigaltstack(&previousStack_, nullptr);
    }
    Handlers(const Handlers&) = delete;
    Handlers& operator=(const Handlers&) = delete;

private:
    std::unique_ptr<char[]> stack_;
    stack_t previousStack_{};
    // Traps, rounding and flush-to-zero as they were: foreign code may change them.
    fenv_t floatingPoint_{};
};

std::string Hex(std::uintptr_t value) {
    char text[2 * sizeof value + 1];
    std::snprintf(text, sizeof text, "%0*" PRIXPTR, static_cast<int>(2 * sizeof value), value);
    return text;
}

const char* FloatingPointKind(int code) {
    switch (code) {
        case FPE_INTDIV: return "Division by zero";
        case FPE_INTOVF: return "Integer overflow";
        case FPE_FLTDIV: return "Floating point division by zero";
        case FPE_FLTOVF: return "Floating point overflow";
        case FPE_FLTUND: return "Floating point underflow";
        default: return "Invalid floating point operation";
    }
}

}  // namespace

std::optional<Fault> CallTrappingFaults(void (*function)(void*), void* argument) {
    Handlers handlers;
    Trap trap;
    if (sigsetjmp(trap.jump, 1) == 0) {
        t_trap = &trap;
        function(argument);
        t_trap = nullptr;
        return std::nullopt;
    }
    return trap.fault;
}

std::string DescribeFault(const Fault& fault) {
    std::string kind;
    switch (fault.signal) {
        case SIGSEGV: kind = "Access violation"; break;
        case SIGBUS: kind = "Bus error"; break;
        case SIGFPE: kind = FloatingPointKind(fault.code); break;
        case SIGILL: kind = "Illegal instruction"; break;
        default: kind = "Signal " + std::to_string(fault.signal); break;
    }
    std::string text = kind + " at address " + Hex(fault.instruction);
    Dl_info info{};
    if (fault.instruction != 0 && dladdr(reinterpret_cast<void*>(fault.instruction), &info) != 0 &&
        info.dli_fname != nullptr && *info.dli_fname != '\0') {
        const char* slash = std::strrchr(info.dli_fname, '/');
        text += " in module '" + std::string(slash ? slash + 1 : info.dli_fname) + "'";
    }
    if (fault.signal == SIGSEGV)
        text += std::string(fault.write ? ". Write" : ". Read") + " of address " + Hex(fault.address);
    if (fault.signal == SIGBUS) text += ". Access of address " + Hex(fault.address);
    return text;
}

}  // namespace pavana
