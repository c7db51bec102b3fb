#!/usr/bin/env bash
# The engine inside a real chess GUI: xboard plays a two-game match of Tervane against
# Tervane through polyglot (its UCI adapter) on a virtual display, as a user would set it
# up. Checks the saved games (both finished by the rules of chess), xboard's debug log (the
# engines' moves, no error) and that no engine or adapter process outlives xboard.
# Run from anywhere after the build (build/tervane); installs xvfb, xboard and polyglot
# when missing.
set -euo pipefail
cd "$(dirname "$0")/../.."
root="$PWD"
# shellcheck source=tests/apt_install.sh
source tests/apt_install.sh

out=build/gui-test
engine="$root/build/tervane"
# Both games start from king, queen and rook against king, so that they end on the board
# by mate (or by a draw rule) within seconds, never by a limit of xboard's own.
start_fen='8/8/8/4k3/8/8/8/R2QK3 w - - 0 1'
# Two seconds on the clock and one more per move ("-inc 0" would be sudden death). Whole
# seconds: polyglot passes a fractional increment on to the engine as none at all.
time_control=(-tc 0:02 -inc 1)
started=$(date +%s)

# xboard and polyglot live in /usr/games, which root's PATH does not hold: xboard would
# not find polyglot.
export PATH="$PATH:/usr/games"

install_missing() {
    local packages=()
    command -v xvfb-run >/dev/null || packages+=(xvfb)
    command -v xauth >/dev/null || packages+=(xauth)
    command -v xboard >/dev/null || packages+=(xboard)
    command -v polyglot >/dev/null || packages+=(polyglot)
    apt_install gui "${packages[@]}"
}

install_missing || skip "GUI tests" "xvfb, xboard or polyglot could not be installed"
[ -x "$engine" ] || { echo "build/tervane is missing: build the engine first"; exit 1; }

rm -rf "$out"
mkdir -p "$out/home"
out="$root/$out"
echo "$start_fen" >"$out/start.fen"
# xboard starts the engine through this script, which notes the engine's process id and
# its parent's (polyglot's) before it becomes the engine.
cat >"$out/engine.sh" <<EOF
#!/bin/sh
echo "\$\$ \$PPID" >>"$out/pids"
exec "$engine" "\$@"
EOF
chmod +x "$out/engine.sh"

fail() {
    echo "FAILED $1"
    echo "-- saved games ($out/games.pgn), debug log ($out/debug.log), xboard's output ($out/xboard.log)"
    exit 1
}

# A private HOME: no user settings of xboard's (~/.xboardrc) change the match, and none
# are written. The sound program is emptied: there is no sound card to play on.
echo "Playing two games in xboard"
status=0
HOME="$out/home" timeout 55 xvfb-run -a xboard \
    -fcp "$out/engine.sh" -fd "$out" -fUCI \
    -scp "$out/engine.sh" -sd "$out" -sUCI \
    -mg 2 "${time_control[@]}" -lpf "$out/start.fen" \
    -saveGameFile "$out/games.pgn" -debug -nameOfDebugFile "$out/debug.log" \
    -saveSettingsOnExit false -popupExitMessage false -popupMoveErrors false \
    -adjudicateDrawMoves 0 -adjudicateLossThreshold 0 -soundProgram "" \
    >"$out/xboard.log" 2>&1 || status=$?

# Every engine and adapter process has ended, or ends within seconds of xboard (also when
# xboard failed: none is left behind).
[ -s "$out/pids" ] || fail "no engine was started (xboard ended with status $status)"
read -r -a pids <<<"$(tr '\n' ' ' <"$out/pids")"
for _ in $(seq 50); do
    alive=()
    for pid in "${pids[@]}"; do kill -0 "$pid" 2>/dev/null && alive+=("$pid"); done
    [ ${#alive[@]} -eq 0 ] && break
    sleep 0.1
done
if [ ${#alive[@]} -gt 0 ]; then
    ps -o pid,args -p "${alive[*]}" || true
    kill "${alive[@]}" 2>/dev/null || true
    fail "processes still running 5 s after xboard closed: ${alive[*]}"
fi
[ "$status" -eq 0 ] || fail "xboard ended with status $status"

# Two games, each with a result, the same in its tag and at the end of its moves, reached
# on the board: mate, stalemate or a draw rule, not a flag, an illegal move or a lost
# engine.
pgn="$out/games.pgn"
[ -s "$pgn" ] || fail "no games were saved"
results=$(grep -c '^\[Result "\(1-0\|0-1\|1/2-1/2\)"\]' "$pgn" || true)
[ "$results" -eq 2 ] || fail "$results finished games saved instead of 2"
# Lines are wrapped anywhere, also inside a comment: the text is read as one line.
endings=$(tr -s '\n ' '  ' <"$pgn" | grep -o '{[^{}]*} \(1-0\|0-1\|1/2-1/2\)\( \|$\)' | sed 's/ $//' || true)
[ "$(grep -c . <<<"$endings")" -eq 2 ] || fail "the games do not end with a reason and a result"
while read -r ending; do
    case "${ending,,}" in
    *time* | *forfeit* | *illegal* | *disconnect* | *exit* | *crash* | *abort* | *resign*)
        fail "a game ended by $ending" ;;
    *checkmate* | *mates* | *stalemate* | *50-move* | *fifty* | *repetition* | *insufficient*) ;;
    *) fail "a game ended by $ending, not by the rules of chess" ;;
    esac
done <<<"$endings"
tags=$(grep -o '^\[Result "[^"]*"\]' "$pgn" | sed 's/.*"\(.*\)".*/\1/' | tr '\n' ' ')
ends=$(awk '{print $NF}' <<<"$endings" | tr '\n' ' ')
[ "$tags" = "$ends" ] || fail "result tags ($tags) differ from the results after the moves ($ends)"

# The debug log holds both engines' moves in coordinate notation, as polyglot passes
# them on, and nothing that went wrong.
log="$out/debug.log"
for engine_name in first second; do
    moves=$(grep -c "^[0-9]* <$engine_name *: move [a-h][1-8][a-h][1-8][qrbn]\?\$" "$log" || true)
    [ "$moves" -gt 0 ] || fail "no move of the $engine_name engine in the debug log"
done
if grep -n -i -E 'error|illegal|forfeit|exited|disconnect|crash|abort' "$log"; then
    fail "the debug log shows an error"
fi

echo "GUI tests passed: $(tr '\n' ' ' <<<"$endings")in $(($(date +%s) - started)) s"
