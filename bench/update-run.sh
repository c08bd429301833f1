#!/usr/bin/env bash
# Whole-run comparison: PavanaScript running an update script against the sqlite3 shell
# running the same statements one by one (autocommit) with the same journal settings
# (WAL, synchronous=NORMAL: every statement is committed when it returns), on the same tables.
#   bench/update-run.sh [build] [inserts] [updates] [wide]
# Prints wall time, statements per second, peak memory and the ratio for each workload.
# The "one-tx" workload runs the insert script with --one-transaction against the shell
# running the same statements inside one BEGIN ... COMMIT.
# The "plain" workload inserts into a two-column table without a column list; the "wide"
# workload inserts twelve named columns of the common types.
# The "jet" workload is the insert workload written as update scripts write it (bracketed
# names, #m/d/yyyy# dates, True/False); the shell runs the same rows in SQLite's own form
# (quoted names, day numbers, -1/0).
set -euo pipefail
# The figures read the same whatever locale the run is measured under (bc writes ".").
report() { LC_ALL=C printf "$@"; }
build=${1:-build}
inserts=${2:-100000}
updates=${3:-20000}
wide=${4:-20000}
root=$(cd "$(dirname "$0")/.." && pwd)
pavana="$root/$build/src/app/PavanaScript"
pavanadb="$root/$build/tools/pavanadb/pavanadb"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

schema="CREATE TABLE Notas (Id INTEGER PRIMARY KEY, Aluno INTEGER, Nome TEXT(50), Nota DOUBLE);
CREATE INDEX ixAluno ON Notas (Aluno);
CREATE TABLE [Notas finais] ([Código] INTEGER PRIMARY KEY, [Nome do aluno] TEXT(50), Nota DOUBLE, [Lançada em] DATETIME, Aprovado YESNO);
CREATE INDEX [ix Nome] ON [Notas finais] ([Nome do aluno]);
CREATE TABLE T (n LONG CONSTRAINT pk PRIMARY KEY, s TEXT(30));
CREATE TABLE Wide (a LONG, b TEXT(50), c LONG, d TEXT(50), e DATETIME, f YESNO, g DOUBLE, h CURRENCY, i SHORT, j MEMO, k TEXT(50), l TEXT(50));"

awk -v n="$inserts" 'BEGIN { for (i = 1; i <= n; i++)
  printf "INSERT INTO Notas (Id, Aluno, Nome, Nota) VALUES (%d, %d, '"'"'aluno %d'"'"', %d.5);\n", i, (i * 7919) % n, i, i % 10 }' > inserts.sql
awk -v n="$updates" -v m="$inserts" 'BEGIN { for (i = 1; i <= n; i++)
  printf "UPDATE Notas SET Nota = %d WHERE Id = %d;\n", i % 10, (i * 104729) % m + 1 }' > updates.sql

# Day k of 2024 (0-based) as m/d/2024; 2024-01-01 is day number 45292.
awk -v n="$inserts" 'BEGIN {
  split("31 29 31 30 31 30 31 31 30 31 30 31", len, " ")
  for (i = 1; i <= n; i++) {
    k = i % 366; m = 1; while (k >= len[m]) { k -= len[m]; m++ }
    printf "INSERT INTO [Notas finais] ([Código], [Nome do aluno], Nota, [Lançada em], Aprovado) VALUES (%d, '"'"'aluno %d'"'"', %d.5, #%d/%d/2024#, %s);\n", i, i, i % 10, m, k + 1, (i % 3 ? "True" : "False")
    printf "INSERT INTO \"Notas finais\" (\"Código\", \"Nome do aluno\", \"Nota\", \"Lançada em\", \"Aprovado\") VALUES (%d, '"'"'aluno %d'"'"', %d.5, %d.0, %d);\n", i, i, i % 10, 45292 + i % 366, (i % 3 ? -1 : 0) > "jet-shell.sql"
  } }' > jet.sql

# Two columns, no column list: every value goes to its column by position.
awk -v n="$inserts" 'BEGIN { for (i = 1; i <= n; i++)
  printf "INSERT INTO T VALUES (%d, '"'"'text %d'"'"');\n", i, i }' > plain.sql

