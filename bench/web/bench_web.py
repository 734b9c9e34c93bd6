#!/usr/bin/python3
"""The browser build's timings in headless Chromium, for scripts/bench-web.

bench_web.py SITE_DIR NATIVE_TIMINGS_FILE

Runs the loop timing page (bench/loop_timing.html) and prints its figures
beside the native ones of the file, then the ratio line, then the time from
opening quintgrain's page until its figure is complete (its lit pixels no
longer grow: the last growth seen, the count unchanged for 5 s after it).
"""
import os
import re
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', '..', 'tests', 'web'))
import e2e_web_support as support  # noqa: E402

SITE, NATIVE = sys.argv[1], sys.argv[2]


def figures(text):
    return {m.group(1).replace('\xa0', ' '): float(m.group(2))
            for m in re.finditer(r'(chain|floor|loop\sstep):\s+([0-9.]+)\sns', text)}


def main():
    server, driver, url, cleanup = support.open_browser(SITE)
    try:
        driver.get(url + 'bench/loop_timing.html')
        support.wait_for('the timing', lambda: driver.execute_script(
            'return Module.grain && Module.grain.exited'), 300)
        # The terminal shows what was written at its next frame.
        web = support.wait_for('the figures', lambda: (lambda f: len(f) == 3 and f)(
            figures(driver.execute_script(support.TERMINAL_TEXT))))
        native = figures(open(NATIVE).read())
        for name in ('chain', 'floor', 'loop step'):
            print('%-10s web %8.2f ns   native soft %8.2f ns   ratio %.2f' %
                  (name, web[name], native[name], web[name] / native[name]))
        ratio = web['loop step'] / native['loop step']

        count = ("const c = document.querySelector('canvas'); if (!c) return 0;"
                 "const d = c.getContext('2d').getImageData(0, 0, c.width, c.height).data;"
                 "let n = 0; for (let i = 0; i < d.length; i += 4) if (d[i]) ++n; return n;")
        start = time.monotonic()
        driver.get(url + 'quintgrain.html')
        last, last_growth = -1, start
        while time.monotonic() - last_growth < 5 and time.monotonic() - start < 300:
            n = driver.execute_script(count)
            if n != last:
                last, last_growth = n, time.monotonic()
            time.sleep(0.05)
        print('quintgrain figure complete in the page: %.1f s after opening it (%d pixels)' %
              (last_growth - start, last))
        print('web/native soft loop ratio: %.2f' % ratio)
        return 0 if ratio <= 2.0 else 1
    finally:
        cleanup()


sys.exit(main())
