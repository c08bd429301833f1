/* Inserts a row, then takes six seconds over its work without calling the program. */
#include <pavana/extension.h>
#include <time.h>

void pavana_extension_main(PavanaDatabase* db) {
    db->api->execute(db, "INSERT INTO Marcas VALUES ('antes')", PAVANA_FAIL_ON_ERROR, NULL);
    struct timespec pause = {6, 0};
    while (nanosleep(&pause, &pause) != 0) {
    }
}
