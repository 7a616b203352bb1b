#!/usr/bin/env bash
# Fails when a C++ file of the repository is not formatted as .clang-format
# says; run by make test. Every file is checked (a few seconds), so a file
# changed and not formatted never lands. Fix one with: clang-format -i FILE
set -euo pipefail
cd "$(dirname "$0")/.."
command -v clang-format >/dev/null || { echo "format-check: clang-format is missing (make setup installs it)" >&2; exit 1; }
mapfile -t files < <(git ls-files -co --exclude-standard 'src/*.cpp' 'src/*.h' 'tests/*.cpp' 'tests/*.h' \
  'bench/*.cpp' 'tools/*.cpp' | while read -r f; do [ -f "$f" ] && echo "$f"; done)
mapfile -t bad < <(clang-format --dry-run -Werror "${files[@]}" 2>&1 | sed -n 's/^\([^: ]*\):[0-9]*:[0-9]*: error:.*/\1/p' | sort -u)
if [ ${#bad[@]} -ne 0 ]; then
    echo "format-check: not formatted (clang-format -i to fix):" >&2
    printf '  %s\n' "${bad[@]}" >&2
    exit 1
fi
echo "format-check: ${#files[@]} files formatted"
