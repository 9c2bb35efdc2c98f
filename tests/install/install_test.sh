#!/usr/bin/env bash
# Installs the build into a temporary prefix and builds a consumer against it twice: with pkg-config and with
# CMake's find_package. Both consumers list an archive made by Info-ZIP zip.
set -euo pipefail
build=$1
source=$2
work=$(mktemp -d "${TMPDIR:-/tmp}/api32-install-XXXXXX")
trap 'rm -rf "$work"' EXIT
cmake --install "$build" --prefix "$work/prefix" >/dev/null
test -x "$work/prefix/bin/api32"
test -f "$work/prefix/lib/api32/lib/rar.exe" -o -f "$work/prefix/lib/x86_64-linux-gnu/api32/lib/rar.exe" -o \
     -n "$(find "$work/prefix" -name rar.exe)"
libdir=$(dirname "$(find "$work/prefix" -name libapi32.so | head -n 1)")
( cd "$work" && mkdir -p data && echo hello > data/a.txt && zip -q -r sample.zip data )

# pkg-config
export PKG_CONFIG_PATH="$libdir/pkgconfig"
g++ "$source/tests/install/consumer/consumer.cpp" -o "$work/consumer-pc" $(pkg-config --cflags --libs api32) \
    -Wl,-rpath,"$libdir"
"$work/consumer-pc" "$work/sample.zip" | grep -q "a.txt"

# only the public headers are installed, and each compiles on its own with nothing but the installed folder
# (the C header as C as well)
includedir=$(pkg-config --variable=includedir api32)
headers=$(cd "$includedir" && find api32 -name '*.hpp' -o -name '*.h' | sort)
for header in $headers; do
  echo "#include \"$header\"" | g++ -std=c++20 -Wall -Wextra -Wpedantic -Werror -fsyntax-only -I"$includedir" -x c++ - ||
    { echo "install: $header does not compile on its own" >&2; exit 1; }
done
echo '#include "api32/abi/api32.h"' | gcc -std=c99 -Wall -Wextra -Wpedantic -Werror -fsyntax-only -I"$includedir" -x c - ||
  { echo "install: api32/abi/api32.h does not compile as C" >&2; exit 1; }
test -n "$headers"
test -z "$(find "$includedir/api32" -name '*internal*' -o -name '*binding*' -o -name 'ziplib_unzip_*')"

# CMake package
cmake -S "$source/tests/install/consumer" -B "$work/cmake-build" -DCMAKE_PREFIX_PATH="$work/prefix" >/dev/null
cmake --build "$work/cmake-build" >/dev/null
"$work/cmake-build/consumer" "$work/sample.zip" | grep -q "compressed uo_nv_ziplib"

# the installed command finds its archiver through its per-user application folder
XDG_DATA_HOME="$work/xdg" "$work/prefix/bin/api32" list "$work/sample.zip" | grep -q "a.txt"
test -e "$work/xdg/api32/lib/rar.exe"
# the manual page and the bash completion, where man and bash-completion look below the prefix
man_page="$work/prefix/share/man/man1/api32.1"
test -f "$man_page"
MANWIDTH=200 man -P cat -l "$man_page" 2>/dev/null | grep -q -- "--skip-existing"  # the help of every command
MANWIDTH=200 MANPATH="$work/prefix/share/man" man -P cat api32 2>/dev/null | grep -q "read every entry of a ZIP archive"
completion="$work/prefix/share/bash-completion/completions/api32"
test -f "$completion"
complete_line() {  # the words bash completion offers for the command line "$@" (the last word being typed)
  bash -c 'source /usr/share/bash-completion/bash_completion && source "$1" && shift &&
           COMP_WORDS=("$@") && COMP_CWORD=$(($# - 1)) && COMP_LINE="$*" && COMP_POINT=${#COMP_LINE} &&
           _api32 && printf "%s\n" "${COMPREPLY[@]}"' complete "$completion" "$@"
}
complete_line "$work/prefix/bin/api32" te | grep -qx "test"
complete_line "$work/prefix/bin/api32" list --skip | grep -qx -- "--skip-existing"
( cd "$work" && complete_line "$work/prefix/bin/api32" test sam ) | grep -qx "sample.zip"
echo "install: ok"
