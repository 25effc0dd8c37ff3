// The browser build in Chromium or Firefox (AVIFOLD_WEB_ENGINE): the same program as on the
// desktop, judged by the same facts. Each test opens the page afresh from a server on
// 127.0.0.1.

import assert from 'node:assert/strict';
import path from 'node:path';
import {after, before, test} from 'node:test';
import * as h from './harness.mjs';

const {facts, waitFor} = h;

const site = path.resolve(h.env('AVIFOLD_WEB_SITE'));
const debugSite = path.resolve(h.env('AVIFOLD_WEB_DEBUG_SITE'));
const START = [2 * facts.flock, 1, facts.fogGrey, facts.fogFar];  // birds, fog, clear, far
const WITHOUT_FOG = [START[0], 0, facts.clearBlue, facts.clearFar];
const settings = (f) => [f.birds, f.fog, f.clear.map(Math.fround), f.far];
const ROUND_TRIPS = 10;
const WARM_UP_TRIPS = 2;
const ARROWS = {ArrowLeft: 100, ArrowUp: 101, ArrowRight: 102, ArrowDown: 103};  // GLUT's codes
const quiet = (look) => look.said === null;

let browser;
before(async () => { browser = await h.launchBrowser(); });
after(async () => { await browser.close(); });

// A page of the site (served with `serving`, opened with `opening` in `inBrowser`), closed
// with its server once done; no page error may occur, nor a complaint about a listener.
async function withApp(root, {serving = {}, opening = {}, inBrowser = browser} = {}, run) {
  const server = await h.serveSite(root, serving);
  const app = await h.openApp(inBrowser, server.url, opening);
  try {
    await run(app, server);
    assert.deepEqual(app.errors, []);
    assert.deepEqual(app.messages.filter((m) => /passive event listener/.test(m)), []);
  } finally {
    await app.close().then(() => server.close());
  }
}

// Bird 0, and the camera behind it, turns `rate` degrees a tick once the turn has settled
// after the program's `callback` heard `key` (GLUT's code) from `press`.
async function turnsAfter(app, callback, key, press, rate) {
  const heard = await app.eventAfter(press, 'heard', {callback, key});
  const frames = await app.framesFromTick(heard.tick + facts.turnSettleTicks, 12);
  const steps = h.turns(frames);
  assert.ok(steps.length >= 6, JSON.stringify(frames));
  assert.deepEqual(steps, steps.map(() => rate));
  assert.deepEqual(h.misplaced('behind_bird0', frames), []);
}

test('starts as on the desktop: banner, title, menu, and every frame the whole scene', async () => {
  // The shipped site shows the share of its files arrived until the first frame, carries
  // none of the tests' instruments, and sends at most 1.5 MB.
  const loading = {serving: {held: 'avifold.data'}, opening: {probe: false}};
  await withApp(site, loading, async (app, server) => {
    await app.said(/^Loading Avifold: [1-9][0-9]? %$/, 'a share of the files');
    server.release();
    await app.lookUntil(quiet, 'the first frame');
    assert.equal((await app.look()).console, facts.banner);
    const instruments = ['addFunction', 'getWasmTableEntry', '_avifoldHeapInUse'];
    assert.deepEqual(await app.probe((names) => names.filter((n) => n in Module), instruments), []);
    assert.ok(server.sent <= 1.5e6, `${server.sent} bytes sent`);
  });
  await withApp(debugSite, {}, async (app) => {
    assert.equal((await app.look()).console, facts.banner);
    assert.equal(await app.page.title(), 'Avifold');
    const [first, second] = await app.framesFrom(1, 2);
    assert.deepEqual(settings(first), START);
    // Shadows are drawn over everything, inside glPushAttrib; glPopAttrib gives each bird
    // back its frame's depth test, the two halves' in turn.
    const [LESS, GREATER, ALWAYS] = [0x201, 0x204, 0x207];
    const tests = [first, second].map((f) => f.depthTests);
    assert.deepEqual(tests.map((t) => t[ALWAYS]), [facts.flock, facts.flock]);
    assert.deepEqual(new Set(tests.map((t) => JSON.stringify(t))), new Set(
      [LESS, GREATER].map((half) => JSON.stringify({[half]: facts.flock, [ALWAYS]: facts.flock}))));
    assert.ok(first.chars > 0, 'the read-out');
    assert.equal((await app.events('arm'))[0].ms, facts.tickMs);
    const chain = h.oneChain(await app.probe(() => avifoldProbe.tickTimes));
    assert.ok(chain.holds, JSON.stringify(chain));
    assert.deepEqual(await app.menuLabels(), facts.mainMenu);
    // Frames alternate halves of the depth range and never clear depth: two frames in a
    // row that show one tick both draw the whole scene, and draw it alike.
    const pictures = await app.pictures(2, true);
    assert.equal(pictures[1].frame, pictures[0].frame + 1);
    for (const picture of pictures) {
      assert.deepEqual([picture.width, picture.height], facts.windowSize);
      assert.ok(h.showsScene(picture, facts.greyPixel), `frame ${picture.frame}`);
    }
    // Alike but for thin edges (wings seen edge-on) that the two halves of the depth range
    // resolve apart, a few hundredths at most; a frame drawn wrong differs far more.
    const apart = h.difference(pictures[0], pictures[1]);
    assert.ok(apart < 0.05, `frames of one tick alike: ${apart} of the pixels differ`);
  });
});

