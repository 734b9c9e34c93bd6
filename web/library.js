// The JavaScript side of the browser build's backends (emcc --js-library).
// The page (web/page.js) sets Module.grain, an object with: write(handle,
// bytes), clockStart, yield(wake, ms), takeInput(), terminalInfo(),
// present(heap, pointer, width, height, x, y, w, h), openCanvas(width, height,
// title), screen() and exit(status). Without it (node, the unit tests) the
// output goes to node's streams and a yield is a turn of node's loop.
mergeInto(LibraryManager.library, {
  grain_write: function (handle, data, size) {
    const bytes = HEAPU8.slice(data, data + size);
    if (Module.grain) Module.grain.write(handle, bytes);
    else if (ENVIRONMENT_IS_NODE) require('fs').writeSync(handle, bytes);
  },
  grain_clock_start: function () {
    return Module.grain && Module.grain.clockStart >= 0 ? Module.grain.clockStart : -1;
  },
  grain_yield: function (ms) {
    return Asyncify.handleSleep(function (wake) {
      if (Module.grain) Module.grain.yield(wake, ms);
      else setTimeout(wake, ms);
    });
  },
  grain_take_input: function (buffer, room) {
    const bytes = Module.grain ? Module.grain.takeInput(room) : [];
    HEAPU8.set(bytes, buffer);
    return bytes.length;
  },
  grain_terminal_info: function (info) {
    const t = Module.grain ? Module.grain.terminalInfo() : [80, 25, 0, 24, 0];
    for (let i = 0; i < 5; ++i) HEAP32[(info >> 2) + i] = t[i] | 0;
  },
  grain_screen: function (info) {
    const s = Module.grain ? Module.grain.screen() : [1024, 768];
    HEAP32[info >> 2] = s[0];
    HEAP32[(info >> 2) + 1] = s[1];
  },
  grain_open_canvas: function (width, height, title) {
    return Module.grain ? Module.grain.openCanvas(width, height, UTF8ToString(title)) : 0;
  },
  grain_present: function (image, width, height, x, y, w, h) {
    if (Module.grain) Module.grain.present(HEAPU8, image, width, height, x, y, w, h);
  },
  grain_exit: function (status) {
    if (Module.grain) Module.grain.exit(status);
    else if (ENVIRONMENT_IS_NODE) process.exit(status);
    throw 'unwind';
  },
});
