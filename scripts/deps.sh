# Sourced by the other scripts: makes sure the Debian packages the build needs are installed.
# As root it installs what is missing through apt-get; otherwise it prints the one apt-get line
# to run and stops.

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
    echo "Missing Debian packages. Install them with:" >&2
    echo "  sudo apt-get install -y$missing" >&2
    exit 1
  fi
  echo "Installing:$missing" >&2
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq || exit 1
  # shellcheck disable=SC2086
  apt-get install -y -qq $missing >/dev/null || exit 1
}
