#!/usr/bin/env bash
# scripts/mutants.sh [NAME-REGEX]: breaks each guard listed below in turn
# and tells whether a test notices. The sources are copied into a scratch
# folder ($QM_MUTANT_DIR, default /tmp/qm-mutants; the real tree is never
# touched), one line is changed with sed, only the test program of that
# guard is rebuilt there (Linux tree, RelWithDebInfo, ccache) and run, and
# the line is restored. A scratch folder under /work (QM_MUTANT_DIR=
# /work/<tree>/build-mutants) shares ccache's objects with the other trees.
# Prints one line per guard: killed, survived, or "not applied" when the sed
# expression no longer matches (the guard moved: mend its line here). Not
# run by ./check; run it whenever a guard is added or changed,
# and add one line per new guard.
set -euo pipefail
source "$(dirname "$0")/common.sh"
only=${1:-.}
scratch=${QM_MUTANT_DIR:-/tmp/qm-mutants}
src=$scratch
build=$scratch/build
export CMAKE_CXX_COMPILER_LAUNCHER=ccache CMAKE_C_COMPILER_LAUNCHER=ccache
export QT_QPA_PLATFORM=offscreen QM_CI=1

# name ~ file ~ sed expression ~ target(s) ~ command in the build folder.
# The JSON conformance corpus lies beside the tree (../shared), not in the
# scratch copy: its test is left out here.
mutants=$(cat <<'EOF'
device names COM0/LPT0~src/base/UStringUtil.cpp~s/number\[0\] >= '0'/number[0] >= '1'/~test_base~tests/base/test_base --gtest_filter=StringUtil.*
control characters shown~src/base/UStringUtil.cpp~s/if (c < 0x20 [|][|] c == 0x7F) {/if (c < 0x20) {/~test_base~tests/base/test_base --gtest_filter=StringUtil.*
working folder owner~src/base/UFileUtilPosix.cpp~s/: st.st_uid != ::geteuid())/: false)/~test_base~tests/base/test_base --gtest_filter=FileUtil*
PNG pixel limit x1024~src/qr/UPNGReader.cpp~s/> kPNGMaxPixels)/> kPNGMaxPixels * 1024)/~test_qr_png_limits~tests/qr/test_qr_png_limits
PNG chunk limit (benign errors, unknown chunks)~src/qr/UPNGReader.cpp~/png_set_benign_errors(png, 0);\|png_set_keep_unknown_chunks(png/d~test_qr_png_limits~tests/qr/test_qr_png_limits
PNG length against deflate's expansion~src/qr/UPNGReader.cpp~s/if (pixelBits \/ 8 > kDeflateMaxExpansion \* state.Bytes.size())/if (pixelBits == 0)/~test_qr_png_limits~tests/qr/test_qr_png_limits
IPC frame field limit~src/ipc/UIPCFrame.cpp~s/value > kMaxFrameField)/value > kMaxFrameField * 1024)/~test_ipc~tests/ipc/test_ipc
peer uid (SO_PEERCRED)~src/ipc/UPosixPipe.cpp~s/std::to_string(peer.uid)/std::to_string(::getuid())/~test_tools_ipc~tests/tools/ipc/test_tools_ipc --gtest_filter=PipeTrust.*
pipe server pid of a remembered host~src/ipc/UIPCClient.cpp~s/if (expectedPid != 0 \&\& server.Pid != expectedPid)/if (expectedPid != 0 \&\& server.Pid != expectedPid \&\& false)/~test_tools_ipc~tests/tools/ipc/test_tools_ipc --gtest_filter=PipeTrust.*
claimed parent pid checked against the pipe~src/ipc/UHostRequest.cpp~s/pieces\[1\] != std::to_string(reply.Result.ServerPid)/false/~test_tools_ipc~tests/tools/ipc/test_tools_ipc --gtest_filter=PipeTrust.*
request deadline on a dripping reply~src/ipc/UPosixPipe.cpp~s/if (deadline_ \&\& \*deadline_ < deadline) deadline = \*deadline_;//~test_tools_ipc~tests/tools/ipc/test_tools_ipc --gtest_filter=PipeTrust.*
pipe names without a path~src/ipc/UPosixPipe.cpp~s/server.find('\/') == std::string_view::npos \&\&//~test_tools_host~tests/tools/host/test_tools_host --gtest_filter=RealHost.*
vCard escaping of ;~src/contact/UVCardWriter.cpp~s/(ch == ';' \&\& semicolon)/(ch == ';' \&\& semicolon \&\& false)/~test_contact~tests/contact/test_contact
peer file: same inode before delete~src/base/UFileUtilPosix.cpp~s/ [|][|] now.st_ino != f.Stat.st_ino//~test_app_controller~tests/app/test_app_controller
peer file: no link as the file~src/base/UFileUtilPosix.cpp~s/kReadFlags [|] O_NOFOLLOW)/kReadFlags)/~test_base~tests/base/test_base
peer file: 8 MiB~src/base/UFileUtilPosix.cpp~s/> maxBytes)/> maxBytes * 1024)/g~test_app_controller~tests/app/test_app_controller
JSON depth 64~src/json/UFastJSON.cpp~s/depth >= kMaxJsonDepth/depth >= kMaxJsonDepth * 1024/~test_json~tests/json/test_json --gtest_filter=-JsonCorpusTest.*
bounded calls: at most 8 stuck workers~src/base/UBoundedCall.cpp~s/gRunning.fetch_add(1) >= kMaxBoundedWorkers/false/~test_base~tests/base/test_base
discovery: a short wait for a busy pipe~src/ipc/UHostRequest.cpp~s/asking.ConnectTimeoutMs = std::min(options.ConnectTimeoutMs, waitMs);/asking.ConnectTimeoutMs = options.ConnectTimeoutMs;/~test_tools_host~tests/tools/host/test_tools_host --gtest_filter=HostRun.*
discovery: a short wait for a reply~src/ipc/UHostRequest.cpp~s/asking.SilenceLimit = std::min(options.SilenceLimit, std::chrono::milliseconds(waitMs));/asking.SilenceLimit = options.SilenceLimit;/~test_tools_host~tests/tools/host/test_tools_host --gtest_filter=HostRun.*
address file: every access within the budget~src/card/UCardBuilder.cpp~s/read = CallWithin(deadline, \[path\]/read = CallWithin(deadline + std::chrono::hours(1), [path]/~test_app_controller~tests/app/test_app_controller --gtest_filter=*NeverAnswers*
files removed at exit or by the guardian~src/base/UExitRemoval.cpp~s/list.Paths.end()) list.Paths.push_back(path);/list.Paths.end() \&\& path.empty()) list.Paths.push_back(path);/~quillmark quillmark-host~ctest -R ^DisplayLoss --output-on-failure
Qt dialog: Shift+F10 opens the menu~src/app/qt/ULiveImportFrm.cpp~s/event->key() == Qt::Key_F10 \&\&/false \&\&/~quillmark quillmark-host~ctest -R ^Accessibility.OverAtSpi --output-on-failure
Qt dialog: a load waits off the window's thread~src/app/qt/ULiveImportFrm.cpp~s/^    QEventLoop loop;$/    if (work) return work();\n    QEventLoop loop;/~quillmark-host test_app_road~ctest -R ^DialogRoad.SlowHost --output-on-failure
a session's end during a load stops it~src/app/UDialogController.cpp~s/    if (FSessionEnded) return;/    if (false) return;/~test_app_controller~tests/app/test_app_controller --gtest_filter=*SessionsEnd*
EOF
)

