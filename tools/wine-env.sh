# Sourced by the scripts that run Windows programs: one throwaway wine64
# prefix per run, with the null graphics driver (hidden windows and message
# boxes work without a display) and a persistent server, stopped on exit.
export WINEARCH=win64 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
WINE=/usr/lib/wine/wine64
WINESERVER=/usr/lib/wine/wineserver

vlx_wine_start() {
  export WINEPREFIX
  WINEPREFIX=$(mktemp -d /tmp/vlx-wine.XXXXXX)
  "$WINE" wineboot -i >/dev/null 2>&1 </dev/null
  "$WINESERVER" -w
  # The graphics driver is chosen when the server starts: set it, then start
  # the server that lasts for the run.
  "$WINE" reg add 'HKCU\Software\Wine\Drivers' /v Graphics /t REG_SZ /d null /f >/dev/null 2>&1 </dev/null
  "$WINESERVER" -w
  "$WINESERVER" -p
  # Wine's background services keep the first process's output open: warm up
  # with output that nobody waits on.
  "$WINE" cmd /c exit >/dev/null 2>&1 </dev/null || true
  trap vlx_wine_stop EXIT
}

# Installs the stand-in editor from the folder $1 in a folder with a blank,
# registers it where the host looks (HKLM\SOFTWARE\Vellumix\PDFEditor,
# "InstallPath") and has it log its command lines to C:\vlx-editor.log.
vlx_install_editor() {
  local dir="$WINEPREFIX/drive_c/Program Files/Vellumix Editor"
  mkdir -p "$dir"
  cp "$1/VLXEditor.exe" "$dir/"
  "$WINE" reg add 'HKLM\SOFTWARE\Vellumix\PDFEditor' /v InstallPath /t REG_SZ \
    /d 'C:\Program Files\Vellumix Editor' /f >/dev/null 2>&1 </dev/null
  export VLX_EDITOR_LOG='C:\vlx-editor.log'
}

vlx_wine_stop() {
  if [ -n "${WINEPREFIX:-}" ] && [ -d "$WINEPREFIX" ]; then
    "$WINESERVER" -k >/dev/null 2>&1 || true
    "$WINESERVER" -w >/dev/null 2>&1 || true
    rm -rf "$WINEPREFIX"
  fi
}
