"""What the browser build's end-to-end test and scripts/bench-web share: the
pages served on 127.0.0.1, headless Chromium, waiting with a deadline."""
import functools
import http.server
import tempfile
import threading
import time

from selenium import webdriver
from selenium.webdriver.chrome.service import Service

DEADLINE = 60  # seconds: generous, the machine is shared

TERMINAL_TEXT = "return document.querySelector('.xterm-rows').innerText;"


def wait_for(what, check, deadline=DEADLINE):
    end = time.monotonic() + deadline
    while time.monotonic() < end:
        value = check()
        if value:
            return value
        time.sleep(0.1)
    raise AssertionError('timed out waiting for ' + what)


class Quiet(http.server.SimpleHTTPRequestHandler):
    def log_message(self, *args):
        pass


def serve(site):
    handler = functools.partial(Quiet, directory=site)
    server = http.server.ThreadingHTTPServer(('127.0.0.1', 0), handler)
    threading.Thread(target=server.serve_forever, daemon=True).start()
    return server


def browser(profile):
    options = webdriver.ChromeOptions()
    options.binary_location = '/usr/bin/chromium'
    for flag in ('--headless', '--no-sandbox', '--disable-gpu', '--disable-quic',
                 '--no-first-run', '--disable-background-networking',
                 '--disable-component-update', '--disable-sync',
                 '--window-size=1280,1024', '--user-data-dir=' + profile):
        options.add_argument(flag)
    return webdriver.Chrome(service=Service('/usr/bin/chromedriver'), options=options)



def open_browser(site):
    """The pages of `site` served and a browser: (server, driver, url, cleanup)."""
    server = serve(site)
    profile = tempfile.TemporaryDirectory()
    driver = browser(profile.name)

    def cleanup():
        driver.quit()
        server.shutdown()
        profile.cleanup()
    return server, driver, 'http://127.0.0.1:%d/' % server.server_address[1], cleanup
