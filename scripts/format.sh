#!/usr/bin/env bash
# Formats the C and C++ sources with clang-format and the project's .clang-format, or, with
# --check, lists the files that are not formatted and fails when there is any.
set -euo pipefail
cd "$(dirname "$0")/.."

folders=(src include tools tests bench fuzz examples)

mapfile -t files < <(git ls-files --cached --others --exclude-standard -- "${folders[@]}" | grep -E '\.(c|cc|cpp|h|hpp)$')

if [ "${1:-}" = "--check" ]; then
  unformatted=()
  for f in "${files[@]}"; do
    clang-format --dry-run --Werror "$f" >/dev/null 2>&1 || unformatted+=("$f")
  done
  if [ ${#unformatted[@]} -gt 0 ]; then
    printf 'Not formatted (make format fixes them):\n'
    printf '  %s\n' "${unformatted[@]}"
    exit 1
  fi
  echo "All ${#files[@]} source files are formatted."
else
  clang-format -i "${files[@]}"
fi
