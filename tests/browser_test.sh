#!/bin/bash
# nimbrel serve in a real browser on a phone's screen: headless Chromium
# driven by Selenium logs in, uploads the demo's two-part image with its
# .md5, installs it with a name while the progress shows, renames and erases
# it, fetches an image from a server by its URL; the store after is the one
# nimbrel makes with the same commands. On the way: a reload cuts an
# upload, a rejected file is deleted. Leaves
# screenshots of the page, phone and desktop, in the build tree.
set -u
. "$NIMBREL_SOURCE/tests/check.sh"
cli=$NIMBREL_BUILD/nimbrel
port=$("$NIMBREL_SOURCE/scripts/free-port" 2)
"$NIMBREL_SOURCE/scripts/make-demo-store" /tmp/s >/dev/null && cp -a /tmp/s /tmp/b
mkdir -p /tmp/up /tmp/home && cp /tmp/s/two-part.img /tmp/up/web.img && (cd /tmp/up && md5sum web.img >web.img.md5)
head -c 8192 /dev/urandom >/tmp/up/bad.img
# A server to fetch from, slowed so that the fetch's progress shows.
mkdir -p /tmp/srv && cp /tmp/s/two-part.img /tmp/srv/fetched.img && echo 200 >/tmp/srv/.throttle
python3 "$NIMBREL_SOURCE/tests/fetch_server.py" /tmp/srv $((port + 1)) &
files=$!
# The copy stays at 100 % until the page has shown it before and after a reload.
mkdir -p /tmp/slow && printf '#!/bin/sh\n/bin/cp "$@" || exit\ncase "$*" in *" /tmp/image "*) %s ;; esac\n' "$held" >/tmp/slow/cp
chmod 755 /tmp/slow/cp
PATH=/tmp/slow:$PATH "$cli" --store /tmp/s serve --listen 127.0.0.1:$port >/tmp/serve.out 2>/tmp/serve.err &
server=$!
trap 'kill $server $files' EXIT
served /tmp/serve.out /tmp/serve.err
HOME=/tmp/home URL=http://127.0.0.1:$port FILES=http://127.0.0.1:$((port + 1))/files/fetched.img PASSWORD=$(cat /tmp/s/nimbrel-web.password) \
    SHOT=$NIMBREL_BUILD/web-page.png DESKTOP=$NIMBREL_BUILD/web-page-desktop.png /usr/bin/python3 - >/tmp/browser.out <<'PY'
import base64, os
from selenium import webdriver
from selenium.webdriver.common.by import By
from selenium.webdriver.support.ui import Select, WebDriverWait

options = webdriver.ChromeOptions()
for argument in ("--headless=new", "--no-sandbox", "--disable-dev-shm-usage", "--window-size=390,844"):
    options.add_argument(argument)
driver = webdriver.Chrome(options=options)
wait = WebDriverWait(driver, 30, poll_frequency=0.05)
# Logging in: the password as HTTP Basic on every request of the page.
login = base64.b64encode(("me:" + os.environ["PASSWORD"]).encode()).decode()
driver.execute_cdp_cmd("Network.enable", {})
driver.execute_cdp_cmd("Network.setExtraHTTPHeaders", {"headers": {"Authorization": "Basic " + login}})
driver.get(os.environ["URL"] + "/")
line = lambda: driver.find_element(By.ID, "line").text
# As a thumb does: the control scrolled up from under the status line first.
tap = lambda e: driver.execute_script("arguments[0].scrollIntoView({block: 'center'})", e) or e.click()
seen = lambda text, label="": wait.until(lambda d: text in line(), message=text) and print(label + line())
wait.until(lambda d: d.find_elements(By.CSS_SELECTOR, "#slots tr"))
print("under 44 px:", driver.execute_script("return [...document.querySelectorAll("
    "'button,select,input:not([type=checkbox]),label')].filter(e => e.getBoundingClientRect().height < 44)"
    ".map(e => e.id || e.textContent)"))
print("store:", driver.find_element(By.ID, "store").text)
def throttle(bytes_per_second):
    driver.execute_cdp_cmd("Network.emulateNetworkConditions", {"offline": False, "latency": 0,
        "downloadThroughput": -1, "uploadThroughput": bytes_per_second})
def upload(paths):
    driver.find_element(By.ID, "upload").clear()  # a file input adds what it is sent to what it holds
    driver.find_element(By.ID, "upload").send_keys(paths)
    tap(driver.find_element(By.ID, "send"))
