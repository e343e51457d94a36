#!/bin/bash
# Cross-builds the libraries of the Windows plug-in from Debian's own source packages with
# mingw-w64 (posix thread model), as static libraries, into a cache outside the clone:
#
#   ${QUILLON_WIN32_CACHE:-/var/cache/quillon-win32}/prefix/{include,lib}          (i686)
#   ${QUILLON_WIN32_CACHE:-/var/cache/quillon-win32}/prefix-x86_64/{include,lib}   (x86_64)
#
# The plug-in itself is 32-bit (i686). The same sources are also built for x86_64, whose
# programs run under 64-bit Wine on machines whose kernel cannot run 32-bit programs.
#
# Boost (all headers; thread and what CMake's FindBoost wants beside it), log4cplus, JsonCpp, htmlcxx (DOM
# and CSS parsers), Crypto++, libjpeg-turbo (with TurboJPEG) and libpng; zlib comes from
# Debian's libz-mingw-w64-dev. Each library leaves a stamp, so a second run reuses what is
# built and only checks. Sources are fetched with `apt-get source` through a deb-src entry
# that lives in a file of its own for the duration of the fetch and is removed afterwards;
# both architectures share the unpacked sources.
#
# Usage: scripts/win32/build-deps.sh [library...]   (default: all; names as in LIBRARIES)
# Environment: QUILLON_WIN_ARCH (i686 or x86_64, default i686), QUILLON_WIN32_CACHE (cache
# folder), QUILLON_WIN32_JOBS (default 2).
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
repo=$(cd "$here/../.." && pwd)

ARCH=${QUILLON_WIN_ARCH:-i686}
CACHE=${QUILLON_WIN32_CACHE:-/var/cache/quillon-win32}
# The i686 folders keep their first names (prefix, work, stamps, logs); the other
# architectures' carry a suffix. The toolchain files name the same prefixes.
case $ARCH in
  i686)
    SUFFIX=""
    TOOLCHAIN=$repo/cmake/toolchain-mingw32.cmake
    BITS=32
    ;;
  x86_64)
    SUFFIX=-x86_64
    TOOLCHAIN=$repo/cmake/toolchain-mingw64.cmake
    BITS=64
    ;;
  *)
    echo "build-deps: error: QUILLON_WIN_ARCH must be i686 or x86_64, not '$ARCH'" >&2
    exit 1
    ;;
esac
PREFIX=$CACHE/prefix$SUFFIX
SRC=$CACHE/src
WORK=$CACHE/work$SUFFIX
STAMPS=$CACHE/stamps$SUFFIX
# Source fetches are shared by the architectures; their stamps live in one place.
SRC_STAMPS=$CACHE/stamps
LOGS=$CACHE/logs$SUFFIX
JOBS=${QUILLON_WIN32_JOBS:-2}
HOST=$ARCH-w64-mingw32
CC=$HOST-gcc-posix
CXX=$HOST-g++-posix
SYSROOT=/usr/$HOST
# Windows 7 API level, the same as the toolchain files give the project.
WINNT=0x0601
# Other builds share this machine: compile at the lowest priority.
NICE="nice -n 19"

LIBRARIES="boost log4cplus jsoncpp htmlcxx cryptopp jpeg png"

# Debian source package of each library, and the revision of its recipe below: raising the
# revision rebuilds that library on the next run.
source_package() {
  case $1 in
    boost) echo boost1.74 ;;
    log4cplus) echo log4cplus ;;
    jsoncpp) echo libjsoncpp ;;
    htmlcxx) echo htmlcxx ;;
    cryptopp) echo libcrypto++ ;;
    jpeg) echo libjpeg-turbo ;;
    png) echo libpng1.6 ;;
    *) return 1 ;;
  esac
}
recipe_revision() {
  case $1 in
    log4cplus) echo 4 ;;
    boost | cryptopp) echo 2 ;;
    *) echo 1 ;;
  esac
}

say() { echo "build-deps[$ARCH]: $*"; }
die() {
  echo "build-deps: error: $*" >&2
  exit 1
}

SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO=sudo
export DEBIAN_FRONTEND=noninteractive

# --- packages -----------------------------------------------------------------------------

