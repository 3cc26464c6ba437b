# Shared by the bench scripts that run a real agent, sourced with `. bench/lib.sh` (POSIX sh).
# The caller sets WORK (its scratch folder) and PIDS (what its cleanup stops), and defines
# run_agent, which runs the agent with the given arguments in that folder.
# shellcheck shell=sh disable=SC2034 # DB, URL and SECRET are the caller's

# family_apps APPS RUNNING [VERSIONED]: ten family bundles in APPS whose executable is a copy
# of /bin/sleep; the first RUNNING of them are started. With VERSIONED=yes the bundles carry
# version numbers.
family_apps() {
    i=0
    for id in com.lumora.capture com.lumora.capture.pro com.lumora.tether com.lumora.tether.canon \
              com.lumora.tether.nikon com.lumora.tether.sony com.lumora.boothcam com.lumora.greenscreen \
              com.lumora.ingest com.lumora.cull; do
        i=$((i + 1))
        b="$1/App$i.app"
        versions=""
        [ "${3:-}" != yes ] || versions="<key>CFBundleShortVersionString</key><string>4.2.$i</string>
<key>CFBundleVersion</key><string>42$i</string>"
        mkdir -p "$b/Contents/MacOS"
        cat > "$b/Contents/Info.plist" <<PLIST
<?xml version="1.0" encoding="UTF-8"?>
<plist version="1.0"><dict><key>CFBundleIdentifier</key><string>$id</string>
<key>CFBundleName</key><string>App $i</string>$versions<key>CFBundleExecutable</key><string>run</string></dict></plist>
PLIST
        cp /bin/sleep "$b/Contents/MacOS/run"
        if [ "$i" -le "$2" ]; then "$b/Contents/MacOS/run" 100000 & PIDS="$PIDS $!"; fi
    done
}

# start_fleetd FLEETD NAME: FLEETD serving on a free loopback port with its database DB in
# $WORK, tenant ABCD1234 with event EVT-1 and a pairing SECRET; sets URL, and the credential
# file credentials_NAME.xml names the event.
start_fleetd() {
    DB="$WORK/fleet.db"
    "$1" serve --listen 127.0.0.1:0 --db "$DB" >"$WORK/fleetd.out" 2>"$WORK/fleetd.log" &
    PIDS="$PIDS $!"
    for _ in $(seq 100); do [ -s "$WORK/fleetd.out" ] && break; sleep 0.1; done
    URL=$(head -n1 "$WORK/fleetd.out")
    [ -n "$URL" ] || { echo "vesk-fleetd did not start:"; cat "$WORK/fleetd.log"; exit 1; }
    "$1" tenant add ABCD1234 --db "$DB" >/dev/null
    "$1" event add ABCD1234 EVT-1 --db "$DB" >/dev/null
    SECRET=$("$1" secret issue ABCD1234 --db "$DB" | cut -f2)
    printf '<credentials><kr5_account>ABCD1234</kr5_account><kr5_location>EVT-1</kr5_location></credentials>' \
        >"$WORK/Shared/Lumora/credentials_$2.xml"
}

# enrol_agent ARGS...: runs the agent with ARGS until the server answers its first heartbeat,
# which puts the machine in the tenant; pairing it comes next.
enrol_agent() {
    run_agent "$@" >"$WORK/enrol.log" 2>&1 &
    ENROL_PID=$!
    for _ in $(seq 300); do grep -q "HEARTBEAT OK HTTP 200" "$WORK/enrol.log" && break; sleep 0.1; done
    kill "$ENROL_PID"; wait "$ENROL_PID" 2>/dev/null || true
}
