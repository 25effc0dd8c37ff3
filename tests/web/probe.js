// A measuring probe for the browser build, loaded into the page before any of the page's
// own scripts (puppeteer's evaluateOnNewDocument). As the desktop probe wraps GL and GLUT
// entry points with LD_PRELOAD, this one wraps the program's imports (its GL and GLUT calls)
// as the module is instantiated, passes every call on unchanged, and keeps a record that a
// scenario reads with page.evaluate(() => avifoldProbe...):
//   ticks, swaps, timerArms: counts as the desktop probe's; a tick is a timer
//     callback that arms the chain's next timer (one that came early arms none)
//   tickTimes: performance.now() of the latest ticks
//   events {kind, tick, frame, ...}: context (a window created), arm (a timer armed outside a
//     tick), menu (an entry chosen, by label), key (a key the page saw, kept from the browser
//     or not), heard (a key the program heard), reshape (its viewport), terrain (a terrain
//     list compiled: its vertex heights)
//   frames: the latest frames' birds (bird-list calls), chars (bitmap characters), fog, clear,
//     far, cam (yaw, pitch, x, y, z), bird0 (x, y, z, heading), mean (x, y, z), depthTests
//     (bird-list calls by the depth test WebGL had)
//   capture(n, sameTick), captured(): pictures of the next n frames (or of the next two in a
//     row that show one tick), read at their swaps
//   liveGlObjects(), heapInUse(): WebGL objects made and not deleted, by kind; heap bytes used
(function() {
  const GL_FOG = 0xB60;
  const GL_COLOR_BUFFER_BIT = 0x4000;
  const GL_TRIANGLES = 0x4;
  const GL_TRIANGLE_STRIP = 0x5;
  const KEEP = 2000;  // frames and tick times kept

  const probe = {
    ticks: 0, swaps: 0, timerArms: 0,
    tickTimes: [], events: [], frames: [], live: {},
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

  // The program's callback `func` behind one of the probe's own (`wrap` of the real one),
  // added to the function table once.
  const wrapped = new Map();
  function behind(func, signature, wrap) {
    if (func && !wrapped.has(func)) {
      const real = window.Module.getWasmTableEntry(func);
      wrapped.set(func, window.Module.addFunction(wrap(real), signature));
    }
    return func && wrapped.get(func);
  }

  // A timer callback that arms the chain's next timer is a tick.
  let inTick = false;
  const countedTick = (real) => (value) => {
    const [start, arms] = [performance.now(), probe.timerArms];
    inTick = true;
    try { real(value); } finally { inTick = false; }
    if (probe.timerArms == arms) return;
    probe.ticks++;
    keep(probe.tickTimes, start);
  };
  const heardKeys = (callback) => (real) => (key, x, y) => {
    event('heard', {callback, key});
    real(key, x, y);
  };

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
    } else {
      pictures.wanted--;
    }
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
  let fog = 0, far = 0;  // as the program last set them
  let cameraStep = -1, pushDepth = 0, birdStep = 0;  // how far this frame's matrices have come
  // The depth test as the page's GL last gave it to WebGL, not as the program asked.
  let webglDepthFunc = 0;
  const realDepthFunc = WebGLRenderingContext.prototype.depthFunc;
  WebGLRenderingContext.prototype.depthFunc = function(func) {
    webglDepthFunc = func;
    return realDepthFunc.call(this, func);
  };
  let birdList = 0, compiling = 0, compile = null;  // the bird model's list; the list compiled

  function startFrame() {
    frame = {birds: 0, chars: 0, fog: 0, clear: clear.slice(), far: 0, cam: [0, 0, 0, 0, 0],
             bird0: [0, 0, 0, 0], sum: [0, 0, 0], placed: 0, depthTests: {}};
    [cameraStep, pushDepth, birdStep] = [-1, 0, 0];
  }
  startFrame();

  function finishFrame() {
    const n = frame.placed || 1;
    Object.assign(frame, {fog, far, mean: frame.sum.map((s) => s / n), tick: probe.ticks,
                          frame: probe.swaps});
    keep(probe.frames, frame);
  }

  const wrappers = {
    glutTimerFunc(real, ms, func, value) {
      probe.timerArms++;
      // A tick re-arms its own chain; an arm from anywhere else is worth an event.
      if (!inTick) event('arm', {ms});
      real(ms, behind(func, 'vi', countedTick), value);
    },
    glutKeyboardFunc(real, func) { real(behind(func, 'viii', heardKeys('keyboard'))); },
    glutSpecialFunc(real, func) { real(behind(func, 'viii', heardKeys('special'))); },
    glutSpecialUpFunc(real, func) { real(behind(func, 'viii', heardKeys('specialUp'))); },
    glutSwapBuffers(real) {
      if (pictures.wanted > 0) takePicture();
      real();
      probe.swaps++;
      finishFrame();
    },
    glutCreateWindow(real, title) {
      const id = real(title);
      event('context', {window: id});
      return id;
    },
    glutBitmapCharacter(real, font, c) { real(font, c); frame.chars++; },
    glClear(real, mask) { real(mask); if (mask & GL_COLOR_BUFFER_BIT) startFrame(); },
    glClearColor(real, r, g, b, a) { real(r, g, b, a); clear = [r, g, b, a]; },
    glEnable(real, cap) { real(cap); if (cap == GL_FOG) fog = 1; },
    glDisable(real, cap) { real(cap); if (cap == GL_FOG) fog = 0; },
    gluPerspective(real, fovy, aspect, near, f) { real(fovy, aspect, near, f); far = f; },
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
      if (cameraStep == 2) { frame.cam.splice(2, 3, x, y, z); cameraStep = 3; }
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
      compile = {mode: 0, strips: false, triangles: false, vertices: 0, nonzero: 0,
                 digest: 0x811c9dc5};
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

  function wrapImports(env) {
    for (const [name, wrapper] of Object.entries(wrappers)) {
      const real = env[name];
      if (typeof real === 'function') env[name] = (...args) => wrapper(real, ...args);
    }
  }
  for (const name of ['instantiate', 'instantiateStreaming']) {
    const real = WebAssembly[name];
    WebAssembly[name] = function(source, imports) {
      if (imports && imports.env) wrapImports(imports.env);
      return real.call(WebAssembly, source, imports);
    };
  }

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
  const proto = WebGLRenderingContext.prototype;
  for (const kind of ['Texture', 'Buffer', 'Program', 'Shader', 'Framebuffer', 'Renderbuffer']) {
    const [make, remove, alive] = [proto['create' + kind], proto['delete' + kind], new WeakSet()];
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
