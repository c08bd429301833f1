/* Inserts a row, then faults in the way its build chose (or, with LEAVE_FLOAT_TRAPS, returns
 * with the floating-point environment changed). */
#define _GNU_SOURCE
#include <pavana/extension.h>

#include <fenv.h>

#include <stdio.h>
#include <stdlib.h>
#include <sys/mman.h>
#include <unistd.h>

#if defined(FAULT_STACK)
/* Recurses until the stack runs out (long before the bound, a terabyte of frames); the
 * handler needs the alternate stack to run at all. */
static int deeper(volatile char* above, long depth) {
    volatile char frame[1024];
    if (depth > 1000000000L) return 0;
    frame[0] = above ? above[0] : 1;
    return deeper(frame, depth + 1) + frame[0];
}
#endif

void pavana_extension_main(PavanaDatabase* db) {
    db->api->execute(db, "INSERT INTO Marcas VALUES ('antes')", PAVANA_FAIL_ON_ERROR, NULL);
#if defined(FAULT_SEGV)
    volatile int* volatile nowhere = NULL;
    *nowhere = 1;
#elif defined(FAULT_FPE)
    volatile int numerator = 7, zero = 0;
    volatile int quotient = numerator / zero;
    (void)quotient;
#elif defined(FAULT_FLOAT)
    /* Turns on the trap for floating-point division by zero, then divides. */
    volatile double nothing = 0.0;
    volatile double quotient;
    feenableexcept(FE_DIVBYZERO);
    quotient = 1.0 / nothing;
    (void)quotient;
#elif defined(LEAVE_FLOAT_TRAPS)
    /* Returns with the trap for floating-point division by zero turned on. */
    feenableexcept(FE_DIVBYZERO);
#elif defined(FAULT_ILL)
    __builtin_trap();
#elif defined(FAULT_STACK)
    (void)deeper(NULL, 0);
#elif defined(FAULT_BUS)
    /* Reading a mapped page beyond the end of its file. */
    FILE* file = tmpfile();
    long page = sysconf(_SC_PAGESIZE);
    ftruncate(fileno(file), page);
    volatile char* map = mmap(NULL, (size_t)page, PROT_READ, MAP_SHARED, fileno(file), 0);
    ftruncate(fileno(file), 0);
    (void)map[0];
#endif
    db->api->execute(db, "INSERT INTO Marcas VALUES ('depois')", PAVANA_FAIL_ON_ERROR, NULL);
}
