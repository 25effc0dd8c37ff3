// The page around the program: its canvas is the window, and the console panel under it
// shows what the program writes to standard output and error, byte by byte as a terminal
// would (a message without a line break shows at once).
(function() {
  var panel = document.getElementById('console');
  var decoder = new TextDecoder();

  function writer() {
    return function(byte) {
      if (byte === null || byte === undefined) return;
      panel.textContent += decoder.decode(new Uint8Array([byte]), {stream: true});
      panel.scrollTop = panel.scrollHeight;
    };
  }

  // Whatever began Module before the page (an instrument) keeps what it set.
  var module = window.Module || {};
  module.canvas = document.getElementById('canvas');
  module.stdout = writer();
  module.stderr = writer();
  // The runtime's own notes (about its GL emulation) are not the program's output.
  module.print = function(text) { console.log(text); };
  module.printErr = function(text) { console.warn(text); };
  module.onAbort = function(what) { panel.textContent += '\nThe program stopped: ' + what + '\n'; };
  window.Module = module;
})();
