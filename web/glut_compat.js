// The parts of GLUT that Avifold uses and emscripten's GLUT lacks or does differently
// from freeglut on a desktop, for a page whose one canvas is the program's window:
//  - windows: the page has one canvas and keeps one WebGL context for the whole run
//    (a context made again would build the whole GL emulation again). A window the
//    program creates after the first starts as a new context would: gl_compat.js drops
//    the program's textures and lists and puts GL's initial state back. Each new window
//    gets its reshape before its first frame, as freeglut delivers it;
//  - full screen: glutFullScreen asks the browser to show the canvas full screen, and
//    destroying that window leaves it. The browser's own way out (its Escape, which the
//    page never sees as a key) reaches the program as the Escape key it stands for;
//  - game mode: a page cannot switch the display's video mode, so game mode is never
//    active, as on a desktop display without video modes;
//  - menus: an HTML menu over the canvas, built from the entries the program added,
//    opened by the button it is attached to; a choice calls the menu's callback with that
//    menu current, as freeglut does;
//  - bitmap characters of GLUT_BITMAP_HELVETICA_18, drawn at the raster position;
//  - timers, which freeglut runs between frames once they are due: a browser lets its own
//    timeouts wait behind a busy frame pipeline, so each frame first runs the timers that
//    are due, and a timeout still wakes a page that draws no frames (a hidden tab).

