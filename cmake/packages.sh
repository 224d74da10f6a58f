# Debian packages the build, the program and the tests need. Sourced by run.sh and test.sh.
VORN_PACKAGES="cmake g++ make pkg-config qt6-base-dev qt6-base-dev-tools qt6-svg-dev libqt6opengl6-dev
 libqcustomplot-dev libqcustomplot2.1-qt6 libfftw3-dev libarmadillo-dev libgl1-mesa-dev
 xvfb xauth libgl1-mesa-dri x11-utils imagemagick"

vorn_install_packages() {
    local missing=""
    for p in $VORN_PACKAGES; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing="$missing $p"
    done
    [ -z "$missing" ] && return 0
    echo "Installing:$missing"
    local sudo=""
    [ "$(id -u)" -ne 0 ] && sudo="sudo"
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq $missing
}