// The keys the page saw from `keys` that it kept from the browser, and those the program
// heard pressed (GLUT's codes), once the page has seen Shift released after them.
async function keysFrom(app, keys) {
  const start = (await app.events()).length;
  await app.press(...keys, 'Shift');
  const events = await waitFor(async () => {
    const seen = (await app.events()).slice(start);
    return seen.some((e) => e.kind == 'key' && e.type == 'keyup' && e.key == 'Shift') && seen;
  }, 'the keys');
  const pick = (which) => events.filter(which).map((e) => e.key);
  return {kept: pick((e) => e.kind == 'key' && e.type == 'keydown' && e.cancelled),
          heard: pick((e) => e.kind == 'heard' && e.callback != 'specialUp')};
}

test('menu commands switch fog, shadows, read-out and hills, and relabel their entries; ' +
     'the keys stay the browser\'s, the keyboard works the menu, menus stay on screen', async () => {
  await withApp(debugSite, {opening: {viewport: {height: 600}}}, async (app) => {
    // Until a click gives the canvas the keys, every key is the browser's. Then only the
    // arrows are kept from it, and keys with Alt never reach the program.
    const keys = ['ArrowUp', 'a', 'F2', 'PageDown', ' ', 'Alt+ArrowRight', 'Tab'];
    assert.deepEqual(await keysFrom(app, keys), {kept: [], heard: []});
    await app.probe(() => scrollTo({top: 0, behavior: 'instant'}));
    const centre = await app.shown('#canvas');
    await app.page.mouse.click(centre.x, centre.y);
    assert.match((await app.look()).hint, /has the keys/);
    assert.deepEqual(await keysFrom(app, keys), {kept: ['ArrowUp'], heard: [101, 97, 2, 105, 32, 9]});
    assert.notEqual((await app.look()).focus.id, 'canvas', 'Tab took the focus on');
    await app.probe(() => scrollTo({top: 0, behavior: 'instant'}));

    // On the focused canvas Shift+F10 or the ContextMenu key opens the menu, at its first
    // entry; the arrows move, Enter chooses and gives the canvas the keys back, Escape closes.
    await app.page.focus('#canvas');
    await app.press('Shift+F10');
    await app.lookUntil((look) => look.focus.label == 'View', 'the menu at its first entry');
    assert.equal(await app.probe(() => document.querySelector('.glut-menu').getAttribute('role')), 'menu');
    await app.press('ArrowDown', 'ArrowDown');
    assert.deepEqual((await app.look()).focus, {role: 'menuitem', id: '', label: '+ Fog'});
    const chosen = await app.eventAfter(() => app.press('Enter'), 'menu', {label: '+ Fog'});
    assert.deepEqual(settings(await app.frameAfter(chosen.frame)), WITHOUT_FOG);
    assert.equal((await app.look()).focus.id, 'canvas');
    // WebDriver BiDi has no ContextMenu key to press: Firefox opens it by Shift+F10 again.
    await app.press(h.ENGINE == 'firefox' ? 'Shift+F10' : 'ContextMenu');
    await app.lookUntil((look) => look.menuOpen, 'the menu by its key');
    await app.press('Escape');
    assert.equal((await app.closedMenu()).focus.id, 'canvas');

    // Opened by the canvas's bottom right corner, the menu opens upwards and its submenu to
    // the left, both inside the viewport.
    const {box} = await app.shown('#canvas');
    await app.page.mouse.click(box.x + box.width - 4, box.y + box.height - 4, {button: 'right'});
    const view = await app.shown('.glut-entry', 'View');
    await app.page.mouse.move(view.x, view.y);
    const {menus} = await app.lookUntil((look) => look.menus.length == 2, 'the View submenu');
    for (const m of menus) {
      assert.ok(m.left >= 0 && m.top >= 0 && m.right <= h.VIEWPORT.width && m.bottom <= 600,
                JSON.stringify(m));
    }
    await app.page.mouse.click(10, 10);
    await app.closedMenu();

    const [picture] = await app.pictures(1);
    assert.ok(h.showsScene(picture, facts.bluePixel), 'blue sky without fog');
    const switched = async (label) => app.frameAfter((await app.choose(label)).frame);
    assert.deepEqual(settings(await switched('- Fog')), START);
    assert.equal((await switched('+ Shadows')).birds, facts.flock);
    assert.equal((await switched('+ FPS')).chars, 0);
    const plain = await switched('----------');
    assert.deepEqual([plain.birds, plain.chars], [facts.flock, 0]);
    assert.deepEqual((await app.menuLabels()).slice(2, 5), ['+ Fog', '- Shadows', '- FPS']);
    assert.equal((await switched('- Shadows')).birds, 2 * facts.flock);
    assert.ok((await switched('- FPS')).chars > 0);

    const [hills] = await app.events('terrain');
    assert.ok(hills.nonzero > 0);
    const terrainAfter = async (label) =>
      app.waitForEvent('terrain', (await app.choose(label)).frame);
    assert.equal((await terrainAfter('+ Bumps and Hills')).nonzero, 0);
    const again = await terrainAfter('- Bumps and Hills');
    assert.ok(again.nonzero > 0);
    assert.notEqual(again.digest, hills.digest, 'new hills');
  });
});

