// A program's page: the terminal, the canvas of its graph window, and the
// hooks the program's backends call (Module.grain; web/library.js). The
// program's script is loaded last and started once the terminal is up.
'use strict';
(function () {
  const program = document.body.dataset.program;
  const params = new URLSearchParams(location.search);
  const encoder = new TextEncoder();

  const term = new Terminal({ convertEol: true, cursorBlink: false, scrollback: 1000 });
  const fit = new FitAddon.FitAddon();
  term.loadAddon(fit);
  term.open(document.getElementById('terminal'));
  fit.fit();
  let resized = false;
  term.onResize(function () { resized = true; });
  window.addEventListener('resize', function () { fit.fit(); });
  term.focus();
  // A tap on the terminal focuses its text area, which brings the
  // on-screen keyboard.
  document.getElementById('console').addEventListener('click', function () { term.focus(); });

  let input = [];
  let wakeOnInput = null;
  term.onData(function (data) {
    for (const b of encoder.encode(data)) input.push(b);
    if (wakeOnInput) wakeOnInput();
  });

  let canvas = null, context = null;
  const status = document.getElementById('status');
  const channel = new MessageChannel();
  let afterMessage = null;
  channel.port1.onmessage = function () { const f = afterMessage; afterMessage = null; if (f) f(); };

  const grain = {
    clockStart: params.has('clock') ? Number(params.get('clock')) : -1,
    arguments: params.has('args') ? params.get('args').split(' ') : [],
    exited: false,
    yields: 0,
    status: null,
    write: function (handle, bytes) { term.write(bytes); },
    takeInput: function (room) { return input.splice(0, room); },
    terminalInfo: function () {
      const b = term.buffer.active;
      const r = resized;
      resized = false;
      return [term.cols, term.rows, b.cursorX, b.cursorY, r ? 1 : 0];
    },
    // In device pixels, so that each canvas pixel is one of the display's.
    screen: function () {
      const ratio = window.devicePixelRatio || 1;
      return [Math.round(screen.width * ratio), Math.round(screen.height * ratio)];
    },
    openCanvas: function (width, height, title) {
      const ratio = window.devicePixelRatio || 1;
      canvas = document.createElement('canvas');
      canvas.width = width;
      canvas.height = height;
      canvas.style.width = width / ratio + 'px';
      canvas.style.height = height / ratio + 'px';
      canvas.setAttribute('aria-label', title);
      document.getElementById('canvas-box').appendChild(canvas);
      document.getElementById('caption').textContent = title;
      document.title = title;
      context = canvas.getContext('2d');
      return 1;
    },
    present: function (heap, image, width, height, x, y, w, h) {
      const all = new ImageData(new Uint8ClampedArray(heap.buffer, image, width * height * 4),
                                width, height);
      context.putImageData(all, 0, 0, x, y, w, h);
    },
    // Back at the next frame; hidden (no frames come), at once. With `ms`,
    // when a key comes or the time is up.
    yield: function (wake, ms) {
      ++grain.yields;
      let done = false;
      let timer = 0;
      const resume = function () {
        if (done) return;
        done = true;
        clearTimeout(timer);
        wakeOnInput = null;
        grain.guard(wake);
      };
      if (ms > 0) {
        wakeOnInput = resume;
        timer = setTimeout(resume, ms);
      } else if (document.hidden) {
        afterMessage = resume;
        channel.port2.postMessage(0);
      } else {
        requestAnimationFrame(resume);
        timer = setTimeout(resume, 100);  // the tab was hidden meanwhile
      }
    },
    exit: function (code) {
      grain.exited = true;
      grain.status = code;
      status.textContent = program + ' ended with exit status ' + code;
      const again = document.createElement('button');
      again.textContent = 'Run again';
      again.addEventListener('click', function () { location.reload(); });
      status.appendChild(again);
    },
  };
  // The C library's own standard output and error go to the terminal too.
  const line = function (text) { term.write(text + '\n'); };
  window.Module = {
    grain: grain,
    print: line,
    printErr: line,
    onRuntimeInitialized: function () { Module.grainRun(); },
  };

  const script = document.createElement('script');
  script.src = program + '.js';
  document.body.appendChild(script);
})();
