# Sourced by the other scripts: makes sure the Debian packages the build needs are installed.
# As root it installs what is missing through apt-get, showing a line for every package fetched
# and set up; otherwise it prints the one command to run as root and stops.

SORVANE_PACKAGES="g++ cmake ninja-build pkg-config qt6-base-dev libgl-dev libsqlite3-dev \
libpcre2-dev libcurl4-openssl-dev libssl-dev libgtest-dev libcpp-httplib-dev \
libqscintilla2-qt6-dev nlohmann-json3-dev openssl fonts-dejavu-core curl"

sorvane_missing_packages() {
  local missing="" p
  for p in $SORVANE_PACKAGES "$@"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
      missing="$missing $p"
    fi
  done
  echo "$missing"
}

sorvane_ensure_packages() {
  local missing
  missing=$(sorvane_missing_packages "$@")
  [ -z "$missing" ] && return 0
  if [ "$(id -u)" -ne 0 ]; then
    # su comes with every Debian system; sudo only where it was chosen.
    echo "Missing Debian packages. Install them as root (su asks for root's password):" >&2
    echo "  su -c 'apt-get update && apt-get install -y$missing'" >&2
    if command -v sudo >/dev/null; then
      echo "or, with sudo:" >&2
      echo "  sudo sh -c 'apt-get update && apt-get install -y$missing'" >&2
    fi
    exit 1
  fi
  echo "Installing:$missing" >&2
  export DEBIAN_FRONTEND=noninteractive
  echo "Updating the package lists..." >&2
  apt-get update -qq || exit 1
  # apt's own lines, one as each package is fetched and one as it is set up; its errors and
  # questions go to standard error unfiltered.
  # shellcheck disable=SC2086
  (
    set -o pipefail
    apt-get install -y -q $missing | awk '/^(Get:|Setting up )/ { print; fflush() }' >&2
  ) || exit 1
  echo "Installed the Debian packages the build needs." >&2
}
