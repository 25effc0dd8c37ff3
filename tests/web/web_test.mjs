// The browser build in Chromium or Firefox (AVIFOLD_WEB_ENGINE): the same program as on the
// desktop, judged by the same facts. Each test opens the page afresh from a server on
// 127.0.0.1.

import assert from 'node:assert/strict';
import path from 'node:path';
import {after, before, test} from 'node:test';
import * as h from './harness.mjs';

const site = path.resolve(h.env('AVIFOLD_WEB_SITE'));
const debugSite = path.resolve(h.env('AVIFOLD_WEB_DEBUG_SITE'));
const facts = h.facts;
const START = [2 * facts.flock, 1, facts.fogGrey, facts.fogFar];  // birds, fog, clear, far
const settings = (f) => [f.birds, f.fog, f.clear.map(Math.fround), f.far];
const ROUND_TRIPS = 10;
const WARM_UP_TRIPS = 2;

let browser;
before(async () => { browser = await h.launchBrowser(); });
after(async () => { await browser.close(); });

// A page of the site, closed with its server after the test; no page error may occur.
async function withApp(t, root, options, run) {
  const server = await h.serveSite(root, options);
  const app = await h.openApp(browser, server.url);
  t.after(async () => {
    await app.close();
    await server.close();
  });
  await run(app);
  assert.deepEqual(app.errors, []);
}

// The frame after an event, and the ones after it.
async function nextFrames(app, event, count = 2) {
  return app.framesFrom(event.frame + 1, count);
}

test('starts as on the desktop: banner, title, menu, and every frame the whole scene', async (t) => {
  await withApp(t, site, {}, async (app) => {
    assert.equal(await app.console(), facts.banner);
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
    assert.ok(h.difference(pictures[0], pictures[1]) < 0.01, 'frames of one tick alike');
  });
});

test('menu commands switch fog, shadows, read-out and hills, and relabel their entries', async (t) => {
  await withApp(t, site, {}, async (app) => {
    let [f] = await nextFrames(app, await app.choose('+ Fog'));
    assert.deepEqual(settings(f), [START[0], 0, facts.clearBlue, facts.clearFar]);
    const [picture] = await app.pictures(1);
    assert.ok(h.showsScene(picture, facts.bluePixel), 'blue sky without fog');
    [f] = await nextFrames(app, await app.choose('- Fog'));
    assert.deepEqual(settings(f), START);

    [f] = await nextFrames(app, await app.choose('+ Shadows'));
    assert.equal(f.birds, facts.flock);
    [f] = await nextFrames(app, await app.choose('+ FPS'));
    assert.equal(f.chars, 0);
    [f] = await nextFrames(app, await app.choose('----------'));
    assert.deepEqual([f.birds, f.chars], [facts.flock, 0]);
    const labels = await app.menuLabels();
    assert.deepEqual(labels.slice(2, 5), ['+ Fog', '- Shadows', '- FPS']);
    [f] = await nextFrames(app, await app.choose('- Shadows'));
    assert.equal(f.birds, 2 * facts.flock);
    [f] = await nextFrames(app, await app.choose('- FPS'));
    assert.ok(f.chars > 0);

    const [hills] = await app.events('terrain');
    assert.ok(hills.nonzero > 0);
    const flat = await app.waitForEvent('terrain', (await app.choose('+ Bumps and Hills')).frame);
    assert.equal(flat.nonzero, 0);
    const again = await app.waitForEvent('terrain', (await app.choose('- Bumps and Hills')).frame);
    assert.ok(again.nonzero > 0);
    assert.notEqual(again.digest, hills.digest, 'new hills');
  });
});

test('views place the camera, and the arrows fly bird 0 in Bird Control', async (t) => {
  await withApp(t, site, {}, async (app) => {
    const cameraFromNextTick = async (label, view) => {
      const event = await app.choose(label);
      assert.deepEqual(h.misplaced(view, await app.framesFromTick(event.tick + 1, 10)), [], label);
    };
    await cameraFromNextTick('Smart Follow', 'follows_flock');
    await cameraFromNextTick('Bird Control', 'behind_bird0');

    // A held arrow turns bird 0, and the camera behind it, 3 degrees a tick once the
    // turn has settled; "d" marks the left arrow's slot for good.
    const turns = async (key, press, rate) => {
      const start = (await app.counts()).swaps;
      await press();
      const pressed = await app.waitForEvent('key', start, {type: 'keydown', key});
      const frames = await app.framesFromTick(pressed.tick + facts.turnSettleTicks, 12);
      const steps = h.turns(frames);
      assert.ok(steps.length >= 6, JSON.stringify(frames));
      assert.deepEqual(steps, steps.map(() => rate));
      assert.deepEqual(h.misplaced('behind_bird0', frames), []);
    };
    for (const [key, rate] of [['ArrowLeft', 3], ['ArrowRight', -3]]) {
      await turns(key, () => app.page.keyboard.down(key), rate * facts.topTurnRate / 3);
      await app.page.keyboard.up(key);
    }
    await turns('d', () => app.page.keyboard.press('d'), facts.topTurnRate);
  });
});

test('full screen and back ten times: settings, one tick chain, no growth of heap or GL objects', async (t) => {
  // The debug build, which also reports every GL error of each new context.
  await withApp(t, debugSite, {}, async (app) => {
    await app.choose('+ Fog');
    const heap = [];
    const live = [];
    for (let trip = 0; trip < ROUND_TRIPS; trip++) {
      const entered = await app.enterFullScreen();
      assert.equal(await app.fullScreenElement(), 'canvas');
      const [full] = await app.framesFrom(entered.frame + 1, 1);
      assert.deepEqual(settings(full), [START[0], 0, facts.clearBlue, facts.clearFar]);
      if (trip == 0) {
        // In full screen the right button opens no menu; GLUT would show it at once.
        await app.page.mouse.click(200, 200, {button: 'right'});
        assert.equal(await app.menuOpen(), false);
      }
      const back = await app.leaveFullScreen(trip % 2 == 1);
      const [windowed] = await app.framesFrom(back.frame + 1, 1);
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
    for (const objects of live.slice(WARM_UP_TRIPS)) {
      assert.deepEqual(objects, live[WARM_UP_TRIPS], 'live GL objects after each trip');
    }
    assert.doesNotMatch(await app.console(), /GL error/);
  });
});

test('a missing image gives the message and draws its texture as plain white', async (t) => {
  await withApp(t, site, {without: ['ground512.raw']}, async (app) => {
    assert.equal(await app.console(), facts.banner + h.MISSING_FILE_MESSAGE);
    await app.choose('+ Fog');
    await app.choose('Smart Follow');
    await app.waitForMore('ticks', 2);
    const [picture] = await app.pictures(1);
    const white = h.colourShare(picture, [255, 255, 255], 0, 0, 360, 640, 480);
    assert.ok(white > 0.3, `white ground: ${white}`);
  });
});
