#!/usr/bin/env bash
# Installs the build into a temporary prefix and runs the installed programs
# from another folder: --version on both, and the runner on the installed
# Dungeness example, whose objective must match the source tree's.
# Usage: installed_tree_test.sh CMAKE BUILD_DIR SOURCE_DIR VERSION [gui]
set -u
cmake="$1" build="$2" source="$3" version="$4" gui="${5:-}"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
prefix="$work/a prefix"  # a blank in the path must not matter
status=0
fail() { echo "FAIL: $*"; status=1; }

"$cmake" --install "$build" --prefix "$prefix" >"$work/install.log" 2>&1 ||
  { cat "$work/install.log"; echo "FAIL: cmake --install"; exit 1; }

for file in bin/estimetrix-batch share/man/man1/estimetrix-batch.1 \
            share/estimetrix/examples/README.md \
            share/estimetrix/examples/dungeness/dungeness.setup; do
  [ -f "$prefix/$file" ] || fail "$file is not installed"
done
if [ "$gui" = gui ]; then
  for file in bin/estimetrix share/man/man1/estimetrix.1 share/applications/estimetrix.desktop \
              share/icons/hicolor/scalable/apps/estimetrix.svg; do
    [ -f "$prefix/$file" ] || fail "$file is not installed"
  done
fi

mkdir "$work/elsewhere"
cd "$work/elsewhere" || exit 1
programs=(estimetrix-batch)
[ "$gui" = gui ] && programs+=(estimetrix)
for program in "${programs[@]}"; do
  text=$(QT_QPA_PLATFORM=offscreen "$prefix/bin/$program" --version) || fail "$program --version failed"
  [ "$text" = "$program (Estimetrix) $version" ] || fail "$program --version printed \"$text\""
done

# The set-up file names its data and algorithm files relative to itself.
setup="$prefix/share/estimetrix/examples/dungeness/dungeness.setup"
installed=$("$prefix/bin/estimetrix-batch" --threads 1 --setup "$setup" evaluate 2>"$work/err") ||
  { cat "$work/err"; fail "the installed runner did not evaluate the installed example"; }
reference=$(cd "$source" && "$build/app/estimetrix-batch" --threads 1 \
            --setup examples/dungeness/dungeness.setup evaluate 2>/dev/null)
installed_objective=$(printf '%s\n' "$installed" | grep '^objective ')
[ -n "$installed_objective" ] || fail "no objective line from the installed runner"
[ "$installed_objective" = "$(printf '%s\n' "$reference" | grep '^objective ')" ] ||
  fail "installed example: $installed_objective, source tree: $(printf '%s\n' "$reference" | grep '^objective ')"
[ -z "$(ls -A "$work/elsewhere")" ] || fail "the runner left files in the working folder"

[ "$status" = 0 ] && echo "installed tree: programs run, example evaluates ($installed_objective)"
exit "$status"
