// A measuring probe for the browser build, loaded into the page before any of the page's
// own scripts (puppeteer's evaluateOnNewDocument). As the desktop probe wraps GL and GLUT
// entry points with LD_PRELOAD, this one wraps the program's imports (the GL and GLUT calls it
// makes) as the module is instantiated, passes every call on unchanged, and keeps a record
// that a scenario reads with page.evaluate(() => avifoldProbe...):
//   ticks, swaps, timerArms        counts, as the desktop probe's counts file; a tick is
//                                  a timer callback that arms the chain's next timer (one
//                                  that came before its tick was due arms none)
//   tickTimes                      performance.now() of the latest ticks
//   events                         {kind, tick, frame, ...}: context (a window the program
//                                  created), arm (a timer armed outside a tick), menu
//                                  (an entry chosen, by label), key (a key the page
//                                  saw, kept from the browser or not), heard (a key the
//                                  program's callbacks heard), reshape (the viewport the
//                                  program set), terrain (a terrain list compiled: its
//                                  vertex heights)
//   frames                         the latest frame records: birds (bird-list calls),
//                                  chars (bitmap characters), fog, clear, far, cam (yaw,
//                                  pitch, x, y, z), bird0 (x, y, z, heading), mean (x, y, z),
//                                  depthTests (bird-list calls by the depth test WebGL had)
//   capture(n, sameTick), captured()  pictures of the next n frames (or of the next two
//                                  in a row that show one tick), read at their swaps
//   liveGlObjects()                WebGL objects made and not deleted, by kind
//   heapInUse()                    bytes of the program's heap in use
(function() {
  const GL_FOG = 0xB60;
  const GL_COLOR_BUFFER_BIT = 0x4000;
  const GL_TRIANGLES = 0x4;
  const GL_TRIANGLE_STRIP = 0x5;
  const KEEP = 2000;  // frames and tick times kept

  const probe = {
    ticks: 0, swaps: 0, timerArms: 0, firstSwapTime: 0,
    tickTimes: [], events: [], frames: [],
    live: {},
    liveGlObjects() { return Object.assign({}, this.live); },
    heapInUse() { return window.Module._avifoldHeapInUse(); },
  };
  window.avifoldProbe = probe;

  function keep(list, item) {
    list.push(item);
    if (list.length > KEEP) list.splice(0, list.length - KEEP);
  }
  function event(kind, fields) {
    probe.events.push(Object.assign({kind, tick: probe.ticks, frame: probe.swaps}, fields));
  }

  // --- Ticks: the program's timer callback, behind one of the probe's own ---------------
  let inTick = false;
  const countedTicks = new Map();  // the program's callback -> the probe's, in the table
  function countedTick(func) {
    if (!countedTicks.has(func)) {
      const real = window.Module.getWasmTableEntry(func);
      countedTicks.set(func, window.Module.addFunction((value) => {
        const start = performance.now();
        const arms = probe.timerArms;
        inTick = true;
        try { real(value); } finally { inTick = false; }
        if (probe.timerArms == arms) return;
        probe.ticks++;
        keep(probe.tickTimes, start);
      }, 'vi'));
    }
    return countedTicks.get(func);
  }

  // --- Keys the program heard: its key callbacks, behind the probe's own ----------------
  const heard = new Map();  // the program's callback -> the probe's, in the table
  function heardKeys(func, callback) {
    if (!func) return func;
    if (!heard.has(func)) {
      const real = window.Module.getWasmTableEntry(func);
      heard.set(func, window.Module.addFunction((key, x, y) => {
        event('heard', {callback, key});
        real(key, x, y);
      }, 'viii'));
    }
    return heard.get(func);
  }

  // --- Pictures of the canvas as frames leave it -------------------------------------
  const pictures = {wanted: 0, sameTick: false, taken: []};
  function takePicture() {
    const gl = window.Module.ctx;
    const width = gl.drawingBufferWidth, height = gl.drawingBufferHeight;
    const data = new Uint8Array(width * height * 4);
    gl.readPixels(0, 0, width, height, gl.RGBA, gl.UNSIGNED_BYTE, data);
    const taken = pictures.taken;
    taken.push({width, height, frame: probe.swaps + 1, tick: probe.ticks, data});
    // Waiting for two frames in a row that show one tick: a new tick starts the pair again.
    if (pictures.sameTick && taken.length == 2 && taken[0].tick != taken[1].tick) {
      taken.shift();
      return;
    }
    pictures.wanted--;
  }
  // The next `count` frames, read at their swaps, rows from the bottom; with `sameTick`,
  // the first two frames in a row that show the same tick.
  probe.capture = (count, sameTick = false) => {
    Object.assign(pictures, {wanted: sameTick ? 2 : count, sameTick, taken: []});
  };
  // Encoded only when asked for, not at the swap, so as to slow the frames read no more.
  probe.captured = () => (pictures.wanted > 0 ? null : pictures.taken.map((p) => {
    let text = '';
    for (let i = 0; i < p.data.length; i += 0x8000) {
      text += String.fromCharCode.apply(null, p.data.subarray(i, i + 0x8000));
    }
    return Object.assign({}, p, {data: btoa(text)});
  }));

  // --- What each frame asks of GL ----------------------------------------------------
  let frame = null;
  let clear = [0, 0, 0, 0];
  let fog = 0;
  let far = 0;
  let cameraStep = -1;
  let pushDepth = 0;
  let birdStep = 0;
  // The depth test as the page's GL last gave it to WebGL, not as the program asked.
  let webglDepthFunc = 0;
  const realDepthFunc = WebGLRenderingContext.prototype.depthFunc;
  WebGLRenderingContext.prototype.depthFunc = function(func) {
    webglDepthFunc = func;
    return realDepthFunc.call(this, func);
  };
  let birdList = 0;
  let compiling = 0;
  let compile = null;

  function startFrame() {
    frame = {birds: 0, chars: 0, fog: 0, clear: clear.slice(), far: 0, cam: [0, 0, 0, 0, 0],
             bird0: [0, 0, 0, 0], sum: [0, 0, 0], placed: 0, depthTests: {}};
    cameraStep = -1;
    pushDepth = 0;
    birdStep = 0;
  }
  startFrame();

  function finishFrame() {
    frame.fog = fog;
    frame.far = far;
    const n = frame.placed || 1;
    frame.mean = frame.sum.map((s) => s / n);
    frame.tick = probe.ticks;
    frame.frame = probe.swaps;
    keep(probe.frames, frame);
  }

  const wrappers = {
    glutTimerFunc(real, ms, func, value) {
      probe.timerArms++;
      // A tick re-arms its own chain; an arm from anywhere else is worth an event.
      if (!inTick) event('arm', {ms});
      real(ms, countedTick(func), value);
    },
    glutKeyboardFunc(real, func) { real(heardKeys(func, 'keyboard')); },
    glutSpecialFunc(real, func) { real(heardKeys(func, 'special')); },
    glutSpecialUpFunc(real, func) { real(heardKeys(func, 'specialUp')); },
    glutSwapBuffers(real) {
      if (pictures.wanted > 0) takePicture();
      real();
      probe.swaps++;
      if (!probe.firstSwapTime) probe.firstSwapTime = performance.now();
      finishFrame();
    },
    glutCreateWindow(real, title) {
      const id = real(title);
      event('context', {window: id});
      return id;
    },
    glutBitmapCharacter(real, font, c) { real(font, c); frame.chars++; },
    glClear(real, mask) {
      real(mask);
      if (mask & GL_COLOR_BUFFER_BIT) startFrame();
    },
    glClearColor(real, r, g, b, a) { real(r, g, b, a); clear = [r, g, b, a]; },
    glEnable(real, cap) { real(cap); if (cap == GL_FOG) fog = 1; },
    glDisable(real, cap) { real(cap); if (cap == GL_FOG) fog = 0; },
    gluPerspective(real, fovy, aspect, near, farPlane) {
      real(fovy, aspect, near, farPlane);
      far = farPlane;
    },
    glViewport(real, x, y, w, h) { real(x, y, w, h); event('reshape', {w, h}); },
    glLoadIdentity(real) { real(); if (cameraStep == -1) cameraStep = 0; },
    glRotatef(real, angle, x, y, z) {
      real(angle, x, y, z);
      if (cameraStep == 0 || cameraStep == 1) frame.cam[cameraStep++] = angle;
      // A bird is turned to its heading about the vertical right after it is placed.
      if (birdStep == 2 && x == 0 && y == 1 && z == 0 && frame.placed == 1) frame.bird0[3] = angle;
      birdStep = 0;
    },
    glTranslatef(real, x, y, z) {
      real(x, y, z);
      if (cameraStep == 2) {
        frame.cam[2] = x; frame.cam[3] = y; frame.cam[4] = z;
        cameraStep = 3;
      }
      // Each bird is drawn in a matrix of its own, placed by the first translation in it.
      if (birdStep == 1) {
        if (frame.placed == 0) frame.bird0 = [x, y, z, 0];
        frame.sum[0] += x; frame.sum[1] += y; frame.sum[2] += z;
        frame.placed++;
        birdStep = 2;
        return;
      }
      birdStep = 0;
    },
    glPushMatrix(real) { real(); pushDepth++; birdStep = pushDepth == 1 ? 1 : 0; },
    glPopMatrix(real) { real(); if (pushDepth > 0) pushDepth--; },
    glCallList(real, list) {
      real(list);
      if (list != birdList || list == 0) return;
      frame.birds++;
      frame.depthTests[webglDepthFunc] = (frame.depthTests[webglDepthFunc] || 0) + 1;
    },
    glNewList(real, list, mode) {
      real(list, mode);
      compiling = list;
      compile = {mode: 0, strips: false, triangles: false, vertices: 0, nonzero: 0, digest: 0x811c9dc5};
    },
    glBegin(real, mode) {
      real(mode);
      if (!compiling) return;
      compile.mode = mode;
      compile.strips = compile.strips || mode == GL_TRIANGLE_STRIP;
      compile.triangles = compile.triangles || mode == GL_TRIANGLES;
    },
    glVertex3f(real, x, y, z) {
      real(x, y, z);
      if (!compiling || compile.mode != GL_TRIANGLE_STRIP) return;
      const bits = new Uint8Array(new Float32Array([y]).buffer);
      for (const b of bits) compile.digest = Math.imul(compile.digest ^ b, 0x01000193) >>> 0;
      compile.vertices++;
      if (y != 0) compile.nonzero++;
    },
    glEndList(real) {
      real();
      if (!compiling) return;
      // The bird model is one list of triangles, the terrain one of strips.
      if (compile.triangles) birdList = compiling;
      if (compile.strips) {
        event('terrain', {vertices: compile.vertices, nonzero: compile.nonzero,
                          digest: compile.digest.toString(16)});
      }
      compiling = 0;
    },
  };

  function wrapImports(imports) {
    const env = imports && imports.env;
    if (!env) return;
    for (const name of Object.keys(wrappers)) {
      const real = env[name];
      if (typeof real !== 'function') continue;
      env[name] = (...args) => wrappers[name](real, ...args);
    }
  }
  const realInstantiate = WebAssembly.instantiate;
  WebAssembly.instantiate = function(source, imports) {
    wrapImports(imports);
    return realInstantiate.call(WebAssembly, source, imports);
  };
  const realInstantiateStreaming = WebAssembly.instantiateStreaming;
  WebAssembly.instantiateStreaming = function(source, imports) {
    wrapImports(imports);
    return realInstantiateStreaming.call(WebAssembly, source, imports);
  };

  // --- Input the page delivered: menu choices and keys --------------------------------
  window.addEventListener('click', (e) => {
    const entry = e.target.closest && e.target.closest('.glut-entry');
    if (entry && !entry.classList.contains('glut-has-submenu')) {
      event('menu', {label: entry.firstChild.textContent});
    }
  }, true);
  // Seen last, once the page has kept the key from the browser (cancelled) or not.
  for (const kind of ['keydown', 'keyup']) {
    window.addEventListener(kind, (e) => event('key', {type: kind, key: e.key,
                                                       cancelled: e.defaultPrevented}));
  }

  // --- Live WebGL objects --------------------------------------------------------------
  const kinds = ['Texture', 'Buffer', 'Program', 'Shader', 'Framebuffer', 'Renderbuffer'];
  const proto = WebGLRenderingContext.prototype;
  for (const kind of kinds) {
    const make = proto['create' + kind];
    const remove = proto['delete' + kind];
    const alive = new WeakSet();
    probe.live[kind] = 0;
    proto['create' + kind] = function(...args) {
      const object = make.apply(this, args);
      if (object) { alive.add(object); probe.live[kind]++; }
      return object;
    };
    proto['delete' + kind] = function(object) {
      if (object && alive.has(object)) { alive.delete(object); probe.live[kind]--; }
      return remove.call(this, object);
    };
  }
})();
