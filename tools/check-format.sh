#!/usr/bin/env bash
# Checks that every tracked .cpp and .h file is laid out as .clang-format
# says, and changes nothing. Names the files that differ and exits 1; exits 2
# when clang-format cannot be run. `tools/check-format.sh -v` also shows
# clang-format's own account of each difference.
# CLANG_FORMAT=... chooses the program; by default clang-format-14, the
# version the layout is kept with, else clang-format.
set -uo pipefail
cd "$(dirname "$0")/.." || exit 2

verbose=false
case "${1-}" in
  -v) verbose=true ;;
  "") ;;
  *) echo "usage: tools/check-format.sh [-v]" >&2; exit 2 ;;
esac

formatter=${CLANG_FORMAT:-$(command -v clang-format-14 || command -v clang-format || true)}
if [[ -z "$formatter" ]] || ! "$formatter" --version >/dev/null 2>&1; then
  echo "check-format: clang-format not found (Debian: apt-get install clang-format)" >&2
  exit 2
fi

checked=0
differing=()
while IFS= read -r -d '' file; do
  checked=$((checked + 1))
  if ! report=$("$formatter" --style=file --dry-run --Werror "$file" 2>&1); then
    differing+=("$file")
    if $verbose; then printf '%s\n' "$report" >&2; fi
  fi
done < <(git ls-files -z -- '*.cpp' '*.h')

if ((${#differing[@]} > 0)); then
  echo "check-format: ${#differing[@]} of $checked files differ from the layout of .clang-format:" >&2
  printf '  %s\n' "${differing[@]}" >&2
  echo "check-format: $formatter -i FILE lays a file out so." >&2
  exit 1
fi
echo "check-format: all $checked files are laid out as .clang-format says"
