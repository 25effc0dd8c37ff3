// The one way to drive the browser build: a server for the site on 127.0.0.1, Debian's
// Chromium or Firefox ESR through puppeteer-core, the page with its probe (probe.js), the
// menu, keys, full screen, pictures of the canvas and waiting with a deadline. What the program
// decides is read from the probe's record of its GL calls, pictures only for what only pixels
// show, and judged by the desktop harness's facts and verdicts (tests/harness/web.py).
// The environment, which CTest sets, names the sites (AVIFOLD_WEB_SITE, and for the GL error
// check AVIFOLD_WEB_DEBUG_SITE) and the engine (AVIFOLD_WEB_ENGINE: chromium or firefox).

import {execFileSync} from 'node:child_process';
import fs from 'node:fs';
import http from 'node:http';
import path from 'node:path';
import {fileURLToPath} from 'node:url';
import zlib from 'node:zlib';
import puppeteer from 'puppeteer-core';

const here = path.dirname(fileURLToPath(import.meta.url));

export const START_TIMEOUT = 60000;
export const EFFECT_TIMEOUT = 30000;
const POLL_STEP = 20;

// One question to the desktop harness (tests/harness/web.py): its answer, parsed.
function ask(name, ...args) {
  return JSON.parse(execFileSync('python3', ['-m', 'harness.web'], {
    input: JSON.stringify({name, args}), maxBuffer: 1 << 26,
    env: {...process.env, PYTHONPATH: path.join(here, '..'), PYTHONDONTWRITEBYTECODE: '1'},
  }));
}

export const facts = ask('facts');
export const MISSING_FILE_MESSAGE = 'ERROR LOADING FILE!!!';

export function env(name) {
  if (!process.env[name]) throw new Error(`${name} is not set: run this through CTest`);
  return process.env[name];
}

export async function waitFor(condition, what, timeout = EFFECT_TIMEOUT) {
  const deadline = Date.now() + timeout;
  for (;;) {
    const value = await condition();
    if (value) return value;
    if (Date.now() > deadline) throw new Error(`timed out waiting for ${what}`);
    await new Promise((resolve) => setTimeout(resolve, POLL_STEP));
  }
}

// --- The site ----------------------------------------------------------------------------

const TYPES = {'.html': 'text/html', '.js': 'text/javascript', '.css': 'text/css',
               '.wasm': 'application/wasm', '.png': 'image/png', '.metadata': 'application/json'};

// Serves the site's folder as a plain static server does, gzip-compressed when asked, and
// counts the bytes `sent`. `without` names images left out of the package's list, as if they
// were not there; `failing` files answered with a server error; `held` a file of which only
// the first half is sent until `release()`.
export async function serveSite(root, {without = [], failing = [], held = ''} = {}) {
  const site = {sent: 0};
  const released = new Promise((resolve) => { site.release = resolve; });
  const server = http.createServer((request, response) => {
    const name = decodeURIComponent(new URL(request.url, 'http://site').pathname);
    const file = path.join(root, name.endsWith('/') ? name + 'index.html' : name);
    const missing = !file.startsWith(root) || !fs.existsSync(file) || !fs.statSync(file).isFile();
    if (missing || failing.includes(path.basename(file))) {
      return response.writeHead(missing ? 404 : 500).end();
    }
    let body = fs.readFileSync(file);
    if (file.endsWith('.metadata') && without.length > 0) {
      const list = JSON.parse(body);
      list.files = list.files.filter((f) => !without.includes(path.basename(f.filename)));
      body = Buffer.from(JSON.stringify(list));
    }
    const headers = {'Content-Type': TYPES[path.extname(file)] || 'application/octet-stream'};
    if (/\bgzip\b/.test(request.headers['accept-encoding'] || '')) {
      body = zlib.gzipSync(body);
      headers['Content-Encoding'] = 'gzip';
    }
    site.sent += body.length;
    response.writeHead(200, headers);
    if (path.basename(file) != held) return response.end(body);
    response.write(body.subarray(0, body.length >> 1));
    released.then(() => response.end(body.subarray(body.length >> 1)));
  });
  await new Promise((resolve) => server.listen(0, '127.0.0.1', resolve));
  site.url = `http://127.0.0.1:${server.address().port}/`;
  site.close = () => new Promise((resolve) => server.close(resolve));
  return site;
}

