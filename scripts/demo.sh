#!/usr/bin/env bash
# Creates a sample curriculum database and update script in demo-out/, runs PavanaScript on
# them, then shows script.log and the rows the update changed. Everything runs under the
# machine's locale: numbers and dates the script turns into text follow its regional
# settings (LC_ALL=pt_BR.UTF-8 make demo shows what the users see, docs/locale.md).
set -euo pipefail

build=${1:-build}
root=$(cd "$(dirname "$0")/.." && pwd)
bin="$root/$build"
pavanadb="$bin/tools/pavanadb/pavanadb"
pavana="$bin/src/app/PavanaScript"
clipwriter="$bin/tools/clipwriter/clipwriter"
out="$root/demo-out"

rm -rf "$out"
mkdir -p "$out/anim"
cd "$out"

if [ -x "$clipwriter" ]; then
  "$clipwriter" "$out/anim" >/dev/null
fi

db="$out/curriculo.db"
"$pavanadb" create "$db" --password qorvimband
"$pavanadb" sql "$db" --password qorvimband >/dev/null <<'SQL'
CREATE TABLE Cursos (Codigo INTEGER PRIMARY KEY, Nome TEXT(60) NOT NULL, CargaHoraria INTEGER);
CREATE TABLE Disciplinas (Codigo INTEGER PRIMARY KEY, Curso INTEGER, Nome TEXT(60), Creditos INTEGER);
INSERT INTO Cursos (Codigo, Nome, CargaHoraria) VALUES (1, 'Pedagogia', 3200);
INSERT INTO Cursos (Codigo, Nome, CargaHoraria) VALUES (2, 'Letras', 2800);
INSERT INTO Disciplinas (Codigo, Curso, Nome, Creditos) VALUES (10, 1, 'Didática', 4);
INSERT INTO Disciplinas (Codigo, Curso, Nome, Creditos) VALUES (11, 1, 'Psicologia da Educação', 4);
INSERT INTO Disciplinas (Codigo, Curso, Nome, Creditos) VALUES (20, 2, 'Linguística', 6);
CREATE TABLE Notas (aluno TEXT(50), nota1 DOUBLE, nota2 DOUBLE, media DOUBLE);
INSERT INTO Notas (aluno, nota1, nota2) VALUES ('Ana', 8, 7);
INSERT INTO Notas (aluno, nota1, nota2) VALUES ('Bruno', 4, 5.5);
INSERT INTO Notas (aluno, nota1, nota2) VALUES ('Carla', 9.5, 8);
SQL

cat > "$out/atualizacao.sql" <<'SQL'
UPDATE Cursos SET CargaHoraria = 3400
  WHERE Codigo = 1;
ALTER TABLE Cursos ADD COLUMN Resumo TEXT(80);
UPDATE Cursos SET Resumo = Format(CargaHoraria, '#,##0') & ' h, revisto em '
  & Format(#3/15/2024 2:30:00 PM#, 'General Date') & ', taxa ' & Format(1234.5, 'Currency');
INSERT INTO Disciplinas (Codigo, Curso, Nome, Creditos)
  VALUES (21, 2, 'Literatura Brasileira', 4);
CREATE TABLE Cursos (Codigo INTEGER);
UPDATE Disciplinas SET Creditos = Creditos + 1 WHERE Curso = 2;
INSERT INTO Turmas (Codigo) VALUES (1);
executaDLL ./nao-existe.so;
SQL
# The example extensions (examples/extensions, docs/extensions.md): one recomputes Notas.media
# row by row and adds a summary row, the other records how many students passed.
examples="$bin/examples/extensions"
if [ -f "$examples/librecompute_averages.so" ]; then
  printf 'executaDLL %s;\nexecutaDLL %s;\n' "$examples/librecompute_averages.so" \
    "$examples/libgrade_report.so" >> "$out/atualizacao.sql"
fi

echo "== Regional settings from the locale: ${LC_ALL:-${LC_NUMERIC:-${LANG:-C}}}"
echo "== Running: PavanaScript curriculo.db anim atualizacao.sql"
front=()
[ -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ] && front=(--console)
"$pavana" "${front[@]}" "$db" "$out/anim" "$out/atualizacao.sql"
echo "== Exit code: $?"
echo
echo "== script.log (one entry per failing statement)"
cat "$out/script.log"
echo
echo "== Cursos after the update"
"$pavanadb" sql "$db" --password qorvimband "SELECT Codigo, Nome, CargaHoraria, Resumo FROM Cursos ORDER BY Codigo"
echo
echo "== Disciplinas after the update"
"$pavanadb" sql "$db" --password qorvimband "SELECT Codigo, Curso, Nome, Creditos FROM Disciplinas ORDER BY Codigo"
echo
if [ -f "$examples/librecompute_averages.so" ]; then
  echo "== Notas, ResumoNotas and RelatorioNotas after the extensions ran"
  "$pavanadb" sql "$db" --password qorvimband \
    "SELECT aluno, CStr(nota1) AS nota1, CStr(nota2) AS nota2, Format(media, 'Fixed') AS media FROM Notas ORDER BY aluno"
  "$pavanadb" sql "$db" --password qorvimband "SELECT alunos, media_geral FROM ResumoNotas"
  "$pavanadb" sql "$db" --password qorvimband "SELECT alunos, aprovados FROM RelatorioNotas"
  echo
fi
echo "Everything is in $out"
