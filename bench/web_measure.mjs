// The browser build's benchmark: in headless Chromium, then in Firefox ESR, Avifold's page
// and a bare WebGL page (web_bare.html) one after the other, each from its own server on
// 127.0.0.1 through the browser tests' harness. It prints navigation to the first frame,
// ticks/s, frames/s and the bytes sent gzip-compressed, each engine's beside the target,
// and the load average: the machine is shared and every figure here is wall time. It
// reports; a slow figure never fails it, only something broken does.
//
// First frames, frames/s and bytes are the shipped site's (--site), as visitors get it: it
// has no test instruments, so frames are counted by FRAMES below, which both pages carry.
// The program's ticks are seen only through the tests' probe, so ticks/s are the tests'
// site's (--debug-site), whose program is the same but built without optimisation.
//
//   python3 -m harness run -- node bench/web_measure.mjs --site build-web/site
//       [--debug-site build-web-debug/site] [--seconds 10] [--warm-up 2] [--loads 7]
//       [--runs 3] [--desktop-ticks 29.2] [--engines chromium,firefox]
//
// (from tests/, or with PYTHONPATH=tests): Firefox shows its window on an X display,
// which the harness starts; without one, only Chromium is measured.
// Needs what tools/build_web.sh sets up: both sites, both browsers, tests/web's packages.

import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import {fileURLToPath} from 'node:url';
import * as h from '../tests/web/harness.mjs';
import * as f from './web_figures.mjs';

const here = path.dirname(fileURLToPath(import.meta.url));
export const BARE_PAGE = 'web_bare.html';
const PROBE = fs.readFileSync(path.join(here, '../tests/web/probe.js'), 'utf8');

// Loaded before a page's own scripts: a frame is a clear of WebGL's colour buffer, which
// Avifold makes once a frame (its depth buffer is cleared only as a context is set up) and
// the bare page too. The first frame is over when the script that drew it returns, which
// a microtask queued at its clear marks: then the browser presents it.
const FRAMES = `(() => {
  const frames = {count: 0, firstTime: 0};
  window.benchFrames = frames;
  const proto = WebGLRenderingContext.prototype;
  const clear = proto.clear;
  proto.clear = function(mask) {
    clear.call(this, mask);
    if (!(mask & 0x4000)) return;
    if (++frames.count == 1) queueMicrotask(() => { frames.firstTime = performance.now(); });
  };
})();`;

const sleep = (seconds) => new Promise((resolve) => setTimeout(resolve, seconds * 1000));

// The pages, each with the global that keeps its tick times: the shipped site's has none,
// the tests' site's is the probe's, and the bare page keeps its own.
export async function servePages(siteRoot, debugRoot) {
  const app = await h.serveSite(siteRoot);
  const debug = await h.serveSite(debugRoot);
  const bare = await h.serveSite(here);
  return {
    page: {name: 'page', site: app, url: app.url, ticks: null},
    bare: {name: 'bare', site: bare, url: bare.url + BARE_PAGE, ticks: 'bare'},
    debug: {name: "the tests' site", site: debug, url: debug.url, ticks: 'avifoldProbe'},
  };
}

// A page in a context of its own, with an empty cache, once it has drawn its first frame;
// the tests' site with the probe as well. A page that fails ends the run at once rather
// than at the start-up deadline.
async function open(browser, target) {
  const page = await (await browser.createBrowserContext()).newPage();
  await page.setViewport(h.VIEWPORT);
  const app = new h.App(page);
  await page.evaluateOnNewDocument(FRAMES);
  if (target.ticks == 'avifoldProbe') await page.evaluateOnNewDocument(PROBE);
  await page.goto(target.url);
  await h.waitFor(async () => {
    if (app.errors.length > 0) throw new Error(`${target.name}: ${app.errors.join('; ')}`);
    return (await read(app)).firstTime > 0;
  }, `the first frame of ${target.name}`, h.START_TIMEOUT);
  return app;
}

// The counts and the page's clock in one reading, so that a rate is the page's own.
function read(app) {
  return app.probe(() => ({now: performance.now(), frames: benchFrames.count,
                           firstTime: benchFrames.firstTime,
                           swaps: window.avifoldProbe ? avifoldProbe.swaps : null}));
}

async function close(app, target) {
  await app.close();
  if (app.errors.length > 0) throw new Error(`${target.name}: ${app.errors.join('; ')}`);
}

