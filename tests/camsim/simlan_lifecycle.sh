#!/usr/bin/env bash
# simlan leaves nothing behind: after a normal run, a failing command, a signal and a camsim that cannot start,
# no namespace and no process of the run remain, and the exit status is passed on.
set -u
simlan="$1" camsim="$2" work="$(mktemp -d)" failures=0 checks=0
trap 'rm -rf "$work"' EXIT

if [[ $EUID -ne 0 ]] && ! unshare --user --map-root-user --net true 2>/dev/null; then
    echo "SKIP: needs root or user namespaces"
    exit 77
fi

check() {
    checks=$((checks + 1))
    if [[ "$2" == yes ]]; then echo "PASS: $1"; else echo "FAIL: $1"; failures=$((failures + 1)); fi
}

# A killed process may stay a zombie until its new parent reaps it; that counts as gone.
alive() { [[ "$(awk '{print $3}' "/proc/$1/stat" 2>/dev/null)" =~ ^[^Z]$ ]]; }

# "yes" when the run whose "id camsim-pid command-pid" the command wrote left nothing behind.
gone() {
    local id pid_camsim pid_cmd
    read -r id pid_camsim pid_cmd <"$work/ids" || { echo no; return; }
    if [[ $EUID -eq 0 ]] && ip netns list | grep -q "simlan-$id-"; then echo no; return; fi
    for _ in $(seq 10); do
        alive "$pid_camsim" || alive "$pid_cmd" || { echo yes; return; }
        sleep 0.1
    done
    echo no
}

record='echo "$SIMLAN_ID $SIMLAN_CAMSIM_PID $$" >'"$work/ids"
run() { rm -f "$work/ids"; "$simlan" --cameras 2 --camsim "$camsim" --camsim-args "--no-rtsp" "$@"; }

run --log "$work/events.jsonl" -- sh -c "$record; exit 0"
check "normal run exits 0" "$([[ $? -eq 0 ]] && echo yes)"
check "normal run leaves nothing" "$(gone)"
check "camsim is stopped, not killed" "$(grep -q '"event":"stop"' "$work/events.jsonl" && echo yes)"

run -- sh -c "$record; exit 3"
check "command status 3 is passed on" "$([[ $? -eq 3 ]] && echo yes)"
check "failing command leaves nothing" "$(gone)"

rm -f "$work/ids"
"$simlan" --cameras 2 --camsim "$camsim" --camsim-args "--no-rtsp" -- sh -c "$record; sleep 60" &
for _ in $(seq 100); do [[ -s "$work/ids" ]] && break; sleep 0.1; done
kill -TERM $!
wait $!
check "SIGTERM ends the run with 143" "$([[ $? -eq 143 ]] && echo yes)"
check "SIGTERM leaves nothing" "$(gone)"

"$simlan" --cameras 1 --camsim "$camsim" --camsim-args "--no-such-option" -- true 2>"$work/stderr"
status=$?
id="$(sed -n 's/^simlan: run \([0-9a-f]*\) ended.*/\1/p' "$work/stderr")"
check "camsim that cannot start fails the run, no namespace left" \
    "$([[ $status -ne 0 && -n "$id" ]] && ! ip netns list 2>/dev/null | grep -q "simlan-$id-" && echo yes)"

echo "$((checks - failures)) passed, $failures failed"
[[ $failures -eq 0 ]]
