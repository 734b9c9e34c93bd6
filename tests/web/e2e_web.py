#!/usr/bin/python3
"""The browser build end to end, in headless Chromium driven by selenium.

e2e_web.py SITE_DIR REFERENCE_PIXELS [SCREENSHOT_DIR]

Serves SITE_DIR on 127.0.0.1, opens trigrain's page with its clock fixed
(so its seed is known), and checks: the canvas and the terminal's focus,
the figure pixel for pixel against the native build's (REFERENCE_PIXELS, the
tool of tests/web), a resize, a hidden tab, and the keys as real key
events: the stop, the echo, editing, Enter and the exit status; then the
run-time errors' reports of the probe (test/error_probe.html).
"""
import os
import re
import subprocess
import sys
import tempfile
import time
import unittest

from selenium.webdriver.common.action_chains import ActionChains
from selenium.webdriver.common.keys import Keys

from e2e_web_support import TERMINAL_TEXT, browser, serve, wait_for

SITE, REFERENCE = sys.argv[1], sys.argv[2]
SHOTS = sys.argv[3] if len(sys.argv) > 3 else None
SEED = 424242


# The canvas's size, its lit (not black) pixels as indexes, and their
# colours.
READ_CANVAS = """
const c = document.querySelector('#canvas-box canvas');
const d = c.getContext('2d').getImageData(0, 0, c.width, c.height).data;
const lit = [], colours = new Set();
for (let i = 0; i < d.length; i += 4) {
  if (d[i + 3] !== 255) return null;
  if (d[i] !== 0 || d[i + 1] !== 0 || d[i + 2] !== 0) {
    lit.push(i / 4);
    colours.add(d[i] + ',' + d[i + 1] + ',' + d[i + 2]);
  }
}
return [c.width, c.height, lit.join(','), Array.from(colours)];
"""