// Milliseconds from the start of navigation (performance.now()'s origin) to the end of
// the first frame, and to the last byte of any file the page (itself included) had
// fetched by then: the part of the wait that is transfer rather than start-up.
export async function firstFrame(browser, target) {
  const app = await open(browser, target);
  const {firstTime} = await read(app);
  const received = await app.probe((end) => Math.max(0, ...performance.getEntries()
    .filter((e) => ['navigation', 'resource'].includes(e.entryType) && e.responseEnd <= end)
    .map((e) => e.responseEnd)), firstTime);
  await close(app, target);
  return {firstTime, received};
}

// Frames/s and ticks/s over `seconds` after `warmUp` seconds of frames, the bytes the
// server sent for this one load, and the frames and swaps the probe counted, if present.
export async function rates(browser, target, {warmUp, seconds}) {
  const sentBefore = target.site.sent;
  const app = await open(browser, target);
  await sleep(warmUp);
  const start = await read(app);
  await sleep(seconds);
  const end = await read(app);
  const tickTimes = target.ticks ? await app.probe((name) => window[name].tickTimes, target.ticks)
                                 : [];
  const sent = target.site.sent - sentBefore;
  await close(app, target);
  return {fps: f.frameRate(start, end), tps: f.tickRate(tickTimes, start.now, end.now), sent,
          frames: end.frames, swaps: end.swaps};
}

function loadAverage() {
  return os.loadavg().map((l) => l.toFixed(2)).join(' ');
}

async function measure(engine, targets, options) {
  const figures = {page: {starts: [], runs: []}, bare: {starts: [], runs: []}, debug: {runs: []}};
  const browser = await h.launchBrowser(engine);
  try {
    // Alternating, so that a change in the machine's load reaches every page.
    for (let i = 0; i < options.loads; i++) {
      for (const name of ['page', 'bare']) {
        figures[name].starts.push(await firstFrame(browser, targets[name]));
      }
    }
    for (let i = 0; i < options.runs; i++) {
      for (const name of ['page', 'bare', 'debug']) {
        figures[name].runs.push(await rates(browser, targets[name], options));
      }
    }
    figures.browser = await browser.version();
  } finally {
    await browser.close();
  }
  return figures;
}

// Each engine's figures, by name, from the same three servers.
async function measureEngines(options) {
  const targets = await servePages(options.site, options.debugSite);
  const figures = {};
  try {
    for (const engine of options.engines) figures[engine] = await measure(engine, targets, options);
  } finally {
    for (const target of Object.values(targets)) await target.site.close();
  }
  return figures;
}

const title = (engine) => engine[0].toUpperCase() + engine.slice(1);

// One row a figure: each engine's page and bare page, the target, and whether each
// engine's page meets it. The page's ticks are the tests' site's.
function rows(all, sizes, bareSizes, options) {
  const engines = Object.keys(all);
  const row = (label, figure, show, target, meets = null) => [
    label, ...engines.flatMap((e) => ['page', 'bare'].map((name) => show(figure(all[e], name)))),
    target, meets ? engines.map((e) => f.verdict(meets(figure(all[e], 'page')))).join(' / ') : ''];
  const starts = (pick) => (figures, name) => f.median(figures[name].starts.map(pick));
  const runs = (pick, page = 'page') => (figures, name) =>
    f.median(figures[name == 'page' ? page : name].runs.map(pick));
  const ms = (value) => `${f.fixed(value, 0)} ms`;
  const tickTarget = f.TICK_SHARE * options.desktopTicks;
  const siteTarget = `<= ${f.byteSize(f.SITE_TARGET_BYTES)}`;
  return [
    row('Navigation to first frame', starts((s) => s.firstTime), ms,
        `<= ${f.FIRST_FRAME_TARGET_MS} ms`, (v) => v <= f.FIRST_FRAME_TARGET_MS),
    row('  of which files arrive', starts((s) => s.received), ms, '-'),
    row("Ticks/s (page: the tests' site)", runs((r) => r.tps, 'debug'), (v) => f.fixed(v, 2),
        `>= ${tickTarget.toFixed(1)} (99% of desktop ${options.desktopTicks})`,
        (v) => v >= tickTarget),
    row('Frames/s', runs((r) => r.fps), (v) => f.fixed(v, 1), `>= ${f.FPS_TARGET}`,
        (v) => v >= f.FPS_TARGET),
    row('Whole site, gzip', (_, name) => (name == 'page' ? sizes : bareSizes).gzipped, f.byteSize,
        siteTarget, (v) => v <= f.SITE_TARGET_BYTES),
    row('Sent for one load, gzip', runs((r) => r.sent), f.byteSize, siteTarget,
        (v) => v <= f.SITE_TARGET_BYTES),
  ];
}

