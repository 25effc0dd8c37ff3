// The browser build's benchmark: in headless Chromium, then in Firefox ESR, Avifold's page
// and a bare WebGL page (web_bare.html) one after the other, each from its own server on
// 127.0.0.1 through the browser tests' harness. It prints navigation to the first frame,
// ticks/s, frames/s and the bytes sent gzip-compressed, each engine's beside the target,
// and the load average: the machine is shared and every figure here is wall time. It
// reports; a slow figure never fails it, only something broken does.
//
//   python3 -m harness run -- node bench/web_measure.mjs --site build-web/site
//       [--seconds 10] [--warm-up 2] [--loads 7] [--runs 3] [--desktop-ticks 29.2]
//       [--engines chromium,firefox]
//
// (from tests/, or with PYTHONPATH=tests): Firefox shows its window on an X display,
// which the harness starts; without one, only Chromium is measured.
// Needs what tools/build_web.sh sets up: the site, both browsers, tests/web's packages.

import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import {fileURLToPath} from 'node:url';
import * as h from '../tests/web/harness.mjs';
import * as f from './web_figures.mjs';

const here = path.dirname(fileURLToPath(import.meta.url));
export const BARE_PAGE = 'web_bare.html';

const sleep = (seconds) => new Promise((resolve) => setTimeout(resolve, seconds * 1000));

// The two pages, by the global that holds each one's counts: the probe's in Avifold's
// page, the page's own in the bare one.
export async function servePages(siteRoot) {
  const app = await h.serveSite(siteRoot);
  const bare = await h.serveSite(here);
  return [
    {name: 'page', site: app, url: app.url, counters: 'avifoldProbe'},
    {name: 'bare', site: bare, url: bare.url + BARE_PAGE, counters: 'bare'},
  ];
}

// Both pages get the probe, so that both carry its cost; in the bare page it wraps
// nothing. Each page comes in a context of its own, with an empty cache. A page that
// fails ends the run at once rather than at the start-up deadline.
async function open(browser, target) {
  const app = await h.openApp(browser, target.url, {frames: 0});
  await h.waitFor(async () => {
    if (app.errors.length > 0) throw new Error(`${target.name}: ${app.errors.join('; ')}`);
    return (await read(app, target)).swaps > 0;
  }, `the first frame of ${target.name}`, h.START_TIMEOUT);
  return app;
}

// The counts and the page's clock in one reading, so that a rate is the page's own.
function read(app, target) {
  return app.probe((name) => {
    const c = window[name];
    return {now: performance.now(), ticks: c.ticks, swaps: c.swaps, firstSwapTime: c.firstSwapTime};
  }, target.counters);
}

async function close(app, target) {
  await app.close();
  if (app.errors.length > 0) throw new Error(`${target.name}: ${app.errors.join('; ')}`);
}

// Milliseconds from the start of navigation (performance.now()'s origin) to the first
// swap, and to the last byte of any file the page (itself included) had fetched by then:
// the part of the wait that is transfer rather than start-up.
export async function firstFrame(browser, target) {
  const app = await open(browser, target);
  const {firstSwapTime} = await read(app, target);
  const received = await app.probe((swap) => Math.max(0, ...performance.getEntries()
    .filter((e) => ['navigation', 'resource'].includes(e.entryType) && e.responseEnd <= swap)
    .map((e) => e.responseEnd)), firstSwapTime);
  await close(app, target);
  return {firstSwapTime, received};
}

// Frames/s and ticks/s over `seconds` after `warmUp` seconds of frames, and the bytes
// the server sent for this one load.
export async function rates(browser, target, {warmUp, seconds}) {
  const sentBefore = target.site.sent;
  const app = await open(browser, target);
  await sleep(warmUp);
  const start = await read(app, target);
  await sleep(seconds);
  const end = await read(app, target);
  const tickTimes = await app.probe((name) => window[name].tickTimes, target.counters);
  const sent = target.site.sent - sentBefore;
  await close(app, target);
  return {fps: f.frameRate(start, end), tps: f.tickRate(tickTimes, start.now, end.now), sent};
}