test('views place the camera, and the arrows fly bird 0 in Bird Control', async () => {
  await withApp(debugSite, {}, async (app) => {
    const views = {'Smart Follow': 'follows_flock', 'Bird Control': 'behind_bird0'};
    for (const [label, view] of Object.entries(views)) {
      const event = await app.choose(label);
      assert.deepEqual(h.misplaced(view, await app.framesFromTick(event.tick + 1, 10)), [], label);
    }

    // A held arrow turns bird 0 at the top rate; "d" marks the left arrow's slot for good.
    for (const [key, rate] of [['ArrowLeft', 1], ['ArrowRight', -1]]) {
      await turnsAfter(app, 'special', ARROWS[key], () => app.page.keyboard.down(key),
                       rate * facts.topTurnRate);
      await app.page.keyboard.up(key);
    }
    await turnsAfter(app, 'keyboard', 'd'.charCodeAt(0), () => app.press('d'), facts.topTurnRate);
  });
});

test('full screen and back ten times: settings, one tick chain, no growth of heap or GL objects', async () => {
  // The debug build, which also reports every GL error of each new context.
  await withApp(debugSite, {}, async (app) => {
    await app.choose('+ Fog');
    const [heap, live] = [[], []];
    for (let trip = 0; trip < ROUND_TRIPS; trip++) {
      const entered = await app.enterFullScreen();
      assert.equal((await app.look()).fullScreen, 'canvas');
      const full = await app.frameAfter(entered.frame);
      assert.deepEqual(settings(full), WITHOUT_FOG);
      if (trip == 0) {
        // In full screen the right button opens no menu; GLUT would show it at once.
        await app.page.mouse.click(200, 200, {button: 'right'});
        assert.equal((await app.look()).menuOpen, false);
      }
      const windowed = await app.frameAfter((await app.leaveFullScreen(trip % 2 == 1)).frame);
      assert.deepEqual(settings(windowed), settings(full));
      heap.push(await app.probe(() => avifoldProbe.heapInUse()));
      live.push(await app.probe(() => avifoldProbe.liveGlObjects()));
    }
    // A new window's menu is built as at the start, whatever the settings.
    assert.deepEqual(await app.menuLabels(), facts.mainMenu);
    assert.equal((await app.events('context')).length, 1 + 2 * ROUND_TRIPS);
    const chain = h.oneChain(await app.probe(() => avifoldProbe.tickTimes));
    assert.ok(chain.holds, JSON.stringify(chain));
    await app.waitForMore('ticks', 3);
    const verdict = h.heapVerdict(heap, WARM_UP_TRIPS);
    assert.ok(verdict.holds, `heap in use after each trip: ${heap}, ${verdict.slopeKiB} KiB`);
    const settled = live.slice(WARM_UP_TRIPS);
    assert.deepEqual(settled, settled.map(() => settled[0]), 'live GL objects after each trip');
    assert.doesNotMatch((await app.look()).console, /GL error/);
  });
});

