# Sourced by the suites that need Debian packages beyond the README's list.
# apt_install NAME PACKAGE...: installs the packages with apt-get (as root, or through sudo
# without a password), nothing when none is given; on failure shows the end of the log
# (tervane-NAME-apt.log in TMPDIR) and returns 1.
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