function loadAverage() {
  return os.loadavg().map((l) => l.toFixed(2)).join(' ');
}

async function measure(engine, targets, options) {
  const figures = {page: {starts: [], runs: []}, bare: {starts: [], runs: []}};
  const browser = await h.launchBrowser(engine);
  try {
    // Alternating, so that a change in the machine's load reaches both pages.
    for (let i = 0; i < options.loads; i++) {
      for (const target of targets) figures[target.name].starts.push(await firstFrame(browser, target));
    }
    for (let i = 0; i < options.runs; i++) {
      for (const target of targets) figures[target.name].runs.push(await rates(browser, target, options));
    }
    figures.browser = await browser.version();
  } finally {
    await browser.close();
  }
  return figures;
}

// Each engine's figures, by name, from the same two servers.
async function measureEngines(options) {
  const targets = await servePages(options.site);
  const figures = {};
  try {
    for (const engine of options.engines) figures[engine] = await measure(engine, targets, options);
  } finally {
    for (const target of targets) await target.site.close();
  }
  return figures;
}

const title = (engine) => engine[0].toUpperCase() + engine.slice(1);

// One row a figure: each engine's page and bare page, the target, and whether each
// engine's page meets it.
function rows(all, sizes, bareSizes, options) {
  const engines = Object.keys(all);
  const row = (label, figure, show, target, meets = null) => [
    label, ...engines.flatMap((e) => ['page', 'bare'].map((name) => show(figure(all[e], name)))),
    target, meets ? engines.map((e) => f.verdict(meets(figure(all[e], 'page')))).join(' / ') : ''];
  const starts = (pick) => (figures, name) => f.median(figures[name].starts.map(pick));
  const runs = (pick) => (figures, name) => f.median(figures[name].runs.map(pick));
  const ms = (value) => `${f.fixed(value, 0)} ms`;
  const tickTarget = f.TICK_SHARE * options.desktopTicks;
  const siteTarget = `<= ${f.byteSize(f.SITE_TARGET_BYTES)}`;
  return [
    row('Navigation to first frame', starts((s) => s.firstSwapTime), ms,
        `<= ${f.FIRST_FRAME_TARGET_MS} ms`, (v) => v <= f.FIRST_FRAME_TARGET_MS),
    row('  of which files arrive', starts((s) => s.received), ms, '-'),
    row('Ticks/s', runs((r) => r.tps), (v) => f.fixed(v, 2),
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

// The figures behind each median, for a sense of their spread on a busy machine.
function eachRun(figures) {
  const both = (field, pick, digits) => ['page', 'bare'].map((name) =>
    figures[name][field].map((v) => f.fixed(pick(v), digits)).join(' ')).join(' / ');
  return [`first frame ms ${both('starts', (s) => s.firstSwapTime, 0)}`,
          `ticks/s ${both('runs', (r) => r.tps, 1)}`,
          `frames/s ${both('runs', (r) => r.fps, 1)}`].join('; ');
}

function report(all, sizes, bareSizes, options, loads) {
  const engines = Object.keys(all);
  const header = ['Figure', ...engines.flatMap((e) => [`${title(e)} page`, 'bare']), 'Target',
                  engines.map(title).join(' / ')];
  console.log(f.formatTable(header, rows(all, sizes, bareSizes, options)));
  console.log(`
Browsers: ${engines.map((e) => all[e].browser).join(', ')}; Chromium headless, SwiftShader WebGL;
Firefox in a window on the harness's Xvfb, Mesa's WebGL; 1024x768 viewport, 640x480 canvas.
Navigation to first frame: performance.now() at the first swap, median of ${options.loads} load(s).
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
  if (!fs.existsSync(path.join(options.site, 'index.html'))) {
    console.error(`no site in ${options.site}: bash tools/build_web.sh builds it`);
    return 2;
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