install_packages() {
  local p missing=""
  for p in $(grep -v '^\s*#' "$here/packages.txt" | sed '/^\s*$/d'); do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' ||
      missing="$missing $p"
  done
  [ -z "$missing" ] && return 0
  say "installing$missing"
  $SUDO apt-get update -qq || die "apt-get update failed"
  # shellcheck disable=SC2086
  $SUDO apt-get install -y -qq --no-install-recommends $missing ||
    die "could not install$missing"
}

# --- source packages ----------------------------------------------------------------------

DEB_SRC_LIST=/etc/apt/sources.list.d/quillon-deb-src.list
deb_src_added=0

# One deb-src line per Debian suite of this release that apt already uses for binaries.
deb_src_lines() {
  local codename
  codename=$(. /etc/os-release && echo "${VERSION_CODENAME:-}")
  [ -n "$codename" ] || die "cannot tell the Debian release from /etc/os-release"
  {
    # One-line format: deb [options] URI suite component...
    for f in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
      [ -f "$f" ] && [ "$f" != "$DEB_SRC_LIST" ] || continue
      awk '$1 == "deb" { print }' "$f" | sed 's/^deb /deb-src /'
    done
    # deb822 format: stanzas of Types/URIs/Suites/Components/Signed-By.
    for f in /etc/apt/sources.list.d/*.sources; do
      [ -f "$f" ] || continue
      awk '
        function flush() {
          if (types ~ /(^| )deb( |$)/ && enabled != "no")
            for (i = 1; i <= nu; i++) for (j = 1; j <= ns; j++)
              printf "deb-src %s%s %s %s\n", (signed != "" ? "[signed-by=" signed "] " : ""), u[i], s[j], comps
          types = ""; comps = ""; signed = ""; enabled = ""; nu = 0; ns = 0
        }
        /^[ \t]*#/ { next }
        /^[ \t]*$/ { flush(); next }
        {
          key = tolower($1); sub(/:$/, "", key); $1 = ""; sub(/^ +/, "")
          if (key == "types") types = $0
          else if (key == "uris") nu = split($0, u, " ")
          else if (key == "suites") ns = split($0, s, " ")
          else if (key == "components") comps = $0
          else if (key == "signed-by") signed = $0
          else if (key == "enabled") enabled = tolower($0)
        }
        END { flush() }' "$f"
    done
  } | awk -v c="$codename" '{
        # Keep the suites of this release (codename, -updates, -security) only.
        for (i = 2; i <= NF; i++) if ($i !~ /^\[/) { uri = i; break }
        if ($(uri + 1) == c || index($(uri + 1), c "-") == 1) print
      }' | sort -u
}

remove_deb_src() {
  [ "$deb_src_added" = 1 ] || return 0
  deb_src_added=0
  say "removing $DEB_SRC_LIST"
  $SUDO rm -f "$DEB_SRC_LIST"
  $SUDO apt-get update -qq || echo "build-deps: warning: apt-get update after removing the deb-src entry failed" >&2
}

add_deb_src() {
  [ "$deb_src_added" = 1 ] && return 0
  local lines
  lines=$(deb_src_lines)
  [ -n "$lines" ] || die "no Debian suite found in /etc/apt/sources.list or /etc/apt/sources.list.d/"
  say "adding $DEB_SRC_LIST:"
  echo "$lines" | sed 's/^/  /'
  deb_src_added=1
  trap remove_deb_src EXIT
  trap 'exit 130' INT TERM
  echo "$lines" | $SUDO tee "$DEB_SRC_LIST" >/dev/null
  $SUDO apt-get update -qq || die "apt-get update with the deb-src entry failed"
}

# Sets FETCHED to the unpacked source folder of Debian source package $1, fetching it when
# needed (not run in a subshell: the deb-src entry it adds must be removed by this shell).
# Tries the newest version first; the archive's index can name a version that the mirror
# no longer serves, so older versions of the same release are tried next.
fetch_source() {
  local pkg=$1 stamp=$SRC_STAMPS/src-$1 dir versions v tmp
  if [ -f "$stamp" ]; then
    dir=$SRC/$(cat "$stamp")
    [ -d "$dir" ] && { FETCHED=$dir; return 0; }
  fi
  add_deb_src
  versions=$(apt-cache showsrc "$pkg" 2>/dev/null | awk '/^Version:/ { print $2 }' | sort -u -V -r)
  [ -n "$versions" ] || die "apt-get source cannot find the source package $pkg"
  for v in $versions; do
    tmp=$SRC/.fetch-$pkg
    rm -rf "$tmp" && mkdir -p "$tmp"
    say "fetching source $pkg=$v"
    if (cd "$tmp" && apt-get source -qq -o APT::Sandbox::User=root "$pkg=$v") >"$LOGS/src-$pkg.log" 2>&1; then
      dir=$(find "$tmp" -mindepth 1 -maxdepth 1 -type d | head -n 1)
      [ -n "$dir" ] || die "apt-get source $pkg=$v unpacked nothing (see $LOGS/src-$pkg.log)"
      rm -rf "$SRC/${dir##*/}"
      mv "$dir" "$SRC/"
      rm -rf "$tmp"
      echo "${dir##*/}" >"$stamp"
      echo "$v" >"$stamp.version"
      FETCHED=$SRC/${dir##*/}
      return 0
    fi
    say "source $pkg=$v could not be fetched, trying an older one"
  done
  rm -rf "$tmp"
  die "no version of the source package $pkg could be fetched (see $LOGS/src-$pkg.log)"
}

# --- recipes ------------------------------------------------------------------------------

# compile_objects WHAT OUT_DIR "COMPILER FLAGS..." SOURCE...: compiles the sources into OUT_DIR,
# JOBS at a time, and appends the objects to OBJECTS; dies naming WHAT if one was not built.
compile_objects() {
  local what=$1 out=$2 command=$3 f o built=""
  shift 3
  mkdir -p "$out"
  for f in "$@"; do
    o=$out/$(basename "${f%.*}").o
    # shellcheck disable=SC2086
    $NICE $command -c "$f" -o "$o" &
    [ "$(jobs -rp | wc -l)" -lt "$JOBS" ] || wait -n
    built="$built $o"
  done
  wait
  for o in $built; do [ -f "$o" ] || die "$what: $o was not built"; done
  OBJECTS="$OBJECTS$built"
}

cmake_cross() {
  local src=$1 build=$2
  shift 2
  rm -rf "$build"
  cmake -S "$src" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$TOOLCHAIN" \
    -DQUILLON_WIN32_CACHE="$CACHE" -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_INSTALL_PREFIX="$PREFIX" -DCMAKE_INSTALL_LIBDIR=lib -DBUILD_SHARED_LIBS=OFF "$@"
  $NICE cmake --build "$build" -j "$JOBS"
  cmake --install "$build"
}

# Boost: the headers, and only the compiled libraries the project links (Boost.Thread) with
# those CMake's FindBoost requires beside it (chrono, system, date_time, atomic), compiled
# straight from their few sources: the build engine would first build itself and then copy
# some 15,000 headers one by one. FindBoost finds them by their plain names (libboost_*.a).
build_boost() {
  local src=$1 build=$WORK/boost d lib
  rm -rf "$build" "$PREFIX/include/boost" && mkdir -p "$build" "$PREFIX/include/boost" "$PREFIX/lib"
  # Each library keeps its headers in libs/<name>/include (and libs/numeric/<name>/include).
  for d in "$src"/libs/*/include "$src"/libs/*/*/include; do
    [ -d "$d/boost" ] && cp -a "$d/boost/." "$PREFIX/include/boost/"
  done
  [ -f "$PREFIX/include/boost/version.hpp" ] || die "boost: no headers found in $src/libs"
  local flags="-std=gnu++17 -O2 -DNDEBUG -D_WIN32_WINNT=$WINNT -I$PREFIX/include -DBOOST_ALL_NO_LIB
    -DWIN32_LEAN_AND_MEAN -DBOOST_USE_WINDOWS_H -DBOOST_THREAD_BUILD_LIB=1 -DBOOST_THREAD_WIN32
    -DBOOST_THREAD_USES_CHRONO -DBOOST_CHRONO_STATIC_LINK=1 -DBOOST_SYSTEM_STATIC_LINK=1
    -DBOOST_ATOMIC_STATIC_LINK=1 -DBOOST_ATOMIC_SOURCE -DBOOST_DATE_TIME_STATIC_LINK
    -I$src/libs/atomic/src"
  boost_sources() {
    case $1 in
      thread) echo thread/src/win32/thread.cpp thread/src/win32/tss_dll.cpp \
        thread/src/win32/tss_pe.cpp thread/src/win32/thread_primitives.cpp thread/src/future.cpp ;;
      chrono) echo chrono/src/chrono.cpp chrono/src/thread_clock.cpp chrono/src/process_cpu_clocks.cpp ;;
      system) echo system/src/error_code.cpp ;;
      date_time) echo date_time/src/gregorian/greg_month.cpp ;;
      atomic) echo atomic/src/lock_pool.cpp atomic/src/wait_ops_windows.cpp ;;
    esac
  }
  for lib in thread chrono system date_time atomic; do
    OBJECTS=""
    # shellcheck disable=SC2046
    compile_objects boost "$build/$lib" "$CXX $flags" $(boost_sources $lib | tr ' ' '\n' | sed "s|^|$src/libs/|")
    rm -f "$PREFIX/lib/libboost_$lib.a"
    # shellcheck disable=SC2086
    $HOST-ar rcs "$PREFIX/lib/libboost_$lib.a" $OBJECTS
  done
  rm -rf "$build"
}

