// The parts of OpenGL 1.1 that Avifold uses and emscripten's GL emulation lacks or does
// differently from a desktop driver, on top of that emulation:
//  - display lists, recorded from the calls the program compiles into them;
//  - glPushAttrib/glPopAttrib of the depth-buffer state;
//  - glRasterPos3f, for GLUT's bitmap characters (glut_compat.js draws them);
//  - gluBuild2DMipmaps;
//  - the reversed depth range (1.0, 0.5) of every other frame, which WebGL rejects: it is
//    drawn as the range (0.5, 1.0) with the projection's depth axis mirrored, which puts
//    every fragment at the same depth as the reversed range would;
//  - texture 0, which GL 1.1 draws as plain colour (a texture without an image leaves
//    texturing off) and WebGL as black: texturing is on only while a real texture is bound;
//  - calls that WebGL refuses and that change nothing here: parameters of texture 0 and
//    the perspective-correction hint.
// The state these need is tracked on the page's side: asking WebGL (glGet*) waits for the
// browser's GPU process every time.
//
// The program's calls reach these wrappers as it makes them, so an instrument that wraps
// the module's imports sees the same calls as one that wraps a desktop GL library.

var LibraryAvifoldGL = {
  $AvifoldGL__deps: ['$GL', '$GLEmulation', '$GLImmediate', 'glEnable', 'glDisable',
                     'glBindTexture', 'glBegin', 'glEnd', 'glVertex3f', 'glTexCoord2f',
                     'glColor3f', 'glColor4f', 'glDepthRange', 'glDepthFunc', 'glDepthMask',
                     'glClearDepth', 'glTexParameteri', 'glHint', 'glLoadIdentity',
                     'glViewport', 'glGenTextures', 'glDeleteTextures',
                     'glMatrixMode', 'glPushMatrix', 'glPopMatrix', 'glOrtho', 'glBlendFunc',
                     'glClearColor', 'glFogf', 'glFogfv', 'glTexImage2D', 'glScalef'],
  $AvifoldGL__postset: 'AvifoldGL.install();',
  $AvifoldGL: {
    // The emulation's own entry points, behind the wrappers below.
    real: {},

    lists: {},           // display list id -> its recorded calls, [function, arguments]
    nextList: 1,
    recording: null,     // the calls of the list being compiled, or null
    compiling: 0,        // the id of that list

    texturing: 0,        // GL_TEXTURE_2D as the program set it
    boundTexture: 0,     // the program's texture bound to GL_TEXTURE_2D
    programTextures: {}, // names of the textures the program made in this context
    depthTest: 0,
    depthFunc: 0x201,    // GL_LESS
    depthMask: 1,
    clearDepth: 1.0,
    attribStack: [],     // glPushAttrib's saved depth-buffer states
    mirrored: 0,         // 1 while the projection's depth axis is mirrored
    colour: [1, 1, 1, 1],
    viewport: [0, 0, 0, 0],
    blend: 0,
    blendFunc: [1, 0],   // GL_ONE, GL_ZERO
    fog: 0,
    raster: null,        // window x, y and colour of the raster position; null: invalid

    install: function() {
      var wrappers = {
        glEnable: AvifoldGL.enable,
        glDisable: AvifoldGL.disable,
        glBindTexture: AvifoldGL.bindTexture,
        glColor3f: function(r, g, b) { AvifoldGL.setColour(r, g, b, 1); },
        glColor4f: AvifoldGL.setColour,
        glDepthRange: AvifoldGL.depthRange,
        glDepthFunc: function(func) {
          AvifoldGL.depthFunc = func;
          AvifoldGL.real.glDepthFunc(func);
        },
        glDepthMask: function(flag) {
          AvifoldGL.depthMask = flag;
          AvifoldGL.real.glDepthMask(flag);
        },
        glClearDepth: function(depth) {
          AvifoldGL.clearDepth = depth;
          AvifoldGL.real.glClearDepth(depth);
        },
        glTexParameteri: function(target, pname, param) {
          if (target == 0xDE1 /* GL_TEXTURE_2D */ && AvifoldGL.boundTexture == 0) return;
          AvifoldGL.real.glTexParameteri(target, pname, param);
        },
        glHint: function(target, mode) {
          if (target == 0xC50 /* GL_PERSPECTIVE_CORRECTION_HINT */) return;
          AvifoldGL.real.glHint(target, mode);
        },
        glLoadIdentity: function() {
          AvifoldGL.real.glLoadIdentity();
          AvifoldGL.keepMirror();
        },
        glViewport: function(x, y, width, height) {
          AvifoldGL.viewport = [x, y, width, height];
          AvifoldGL.real.glViewport(x, y, width, height);
        },
        glGenTextures: function(n, textures) {
          AvifoldGL.real.glGenTextures(n, textures);
          for (var i = 0; i < n; i++) {
            AvifoldGL.programTextures[HEAP32[(textures >> 2) + i]] = 1;
          }
        },
        glBlendFunc: function(source, destination) {
          AvifoldGL.blendFunc = [source, destination];
          AvifoldGL.real.glBlendFunc(source, destination);
        },
      };
      var real = AvifoldGL.real;
      real.glEnable = _glEnable;
      real.glDisable = _glDisable;
      real.glBindTexture = _glBindTexture;
      real.glBegin = _glBegin;
      real.glEnd = _glEnd;
      real.glVertex3f = _glVertex3f;
      real.glTexCoord2f = _glTexCoord2f;
      real.glColor4f = _glColor4f;
      real.glDepthRange = _glDepthRange;
      real.glDepthFunc = _glDepthFunc;
      real.glDepthMask = _glDepthMask;
      real.glClearDepth = _glClearDepth;
      real.glTexParameteri = _glTexParameteri;
      real.glHint = _glHint;
      real.glLoadIdentity = _glLoadIdentity;
      real.glViewport = _glViewport;
      real.glGenTextures = _glGenTextures;
      real.glBlendFunc = _glBlendFunc;
      // Each wrapper records into the list being compiled, or runs.
      _glEnable = AvifoldGL.recorded('glEnable', wrappers.glEnable);
      _glDisable = AvifoldGL.recorded('glDisable', wrappers.glDisable);
      _glBindTexture = AvifoldGL.recorded('glBindTexture', wrappers.glBindTexture);
      _glBegin = AvifoldGL.recorded('glBegin', AvifoldGL.real.glBegin);
      _glEnd = AvifoldGL.recorded('glEnd', AvifoldGL.real.glEnd);
      _glVertex3f = AvifoldGL.recorded('glVertex3f', AvifoldGL.real.glVertex3f);
      _glTexCoord2f = AvifoldGL.recorded('glTexCoord2f', AvifoldGL.real.glTexCoord2f);
      _glColor3f = AvifoldGL.recorded('glColor3f', wrappers.glColor3f);
      _glColor4f = AvifoldGL.recorded('glColor4f', wrappers.glColor4f);
      _glDepthRange = wrappers.glDepthRange;
      _glDepthFunc = wrappers.glDepthFunc;
      _glDepthMask = wrappers.glDepthMask;
      _glClearDepth = wrappers.glClearDepth;
      _glTexParameteri = wrappers.glTexParameteri;
      _glHint = wrappers.glHint;
      _glLoadIdentity = wrappers.glLoadIdentity;
      _glViewport = wrappers.glViewport;
      _glGenTextures = wrappers.glGenTextures;
      _glBlendFunc = wrappers.glBlendFunc;
    },

    recorded: function(name, run) {
      return function() {
        if (AvifoldGL.recording !== null) {
          AvifoldGL.recording.push([run, Array.prototype.slice.call(arguments)]);
          return;
        }
        run.apply(null, arguments);
      };
    },

    setColour: function(r, g, b, a) {
      AvifoldGL.colour = [r, g, b, a];
      AvifoldGL.real.glColor4f(r, g, b, a);
    },

    // Texturing reaches the emulation only while a texture with an image can be bound.
    applyTexturing: function() {
      if (AvifoldGL.texturing && AvifoldGL.boundTexture != 0) {
        AvifoldGL.real.glEnable(0xDE1);
      } else {
        AvifoldGL.real.glDisable(0xDE1);
      }
    },

    enable: function(cap) {
      AvifoldGL.setCapability(cap, 1);
    },

    disable: function(cap) {
      AvifoldGL.setCapability(cap, 0);
    },

    setCapability: function(cap, on) {
      if (cap == 0xDE1 /* GL_TEXTURE_2D */) {
        AvifoldGL.texturing = on;
        AvifoldGL.applyTexturing();
        return;
      }
      if (cap == 0xB71 /* GL_DEPTH_TEST */) AvifoldGL.depthTest = on;
      if (cap == 0xBE2 /* GL_BLEND */) AvifoldGL.blend = on;
      if (cap == 0xB60 /* GL_FOG */) AvifoldGL.fog = on;
      (on ? AvifoldGL.real.glEnable : AvifoldGL.real.glDisable)(cap);
    },

    bindTexture: function(target, texture) {
      if (target == 0xDE1) {
        AvifoldGL.boundTexture = texture;
        if (texture == 0) {
          AvifoldGL.applyTexturing();
          return;
        }
      }
      AvifoldGL.real.glBindTexture(target, texture);
      if (target == 0xDE1) AvifoldGL.applyTexturing();
    },

    // The projection's row that gives the depth, negated: mirrors depth about the middle
    // of the clip volume, so the near plane lands on the far end of the depth range.
    mirrorProjection: function() {
      var p = GLImmediate.matrix[1];
      p[2] = -p[2];
      p[6] = -p[6];
      p[10] = -p[10];
      p[14] = -p[14];
      GLImmediate.matrixVersion[1] = (GLImmediate.matrixVersion[1] + 1) | 0;
    },

    // A projection loaded afresh while mirrored is mirrored too; everything else
    // multiplies the projection from the right, which keeps the mirror.
    keepMirror: function() {
      if (AvifoldGL.mirrored && GLImmediate.currentMatrix == 1) AvifoldGL.mirrorProjection();
    },

    depthRange: function(near, far) {
      var mirrored = near > far ? 1 : 0;
      if (mirrored != AvifoldGL.mirrored) {
        AvifoldGL.mirrorProjection();
        AvifoldGL.mirrored = mirrored;
      }
      AvifoldGL.real.glDepthRange(Math.min(near, far), Math.max(near, far));
    },

    // What a new GL context starts with, for the page's one WebGL context standing in for
    // every surface the program opens: the program's textures and lists are gone and the
    // state is GL's initial state, as on a desktop, where each surface has its own context.
    resetContext: function(width, height) {
      for (var name in AvifoldGL.programTextures) {
        var texture = GL.textures[name];
        if (texture) {
          GLctx.deleteTexture(texture);
          texture.name = 0;
          GL.textures[name] = null;
        }
      }
      AvifoldGL.programTextures = {};
      AvifoldGL.lists = {};
      AvifoldGL.nextList = 1;
      AvifoldGL.recording = null;
      AvifoldGL.attribStack = [];
      AvifoldGL.raster = null;
      var caps = [0xDE1, 0xB71, 0xBE2, 0xB60];  // texturing, depth test, blending, fog
      for (var i = 0; i < caps.length; i++) AvifoldGL.setCapability(caps[i], 0);
      AvifoldGL.bindTexture(0xDE1, 0);
      _glDepthRange(0, 1);
      _glDepthFunc(0x201);
      _glDepthMask(1);
      _glClearDepth(1);
      _glClearColor(0, 0, 0, 0);
      _glBlendFunc(1, 0);
      AvifoldGL.setColour(1, 1, 1, 1);
      _glFogf(0xB63, 0);       // GL_FOG_START
      _glFogf(0xB64, 1);       // GL_FOG_END
      _glFogf(0xB62, 1);       // GL_FOG_DENSITY
      _glFogf(0xB65, 0x800);   // GL_FOG_MODE: GL_EXP
      GLEmulation.fogColor.fill(0);
      for (var mode = 0x1701; mode >= 0x1700; mode--) {  // projection, then model-view
        _glMatrixMode(mode);
        _glLoadIdentity();
      }
      _glViewport(0, 0, width, height);
    },

    // A context the browser lost and gave back has none of its WebGL objects: the
    // emulation's shaders and vertex buffers are made again as they are needed, and the
    // program's textures and lists are gone, as for a new window.
    renewContext: function(width, height) {
      GLImmediate.rendererCache = GLImmediate.MapTreeLib.create();
      GLImmediate.currentRenderer = null;
      GLImmediate.lastRenderer = null;
      GLImmediate.lastArrayBuffer = null;
      GLImmediate.lastProgram = null;
      GLImmediate.lastStride = -1;
      GLImmediate.fixedFunctionProgram = null;
      GL.currArrayBuffer = 0;
      GL.currElementArrayBuffer = 0;
      GL.generateTempBuffers(true, GL.currentContext);
      for (var name in AvifoldGL.programTextures) GL.textures[name] = null;  // nothing to delete
      AvifoldGL.resetContext(width, height);
    },

    // Where a point lands in the window, or null when it falls outside the view.
    project: function(x, y, z) {
      var point = [x, y, z, 1];
      var clip = [0, 0, 0, 0];
      var m = GLImmediate.matrix[0], p = GLImmediate.matrix[1];
      var eye = [0, 0, 0, 0];
      for (var row = 0; row < 4; row++) {
        eye[row] = m[row] * point[0] + m[4 + row] * point[1] + m[8 + row] * point[2] + m[12 + row];
      }
      for (var row = 0; row < 4; row++) {
        clip[row] = p[row] * eye[0] + p[4 + row] * eye[1] + p[8 + row] * eye[2] + p[12 + row] * eye[3];
      }
      var w = clip[3];
      for (var axis = 0; axis < 3; axis++) {
        if (!(clip[axis] >= -w && clip[axis] <= w)) return null;
      }
      var v = AvifoldGL.viewport;
      return [v[0] + (clip[0] / w + 1) * v[2] / 2, v[1] + (clip[1] / w + 1) * v[3] / 2];
    },
  },

  // The emulation always shades smoothly, which is the one model the program asks for.
  glShadeModel: function(mode) {},

  glGenLists__deps: ['$AvifoldGL'],
  glGenLists: function(range) {
    var first = AvifoldGL.nextList;
    for (var i = 0; i < range; i++) AvifoldGL.lists[first + i] = [];
    AvifoldGL.nextList += range;
    return first;
  },

  // Compiles only (GL_COMPILE), which is all the program asks for: the calls of the
  // list are kept and not run.
  glNewList__deps: ['$AvifoldGL'],
  glNewList: function(list, mode) {
    AvifoldGL.recording = [];
    AvifoldGL.compiling = list;
  },

  glEndList__deps: ['$AvifoldGL'],
  glEndList: function() {
    AvifoldGL.lists[AvifoldGL.compiling] = AvifoldGL.recording;
    AvifoldGL.recording = null;
  },

  glCallList__deps: ['$AvifoldGL'],
  glCallList: function(list) {
    var calls = AvifoldGL.lists[list];
    if (!calls) return;
    for (var i = 0; i < calls.length; i++) calls[i][0].apply(null, calls[i][1]);
  },

  // Only the depth-buffer bits are kept: the program saves nothing else.
  glPushAttrib__deps: ['$AvifoldGL'],
  glPushAttrib: function(mask) {
    AvifoldGL.attribStack.push({
      mask: mask,
      depthTest: AvifoldGL.depthTest,
      depthFunc: AvifoldGL.depthFunc,
      depthMask: AvifoldGL.depthMask,
      clearDepth: AvifoldGL.clearDepth,
    });
  },

  glPopAttrib__deps: ['$AvifoldGL', 'glDepthFunc', 'glDepthMask', 'glClearDepth'],
  glPopAttrib: function() {
    var saved = AvifoldGL.attribStack.pop();
    if (!saved || !(saved.mask & 0x100 /* GL_DEPTH_BUFFER_BIT */)) return;
    AvifoldGL.setCapability(0xB71, saved.depthTest);
    _glDepthFunc(saved.depthFunc);
    _glDepthMask(saved.depthMask);
    _glClearDepth(saved.clearDepth);
  },

  glRasterPos3f__deps: ['$AvifoldGL'],
  glRasterPos3f: function(x, y, z) {
    var at = AvifoldGL.project(x, y, z);
    AvifoldGL.raster = at === null ? null : {x: at[0], y: at[1], colour: AvifoldGL.colour.slice()};
  },

  // Level 0 as given, the smaller levels made by the browser from it.
  gluBuild2DMipmaps__deps: ['$AvifoldGL', 'glTexImage2D'],
  gluBuild2DMipmaps: function(target, internalFormat, width, height, format, type, data) {
    _glTexImage2D(target, 0, internalFormat, width, height, 0, format, type, data);
    GLctx.generateMipmap(target);
    return 0;
  },
};

mergeInto(LibraryManager.library, LibraryAvifoldGL);
