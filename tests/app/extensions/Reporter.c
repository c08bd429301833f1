/* Reports an error after a change that stays applied, and leaves a transaction open when
 * built with LEAVE_TRANSACTION. */
#include <pavana/extension.h>

void pavana_extension_main(PavanaDatabase* db) {
    db->api->execute(db, "INSERT INTO Marcas VALUES ('feito')", PAVANA_FAIL_ON_ERROR, NULL);
#if defined(LEAVE_TRANSACTION)
    db->api->begin_transaction(db);
    db->api->execute(db, "INSERT INTO Marcas VALUES ('pendente')", PAVANA_FAIL_ON_ERROR, NULL);
#else
    db->api->report_error(db, "Falha na atualização: cálculo impossível");
#endif
}
