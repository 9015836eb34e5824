#!/usr/bin/env bash
# Drives the bash completion of qpx-cli as bash does on Tab: commands, each command's options,
# no option offered where an option's value is due, and the file kinds of each argument position.
# usage: completion.sh COMPLETION_FILE
set -uo pipefail
completion=$1
for lib in /usr/share/bash-completion/bash_completion /etc/bash_completion; do
  [ -f "$lib" ] && { source "$lib"; break; }
done
declare -F _init_completion >/dev/null || { echo "bash-completion is not installed" >&2; exit 1; }
source "$completion"

dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
cd "$dir" || exit 1
touch t.db t.xlsx t.pdf t.png t.txt img.bin
mkdir tables

failures=0
# check "LINE" "EXPECTED WORDS": completes LINE at its end, compares the sorted replies.
check() {
  local line=$1 expected=$2
  read -r -a COMP_WORDS <<<"$line"
  [[ $line == *" " ]] && COMP_WORDS+=("")
  COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
  COMP_LINE=$line
  COMP_POINT=${#line}
  COMPREPLY=()
  _qpx_cli qpx-cli "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD - 1]}"
  local got
  got=$(printf '%s\n' "${COMPREPLY[@]}" | sed '/^$/d' | LC_ALL=C sort | tr '\n' ' ' | sed 's/ $//')
  if [ "$got" != "$expected" ]; then
    echo "FAIL: \"$line\" gave \"$got\", expected \"$expected\"" >&2
    failures=$((failures + 1))
  fi
}

check "qpx-cli " "--help --version chart download dump export import ports report simulate"
check "qpx-cli d" "download dump"
check "qpx-cli --v" "--version"
check "qpx-cli download --" "--append --help --port --timeout --trace"
check "qpx-cli download --append --p" "--port"
check "qpx-cli simulate --re" "--records"
check "qpx-cli simulate --records " ""
check "qpx-cli simulate --model 3 --f" "--fast --firmware"
check "qpx-cli import --" "--append --help"
check "qpx-cli dump --" "--help"
check "qpx-cli unknown " ""

# Files: the table where a table is due, then the kind of the output file; folders always.
check "qpx-cli dump t" "t.db tables"
check "qpx-cli download --port /dev/ttyUSB0 t" "t.db tables"
check "qpx-cli export t" "t.db tables"
check "qpx-cli export t.db t" "t.xlsx tables"
check "qpx-cli report t.db t" "t.pdf tables"
check "qpx-cli chart t.db 1 t" "t.pdf t.png tables"
check "qpx-cli import img.bin 3 t" "t.db tables"
check "qpx-cli import --append img.bin 3 t" "t.db tables"
check "qpx-cli simulate --image i" "img.bin"
check "qpx-cli download --trace t.t" "t.txt"
check "qpx-cli dump ta" "tables"

[ $failures -eq 0 ] && echo "completion OK"
exit $((failures > 0))
