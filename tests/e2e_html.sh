# SPDX-License-Identifier: GPL-3.0-or-later
# The HTML page of a saved result with every section, in real headless Chromium: the file
# names no address outside itself; the browser, with every host name unresolvable, logs no
# console message and fetches nothing; every section has a drawn chart and a table, and no
# table is cut off; hostile names stay text; the page prints to PDF. Saves a screenshot, a
# dark one and the PDF in the screenshot folder. Skips (77) where Chromium is missing.
#   bash tests/e2e_html.sh <render_page> <result.json> <screenshots>
set -euo pipefail
RENDER=$1
FIXTURE=$2
SHOTS=$3

CHROMIUM=$(command -v chromium || true)
[ -n "$CHROMIUM" ] || { echo "SKIP: chromium is missing (./dev installs it)"; exit 77; }
mkdir -p "$SHOTS"
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

SECTIONS="machine cache-and-memory cpu-benchmark every-core memory-test"
WIDTH=1280

# One headless run with a profile of its own; timeout takes the browser's whole process
# group with it should it hang. Every host name fails to resolve, so a request that left
# the file would show as an error rather than reach anything.
browser() {
  local profile
  profile=$(mktemp -d "$WORK/profile.XXXXXX")
  timeout -k 5 120 "$CHROMIUM" --headless --no-sandbox --disable-gpu --disable-quic \
    --no-first-run --disable-background-networking --disable-component-update --disable-sync \
    --user-data-dir="$profile" --host-resolver-rules="MAP * ~NOTFOUND" \
    --enable-logging=stderr --v=0 --hide-scrollbars "$@"
}

# The page's own console messages (a blocked request, a script error) in a browser log.
console_messages() {
  grep -E ':CONSOLE[:(]|net::ERR_|Content Security Policy' "$1" || true
}

PAGE=$SHOTS/report-page.html
"$RENDER" "$FIXTURE" "$PAGE" || fail "render_page failed"
echo "page: $PAGE ($(wc -c <"$PAGE") bytes)"
[ "$(wc -c <"$PAGE")" -lt 1500000 ] || fail "the page is larger than 1.5 MB"

# No address outside the file: only in-page anchors and data: may follow src or href.
if grep -Eqi 'https?://' "$PAGE"; then fail "the page names a web address"; fi
outside=$(grep -Eo '(src|href|xlink:href)="[^"]*"' "$PAGE" | grep -Ev '="(#|data:)' || true)
[ -z "$outside" ] || fail "addresses outside the file: $outside"
outside=$(grep -Eo 'url\([^)]*\)' "$PAGE" | grep -v 'url(#' || true)
[ -z "$outside" ] || fail "style addresses outside the file: $outside"

# The page as it is: loaded, its DOM dumped, its console read.
browser --window-size=$WIDTH,2000 --dump-dom "file://$PAGE" >"$WORK/dom.html" 2>"$WORK/page.log" ||
  fail "chromium could not load the page: $(tail -n 3 "$WORK/page.log")"
grep -q '<section id="machine">' "$WORK/dom.html" || fail "the browser did not load the page"
messages=$(console_messages "$WORK/page.log")
[ -z "$messages" ] || fail "the browser logged: $messages"

