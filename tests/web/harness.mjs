// The one way to drive the browser build: a server for the site on 127.0.0.1, Debian's
// Chromium through playwright-core, the page with its probe (probe.js), the menu, keys,
// full screen, pictures of the canvas and waiting. What the program decides is read from
// the probe's record of its GL calls; pictures only for what only pixels show. Waits poll
// a condition until a deadline; no judgement is taken again until it passes.
//
// The expected facts (banner, menu, colours) and the verdicts on the probe's records
// (camera, turns, tick chain, heap, pictures) are the desktop harness's: tests/harness/web.py
// answers them, so that both builds are held to the same ones.
//
// The site comes from the environment, which CTest sets: AVIFOLD_WEB_SITE (the folder
// tools/build_web.sh writes) and, for the GL error check, AVIFOLD_WEB_DEBUG_SITE.

import {execFileSync} from 'node:child_process';
import fs from 'node:fs';
import http from 'node:http';
import path from 'node:path';
import {fileURLToPath} from 'node:url';
import zlib from 'node:zlib';
import {chromium} from 'playwright-core';

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
  const value = process.env[name];
  if (!value) throw new Error(`${name} is not set: run this through CTest`);
  return value;
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

// Serves the site's folder as a plain static server does, gzip-compressed when asked.
// `without` names images left out of the package's list, as if they were not there.
// `sent` counts the bytes that went over the wire.
export async function serveSite(root, {without = []} = {}) {
  const site = {sent: 0, url: '', close: null};
  const server = http.createServer((request, response) => {
    const name = decodeURIComponent(new URL(request.url, 'http://site').pathname);
    const file = path.join(root, name.endsWith('/') ? name + 'index.html' : name);
    if (!file.startsWith(root) || !fs.existsSync(file) || !fs.statSync(file).isFile()) {
      response.writeHead(404);
      response.end();
      return;
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
    response.end(body);
  });
  await new Promise((resolve) => server.listen(0, '127.0.0.1', resolve));
  site.url = `http://127.0.0.1:${server.address().port}/`;
  site.close = () => new Promise((resolve) => server.close(resolve));
  return site;
}

// --- The browser ---------------------------------------------------------------------------

// Debian's Chromium, headless, rendering WebGL on the CPU, with nothing of its own going
// out to the network (this machine has none).
export function launchBrowser() {
  return chromium.launch({
    executablePath: process.env.AVIFOLD_CHROMIUM || '/usr/bin/chromium',
    args: ['--no-sandbox', '--disable-gpu', '--enable-unsafe-swiftshader', '--disable-quic',
           '--no-first-run', '--disable-background-networking', '--disable-component-update',
           '--disable-sync', '--disable-background-timer-throttling',
           '--disable-renderer-backgrounding'],
  });
}

const PROBE = fs.readFileSync(path.join(here, 'probe.js'), 'utf8');

// The page of a site, with the probe, once it has drawn its first frames.
export async function openApp(browser, url, {probe = true, frames = 3} = {}) {
  const page = await browser.newPage({viewport: {width: 1024, height: 768}});
  const app = new App(page);
  if (probe) await page.addInitScript(PROBE);
  await page.goto(url);
  if (probe) await app.waitForMore('swaps', frames, START_TIMEOUT);
  return app;
}

export class App {
  constructor(page) {
    this.page = page;
    this.errors = [];
    page.on('pageerror', (error) => this.errors.push(error.message));
    page.on('crash', () => this.errors.push('the page crashed'));
  }

  probe(read, argument) {
    return this.page.evaluate(read, argument);
  }

  counts() {
    return this.probe(() => ({ticks: avifoldProbe.ticks, swaps: avifoldProbe.swaps}));
  }

  console() {
    return this.page.locator('#console').textContent();
  }

  // Until `more` of the probe's count ('swaps' or 'ticks') have come.
  async waitForMore(count, more, timeout = EFFECT_TIMEOUT) {
    const start = (await this.counts())[count];
    await waitFor(async () => (await this.counts())[count] >= start + more, `${more} ${count}`,
                  timeout);
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

  // The `count` frames swapped from `frame` on (frame numbers count swaps from 1).
  async framesFrom(frame, count) {
    const read = () => this.probe(([from, n]) =>
      avifoldProbe.frames.filter((f) => f.frame >= from).slice(0, n), [frame, count]);
    return waitFor(async () => {
      const frames = await read();
      return frames.length >= count ? frames : null;
    }, `${count} frames from frame ${frame}`);
  }

  async framesFromTick(tick, count) {
    return waitFor(async () => {
      const frames = await this.probe((t) => avifoldProbe.frames.filter((f) => f.tick >= t), tick);
      const ticks = new Set(frames.map((f) => f.tick));
      return ticks.size >= count ? frames : null;
    }, `frames of ${count} ticks from tick ${tick}`);
  }

  // The menu, opened with the right button on the canvas; and the canvas's box.
  async openMenu() {
    const box = await this.page.locator('#canvas').boundingBox();
    await this.page.mouse.click(box.x + 100, box.y + 100, {button: 'right'});
    const menu = this.page.locator('.glut-menu').first();
    await menu.waitFor({state: 'visible'});
    return [menu, box];
  }

  // Chooses an entry of the menu by its label; View's entries through the View submenu.
  // Returns the probe's record of the choice.
  async choose(label) {
    const after = (await this.counts()).swaps;
    const [menu] = await this.openMenu();
    if (facts.viewMenu.includes(label)) {
      await menu.getByText('View', {exact: true}).hover();
    }
    await menu.getByText(label, {exact: true}).first().click();
    await menu.waitFor({state: 'detached'});
    return this.waitForEvent('menu', after, {label});
  }

  async menuLabels() {
    const [menu, box] = await this.openMenu();
    const labels = await menu.locator(':scope > .glut-entry').evaluateAll(
      (entries) => entries.map((e) => e.firstChild.textContent));
    await this.page.keyboard.press('Shift');  // no key the program reads
    await this.page.mouse.click(box.x + box.width + 40, box.y + 10);
    await menu.waitFor({state: 'detached'});
    return labels;
  }

  fullScreenElement() {
    return this.page.evaluate(() => document.fullscreenElement && document.fullscreenElement.id);
  }

  // Chooses "Full Screen Mode" and waits for the program's full-screen view.
  async enterFullScreen() {
    const event = await this.choose('Full Screen Mode');
    const screen = await this.page.evaluate(() => [innerWidth, innerHeight]);
    await this.waitForEvent('reshape', event.frame, {w: screen[0], h: screen[1]});
    return event;
  }

  // Leaves full screen by the program's Escape key, or by the browser's own way out.
  async leaveFullScreen(byBrowser = false) {
    const after = (await this.counts()).swaps;
    if (byBrowser) {
      await this.page.evaluate(() => document.exitFullscreen());
    } else {
      await this.page.keyboard.press('Escape');
    }
    const [w, h] = facts.windowSize;
    const event = await this.waitForEvent('reshape', after, {w, h});
    await waitFor(async () => (await this.fullScreenElement()) === null, 'the end of full screen');
    return event;
  }

  // The canvas's pixels as the next `count` frames leave them, read at their swaps; with
  // `sameTick`, the next two frames in a row that show the same tick.
  async pictures(count, sameTick = false) {
    await this.probe(([n, same]) => avifoldProbe.capture(n, same), [count, sameTick]);
    const taken = await waitFor(() => this.probe(() => avifoldProbe.captured()), `${count} pictures`);
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
// The share of pixels in [left, right) x [top, bottom) within `tolerance` of `colour`.
export const colourShare = (picture, colour, tolerance, left, top, right, bottom) =>
  ask('colour_share', asSent(picture), colour, tolerance, left, top, right, bottom);

// The share of pixels that two pictures of one size show differently.
export function difference(a, b, tolerance = 48) {
  let differ = 0;
  for (let i = 0; i < a.data.length; i += 4) {
    const d = Math.abs(a.data[i] - b.data[i]) + Math.abs(a.data[i + 1] - b.data[i + 1]) +
              Math.abs(a.data[i + 2] - b.data[i + 2]);
    if (d > tolerance) differ++;
  }
  return differ / (a.width * a.height);
}
