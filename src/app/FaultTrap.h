// Calling foreign code so that a processor fault during the call becomes an error instead of
// the end of the process.
//
// `CallTrappingFaults` installs handlers for SIGSEGV, SIGBUS, SIGFPE and SIGILL that run on
// an alternate signal stack (a fault may come from a stack overflow), calls the function and
// restores the previous handlers and stack, and the floating-point environment (traps,
// rounding), on every way out. A fault raised by the calling
// thread during the call jumps back (siglongjmp) and is reported; the code that faulted does
// not resume and whatever it held is abandoned. A fault of another thread meanwhile goes to
// the handler that was installed before. One call at a time per process (the handlers are
// process-wide); the function must not let a C++ exception escape.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace pavana {

// What the handler saw of one fault.
struct Fault {
    int signal = 0;
    int code = 0;                    // si_code
    std::uintptr_t instruction = 0;  // address of the faulting instruction, 0 when unknown
    std::uintptr_t address = 0;      // si_addr: the memory address for SIGSEGV and SIGBUS
    bool write = false;              // SIGSEGV: the access was a write
};

// Calls `function(argument)`; the fault when one happened, nothing when it returned.
std::optional<Fault> CallTrappingFaults(void (*function)(void*), void* argument);

// The message of a fault, in the platform's words: "Access violation at address
// 00007F0012345678 in module 'libx.so'. Read of address 0000000000000000", "Division by zero
// at address ... in module '...'", ... The module is the file holding the instruction, found
// while that file is still loaded.
std::string DescribeFault(const Fault& fault);

}  // namespace pavana
