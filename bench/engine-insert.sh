#!/usr/bin/env bash
# One committed INSERT, tool against tool: pavanadb running a script of single-row INSERTs
# into an indexed table from standard input (each statement translated, run and committed
# by the engine) against the sqlite3 shell running the translated statements one by one
# (autocommit) on a table declared the same way, both in WAL with synchronous=NORMAL.
#   bench/engine-insert.sh [build] [statements]
# Run from a folder on a real disk: the work files are made in a temporary folder under it.
set -euo pipefail
# The figures read the same whatever locale the run is measured under (bc writes ".").
report() { LC_ALL=C printf "$@"; }
build=${1:-build}
count=${2:-20000}
root=$(cd "$(dirname "$0")/.." && pwd)
pavanadb="$root/$build/tools/pavanadb/pavanadb"
work=$(mktemp -d -p "$root/$build" engine-insert.XXXXXX)
trap 'rm -rf "$work"' EXIT
cd "$work"

awk -v n="$count" 'BEGIN { for (i = 1; i <= n; i++)
  printf "INSERT INTO Notas (Id, Aluno, Nome, Nota) VALUES (%d, %d, '"'"'aluno %d'"'"', %d.5);\n", i, (i * 7919) % n, i, i % 10 }' > inserts.sql

"$pavanadb" create p.db
"$pavanadb" sql p.db "CREATE TABLE Notas (Id LONG PRIMARY KEY, Aluno LONG, Nome TEXT(50), Nota DOUBLE)" \
  "CREATE INDEX ixAluno ON Notas (Aluno)"
sqlite3 s.db "PRAGMA journal_mode=WAL;" >/dev/null
sqlite3 s.db 'CREATE TABLE "Notas" ("Id" INTEGER PRIMARY KEY, "Aluno" INTEGER, "Nome" TEXT(50) COLLATE NOCASE, "Nota" DOUBLE);
CREATE INDEX "Notas.ixAluno" ON "Notas" ("Aluno");'
(echo "PRAGMA synchronous=NORMAL;"; cat inserts.sql) > shell.sql

now() { date +%s.%N; }
t0=$(now); "$pavanadb" sql p.db < inserts.sql > /dev/null; t1=$(now)
t2=$(now); sqlite3 s.db < shell.sql > /dev/null; t3=$(now)

[ "$("$pavanadb" sql p.db "SELECT COUNT(*) AS n FROM Notas")" = "n
$count" ] || { echo "pavanadb did not insert every row" >&2; exit 1; }
tp=$(echo "$t1 - $t0" | bc -l)
ts=$(echo "$t3 - $t2" | bc -l)
report '  %d INSERTs  pavanadb %.2f s (%.1f us each)  sqlite3 %.2f s (%.1f us each)  ratio %.3f\n' \
  "$count" "$tp" "$(echo "$tp * 1000000 / $count" | bc -l)" "$ts" "$(echo "$ts * 1000000 / $count" | bc -l)" \
  "$(echo "$tp / $ts" | bc -l)"