// --- The browser ---------------------------------------------------------------------------

// A page's size unless a scenario asks for another: the desktop harness's screen.
export const VIEWPORT = {width: facts.screenSize[0], height: facts.screenSize[1]};

// Firefox's settings beyond puppeteer's, which keep it off the network.
const FIREFOX_PREFS = {
  'app.update.auto': false, 'extensions.update.enabled': false,
  'network.captive-portal-service.enabled': false, 'network.connectivity-service.enabled': false,
  'toolkit.telemetry.enabled': false, 'toolkit.telemetry.server': '',
  // Full screen at once, without the transition or the notice over the canvas.
  'full-screen-api.transition-duration.enter': '0 0',
  'full-screen-api.transition-duration.leave': '0 0', 'full-screen-api.warning.timeout': 0,
  // A key that scrolls the page scrolls it at once, so that a scenario's next click lands
  // where it was aimed.
  'general.smoothScroll': false,
};

// Debian's Chromium or Firefox ESR, each with a fresh profile, drawing WebGL on the CPU;
// `webgl` 0 turns WebGL off, as some visitors have it. Firefox has no WebGL headless here, so
// its window shows on the X display it runs under (python3 -m harness run --), as large as
// the screen, since no window manager makes it so in full screen.
export const ENGINE = process.env.AVIFOLD_WEB_ENGINE || 'chromium';
export function launchBrowser(engine = ENGINE, {webgl = 1} = {}) {
  if (engine == 'chromium') {
    return puppeteer.launch({
      browser: 'chrome', executablePath: process.env.AVIFOLD_CHROMIUM || '/usr/bin/chromium',
      args: ['--no-sandbox', '--disable-gpu', '--enable-unsafe-swiftshader', '--disable-quic',
             '--disable-smooth-scrolling', ...(webgl ? [] : ['--disable-webgl'])],
    });
  }
  if (engine != 'firefox') throw new Error(`no engine "${engine}": chromium or firefox`);
  env('DISPLAY');
  return puppeteer.launch({
    browser: 'firefox', headless: false,
    extraPrefsFirefox: {...FIREFOX_PREFS, 'webgl.disabled': !webgl},
    executablePath: process.env.AVIFOLD_FIREFOX || '/usr/bin/firefox-esr',
    args: [`--width=${VIEWPORT.width}`, `--height=${VIEWPORT.height}`],
  });
}

const PROBE = fs.readFileSync(path.join(here, 'probe.js'), 'utf8');

// The page of a site with the probe, once it has drawn `frames`, in a context of its own (an
// empty cache). `viewport` may add deviceScaleFactor (all Firefox takes), hasTouch, isMobile.
export async function openApp(browser, url, {probe = true, viewport = {}} = {}) {
  const page = await (await browser.createBrowserContext()).newPage();
  await page.setViewport({...VIEWPORT, ...viewport});
  const app = new App(page);
  if (probe) await page.evaluateOnNewDocument(PROBE);
  await page.goto(url);
  if (probe) await app.waitForMore('swaps', 3, START_TIMEOUT);
  return app;
}

export class App {
  constructor(page) {
    this.page = page;
    this.errors = [];
    page.on('pageerror', (error) => this.errors.push(error.message));
    page.on('error', (error) => this.errors.push(`the page crashed: ${error.message}`));
    this.messages = [];  // what the page wrote to the browser's console
    page.on('console', (message) => this.messages.push(message.text()));
  }

  close() { return this.page.browserContext().close(); }

  probe(read, argument) { return this.page.evaluate(read, argument); }

