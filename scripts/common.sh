# Shared by scripts/run and scripts/test: the Debian packages reloj needs and the build.
# Sourced, not run.

RELOJ_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
RELOJ_BUILD="$RELOJ_ROOT/build"

# To build: compiler, CMake, Qt 6. To test: GoogleTest, Xvfb and the X tools, libfaketime,
# PulseAudio with its client tools, sox. Fonts so that message boxes have letters.
RELOJ_PACKAGES=(
    g++ cmake ninja-build pkg-config
    qt6-base-dev libpulse-dev libxcb1-dev libxcb-damage0-dev libxcb-xfixes0-dev
    libgtest-dev
    libx11-dev libxext-dev libxtst-dev
    xvfb x11-utils x11-xserver-utils xdotool
    faketime pulseaudio pulseaudio-utils sox
    strace  # the hostile command-line sweep checks what the program opens
    tzdata  # the zones a test moves the clock between
    dbus-daemon at-spi2-core  # a private accessibility bus: the calculator tests read its labels
    libglib2.0-dev  # the autostart test reads the entry as a desktop launcher does
    libglib2.0-bin systemd  # and starts it with gio launch and through systemd's generator
    dpkg-dev file desktop-file-utils groff-base man-db  # the .deb (cpack, dpkg-shlibdeps) and its checks
    lintian appstream  # Debian's checks of the package and of its software-centre metadata
    clang libclang-rt-14-dev  # libFuzzer and the sanitizers, for the fuzz build
    fonts-dejavu-core
    x11-apps  # oclock and xclock, the clocks bench/run measures reloj against
)

# Only for the tests: the Wayland desktops the clock is checked on through XWayland, each
# headless, with what takes their screenshots (grim for sway), a compositing manager for an
# X11 desktop that composites, and the X11 window managers, each started in a session bus of
# its own (dbus-run-session).
RELOJ_DESKTOP_TEST_PACKAGES=(
    sway xwayland grim kwin-wayland gnome-shell xcompmgr
    openbox xfwm4 i3-wm fluxbox icewm kwin-x11 mutter dbus-daemon
)

# Runs a command as root: with sudo when not root already.
reloj_as_root() {
    if [ "$(id -u)" -ne 0 ]; then
        sudo "$@"
    else
        "$@"
    fi
}

# Installs whatever of the list, and of the packages given, is missing, with sudo when not root.
reloj_install_packages() {
    local missing=()
    local package
    for package in "${RELOJ_PACKAGES[@]}" "$@"; do
        if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
            missing+=("$package")
        fi
    done
    if [ ${#missing[@]} -eq 0 ]; then
        return 0
    fi
    echo "Instalando: ${missing[*]}"
    reloj_as_root env DEBIAN_FRONTEND=noninteractive apt-get update -q
    reloj_as_root env DEBIAN_FRONTEND=noninteractive \
        apt-get install -y -q --no-install-recommends "${missing[@]}"
}

# Configures the build tree as the preset RELOJ_PRESET of CMakePresets.json says (dev unless set:
# the tests, warnings as errors) and builds the given targets, or everything. Our own tree,
# build/, is configured every time, which costs under a second when nothing changed: the
# README's install commands (the release preset) make a Release tree without tests in the same
# place, and a tree made before a change of the presets must take it up. Another tree
# (bench/run --build) is configured only when it is new.
RELOJ_PRESET=${RELOJ_PRESET:-dev}
reloj_build() {
    if [ "$RELOJ_BUILD" = "$RELOJ_ROOT/build" ] || [ ! -f "$RELOJ_BUILD/CMakeCache.txt" ]; then
        cmake -S "$RELOJ_ROOT" --preset "$RELOJ_PRESET" -B "$RELOJ_BUILD" >/dev/null
    fi
    if [ $# -eq 0 ]; then
        cmake --build "$RELOJ_BUILD"
    else
        cmake --build "$RELOJ_BUILD" --target "$@"
    fi
}
