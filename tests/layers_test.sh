#!/usr/bin/env bash
# The include graph points one way: a folder (or an engine room) includes only
# itself and what lies below it. Prints every include that points upward.
set -u
root="$1"
cd "$root" || exit 2
status=0

# Folders, lowest first; each may include those before it.
folders=(platform engine model ranking plots ui app)
rooms=(base state objective minimizers covariance bayesian commands)

rank_of() {  # rank_of NAME LIST...
  local name="$1"; shift
  local i=0
  for item in "$@"; do
    [ "$item" = "$name" ] && { echo "$i"; return; }
    i=$((i + 1))
  done
  echo -1
}

check() {  # check FILE OWN_RANK PATTERN LIST...
  local file="$1" own="$2" pattern="$3"; shift 3
  local target rank
  while read -r target; do
    rank=$(rank_of "$target" "$@")
    if [ "$rank" -gt "$own" ]; then
      echo "upward include: $file includes $target/"
      status=1
    fi
  done < <(grep -ho "$pattern" "$file" | sed -E 's|#include "(engine/)?||; s|/$||')
}

for folder in "${folders[@]}"; do
  own=$(rank_of "$folder" "${folders[@]}")
  for file in $(find "$folder" -name '*.h' -o -name '*.cpp'); do
    check "$file" "$own" '#include "[a-z]*/' "${folders[@]}"
  done
done

for room in "${rooms[@]}"; do
  [ -d "engine/$room" ] || { echo "missing engine room: $room"; status=1; continue; }
  own=$(rank_of "$room" "${rooms[@]}")
  for file in engine/"$room"/*; do
    check "$file" "$own" '#include "engine/[a-z]*/' "${rooms[@]}"
  done
done

loose=$(find engine -maxdepth 1 -name '*.cpp')
if [ -n "$loose" ]; then
  echo "source files directly in engine/: $loose"
  status=1
fi

# Nothing below the windows knows Qt.
qt=$(grep -rlE '#include <Q' platform engine model ranking 2>/dev/null)
if [ -n "$qt" ]; then
  echo "Qt headers below the windows: $qt"
  status=1
fi

[ "$status" = 0 ] && echo "include graph: every include points downward"
exit "$status"