# Without the thread pool (only asynchronous appenders use it): a static log4cplus starts it
# while the DLL loads and joins its threads when the DLL is unloaded, after ExitProcess has
# already ended them, so the browser's process would hang on its way out. Its sources are
# compiled as one unity file (each alone spends most of its time in the same headers); the
# lock primitives' bodies, which syncprims.cxx asks for just before its include, are asked
# for from the start, since in one file their header is read before syncprims.cxx.
build_log4cplus() {
  cmake_cross "$1" "$WORK/log4cplus" -DUNICODE=OFF -DLOG4CPLUS_BUILD_TESTING=OFF \
    -DLOG4CPLUS_BUILD_LOGGINGSERVER=OFF -DWITH_UNIT_TESTS=OFF \
    -DLOG4CPLUS_ENABLE_DECORATED_LIBRARY_NAME=OFF -DLOG4CPLUS_ENABLE_THREAD_POOL=OFF \
    -D_WIN32_WINNT=$WINNT -DCMAKE_UNITY_BUILD=ON -DCMAKE_UNITY_BUILD_BATCH_SIZE=0 \
    -DCMAKE_CXX_FLAGS=-DLOG4CPLUS_ENABLE_SYNCPRIMS_PUB_IMPL
  rm -rf "$WORK/log4cplus"
}