test('a missing image gives the message and draws its texture as plain white', async () => {
  await withApp(debugSite, {serving: {without: ['ground512.raw']}}, async (app) => {
    assert.equal((await app.look()).console, facts.banner + h.MISSING_FILE_MESSAGE);
    await app.choose('+ Fog');
    await app.choose('Smart Follow');
    await app.waitForMore('ticks', 2);
    const [picture] = await app.pictures(1);
    const white = h.colourShare(picture, [255, 255, 255], 0, 0, 360, 640, 480);
    assert.ok(white > 0.3, `white ground: ${white}`);
  });
});

test('phones and tablets: the canvas fits at 4:3 and draws sharp, and touch reaches the ' +
     'menu and flies bird 0', async () => {
  const phone = {width: 390, height: 844, deviceScaleFactor: 3, hasTouch: true, isMobile: true};
  await withApp(debugSite, {opening: {viewport: phone}}, async (app) => {
    // Upright and turned, the canvas is as wide as the page lets it be, 4:3, its buffer
    // that size in device pixels, and the program hears that size.
    for (const [width, height] of [[844, 390], [390, 844]]) {
      const after = (await app.counts()).swaps;
      await app.page.setViewport({...phone, width, height});
      const {fit} = await app.lookUntil(({fit}) => fit.width == width &&
        fit.css.every((side, i) => Math.round(side * fit.ratio) == fit.buffer[i]),
      `a ${width} px wide page, drawn at its device pixels`);
      assert.ok(fit.content <= width && fit.css[0] <= width, JSON.stringify(fit));
      assert.ok(Math.abs(fit.css[0] * 3 - fit.css[1] * 4) < 0.1, JSON.stringify(fit));
      assert.equal(fit.ratio, phone.deviceScaleFactor);
      await app.waitForEvent('reshape', after, {w: fit.buffer[0], h: fit.buffer[1]});
    }

    // A long press opens the menu, a tap chooses; the Menu button opens it too.
    const tap = (selector, label) =>
      app.shown(selector, label).then((at) => app.page.touchscreen.tap(at.x, at.y));
    const tapped = async (label) => app.frameAfter(
      (await app.eventAfter(() => tap('.glut-entry', label), 'menu', {label})).frame);
    const fingers = [];
    const hold = async (selector) => {
      const at = await app.shown(selector);
      fingers.push(await app.page.touchscreen.touchStart(at.x, at.y));
    };
    await hold('#canvas');
    await app.shown('.glut-menu');
    await fingers.pop().end();
    assert.equal((await tapped('+ Fog')).fog, 0);
    await tap('#menu-button');
    assert.equal((await tapped('- Fog')).fog, 1);

    // The arrow buttons are the arrow keys, held while a finger is on them, several at
    // once: bird 0 turns as a held arrow key turns it, and every release is heard.
    const arrow = (key) => () => hold(`#arrows button[data-key="${key}"]`);
    await turnsAfter(app, 'special', ARROWS.ArrowLeft, arrow(ARROWS.ArrowLeft), facts.topTurnRate);
    const climb = await app.eventAfter(arrow(ARROWS.ArrowUp), 'heard',
                                       {callback: 'special', key: ARROWS.ArrowUp});
    for (const held of fingers) await held.end();
    for (const key of [ARROWS.ArrowLeft, ARROWS.ArrowUp]) {
      await app.waitForEvent('heard', climb.frame, {callback: 'specialUp', key});
    }

    // A tablet at twice the pixels: full screen is drawn at the screen's device pixels.
    // (A change of isMobile or hasTouch would load the page again.)
    const tablet = {...phone, width: 1024, height: 768, deviceScaleFactor: 2};
    await app.page.setViewport(tablet);
    await app.enterFullScreen();
    await app.leaveFullScreen();
    // Where full screen is refused (a frame that does not allow it), the canvas covers the
    // page and follows its size, at the page's shape, not stretched.
    await app.probe(() => {
      HTMLElement.prototype.requestFullscreen = () => Promise.reject(new TypeError('refused'));
    });
    await app.enterFullScreen();
    await app.eventAfter(() => app.page.setViewport({...tablet, width: 600, height: 800}),
                         'reshape', {w: 1200, h: 1600});
  });
});