# A copy with a check of its own at the end, allowed to run by the copy's policy: what a
# reader sees, measured in the laid-out page. It writes one marker line into the DOM.
checked() {  # checked SOURCE COPY
  sed "s/default-src 'none';/default-src 'none'; script-src 'unsafe-inline';/" "$1" |
    sed 's#</body>#<script>CHECK_SCRIPT</script></body>#' >"$2"
  python3 - "$2" "$SECTIONS" <<'EOF'
import sys
path, sections = sys.argv[1], sys.argv[2].split()
check = """
(function () {
  const problems = [], found = [];
  for (const id of %s) {
    const section = document.getElementById(id);
    if (!section) { problems.push(id + ': missing'); continue; }
    const charts = [...section.querySelectorAll('svg.chart')].filter(svg => {
      const box = svg.getBoundingClientRect();
      const shapes = [...svg.querySelectorAll('rect, line, polyline, circle')]
        .filter(shape => { const b = shape.getBoundingClientRect(); return b.width + b.height > 0; });
      return box.width > 200 && box.height > 40 && shapes.length >= 5 &&
             svg.querySelectorAll('text').length >= 3;
    });
    const tables = [...section.querySelectorAll('table')]
      .filter(table => table.tBodies.length && table.tBodies[0].rows.length > 0 &&
                       table.getBoundingClientRect().height > 0);
    if (!charts.length) problems.push(id + ': no drawn chart');
    if (!tables.length) problems.push(id + ': no table');
    for (const box of section.querySelectorAll('.tables, .table-grid'))
      if (box.scrollWidth > box.clientWidth + 1)
        problems.push(id + ': a table is cut off (' + box.scrollWidth + ' > ' + box.clientWidth + ')');
    found.push(id + ': ' + charts.length + ' charts, ' + tables.length + ' tables');
  }
  const requests = performance.getEntriesByType('resource').map(entry => entry.name);
  if (requests.length) problems.push('requests: ' + requests.join(' '));
  const faulty = document.querySelector('rect.bar.faulty');
  if (!faulty || !getComputedStyle(faulty).fill.includes('#hatch'))
    problems.push('a faulty bar is not hatched');
  if (document.querySelectorAll('script').length !== 1) problems.push('a script from the data');
  if (document.querySelectorAll('img, iframe, object, embed').length) problems.push('an element from the data');
  if (document.documentElement.scrollWidth > window.innerWidth + 1)
    problems.push('the page is wider than the window');
  const marker = document.createElement('pre');
  marker.id = 'e2e-check';
  marker.textContent = (problems.length ? 'E2E-CHECK-FAIL ' + problems.join('; ') : 'E2E-CHECK-OK') +
    ' height=' + document.documentElement.scrollHeight + ' | ' + found.join(' | ');
  document.body.append(marker);
})();
""" % repr(sections)
text = open(path, encoding="utf-8").read()
open(path, "w", encoding="utf-8").write(text.replace("CHECK_SCRIPT", check))
EOF
}

run_check() {  # run_check PAGE WHAT: prints the page's height
  local copy=$WORK/check-$2.html marker
  checked "$1" "$copy"
  browser --window-size=$WIDTH,2000 --dump-dom "file://$copy" >"$WORK/check-$2.dom" \
    2>"$WORK/check-$2.log" || fail "chromium could not load the $2 page"
  marker=$(sed -n 's/.*<pre id="e2e-check">\([^<]*\).*/\1/p' "$WORK/check-$2.dom")
  echo "$2 page: $marker" >&2
  case $marker in
    E2E-CHECK-OK*) ;;
    *) fail "$2 page: ${marker:-the check did not run}" ;;
  esac
  messages=$(console_messages "$WORK/check-$2.log")
  [ -z "$messages" ] || fail "$2 page: the browser logged: $messages"
  echo "$marker" | sed -n 's/.* height=\([0-9]*\) .*/\1/p'
}

HEIGHT=$(run_check "$PAGE" plain)

# Names that are markup: they must stay text, and not one of them may run.
HOSTILE='<script>document.title=1<\/script><img src=x onerror=document.title=2>'
sed "s/\"cpu_name\": \"/&$HOSTILE/; s/\"name\": \"/&$HOSTILE/; s/\"hostname\": \"/&$HOSTILE/" \
  "$FIXTURE" >"$WORK/hostile.json"
"$RENDER" "$WORK/hostile.json" "$WORK/hostile.html" || fail "render_page failed on hostile names"
run_check "$WORK/hostile.html" hostile >/dev/null
grep -q '&lt;script&gt;document.title=1' "$WORK/check-hostile.dom" ||
  fail "a hostile name is not shown as text"

# The pictures: the whole page, light and dark, and its printout.
browser --window-size=$WIDTH,$(( HEIGHT + 20 )) --screenshot="$SHOTS/report-page.png" \
  "file://$PAGE" >/dev/null 2>"$WORK/shot.log" || fail "no screenshot"
browser --force-dark-mode --window-size=$WIDTH,$(( HEIGHT + 20 )) \
  --screenshot="$SHOTS/report-page-dark.png" "file://$PAGE" >/dev/null 2>"$WORK/dark.log" ||
  fail "no dark screenshot"
browser --no-pdf-header-footer --print-to-pdf="$SHOTS/report-page.pdf" "file://$PAGE" \
  >/dev/null 2>"$WORK/print.log" || fail "no printout"
for picture in report-page.png report-page-dark.png report-page.pdf; do
  [ -s "$SHOTS/$picture" ] || fail "$picture is empty"
  echo "saved: $SHOTS/$picture"
done
pages=$(grep -aoE '/Type */Page([^s]|$)' "$SHOTS/report-page.pdf" | wc -l)
echo "printout: $pages A4 pages"
[ "${pages:-0}" -ge 2 ] || fail "the printout has ${pages:-no} pages"
echo "the page renders in Chromium with every section's chart and table, and no request"
