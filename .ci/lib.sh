# Shell functions the CI scripts share; sourced, not run.

# Installs the Debian packages of the arguments that are missing (Wine with its
# recommended packages, as tested here).
install_missing() {
  local package missing=()
  for package in "$@"; do
    dpkg -s "$package" >/dev/null 2>&1 || missing+=("$package")
  done
  if [ "${#missing[@]}" -gt 0 ]; then
    export DEBIAN_FRONTEND=noninteractive
    apt-get update
    apt-get install -y "${missing[@]}"
  fi
}

# One Wine prefix (the argument) for the rest of the calling script, its server kept
# alive until stop_wine so that each start of a program is quick. Without a display
# Wine's message boxes return at once. The server and the helpers of the first start
# must not hold on to the script's output, or whoever reads it would wait for them.
start_wine() {
  export WINEPREFIX="$1" WINEDEBUG=-all
  unset DISPLAY WAYLAND_DISPLAY
  mkdir -p "$WINEPREFIX"
  wineserver -p </dev/null >/dev/null 2>&1 || true  # fails only when one already serves the prefix
  wine cmd /c exit </dev/null >/dev/null 2>&1 || true
}

stop_wine() {
  wineserver -k >/dev/null 2>&1 || true
}
