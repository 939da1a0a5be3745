#!/usr/bin/env bash
# Fails, naming each one, when a file of the operations package includes a file of a folder above
# its own. The folders, from the bottom up:
#   core                  the types every layer shares
#   store, printing       the package's tables and statements; documents on paper (core only)
#   operations            one unit per operation (store, printing, core)
#   screens, routines     Widgets and dialogue flows (operations and below; routines may use
#                         screens, never the other way)
#   the top-level files   routine variables, defaults, scripted mode: above them all
# An include is resolved as the compiler does: beside the including file, then from the package's
# root; anything else (Qt, platform/, outside/qor) is not the package's. Run by the test suite;
# takes the package's folder as an argument (default: outside/Gpe00002).
set -euo pipefail
cd "$(dirname "$0")/.."
root=${1:-outside/Gpe00002}

declare -A allowed=(
  [core]="core"
  [store]="store core"
  [printing]="printing core"
  [operations]="operations store printing core"
  [screens]="screens operations store printing core"
  [routines]="routines screens operations store printing core"
)

folderOf() {
  case "$1" in
    */*) echo "${1%%/*}" ;;
    *) echo "top" ;;
  esac
}

status=0
while IFS= read -r -d '' file; do
  relative=${file#"$root"/}
  from=$(folderOf "$relative")
  [[ $from == top ]] && continue
  if [[ -z ${allowed[$from]+set} ]]; then
    echo "$relative: the folder $from has no place among the package's layers" >&2
    status=1
    continue
  fi
  number=0
  while IFS= read -r line; do
    number=$((number + 1))
    [[ $line =~ ^[[:space:]]*#[[:space:]]*include[[:space:]]*\"([^\"]+)\" ]] || continue
    name=${BASH_REMATCH[1]}
    if [[ -f $(dirname "$file")/$name ]]; then
      target=$(realpath -m --relative-to="$root" "$(dirname "$file")/$name")
    elif [[ -f $root/$name ]]; then
      target=$(realpath -m --relative-to="$root" "$root/$name")
    else
      continue
    fi
    to=$(folderOf "$target")
    if [[ " ${allowed[$from]} " != *" $to "* ]]; then
      where=$([[ $to == top ]] && echo "the top-level file" || echo "a file of $to/")
      echo "$relative:$number: includes $name, $where; $from/ may include only ${allowed[$from]// /, }" >&2
      status=1
    fi
  done <"$file"
done < <(find "$root" -type f \( -name '*.h' -o -name '*.cpp' \) -print0 | sort -z)
exit $status
