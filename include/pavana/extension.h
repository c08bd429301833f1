/*
 * PavanaScript extension libraries: the one header an extension needs.
 *
 * An extension is a shared object that an update script names in an "executaDLL" statement.
 * PavanaScript loads it, calls its entry once with the open database, and unloads it:
 *
 *     #include <pavana/extension.h>
 *     void pavana_extension_main(PavanaDatabase *db) { ... }
 *
 * Build it with `cc -shared -fPIC -I<PavanaScript>/include -o my.so my.c`; nothing needs to
 * be linked, since every function is reached through the table that `db->api` points to.
 * A library without `pavana_extension_main` is loaded and unloaded and nothing else happens.
 *
 * The call
 *   - happens inside the script run, which waits for it, on one thread: the program's own on
 *     a terminal, one of its own while the progress window is on screen (so that the window
 *     keeps moving). Call the functions of the table only from the thread of the call and
 *     only during the call.
 *   - borrows `db`: do not keep it, nor any handle or text it gave, after returning. Query
 *     definitions and recordsets still open when the entry returns are closed for you.
 *   - fails the statement (one entry in script.log, then the run goes on) when the library
 *     calls `report_error`, when a C++ exception leaves the entry, when the process faults
 *     (invalid memory access, division by zero, illegal instruction) during the call, or when
 *     the entry returns with a transaction still open. In that last case, and after a fault or
 *     an exception, every transaction the library began and did not end is rolled back.
 *     Statements executed outside a transaction stay applied whatever follows: each is
 *     committed when `execute` returns, as a statement of the script is.
 *
 * Conventions
 *   - Every function returns a status: PAVANA_OK, PAVANA_ERROR (the database engine refused;
 *     `last_error` gives its English message and `last_error_number` its error number, e.g.
 *     3022 for a duplicate key) or PAVANA_MISUSE (a null pointer, an unknown or closed
 *     handle, an index out of range, a call outside the entry's call). Results are written
 *     through the last pointer arguments only on PAVANA_OK.
 *   - `last_error` describes the latest call that failed; a call that succeeds empties it.
 *   - Text crosses as UTF-8, NUL-terminated. Texts and bytes the library receives belong to
 *     PavanaScript: names stay valid while their query or recordset is open, a field value
 *     until the next `field_value` of the same field or the recordset's close, the error text
 *     until the next call.
 *   - SQL is the Jet (Access) dialect the update scripts are written in; query definitions
 *     take parameters declared by a PARAMETERS clause.
 *
 * Versions
 *   The table only ever grows at its end. `db->api->size` is the size of the table the
 *   running program provides; check it with PAVANA_API_HAS before calling a function that a
 *   later version added. `version` is PAVANA_EXTENSION_API_VERSION of the program.
 */
#ifndef PAVANA_EXTENSION_H
#define PAVANA_EXTENSION_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#define PAVANA_EXTENSION_API_VERSION 1

/* Statuses. */
#define PAVANA_OK 0
#define PAVANA_ERROR 1
#define PAVANA_MISUSE 2

/* Option of execute and query_execute: fail on the first row that cannot be changed
 * (without it such rows are left alone and the statement still succeeds). */
#define PAVANA_FAIL_ON_ERROR 128

/* Recordset types (0 takes the engine's default). */
#define PAVANA_OPEN_DEFAULT 0
#define PAVANA_OPEN_TABLE 1
#define PAVANA_OPEN_DYNASET 2
#define PAVANA_OPEN_SNAPSHOT 4
#define PAVANA_OPEN_FORWARD_ONLY 8

/* Field types reported by field_type (the engine's numbers). */
#define PAVANA_TYPE_BOOLEAN 1
#define PAVANA_TYPE_BYTE 2
#define PAVANA_TYPE_INTEGER 3 /* 16 bits */
#define PAVANA_TYPE_LONG 4    /* 32 bits */
#define PAVANA_TYPE_CURRENCY 5
#define PAVANA_TYPE_SINGLE 6
#define PAVANA_TYPE_DOUBLE 7
#define PAVANA_TYPE_DATE 8
#define PAVANA_TYPE_BINARY 9
#define PAVANA_TYPE_TEXT 10
#define PAVANA_TYPE_LONG_BINARY 11
#define PAVANA_TYPE_MEMO 12
#define PAVANA_TYPE_GUID 15
#define PAVANA_TYPE_BIG_INT 16
#define PAVANA_TYPE_DECIMAL 20

