# Shared by ./check and ./demo: installs what is missing, configures, builds.
# Source it; it defines functions only.

QM_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
QM_JOBS=${QM_JOBS:-$(nproc)}

QM_PACKAGES=(
  build-essential cmake ninja-build pkg-config
  qt6-base-dev qt6-qpa-plugins libgl-dev fonts-dejavu-core
  libpng-dev zlib1g-dev
  libgtest-dev libgmock-dev libbenchmark-dev libzxing-dev
  clang-14 libclang-rt-14-dev
  xvfb xauth
  locales
)

qm_say() { printf '\033[1m==> %s\033[0m\n' "$*" >&2; }

qm_install_packages() {
  local missing=()
  local p
  for p in "${QM_PACKAGES[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  qm_say "Installing Debian packages: ${missing[*]}"
  local sudo=()
  [ "$(id -u)" -eq 0 ] || sudo=(sudo)
  export DEBIAN_FRONTEND=noninteractive
  "${sudo[@]}" apt-get update -qq
  "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

# A German locale, so that the tests can show that numbers are read and
# written the same whatever the process locale is.
qm_install_test_locale() {
  locale -a 2>/dev/null | grep -qi '^de_DE\.utf-\?8$' && return 0
  local sudo=()
  [ "$(id -u)" -eq 0 ] || sudo=(sudo)
  qm_say "Generating the de_DE.UTF-8 locale for the tests"
  "${sudo[@]}" sed -i 's/^# *\(de_DE\.UTF-8 UTF-8\)/\1/' /etc/locale.gen
  grep -q '^de_DE.UTF-8 UTF-8' /etc/locale.gen || echo 'de_DE.UTF-8 UTF-8' | "${sudo[@]}" tee -a /etc/locale.gen >/dev/null
  "${sudo[@]}" locale-gen >/dev/null
}

# qm_build <dir> [cmake args...]: configure, then build incrementally.
qm_build() {
  local dir=$1; shift
  # Configuring every time is quick and picks up folders added since.
  qm_say "Configuring $dir"
  cmake -S "$QM_ROOT" -B "$QM_ROOT/$dir" -G Ninja "$@" >/dev/null
  qm_say "Building $dir"
  cmake --build "$QM_ROOT/$dir" -j "$QM_JOBS"
}
