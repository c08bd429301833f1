/* Creates two tables, inserts rows through one prepared query inside a transaction, reads
 * them back through a recordset and writes what it read as a summary row. Any failure is
 * reported with the engine's text. */
#include <pavana/extension.h>

#include <stdio.h>
#include <string.h>

#define CHECK(call)                                             \
    do {                                                        \
        if ((call) != PAVANA_OK) {                              \
            db->api->report_error(db, db->api->last_error(db)); \
            return;                                             \
        }                                                       \
    } while (0)

void pavana_extension_main(PavanaDatabase* db) {
    static const char* names[] = {"Ana", "João", "Zé"};
    static const double grades[] = {7.5, 9.0, 6.25};
    const struct PavanaApi* api = db->api;
    PavanaQuery* insert = NULL;
    PavanaQuery* summary = NULL;
    PavanaRecordset* rows = NULL;
    PavanaValue v;
    int32_t affected = 0, count = 0, i;
    int eof = 0;
    double total = 0;
    char joined[200] = "";

    CHECK(api->execute(db, "CREATE TABLE Notas (id LONG PRIMARY KEY, nome TEXT(50), nota DOUBLE, quando DATETIME)",
                       PAVANA_FAIL_ON_ERROR, NULL));
    CHECK(api->execute(db, "CREATE TABLE Resumo (total DOUBLE, nomes TEXT(200), contagem LONG)", PAVANA_FAIL_ON_ERROR,
                       NULL));
    CHECK(api->query_create(db,
                            "PARAMETERS pId LONG, pNome TEXT(50), pNota DOUBLE, pQuando DATETIME; "
                            "INSERT INTO Notas (id, nome, nota, quando) VALUES (pId, pNome, pNota, pQuando)",
                            &insert));
    CHECK(api->begin_transaction(db));
    for (i = 0; i < 3; ++i) {
        v = pavana_integer(i + 1);
        CHECK(api->query_set_parameter(insert, 0, &v));
        v = pavana_text(names[i]);
        CHECK(api->query_set_parameter(insert, 1, &v));
        v = pavana_real(grades[i]);
        CHECK(api->query_set_parameter(insert, 2, &v));
        v = pavana_date(pavana_date_of(2026, 3, 1 + i, 8, 30, 0));
        CHECK(api->query_set_parameter(insert, 3, &v));
        CHECK(api->query_execute(insert, PAVANA_FAIL_ON_ERROR, &affected));
        if (affected != 1) {
            api->report_error(db, "insert did not affect one record");
            return;
        }
    }
    CHECK(api->commit_transaction(db));
    CHECK(api->query_close(insert));

    CHECK(api->recordset_open(db, "SELECT id, nome, nota FROM Notas ORDER BY id", PAVANA_OPEN_SNAPSHOT, &rows));
    CHECK(api->recordset_eof(rows, &eof));
    while (!eof) {
        CHECK(api->field_value(rows, 1, &v));
        if (v.type != PAVANA_VALUE_TEXT) break;
        if (joined[0] != '\0') strcat(joined, ",");
        strncat(joined, v.text, v.size);
        CHECK(api->field_value(rows, 2, &v));
        total += v.real;
        ++count;
        CHECK(api->recordset_move_next(rows));
        CHECK(api->recordset_eof(rows, &eof));
    }
    /* rows is left open on purpose: the program closes it after the call. */

    CHECK(api->query_create(db,
                            "PARAMETERS pTotal DOUBLE, pNomes TEXT(200), pContagem LONG; "
                            "INSERT INTO Resumo VALUES (pTotal, pNomes, pContagem)",
                            &summary));
    v = pavana_real(total);
    CHECK(api->query_set_parameter_by_name(summary, "ptotal", &v));
    v = pavana_text(joined);
    CHECK(api->query_set_parameter_by_name(summary, "pNomes", &v));
    v = pavana_integer(count);
    CHECK(api->query_set_parameter_by_name(summary, "pContagem", &v));
    CHECK(api->query_execute(summary, PAVANA_FAIL_ON_ERROR, NULL));
}
