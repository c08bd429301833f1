/* Inserts a row, then faults in the way its build chose. */
#include <pavana/extension.h>

#include <stdio.h>
#include <stdlib.h>
#include <sys/mman.h>
#include <unistd.h>

void pavana_extension_main(PavanaDatabase *db) {
    db->api->execute(db, "INSERT INTO Marcas VALUES ('antes')", PAVANA_FAIL_ON_ERROR, NULL);
#if defined(FAULT_SEGV)
    volatile int *volatile nowhere = NULL;
    *nowhere = 1;
#elif defined(FAULT_FPE)
    volatile int numerator = 7, zero = 0;
    volatile int quotient = numerator / zero;
    (void)quotient;
#elif defined(FAULT_ILL)
    __builtin_trap();
#elif defined(FAULT_BUS)
    /* Reading a mapped page beyond the end of its file. */
    FILE *file = tmpfile();
    long page = sysconf(_SC_PAGESIZE);
    ftruncate(fileno(file), page);
    volatile char *map = mmap(NULL, (size_t)page, PROT_READ, MAP_SHARED, fileno(file), 0);
    ftruncate(fileno(file), 0);
    (void)map[0];
#endif
    db->api->execute(db, "INSERT INTO Marcas VALUES ('depois')", PAVANA_FAIL_ON_ERROR, NULL);
}
