/* Inserts a row, then ends the way its build chose: FORK_AND_RETURN forks and returns in both
 * processes (the parent after its child has ended); CALL_EXIT ends the process with exit(7). */
#include <pavana/extension.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

void pavana_extension_main(PavanaDatabase* db) {
    db->api->execute(db, "INSERT INTO Marcas VALUES ('antes')", PAVANA_FAIL_ON_ERROR, NULL);
#if defined(FORK_AND_RETURN)
    pid_t child = fork();
    if (child > 0) waitpid(child, NULL, 0);
#elif defined(CALL_EXIT)
    exit(7);
#endif
}
