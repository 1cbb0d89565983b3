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
  python3-gi gir1.2-gtk-3.0 xdotool
  at-spi2-core python3-pyatspi gir1.2-atspi-2.0
  weston qt6-wayland
  lintian
)

# The Windows tree: MinGW-w64 cross compiler, zlib for MinGW, Wine to run the
# test programs, dpkg-dev for `apt-get source` (libpng), GoogleTest's sources,
# wixl to write the MSI and msitools to read its tables back (the MSI test),
# osslsigncode and openssl to sign, the PKCS#11 engine to sign with a key on
# a token, SoftHSM as such a token (to test signing).
QM_WIN64_PACKAGES=(
  g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix libz-mingw-w64-dev
  wine wine64 dpkg-dev googletest
  wixl msitools osslsigncode openssl libengine-pkcs11-openssl softhsm2
)
QM_PACKAGES+=("${QM_WIN64_PACKAGES[@]}")

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
# --version, checks that the package holds what an installation needs and
# that lintian finds no error in it (its warnings are shown).
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
           usr/share/icons/hicolor/16x16/apps/quillmark.png usr/share/icons/hicolor/22x22/apps/quillmark.png \
           usr/share/icons/hicolor/24x24/apps/quillmark.png usr/share/icons/hicolor/scalable/apps/quillmark.svg \
           usr/share/icons/hicolor/48x48/apps/quillmark.png usr/share/icons/hicolor/256x256/apps/quillmark.png \
           usr/share/man/man1/quillmark.1.gz usr/share/man/man1/quillmark-card.1.gz \
           usr/share/man/man1/quillmark-host.1.gz usr/share/man/man1/quillmark-ipc.1.gz \
           usr/share/doc/quillmark/host-integration.md \
           usr/share/doc/quillmark/copyright usr/share/doc/quillmark/changelog.gz; do
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
  # Errors fail; warnings would be listed without failing.
  lintian --fail-on error --tag-display-limit 0 "$deb" || { echo "lintian found errors in $deb"; return 1; }
  echo "package: $(basename "$deb") ($(wc -l <<<"$listing") entries), installed quillmark-card says \"$said\""
}

# qm_run_shuffled <dir>: runs each program listed in <dir>/shuffled-tests.txt
# whole, in its own folder, with its cases in an order drawn from one seed
# (printed, so that a failing order can be repeated), two at a time; a
# program's output is shown when it fails.
qm_run_shuffled() {
  local dir=$QM_ROOT/$1
  local seed=$(( (RANDOM << 8 | RANDOM) % 99999 + 1 ))
  echo "GTEST_SHUFFLE=1 GTEST_RANDOM_SEED=$seed"
  local failed=0 program
  export GTEST_SHUFFLE=1 GTEST_RANDOM_SEED=$seed
  # shellcheck disable=SC2016 # expanded by the inner shell
  xargs -a "$dir/shuffled-tests.txt" -P "$QM_JOBS" -I{} sh -c '
    log=$(mktemp)
    if (cd "$(dirname "$1")" && timeout 900 "$1") >"$log" 2>&1; then
      echo "shuffled: $(basename "$1") passed"; rm -f "$log"
    else
      tail -n 80 "$log"; echo "shuffled: $(basename "$1") FAILED (seed $GTEST_RANDOM_SEED)"; rm -f "$log"; exit 1
    fi' sh {} || failed=1
  unset GTEST_SHUFFLE GTEST_RANDOM_SEED
  return $failed
}

