# Shared by the scripts: sourced, not run.

as_root() { if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi; }

# Installs the Debian packages given that are not installed yet, saying so
# first in one line. Options for apt-get (such as --no-install-recommends)
# may come first.
need() {
    local opts=() missing=() p
    while [ $# -gt 0 ] && [ "${1#-}" != "$1" ]; do opts+=("$1"); shift; done
    for p in "$@"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "ok installed" || missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "will install with apt-get$([ "$(id -u)" -eq 0 ] || echo ' (through sudo)'): ${missing[*]}"
    as_root apt-get update -qq &&
        as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${opts[@]}" "${missing[@]}" >/dev/null
}
