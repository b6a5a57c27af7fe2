#!/usr/bin/python3
"""The search page in a real browser: headless Chromium driven by Selenium.

    check_page.py TESSIK OUTDIR

Starts `tessik serve` on a free loopback port over the bundled samples and a
folder holding a document titled with a <script> element, then: searches from
the form and waits for every source's streamed answer; checks the rows, the
per-source bars and that the console shows no error; searches the <script>
document and checks nothing ran; does the same search with JavaScript off;
saves a screenshot of the results under OUTDIR.
"""
import json
import os
import shutil
import subprocess
import sys
import tempfile
import time

from selenium import webdriver
from selenium.common.exceptions import NoAlertPresentException, TimeoutException
from selenium.webdriver.chrome.service import Service
from selenium.webdriver.common.by import By
from selenium.webdriver.common.keys import Keys
from selenium.webdriver.support.ui import WebDriverWait

HOSTILE = "<script>window.tessikPwned = 1; alert(1)</script>"


def fail(message):
    print("check_page: FAILED: " + message, file=sys.stderr)
    sys.exit(1)


def browser(javascript=True):
    options = webdriver.ChromeOptions()
    for arg in ("--headless=new", "--no-sandbox", "--disable-gpu", "--disable-dev-shm-usage",
                "--window-size=1200,1000"):
        options.add_argument(arg)
    options.set_capability("goog:loggingPrefs", {"browser": "ALL"})
    if not javascript:
        options.add_experimental_option("prefs", {"profile.managed_default_content_settings.javascript": 2})
    driver = webdriver.Chrome(service=Service("/usr/bin/chromedriver"), options=options)
    driver.set_page_load_timeout(30)
    return driver


def search_from_form(driver, url, words):
    driver.get(url)
    box = driver.find_element(By.ID, "q")
    box.clear()
    box.send_keys(words)
    box.send_keys(Keys.ENTER)


def main():
    tessik, outdir = sys.argv[1], sys.argv[2]
    os.makedirs(outdir, exist_ok=True)
    work = tempfile.mkdtemp(prefix="tessik-browser-")
    server = None
    drivers = []
    try:
        env = dict(os.environ, XDG_CONFIG_HOME=os.path.join(work, "config"), XDG_CACHE_HOME=os.path.join(work, "cache"))
        docs = os.path.join(work, "docs")
        os.makedirs(docs)
        with open(os.path.join(docs, "hostile.txt"), "w", encoding="utf-8") as f:
            f.write(HOSTILE + "\nA zebrafish swims in this document; its title is markup.\n")
        subprocess.run([tessik, "sources", "add", "notes", docs], env=env, check=True, timeout=120,
                       stdout=subprocess.DEVNULL)
        server = subprocess.Popen([tessik, "serve", "--listen", "127.0.0.1:0"], env=env, stdout=subprocess.PIPE,
                                  stderr=open(os.path.join(outdir, "serve.log"), "w"), text=True)
        line = server.stdout.readline().strip()
        prefix = "tessik serve: listening on "
        if not line.startswith(prefix):
            fail("the server did not start: " + line)
        url = line[len(prefix):]

        # With JavaScript: results stream in, every source answers.
        driver = browser()
        drivers.append(driver)
        search_from_form(driver, url, "water")
        try:
            WebDriverWait(driver, 30).until(lambda d: d.find_element(By.TAG_NAME, "body").get_attribute("data-state")
                                            in ("done", "failed"))
        except TimeoutException:
            fail("the streamed search did not end within 30 s")
        if driver.find_element(By.TAG_NAME, "body").get_attribute("data-state") != "done":
            fail("the search failed: " + driver.find_element(By.ID, "summary").text)
        rows = driver.find_elements(By.CSS_SELECTOR, "#hits li.hit")
        if not rows:
            fail("no result rows for 'water'")
        if not all(r.find_element(By.CSS_SELECTOR, ".title").text for r in rows):
            fail("a row without a title")
        if not driver.find_elements(By.CSS_SELECTOR, "#hits mark"):
            fail("no matched word is highlighted")
        sources = driver.find_elements(By.CSS_SELECTOR, "#sources tr.source")
        names = sorted(s.get_attribute("data-domain") for s in sources)
        if names != ["glosses", "manpages", "notes", "quotes"]:
            fail("the sources shown: %s" % names)
        for s in sources:
            if "done" not in (s.get_attribute("class") or ""):
                fail("source %s never answered: %s" % (s.get_attribute("data-domain"), s.text))
        bars = [float(m.get_attribute("value")) for m in driver.find_elements(By.CSS_SELECTOR, "#sources meter.hits")]
        if max(bars) <= 0:
            fail("every hits bar is empty")
        if "?q=water" not in driver.current_url:
            fail("the address does not hold the query: " + driver.current_url)
        driver.save_screenshot(os.path.join(outdir, "results.png"))
        errors = [e for e in driver.get_log("browser") if e.get("level") == "SEVERE"]
        if errors:
            fail("the console shows errors: %s" % json.dumps(errors))
        print("check_page: %d rows for 'water' from %d sources, screenshot %s" %
              (len(rows), len(sources), os.path.join(outdir, "results.png")))

        # The document titled with a script shows the text; nothing runs.
        search_from_form(driver, url, "zebrafish")
        WebDriverWait(driver, 30).until(lambda d: d.find_element(By.TAG_NAME, "body").get_attribute("data-state")
                                        == "done")
        titles = [t.text for t in driver.find_elements(By.CSS_SELECTOR, "#hits li.hit .title")]
        if HOSTILE not in titles:
            fail("the <script> document's title is not shown as text: %s" % titles)
        try:
            driver.switch_to.alert
            fail("an alert opened")
        except NoAlertPresentException:
            pass
        if driver.execute_script("return window.tessikPwned === undefined") is not True:
            fail("the document's script ran")
        errors = [e for e in driver.get_log("browser") if e.get("level") == "SEVERE"]
        if errors:
            fail("the console shows errors: %s" % json.dumps(errors))

        # Without JavaScript: the form submits to the page rendered by the server.
        plain = browser(javascript=False)
        drivers.append(plain)
        search_from_form(plain, url, "zebrafish")
        WebDriverWait(plain, 30).until(lambda d: "format=html" in d.current_url)
        titles = [t.text for t in plain.find_elements(By.CSS_SELECTOR, "#hits li.hit .title")]
        if HOSTILE not in titles:
            fail("without JavaScript, the results page shows %s" % titles)
        search_from_form(plain, url, "water")
        WebDriverWait(plain, 30).until(lambda d: "q=water" in d.current_url)
        if not plain.find_elements(By.CSS_SELECTOR, "#hits li.hit"):
            fail("without JavaScript, no rows for 'water'")
        plain.save_screenshot(os.path.join(outdir, "results-no-script.png"))
        print("check_page: passed")
    finally:
        for d in drivers:
            d.quit()
        if server is not None:
            server.terminate()
            try:
                server.wait(timeout=10)
            except subprocess.TimeoutExpired:
                server.kill()
                fail("the server did not stop within 10 s of SIGTERM")
            if server.returncode != 0:
                fail("the server exited %d" % server.returncode)
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
