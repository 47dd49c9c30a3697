# find_feeder: sets FEED to the korvex-feed program, looked for in the build
# directory or program path $target names (relative ones also under $REPO), else
# in $REPO/build-inn and $REPO/build. Sourced by the test servers' start
# scripts; needs REPO, target and die from the script that sources it.
find_feeder() {
    local candidates=()
    if [ -n "$target" ]; then
        candidates=("$target" "$target/tests/inn/korvex-feed" "$target/korvex-feed")
        case "$target" in
        /*) ;;
        *) candidates+=("$REPO/$target" "$REPO/$target/tests/inn/korvex-feed") ;;
        esac
    else
        candidates=("$REPO/build-inn/tests/inn/korvex-feed" "$REPO/build/tests/inn/korvex-feed")
    fi
    for f in "${candidates[@]}"; do
        if [ -f "$f" ] && [ -x "$f" ]; then
            FEED=$(cd "$(dirname "$f")" && pwd)/$(basename "$f")
            return 0
        fi
    done
    die "korvex-feed not found (tried: ${candidates[*]}); build it and pass the build dir"
}
