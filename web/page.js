// The page around the program: it loads the program and its images, showing how much has
// arrived, says in the page what went wrong when something fails, tells the visitor how
// to give the canvas the keys, and shows the console panel, which prints what the
// program writes to standard output and error byte by byte as a terminal would.
(function() {
  var canvas = document.getElementById('canvas');
  var panel = document.getElementById('console');
  var status = document.getElementById('status');
  var hint = document.getElementById('hint');
  var SERVE_COMMAND = 'python3 -m http.server --bind 127.0.0.1 -d build-web/site 8000';
  var failed = 0;  // 1 once a failure is shown: it stays, and nothing else replaces it

  // --- What the page says over the canvas --------------------------------------------

  // A note over the canvas (loading, a lost picture); null takes it away.
  function say(text) {
    if (failed) return;
    status.hidden = text === null;
    if (text !== null) status.textContent = text;
  }

  // A failure the demo cannot get over: said over the canvas, for good.
  function fail(text) {
    if (failed) return;
    say(text);
    failed = 1;
    status.className = 'failed';
    status.setAttribute('role', 'alert');
  }

  // A file that did not arrive. Opened from disk, the browser refuses to read the site's
  // files at all: the visitor needs a web server, not another try.
  function failToLoad(name, why) {
    if (location.protocol === 'file:') {
      fail('This page was opened from disk, and the browser will not let it read ' + name +
           ' from there.\nServe the site and open it from the server:\n  ' + SERVE_COMMAND +
           '\nthen http://127.0.0.1:8000/');
      return;
    }
    fail('Avifold could not load ' + name + (why ? ' (' + why + ')' : '') +
         '.\nCheck the connection and reload the page.');
  }

  function hasWebGL() {
    var gl = null;
    try {
      gl = document.createElement('canvas').getContext('webgl');
    } catch (error) {
      gl = null;
    }
    if (!gl) return 0;
    var loser = gl.getExtension('WEBGL_lose_context');
    if (loser) loser.loseContext();  // only a question: give the context back at once
    return 1;
  }

  // --- The console panel --------------------------------------------------------------

  var decoder = new TextDecoder();
  function writer() {
    return function(byte) {
      if (byte === null || byte === undefined) return;
      panel.textContent += decoder.decode(new Uint8Array([byte]), {stream: true});
      panel.scrollTop = panel.scrollHeight;
    };
  }

  // --- The keys and the touch screen ----------------------------------------------------

  var touchScreen = 0;
  function showHint() {
    if (touchScreen) {
      hint.textContent = 'Hold a finger on the picture, or tap Menu, for the menu; ' +
                         'the arrow buttons fly bird 0.';
    } else if (document.activeElement === canvas) {
      hint.textContent = 'The picture has the keys: the arrow keys fly bird 0; ' +
                         'Shift+F10 opens the menu.';
    } else {
      hint.textContent = 'Click the picture to give it the keys.';
    }
  }
  function becomeTouchScreen() {
    if (touchScreen) return;
    touchScreen = 1;
    document.body.classList.add('touch');
    showHint();
  }
  if (navigator.maxTouchPoints > 0 || window.matchMedia('(pointer: coarse)').matches) {
    becomeTouchScreen();
  }
  window.addEventListener('pointerdown', function(event) {
    if (event.pointerType === 'touch') becomeTouchScreen();
  }, {capture: true, passive: true});
  canvas.addEventListener('focus', showHint);
  canvas.addEventListener('blur', showHint);
  showHint();

  // --- Loading -------------------------------------------------------------------------

  // The bytes of a file as they arrive; 0 when it cannot be had.
  function fetchBytes(name, onArrived) {
    return fetch(name).then(function(response) {
      if (!response.ok) {
        failToLoad(name, response.status + ' ' + response.statusText);
        return 0;
      }
      var length = response.headers.get('Content-Length');
      var plain = !response.headers.get('Content-Encoding');
      onArrived(0, plain && length ? Number(length) : 0);
      if (!response.body || !response.body.getReader) return response.arrayBuffer();
      var reader = response.body.getReader();
      var parts = [];
      var size = 0;
      function next() {
        return reader.read().then(function(part) {
          if (part.done) return joined(parts, size);
          parts.push(part.value);
          size += part.value.length;
          onArrived(part.value.length, 0);
          return next();
        });
      }
      return next();
    }).catch(function(error) {
      failToLoad(name, String(error && error.message || error));
      return 0;
    });
  }

  function joined(parts, size) {
    var bytes = new Uint8Array(size);
    var at = 0;
    for (var i = 0; i < parts.length; i++) {
      bytes.set(parts[i], at);
      at += parts[i].length;
    }
    return bytes.buffer;
  }

  // The share of the bytes arrived, of the program and its images: their sizes come from
  // the images' list and, where the server says it, the program's length.
  var arrived = 0;
  var expected = 0;
  function progress(bytes, more) {
    arrived += bytes;
    expected += more;
    var share = expected > 0 ? Math.min(99, Math.floor(100 * arrived / expected)) : 0;
    say('Loading Avifold: ' + share + ' %');
  }

  function loadScript(name) {
    return new Promise(function(resolve) {
      var script = document.createElement('script');
      script.src = name;
      script.async = false;
      script.onload = function() { resolve(1); };
      script.onerror = function() {
        failToLoad(name, '');
        resolve(0);
      };
      document.body.appendChild(script);
    });
  }

  // Whatever began Module before the page (an instrument) keeps what it set.
  var module = window.Module || {};
  module.canvas = canvas;
  module.stdout = writer();
  module.stderr = writer();
  // The runtime's own notes (about its GL emulation) are not the program's output.
  module.print = function(text) { console.log(text); };
  module.printErr = function(text) { console.warn(text); };
  module.onAbort = function(what) { fail('The program stopped: ' + what); };
  // The page's GLUT says what becomes of the picture: its first frame, a lost context.
  module.avifoldSay = say;
  module.avifoldFail = fail;
  window.Module = module;

  if (!hasWebGL()) {
    fail('Avifold draws with WebGL, which this browser does not offer or has turned off.\n' +
         'Turn WebGL on, or open the page in another browser.');
    return;
  }
  say('Loading Avifold: 0 %');

  var images = fetch('avifold-data.js.metadata').then(function(response) {
    if (!response.ok) {
      failToLoad('avifold-data.js.metadata', response.status + ' ' + response.statusText);
      return 0;
    }
    return response.json();
  }).catch(function(error) {
    failToLoad('avifold-data.js.metadata', String(error && error.message || error));
    return 0;
  }).then(function(list) {
    if (!list) return 0;
    progress(0, list.remote_package_size);
    return fetchBytes('avifold.data', function(bytes) { progress(bytes, 0); });
  });
  var program = fetchBytes('avifold.wasm', progress);

  // The runtime waits for the images before it runs the program; the package's loader
  // takes them from here instead of fetching them again.
  var imagesHeld = 0;
  var imagesReady = 0;
  module.preRun = [].concat(module.preRun || [], function() {
    if (imagesReady) return;
    imagesHeld = 1;
    module.addRunDependency('avifold.data');
  });
  module.instantiateWasm = function(imports, receive) {
    program.then(function(bytes) {
      if (!bytes) return;
      return WebAssembly.instantiate(bytes, imports).then(function(made) {
        receive(made.instance, made.module);
      });
    }).catch(function(error) {
      fail('The program avifold.wasm could not start (' + String(error && error.message || error) +
           ').');
    });
    return {};
  };

  loadScript('avifold.js');
  Promise.all([images, program]).then(function(loaded) {
    if (!loaded[0] || !loaded[1]) return;
    say('Starting Avifold');
    module.getPreloadedPackage = function() { return loaded[0]; };
    loadScript('avifold-data.js').then(function(ok) {
      if (!ok) return;
      imagesReady = 1;
      if (imagesHeld) module.removeRunDependency('avifold.data');
    });
  });
})();
