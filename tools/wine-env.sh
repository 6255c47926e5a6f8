# Sourced by the build and test scripts: an X display (Xvfb when none is set), the project's
# Wine prefix and one persistent wineserver, all torn down by ql_env_stop.
here=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
export WINEPREFIX="$here/build/wineprefix"
export WINEARCH=win64
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
QL_XVFB_PID=
ql_env_start() {
  if [ -z "${DISPLAY:-}" ]; then
    # Xvfb takes a free display itself and writes its number once it accepts connections: lock
    # files left by servers that died (a killed run leaves them) cannot make it pick a taken one.
    local said n=
    said=$(mktemp)
    Xvfb -displayfd 3 -screen 0 1600x1000x24 -nolisten tcp 3>"$said" >/dev/null 2>&1 &
    QL_XVFB_PID=$!
    for _ in $(seq 100); do
      n=$(head -n 1 "$said" 2>/dev/null || true)
      [ -n "$n" ] && break
      sleep 0.1
    done
    rm -f "$said"
    if [ -z "$n" ]; then
      echo "Xvfb did not start: no display for the tests" >&2
      return 1
    fi
    export DISPLAY=":$n"
  fi
  mkdir -p "$here/build"
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    echo "Creating the Wine prefix in $WINEPREFIX (once)..."
    "$here/tools/wine-run.sh" wineboot --init >/dev/null 2>&1 || true
    # A crashing test must fail, not wait on a crash dialog.
    "$here/tools/wine-run.sh" reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1 || true
    # The product targets Windows 10 and 11; Wine 8 otherwise presents itself as Windows 7.
    "$here/tools/wine-run.sh" reg add 'HKCU\Software\Wine' /v Version /t REG_SZ /d win10 /f >/dev/null 2>&1 || true
  fi
  wineserver -p >/dev/null 2>&1 || /usr/lib/wine/wineserver -p >/dev/null 2>&1 || true
  # The first program of a server starts the prefix's services (explorer, services, plugplay),
  # which inherit that program's output. Started here with their output elsewhere, they never hold
  # the pipes of a test runner, which would otherwise wait for them to close and never return.
  "$here/tools/wine-run.sh" cmd /c exit </dev/null >/dev/null 2>&1 || true
  ql_font_replacements
}
# The product's Chinese interface face, and the faces Wine links to its default UI fonts for
# Chinese, drawn with the CJK font that tools/setup.sh installs. Written on every start: the
# prefix may predate the setting, and writing the same values again changes nothing.
ql_font_replacements() {
  local reg="$here/build/font-replacements.reg" face
  {
    printf '\xff\xfe'
    {
      printf 'Windows Registry Editor Version 5.00\r\n\r\n'
      printf '[HKEY_CURRENT_USER\\Software\\Wine\\Fonts\\Replacements]\r\n'
      for face in "微软雅黑" "Microsoft YaHei" "SimSun" "宋体" "NSimSun" "SimHei" "黑体"; do
        printf '"%s"="WenQuanYi Micro Hei"\r\n' "$face"
      done
    } | iconv -f UTF-8 -t UTF-16LE
  } > "$reg"
  "$here/tools/wine-run.sh" regedit /S "Z:${reg//\//\\}" </dev/null >/dev/null 2>&1 || true
}
ql_env_stop() {
  wineserver -k >/dev/null 2>&1 || /usr/lib/wine/wineserver -k >/dev/null 2>&1 || true
  if [ -n "$QL_XVFB_PID" ]; then kill "$QL_XVFB_PID" 2>/dev/null; wait "$QL_XVFB_PID" 2>/dev/null; fi
}
