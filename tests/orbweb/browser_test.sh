#!/usr/bin/env bash
# The console in a real browser: headless Chromium loads the map and the
# business process views of a repository made by a real publishing pass,
# keeps their screenshots (OUT_DIR/map.png, views.png) and dumps their DOM,
# which must hold every published server, and in which the servers and
# machines whose names are markup are text: no element made, no script run
# (one would retitle the page).
#   browser_test.sh BIN_DIR OUT_DIR       exit 77 (skipped) without Chromium
set -euo pipefail
bin=${1:?usage: browser_test.sh BIN_DIR OUT_DIR}
out=${2:?usage: browser_test.sh BIN_DIR OUT_DIR}
here=$(cd "$(dirname "$0")" && pwd)
browser=
for candidate in chromium-headless-shell chromium chromium-browser; do
  if command -v "$candidate" >/dev/null 2>&1; then browser=$(command -v "$candidate"); break; fi
done
if [ -z "$browser" ]; then
  echo "skipped: no headless Chromium (apt-get install chromium-headless-shell)"
  exit 77
fi
command -v python3 >/dev/null || { echo "skipped: python3 reads the dumped DOM"; exit 77; }

work=$(mktemp -d "${TMPDIR:-/tmp}/orbweb-browser-XXXXXX")
pid=
cleanup() {
  if [ -n "$pid" ]; then kill "$pid" 2>/dev/null || true; wait "$pid" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

export ORB_MACHINE_ROOT=$work/machine ORB_COMPUTERNAME=ORBWEB ORB_HOSTS=$work/machine/hosts
export ORB_DEBUG_OUTPUT=none
mkdir -p "$ORB_MACHINE_ROOT" "$out"
bash "$here/published_repository.sh" "$bin"

"$bin/orbweb" -r ORBWEB --listen 127.0.0.1:0 >"$work/orbweb.log" 2>&1 &
pid=$!
port=
for _ in $(seq 100); do
  port=$(sed -n 's|^orbweb: serving http://127.0.0.1:\([0-9]*\)/.*|\1|p' "$work/orbweb.log")
  [ -n "$port" ] && break
  kill -0 "$pid" 2>/dev/null || break
  sleep 0.1
done
[ -n "$port" ] || { cat "$work/orbweb.log" >&2; fail "orbweb did not start"; }

# Root needs --no-sandbox; the profile stays in the work folder.
chrome() {
  timeout 120 "$browser" --headless --no-sandbox --disable-gpu --hide-scrollbars \
    --user-data-dir="$work/profile" --window-size=1280,1500 "$@" 2>>"$work/chromium.log"
}
for page in map views; do
  path=/; [ "$page" = views ] && path=/views
  chrome --dump-dom "http://127.0.0.1:$port$path" >"$out/$page.html" ||
    { tail -n 20 "$work/chromium.log" >&2; fail "chromium could not load $path"; }
  chrome --screenshot="$out/$page.png" "http://127.0.0.1:$port$path" >/dev/null ||
    fail "chromium made no screenshot of $path"
  [ -s "$out/$page.png" ] || fail "empty screenshot of $path"
done

"$bin/orbcli" -r ORBWEB object list LumoraVB --json >"$work/servers.json"
python3 - "$out/map.html" "$out/views.html" "$work/servers.json" <<'PY'
import html.parser, json, sys

class Dom(html.parser.HTMLParser):
    def __init__(self):
        super().__init__()
        self.tags, self.text, self.title, self.handlers = [], [], "", []
        self._in_title = False
    def handle_starttag(self, tag, attrs):
        self.tags.append(tag)
        self._in_title = tag == "title"
        self.handlers += [name for name, _ in attrs if name.startswith("on")]
    def handle_endtag(self, tag):
        self._in_title = False
    def handle_data(self, data):
        self.text.append(data)
        if self._in_title:
            self.title += data

servers = [server["name"] for server in json.load(open(sys.argv[3]))]
hostile = ["<img src=x onerror=alert(1)>", "<svg/onload=document.title=7>", "<svg/onload=1>"]
for path, title, names in ((sys.argv[1], "Map - ORBWEB", servers + hostile),
                           (sys.argv[2], "Business process views - ORBWEB", servers)):
    dom = Dom()
    dom.feed(open(path, encoding="utf-8").read())
    text = "".join(dom.text)
    assert dom.title == title, f"{path}: title {dom.title!r} (a script ran?)"
    for name in names:
        assert name in text, f"{path}: {name!r} is not shown"
    made = {"img", "svg", "iframe", "object", "embed"} & set(dom.tags)
    assert not made, f"{path}: elements made from names: {made}"
    assert not dom.handlers, f"{path}: event handlers {dom.handlers}"
    assert dom.tags.count("script") == 1, f"{path}: scripts other than the console's own"
print(f"browser: {len(servers)} published servers on the map and in the view; "
      "hostile names are text")
PY
echo "screenshots: $out/map.png $out/views.png"