throttle(400000)
upload("/tmp/up/web.img")
seen(" s left", "uploading: ")
driver.refresh()
seen("stopped when the page was left", "reloaded: ")
throttle(-1)
upload("/tmp/up/bad.img")
seen("uploaded bad.img, but it cannot be installed: ", "rejected: ")
row = [r for r in driver.find_elements(By.CSS_SELECTOR, "#images tr") if "bad.img" in r.text][0]
tap(row.find_element(By.XPATH, ".//button[text()='Delete']"))
alert = wait.until(lambda d: d.switch_to.alert)
print("asked:", alert.text)
alert.accept()
seen("removed image file bad.img")
upload("/tmp/up/web.img\n/tmp/up/web.img.md5")
seen("uploaded web.img.md5")
wait.until(lambda d: "web.img" in [o.text for o in Select(d.find_element(By.ID, "file")).options])
Select(driver.find_element(By.ID, "file")).select_by_visible_text("web.img")
Select(driver.find_element(By.ID, "slot")).select_by_visible_text("3")
driver.find_element(By.ID, "name").send_keys("Web")
tap(driver.find_element(By.ID, "install"))
seen("install: please wait !!! 100 %")
print("while installing: line in view", driver.execute_script("const r = document.getElementById('line')"
    ".getBoundingClientRect(); return r.top >= 0 && r.bottom <= innerHeight"),
    "install enabled", driver.find_element(By.ID, "install").is_enabled())
driver.refresh()  # the installation goes on, and the reloaded page shows it
seen("install: please wait !!!", "reloaded: ")
open("/tmp/go", "w").close()
seen("installed Web into slot 3")
def answer(button, text=None):
    row = driver.find_elements(By.CSS_SELECTOR, "#slots tr")[3]
    tap(row.find_element(By.XPATH, ".//button[text()='%s']" % button))
    alert = wait.until(lambda d: d.switch_to.alert)
    print("asked:", alert.text)
    if text is not None:
        alert.send_keys(text)
    alert.accept()
answer("Rename", "Renamed")
seen("renamed slot 3 from Web to Renamed")
row_default = driver.find_elements(By.CSS_SELECTOR, "#slots tr")[3].find_element(By.XPATH, ".//button[text()='Default']")
tap(row_default)
seen("boot menu starts slot 3 (Renamed) by default")
driver.execute_script("window.scrollTo(0, 0)")
driver.save_screenshot(os.environ["SHOT"])
answer("Erase")
seen("erased slot 3 (Renamed)")
driver.find_element(By.ID, "url").send_keys(os.environ["FILES"])
tap(driver.find_element(By.ID, "fetch"))
seen(" left)", "fetching: ")
seen("fetched fetched.img from", "fetched: ")
driver.set_window_size(1280, 900)
driver.refresh()
wait.until(lambda d: d.find_elements(By.CSS_SELECTOR, "#slots tr"))
driver.save_screenshot(os.environ["DESKTOP"])
driver.quit()
PY
check "the browser's run" test $? = 0
cat /tmp/browser.out
check "a phone's screen: no control under 44 px high" grep -qx "under 44 px: \[\]" /tmp/browser.out
check "sizes and free space in MB or GB" grep -qE "^store: /tmp/s: [0-9.]+ (MB|GB) free" /tmp/browser.out
check "an upload shows its speed and time left" grep -qE "^uploading: uploading web.img: [0-9]+ % at [0-9.]+ (kB|MB)/s, [0-9]+ s left" /tmp/browser.out
check "a reload during an upload says what became of it" grep -qx \
    "reloaded: the upload of web.img stopped when the page was left: the server kept nothing of it; upload it again" /tmp/browser.out
check "an upload the store rejects: said at once, deleted from the page when asked" eval 'grep -q "^rejected: " /tmp/browser.out &&
    grep -q "^asked: Delete the image file bad.img" /tmp/browser.out && [ ! -e /tmp/s/bad.img ]'
check "installing: the status in view at the foot, the buttons disabled" grep -qx \
    "while installing: line in view True install enabled False" /tmp/browser.out
check "the progress reached 100 % as the status line shows it" grep -qx "install: please wait !!! 100 %.*" /tmp/browser.out
check "the page reloaded during the installation shows it running" grep -q "^reloaded: install: please wait" /tmp/browser.out
check "the default set from the page, in the store's log" grep -q " default 3 done " /tmp/s/nimbrel.log
check "erase asked, naming the slot and its image" grep -q "asked: Erase slot 3 (Renamed)" /tmp/browser.out
check "a fetch shows its share, speed and time left" grep -qE \
    "^fetching: fetch: please wait !!! [0-9]+ % at [0-9.]+ MB/s \([0-9]+:[0-9]{2} left\)" /tmp/browser.out
check "a fetch's outcome, as nimbrel fetch says it" grep -qx \
    "fetched: fetched fetched.img from http://127.0.0.1:$((port + 1))/files/fetched.img" /tmp/browser.out
cp /tmp/up/web.img* /tmp/b/
rm /tmp/srv/.throttle
for command in "install web.img --slot 3 --name Web" "rename 3 Renamed" "default 3" "erase 3 --yes" \
    "fetch http://127.0.0.1:$((port + 1))/files/fetched.img"; do
    "$cli" --store /tmp/b $command >/dev/null 2>&1
done
rm /tmp/s/nimbrel-web.password
# Each action log, and the lock's record, holds its own times.
check "the store after: as nimbrel makes it" eval 'diff -r -x nimbrel.log -x .nimbrel-lock /tmp/s /tmp/b'
check "screenshots of the page, phone and desktop" eval 'test -s "$NIMBREL_BUILD/web-page.png" &&
    test -s "$NIMBREL_BUILD/web-page-desktop.png"'
finish
