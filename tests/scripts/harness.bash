# Sourced first by the shell tests and the demo: the scratch folder, the register of the processes
# a script starts, the end that stops them and removes the folder, the wait every check polls
# with, and the failure that shows the logs.
#
# After sourcing:
#   work  a fresh scratch folder; a script that sets harness_work before sourcing works in that
#         folder instead, and one that sets harness_keep keeps it at the end
#   pids  the processes to stop at the end, the last started first; a script adds its own
#   logs  the files a failure shows, as paths below $work (patterns allowed)
# A script may define on_cleanup (run first at the end) and on_failure (more for a failure to
# show). Only processes in `pids` are ever signalled, by their ids.

set -Eeuo pipefail
work=${harness_work:-$(mktemp -d)}
pids=()
logs=()

stop_pids() {
    local i
    for ((i = ${#pids[@]} - 1; i >= 0; i--)); do
        kill -TERM "${pids[i]}" 2>/dev/null || true
    done
    for ((i = ${#pids[@]} - 1; i >= 0; i--)); do
        wait "${pids[i]}" 2>/dev/null || true
    done
    pids=()
}

harness_end() {
    # A pipe a script feeds a process through, closed first: the process may wait on it.
    exec 3>&- 2>/dev/null || true
    if declare -F on_cleanup >/dev/null; then
        on_cleanup || true
    fi
    stop_pids
    [ -n "${harness_keep:-}" ] || rm -rf "$work"
}
trap harness_end EXIT
# A command that fails outside any check ends the script: say which, or the end looks like none.
# (Inside a command substitution a failure ends nothing; the shell that uses it tells.)
trap 'harness_status=$?; [ "$BASH_SUBSHELL" -gt 0 ] ||
    echo "FAIL: status $harness_status at line $LINENO of ${BASH_SOURCE[0]##*/}: $BASH_COMMAND" >&2' ERR

# wait_for SECONDS COMMAND...: true as soon as COMMAND succeeds, false when at least SECONDS
# have passed without.
wait_for() {
    local deadline=$((SECONDS + $1 + 1))
    shift
    until "$@" >/dev/null 2>&1; do
        [ "$SECONDS" -lt "$deadline" ] || return 1
        sleep 0.1
    done
}

# ends_well PID SECONDS WHAT: waits up to SECONDS for the child PID to end by itself; fails
# unless it ends with status 0.
ends_well() {
    local status=0 deadline=$((SECONDS + $2))
    while kill -0 "$1" 2>/dev/null && [ "$SECONDS" -lt "$deadline" ]; do sleep 0.05; done
    kill -0 "$1" 2>/dev/null && fail "$3 did not end within $2 s"
    wait "$1" || status=$?
    [ "$status" -eq 0 ] || fail "$3 ended with status $status"
}

fail() {
    local pattern file
    echo "FAIL: $*"
    for pattern in "${logs[@]}"; do
        while IFS= read -r file; do
            echo "--- ${file#"$work"/}"
            tail -n 100 "$file"
        done < <(compgen -G "$work/$pattern" || true)
    done
    if declare -F on_failure >/dev/null; then
        on_failure || true
    fi
    exit 1
}