class Page(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.server = serve(SITE)
        cls.profile = tempfile.TemporaryDirectory()
        cls.driver = browser(cls.profile.name)
        cls.url = 'http://127.0.0.1:%d/' % cls.server.server_address[1]

    @classmethod
    def tearDownClass(cls):
        cls.driver.quit()
        cls.server.shutdown()
        cls.profile.cleanup()

    def js(self, script, *args):
        return self.driver.execute_script(script, *args)

    def shot(self, name):
        if SHOTS:
            self.driver.save_screenshot(os.path.join(SHOTS, name))

    def test_trigrain(self):
        d = self.driver
        d.get(self.url + 'index.html')
        self.assertIn('trigrain', d.find_element('css selector', 'a[href="trigrain.html"]').text)
        d.get(self.url + 'trigrain.html?clock=%d' % SEED)
        wait_for('the canvas', lambda: self.js("return !!document.querySelector('canvas')"))
        self.assertEqual(d.title, 'Graph window application')
        self.assertEqual(self.js("return document.getElementById('caption').textContent"),
                         'Graph window application')
        # The terminal has the keyboard focus.
        self.assertTrue(self.js("return document.activeElement.classList.contains("
                                "'xterm-helper-textarea')"))
        # The figure grows while the page is shown.
        wait_for('points', lambda: self.js(READ_CANVAS)[2].count(',') > 500)
        self.shot('web-plotting.png')

        # A hidden tab goes on plotting: the program keeps yielding.
        yields = self.js('return Module.grain.yields')
        front = d.current_window_handle
        d.switch_to.new_window('tab')
        d.get(self.url + 'index.html')
        time.sleep(1)
        d.switch_to.window(front)
        self.assertGreater(self.js('return Module.grain.yields'), yields)
        self.assertFalse(self.js('return Module.grain.exited'))

        # A smaller window: the canvas keeps its size and scrolls in its box.
        width, height = self.js("const c = document.querySelector('canvas');"
                                "return [c.width, c.height]")
        d.set_window_size(640, 480)
        wait_for('the resize', lambda: self.js('return window.innerWidth') < 700)
        box = self.js("const b = document.getElementById('canvas-box');"
                      "return [b.scrollWidth, b.clientWidth, b.scrollHeight, b.clientHeight]")
        self.assertGreater(box[0], box[1])
        self.assertGreater(box[2], box[3])
        self.assertEqual(self.js("const c = document.querySelector('canvas');"
                                 "return [c.width, c.height]"), [width, height])
        d.set_window_size(1280, 1024)

        # The first key stops the plot and starts the line; then letters
        # echo, the arrows, Home and End move, Backspace takes one back; the
        # editor overwrites.
        keys = ActionChains(d)
        keys.send_keys('a').perform()
        wait_for('the echo', lambda: 'a' in self.js(TERMINAL_TEXT))
        stopped = self.js(READ_CANVAS)
        time.sleep(0.5)
        self.assertEqual(self.js(READ_CANVAS)[2], stopped[2], 'the plot goes on after the key')
        self.shot('web-stopped.png')
        ActionChains(d).send_keys('bc', Keys.LEFT, Keys.LEFT, 'X', Keys.END, Keys.BACKSPACE,
                                  Keys.HOME, 'Y').perform()
        wait_for('the edits', lambda: 'YX' in self.js(TERMINAL_TEXT))
        # F5 shows nothing; Esc (alone: what follows at once would make it
        # Alt) empties the line.
        ActionChains(d).send_keys(Keys.F5).pause(0.3).send_keys(Keys.ESCAPE).pause(0.5).perform()
        ActionChains(d).send_keys('Qto').perform()
        wait_for('the edited line', lambda: 'Qto' in self.js(TERMINAL_TEXT))
        last = [r for r in self.js(TERMINAL_TEXT).split('\n') if r.strip()][-1]
        self.assertEqual(last.strip(), 'Qto')
        self.assertFalse(self.js('return Module.grain.exited'))
        ActionChains(d).send_keys(Keys.ENTER).perform()
        wait_for('the end', lambda: self.js('return Module.grain.exited'))
        self.assertEqual(self.js('return Module.grain.status'), 0)
        self.assertIn('trigrain ended with exit status 0',
                      d.find_element('id', 'status').text)
        self.shot('web-ended.png')

        # Pixel for pixel the native program's figure from the same seed: the
        # canvas holds exactly its first distinct pixels, and nothing else.
        w, h, lit, colours = stopped
        self.assertEqual(len(colours), 1)  # all in the one colour
        page = set(int(i) for i in lit.split(',')) if lit else set()
        native = subprocess.run([REFERENCE, 'trigrain', str(SEED), str(len(page)), str(w), str(h)],
                                check=True, capture_output=True, text=True).stdout.split('\n')
        expected = set()
        for line in native:
            if line:
                x, y = line.split()
                expected.add(int(y) * w + int(x))
        self.assertEqual(len(expected), len(page))
        self.assertEqual(page, expected)

    def test_run_time_errors(self):
        # Each ends the probe with its numbered report in the terminal, and
        # the address maps through the line tables beside the .wasm to the
        # routine that raised it.
        d = self.driver
        debug = os.path.join(SITE, 'test', 'error_probe_web.debug.wasm')
        for mode, error, source in (('range', 201, 'plotter/coords.cpp'),
                                    ('divide', 200, 'tests/web/error_probe_web.cpp'),
                                    ('memory', 216, 'tests/web/error_probe_web.cpp')):
            with self.subTest(mode=mode):
                d.get(self.url + 'test/error_probe.html?args=' + mode)
                wait_for('the canvas', lambda: self.js("return !!document.querySelector('canvas')"))
                ActionChains(d).send_keys('q').perform()
                wait_for('the end', lambda: self.js('return Module.grain.exited'))
                self.assertEqual(self.js('return Module.grain.status'), error)
                # The terminal shows what was written at its next frame.
                report = re.compile(r'Runtime error (\d+) at 0x([0-9A-F]{8})\n  0x([0-9A-F]{8})')
                match = wait_for('the report', lambda: report.search(self.js(TERMINAL_TEXT)))
                self.assertEqual(int(match.group(1)), error)
                self.assertEqual(match.group(2), match.group(3))
                where = subprocess.run(
                    ['/usr/bin/python3', '/usr/share/emscripten/emsymbolizer.py', debug,
                     '0x' + match.group(2)], check=True, capture_output=True, text=True,
                    env=dict(os.environ, NODE_PATH='/usr/share/nodejs')).stdout
                self.assertIn(source, where)


if __name__ == '__main__':
    unittest.main(argv=sys.argv[:1], verbosity=2)
