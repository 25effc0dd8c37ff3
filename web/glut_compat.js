// The parts of GLUT that Avifold uses and emscripten's GLUT lacks or does differently
// from freeglut on a desktop, for a page whose one canvas is the program's window:
//  - windows: the page has one canvas and keeps one WebGL context for the whole run
//    (a context made again would build the whole GL emulation again). A window the
//    program creates after the first starts as a new context would: gl_compat.js drops
//    the program's textures and lists and puts GL's initial state back. A lost context
//    given back by the browser is set up again the same way, and the program runs its
//    GL set-up again, as for a new surface;
//  - size: the canvas is laid out by the page (4:3, as wide as there is room for, or the
//    whole screen), and its drawing buffer is that size in device pixels, so the scene is
//    sharp on any screen. The program hears every change through its reshape callback
//    before the next frame, as a resized window; a new window hears its size first;
//  - full screen: glutFullScreen asks the browser to show the canvas full screen, and
//    destroying that window leaves it. The browser's own way out (its Escape, which the
//    page never sees as a key) reaches the program as the Escape key it stands for;
//  - game mode: a page cannot switch the display's video mode, so game mode is never
//    active, as on a desktop display without video modes;
//  - keys: only while the canvas has the focus, and only the arrows (and Escape in full
//    screen) are kept from the browser; every other key, and any key with Ctrl, Alt or
//    Meta, still does what the browser does with it;
//  - touch: a long press on the canvas opens the menu as the right button does, and the
//    page's arrow buttons are the arrow keys, held and released, several at once;
//  - menus: an HTML menu over the canvas, built from the entries the program added,
//    opened by the button it is attached to, by the page's menu button or by the
//    keyboard (the ContextMenu key or Shift+F10), kept on screen; a choice calls the
//    menu's callback with that menu current, as freeglut does;
//  - bitmap characters of GLUT_BITMAP_HELVETICA_18, drawn at the raster position, as
//    many device pixels to a font pixel as the screen has to a CSS pixel;
//  - timers, which freeglut runs between frames once they are due: a browser lets its own
//    timeouts wait behind a busy frame pipeline, so each frame first runs the timers that
//    are due, and a timeout still wakes a page that draws no frames (a hidden tab).

