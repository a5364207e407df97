#!/usr/bin/env bash
# The Debian packages as an integrator meets them: all three unpacked into a
# scratch root, the runtime's maintainer scripts run against that root (DPKG_ROOT), a
# C host built against the installed header through pkg-config and another
# through the CMake package, both creating the component through the
# registration, the use-right form opened on a private Xvfb through the
# README's twenty-line host, then removal and purge. lintian checks the
# packages against Debian policy, and the shipped binaries are checked for
# Debian's hardening.
#
#   package_test.sh SOURCE_ROOT     the packages: $ZARN_TEST_PACKAGE (zarndcbdll),
#                                   $ZARN_TEST_LIB_PACKAGE (libzarnhost1) and
#                                   $ZARN_TEST_DEV_PACKAGE (zarndcbdll-dev)
#   ZARN_PACKAGE_SHOT=FILE          also saves a screenshot of the form
# Exit status 0 when all holds, 77 when there is no package to test.
set -euo pipefail
src=$1
deb=${ZARN_TEST_PACKAGE:-}
dev=${ZARN_TEST_DEV_PACKAGE:-}
lib=${ZARN_TEST_LIB_PACKAGE:-}
if [ -z "$deb" ]; then
  echo "no package to test (ZARN_TEST_PACKAGE is empty): skipped"
  exit 77
fi
for var in ZARN_TEST_LIB_PACKAGE ZARN_TEST_DEV_PACKAGE; do
  if [ -z "${!var:-}" ]; then
    echo "FAILED: ZARN_TEST_PACKAGE names the runtime package but $var is empty" >&2
    exit 1
  fi
done