  // What the page shows, in one question: what it says over the canvas (null: nothing), the
  // console, the hint, the focus, whether a menu is open and the boxes of those shown, full
  // screen, and the canvas's fit (CSS size, buffer, pixel ratio, page and content widths).
  look() {
    return this.probe(() => {
      const $ = (id) => document.getElementById(id);
      const [status, canvas, focus] = [$('status'), $('canvas'), document.activeElement];
      const box = canvas.getBoundingClientRect();
      return {
        said: status.hidden ? null : status.textContent,
        alert: status.getAttribute('role') == 'alert',
        console: $('console').textContent, hint: $('hint').textContent,
        focus: {role: focus.getAttribute('role'), id: focus.id,
                label: focus.firstChild && focus.firstChild.textContent},
        menuOpen: document.querySelector('.glut-menu') !== null,
        menus: [...document.querySelectorAll('.glut-menu')]
          .filter((m) => m.getClientRects().length).map((m) => m.getBoundingClientRect().toJSON()),
        fullScreen: document.fullscreenElement && document.fullscreenElement.id,
        fit: {css: [box.width, box.height], buffer: [canvas.width, canvas.height],
              ratio: devicePixelRatio, width: innerWidth,
              content: document.documentElement.scrollWidth},
      };
    });
  }

  // What the page shows once `holds` holds for it.
  lookUntil(holds, what) {
    return waitFor(async () => {
      const look = await this.look();
      return holds(look) && look;
    }, what);
  }

  // What the page says once it says something that `matches`.
  said(matches, what) {
    return this.lookUntil((look) => look.said !== null && matches.test(look.said), what);
  }

  counts() { return this.probe(() => ({ticks: avifoldProbe.ticks, swaps: avifoldProbe.swaps})); }

  // Until `more` of the probe's count ('swaps' or 'ticks') have come.
  async waitForMore(count, more, timeout = EFFECT_TIMEOUT) {
    const enough = (await this.counts())[count] + more;
    await waitFor(async () => (await this.counts())[count] >= enough, `${more} ${count}`, timeout);
  }

  events(kind) {
    return this.probe((k) => avifoldProbe.events.filter((e) => !k || e.kind == k), kind);
  }

  // The first event of a kind after `frame` whose fields match.
  async waitForEvent(kind, after, fields = {}) {
    const match = (e) => e.frame >= after && Object.entries(fields).every(([k, v]) => e[k] === v);
    return waitFor(async () => (await this.events(kind)).find(match),
                   `${kind} ${JSON.stringify(fields)}`);
  }

  // The first event of a kind whose fields match, that came after `act` began.
  async eventAfter(act, kind, fields = {}) {
    const after = (await this.counts()).swaps;
    await act();
    return this.waitForEvent(kind, after, fields);
  }

  // The `count` frames swapped from `frame` on (frame numbers count swaps from 1).
  framesFrom(frame, count) {
    return waitFor(async () => {
      const frames = await this.probe(([from, n]) =>
        avifoldProbe.frames.filter((f) => f.frame >= from).slice(0, n), [frame, count]);
      return frames.length >= count && frames;
    }, `${count} frames from frame ${frame}`);
  }

  // The frame swapped after frame number `frame`.
  frameAfter(frame) { return this.framesFrom(frame + 1, 1).then(([next]) => next); }

  framesFromTick(tick, count) {
    return waitFor(async () => {
      const frames = await this.probe((t) => avifoldProbe.frames.filter((f) => f.tick >= t), tick);
      return new Set(frames.map((f) => f.tick)).size >= count && frames;
    }, `frames of ${count} ticks from tick ${tick}`);
  }

  // Presses each key in turn; 'Shift+F10' holds Shift over F10.
  async press(...keys) {
    for (const key of keys) {
      const [alone, ...held] = key.split(/\+(?=.)/).reverse();
      for (const k of held) await this.page.keyboard.down(k);
      await this.page.keyboard.press(alone);
      for (const k of held) await this.page.keyboard.up(k);
    }
  }

  // The centre and box of the first shown element of `selector` (whose first child reads
  // `label`), once there is one: one question a try, as puppeteer's handles are slow here.
  shown(selector, label = null) {
    return waitFor(() => this.probe(([s, text]) => {
      const shown = [...document.querySelectorAll(s)].find((e) => e.getClientRects().length > 0 &&
        (text === null || e.firstChild.textContent === text));
      if (!shown) return null;
      const {x, y, width, height} = shown.getBoundingClientRect();
      return {x: x + width / 2, y: y + height / 2, box: {x, y, width, height}};
    }, [selector, label]), `${selector} ${label || ''}`);
  }

  closedMenu() { return this.lookUntil((look) => !look.menuOpen, 'the menu to close'); }