var LibraryAvifoldGlut = {
  $AvifoldGlut__deps: ['$GLUT', '$Browser', '$AvifoldGL', '$Helvetica18', 'glBegin', 'glEnd',
                       'glVertex3f', 'glTexCoord2f', 'glEnable', 'glDisable', 'glBindTexture',
                       'glMatrixMode', 'glPushMatrix', 'glPopMatrix', 'glLoadIdentity',
                       'glOrtho', 'glBlendFunc', 'glColor4f', 'glTexImage2D',
                       'glTexParameteri', 'glutPostRedisplay'],
  $AvifoldGlut: {
    windows: {},          // window id -> {fullScreen: 0 or 1, [button]: attached menu id}
    nextWindow: 1,
    current: 0,           // the current window's id; 0: none
    menus: {},            // menu id -> {callback, entries: [{label, value, subMenu}]}
    nextMenu: 1,
    currentMenu: 0,
    openMenu: null,       // the menu's element while it is shown
    size: [0, 0],         // the drawing buffer's size the program last heard of
    pendingReshape: null, // [width, height] to deliver before the next frame
    timers: [],           // armed timers: {due (performance.now() ms), func, value}
    held: {},             // GLUT special key -> 1 while a key or arrow button holds it
    longPress: null,      // the timeout of a touch that may become a long press
    contextLost: 0,       // 1 from the loss of the WebGL context until it is given back
    firstFrameDrawn: 0,
    glyphTexture: 0,      // GL name of the bitmap font's glyphs, made once a context
    glyphPlaces: {},      // character -> [x, y] of its glyph in that texture
    kGlyphTextureSize: 512,
    kLongPressMs: 500,    // a touch held this long without moving opens the menu
    kLongPressSlack: 10,  // CSS pixels a finger may wander in a long press

    canvas: function() {
      return Module['canvas'];
    },

    // --- Size ---------------------------------------------------------------------------

    // The canvas's laid-out size in device pixels. (The observer's own device-pixel box
    // is left alone: emulated screens report it in CSS pixels.)
    deviceSize: function() {
      var box = AvifoldGlut.canvas().getBoundingClientRect();
      var ratio = window.devicePixelRatio || 1;
      return [Math.round(box.width * ratio), Math.round(box.height * ratio)];
    },

    // The drawing buffer takes the canvas's size; the program hears of it before the next
    // frame, always for a new window (`told`: 1), else only when the size changed.
    fitBuffer: function(told) {
      var size = AvifoldGlut.deviceSize();
      var width = Math.max(1, size[0]), height = Math.max(1, size[1]);
      var canvas = AvifoldGlut.canvas();
      if (canvas.width != width || canvas.height != height) {
        canvas.width = width;
        canvas.height = height;
      }
      if (!told && width == AvifoldGlut.size[0] && height == AvifoldGlut.size[1]) return;
      AvifoldGlut.size = [width, height];
      AvifoldGlut.pendingReshape = [width, height];
    },

    // Every change of the canvas's size, and of the screen's pixels to a CSS pixel (a
    // zoom, another screen), which leaves the CSS size as it was.
    watchSize: function() {
      new ResizeObserver(function() { AvifoldGlut.fitBuffer(0); }).observe(AvifoldGlut.canvas());
      function watchRatio() {
        var ratio = window.matchMedia('(resolution: ' + (window.devicePixelRatio || 1) + 'dppx)');
        ratio.addEventListener('change', function() {
          AvifoldGlut.fitBuffer(0);
          watchRatio();
        }, {once: true});
      }
      watchRatio();
    },

    deliverReshape: function() {
      var size = AvifoldGlut.pendingReshape;
      if (size === null || !GLUT.reshapeFunc) return;
      AvifoldGlut.pendingReshape = null;
      {{{ makeDynCall('vii', 'GLUT.reshapeFunc') }}}(size[0], size[1]);
    },

    // --- Frames and timers --------------------------------------------------------------

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

    // One pass of the main loop: the timers that are due, a reshape, the frame. While the
    // context is lost nothing can be drawn; the ticks go on and the loop waits for it.
    frame: function() {
      GLUT.requestedAnimationFrame = false;
      Browser.mainLoop.runIter(function() {
        AvifoldGlut.runDueTimers();
        if (AvifoldGlut.contextLost) {
          _glutPostRedisplay();
          return;
        }
        AvifoldGlut.deliverReshape();
        {{{ makeDynCall('v', 'GLUT.displayFunc') }}}();
        AvifoldGlut.tellFirstFrame();
      });
    },

    tellFirstFrame: function() {
      if (AvifoldGlut.firstFrameDrawn) return;
      AvifoldGlut.firstFrameDrawn = 1;
      AvifoldGlut.say(null);
    },

    // What the page says over the canvas (page.js), or nothing where there is no page.
    say: function(text) {
      if (Module['avifoldSay']) Module['avifoldSay'](text);
    },

    // --- A lost WebGL context -----------------------------------------------------------

    // Asking the browser not to give up the context is what lets it come back.
    onContextLost: function(event) {
      event.preventDefault();
      AvifoldGlut.contextLost = 1;
      AvifoldGlut.say('The picture is lost: the browser has reset its graphics.\n' +
                      'It comes back as soon as the browser gives them back.');
    },

    onContextRestored: function() {
      AvifoldGlut.contextLost = 0;
      AvifoldGlut.glyphTexture = 0;
      AvifoldGL.renewContext(AvifoldGlut.canvas().width, AvifoldGlut.canvas().height);
      AvifoldGlut.fitBuffer(1);
      Module['_avifoldRenewContext']();
      AvifoldGlut.say(null);
    },

    // --- Full screen --------------------------------------------------------------------

    fullScreenWindow: function() {
      var surface = AvifoldGlut.windows[AvifoldGlut.current];
      return surface && surface.fullScreen ? surface : null;
    },

    // Full screen shown, or left by the browser.
    onFullScreenChange: function() {
      if (document.fullscreenElement === AvifoldGlut.canvas()) return;
      if (AvifoldGlut.fullScreenWindow() === null) return;
      AvifoldGlut.keyboard(27);
    },

    // Where the browser refuses full screen (no click led to it, or a frame that does not
    // allow it), the canvas covers the page instead, as a full-screen window covers a
    // display, and follows the page's size.
    coverPage: function() {
      if (AvifoldGlut.fullScreenWindow() === null) return;
      AvifoldGlut.canvas().classList.add('glut-covering');
    },

    // --- Keys ---------------------------------------------------------------------------

    kSpecialKeys: {F1: 1, F2: 2, F3: 3, F4: 4, F5: 5, F6: 6, F7: 7, F8: 8, F9: 9, F10: 10,
                   F11: 11, F12: 12, ArrowLeft: 100, ArrowUp: 101, ArrowRight: 102,
                   ArrowDown: 103, PageUp: 104, PageDown: 105, Home: 106, End: 107,
                   Insert: 108},
    kAsciiKeys: {Backspace: 8, Tab: 9, Enter: 13, Escape: 27, Delete: 127},
    kArrowFirst: 100,
    kArrowLast: 103,

    asciiKey: function(event) {
      if (event.key.length == 1) {
        var code = event.key.charCodeAt(0);
        return code < 256 ? code : null;
      }
      var named = AvifoldGlut.kAsciiKeys[event.key];
      return named === undefined ? null : named;
    },

    keyboard: function(key) {
      if (!GLUT.keyboardFunc) return;
      {{{ makeDynCall('viii', 'GLUT.keyboardFunc') }}}(key, Browser.mouseX, Browser.mouseY);
    },

    special: function(key, down) {
      var func = down ? GLUT.specialFunc : GLUT.specialUpFunc;
      if (down) {
        AvifoldGlut.held[key] = 1;
      } else {
        delete AvifoldGlut.held[key];
      }
      if (!func) return;
      {{{ makeDynCall('viii', 'func') }}}(key, Browser.mouseX, Browser.mouseY);
    },

    // A key the canvas has; `down`: 1 for a press, 0 for a release.
    onKey: function(event, down) {
      if (event.ctrlKey || event.altKey || event.metaKey) return;
      if (down && (event.key == 'ContextMenu' || (event.key == 'F10' && event.shiftKey))) {
        event.preventDefault();
        var box = AvifoldGlut.canvas().getBoundingClientRect();
        AvifoldGlut.showAttachedMenu(2, box.left + 16, box.top + 16, 1);
        return;
      }
      var special = AvifoldGlut.kSpecialKeys[event.key];
      if (special !== undefined) {
        if (special >= AvifoldGlut.kArrowFirst && special <= AvifoldGlut.kArrowLast) {
          event.preventDefault();
        }
        if (down || AvifoldGlut.held[special]) AvifoldGlut.special(special, down);
        return;
      }
      var key = AvifoldGlut.asciiKey(event);
      if (key === null || !down) return;
      if (key == 27 && AvifoldGlut.fullScreenWindow() !== null) event.preventDefault();
      AvifoldGlut.keyboard(key);
    },

    // Escape leaves full screen wherever the focus is: the canvas covers everything.
    onPageKey: function(event) {
      if (event.key != 'Escape' || event.target === AvifoldGlut.canvas()) return;
      if (AvifoldGlut.fullScreenWindow() === null || AvifoldGlut.openMenu) return;
      event.preventDefault();
      AvifoldGlut.keyboard(27);
    },

    // Keys held when the canvas loses the keys are never released there: let them go.
    releaseHeld: function() {
      for (var key in AvifoldGlut.held) AvifoldGlut.special(Number(key), 0);
      var buttons = document.querySelectorAll('#arrows button.held');
      for (var i = 0; i < buttons.length; i++) buttons[i].classList.remove('held');
    },

    // --- Pointers: the mouse, a finger, the page's buttons --------------------------------

    onPointerDown: function(event) {
      if (AvifoldGlut.openMenu && !AvifoldGlut.openMenu.contains(event.target) &&
          event.target !== document.getElementById('menu-button')) {
        AvifoldGlut.closeMenu(0);
      }
      if (event.target !== AvifoldGlut.canvas()) return;
      AvifoldGlut.canvas().focus({preventScroll: true});
      Browser.calculateMouseEvent(event);
      if (event.pointerType != 'mouse') {
        AvifoldGlut.startLongPress(event);
        return;
      }
      if (AvifoldGlut.showAttachedMenu(event.button, event.clientX, event.clientY, 0)) {
        event.preventDefault();
        return;
      }
      AvifoldGlut.mouse(event.button, 0);
    },

    onPointerUp: function(event) {
      AvifoldGlut.cancelLongPress();
      if (event.target !== AvifoldGlut.canvas() || event.pointerType != 'mouse') return;
      Browser.calculateMouseEvent(event);
      AvifoldGlut.mouse(event.button, 1);
    },

    onPointerMove: function(event) {
      var press = AvifoldGlut.longPress;
      if (press && Math.hypot(event.clientX - press.x, event.clientY - press.y) >
                       AvifoldGlut.kLongPressSlack) {
        AvifoldGlut.cancelLongPress();
      }
      if (event.target !== AvifoldGlut.canvas() || !GLUT.passiveMotionFunc) return;
      Browser.calculateMouseEvent(event);
      {{{ makeDynCall('vii', 'GLUT.passiveMotionFunc') }}}(Browser.mouseX, Browser.mouseY);
    },

    mouse: function(button, state) {
      if (!GLUT.mouseFunc) return;
      {{{ makeDynCall('viiii', 'GLUT.mouseFunc') }}}(button, state, Browser.mouseX, Browser.mouseY);
    },

    startLongPress: function(event) {
      AvifoldGlut.cancelLongPress();
      var press = {x: event.clientX, y: event.clientY};
      press.timeout = setTimeout(function() {
        AvifoldGlut.longPress = null;
        AvifoldGlut.showAttachedMenu(2, press.x, press.y, 0);
      }, AvifoldGlut.kLongPressMs);
      AvifoldGlut.longPress = press;
    },

    cancelLongPress: function() {
      if (AvifoldGlut.longPress) clearTimeout(AvifoldGlut.longPress.timeout);
      AvifoldGlut.longPress = null;
    },

    // The page's arrow buttons: a finger on one holds that arrow key until it lifts.
    watchArrowButtons: function() {
      var buttons = document.querySelectorAll('#arrows button[data-key]');
      for (var i = 0; i < buttons.length; i++) {
        (function(button) {
          var key = Number(button.getAttribute('data-key'));
          function release(event) {
            if (!button.classList.contains('held')) return;
            button.classList.remove('held');
            if (AvifoldGlut.held[key]) AvifoldGlut.special(key, 0);
          }
          button.addEventListener('pointerdown', function(event) {
            if (button.setPointerCapture) button.setPointerCapture(event.pointerId);
            button.classList.add('held');
            AvifoldGlut.special(key, 1);
          });
          button.addEventListener('pointerup', release);
          button.addEventListener('pointercancel', release);
          button.addEventListener('lostpointercapture', release);
          button.addEventListener('contextmenu', function(event) { event.preventDefault(); });
        })(buttons[i]);
      }
    },

    watchMenuButton: function() {
      var button = document.getElementById('menu-button');
      if (!button) return;
      button.addEventListener('click', function(event) {
        if (AvifoldGlut.openMenu) {
          AvifoldGlut.closeMenu(1);
          return;
        }
        var box = button.getBoundingClientRect();
        // A click that no pointer made is the keyboard's (Enter or Space).
        AvifoldGlut.showAttachedMenu(2, box.left, box.bottom, event.detail == 0);
      });
    },

    watchInput: function() {
      var canvas = AvifoldGlut.canvas();
      canvas.addEventListener('keydown', function(event) { AvifoldGlut.onKey(event, 1); });
      canvas.addEventListener('keyup', function(event) { AvifoldGlut.onKey(event, 0); });
      canvas.addEventListener('blur', AvifoldGlut.releaseHeld);
      canvas.addEventListener('contextmenu', function(event) { event.preventDefault(); });
      canvas.addEventListener('pointermove', AvifoldGlut.onPointerMove);
      canvas.addEventListener('pointercancel', AvifoldGlut.cancelLongPress);
      window.addEventListener('pointerdown', AvifoldGlut.onPointerDown, true);
      window.addEventListener('pointerup', AvifoldGlut.onPointerUp, true);
      window.addEventListener('keydown', AvifoldGlut.onPageKey);
      document.addEventListener('fullscreenchange', AvifoldGlut.onFullScreenChange);
      AvifoldGlut.watchArrowButtons();
      AvifoldGlut.watchMenuButton();
    },

    // --- Menus -------------------------------------------------------------------------

    // The menu attached to a button of the current window, opened at x, y; with
    // `byKeyboard` its first entry takes the focus. 0 when no menu is attached there.
    showAttachedMenu: function(button, x, y, byKeyboard) {
      AvifoldGlut.closeMenu(0);
      var surface = AvifoldGlut.windows[AvifoldGlut.current];
      var menu = surface ? surface[button] : 0;
      if (!menu || !AvifoldGlut.menus[menu]) return 0;
      AvifoldGlut.showMenu(menu, x, y);
      if (byKeyboard) AvifoldGlut.focusEntry(AvifoldGlut.openMenu, 0);
      return 1;
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
        item.tabIndex = -1;
        var label = document.createElement('span');
        label.textContent = entry.label;
        item.appendChild(label);
        if (entry.subMenu && AvifoldGlut.menus[entry.subMenu]) {
          item.classList.add('glut-has-submenu');
          item.setAttribute('aria-haspopup', 'menu');
          item.setAttribute('aria-expanded', 'false');
          item.appendChild(AvifoldGlut.menuElement(entry.subMenu));
          item.addEventListener('mouseenter', AvifoldGlut.openSubMenu.bind(null, item));
          item.addEventListener('mouseleave', AvifoldGlut.closeSubMenu.bind(null, item));
          item.addEventListener('click', AvifoldGlut.openSubMenu.bind(null, item));
        } else {
          item.addEventListener('click', AvifoldGlut.chooser(menuId, entry.value));
        }
        element.appendChild(item);
      }
      return element;
    },

    // A menu placed at x, y, or flipped to the other side of it where it would leave the
    // viewport.
    showMenu: function(menuId, x, y) {
      var element = AvifoldGlut.menuElement(menuId);
      element.style.left = '0px';
      element.style.top = '0px';
      element.addEventListener('keydown', AvifoldGlut.onMenuKey);
      document.body.appendChild(element);
      var box = element.getBoundingClientRect();
      if (x + box.width > window.innerWidth) x -= box.width;
      if (y + box.height > window.innerHeight) y -= box.height;
      element.style.left = Math.max(0, x) + 'px';
      element.style.top = Math.max(0, y) + 'px';
      AvifoldGlut.openMenu = element;
    },

    // A submenu opens to the right and down, or left or up where that would leave the
    // viewport.
    openSubMenu: function(item) {
      var sub = item.querySelector('.glut-menu');
      sub.classList.remove('glut-left', 'glut-up');
      item.classList.add('glut-open');
      item.setAttribute('aria-expanded', 'true');
      var box = sub.getBoundingClientRect();
      if (box.right > window.innerWidth) sub.classList.add('glut-left');
      if (box.bottom > window.innerHeight) sub.classList.add('glut-up');
    },

    closeSubMenu: function(item) {
      item.classList.remove('glut-open');
      item.setAttribute('aria-expanded', 'false');
    },

    // The keys of an open menu: the arrows move, Enter or Space chooses, right opens a
    // submenu and left leaves it, Escape closes, Tab leaves the menu.
    onMenuKey: function(event) {
      var item = event.target.closest('.glut-entry');
      if (!item) return;
      var menu = item.parentElement;
      var items = Array.prototype.slice.call(menu.children);
      var at = items.indexOf(item);
      var parentItem = menu.parentElement.closest('.glut-entry');
      var key = event.key;
      if (key == 'ArrowDown' || key == 'ArrowUp') {
        AvifoldGlut.focusEntry(menu, (at + (key == 'ArrowDown' ? 1 : items.length - 1)) % items.length);
      } else if ((key == 'ArrowRight' || key == 'Enter' || key == ' ') &&
                 item.classList.contains('glut-has-submenu')) {
        AvifoldGlut.openSubMenu(item);
        AvifoldGlut.focusEntry(item.querySelector('.glut-menu'), 0);
      } else if (key == 'Enter' || key == ' ') {
        item.click();
      } else if ((key == 'ArrowLeft' || key == 'Escape') && parentItem) {
        AvifoldGlut.closeSubMenu(parentItem);
        parentItem.focus();
      } else if (key == 'Escape' || key == 'Tab') {
        AvifoldGlut.closeMenu(key == 'Escape');
        if (key == 'Tab') return;
      } else {
        return;
      }
      event.preventDefault();
      event.stopPropagation();
    },

    focusEntry: function(menu, index) {
      var item = menu.children[index];
      if (item) item.focus();
    },

    // `refocus`: the canvas takes the keys back, as after a choice.
    closeMenu: function(refocus) {
      if (!AvifoldGlut.openMenu) return;
      AvifoldGlut.openMenu.remove();
      AvifoldGlut.openMenu = null;
      if (refocus) AvifoldGlut.canvas().focus({preventScroll: true});
    },

    chooser: function(menuId, value) {
      return function(event) {
        event.stopPropagation();
        AvifoldGlut.closeMenu(1);
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

    // Device pixels to a font pixel, whole, so that glyphs stay crisp: a CSS pixel's worth,
    // as the read-out looks on a desktop, but no more than the window has grown from its
    // first width, so that a narrow screen's read-out still fits where the program puts it.
    glyphScale: function() {
      var ratio = Math.round(window.devicePixelRatio || 1);
      var growth = Math.round(AvifoldGlut.size[0] / GLUT.initWindowWidth);
      return Math.max(1, Math.min(ratio, growth));
    },

    // One glyph as a window-aligned quad in the raster colour, over everything, as a
    // bitmap at the nearest depth draws; the GL state it changes is put back after.
    drawGlyph: function(code, left, bottom, scale) {
      if (!AvifoldGlut.glyphTexture) AvifoldGlut.glyphTexture = AvifoldGlut.makeGlyphTexture();
      var gl = AvifoldGL;
      var saved = {texturing: gl.texturing, bound: gl.boundTexture, blend: gl.blend,
                   blendFunc: gl.blendFunc, depthTest: gl.depthTest, fog: gl.fog,
                   colour: gl.colour, mode: GLImmediate.currentMatrix};
      var v = gl.viewport, size = AvifoldGlut.kGlyphTextureSize;
      var place = AvifoldGlut.glyphPlaces[code];
      var width = Helvetica18.glyphs[code][0], height = Helvetica18.height;
      var right = left + width * scale, top = bottom + height * scale;

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
      gl.real.glTexCoord2f(s1, t0); gl.real.glVertex3f(right, bottom, 0);
      gl.real.glTexCoord2f(s0, t1); gl.real.glVertex3f(left, top, 0);
      gl.real.glTexCoord2f(s1, t1); gl.real.glVertex3f(right, top, 0);
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


  glutInit__deps: ['$AvifoldGlut'],
  glutInit: function(argcp, argv) {
    GLUT.initTime = Date.now();
    AvifoldGlut.watchInput();
    AvifoldGlut.watchSize();
  },

  glutCreateWindow__deps: ['$AvifoldGlut', '$AvifoldGL'],
  glutCreateWindow: function(title) {
    document.title = UTF8ToString(title);
    var canvas = AvifoldGlut.canvas();
    if (!Module.ctx) {
      Module.ctx = Browser.createContext(canvas, true, true, {
        antialias: false,
        depth: (GLUT.initDisplayMode & 0x0010 /* GLUT_DEPTH */) != 0,
        stencil: false,
        alpha: false,
        // Frames never clear the depth buffer: each passes against the one before it,
        // which a browser would otherwise clear after showing it.
        preserveDrawingBuffer: true,
      });
      if (!Module.ctx) {
        // The page checks for WebGL before it loads the program; should the context still
        // be refused, the program cannot draw at all and stops here, unseen no longer.
        if (Module['avifoldFail']) {
          Module['avifoldFail']('Avifold draws with WebGL, and the browser refused it a context.');
        }
        throw 'unwind';
      }
      canvas.addEventListener('webglcontextlost', AvifoldGlut.onContextLost);
      canvas.addEventListener('webglcontextrestored', AvifoldGlut.onContextRestored);
    } else {
      AvifoldGL.resetContext(canvas.width, canvas.height);
    }
    canvas.classList.remove('glut-covering');
    AvifoldGlut.fitBuffer(1);
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
    AvifoldGlut.closeMenu(0);
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
    Browser.requestAnimationFrame(AvifoldGlut.frame);
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

  // Full screen never switches the display's mode here; the program's fallback, a window
  // over the whole screen, is the browser's full screen.
  glutGameModeString: function(string) {},

  glutEnterGameMode: function() {
    return 0;
  },

  glutLeaveGameMode: function() {},

  glutGameModeGet: function(query) {
    return 0;
  },

  // A page is never closed under the program: nothing calls it.
  glutCloseFunc: function(func) {},

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

  // The font is named by the id its object holds (web/glut_fonts.cpp); only
  // GLUT_BITMAP_HELVETICA_18 (8) has glyphs here.
  glutBitmapCharacter__deps: ['$AvifoldGlut', '$AvifoldGL', '$Helvetica18'],
  glutBitmapCharacter: function(font, character) {
    var raster = AvifoldGL.raster;
    if (HEAP32[font >> 2] != 8 || raster === null) return;
    var glyph = Helvetica18.glyphs[character];
    if (!glyph) return;
    var scale = AvifoldGlut.glyphScale();
    AvifoldGlut.drawGlyph(character, Math.floor(raster.x - Helvetica18.xorig * scale),
                          Math.floor(raster.y - Helvetica18.yorig * scale), scale);
    raster.x += glyph[0] * scale;
  },
};

mergeInto(LibraryManager.library, LibraryAvifoldGlut);
