#!/usr/bin/env bash
# Keeps the Windows side of the code compiling, although it cannot run here.
#
#   scripts/check-windows.sh [--strict]
#
#   --strict    warnings count as errors
#
# Three checks, with the project's warnings (cmake/Warnings.cmake):
#   1. the toolkit-free core (src/common, src/protocol, src/telemetry, the
#      editor rules, the settings file and the Win32 serial driver) is built with MinGW-w64
#      through the mingw-core preset (cmake/mingw-w64-x86_64.cmake) in
#      build-mingw;
#   2. the serial driver is linked into a small program that calls every
#      routine, which catches missing Win32 libraries;
#   3. the window (every source of src/Unit1) and the program entry
#      (src/app/main.cpp) are syntax-checked against the build machine's
#      Qt 6 headers, with the forms turned into headers by its uic, so that
#      the Windows branches and any POSIX-only call in them are compiled;
#      there is no Windows Qt to link against. QT6_INCLUDE and QT6_UIC name
#      other headers or another uic.
# MINGW_CXX names another MinGW-w64 g++. Exits non-zero if anything fails to
# compile, link or build.
set -uo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
export MINGW_CXX=${MINGW_CXX:-x86_64-w64-mingw32-g++}
cxx=$MINGW_CXX
build=build-mingw
strict=0
while [ $# -gt 0 ]; do
  case "$1" in
    --strict) strict=1 ;;
    *) echo "usage: $0 [--strict]" >&2; exit 2 ;;
  esac
  shift
done

if ! command -v "$cxx" >/dev/null 2>&1; then
  echo "check-windows: $cxx not found (Debian: apt-get install -y g++-mingw-w64-x86-64)" >&2
  exit 2
fi
mkdir -p "$build/check"
work=$build/check

read -r -a warning_flags <<<"$(cmake -P cmake/Warnings.cmake 2>&1)"
flags=(-std=c++20 "${warning_flags[@]}")
werror=OFF
if [ "$strict" = 1 ]; then
  flags+=(-Werror)
  werror=ON
fi

failures=0
warnings=0
# Reports a step from its exit status and log: ok, WARN or FAIL.
report() {
  local status=$1 log=$2 name=$3
  if [ "$status" != 0 ]; then
    failures=$((failures + 1))
    echo "FAIL  $name"
    cat "$log"
  elif grep -q "warning:" "$log"; then
    warnings=$((warnings + 1))
    echo "WARN  $name"
    grep -A3 "warning:" "$log"
  else
    echo "ok    $name"
  fi
}

# 1. The core through CMake.
cmake --preset mingw-core -DKALVI7_WERROR="$werror" >"$work/configure.log" 2>&1 &&
  cmake --build --preset mingw-core >"$work/build.log" 2>&1
status=$?
cat "$work/configure.log" >>"$work/build.log" 2>/dev/null
report "$status" "$work/build.log" "core build (preset mingw-core)"

# 2. The serial driver linked into a Windows program.
driver=$build/src/PortUnit/libkalvi7_port.a
if [ -e "$driver" ]; then
  cat >"$work/link_check.cpp" <<'CPP'
#include "PortUnit.h"
static void Ignore(void*, std::uint32_t, std::intptr_t) {}
int main()
{
    PortUnit::SetByteMessageTarget(Ignore, nullptr);
    auto ports = PortUnit::EnumComPorts();
    const std::string adapter = ports.empty() ? std::string() : PortUnit::DescribeComPort(ports.front());
    try {
        PortUnit::OpenComPort(PortUnit::PortPathFor(PortUnit::DefaultPortName()), 38400, 0, 8, 0);
    } catch (const PortUnit::PortError&) {
    }
    PortUnit::WriteComByte(1, 0xAA);
    PortUnit::CloseComPort(true);
    return PortUnit::IsPortOpen() || PortUnit::IsReaderRunning() ? 1 : static_cast<int>(ports.size() > 255 + adapter.size());
}
CPP
  "$cxx" "${flags[@]}" -I src/PortUnit "$work/link_check.cpp" "$driver" \
      -lsetupapi -static -o "$work/link_check.exe" >"$work/link.log" 2>&1
  report $? "$work/link.log" "serial driver links into a Windows program"
fi

# 3. The window and the program entry, syntax only, several at a time:
# each one parses most of Qt.
qt_include=${QT6_INCLUDE:-}
if [ -z "$qt_include" ]; then
  for dir in /usr/include/*/qt6 /usr/include/qt6; do
    [ -d "$dir/QtWidgets" ] && { qt_include=$dir; break; }
  done
fi
uic=${QT6_UIC:-}
if [ -z "$uic" ]; then
  for candidate in /usr/lib/qt6/libexec/uic /usr/lib/qt6/bin/uic; do
    [ -x "$candidate" ] && { uic=$candidate; break; }
  done
fi
if [ -z "$qt_include" ] || [ ! -d "$qt_include/QtWidgets" ] || [ -z "$uic" ]; then
  failures=$((failures + 1))
  echo "FAIL  window: Qt 6 headers or uic not found (Debian: apt-get install -y qt6-base-dev)"
else
  mkdir -p "$work/forms" "$work/window"
  for form in src/Unit1/*.ui; do
    "$uic" "$form" -o "$work/forms/ui_$(basename "${form%.ui}").h" >"$work/uic.log" 2>&1 ||
      report $? "$work/uic.log" "$form: uic"
  done
  # As Qt's own build files define them for a Windows program.
  # KALVI7_VERSION as src/app/CMakeLists.txt defines it for main.cpp.
  version=$(sed -n 's/^project(kalvi7 VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
  window_flags=(-fsyntax-only -DUNICODE -D_UNICODE -DQT_CORE_LIB -DQT_GUI_LIB -DQT_WIDGETS_LIB
                "-DKALVI7_VERSION=\"$version\"" -I src/Unit1 -I "$work/forms")
  for dir in common protocol telemetry editors settings PortUnit; do
    window_flags+=(-I "src/$dir")
  done
  for module in "" QtCore QtGui QtWidgets; do
    window_flags+=(-isystem "$qt_include/$module")
  done
  window_sources=(src/Unit1/*.cpp src/app/main.cpp)
  parallel=$(nproc 2>/dev/null || echo 2)
  for i in "${!window_sources[@]}"; do
    while [ "$(jobs -rp | wc -l)" -ge "$parallel" ]; do wait -n; done
    ( "$cxx" "${flags[@]}" "${window_flags[@]}" "${window_sources[$i]}" >"$work/window/$i.log" 2>&1
      echo $? >"$work/window/$i.rc" ) &
  done
  wait
  for i in "${!window_sources[@]}"; do
    report "$(cat "$work/window/$i.rc")" "$work/window/$i.log" "${window_sources[$i]} (syntax)"
  done
fi

echo "check-windows: $failures failed, $warnings with warnings"
[ "$failures" = 0 ]