var LibraryAvifoldGlut = {
  $AvifoldGlut__deps: ['$GLUT', '$Browser', '$AvifoldGL', '$Helvetica18', 'glBegin', 'glEnd',
                       'glVertex3f', 'glTexCoord2f', 'glEnable', 'glDisable', 'glBindTexture',
                       'glMatrixMode', 'glPushMatrix', 'glPopMatrix', 'glLoadIdentity',
                       'glOrtho', 'glBlendFunc', 'glColor4f', 'glTexImage2D',
                       'glTexParameteri'],
  $AvifoldGlut: {
    windows: {},          // window id -> {fullScreen: 0 or 1, [button]: attached menu id}
    nextWindow: 1,
    current: 0,           // the current window's id; 0: none
    menus: {},            // menu id -> {callback, entries: [{label, value, subMenu}]}
    nextMenu: 1,
    currentMenu: 0,
    openMenu: null,       // the menu's element while it is shown
    pendingReshape: null, // [width, height] to deliver before the next frame
    timers: [],           // armed timers: {due (performance.now() ms), func, value}
    gameModeString: '',
    closeFunc: 0,         // registered and kept; a page is never closed under the program
    glyphTexture: 0,      // GL name of the bitmap font's glyphs, made once for the run
    glyphPlaces: {},      // character -> [x, y] of its glyph in that texture
    kGlyphTextureSize: 512,

    canvas: function() {
      return Module['canvas'];
    },

    // The canvas's drawing buffer follows the window's size; the program hears of it
    // through its reshape callback before the next frame.
    resize: function(width, height) {
      var canvas = AvifoldGlut.canvas();
      canvas.width = width;
      canvas.height = height;
      AvifoldGlut.pendingReshape = [width, height];
    },

    deliverReshape: function() {
      var size = AvifoldGlut.pendingReshape;
      if (size === null || !GLUT.reshapeFunc) return;
      AvifoldGlut.pendingReshape = null;
      {{{ makeDynCall('vii', 'GLUT.reshapeFunc') }}}(size[0], size[1]);
    },

    // Runs a timer once, by whichever comes first: its timeout or a frame after it is due.
    runTimer: function(timer) {
      var index = AvifoldGlut.timers.indexOf(timer);
      if (index < 0) return;
      AvifoldGlut.timers.splice(index, 1);
      clearTimeout(timer.timeout);
      {{{ makeDynCall('vi', 'timer.func') }}}(timer.value);
    },

    runDueTimers: function() {
      var now = performance.now();
      var due = AvifoldGlut.timers.filter(function(timer) { return timer.due <= now; });
      for (var i = 0; i < due.length; i++) AvifoldGlut.runTimer(due[i]);
    },

    fullScreenWindow: function() {
      var surface = AvifoldGlut.windows[AvifoldGlut.current];
      return surface && surface.fullScreen ? surface : null;
    },

    // Full screen shown, or left by the browser.
    onFullScreenChange: function() {
      var canvas = AvifoldGlut.canvas();
      if (document.fullscreenElement === canvas) {
        AvifoldGlut.resize(canvas.clientWidth, canvas.clientHeight);
        return;
      }
      if (AvifoldGlut.fullScreenWindow() === null || !GLUT.keyboardFunc) return;
      {{{ makeDynCall('viii', 'GLUT.keyboardFunc') }}}(27, Browser.mouseX, Browser.mouseY);
    },

    // Where the browser refuses full screen (no click led to it), the canvas covers the
    // page instead, as a full-screen window covers a display.
    coverPage: function() {
      if (AvifoldGlut.fullScreenWindow() === null) return;
      var canvas = AvifoldGlut.canvas();
      canvas.classList.add('glut-covering');
      AvifoldGlut.resize(window.innerWidth, window.innerHeight);
    },

    // --- Menus -------------------------------------------------------------------------

    onMouseDown: function(event) {
      if (event.target !== AvifoldGlut.canvas()) {
        if (AvifoldGlut.openMenu && !AvifoldGlut.openMenu.contains(event.target)) {
          AvifoldGlut.closeMenu();
        }
        return;
      }
      AvifoldGlut.closeMenu();
      var surface = AvifoldGlut.windows[AvifoldGlut.current];
      var menu = surface ? surface[event.button] : 0;
      if (menu && AvifoldGlut.menus[menu]) {
        event.preventDefault();
        AvifoldGlut.showMenu(menu, event.clientX, event.clientY);
      }
    },

    menuElement: function(menuId) {
      var element = document.createElement('div');
      element.className = 'glut-menu';
      element.setAttribute('role', 'menu');
      var entries = AvifoldGlut.menus[menuId].entries;
      for (var i = 0; i < entries.length; i++) {
        var entry = entries[i];
        var item = document.createElement('div');
        item.className = 'glut-entry';
        item.setAttribute('role', 'menuitem');
        var label = document.createElement('span');
        label.textContent = entry.label;
        item.appendChild(label);
        if (entry.subMenu && AvifoldGlut.menus[entry.subMenu]) {
          item.classList.add('glut-has-submenu');
          item.appendChild(AvifoldGlut.menuElement(entry.subMenu));
        } else {
          item.addEventListener('click', AvifoldGlut.chooser(menuId, entry.value));
        }
        element.appendChild(item);
      }
      return element;
    },

    showMenu: function(menuId, x, y) {
      var element = AvifoldGlut.menuElement(menuId);
      element.style.left = x + 'px';
      element.style.top = y + 'px';
      document.body.appendChild(element);
      AvifoldGlut.openMenu = element;
    },

    closeMenu: function() {
      if (AvifoldGlut.openMenu) AvifoldGlut.openMenu.remove();
      AvifoldGlut.openMenu = null;
    },

    chooser: function(menuId, value) {
      return function(event) {
        event.stopPropagation();
        AvifoldGlut.closeMenu();
        var menu = AvifoldGlut.menus[menuId];
        if (!menu) return;
        AvifoldGlut.currentMenu = menuId;
        Browser.mainLoop.runIter(function() {
          {{{ makeDynCall('vi', 'menu.callback') }}}(value);
        });
      };
    },

    // --- Bitmap characters ------------------------------------------------------------

    // Every glyph, white where its bits are set and clear elsewhere, in one texture.
    makeGlyphTexture: function() {
      var size = AvifoldGlut.kGlyphTextureSize;
      var height = Helvetica18.height;
      var pixels = new Uint8Array(size * size * 4);
      var x = 0, y = 0;
      for (var code in Helvetica18.glyphs) {
        var glyph = Helvetica18.glyphs[code];
        var width = glyph[0], rowBytes = (width + 7) >> 3;
        if (x + width > size) {
          x = 0;
          y += height;
        }
        for (var row = 0; row < height; row++) {
          for (var column = 0; column < width; column++) {
            var bits = glyph[1 + row * rowBytes + (column >> 3)];
            if (bits & (0x80 >> (column & 7))) {
              pixels.fill(255, ((y + row) * size + x + column) * 4, ((y + row) * size + x + column + 1) * 4);
            }
          }
        }
        AvifoldGlut.glyphPlaces[code] = [x, y];
        x += width;
      }
      var texture = GLctx.createTexture();
      var name = GL.getNewId(GL.textures);
      texture.name = name;
      GL.textures[name] = texture;
      GLctx.bindTexture(GLctx.TEXTURE_2D, texture);
      GLctx.texImage2D(GLctx.TEXTURE_2D, 0, GLctx.RGBA, size, size, 0, GLctx.RGBA, GLctx.UNSIGNED_BYTE, pixels);
      GLctx.texParameteri(GLctx.TEXTURE_2D, GLctx.TEXTURE_MIN_FILTER, GLctx.NEAREST);
      GLctx.texParameteri(GLctx.TEXTURE_2D, GLctx.TEXTURE_MAG_FILTER, GLctx.NEAREST);
      GLctx.texParameteri(GLctx.TEXTURE_2D, GLctx.TEXTURE_WRAP_S, GLctx.CLAMP_TO_EDGE);
      GLctx.texParameteri(GLctx.TEXTURE_2D, GLctx.TEXTURE_WRAP_T, GLctx.CLAMP_TO_EDGE);
      var bound = GL.textures[AvifoldGL.boundTexture];
      GLctx.bindTexture(GLctx.TEXTURE_2D, bound || null);
      return name;
    },

    // One glyph as a window-aligned quad in the raster colour, over everything, as a
    // bitmap at the nearest depth draws; the GL state it changes is put back after.
    drawGlyph: function(code, left, bottom) {
      if (!AvifoldGlut.glyphTexture) AvifoldGlut.glyphTexture = AvifoldGlut.makeGlyphTexture();
      var gl = AvifoldGL;
      var saved = {texturing: gl.texturing, bound: gl.boundTexture, blend: gl.blend,
                   blendFunc: gl.blendFunc, depthTest: gl.depthTest, fog: gl.fog,
                   colour: gl.colour, mode: GLImmediate.currentMatrix};
      var v = gl.viewport, size = AvifoldGlut.kGlyphTextureSize;
      var place = AvifoldGlut.glyphPlaces[code];
      var width = Helvetica18.glyphs[code][0], height = Helvetica18.height;

      _glMatrixMode(0x1701);
      _glPushMatrix();
      _glLoadIdentity();
      _glOrtho(v[0], v[0] + v[2], v[1], v[1] + v[3], -1, 1);
      _glMatrixMode(0x1700);
      _glPushMatrix();
      _glLoadIdentity();
      gl.setCapability(0xB71, 0);
      gl.setCapability(0xB60, 0);
      gl.setCapability(0xBE2, 1);
      _glBlendFunc(0x302, 0x303);  // GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA
      gl.bindTexture(0xDE1, AvifoldGlut.glyphTexture);
      gl.setCapability(0xDE1, 1);
      var c = gl.raster.colour;
      gl.setColour(c[0], c[1], c[2], c[3]);
      var s0 = place[0] / size, s1 = (place[0] + width) / size;
      var t0 = place[1] / size, t1 = (place[1] + height) / size;
      gl.real.glBegin(0x5);  // GL_TRIANGLE_STRIP
      gl.real.glTexCoord2f(s0, t0); gl.real.glVertex3f(left, bottom, 0);
      gl.real.glTexCoord2f(s1, t0); gl.real.glVertex3f(left + width, bottom, 0);
      gl.real.glTexCoord2f(s0, t1); gl.real.glVertex3f(left, bottom + height, 0);
      gl.real.glTexCoord2f(s1, t1); gl.real.glVertex3f(left + width, bottom + height, 0);
      gl.real.glEnd();

      gl.setColour(saved.colour[0], saved.colour[1], saved.colour[2], saved.colour[3]);
      gl.setCapability(0xDE1, saved.texturing);
      gl.bindTexture(0xDE1, saved.bound);
      _glBlendFunc(saved.blendFunc[0], saved.blendFunc[1]);
      gl.setCapability(0xBE2, saved.blend);
      gl.setCapability(0xB60, saved.fog);
      gl.setCapability(0xB71, saved.depthTest);
      _glPopMatrix();
      _glMatrixMode(0x1701);
      _glPopMatrix();
      _glMatrixMode(saved.mode == 1 ? 0x1701 : 0x1700);
    },
  },

  glutCreateWindow__deps: ['$AvifoldGlut', '$AvifoldGL'],
  glutCreateWindow: function(title) {
    document.title = UTF8ToString(title);
    if (!Module.ctx) {
      Module.ctx = Browser.createContext(AvifoldGlut.canvas(), true, true, {
        antialias: false,
        depth: (GLUT.initDisplayMode & 0x0010 /* GLUT_DEPTH */) != 0,
        stencil: false,
        alpha: false,
        // Frames never clear the depth buffer: each passes against the one before it,
        // which a browser would otherwise clear after showing it.
        preserveDrawingBuffer: true,
      });
      if (!Module.ctx) return 0;
      document.addEventListener('fullscreenchange', AvifoldGlut.onFullScreenChange);
      window.addEventListener('mousedown', AvifoldGlut.onMouseDown, true);
      AvifoldGlut.canvas().addEventListener('contextmenu', function(event) { event.preventDefault(); });
    } else {
      AvifoldGL.resetContext(GLUT.initWindowWidth, GLUT.initWindowHeight);
    }
    AvifoldGlut.canvas().classList.remove('glut-covering');
    AvifoldGlut.resize(GLUT.initWindowWidth, GLUT.initWindowHeight);
    var id = AvifoldGlut.nextWindow++;
    AvifoldGlut.windows[id] = {fullScreen: 0};
    AvifoldGlut.current = id;
    return id;
  },

  glutDestroyWindow__deps: ['$AvifoldGlut'],
  glutDestroyWindow: function(id) {
    var surface = AvifoldGlut.windows[id];
    if (!surface) return;
    delete AvifoldGlut.windows[id];
    if (AvifoldGlut.current == id) AvifoldGlut.current = 0;
    AvifoldGlut.closeMenu();
    if (!surface.fullScreen) return;
    AvifoldGlut.canvas().classList.remove('glut-covering');
    if (document.fullscreenElement) document.exitFullscreen();
  },

  glutFullScreen__deps: ['$AvifoldGlut'],
  glutFullScreen: function() {
    var surface = AvifoldGlut.windows[AvifoldGlut.current];
    if (!surface) return;
    surface.fullScreen = 1;
    var canvas = AvifoldGlut.canvas();
    if (!canvas.requestFullscreen) {
      AvifoldGlut.coverPage();
      return;
    }
    canvas.requestFullscreen().catch(AvifoldGlut.coverPage);
  },

  glutPostRedisplay__deps: ['$AvifoldGlut'],
  glutPostRedisplay: function() {
    if (!GLUT.displayFunc || GLUT.requestedAnimationFrame) return;
    GLUT.requestedAnimationFrame = true;
    Browser.requestAnimationFrame(function() {
      GLUT.requestedAnimationFrame = false;
      Browser.mainLoop.runIter(function() {
        AvifoldGlut.runDueTimers();
        AvifoldGlut.deliverReshape();
        {{{ makeDynCall('v', 'GLUT.displayFunc') }}}();
      });
    });
  },

  glutTimerFunc__deps: ['$AvifoldGlut', '$safeSetTimeout'],
  glutTimerFunc: function(msec, func, value) {
    var timer = {due: performance.now() + msec, func: func, value: value};
    timer.timeout = safeSetTimeout(function() { AvifoldGlut.runTimer(timer); }, msec);
    AvifoldGlut.timers.push(timer);
  },

  glutMainLoop__deps: ['glutPostRedisplay'],
  glutMainLoop: function() {
    _glutPostRedisplay();
    throw 'unwind';
  },

  glutGameModeString__deps: ['$AvifoldGlut'],
  glutGameModeString: function(string) {
    AvifoldGlut.gameModeString = UTF8ToString(string);
  },

  glutEnterGameMode: function() {
    return 0;
  },

  glutLeaveGameMode: function() {},

  glutGameModeGet: function(query) {
    return 0;
  },

  glutCloseFunc__deps: ['$AvifoldGlut'],
  glutCloseFunc: function(func) {
    AvifoldGlut.closeFunc = func;
  },

  glutCreateMenu__deps: ['$AvifoldGlut'],
  glutCreateMenu: function(callback) {
    var id = AvifoldGlut.nextMenu++;
    AvifoldGlut.menus[id] = {callback: callback, entries: []};
    AvifoldGlut.currentMenu = id;
    return id;
  },

  glutDestroyMenu__deps: ['$AvifoldGlut'],
  glutDestroyMenu: function(id) {
    delete AvifoldGlut.menus[id];
    if (AvifoldGlut.currentMenu == id) AvifoldGlut.currentMenu = 0;
  },

  glutAddMenuEntry__deps: ['$AvifoldGlut'],
  glutAddMenuEntry: function(label, value) {
    var menu = AvifoldGlut.menus[AvifoldGlut.currentMenu];
    if (menu) menu.entries.push({label: UTF8ToString(label), value: value, subMenu: 0});
  },

  glutAddSubMenu__deps: ['$AvifoldGlut'],
  glutAddSubMenu: function(label, subMenu) {
    var menu = AvifoldGlut.menus[AvifoldGlut.currentMenu];
    if (menu) menu.entries.push({label: UTF8ToString(label), value: 0, subMenu: subMenu});
  },

  glutChangeToMenuEntry__deps: ['$AvifoldGlut'],
  glutChangeToMenuEntry: function(item, label, value) {
    var menu = AvifoldGlut.menus[AvifoldGlut.currentMenu];
    if (!menu || item < 1 || item > menu.entries.length) return;
    menu.entries[item - 1] = {label: UTF8ToString(label), value: value, subMenu: 0};
  },

  glutAttachMenu__deps: ['$AvifoldGlut'],
  glutAttachMenu: function(button) {
    var surface = AvifoldGlut.windows[AvifoldGlut.current];
    if (surface) surface[button] = AvifoldGlut.currentMenu;
  },

  // The font is named by the id its object holds (web/glut_fonts.c); only
  // GLUT_BITMAP_HELVETICA_18 (8) has glyphs here.
  glutBitmapCharacter__deps: ['$AvifoldGlut', '$AvifoldGL', '$Helvetica18'],
  glutBitmapCharacter: function(font, character) {
    var raster = AvifoldGL.raster;
    if (HEAP32[font >> 2] != 8 || raster === null) return;
    var glyph = Helvetica18.glyphs[character];
    if (!glyph) return;
    AvifoldGlut.drawGlyph(character, Math.floor(raster.x - Helvetica18.xorig),
                          Math.floor(raster.y - Helvetica18.yorig));
    raster.x += glyph[0];
  },
};

mergeInto(LibraryManager.library, LibraryAvifoldGlut);
