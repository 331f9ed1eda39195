# shellcheck shell=bash
# The one place that decides which Windows build runs under Wine on this host, and
# the one way every script starts Wine. Sourced, not run; expects `root` (the
# checkout) to be set.
#
#   win32  the product: 32-bit programs under the 32-bit Wine loader. Chosen where
#          the host starts that loader (some kernels refuse every 32-bit Linux
#          program, and the loader is one).
#   win64  the same programs built for 64-bit Windows, under wine64, elsewhere.
#
# QVR_WINDOWS_ARCH=win32|win64 forces either. Afterwards these are exported:
#   QVR_WINDOWS_ARCH        the build that runs
#   QVR_WINDOWS_ARCH_WHY    one line saying why
#   QVR_WINDOWS_BUILD_DIR   its build folder (build/win32 or build/win64)
#   QVR_DIST_DIR            its medium: build/dist for the shipped 32-bit one,
#                           build/dist-win64 for the fallback
#   QVR_DIST_TREE_DIR       the product tree packed into that medium
# and qvr_wine, qvr_wineserver and qvr_wineboot start the matching loader, server
# and prefix set-up for the current WINEPREFIX.

QVR_WINE32_LOADER=/usr/lib/wine/wine
QVR_WINE64_LOADER=/usr/lib/wine/wine64

# qvr_host_runs_win32: the 32-bit Wine loader starts on this host. /usr/bin/wine
# would pick that loader whenever its file is executable, even where the kernel
# refuses it, so only starting it tells.
qvr_host_runs_win32() {
  [ -x "$QVR_WINE32_LOADER" ] && "$QVR_WINE32_LOADER" --version >/dev/null 2>&1
}

# qvr_wine_env ARCH: the loader, server and prefix kind for ARCH's programs.
qvr_wine_env() {
  case "$1" in
    win32)
      export WINELOADER="$QVR_WINE32_LOADER" WINESERVER=/usr/lib/wine/wineserver32 WINEARCH=win32
      ;;
    win64)
      export WINELOADER="$QVR_WINE64_LOADER" WINESERVER=/usr/lib/wine/wineserver64 WINEARCH=win64
      ;;
    *)
      echo "windows-arch: unknown Windows build '$1' (win32 or win64)" >&2
      return 1
      ;;
  esac
}

qvr_wine() { "$WINELOADER" "$@"; }
qvr_wineserver() { "$WINESERVER" "$@"; }
qvr_wineboot() { "$WINELOADER" wineboot "$@"; }

if [ -n "${QVR_WINDOWS_ARCH:-}" ]; then
  case "$QVR_WINDOWS_ARCH" in
    win32 | win64) QVR_WINDOWS_ARCH_WHY="forced by QVR_WINDOWS_ARCH=$QVR_WINDOWS_ARCH" ;;
    *)
      echo "windows-arch: QVR_WINDOWS_ARCH must be win32 or win64, not '$QVR_WINDOWS_ARCH'" >&2
      return 1
      ;;
  esac
elif qvr_host_runs_win32; then
  QVR_WINDOWS_ARCH=win32
  QVR_WINDOWS_ARCH_WHY="this host starts the 32-bit Wine loader"
else
  QVR_WINDOWS_ARCH=win64
  QVR_WINDOWS_ARCH_WHY="this host cannot start the 32-bit Wine loader ($QVR_WINE32_LOADER); falling back to the 64-bit build under wine64"
fi
: "${QVR_WINDOWS_BUILD_DIR:=$root/build/$QVR_WINDOWS_ARCH}"
if [ "$QVR_WINDOWS_ARCH" = win32 ]; then
  : "${QVR_DIST_DIR:=$root/build/dist}" "${QVR_DIST_TREE_DIR:=$root/build/dist-tree}"
else
  : "${QVR_DIST_DIR:=$root/build/dist-$QVR_WINDOWS_ARCH}"
  : "${QVR_DIST_TREE_DIR:=$root/build/dist-tree-$QVR_WINDOWS_ARCH}"
fi
export QVR_WINDOWS_ARCH QVR_WINDOWS_ARCH_WHY QVR_WINDOWS_BUILD_DIR QVR_DIST_DIR QVR_DIST_TREE_DIR
qvr_wine_env "$QVR_WINDOWS_ARCH"
