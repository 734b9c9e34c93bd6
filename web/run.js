// Appended to each program's script (emcc --post-js): starts the program
// and turns a trap, wherever it stops the program, into its run-time
// error report. Module.grain (web/page.js) must be set before.
Module['grainRun'] = function () {
  const top = stackSave();
  let trapped = false;
  const guard = function (body) {
    try {
      body();
    } catch (e) {
      if (e === 'unwind' || e instanceof ExitStatus || trapped) return;
      trapped = true;
      // A trap unwound every frame: start the report on a fresh stack.
      const message = String(e && e.message ? e.message : e);
      const where = /wasm-function\[\d+\]:0x([0-9a-f]+)/.exec(String(e && e.stack));
      stackRestore(top);
      const text = _malloc(message.length * 3 + 1);
      stringToUTF8(message, text, message.length * 3 + 1);
      guard(function () { Module['_grain_trap'](text, where ? parseInt(where[1], 16) : 0); });
    }
  };
  Module.grain.guard = guard;
  guard(function () { callMain(Module.grain.arguments); });
};