build_jsoncpp() {
  cmake_cross "$1" "$WORK/jsoncpp" -DBUILD_STATIC_LIBS=ON -DBUILD_OBJECT_LIBS=OFF \
    -DJSONCPP_WITH_TESTS=OFF -DJSONCPP_WITH_POST_BUILD_UNITTEST=OFF -DJSONCPP_WITH_EXAMPLE=OFF
  rm -rf "$WORK/jsoncpp"
}

build_jpeg() {
  # Its own install-dirs module takes a relative library folder as relative to the current
  # folder, not to the prefix.
  cmake_cross "$1" "$WORK/jpeg" -DCMAKE_INSTALL_LIBDIR="$PREFIX/lib" -DENABLE_SHARED=OFF -DENABLE_STATIC=ON -DWITH_TURBOJPEG=ON \
    -DWITH_SIMD=ON -DREQUIRE_SIMD=ON -DCMAKE_ASM_NASM_COMPILER=nasm
  rm -rf "$WORK/jpeg"
}

build_png() {
  cmake_cross "$1" "$WORK/png" -DPNG_SHARED=OFF -DPNG_STATIC=ON -DPNG_TESTS=OFF \
    -DPNG_EXECUTABLES=OFF
  rm -rf "$WORK/png"
}

# Crypto++: only what the plug-in uses (CRC-32, Gzip/Gunzip, hex, the filters) and what those
# objects reach, of some 200 sources; the archive lets the linker take what it needs. The
# template instantiations its own DLL source would give are made by a small file of ours;
# CRYPTOPP_NO_ASSIGN_TO_INTEGER (also in the .pc file, for the headers' inline code) keeps the
# parameter code from reaching the big-integer arithmetic for every int parameter.
CRYPTOPP_SOURCES="cryptlib cpu misc filters queue algparam fips140 mqueue allocate crc gzip
  zinflate zdeflate hex basecode integer asn nbtheory pubkey iterhash sha"
