#!/usr/bin/env bash
# Runs scripts/guide-shots on a build into a scratch folder and checks that
# every picture docs/使用说明.md shows was made again, as a real picture: a
# PNG of a window's size with more than a few colours. Skipped (77) where the
# other X tests are, without ZARN_TEST_DISPLAY; the script itself shoots on an
# X server of its own, so no other test's window gets into a picture.
#   guide_shots_test.sh SOURCE_ROOT BUILD_DIR
set -euo pipefail
src=$1
build=$2
if [ -z "${ZARN_TEST_DISPLAY:-}" ]; then
  echo "no X display (ZARN_TEST_DISPLAY): skipped"
  exit 77
fi
work=$(mktemp -d /tmp/zarn-guide-test.XXXXXX)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

start=$SECONDS
bash "$src/scripts/guide-shots" --build "$build" --out "$work/shots" ||
  fail "scripts/guide-shots failed"
echo "guide-shots took $((SECONDS - start)) s"

export LC_ALL=C.UTF-8
mapfile -t shown < <(grep -o '](guide/[^)]*\.png)' "$src/docs/使用说明.md" | sed 's/^](guide\///; s/)$//' | sort -u)
[ ${#shown[@]} -ge 8 ] || fail "the guide shows only ${#shown[@]} pictures"
for name in "${shown[@]}"; do
  f=$work/shots/$name
  [ -s "$f" ] || fail "the guide shows $name, which the script did not make"
  read -r w h colours < <(identify -format '%w %h %k\n' "$f")
  if [ "$w" -lt 150 ] || [ "$h" -lt 40 ]; then fail "$name is only ${w}x${h}"; fi
  [ "$colours" -ge 8 ] || fail "$name is blank ($colours colours)"
  echo "$name ${w}x${h}, $colours colours"
done
# The pictures the guide ships are the script's, not stale ones of another name.
for f in "$src"/docs/guide/*.png; do
  [ -s "$work/shots/$(basename "$f")" ] || fail "docs/guide/$(basename "$f") is not made by the script"
done
echo "all ${#shown[@]} pictures of the guide made"