qm_sudo() {
  if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

# Where sources fetched from Debian are kept: outside the clone, so that
# `git clean` does not throw them away; a fresh machine fetches them again.
QM_CACHE=${QM_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/quillmark}

# Adds source (deb-src) entries for this release when apt has none, derived
# from the existing binary entries of the release suite: same archive, same
# components, same keys. No host name is written here.
qm_ensure_deb_src() {
  local codename
  codename=$(. /etc/os-release && echo "$VERSION_CODENAME")
  if grep -Eqs '^[[:space:]]*(Types:.*deb-src|deb-src[[:space:]])' \
      /etc/apt/sources.list /etc/apt/sources.list.d/*.list /etc/apt/sources.list.d/*.sources; then
    return 0
  fi
  qm_say "Adding Debian source entries for $codename"
  local out=/etc/apt/sources.list.d/quillmark-deb-src
  local f
  # deb822 files: copy each stanza with "deb" among its types and the release
  # itself among its suites, changing its type to deb-src.
  for f in /etc/apt/sources.list.d/*.sources; do
    [ -e "$f" ] || continue
    awk -v rel="$codename" '
      function flush() {
        if (stanza != "" && isdeb && hasrel) printf "%s\n", stanza
        stanza = ""; isdeb = 0; hasrel = 0
      }
      /^[[:space:]]*$/ { flush(); next }
      /^Types:/ {
        for (i = 2; i <= NF; i++) if ($i == "deb") isdeb = 1
        stanza = stanza "Types: deb-src\n"; next
      }
      /^Suites:/ { for (i = 2; i <= NF; i++) if ($i == rel) hasrel = 1 }
      { stanza = stanza $0 "\n" }
      END { flush() }' "$f"
  done | qm_sudo tee "$out.sources" >/dev/null
  # One-line lists: "deb [options] URI suite components".
  cat /etc/apt/sources.list /etc/apt/sources.list.d/*.list 2>/dev/null |
    awk -v rel="$codename" '$1 == "deb" {
        i = 2; if ($i ~ /^\[/) { while ($i !~ /\]$/) i++; i++ }
        if ($(i + 1) == rel) { $1 = "deb-src"; print }
      }' | qm_sudo tee "$out.list" >/dev/null
  [ -s "$out.sources" ] || qm_sudo rm -f "$out.sources"
  [ -s "$out.list" ] || qm_sudo rm -f "$out.list"
  qm_sudo apt-get update -qq
}

# Debian's libpng source package of this release, unpacked with Debian's
# patches applied; fetched once into $QM_CACHE. Prints its folder.
qm_fetch_libpng_source() {
  local base="$QM_CACHE/src/libpng1.6"
  local dir
  dir=$(find "$base" -mindepth 1 -maxdepth 1 -type d -name 'libpng1.6-*' 2>/dev/null | sort | tail -n 1)
  if [ -z "$dir" ] || [ ! -f "$dir/.quillmark-complete" ]; then
    qm_ensure_deb_src
    local codename
    codename=$(. /etc/os-release && echo "$VERSION_CODENAME")
    qm_say "Fetching Debian's libpng1.6 source ($codename) into $base"
    rm -rf "$base" && mkdir -p "$base"
    # The release suite, not the newest version the index knows: that one may
    # not be in the archive (yet, or any more).
    (cd "$base" && apt-get source -qq -t "$codename" "libpng1.6/$codename" >&2)
    dir=$(find "$base" -mindepth 1 -maxdepth 1 -type d -name 'libpng1.6-*' | sort | tail -n 1)
    [ -n "$dir" ] || { echo "libpng1.6 source could not be unpacked" >&2; return 1; }
    touch "$dir/.quillmark-complete"
  fi
  echo "$dir"
}

# qm_build_libpng <prefix> [cmake args...]: Debian's libpng source, a static
# library without its tests and programs, built in <prefix>.build/libpng and
# installed under <prefix>; the arguments choose compiler and flags.
qm_build_libpng() {
  local prefix=$1; shift
  local png_src
  png_src=$(qm_fetch_libpng_source)
  cmake -S "$png_src" -B "$prefix.build/libpng" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_INSTALL_PREFIX="$prefix" -DPNG_SHARED=OFF -DPNG_STATIC=ON -DPNG_TESTS=OFF -DPNG_EXECUTABLES=OFF \
    "$@" >/dev/null
  cmake --build "$prefix.build/libpng" -j "$QM_JOBS" >/dev/null
  cmake --install "$prefix.build/libpng" >/dev/null
}

# Builds the Windows dependencies that Debian ships as sources only (libpng,
# GoogleTest) with the MinGW toolchain and installs them under <prefix>.
# Done once per prefix; a stamp records what was built.
qm_build_win64_deps() {
  local prefix=$1
  local toolchain="$QM_ROOT/cmake/toolchain-mingw64.cmake"
  local png_src stamp
  png_src=$(qm_fetch_libpng_source)
  stamp="$(basename "$png_src") googletest-$(dpkg-query -W -f='${Version}' googletest) $(sha1sum "$toolchain" | cut -c1-12)"
  [ -f "$prefix/.stamp" ] && [ "$(cat "$prefix/.stamp")" = "$stamp" ] && return 0
  qm_say "Building libpng and GoogleTest for Windows into $prefix"
  rm -rf "$prefix" "$prefix.build"
  local common=(-G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_BUILD_TYPE=Release
                -DCMAKE_INSTALL_PREFIX="$prefix")
  qm_build_libpng "$prefix" -DCMAKE_TOOLCHAIN_FILE="$toolchain"
  cmake -S /usr/src/googletest -B "$prefix.build/googletest" "${common[@]}" \
    -DBUILD_GMOCK=ON -DINSTALL_GTEST=ON -Dgtest_disable_pthreads=OFF >/dev/null
  cmake --build "$prefix.build/googletest" -j "$QM_JOBS" >/dev/null
  cmake --install "$prefix.build/googletest" >/dev/null
  rm -rf "$prefix.build"
  echo "$stamp" >"$prefix/.stamp"
}

# Builds libpng from Debian's source with the fuzz targets' instrumentation
# (libFuzzer's coverage, AddressSanitizer, UndefinedBehaviorSanitizer) and
# installs it under <prefix>: the PNG reader's fuzzing is then guided through
# libpng's own code and checked in it, where the system's libpng is opaque.
# Done once per prefix; a stamp records what was built.
qm_build_fuzz_deps() {
  local prefix=$1
  local png_src stamp flags
  png_src=$(qm_fetch_libpng_source)
  flags="-fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer -g"
  stamp="$(basename "$png_src") clang-14 $flags"
  [ -f "$prefix/.stamp" ] && [ "$(cat "$prefix/.stamp")" = "$stamp" ] && return 0
  qm_say "Building libpng with the fuzzing instrumentation into $prefix"
  rm -rf "$prefix" "$prefix.build"
  qm_build_libpng "$prefix" -DCMAKE_C_COMPILER=clang-14 -DCMAKE_C_FLAGS="$flags"
  rm -rf "$prefix.build"
  echo "$stamp" >"$prefix/.stamp"
}

# qm_build_fuzz <dir> [cmake args...]: the fuzz targets (clang-14 libFuzzer),
# linked with the instrumented libpng.
qm_build_fuzz() {
  local dir=$1; shift
  qm_build_fuzz_deps "$QM_ROOT/$dir/deps"
  qm_build "$dir" -DQM_FUZZ=ON -DCMAKE_C_COMPILER=clang-14 -DCMAKE_CXX_COMPILER=clang++-14 \
    -DPNG_LIBRARY_RELEASE="$QM_ROOT/$dir/deps/lib/libpng16.a" -DPNG_PNG_INCLUDE_DIR="$QM_ROOT/$dir/deps/include" "$@"
}

# qm_build_win64 <dir> [cmake args...]: the Windows tree, cross-built with
# MinGW-w64; its tests run under Wine.
qm_build_win64() {
  local dir=$1; shift
  qm_build_win64_deps "$QM_ROOT/$dir/deps"
  qm_build "$dir" -DCMAKE_TOOLCHAIN_FILE="$QM_ROOT/cmake/toolchain-mingw64.cmake" \
    -DQM_WIN64_DEPS="$QM_ROOT/$dir/deps" -DQM_GUI=OFF -DQM_BENCH=OFF "$@"
}