// The figures behind each median, for a sense of their spread on a busy machine, and on
// the tests' site the frames counted by their clears beside the probe's swaps, which
// should be equal.
function eachRun(figures) {
  const all = (field, pick, digits, names = ['page', 'bare']) => names.map((name) =>
    figures[name][field].map((v) => f.fixed(pick(v), digits)).join(' ')).join(' / ');
  return [`first frame ms ${all('starts', (s) => s.firstTime, 0)}`,
          `ticks/s ${all('runs', (r) => r.tps, 1, ['debug', 'bare'])}`,
          `frames/s ${all('runs', (r) => r.fps, 1)}`,
          `tests' site frames/swaps ${figures.debug.runs.map((r) => `${r.frames}/${r.swaps}`)}`,
  ].join('; ');
}

function report(all, sizes, bareSizes, options, loads) {
  const engines = Object.keys(all);
  const header = ['Figure', ...engines.flatMap((e) => [`${title(e)} page`, 'bare']), 'Target',
                  engines.map(title).join(' / ')];
  console.log(f.formatTable(header, rows(all, sizes, bareSizes, options)));
  console.log(`
Browsers: ${engines.map((e) => all[e].browser).join(', ')}; Chromium headless, SwiftShader WebGL;
Firefox in a window on the harness's Xvfb, Mesa's WebGL; 1024x768 viewport, 640x480 canvas.
Shipped site ${path.relative('', options.site)}; ticks on the tests' site ` +
`${path.relative('', options.debugSite)} (the probe's tick times;
the program not optimised, as the tests build it), beside the bare page's timer chain.
Frames: WebGL colour clears, counted in both pages by the same wrapper of WebGL's clear.
Navigation to first frame: performance.now() as the first frame's script returns, median
of ${options.loads} load(s).
Rates: in-page counts over ${options.seconds} s after ${options.warmUp} s of frames, median of ` +
`${options.runs} run(s); ticks between the first and last tick inside the window.
Bytes: bodies only (no headers), as the harness's server gzips them; it compresses on each
request, ${sizes.compressMs.toFixed(0)} ms for the whole site here.
Site files, gzip: ${sizes.files.map((s) => `${s.name} ${s.gzipped}`).join(', ')} (bytes).
${engines.map((e) => `${title(e)}, each run, page / bare: ${eachRun(all[e])}.`).join('\n')}
Load average (1, 5, 15 min) before: ${loads[0]}, after: ${loads[1]}; ${os.cpus().length} CPUs.`);
}

export async function main(argv) {
  let options;
  try {
    options = f.parseOptions(argv);
  } catch (error) {
    console.error(`${error.message}\n${f.USAGE}`);
    return 2;
  }
  for (const site of [options.site, options.debugSite]) {
    if (!fs.existsSync(path.join(site, 'index.html'))) {
      console.error(`no site in ${site}: bash tools/build_web.sh builds it`);
      return 2;
    }
  }
  if (options.engines.includes('firefox') && !process.env.DISPLAY) {
    console.error('no X display, so no Firefox: python3 -m harness run -- ... gives it one');
    options.engines = options.engines.filter((e) => e != 'firefox');
  }
  const loadBefore = loadAverage();
  console.error(`measuring (load average ${loadBefore}) ...`);
  const sizes = f.siteSizes(options.site);
  const bareSizes = f.siteSizes(path.join(here, BARE_PAGE));
  let figures;
  try {
    figures = await measureEngines(options);
  } catch (error) {
    console.error(`benchmark run failed: ${error.message}`);
    return 1;
  }
  report(figures, sizes, bareSizes, options, [loadBefore, loadAverage()]);
  return 0;
}

if (process.argv[1] && path.resolve(process.argv[1]) == fileURLToPath(import.meta.url)) {
  process.exitCode = await main(process.argv.slice(2));
}
