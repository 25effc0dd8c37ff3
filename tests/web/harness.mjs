// The one way to drive the browser build: a server for the site on 127.0.0.1, Debian's
// Chromium through playwright-core, the page with its probe (probe.js), the menu, keys,
// full screen, pictures of the canvas and waiting. What the program decides is read from
// the probe's record of its GL calls; pictures only for what only pixels show. Waits poll
// a condition until a deadline; no judgement is taken again until it passes.
//
// The expected facts (banner, menu, colours, camera) are the desktop harness's, read from
// tests/harness/facts.py, so that both builds are held to the same ones.
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

// The desktop harness's facts, one place for both builds.
export const facts = JSON.parse(execFileSync('python3', ['-c', `
import json, harness as h
print(json.dumps({
    "banner": h.BANNER.decode(), "mainMenu": h.MAIN_MENU, "viewMenu": h.VIEW_MENU,
    "fogGrey": h.FOG_GREY, "clearBlue": h.CLEAR_BLUE, "fogFar": h.FOG_FAR,
    "clearFar": h.CLEAR_FAR, "greyPixel": h.GREY_PIXEL, "bluePixel": h.BLUE_PIXEL,
    "flock": h.FLOCK, "cameraBehindBird": h.CAMERA_BEHIND_BIRD,
    "topTurnRate": h.TOP_TURN_RATE, "turnSettleTicks": h.TURN_SETTLE_TICKS,
    "tickMs": h.TICK_MS, "oneChainLead": h.ONE_CHAIN_LEAD,
    "windowSize": h.WINDOW_SIZE, "dataFiles": h.DATA_FILES}))`],
  {env: {...process.env, PYTHONPATH: path.join(here, '..'), PYTHONDONTWRITEBYTECODE: '1'}}));
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
  if (probe) await app.waitForSwaps(frames, START_TIMEOUT);
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

  async waitForSwaps(more = 3, timeout = EFFECT_TIMEOUT) {
    const start = (await this.counts()).swaps;
    await waitFor(async () => (await this.counts()).swaps >= start + more, `${more} frames`, timeout);
  }

  async waitForTicks(more) {
    const start = (await this.counts()).ticks;
    await waitFor(async () => (await this.counts()).ticks >= start + more, `${more} ticks`);
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
    const last = await waitFor(async () => {
      const frames = await this.probe((t) => avifoldProbe.frames.filter((f) => f.tick >= t), tick);
      const ticks = new Set(frames.map((f) => f.tick));
      return ticks.size >= count ? frames : null;
    }, `frames of ${count} ticks from tick ${tick}`);
    return last;
  }

  async canvasBox() {
    return this.page.locator('#canvas').boundingBox();
  }

  // Opens the menu with the right button and chooses an entry by its label; View's
  // entries through the View submenu. Returns the probe's record of the choice.
  async choose(label) {
    const box = await this.canvasBox();
    const after = (await this.counts()).swaps;
    await this.page.mouse.click(box.x + 100, box.y + 100, {button: 'right'});
    const menu = this.page.locator('.glut-menu').first();
    await menu.waitFor({state: 'visible'});
    if (facts.viewMenu.includes(label)) {
      await menu.getByText('View', {exact: true}).hover();
    }
    await menu.getByText(label, {exact: true}).first().click();
    await menu.waitFor({state: 'detached'});
    return this.waitForEvent('menu', after, {label});
  }

  async menuLabels() {
    const box = await this.canvasBox();
    await this.page.mouse.click(box.x + 100, box.y + 100, {button: 'right'});
    const menu = this.page.locator('.glut-menu').first();
    await menu.waitFor({state: 'visible'});
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

// --- Pictures ------------------------------------------------------------------------------

// A picture as the probe reads it: rows from the top, RGBA.
export function pixel(picture, x, y) {
  const i = ((picture.height - 1 - y) * picture.width + x) * 4;
  return [picture.data[i], picture.data[i + 1], picture.data[i + 2]];
}

export function share(picture, test, left, top, right, bottom) {
  let hits = 0;
  for (let y = top; y < bottom; y++) {
    for (let x = left; x < right; x++) hits += test(pixel(picture, x, y)) ? 1 : 0;
  }
  return hits / ((right - left) * (bottom - top));
}

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

export const isColour = (colour, tolerance = 8) => (p) =>
  p.every((v, i) => Math.abs(v - colour[i]) <= tolerance);
export const isReadoutRed = ([r, g, b]) => r >= 200 && g <= 70 && b <= 70;

// The upper left of the view (above eye level, clear of the read-out) is mostly sky.
export function showsSky(picture, colour) {
  return share(picture, isColour(colour), 0, 0, 320, 200) > 0.5;
}

// Red read-out pixels in the upper right quarter, and everywhere.
export function readoutPixels(picture) {
  const w = picture.width, h = picture.height;
  const inside = share(picture, isReadoutRed, w / 2, 0, w, h / 2) * (w / 2) * (h / 2);
  const everywhere = share(picture, isReadoutRed, 0, 0, w, h) * w * h;
  return [Math.round(inside), Math.round(everywhere)];
}

// The whole scene: that sky, the red read-out where it belongs and nowhere else, and
// ground in the lower half of the view.
export function showsScene(picture, sky) {
  const [inside, everywhere] = readoutPixels(picture);
  const ground = 1 - share(picture, isColour(sky), 0, picture.height / 2, picture.width,
                           picture.height);
  return showsSky(picture, sky) && inside >= 20 && inside == everywhere && ground > 0.5;
}

// --- Camera ----------------------------------------------------------------------------------

const f32 = (v) => Math.fround(v);
const eye = (f) => [-f.cam[2], -f.cam[3], -f.cam[4]];

// The camera sits 13 units behind bird 0, level with it, looking along its heading.
export function behindBird0(f) {
  const [x, y, z, heading] = f.bird0;
  const e = eye(f);
  const distance = Math.hypot(e[0] - x, e[2] - z);
  return f32(e[1]) == f32(y) && Math.abs(distance - facts.cameraBehindBird) < 1e-3 &&
         f.cam[0] == (540 - heading) % 360;
}

// The camera sits level with the flock's mean height, behind its mean place and looking
// toward it, with no pitch.
export function followsFlock(f) {
  const e = eye(f);
  const dx = f.mean[0] - e[0], dz = f.mean[2] - e[2];
  if (f.cam[1] != 0 || Math.abs(e[1] - f.mean[1]) > 0.01) return false;
  if (Math.hypot(dx, dz) < 0.5) return true;
  const look = f.cam[0] * Math.PI / 180;
  const along = dx * Math.sin(look) - dz * Math.cos(look);
  const across = dx * Math.cos(look) + dz * Math.sin(look);
  return along > 0 && Math.abs(Math.atan2(across, along) * 180 / Math.PI) < 1.5;
}

// Bird 0's turn, degrees a tick, between successive frames of different ticks.
export function headingSteps(frames) {
  const steps = [];
  for (let i = 1; i < frames.length; i++) {
    const a = frames[i - 1], b = frames[i];
    if (b.tick > a.tick) {
      const turn = ((b.bird0[3] - a.bird0[3] + 540) % 360) - 180;
      steps.push(turn / (b.tick - a.tick));
    }
  }
  return steps;
}

// --- Memory ----------------------------------------------------------------------------------

// The median of the slopes between every two samples (Theil-Sen): a steady leak shows,
// one jump does not.
// Whether ticks (performance.now() ms) are one chain's, as the desktop harness judges
// it: over no stretch do they get further ahead of one every 33 ms than one chain makes
// up. A second chain gains a tick every 33 ms.
export function oneChain(tickTimes) {
  let lead = 0;
  let least = Infinity;
  tickTimes.forEach((t, k) => {
    const ahead = k - t / facts.tickMs;
    lead = Math.max(lead, ahead - least);
    least = Math.min(least, ahead);
  });
  return {lead, limit: facts.oneChainLead, holds: lead <= facts.oneChainLead};
}

export function medianSlope(samples) {
  const slopes = [];
  for (let i = 0; i < samples.length; i++) {
    for (let j = i + 1; j < samples.length; j++) slopes.push((samples[j] - samples[i]) / (j - i));
  }
  slopes.sort((a, b) => a - b);
  const middle = slopes.length >> 1;
  return slopes.length % 2 ? slopes[middle] : (slopes[middle - 1] + slopes[middle]) / 2;
}
