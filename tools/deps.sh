# Installs the Debian packages the build and the tests need, when missing.
# Sourced by ./run and ./test.
QV_PACKAGES=(cmake ninja-build g++ pkg-config qt6-base-dev libgl-dev libcups2-dev libgtest-dev libbenchmark-dev
    qt6-translations-l10n fonts-ipafont-gothic poppler-utils xvfb xauth clang libclang-rt-14-dev
    desktop-file-utils appstream dpkg-dev file shared-mime-info libxml2-utils)

qv_install_missing() {
    local missing=()
    for p in "${QV_PACKAGES[@]}"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' ||
            missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "Installing: ${missing[*]}"
    local sudo=()
    [ "$(id -u)" -ne 0 ] && sudo=(sudo)
    "${sudo[@]}" apt-get update -qq
    DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq "${missing[@]}"
}

# qv_build DIR [CMAKE OPTIONS...]: configures DIR once, then builds it.
qv_build() {
    local dir=${1:-build}
    shift || true
    if [ ! -f "$dir/build.ninja" ]; then
        cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
    fi
    cmake --build "$dir" -- -j"$(nproc)"
}
