# shellcheck shell=bash
# Sourced by the suites. apt_install NAME PACKAGE... installs the Debian packages given (none
# is fine) as root, through sudo when not root; NAME names the log in $TMPDIR. Returns 1,
# after the log's last lines, when they could not be installed.
apt_install() {
    local name=$1
    shift
    [ $# -eq 0 ] && return 0
    local sudo=()
    if [ "$(id -u)" != 0 ]; then
        command -v sudo >/dev/null || return 1
        sudo=(sudo -n)
    fi
    echo "Installing $*"
    local log="${TMPDIR:-/tmp}/tervane-$name-apt.log"
    if ! "${sudo[@]}" apt-get update -qq >"$log" 2>&1 ||
        ! "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq \
            --no-install-recommends "$@" >>"$log" 2>&1; then
        tail -n 5 "$log"
        return 1
    fi
}

# skip WHAT REASON: ends the suite as passed, saying why it did not run.
skip() {
    echo "$1 skipped: $2"
    exit 0
}