qm_say "Copying the sources into $scratch"
mkdir -p "$src"
# Only files whose content differs are copied, with the time of the copy:
# an unchanged file is not rebuilt, and a copied one is newer than any
# object built from a mutant of it.
(cd "$QM_ROOT" && git ls-files -z --cached --others --exclude-standard) |
  while IFS= read -r -d '' f; do
    cmp -s "$QM_ROOT/$f" "$src/$f" 2>/dev/null && continue
    mkdir -p "$(dirname "$src/$f")"
    cp "$QM_ROOT/$f" "$src/$f"
  done
rm -f "$scratch/original"
cmake -S "$src" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQM_BENCH=OFF >/dev/null

printf '%-48s %-20s %s\n' guard target result
declare -A baseline
while IFS='~' read -r name file expr target run; do
  [[ $name =~ $only ]] || continue
  log=$scratch/${target// /_}.log
  mutantLog=$scratch/mutant-${name//[^A-Za-z0-9]/_}.log
  # The unbroken program must pass first, or "killed" would mean nothing.
  if [ -z "${baseline[$run]:-}" ]; then
    baseline[$run]=failed
    # shellcheck disable=SC2086 # a list of targets
    cmake --build "$build" -j "$QM_JOBS" --target $target >"$log" 2>&1 &&
      (cd "$build" && timeout 900 $run) >>"$log" 2>&1 && baseline[$run]=passed
  fi
  if [ "${baseline[$run]}" != passed ]; then
    printf '%-48s %-20s %s\n' "$name" "$target" "unbroken test fails (see $log)"
    continue
  fi
  cp "$src/$file" "$scratch/original"
  sed -i "$expr" "$src/$file"
  if cmp -s "$src/$file" "$scratch/original"; then
    result="not applied"
  # shellcheck disable=SC2086 # a list of targets
  elif ! cmake --build "$build" -j "$QM_JOBS" --target $target >"$mutantLog" 2>&1; then
    result="does not build (see $mutantLog)"
  else
    status=0
    (cd "$build" && timeout 300 $run) >>"$mutantLog" 2>&1 || status=$?
    case $status in
      0) result=survived ;;
      124) result="killed (no end within 300 s)" ;;
      *) result=killed ;;
    esac
  fi
  # Restored with the time of now, so that the next build drops the mutant.
  cp "$scratch/original" "$src/$file"
  rm "$scratch/original"
  printf '%-48s %-20s %s\n' "$name" "$target" "$result"
done <<<"$mutants"
