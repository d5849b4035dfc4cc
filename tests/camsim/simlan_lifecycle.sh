#!/usr/bin/env bash
# simlan leaves nothing behind: after a normal run, a failing command, a failing camsim and a signal, no
# namespace of the run and none of its processes remain, and the exit status is passed on.
set -u
simlan="$1"
camsim="$2"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
failures=0

if [[ $EUID -ne 0 ]] && ! unshare --user --map-root-user --net true 2>/dev/null; then
    echo "SKIP: needs root or user namespaces"
    exit 77
fi

# A killed process may stay a zombie until its new parent reaps it; that counts as gone.
alive() {
    local state
    state="$(awk '{print $3}' "/proc/$1/stat" 2>/dev/null)"
    [[ -n "$state" && "$state" != Z ]]
}

check() {
    local what="$1" ok="$2"
    if [[ "$ok" == yes ]]; then
        echo "PASS: $what"
    else
        echo "FAIL: $what"
        failures=$((failures + 1))
    fi
}

# Reads "id camsim-pid command-pid" written by the command inside the run.
left_behind() {
    local id pid_camsim pid_cmd
    read -r id pid_camsim pid_cmd <"$work/ids" || return 0
    if [[ $EUID -eq 0 ]] && ip netns list | grep -q "simlan-$id-"; then
        echo "namespace simlan-$id still there"
        return 0
    fi
    if [[ $EUID -eq 0 ]] && ip link show "slt$id" >/dev/null 2>&1; then
        echo "veth slt$id still there"
        return 0
    fi
    # Allow a moment for the kernel to reap what was just killed.
    for _ in 1 2 3 4 5 6 7 8 9 10; do
        alive "$pid_camsim" || alive "$pid_cmd" || return 1
        sleep 0.1
    done
    echo "process still running"
    return 0
}

record='echo "$SIMLAN_ID $SIMLAN_CAMSIM_PID $$" >'"$work/ids"

run() { "$simlan" --cameras 2 --camsim "$camsim" --camsim-args "--no-rtsp" "$@"; }

rm -f "$work/ids"
run --log "$work/events.jsonl" -- sh -c "$record; cat /proc/\$SIMLAN_CAMSIM_PID/comm >$work/comm; exit 0"
status=$?
check "normal run exits 0" "$([[ $status -eq 0 ]] && echo yes)"
check "normal run leaves nothing" "$(left_behind || echo yes)"
check "SIMLAN_CAMSIM_PID is camsim itself" "$([[ "$(cat "$work/comm")" == camsim ]] && echo yes)"
check "camsim is stopped, not killed" "$(grep -q '"event":"stop"' "$work/events.jsonl" && echo yes)"

rm -f "$work/ids"
run -- sh -c "$record; exit 3"
status=$?
check "command status 3 is passed on" "$([[ $status -eq 3 ]] && echo yes)"
check "failing command leaves nothing" "$(left_behind || echo yes)"

rm -f "$work/ids" "$work/sleeper"
"$simlan" --cameras 2 --camsim "$camsim" --camsim-args "--no-rtsp" -- \
    sh -c "$record; sleep 60 & echo \$! >$work/sleeper; wait" &
simlan_pid=$!
for _ in $(seq 100); do
    [[ -s "$work/ids" && -s "$work/sleeper" ]] && break
    sleep 0.1
done
kill -TERM "$simlan_pid"
wait "$simlan_pid"
status=$?
check "SIGTERM ends the run with 143" "$([[ $status -eq 143 ]] && echo yes)"
check "SIGTERM leaves nothing" "$(left_behind || echo yes)"
sleep 0.3
check "SIGTERM ends the command's children" "$(alive "$(cat "$work/sleeper")" || echo yes)"

"$simlan" --cameras 1 --camsim "$camsim" --camsim-args "--no-such-option" -- true 2>"$work/stderr"
status=$?
id="$(sed -n 's/^simlan: run \([0-9a-f]*\) ended.*/\1/p' "$work/stderr")"
check "camsim that cannot start fails the run" "$([[ $status -ne 0 && -n "$id" ]] && echo yes)"
check "failed start leaves no namespace" "$(ip netns list 2>/dev/null | grep -q "simlan-$id-" || echo yes)"

"$simlan" --cameras 1 --camsim "$camsim" 2>/dev/null
check "missing command is refused" "$([[ $? -eq 2 ]] && echo yes)"

# A run killed outright cannot clean up; as root the next run removes what it left.
total=13
if [[ $EUID -eq 0 ]]; then
    total=14
    rm -f "$work/ids"
    "$simlan" --cameras 1 --camsim "$camsim" --camsim-args "--no-rtsp" -- sh -c "$record; sleep 60" &
    simlan_pid=$!
    for _ in $(seq 100); do
        [[ -s "$work/ids" ]] && break
        sleep 0.1
    done
    kill -KILL "$simlan_pid"
    wait "$simlan_pid" 2>/dev/null
    run -- true 2>/dev/null
    check "the next run removes a killed run's namespaces and processes" "$(left_behind || echo yes)"
fi

echo "$((total - failures)) passed, $failures failed"
[[ $failures -eq 0 ]]
