# Sourced by the run and test scripts: installs the Debian packages Tandrel
# needs when any is missing, with one apt-get update at most.
tandrel_packages=(cmake ninja-build g++ googletest libgtest-dev libbenchmark-dev
    libwxgtk3.2-dev freeglut3-dev libglu1-mesa-dev libpng-dev xvfb xauth imagemagick clang
    python3 libcairo2-dev)

tandrel_install_missing() {
    local missing=()
    for p in "${tandrel_packages[@]}"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" ||
            missing+=("$p")
    done
    if [ ${#missing[@]} -gt 0 ]; then
        echo "Installing: ${missing[*]}"
        apt-get update
        DEBIAN_FRONTEND=noninteractive apt-get install -y "${missing[@]}"
    fi
}

# Build trees live outside the checkout, one per checkout path.
tandrel_build_root() {
    local src
    src=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
    echo "${TANDREL_BUILD_ROOT:-/tmp/tandrel-build-$(echo "$src" | md5sum | cut -c1-8)}"
}
