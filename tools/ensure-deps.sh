# Sourced by ./test, ./run, ./bench and ./fuzz: installs the Debian packages a command needs.
# Non-interactive as root; otherwise prints the exact install line and stops.
kyr_missing_packages() {
    local missing=() pkg
    for pkg in "$@"; do
        if ! dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed'; then
            missing+=("$pkg")
        fi
    done
    # With nothing missing, print nothing: an empty line would read as one nameless package.
    [ ${#missing[@]} -eq 0 ] || printf '%s\n' "${missing[@]}"
}

kyr_ensure_packages() {
    local missing
    mapfile -t missing < <(kyr_missing_packages "$@")
    [ ${#missing[@]} -eq 0 ] && return 0
    if [ "$(id -u)" -ne 0 ]; then
        echo "Missing packages. Install them with:" >&2
        echo "  sudo apt-get install -y --no-install-recommends ${missing[*]}" >&2
        exit 1
    fi
    echo "Installing: ${missing[*]}"
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -q >/dev/null
    apt-get install -y -q --no-install-recommends "${missing[@]}" >/dev/null
}

KYR_BUILD_PACKAGES=(build-essential cmake ninja-build qt6-base-dev libxkbcommon-dev
    libjpeg62-turbo-dev libgtest-dev libbenchmark-dev fonts-liberation2 libgif-dev)
KYR_TEST_PACKAGES=(libjpeg-turbo-progs imagemagick xvfb xauth desktop-file-utils appstream
    groff-base)
KYR_PACKAGE_PACKAGES=(dpkg-dev file desktop-file-utils appstream lintian)
KYR_FUZZ_PACKAGES=(clang libclang-rt-14-dev)
