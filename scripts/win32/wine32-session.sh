# 32-bit Wine under user-mode emulation for the length of one script (sourced by bash scripts):
#   wine32_start PREFIX   registers qemu-i386 (from install-wine32.sh) for i386 programs, since
#                         Wine starts its server and every Windows process with execve, and
#                         makes a fresh 32-bit prefix
#   wine32 ARGS...        runs a Windows program in it (the environment is exported)
#   wine32_stop           stops the Wine server, removes the handler (and binfmt_misc, when
#                         this session mounted it): nothing stays registered or running
# Needs root (binfmt_misc). QUILLON_WIN32_CACHE as in install-wine32.sh.

WINE32_DIR=${QUILLON_WIN32_CACHE:-/var/cache/quillon-win32}/wine32
WINE32_ROOT=$WINE32_DIR/root
WINE32_BINFMT=/proc/sys/fs/binfmt_misc
WINE32_HANDLER=quillon-i386-$$
wine32_mounted=0
wine32_registered=0

wine32_start() {
  [ -x "$WINE32_DIR/qemu-i386" ] && [ -x "$WINE32_ROOT/usr/lib/wine/wine" ] || {
    echo "wine32: error: no emulated Wine in $WINE32_DIR (run scripts/win32/install-wine32.sh)" >&2
    return 1
  }
  if [ ! -e "$WINE32_BINFMT/register" ]; then
    mount -t binfmt_misc binfmt_misc "$WINE32_BINFMT" || {
      echo "wine32: error: cannot mount binfmt_misc on $WINE32_BINFMT" >&2
      return 1
    }
    wine32_mounted=1
  fi
  # ELF, 32-bit, little-endian, i386, executable or shared object. "F" opens the emulator now,
  # so it is found whatever the program's root or mount namespace.
  printf ':%s:M::%s:%s:%s:F\n' "$WINE32_HANDLER" \
    '\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00' \
    '\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff' \
    "$WINE32_DIR/qemu-i386" >"$WINE32_BINFMT/register" || {
    echo "wine32: error: cannot register the i386 handler in binfmt_misc" >&2
    return 1
  }
  wine32_registered=1
  export QEMU_LD_PREFIX=$WINE32_ROOT WINEARCH=win32 WINEPREFIX=$1 WINEDEBUG=${WINEDEBUG:--all}
  # No desktop integration, no Mono or Gecko installers on the first start.
  export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=;winemenubuilder.exe=d}
  rm -rf "$WINEPREFIX"
  mkdir -p "$(dirname "$WINEPREFIX")"
  timeout 600 "$WINE32_ROOT/usr/lib/wine/wine" wineboot -i >/dev/null 2>&1 || {
    echo "wine32: error: wineboot could not create $WINEPREFIX" >&2
    return 1
  }
}

wine32() {
  "$WINE32_ROOT/usr/lib/wine/wine" "$@"
}

wine32_stop() {
  if [ "$wine32_registered" = 1 ]; then
    timeout 60 "$WINE32_ROOT/usr/lib/wine/wineserver" -k 2>/dev/null || true
    echo -1 >"$WINE32_BINFMT/$WINE32_HANDLER" 2>/dev/null || true
    wine32_registered=0
  fi
  if [ "$wine32_mounted" = 1 ]; then
    umount "$WINE32_BINFMT" 2>/dev/null || true
    wine32_mounted=0
  fi
}
