#!/usr/bin/env bash
# Runs every suite, each step timed: the Linux suite (build/), then the Windows suite
# (build-win/) under Wine, with the CLI tests that drive ponteva-cli.exe from the Linux
# tree (label "wine"). Both trees come from `scripts/setup.sh --all`.
#
# A new step is one `step NAME COMMAND...` line in the list at the bottom. Windows
# programs run inside with_wine, which gives them the Wine session: a private prefix in a
# temporary folder, one persistent wineserver, no network, and an X display (Xvfb) when
# one is installed, for tests of windows. Tests added to the Windows tree (app/ included)
# run in windows_suite without further ado.
#
# Every step runs even when one before it failed; the exit status says whether all passed.
set -uo pipefail
cd "$(dirname "$0")/.."

linux_build=${PONTEVA_BUILD_DIR:-build}
win_build=${PONTEVA_WIN_BUILD_DIR:-build-win}
jobs=${PONTEVA_TEST_JOBS:-2}
failed=()

step() {
  local name=$1 start=$SECONDS
  shift
  echo "==> $name"
  if "$@"; then
    echo "==> $name: passed in $((SECONDS - start)) s"
  else
    echo "==> $name: FAILED after $((SECONDS - start)) s"
    failed+=("$name")
  fi
}

linux_suite() {
  ctest --test-dir "$linux_build" --output-on-failure -j "$jobs" -LE wine
}

# Runs its arguments with WINEPREFIX, DISPLAY and the network set up for Windows
# programs, and takes it all down afterwards.
with_wine() {
  local prefix xvfb_pid="" status
  prefix=$(mktemp -d "${TMPDIR:-/tmp}/ponteva-wine-XXXXXX")
  export WINEPREFIX=$prefix WINEARCH=win64 WINEDEBUG=-all
  # No Mono or Gecko: nothing here needs them, and a fresh prefix would ask to install them.
  export WINEDLLOVERRIDES="mscoree,mshtml="
  if command -v Xvfb >/dev/null 2>&1; then
    local display=99
    while [ -e "/tmp/.X11-unix/X$display" ] || [ -e "/tmp/.X$display-lock" ]; do display=$((display + 1)); done
    Xvfb ":$display" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
    xvfb_pid=$!
    export DISPLAY=":$display"
  else
    unset DISPLAY
  fi
  # One wineserver for the whole suite: otherwise each test pays Wine's start-up.
  wineserver -p </dev/null >/dev/null 2>&1
  local start=$SECONDS
  wineboot -i </dev/null >/dev/null 2>&1
  echo "    Wine prefix ready in $((SECONDS - start)) s"
  # Without network: a namespace of its own when the system allows it.
  local isolate=()
  if unshare --net true 2>/dev/null; then
    isolate=(unshare --net)
  else
    echo "    (no network namespace available; running with the machine's network)"
  fi
  # Programs Wine starts for itself (services, devices) keep the streams they were given:
  # they get none, so that no pipe waits on them.
  "${isolate[@]}" "$@" </dev/null
  status=$?
  wineserver -k 2>/dev/null
  wineserver -w 2>/dev/null
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null && wait "$xvfb_pid" 2>/dev/null
  rm -rf "$prefix"
  return $status
}

windows_tests() {
  local status=0
  # Now and then a program fails to start under Wine, with no output at all: such a test
  # is run a second time. A test that fails in its own right fails twice.
  ctest --test-dir "$win_build" --output-on-failure -j "$jobs" --repeat until-pass:2 || status=1
  # One at a time: Wine keeps the user's regional settings in the prefix's registry, which a
  # program started under another LANG rewrites, so tests under two locales must not overlap.
  ctest --test-dir "$linux_build" --output-on-failure -L wine || status=1
  return $status
}
export -f windows_tests
export linux_build win_build jobs

windows_suite() {
  with_wine bash -c windows_tests
}

step "Linux suite ($linux_build)" linux_suite
step "Windows suite under Wine ($win_build)" windows_suite

if [ ${#failed[@]} -gt 0 ]; then
  printf 'Failed: %s\n' "${failed[@]}"
  exit 1
fi
echo "All suites passed."
