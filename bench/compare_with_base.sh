#!/bin/sh
# Start-up and idle figures of this build beside an older one, in one run.
#
#   bench/compare_with_base.sh BUILD_DIR [BASE_COMMIT]
#
# Builds the game of BASE_COMMIT (default 350537d, the last commit before the
# game's threads blocked on their work and its frames were paced) in a temporary
# worktree, then runs BUILD_DIR's idle_bench with that build as the "before" game:
# BM_StartToMainLoop times five starts of each in turns, BM_GameIdleAtFirstScreen
# measures both at their first screen. The worktree and its build are removed at
# the end. Extra arguments for idle_bench go in IDLE_BENCH_ARGS.
set -eu
build=$(cd "$1" && pwd)
base=${2:-350537d}
repo=$(git -C "$(dirname "$0")" rev-parse --show-toplevel)
work=$(mktemp -d "${TMPDIR:-/tmp}/velorin_base_XXXXXX")
cleanup() {
  git -C "$repo" worktree remove --force "$work/src" >/dev/null 2>&1 || true
  rm -rf "$work"
}
trap cleanup EXIT INT TERM
git -C "$repo" worktree add --detach "$work/src" "$base" >/dev/null
launcher=""
command -v ccache >/dev/null && launcher="-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache"
# shellcheck disable=SC2086
cmake -S "$work/src" -B "$work/build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELORIN_BENCH=OFF $launcher >/dev/null
nice -n 10 ninja -C "$work/build" -j"${JOBS:-6}" velorin >/dev/null
echo "load average before the run: $(cut -d' ' -f1-3 /proc/loadavg)"
# shellcheck disable=SC2086
VELORIN_IDLE_BENCH_BASE_RUN_DIR="$work/build/velorin" "$build/bench/idle_bench" ${IDLE_BENCH_ARGS:-}
echo "load average after the run: $(cut -d' ' -f1-3 /proc/loadavg)"
