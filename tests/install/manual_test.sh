#!/usr/bin/env bash
# The runner's manual page names every option and command that its --help
# lists. Usage: manual_test.sh RUNNER MANUAL_PAGE
set -u
runner="$1"
manual="$2"

help=$("$runner" --help) || { echo "$runner --help failed"; exit 1; }
# Option and command lines start with two blanks and the name; the lines that
# continue a description start with more.
names=$(printf '%s\n' "$help" | awk '
  /^Options:/ { section = "options"; next }
  /^Commands:/ { section = "commands"; next }
  /^[^ ]/ { section = "" }
  section != "" && /^  [^ ]/ { print $1 }')
[ -n "$names" ] || { echo "no options or commands found in --help"; exit 1; }

# The page as a reader sees its words: roff's \- is a hyphen, font changes vanish.
text=$(sed -E 's/\\-/-/g; s/\\f[BIRP]//g; s/\\e/\\/g' "$manual")
status=0
count=0
for name in $names; do
  count=$((count + 1))
  if ! printf '%s\n' "$text" | grep -qE "(^|[^a-z-])${name}([^a-z-]|\$)"; then
    echo "$manual does not name $name"
    status=1
  fi
done
[ "$status" = 0 ] && echo "$manual names all $count options and commands of --help"
exit "$status"
