#!/usr/bin/env bash
# The .deb as a user gets it: built with CPack from this build, unpacked into a private root,
# its desktop entry, metainfo and man pages checked by their own validators, and the unpacked
# koltrep run with -win -dbf from an unrelated folder under Xvfb. That folder holds a broken
# body.x and a magenta ground.png: the program must read its own data beside itself
# (../share/koltrep) all the same, write debug.txt to the state folder (its own folder cannot be
# written, as for an installed program) and end with 0 on Escape. A second start meanwhile, in
# English, reads the installed catalogue: its already-running message is English. The installed
# replay, started there too, must draw exactly what the build's replay draws from the source's data.
source "$(dirname "$0")/common.bash" || exit 1

for tool in cpack dpkg-deb dpkg-shlibdeps desktop-file-validate appstreamcli man lintian; do
    command -v "$tool" >/dev/null || fail "$tool is not installed (tools/install-deps.sh)"
done

cpack -G DEB -B "$WORK/pkg" --config "$BUILD_DIR/CPackConfig.cmake" >"$WORK/cpack.log" 2>&1 ||
    fail "cpack failed: $(tail -n 20 "$WORK/cpack.log")"
deb=$(ls "$WORK"/pkg/*.deb 2>/dev/null | head -n1)
[[ -n $deb ]] || fail "no .deb made: $(tail -n 20 "$WORK/cpack.log")"
note "package $(basename "$deb")"
depends=$(dpkg-deb -f "$deb" Depends)
for library in libsdl2 libode libpng libfreetype libc6; do
    [[ $depends == *"$library"* ]] || fail "Depends lacks $library (shlibdeps): $depends"
done

# Warnings are the packager's to weigh; an error is a broken package.
lintian --fail-on error --tag-display-limit 0 "$deb" >"$WORK/lintian.log" 2>&1 ||
    fail "lintian: $(grep -E '^E:' "$WORK/lintian.log" || tail -n 5 "$WORK/lintian.log")"
note "lintian: $(grep -c '^E:' "$WORK/lintian.log") errors, $(grep -c '^W:' "$WORK/lintian.log") warnings"

root=$WORK/root
dpkg-deb -x "$deb" "$root" || fail "dpkg-deb -x failed"
app=org.koltrep.Koltrep
# Message catalogues: add each shipped one here (usr/share/locale/LANG/LC_MESSAGES/koltrep.mo).
catalogues=(usr/share/locale/en/LC_MESSAGES/koltrep.mo usr/share/locale/ja/LC_MESSAGES/koltrep.mo)
for file in usr/bin/koltrep usr/bin/koltrep-replay usr/bin/koltrep-inspect usr/bin/koltrep-sweep \
    usr/bin/koltrep-evaluate usr/share/man/man1/koltrep-evaluate.1.gz \
    usr/bin/koltrep-optimize usr/share/man/man1/koltrep-optimize.1.gz \
    usr/share/koltrep/body.x usr/share/koltrep/body.png usr/share/koltrep/ground.png \
    usr/share/koltrep/almi.png usr/share/icons/hicolor/scalable/apps/koltrep.svg \
    usr/share/icons/hicolor/48x48/apps/koltrep.png usr/share/icons/hicolor/256x256/apps/koltrep.png \
    usr/share/applications/$app.desktop usr/share/metainfo/$app.metainfo.xml \
    usr/share/man/man6/koltrep.6.gz usr/share/man/man1/koltrep-replay.1.gz \
    usr/share/man/man1/koltrep-inspect.1.gz usr/share/man/man1/koltrep-sweep.1.gz \
    usr/share/doc/koltrep/copyright usr/share/doc/koltrep/changelog.gz \
    usr/share/doc/koltrep/README.md usr/share/doc/koltrep/docs/guide/README.md \
    usr/share/doc/koltrep/docs/images/gait_lab.png usr/share/koltrep/examples/tour.txt \
    "${catalogues[@]}"; do
    [[ -s $root/$file ]] || fail "the package lacks $file"
done

desktop-file-validate "$root/usr/share/applications/$app.desktop" || fail "desktop entry"
appstreamcli validate --no-net "$root/usr/share/metainfo/$app.metainfo.xml" >"$WORK/as.log" 2>&1 ||
    fail "metainfo: $(cat "$WORK/as.log")"
for page in "$root"/usr/share/man/man*/*; do
    warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$page" 2>&1 >"$WORK/page.txt")
    [[ -z $warnings ]] || fail "$(basename "$page"): $warnings"
    grep -q "^NAME" "$WORK/page.txt" || fail "$(basename "$page") renders no NAME section"
done
version=$(dpkg-deb -f "$deb" Version)
for program in koltrep koltrep-replay koltrep-inspect koltrep-sweep koltrep-evaluate \
    koltrep-optimize; do
    [[ $("$root/usr/bin/$program" --version) == "$program $version" ]] ||
        fail "$program --version does not say $version"
done
searched="  $root/usr/share/koltrep, then /usr/local/share/koltrep, then /usr/share/koltrep."
"$root/usr/bin/koltrep" --help | grep -qxF "$searched" ||
    fail "koltrep --help does not name its data folder: $("$root/usr/bin/koltrep" --help | tail -n 4)"
note "files, validators, man pages and versions checked"

# An installed program's folder cannot be written. Root writes anywhere, so root runs it as
# nobody; everyone else gets the folder made read-only.
start_xvfb
private_runtime_dir
elsewhere=$WORK/elsewhere state=$WORK/state
mkdir -p "$elsewhere" "$state" "$WORK/home"
# Stray files where the user happens to start it, which an installed program must not read.
echo "xof 0303txt 0032 broken" >"$elsewhere/body.x"
convert -size 64x64 xc:magenta "$elsewhere/ground.png" || fail "convert cannot make a picture"
chmod a-w "$root/usr/bin"
as_user=()
if [[ $(id -u) -eq 0 ]]; then
    chmod 755 "$WORK"
    chown 65534:65534 "$elsewhere" "$state" "$WORK/home" "$XDG_RUNTIME_DIR"
    as_user=(setpriv --reuid=65534 --regid=65534 --clear-groups)
fi
(cd "$elsewhere" && exec "${as_user[@]}" env HOME="$WORK/home" XDG_STATE_HOME="$state" \
    XDG_DATA_DIRS=/nonexistent "$root/usr/bin/koltrep" -win -dbf) \
    >"$WORK/installed.out" 2>"$WORK/installed.err" &
installed=$!
STARTED_PIDS+=("$installed")
window=$(wait_for_window "$installed") || exit 1
focus_window "$window"
# Keys are sampled once per tick: the press must fall into the loop, which starts after the
# scene is set up and logs the activation as its first message.
log=$state/koltrep/debug.txt
active() { iconv -f CP932 -t UTF-8 "$log" 2>/dev/null | grep -q "<アクティブ>"; }
wait_for 600 active || fail "the loop never started; stderr: $(cat "$WORK/installed.err")"
# Without a display the box is only its text on stderr.
(cd "$elsewhere" && exec "${as_user[@]}" env -u DISPLAY HOME="$WORK/home" LANG=en_US.UTF-8 \
    "$root/usr/bin/koltrep" -win) >"$WORK/english.out" 2>"$WORK/english.err"
english_code=$?
[[ $english_code -eq 2 ]] || fail "second start: exit code $english_code: $(cat "$WORK/english.err")"
grep -qx "Koltrep is already running." "$WORK/english.err" ||
    fail "no English message from the installed catalogue: $(cat "$WORK/english.err")"
# The first frames on a loaded machine can each take longer than a press: a press that falls
# wholly inside one tick is not seen (as for a user), so a missed one is repeated.
sleep 1
ended() { ! alive "$installed"; }
for ((press = 1; press <= 5; press++)); do
    press_key Escape 0.3
    wait_for 20 ended && break
done
((press == 1)) || echo "WARNING: Escape needed $press presses of 0.3 s (slow first ticks)" >&2
wait_exit "$installed" 30
[[ $EXIT_CODE -eq 0 ]] || fail "exit code $EXIT_CODE: $(cat "$WORK/installed.err")"

[[ -s $log ]] || fail "no debug.txt in the state folder; stderr: $(cat "$WORK/installed.err")"
[[ ! -e $root/usr/bin/debug.txt ]] || fail "debug.txt was written beside the executable"
grep -q "$log" "$WORK/installed.err" || fail "stderr does not say where the log went"
for name in ground.png almi.png body.x body.png; do
    grep -qF "load($name) ... ok." "$log" || fail "no 'load($name) ... ok.' in debug.txt"
done
grep -q "failed\." "$log" && fail "a load failed: $(grep "failed\." "$log")"
note "data found beside the executable, not in the current folder; log in $log, exit 0"

# The installed replay needs no data folder either, and reads none of the stray files.
printf '0 UP down\n# 30 ticks: walk\n' >"$WORK/walk.txt"
(cd "$elsewhere" && env -u KOLTREP_DATA_DIR XDG_DATA_DIRS=/nonexistent \
    "$root/usr/bin/koltrep-replay" --script "$WORK/walk.txt" --shot "$WORK/installed.png") \
    >"$WORK/replay-installed.out" 2>&1 ||
    fail "the installed replay failed: $(tail -n 5 "$WORK/replay-installed.out")"
(cd "$DATA_DIR" && "$BUILD_DIR/koltrep-replay" --script "$WORK/walk.txt" --shot "$WORK/built.png") \
    >"$WORK/replay-built.out" 2>&1 || fail "the replay failed: $(tail -n 5 "$WORK/replay-built.out")"
cmp -s "$WORK/installed.png" "$WORK/built.png" ||
    fail "the installed replay drew another picture than the build's from the source data"
# --data names the one folder to read: the stray files there are read, and the broken body fails.
(cd "$WORK" && KOLTREP_DEBUG=1 "$root/usr/bin/koltrep-replay" --data "$elsewhere" \
    --script "$WORK/walk.txt" --ticks 2 --no-draw) >"$WORK/replay-data.out" 2>&1
grep -qF "load(body.x) ... failed." "$WORK/replay-data.out" ||
    fail "--data did not read body.x from $elsewhere: $(grep -F "load(" "$WORK/replay-data.out")"
note "installed replay: the installed data from any folder, --data when asked"

# The guide's examples as a user types them, with the package's folders in place of /usr.
guide=$root/usr/share/doc/koltrep/docs/guide
for page in "$guide"/*.md; do
    grep -oE '\]\([a-z./_-]+\.(md|png)\)' "$page" | sed -E 's/^\]\(|\)$//g' | while read -r link; do
        [[ -e $guide/$link || $link != *.png ]] || echo "$(basename "$page") links $link" >>"$WORK/links"
    done
done
[[ ! -s $WORK/links ]] || fail "the installed guide's pictures are missing: $(cat "$WORK/links")"
sed -n '/^```sh$/,/^```$/p' "$guide/README.md" | grep -E '^ *koltrep-(replay|sweep)|^    --' |
    sed -e "s|/tmp/|$WORK/guide-|g" -e "s|/usr/share/koltrep/|$root/usr/share/koltrep/|g" \
        -e "s|^koltrep-|$root/usr/bin/koltrep-|" >"$WORK/guide.sh"
grep -q koltrep-sweep "$WORK/guide.sh" || fail "no sweep example found in the guide"
(cd "$elsewhere" && PATH=$root/usr/bin:$PATH bash -e "$WORK/guide.sh") >"$WORK/guide.out" 2>&1 ||
    fail "the guide's examples failed: $(tail -n 5 "$WORK/guide.out")"
[[ -s $WORK/guide-tour.png && -s $WORK/guide-gait.png && -s $WORK/guide-koltrep-guide-sweep/sweep.csv ]] ||
    fail "the guide's examples wrote nothing: $(tail -n 5 "$WORK/guide.out")"
# The evaluator's chapter (its trace the same as the replay's) and the machine file's first two
# steps, as typed there; each command that fails fails the page.
for page in figures-evaluator.md machine.md; do
    sed -n '/^```sh$/,/^```$/p' "$guide/$page" | grep -E '^(printf|cmp|koltrep-(replay|evaluate|inspect)) '
done | sed -e "s|^koltrep-|$root/usr/bin/koltrep-|" >"$WORK/guide-tools.sh"
(($(wc -l <"$WORK/guide-tools.sh") == 6)) || fail "the guide's tool examples moved: $(cat "$WORK/guide-tools.sh")"
mkdir "$WORK/guide-tools"
(cd "$WORK/guide-tools" && bash -e "$WORK/guide-tools.sh") >"$WORK/guide-tools.out" 2>&1 ||
    fail "the guide's evaluator or machine example failed: $(tail -n 5 "$WORK/guide-tools.out")"
grep -q '^\[linkage\]' "$WORK/guide-tools/walker.toml" || fail "koltrep-inspect machine wrote no machine"
note "the guide's replay, sweep, evaluator and machine examples run from the package"
echo PASS
