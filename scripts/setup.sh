# Sourced by the scripts: installs the Debian packages of the given groups
# (see packages.txt) that are missing. As root it runs apt-get; otherwise it
# prints the one command that would and fails.
orvano_require_packages() {
    local root list missing=()
    root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
    list="$root/scripts/packages.txt"
    local group pkg
    while read -r group pkg; do
        [[ -z "$group" || "$group" == \#* ]] && continue
        local wanted=0 g
        for g in "$@"; do [[ "$g" == "$group" ]] && wanted=1; done
        ((wanted)) || continue
        if ! dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed'; then
            missing+=("$pkg")
        fi
    done <"$list"
    ((${#missing[@]} == 0)) && return 0
    if [[ $(id -u) -ne 0 ]]; then
        echo "Orvano needs these Debian packages; install them with:" >&2
        echo "  sudo apt-get install ${missing[*]}" >&2
        return 1
    fi
    echo "Installing: ${missing[*]}"
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq && apt-get install -y -qq --no-install-recommends "${missing[@]}"
}
