# Installs the Debian packages the build needs, when any is missing. Sourced by the
# set-up scripts; uses sudo only when not already root.
moraine_packages=(build-essential cmake ninja-build pkg-config clang libclang-rt-14-dev
                  libsndfile1-dev libsmf-dev libfftw3-dev libgtest-dev libgmock-dev
                  libbenchmark-dev)
# The panel: cairo with FreeType for drawing, libpng for the images, the embedded fonts.
moraine_packages+=(libcairo2-dev libfreetype-dev libpng-dev fonts-dejavu-core)
# The editor's window, and the tools that test it under a virtual X server.
moraine_packages+=(libx11-dev xvfb xauth xdotool imagemagick)

moraine_install_deps() {
    local missing=()
    for p in "${moraine_packages[@]}"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" ||
            missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "Installing: ${missing[*]}"
    local sudo=""
    [ "$(id -u)" -ne 0 ] && sudo="sudo"
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}" >/dev/null
}