/* The kinds of value. */
#define PAVANA_VALUE_NULL 0
#define PAVANA_VALUE_INTEGER 1 /* `integer`; a Yes/No field reads -1 for Yes, 0 for No */
#define PAVANA_VALUE_REAL 2    /* `real`; currency and decimal fields read as real too */
#define PAVANA_VALUE_TEXT 3    /* `text`, `size` bytes of UTF-8 plus a NUL */
#define PAVANA_VALUE_DATE 4    /* `real`: days since 30 December 1899, time of day as fraction */
#define PAVANA_VALUE_BYTES 5   /* `bytes`, `size` bytes */

/* One value read from a field or given to a parameter or a field. Only the members of its
 * kind are read; pavana_text() and the other builders below fill one in. */
typedef struct PavanaValue {
    int32_t type;
    int64_t integer;
    double real;
    const char* text;
    const void* bytes;
    size_t size;
} PavanaValue;

typedef struct PavanaDatabase PavanaDatabase;
typedef struct PavanaQuery PavanaQuery;         /* a query definition */
typedef struct PavanaRecordset PavanaRecordset; /* a cursor over rows */

struct PavanaApi {
    uint32_t version;
    uint32_t size; /* sizeof(struct PavanaApi) in the running program */

    /* Errors. */
    const char* (*last_error)(PavanaDatabase* db);
    int32_t (*last_error_number)(PavanaDatabase* db); /* 0 when not an engine error */
    /* Makes the statement fail with `message` (UTF-8) once the entry returns; the latest
     * report wins. The library goes on running until it returns. */
    int (*report_error)(PavanaDatabase* db, const char* message);

    /* Runs one action statement (INSERT, UPDATE, DELETE, CREATE TABLE, ...). */
    int (*execute)(PavanaDatabase* db, const char* sql, int32_t options, int32_t* records_affected);

    /* Transactions; they nest five deep. A transaction holds the statements, query executions
     * and record changes made until it is committed or rolled back. */
    int (*begin_transaction)(PavanaDatabase* db);
    int (*commit_transaction)(PavanaDatabase* db);
    int (*rollback_transaction)(PavanaDatabase* db);

    /* Query definitions: created on a statement, parameters set by 0-based position or by
     * name (case-insensitive), then executed or opened as a recordset, any number of times. */
    int (*query_create)(PavanaDatabase* db, const char* sql, PavanaQuery** query);
    int (*query_parameter_count)(PavanaQuery* query, int32_t* count);
    int (*query_parameter_name)(PavanaQuery* query, int32_t index, const char** name);
    int (*query_set_parameter)(PavanaQuery* query, int32_t index, const PavanaValue* value);
    int (*query_set_parameter_by_name)(PavanaQuery* query, const char* name, const PavanaValue* value);
    int (*query_execute)(PavanaQuery* query, int32_t options, int32_t* records_affected);
    int (*query_open_recordset)(PavanaQuery* query, int32_t type, PavanaRecordset** recordset);
    int (*query_close)(PavanaQuery* query);

    /* Recordsets: opened on a table name or a SELECT statement, standing on the first
     * record (or at EOF and BOF when there is none). Moving past the last record sets EOF,
     * before the first BOF; moving on from there fails with error 3021 "No current record.".
     * The record count is of the records reached so far: all of them after move_last. */
    int (*recordset_open)(PavanaDatabase* db, const char* source, int32_t type, PavanaRecordset** recordset);
    int (*recordset_move_first)(PavanaRecordset* recordset);
    int (*recordset_move_next)(PavanaRecordset* recordset);
    int (*recordset_move_previous)(PavanaRecordset* recordset);
    int (*recordset_move_last)(PavanaRecordset* recordset);
    int (*recordset_eof)(PavanaRecordset* recordset, int* eof);
    int (*recordset_bof)(PavanaRecordset* recordset, int* bof);
    int (*recordset_record_count)(PavanaRecordset* recordset, int32_t* count);