work=$(mktemp -d /tmp/zarn-package.XXXXXX)
xvfb=
host=
cleanup() {
  set +e
  [ -n "$host" ] && kill "$host" 2>/dev/null && wait "$host" 2>/dev/null
  [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
fail() {
  echo "FAILED: $*" >&2
  exit 1
}
step() { echo "== $*"; }

step "declared dependencies"
depends=$(dpkg-deb -f "$deb" Depends)
for p in libqt6widgets6 libqt6sql6-sqlite libssl3 qt6-translations-l10n fonts-arphic-uming; do
  grep -qw -- "$p" <<<"$depends" || fail "Depends lacks $p: $depends"
done
[ "$(dpkg-deb -f "$lib" Package)" = libzarnhost1 ] ||
  fail "the library's package is named $(dpkg-deb -f "$lib" Package), not after its soname"
library="libzarnhost1 (= $(dpkg-deb -f "$deb" Version))"
grep -qF -- "$library" <<<"$depends" || fail "the runtime package does not depend on $library: $depends"
[ "$(dpkg-deb -f "$dev" Depends)" = "$library" ] ||
  fail "$(dpkg-deb -f "$dev" Package) should depend on $library: $(dpkg-deb -f "$dev" Depends)"

step "what goes where: running a host, building one"
dpkg -c "$deb" >"$work/runtime.list"
dpkg -c "$dev" >"$work/dev.list"
dpkg -c "$lib" >"$work/lib.list"
grep -Eq -- '^-.*/libzarnhost\.so\.1\.[0-9.]+$' "$work/lib.list" || fail "the library's package lacks libzarnhost.so.1.x"
grep -Eq -- '/libzarnhost\.so\.1 -> ' "$work/lib.list" || fail "the library's package lacks the soname link"
grep -Eq -- '^-.*/(bin|zarn|include)/' "$work/lib.list" && fail "the library's package holds more than the library"
grep -Eq -- 'libzarnhost\.so\.1' "$work/runtime.list" && fail "the runtime package holds the host library too"
for pattern in '/include/zarn/Zarndcbdll\.h$' '/include/zarn/Zarndcbdll\.idl$' \
  '/libzarnhost\.so -> ' '/zarnhost\.pc$' '/ZarndcbdllConfig\.cmake$'; do
  grep -Eq -- "$pattern" "$work/runtime.list" && fail "the runtime package holds $pattern"
  grep -Eq -- "$pattern" "$work/dev.list" || fail "the -dev package lacks $pattern"
done
grep -Eq '^-.*\.so' "$work/dev.list" && fail "the -dev package holds a library, not only its link"

step "the library's symbols file, its ldconfig trigger and no maintainer scripts"
dpkg-deb -e "$lib" "$work/lib-control"
[ -f "$work/lib-control/symbols" ] || fail "the library's package has no symbols file"
control=$(ls "$work/lib-control")
grep -Eqx 'preinst|postinst|prerm|postrm' <<<"$control" &&
  fail "the library's package has maintainer scripts: $control"
grep -qx 'activate-noawait ldconfig' "$work/lib-control/triggers" ||
  fail "the library's package does not trigger ldconfig"
dpkg -x "$lib" "$work/lib-tree"
# Every exported function has its line, and no line names one that is gone.
nm -D --defined-only "$(find "$work/lib-tree" -type f -name 'libzarnhost.so.1.*')" |
  awk '$2 ~ /^[TDBRVW]$/ {print $3}' | sort >"$work/exported"
sed -n 's/^ \([^@ ]*\)@Base .*/\1/p' "$work/lib-control/symbols" | sort >"$work/listed"
diff -u "$work/listed" "$work/exported" >&2 ||
  fail "the symbols file does not list what libzarnhost exports (- listed, + exported)"
for tool in zarn-db zarn-encrypt zarn-regsvr zarn-sheet zarn-check zarn-host; do
  grep -Eq -- "/usr/bin/$tool\$" "$work/runtime.list" || fail "the runtime package lacks $tool"
  grep -Eq -- "/usr/share/man/man1/$tool\.1\.gz\$" "$work/runtime.list" ||
    fail "the runtime package has no manual page for $tool"
done

step "hardened binaries"
dpkg -x "$deb" "$work/runtime-tree"
elves=0
while IFS= read -r -d '' f; do
  [ "$(head -c 4 "$f" | od -An -tx1 | tr -d ' ')" = 7f454c46 ] || continue
  elves=$((elves + 1))
  name=${f#"$work"/*-tree/}
  # (read whole first: grep -q ending a pipe early would fail it under pipefail)
  elf=$(readelf -hdlSW --dyn-syms "$f")
  grep -Eq '\(FLAGS\).*BIND_NOW' <<<"$elf" || fail "$name is not linked with -z now"
  grep -q 'GNU_RELRO' <<<"$elf" || fail "$name is not linked with -z relro"
  grep -qF ' .comment ' <<<"$elf" && fail "$name still has a .comment section"
  grep -q '__stack_chk_fail' <<<"$elf" || fail "$name has no stack protector"
  case $name in
  usr/bin/*) grep -Eq 'Type: +DYN' <<<"$elf" || fail "$name is not a position-independent program" ;;
  esac
done < <(find "$work/runtime-tree" "$work/lib-tree" -type f -print0)
[ "$elves" -ge 8 ] || fail "found $elves binaries in the packages, expected the eight shipped"

step "lintian on the three packages"
if command -v lintian >/dev/null; then
  status=0
  lintian -I -L +pedantic --fail-on error,warning "$lib" "$deb" "$dev" >"$work/lintian.log" 2>&1 || status=$?
  grep -v '^running with root' "$work/lintian.log" || true
  [ "$status" = 0 ] || fail "lintian finds fault with the packages (above)"
  if grep -E 'hardening-|binary-has-unneeded-section' "$work/lintian.log" >&2; then
    fail "lintian finds the binaries not hardened as Debian builds them (above)"
  fi
else
  echo "lintian is not installed here (scripts/deps installs it where apt can): policy check skipped"
fi

step "unpack the three into a scratch root, the library first"
root=$work/root
dpkg -x "$lib" "$root"
dpkg -x "$deb" "$root"
dpkg -x "$dev" "$root"
dpkg-deb -e "$deb" "$work/control"
libdir=$(dirname "$(find "$root/usr/lib" -name libzarnhost.so.1 | head -n 1)")
module=$(realpath "$libdir/zarn/Zarndcbdll.so")
[ -f "$root/usr/share/doc/zarndcbdll/sql/sqlite.sql" ] || fail "no DDL in the documentation folder"
if readelf -d "$root/usr/bin/zarn-host" | grep -Eq 'RUNPATH|RPATH'; then
  fail "zarn-host carries a run path though libzarnhost lies in the linker's folder"
fi

# Everything below sees the scratch root's machine-wide registration file and
# an empty store of its own user.
export DPKG_ROOT=$root
export HOME=$work/home XDG_CONFIG_HOME=$work/home/.config XDG_RUNTIME_DIR=$work/run
export ZARN_SYSTEM_REGISTRY=$root/etc/zarn/registry
unset ZARN_REGISTRY ZARN_KEY_FILE
mkdir -p "$HOME" "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"

step "postinst registers the component"
sh "$work/control/postinst" configure
grep -qF "@=\"$module\"" "$ZARN_SYSTEM_REGISTRY" || fail "postinst did not register $module"

step "a C host through pkg-config"
read -ra flags < <(PKG_CONFIG_SYSROOT_DIR=$root PKG_CONFIG_LIBDIR=$libdir/pkgconfig \
  pkg-config --cflags --libs zarnhost)
cc -std=c11 -Wall -Wextra -Werror "$src/tests/component/c_host.c" "${flags[@]}" \
  -Wl,-rpath,"$libdir" -o "$work/host-pc"
QT_QPA_PLATFORM=offscreen "$work/host-pc" --registered ||
  fail "the pkg-config host cannot use the registered component"
# The README's twenty-line host, as a newcomer builds it.
cc -std=c11 -Wall -Wextra -Werror "$src/docs/minimal_host.c" "${flags[@]}" \
  -Wl,-rpath,"$libdir" -o "$work/readme-host"

step "a C host through find_package(Zarndcbdll)"
cmake -S "$src/tests/package/cmake_host" -B "$work/cmake-host" -G Ninja \
  -DCMAKE_PREFIX_PATH="$root/usr" -DC_HOST_SOURCE="$src/tests/component/c_host.c" >/dev/null
cmake --build "$work/cmake-host" >/dev/null
QT_QPA_PLATFORM=offscreen "$work/cmake-host/c_host" --registered ||
  fail "the CMake host cannot use the registered component"

step "the use-right form under Xvfb, configured in etc/zarn/config"
conn="Provider=SQLite;Data Source=$work/survey.db"
"$root/usr/bin/zarn-db" init "$conn" >/dev/null
"$root/usr/bin/zarn-db" demo "$conn" --parcels 40 --seed 1 >/dev/null
"$root/usr/bin/zarn-encrypt" "$conn" --config "$libdir/zarn/config.ini" >/dev/null
for f in config.ini ZarnDecryptString.key; do
  [ -f "$root/etc/zarn/config/$f" ] || fail "$f did not land in etc/zarn/config"
done
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
xvfb=$!
for _ in $(seq 50); do [ -s "$work/display" ] && break; sleep 0.2; done
[ -s "$work/display" ] || fail "Xvfb did not start: $(cat "$work/xvfb.log")"
DISPLAY=:$(head -n 1 "$work/display")
export DISPLAY
QT_QPA_PLATFORM=xcb "$work/readme-host" 320102001001 0010010001 >"$work/host.log" 2>&1 &
host=$!
if ! timeout 60 xdotool search --sync --onlyvisible --name '^使用权地籍调查表$' >/dev/null; then
  cat "$work/host.log" >&2
  fail "the use-right form did not open"
fi
if [ -n "${ZARN_PACKAGE_SHOT:-}" ]; then
  sleep 1
  import -window root "$ZARN_PACKAGE_SHOT"
fi
kill "$host"
wait "$host" 2>/dev/null || true
host=

step "prerm unregisters, postrm purges"
sh "$work/control/prerm" remove
if QT_QPA_PLATFORM=offscreen "$work/host-pc" --registered 2>/dev/null; then
  fail "the component is still registered after prerm"
fi
sh "$work/control/postrm" purge
[ ! -e "$ZARN_SYSTEM_REGISTRY" ] || fail "purge left the emptied registration file"
echo "package test passed"