test('failures speak in the page: no WebGL, a lost context given back, each missing ' +
     'file, a page opened from disk', async (t) => {
  // Without WebGL the page says so and loads no program at all.
  const withoutWebgl = await h.launchBrowser(h.ENGINE, {webgl: 0});
  t.after(() => withoutWebgl.close());
  await withApp(site, {opening: {probe: false}, inBrowser: withoutWebgl}, async (app) => {
    assert.ok((await app.said(/WebGL/, 'no WebGL')).alert);
    assert.deepEqual(await app.probe(() => [...document.scripts].map((s) => s.src.split('/').pop())),
                     ['page.js']);
  });

  // A file that does not come is named; from disk, the page gives the command that serves it.
  for (const name of ['avifold.js', 'avifold.wasm', 'avifold.data', 'avifold-data.js',
                      'avifold-data.js.metadata']) {
    await withApp(site, {serving: {failing: [name]}, opening: {probe: false}}, async (app) => {
      const named = new RegExp(`could not load ${name.replace(/\./g, '\\.')}\\b`);
      assert.ok((await app.said(named, name)).alert, name);
    });
  }
  // Firefox reads a page's own folder from disk, and the demo runs there.
  const fromDisk = await h.openApp(browser, `file://${site}/index.html`, {probe: false});
  t.after(() => fromDisk.close());
  const command = /python3 -m http\.server --bind 127\.0\.0\.1 -d build-web\/site 8000/;
  await (h.ENGINE == 'firefox' ? fromDisk.lookUntil(quiet, 'the first frame from disk') :
                                 fromDisk.said(command, 'the command'));
  assert.deepEqual(fromDisk.errors, []);

  // A lost context: the page says so, no frame is drawn and the ticks go on; given back,
  // the program sets its GL up again and the scene comes back with the switches it had.
  await withApp(debugSite, {}, async (app) => {
    await app.choose('+ Fog');
    await app.probe(() =>
      (window.loser = Module.ctx.getExtension('WEBGL_lose_context')).loseContext());
    await app.said(/lost/, 'the lost picture');
    const {swaps} = await app.counts();
    await app.waitForMore('ticks', 10);
    assert.equal((await app.counts()).swaps, swaps, 'no frame while the context is lost');
    await app.probe(() => loser.restoreContext());
    await app.lookUntil(quiet, 'the picture back');
    assert.deepEqual(settings(await app.frameAfter(swaps)), WITHOUT_FOG);
    const [picture] = await app.pictures(1);
    assert.ok(h.showsScene(picture, facts.bluePixel), 'the scene back, without fog');
    const chain = h.oneChain(await app.probe(() => avifoldProbe.tickTimes));
    assert.ok(chain.holds, JSON.stringify(chain));
  });
});
