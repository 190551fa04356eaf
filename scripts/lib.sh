# What the commands in this folder share, sourced by each of them from the
# repository's root: the Debian packages, the build and the X server.

# What the build links (Qt 5 Core, Gui, Widgets, SerialPort and Test from
# qtbase5-dev and libqt5serialport5-dev; zlib) and what the tests and the
# demo run on: Xvfb through xvfb-run, which needs xauth, with Mesa's
# software OpenGL.
ZEL_PACKAGES="build-essential cmake qtbase5-dev libqt5serialport5-dev zlib1g-dev \
  xvfb xauth libgl1-mesa-dri libglx-mesa0"

# need_packages PACKAGE...: installs those of the Debian packages that are
# missing; needs root (or sudo) only when something is.
need_packages() {
    missing=""
    for package in "$@"; do
        if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null |
            grep -q "install ok installed"; then
            missing="$missing $package"
        fi
    done
    if [ -z "$missing" ]; then
        return 0
    fi
    echo "installing:$missing"
    sudo=""
    if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
    $sudo env DEBIAN_FRONTEND=noninteractive apt-get update -q
    $sudo env DEBIAN_FRONTEND=noninteractive \
        apt-get install -y -q --no-install-recommends $missing
}

# need_build_packages [PACKAGE...]: those and the packages above, with one
# look at the archive.
need_build_packages() {
    need_packages $ZEL_PACKAGES "$@"
}

# configure_and_build SOURCE BUILD_DIR "TARGETS" [CMAKE_OPTION...]:
# configures the tree at SOURCE into BUILD_DIR with the options given and
# builds TARGETS, or everything when TARGETS is empty, on every core.
configure_and_build() {
    build_source=$1
    build_dir=$2
    build_targets=$3
    shift 3
    cmake -S "$build_source" -B "$build_dir" "$@" >/dev/null
    cmake --build "$build_dir" -j"$(nproc)" ${build_targets:+--target $build_targets}
}

# under_xvfb COMMAND...: runs the command under an X server of its own,
# with a screen large enough for every window and Mesa's software OpenGL
# (the offscreen platform has no OpenGL).
under_xvfb() {
    xvfb-run -a -s "-screen 0 1920x1080x24" "$@"
}
