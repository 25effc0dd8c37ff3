// The arithmetic and printing of the browser benchmark (web_measure.mjs), apart from the
// browser so that it can be checked on its own: the options, the rates from the in-page
// counts, the site's size compressed as the server sends it, and the table.

import fs from 'node:fs';
import path from 'node:path';
import {performance} from 'node:perf_hooks';
import {parseArgs} from 'node:util';
import zlib from 'node:zlib';

// The desktop's tick rate in the README's table (bench/measure.py on the development
// machine); bench/run.sh passes the figure it has just measured instead.
export const DESKTOP_TICKS = 29.2;
export const TICK_SHARE = 0.99;  // of the desktop's tick rate, the browser's least
export const FPS_TARGET = 55;  // frames/s: the refresh cap, less a few late frames
export const FIRST_FRAME_TARGET_MS = 1500;  // navigation start to the first frame
export const SITE_TARGET_BYTES = 1.5e6;  // the whole site, gzip-compressed
// The probe keeps the times of the latest 2000 ticks; at 30 ticks a second a longer
// window would lose its first ticks.
export const LONGEST_WINDOW_S = 60;
export const ENGINES = ['chromium', 'firefox'];  // as the browser tests' harness names them

const OPTIONS = {
  'site': {type: 'string', default: 'build-web/site'},
  'debug-site': {type: 'string', default: 'build-web-debug/site'},
  'seconds': {type: 'string', default: '10'},
  'warm-up': {type: 'string', default: '2'},
  'loads': {type: 'string', default: '7'},
  'runs': {type: 'string', default: '3'},
  'desktop-ticks': {type: 'string', default: String(DESKTOP_TICKS)},
  'engines': {type: 'string', default: ENGINES.join(',')},
};

export const USAGE = 'usage: node bench/web_measure.mjs [--site build-web/site] ' +
  '[--debug-site build-web-debug/site] [--seconds 10] [--warm-up 2] [--loads 7] [--runs 3] ' +
  '[--desktop-ticks 29.2] [--engines chromium,firefox]';

// The command line as numbers; throws with the reason on anything it cannot use.
export function parseOptions(argv) {
  const {values} = parseArgs({args: argv, options: OPTIONS, strict: true});
  const number = (name, whole) => {
    const value = Number(values[name]);
    if (!(value > 0) || (whole && !Number.isInteger(value))) {
      throw new Error(`--${name} wants a positive ${whole ? 'whole ' : ''}number, not ` +
                      `"${values[name]}"`);
    }
    return value;
  };
  const options = {
    site: path.resolve(values.site),
    debugSite: path.resolve(values['debug-site']),
    seconds: number('seconds', false),
    warmUp: number('warm-up', false),
    loads: number('loads', true),
    runs: number('runs', true),
    desktopTicks: number('desktop-ticks', false),
  };
  options.engines = values.engines.split(',');
  const unknown = options.engines.filter((e) => !ENGINES.includes(e));
  if (unknown.length > 0) throw new Error(`--engines from ${ENGINES}, not "${unknown}"`);
  if (options.seconds > LONGEST_WINDOW_S) {
    throw new Error(`--seconds at most ${LONGEST_WINDOW_S}: the probe keeps 2000 tick times`);
  }
  return options;
}

export function median(values) {
  const sorted = [...values].sort((a, b) => a - b);
  const middle = sorted.length >> 1;
  if (sorted.length == 0) return NaN;
  return sorted.length % 2 ? sorted[middle] : (sorted[middle - 1] + sorted[middle]) / 2;
}

// Ticks a second between the first and last tick inside [from, to] (performance.now()
// times), so that both ends of the window sit on a tick as in bench/measure.py.
export function tickRate(tickTimes, from, to) {
  const inside = tickTimes.filter((t) => t >= from && t <= to);
  if (inside.length < 2) return NaN;
  return (inside.length - 1) * 1000 / (inside[inside.length - 1] - inside[0]);
}

// Frames a second between two in-page readings {now, frames}.
export function frameRate(start, end) {
  return (end.frames - start.frames) * 1000 / (end.now - start.now);
}

// Every file under `root` (or `root` itself, a page alone) as the harness's server sends it to a browser that asks for
// gzip (zlib's default level), largest compressed first, and how long compressing them
// took: that server compresses on each request, so the time is part of every load.
export function siteSizes(root) {
  const files = [];
  const walk = (folder) => {
    for (const entry of fs.readdirSync(folder, {withFileTypes: true})) {
      const file = path.join(folder, entry.name);
      if (entry.isDirectory()) walk(file);
      else if (entry.isFile()) files.push(file);
    }
  };
  const single = fs.statSync(root).isFile();
  if (single) files.push(root);
  else walk(root);
  const start = performance.now();
  const sizes = files.map((file) => {
    const body = fs.readFileSync(file);
    return {name: single ? path.basename(file) : path.relative(root, file), bytes: body.length,
            gzipped: zlib.gzipSync(body).length};
  });
  const compressMs = performance.now() - start;
  sizes.sort((a, b) => b.gzipped - a.gzipped || a.name.localeCompare(b.name));
  return {files: sizes, bytes: sum(sizes, 'bytes'), gzipped: sum(sizes, 'gzipped'), compressMs};
}

function sum(items, field) {
  return items.reduce((total, item) => total + item[field], 0);
}

export function verdict(met) {
  return met ? 'met' : 'MISSED';
}

// Bytes in decimal units: megabytes for a site, kilobytes for a page alone.
export function byteSize(bytes) {
  if (!Number.isFinite(bytes)) return 'n/a';
  return bytes >= 1e5 ? `${(bytes / 1e6).toFixed(2)} MB` : `${(bytes / 1e3).toFixed(1)} kB`;
}

// A figure with `digits` decimals, or "n/a" when there was none to take.
export function fixed(value, digits) {
  return Number.isFinite(value) ? value.toFixed(digits) : 'n/a';
}

// A Markdown table with its columns aligned, as bench/measure.py prints its own.
export function formatTable(header, rows) {
  const widths = header.map((_, i) => Math.max(...[header, ...rows].map((r) => String(r[i]).length)));
  const line = (cells) => '| ' + cells.map((c, i) => String(c).padEnd(widths[i])).join(' | ') + ' |';
  return [line(header), '|' + widths.map((w) => '-'.repeat(w + 2)).join('|') + '|',
          ...rows.map(line)].join('\n');
}
