#!/usr/bin/env bash
# Checks that every C++ file in the repository is laid out as .clang-format
# says; prints the files that are not and fails. With --fix, formats them.
set -euo pipefail
cd "$(dirname "$0")/.."
printenv PATH >/dev/null || export PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin
scripts/install-deps.sh format
mapfile -t files < <(git ls-files '*.cc' '*.cpp' '*.h')
if [ "${1:-}" = --fix ]; then
  clang-format -i "${files[@]}"
  exit 0
fi
bad=()
for f in "${files[@]}"; do
  clang-format --dry-run --Werror "$f" >/dev/null 2>&1 || bad+=("$f")
done
if [ ${#bad[@]} -gt 0 ]; then
  echo "check-format: not laid out as .clang-format says (scripts/check-format.sh --fix):" >&2
  printf '  %s\n' "${bad[@]}" >&2
  exit 1
fi
echo "check-format: ${#files[@]} files laid out as .clang-format says"