build_cryptopp() {
  local src=$1 build=$WORK/cryptopp f
  local flags="-DNDEBUG -O2 -D_WIN32_WINNT=$WINNT -DCRYPTOPP_NO_ASSIGN_TO_INTEGER -I$src"
  rm -rf "$build" && mkdir -p "$build"
  printf '%s\n' '#define CRYPTOPP_MANUALLY_INSTANTIATE_TEMPLATES' '#include "algparam.h"' \
    '#include "filters.h"' '#include "modarith.h"' '#include "algebra.cpp"' >"$build/quillon_templates.cpp"
  OBJECTS=""
  # shellcheck disable=SC2046
  compile_objects cryptopp "$build" "$CXX $flags" $(for f in $CRYPTOPP_SOURCES; do echo "$src/$f.cpp"; done) \
    "$build/quillon_templates.cpp"
  # The SIMD sources are chosen at run time by CPU probes; they need their instruction sets.
  compile_objects cryptopp "$build" "$CXX $flags -msse2" "$src/sse_simd.cpp"
  compile_objects cryptopp "$build" "$CXX $flags -msse4.2" "$src/crc_simd.cpp"
  compile_objects cryptopp "$build" "$CXX $flags -msse4.2 -msha" "$src/sha_simd.cpp"
  mkdir -p "$PREFIX/include/cryptopp" "$PREFIX/lib/pkgconfig"
  rm -f "$PREFIX"/include/cryptopp/*.h "$PREFIX/lib/libcryptopp.a"
  cp "$src"/*.h "$PREFIX/include/cryptopp/"
  # shellcheck disable=SC2086
  $HOST-ar rcs "$PREFIX/lib/libcryptopp.a" $OBJECTS
  cat >"$PREFIX/lib/pkgconfig/libcrypto++.pc" <<EOF
prefix=$PREFIX
libdir=\${prefix}/lib
includedir=\${prefix}/include

Name: libcrypto++
Description: Crypto++ class library (the parts the plug-in uses), static, for $BITS-bit Windows
Version: $2
Libs: -L\${libdir} -lcryptopp -lws2_32
Cflags: -I\${includedir} -DCRYPTOPP_NO_ASSIGN_TO_INTEGER
EOF
  rm -rf "$build"
}

# htmlcxx: its DOM parser (html/) and CSS parser (css/) compiled as the upstream makefiles
# do. The charset converter is left out: it needs iconv, which Windows does not have.
build_htmlcxx() {
  local src=$1 build=$WORK/htmlcxx f
  rm -rf "$build" && mkdir -p "$build/html" "$build/css" "$build/css_pp"
  OBJECTS=""
  compile_objects htmlcxx "$build/html" "$CXX -std=gnu++17 -O2 -D_WIN32_WINNT=$WINNT" \
    "$src"/html/{ParserSax,ParserDom,Extensions,Uri,Node,utils}.cc
  rm -f "$build/libhtmlcxx.a"
  # shellcheck disable=SC2086
  $HOST-ar rcs "$build/libhtmlcxx.a" $OBJECTS
  for f in css_syntax css_lex parser; do
    $NICE "$CC" -O2 -D_WIN32_WINNT=$WINNT -I"$src/css" -c "$src/css/$f.c" -o "$build/css/$f.o"
  done
  $HOST-ar rcs "$build/libcss_parser.a" "$build/css"/*.o
  # The stylesheet file of the Linux package is not shipped: the name stays as on Linux.
  $NICE "$CXX" -std=gnu++17 -O2 -D_WIN32_WINNT=$WINNT \
    -DDEFAULT_CSS='"/usr/share/htmlcxx/css/default.css"' -I"$src/css" \
    -c "$src/css/parser_pp.cc" -o "$build/css_pp/parser_pp.o"
  $NICE "$CC" -O2 -D_WIN32_WINNT=$WINNT -I"$src/css" -c "$src/css/parser.c" -o "$build/css_pp/parser.o"
  $HOST-ar rcs "$build/libcss_parser_pp.a" "$build/css_pp"/*.o
  mkdir -p "$PREFIX/include/htmlcxx/html" "$PREFIX/include/htmlcxx/css" "$PREFIX/lib/pkgconfig"
  for f in ParserSax.h ParserSax.tcc ParserDom.h utils.h tree.h Node.h Uri.h Extensions.h \
    ci_string.h tld.h; do
    cp "$src/html/$f" "$PREFIX/include/htmlcxx/html/"
  done
  cp "$src/css/parser.h" "$src/css/parser_pp.h" "$PREFIX/include/htmlcxx/css/"
  cp "$build"/lib*.a "$PREFIX/lib/"
  cat >"$PREFIX/lib/pkgconfig/htmlcxx.pc" <<EOF
prefix=$PREFIX
libdir=\${prefix}/lib
includedir=\${prefix}/include

Name: htmlcxx
Description: html and css apis for c++, static, for $BITS-bit Windows
Version: $2
Libs: -L\${libdir} -lhtmlcxx -lcss_parser_pp -lcss_parser
Cflags: -I\${includedir}
EOF
  rm -rf "$build"
}

# CMake's pkg_check_modules links what "Libs" names, never "Libs.private": a static library
# lists there the Windows and other libraries it needs after it. Idempotent, so it runs on
# every call, also for libraries built before.
complete_pkgconfig() {
  local pc=$PREFIX/lib/pkgconfig/$1.pc lib
  shift
  [ -f "$pc" ] || return 0
  for lib in "$@"; do
    grep -Eq "^Libs:.* $lib( |\$)" "$pc" || sed -i "s|^Libs:.*|& $lib|" "$pc"
  done
}

# --- driver -------------------------------------------------------------------------------

check_toolchain() {
  command -v "$CXX" >/dev/null || die "$CXX not found (package g++-mingw-w64-${ARCH/_/-}-posix)"
  command -v "$CC" >/dev/null || die "$CC not found (package gcc-mingw-w64-${ARCH/_/-}-posix)"
  [ -f "$SYSROOT/lib/libz.a" ] && [ -f "$SYSROOT/include/zlib.h" ] ||
    die "zlib for mingw-w64 not found in $SYSROOT (package libz-mingw-w64-dev)"
  [ -f "$TOOLCHAIN" ] || die "toolchain file $TOOLCHAIN missing"
}

# Runs the recipe of library $1 unless its stamp says it is built; times it.
build_one() {
  local lib=$1 pkg rev stamp src version start took
  pkg=$(source_package "$lib") || die "unknown library '$lib' (known: $LIBRARIES)"
  rev=$(recipe_revision "$lib")
  stamp=$STAMPS/$lib
  if [ -f "$stamp" ] && [ "$(sed -n 1p "$stamp")" = "recipe $rev" ]; then
    say "$lib: up to date ($(sed -n 2p "$stamp"))"
    return 0
  fi
  fetch_source "$pkg"
  src=$FETCHED
  version=$(cat "$SRC_STAMPS/src-$pkg.version")
  say "$lib: building $pkg $version (log: $LOGS/$lib.log)"
  start=$(date +%s)
  # The recipe runs in a subshell of its own with errexit on: as the condition of an `if`
  # a failing step would not stop it.
  set +e
  (
    set -e
    cd "$WORK"
    "build_$lib" "$src" "${version%%-*}"
  ) >"$LOGS/$lib.log" 2>&1
  local rc=$?
  set -e
  if [ "$rc" -ne 0 ]; then
    echo "build-deps: error: building $lib failed; last lines of $LOGS/$lib.log:" >&2
    tail -n 25 "$LOGS/$lib.log" >&2
    exit 1
  fi
  took=$(($(date +%s) - start))
  printf 'recipe %s\n%s %s, built in %ss\n' "$rev" "$pkg" "$version" "$took" >"$stamp"
  say "$lib: built $pkg $version in ${took}s"
}

main() {
  local wanted=${*:-$LIBRARIES} lib
  mkdir -p "$PREFIX/include" "$PREFIX/lib" "$SRC" "$WORK" "$STAMPS" "$SRC_STAMPS" "$LOGS" ||
    die "cannot create the cache folder $CACHE (set QUILLON_WIN32_CACHE to a writable place)"
  install_packages
  check_toolchain
  for lib in $wanted; do
    build_one "$lib"
  done
  complete_pkgconfig log4cplus -lws2_32 -ladvapi32
  complete_pkgconfig libpng -lz
  complete_pkgconfig libpng16 -lz
  remove_deb_src
  trap - EXIT
  say "done: $ARCH libraries in $PREFIX (zlib from $SYSROOT)"
}

main "$@"
