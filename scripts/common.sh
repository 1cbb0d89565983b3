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
  dpkg-dev file desktop-file-utils python3-vobject
  dbus-daemon
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

# qm_build <dir> [cmake args...]: configure, then build incrementally;
# everything, or only the targets listed in QM_BUILD_TARGETS.
qm_build() {
  local dir=$1; shift
  # Configuring every time is quick and picks up folders added since.
  qm_say "Configuring $dir"
  cmake -S "$QM_ROOT" -B "$QM_ROOT/$dir" -G Ninja "$@" >/dev/null
  local targets=()
  # shellcheck disable=SC2206 # a list of target names
  [ -n "${QM_BUILD_TARGETS:-}" ] && targets=(--target ${QM_BUILD_TARGETS})
  qm_say "Building $dir${QM_BUILD_TARGETS:+ ($QM_BUILD_TARGETS)}"
  cmake --build "$QM_ROOT/$dir" -j "$QM_JOBS" "${targets[@]}"
}

# qm_check_package <dir>: builds the Debian package of the built tree <dir>,
# unpacks it into a scratch root, runs the installed quillmark-card
# --version and checks that the package holds what an installation needs.
qm_check_package() {
  local dir=$QM_ROOT/$1
  local version
  version=$(sed -n 's/^set(CPACK_PACKAGE_VERSION "\(.*\)")$/\1/p' "$dir/CPackConfig.cmake")
  rm -f "$dir"/quillmark_*.deb
  (cd "$dir" && cpack -G DEB >/dev/null)
  local deb
  deb=$(ls "$dir"/quillmark_"$version"_*.deb)
  local root=$dir/package-root
  rm -rf "$root"
  dpkg -x "$deb" "$root"
  local said
  said=$("$root/usr/bin/quillmark-card" --version)
  [ "$said" = "quillmark-card $version" ] || { echo "installed quillmark-card --version said: $said"; return 1; }
  local listing missing=()
  listing=$(dpkg -c "$deb")
  local f
  for f in usr/bin/quillmark usr/bin/quillmark-card usr/bin/quillmark-host usr/bin/quillmark-ipc \
           usr/share/applications/quillmark.desktop \
           usr/share/icons/hicolor/48x48/apps/quillmark.png usr/share/icons/hicolor/256x256/apps/quillmark.png \
           usr/share/man/man1/quillmark-card.1.gz usr/share/man/man1/quillmark-host.1.gz \
           usr/share/doc/quillmark/host-integration.md; do
    grep -q " \./$f\$" <<<"$listing" || missing+=("$f")
  done
  if [ ${#missing[@]} -gt 0 ]; then
    echo "missing from $deb: ${missing[*]}"
    return 1
  fi
  desktop-file-validate "$root/usr/share/applications/quillmark.desktop"
  local depends
  depends=$(dpkg-deb -f "$deb" Depends)
  grep -q 'libqt6widgets6' <<<"$depends" || { echo "computed dependencies lack Qt: $depends"; return 1; }
  echo "package: $(basename "$deb") ($(wc -l <<<"$listing") entries), installed quillmark-card says \"$said\""
}