# Twelve columns of the common types, named; the shell runs the same rows with the dates as
# day numbers and Yes/No as -1/0.
awk -v n="$wide" 'BEGIN {
  split("31 29 31 30 31 30 31 31 30 31 30 31", len, " ")
  for (i = 1; i <= n; i++) {
    m = i % 12 + 1; d = i % 28 + 1; day = 45292 + d - 1; for (k = 1; k < m; k++) day += len[k]
    row = sprintf("%d, '"'"'name %d'"'"', %d, '"'"'code %d'"'"'", i, i, i % 97, i % 13)
    rest = sprintf("%d.25, %d.5, %d, '"'"'note %d'"'"', '"'"'x'"'"', '"'"'y %d'"'"'", i, i % 1000, i % 300, i, i)
    head = "INSERT INTO Wide (a, b, c, d, e, f, g, h, i, j, k, l) VALUES ("
    printf "%s%s, #%d/%d/2024#, %s, %s);\n", head, row, m, d, (i % 2 ? "True" : "False"), rest
    printf "%s%s, %d.0, %d, %s);\n", head, row, day, (i % 2 ? -1 : 0), rest > "wide-shell.sql"
  } }' > wide.sql

now() { date +%s.%N; }

run_pair() {
  local name=$1 script=$2 count=$3 shell=${4:-$2} options=${5:-}
  rm -f p.db* s.db* script.log
  "$pavanadb" create p.db >/dev/null
  echo "$schema" | "$pavanadb" sql p.db >/dev/null
  sqlite3 s.db "PRAGMA journal_mode=WAL;" >/dev/null
  # The shell gets the very tables the engine made (declared types, collations, checks), so
  # both sides do the same work per statement.
  sqlite3 p.db .schema | sqlite3 s.db
  if [ "$name" = updates ]; then
    "$pavana" --console p.db . inserts.sql >/dev/null 2>&1
    (echo "PRAGMA synchronous=NORMAL;"; cat inserts.sql) | sqlite3 s.db
  fi

  local t0 t1 t2 t3
  t0=$(now)
  # shellcheck disable=SC2086
  /usr/bin/time -f '%M %U %S' -o pavana.mem "$pavana" --console $options p.db . "$script" >/dev/null 2>&1
  t1=$(now)
  if [ -n "$options" ]; then
    (echo "PRAGMA synchronous=NORMAL;"; echo "BEGIN;"; cat "$shell"; echo "COMMIT;") > shell.sql
  else
    (echo "PRAGMA synchronous=NORMAL;"; cat "$shell") > shell.sql
  fi
  t2=$(now)
  /usr/bin/time -f '%U %S' -o shell.cpu sqlite3 s.db < shell.sql >/dev/null
  t3=$(now)
  local tp ts cp cs peak
  tp=$(echo "$t1 - $t0" | bc -l)
  ts=$(echo "$t3 - $t2" | bc -l)
  read -r peak up sp < pavana.mem
  read -r us ss < shell.cpu
  cp=$(echo "$up + $sp" | bc -l)
  cs=$(echo "$us + $ss" | bc -l)
  [ -s script.log ] && echo "  warning: script.log is not empty ($(wc -l < script.log) lines)"
  report '  %-8s %7d statements  PavanaScript %6.2f s (%8.0f/s, peak %6d KiB)  sqlite3 %6.2f s (%8.0f/s)  ratio %.3f\n' \
    "$name" "$count" "$tp" "$(echo "$count / $tp" | bc -l)" "$peak" \
    "$ts" "$(echo "$count / $ts" | bc -l)" "$(echo "$tp / $ts" | bc -l)"
  # CPU time (user + system) is what the two sides spend of their own; on a busy machine it
  # varies less than wall time.
  report '  %-8s CPU: PavanaScript %6.2f s  sqlite3 %6.2f s  ratio %.3f\n' "$name" "$cp" "$cs" \
    "$(echo "$cp / $cs" | bc -l)"
  report '  %-8s script %d KiB; memory limit (2 x script + 40 MiB) %d KiB\n' "$name" \
    "$(( $(stat -c %s "$script") / 1024 ))" "$(( 2 * $(stat -c %s "$script") / 1024 + 40960 ))"
}

run_pair inserts inserts.sql "$inserts"
run_pair one-tx inserts.sql "$inserts" inserts.sql --one-transaction
run_pair plain plain.sql "$inserts"
run_pair wide wide.sql "$wide" wide-shell.sql
run_pair jet jet.sql "$inserts" jet-shell.sql
run_pair updates updates.sql "$updates"

echo "UPDATE Notas SET Nota = 1 WHERE Id = 1;" > one.sql
best=999
for i in 1 2 3 4 5 6 7 8 9 10; do
  t0=$(now); "$pavana" --console p.db . one.sql >/dev/null 2>&1; t1=$(now)
  ms=$(echo "($t1 - $t0) * 1000" | bc -l)
  best=$(echo "if ($ms < $best) $ms else $best" | bc -l)
done
report '  start-up: whole run of a one-statement script, best of 10: %.1f ms\n' "$best"