    /* Fields of the current record, by 0-based position. */
    int (*field_count)(PavanaRecordset* recordset, int32_t* count);
    int (*field_name)(PavanaRecordset* recordset, int32_t index, const char** name);
    int (*field_type)(PavanaRecordset* recordset, int32_t index, int32_t* type);
    int (*field_index)(PavanaRecordset* recordset, const char* name, int32_t* index);
    int (*field_value)(PavanaRecordset* recordset, int32_t index, PavanaValue* value);

    /* Changing records: add_new or edit, set fields, then update (or cancel_update);
     * delete removes the current record. A recordset that cannot be changed fails with
     * error 3027. */
    int (*field_set_value)(PavanaRecordset* recordset, int32_t index, const PavanaValue* value);
    int (*recordset_add_new)(PavanaRecordset* recordset);
    int (*recordset_edit)(PavanaRecordset* recordset);
    int (*recordset_update)(PavanaRecordset* recordset);
    int (*recordset_cancel_update)(PavanaRecordset* recordset);
    int (*recordset_delete)(PavanaRecordset* recordset);
    int (*recordset_close)(PavanaRecordset* recordset);
};

/* The open database, borrowed for the length of the call. */
struct PavanaDatabase {
    const struct PavanaApi* api;
};

/* True when the running program's table has `member`. */
#define PAVANA_API_HAS(db, member) ((db)->api->size >= offsetof(struct PavanaApi, member) + sizeof((db)->api->member))

/* The entry PavanaScript calls. */
void pavana_extension_main(PavanaDatabase* db);

/* Building values. */
static inline PavanaValue pavana_null(void) {
    PavanaValue v = {PAVANA_VALUE_NULL, 0, 0.0, NULL, NULL, 0};
    return v;
}
static inline PavanaValue pavana_integer(int64_t value) {
    PavanaValue v = {PAVANA_VALUE_INTEGER, value, 0.0, NULL, NULL, 0};
    return v;
}
static inline PavanaValue pavana_real(double value) {
    PavanaValue v = {PAVANA_VALUE_REAL, 0, value, NULL, NULL, 0};
    return v;
}
/* `text` is UTF-8, NUL-terminated. */
static inline PavanaValue pavana_text(const char* text) {
    size_t n = 0;
    PavanaValue v = {PAVANA_VALUE_TEXT, 0, 0.0, text, NULL, 0};
    if (text != NULL)
        while (text[n] != '\0') ++n;
    v.size = n;
    return v;
}
static inline PavanaValue pavana_bytes(const void* bytes, size_t size) {
    PavanaValue v = {PAVANA_VALUE_BYTES, 0, 0.0, NULL, bytes, size};
    return v;
}
/* A date value from days since 30 December 1899 (see pavana_date_of). */
static inline PavanaValue pavana_date(double days) {
    PavanaValue v = {PAVANA_VALUE_DATE, 0, days, NULL, NULL, 0};
    return v;
}

/* The day number of a calendar date and time of day (proleptic Gregorian calendar). Before
 * 30 December 1899 the time of day counts away from zero, as the engine stores dates. */
static inline double pavana_date_of(int year, int month, int day, int hour, int minute, int second) {
    /* Days since 1 March of year 0, shifted so that 30 December 1899 is day 0. */
    long y = (long)year - (month <= 2 ? 1 : 0);
    long era = (y >= 0 ? y : y - 399) / 400;
    long yoe = y - era * 400;
    long mp = (month + 9) % 12;
    long doy = (153 * mp + 2) / 5 + day - 1;
    long doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    long days = era * 146097 + doe - 693899;
    double time = (hour * 3600.0 + minute * 60.0 + second) / 86400.0;
    return days >= 0 ? (double)days + time : (double)days - time;
}

#ifdef __cplusplus
}
#endif

#endif /* PAVANA_EXTENSION_H */
