/* Example extension in C: recomputes the average of every row of Notas through an updatable
 * recordset, inside one transaction, then adds a summary row to ResumoNotas (created on the
 * first run).
 *
 *   cc -shared -fPIC -I<PavanaScript>/include -o librecompute_averages.so recompute_averages.c
 *
 * Expects Notas (aluno TEXT, nota1 DOUBLE, nota2 DOUBLE, media DOUBLE). */
#include <pavana/extension.h>

#include <stdio.h>

/* Reports the last error and leaves; the program rolls back the open transaction. */
#define TRY(call)                                               \
    do {                                                        \
        if ((call) != PAVANA_OK) {                              \
            db->api->report_error(db, db->api->last_error(db)); \
            return;                                             \
        }                                                       \
    } while (0)

static double real_of(const PavanaValue* v) {
    if (v->type == PAVANA_VALUE_REAL) return v->real;
    if (v->type == PAVANA_VALUE_INTEGER) return (double)v->integer;
    return 0.0; /* a missing grade counts as zero */
}

void pavana_extension_main(PavanaDatabase* db) {
    const struct PavanaApi* api = db->api;
    PavanaRecordset* rows = NULL;
    PavanaQuery* summary = NULL;
    PavanaValue v1, v2, average;
    int32_t nota1, nota2, media;
    int32_t students = 0;
    double sum = 0.0;
    int eof = 0;

    TRY(api->begin_transaction(db));
    TRY(api->recordset_open(db, "SELECT aluno, nota1, nota2, media FROM Notas", PAVANA_OPEN_DYNASET, &rows));
    TRY(api->field_index(rows, "nota1", &nota1));
    TRY(api->field_index(rows, "nota2", &nota2));
    TRY(api->field_index(rows, "media", &media));
    TRY(api->recordset_eof(rows, &eof));
    while (!eof) {
        TRY(api->field_value(rows, nota1, &v1));
        TRY(api->field_value(rows, nota2, &v2));
        average = pavana_real((real_of(&v1) + real_of(&v2)) / 2.0);
        TRY(api->recordset_edit(rows));
        TRY(api->field_set_value(rows, media, &average));
        TRY(api->recordset_update(rows));
        sum += average.real;
        ++students;
        TRY(api->recordset_move_next(rows));
        TRY(api->recordset_eof(rows, &eof));
    }
    TRY(api->recordset_close(rows));

    if (api->execute(db, "CREATE TABLE ResumoNotas (alunos LONG, media_geral DOUBLE)", PAVANA_FAIL_ON_ERROR, NULL) !=
            PAVANA_OK &&
        api->last_error_number(db) != 3010 /* the table exists already */) {
        api->report_error(db, api->last_error(db));
        return;
    }
    TRY(api->query_create(db,
                          "PARAMETERS [n] LONG, [m] DOUBLE; INSERT INTO ResumoNotas (alunos, media_geral) "
                          "VALUES ([n], [m])",
                          &summary));
    v1 = pavana_integer(students);
    v2 = students > 0 ? pavana_real(sum / students) : pavana_null();
    TRY(api->query_set_parameter_by_name(summary, "n", &v1));
    TRY(api->query_set_parameter_by_name(summary, "m", &v2));
    TRY(api->query_execute(summary, PAVANA_FAIL_ON_ERROR, NULL));
    TRY(api->query_close(summary));
    TRY(api->commit_transaction(db));
}