  // The menu, opened with the right button on the canvas; and the canvas's box.
  async openMenu() {
    const {box} = await this.shown('#canvas');
    await this.page.mouse.click(box.x + 100, box.y + 100, {button: 'right'});
    await this.shown('.glut-menu');
    return box;
  }

  // Chooses an entry by its label (View's through the View submenu): the probe's record of it.
  choose(label) {
    return this.eventAfter(async () => {
      await this.openMenu();
      if (facts.viewMenu.includes(label)) {
        const view = await this.shown('.glut-entry', 'View');
        await this.page.mouse.move(view.x, view.y);
      }
      const chosen = await this.shown('.glut-entry', label);
      await this.page.mouse.click(chosen.x, chosen.y);
      await this.closedMenu();
    }, 'menu', {label});
  }

  async menuLabels() {
    const box = await this.openMenu();
    const labels = await this.probe(() => [...document.querySelectorAll(
      'body > .glut-menu > .glut-entry')].map((e) => e.firstChild.textContent));
    await this.press('Shift');  // no key the program reads
    await this.page.mouse.click(box.x + box.width + 40, box.y + 10);
    await this.closedMenu();
    return labels;
  }

  // Chooses "Full Screen Mode"; waits for a view of the page's size in device pixels.
  async enterFullScreen() {
    const event = await this.choose('Full Screen Mode');
    const fullView = (frame) => avifoldProbe.events.find((e) => e.kind == 'reshape' &&
      e.frame >= frame && e.w == Math.round(innerWidth * devicePixelRatio) &&
      e.h == Math.round(innerHeight * devicePixelRatio));
    await waitFor(() => this.probe(fullView, event.frame), 'full screen');
    return event;
  }

  // Leaves full screen by the program's Escape key, or by the browser's own way out.
  async leaveFullScreen(byBrowser = false) {
    const ratio = await this.probe(() => devicePixelRatio);
    const [w, h] = facts.windowSize.map((side) => side * ratio);
    const event = await this.eventAfter(() => (byBrowser ?
      this.probe(() => document.exitFullscreen()) : this.press('Escape')), 'reshape', {w, h});
    await this.lookUntil((look) => look.fullScreen === null, 'the end of full screen');
    return event;
  }

  // The canvas's pixels as the next `count` frames leave them, read at their swaps; with
  // `sameTick`, the next two frames in a row that show the same tick.
  async pictures(count, sameTick = false) {
    await this.probe(([n, same]) => avifoldProbe.capture(n, same), [count, sameTick]);
    const taken = await waitFor(() => this.probe(() => avifoldProbe.captured()),
                                `${count} pictures`);
    return taken.map((p) => ({...p, data: Buffer.from(p.data, 'base64')}));
  }
}

// --- Verdicts, the desktop's --------------------------------------------------------------

// The frames whose camera the view ('behind_bird0', 'follows_flock') does not place.
export const misplaced = (view, frames) => ask('misplaced', view, frames);
// Bird 0's turn, degrees a tick, between successive frames of different ticks.
export const turns = (frames) => ask('turns', frames);
// Whether ticks (performance.now() ms) are one chain's: {lead, limit, holds}.
export const oneChain = (tickTimes) => ask('chain', tickTimes);
// The memory contract on heap samples (bytes) after the warm-up: {slopeKiB, holds}.
export const heapVerdict = (samples, warmUp) => ask('heap', samples, warmUp);

const asSent = (picture) => ({...picture, data: picture.data.toString('base64')});
// The whole scene under that sky: the read-out where it belongs and ground below.
export const showsScene = (picture, sky) => ask('whole_scene', asSent(picture), sky);
// The share of pixels in the box [left, top, right, bottom) within `tolerance` of `colour`.
export const colourShare = (picture, colour, tolerance, ...box) =>
  ask('colour_share', asSent(picture), colour, tolerance, ...box);

// The share of pixels that two pictures of one size show differently.
export function difference(a, b, tolerance = 48) {
  let differ = 0;
  for (let i = 0; i < a.data.length; i += 4) {
    const d = [0, 1, 2].reduce((sum, c) => sum + Math.abs(a.data[i + c] - b.data[i + c]), 0);
    if (d > tolerance) differ++;
  }
  return differ / (a.width * a.height);
}
