// Opens reports written by the program's report writer in headless Chromium,
// with chart.js 3.9.1, hammerjs 2.0.8 and chartjs-plugin-zoom 1.2.1 served from node_modules
// in place of the CDN, and checks the charts they build.
import { test, before, after } from 'node:test';
import assert from 'node:assert/strict';
import fs from 'node:fs';
import path from 'node:path';
import { fileURLToPath, pathToFileURL } from 'node:url';
import { chromium } from 'playwright-core';

const here = path.dirname(fileURLToPath(import.meta.url));
const repo = path.resolve(here, '..', '..');
const artifacts = process.env.ORVALIS_ARTIFACTS || path.join(repo, 'artifacts');
const scripts = {
  '/npm/chart.js@3.9.1/dist/chart.min.js': 'chart.js/dist/chart.min.js',
  '/npm/hammerjs@2.0.8/hammer.min.js': 'hammerjs/hammer.min.js',
  '/npm/chartjs-plugin-zoom@1.2.1/dist/chartjs-plugin-zoom.min.js': 'chartjs-plugin-zoom/dist/chartjs-plugin-zoom.min.js',
};
const golden = (name) => path.join(repo, 'tests', 'data', name);
let browser;

before(async () => {
  browser = await chromium.launch({
    executablePath: process.env.CHROMIUM || '/usr/bin/chromium',
    args: ['--no-sandbox', '--disable-gpu', '--disable-background-networking', '--disable-component-update',
      '--disable-sync', '--no-first-run', '--disable-quic'],
  });
});
after(() => browser?.close());

// Opens a page of the program, which must build the charts `charts` (and no
// other), and runs `check` on it; then nothing may have been logged as an error
// or shown as a dialog, and the page may be saved as artifacts/`screenshot`.
async function withReport(file, charts, check, screenshot) {
  const page = await browser.newPage({ viewport: { width: 1280, height: 900 } });
  const errors = [];
  const cdnRequests = [];
  page.on('console', (msg) => { if (msg.type() === 'error') errors.push(msg.text()); });
  page.on('pageerror', (err) => errors.push(String(err)));
  page.on('dialog', (dialog) => { errors.push('dialog: ' + dialog.message()); dialog.dismiss(); });
  await page.route('**/*', async (route) => {
    const url = new URL(route.request().url());
    if (url.protocol === 'file:') return route.continue();
    if (!scripts[url.pathname]) return route.abort();
    cdnRequests.push(url.pathname);
    return route.fulfill({ contentType: 'application/javascript', path: path.join(here, 'node_modules', scripts[url.pathname]) });
  });
  await page.goto(pathToFileURL(file).href);
  await page.waitForFunction((ids) => typeof chartInstances !== 'undefined' && ids.every((id) => chartInstances[id]), charts);
  assert.deepEqual(await page.evaluate(() => Object.keys(chartInstances).sort()), charts);
  assert.deepEqual(cdnRequests.sort(), Object.keys(scripts).sort());
  await check(page);
  if (screenshot) {
    // The lines rise into place; the screenshot waits until they have.
    await page.waitForFunction(() => Object.values(chartInstances).every((c) => !Chart.animator.running(c)));
    fs.mkdirSync(artifacts, { recursive: true });
    await page.screenshot({ path: path.join(artifacts, screenshot), fullPage: true });
  }
  assert.deepEqual(errors, []);
  await page.close();
}

// What a chart shows: its datasets' labels, data and axes, its scales' titles,
// and how many of its canvas's pixels are painted.
const shown = (page, id) => page.evaluate((id) => {
  const c = chartInstances[id];
  const pixels = c.canvas.getContext('2d').getImageData(0, 0, c.canvas.width, c.canvas.height).data;
  return {
    labels: c.data.labels,
    datasets: c.data.datasets.map((d) => [d.label, d.yAxisID, d.data.map((p) => (p && p.x !== undefined ? [p.x, p.y] : p))]),
    titles: Object.fromEntries(Object.entries(c.options.scales).map(([axis, s]) => [axis, s.title.text])),
    reversed: c.options.scales.x.reverse,
    painted: pixels.filter((_, i) => i % 4 === 3 && pixels[i] > 0).length,
  };
}, id);

test('a two-run report draws one timeline per run and the scatter chart', () =>
  withReport(golden('report_multi.html'), ['chart1', 'chart2', 'scatterChart'], async (page) => {
    const timeline = await shown(page, 'chart2');
    assert.deepEqual(timeline.labels, [0, 0.1, 0.2, 0.4]);  // records' tenths, shown in seconds
    assert.deepEqual(timeline.datasets, [
      ['FPS', 'fps', [100, 240, 100, 98]],
      ['Outliers', 'fps', [null, 240, null, null]],
      ['Bricks', 'scene', [80, 80, 79, 78]],
      ['Debris', 'scene', [0, 0, 0, 0]],
    ]);
    assert.deepEqual(timeline.titles, { x: 'Time (seconds)', fps: 'FPS', scene: 'Bricks / Debris' });
    const scatter = await shown(page, 'scatterChart');
    assert.deepEqual([scatter.reversed, scatter.titles.x], [true, 'Brick Count']);  // fewer bricks to the right, as the run goes
    assert.deepEqual(scatter.datasets.map(([label, , points]) => [label, points.length]),
      [['1 Ball', 4], ['2 Balls', 1], ['3 Balls', 1], ['4 Balls', 0], ['Outliers (excluded)', 1]]);
    assert.deepEqual(scatter.datasets.slice(1, 3).map(([, , points]) => points[0]), [[79, 100], [78, 98]]);  // 2.4 and 2.6 balls
    assert.deepEqual(scatter.datasets[4][2], [[80, 240]]);
  }, 'report.png'));

test('Reset Zoom and a double-click restore a zoomed or dragged chart of a deterministic report', () =>
  withReport(golden('report_deterministic_multi.html'), ['chart1', 'chart2', 'scatterChart'], async (page) => {
    const range = (id) => page.evaluate((id) => {
      const { x, y } = chartInstances[id].scales;  // a timeline has no y scale
      return [x.min, x.max, y?.min, y?.max, chartInstances[id].isZoomedOrPanned()];
    }, id);
    const timeline = await range('chart1');
    await page.evaluate(() => chartInstances.chart1.zoom(2));
    assert.equal((await range('chart1'))[4], true);
    await page.click("button[onclick=\"resetZoom('chart1')\"]");
    assert.deepEqual(await range('chart1'), timeline);

    const scatter = await range('scatterChart');
    const canvas = page.locator('#scatterChart');
    await canvas.scrollIntoViewIfNeeded();
    await page.evaluate(() => chartInstances.scatterChart.zoom({ x: 1.5 }));
    const zoomed = await range('scatterChart');
    const box = await canvas.boundingBox();
    await page.mouse.move(box.x + box.width * 0.6, box.y + box.height / 2);
    await page.mouse.down();
    await page.mouse.move(box.x + box.width * 0.3, box.y + box.height / 2, { steps: 12 });
    await page.mouse.up();
    const panned = await range('scatterChart');
    assert.notEqual(panned[0], zoomed[0], 'the x range moves with the drag');
    assert.ok(Math.abs((panned[1] - panned[0]) - (zoomed[1] - zoomed[0])) < 1e-9, 'a drag keeps the zoom');
    await canvas.dblclick();
    assert.deepEqual(await range('scatterChart'), scatter);
  }));

test('a comparison page overlays its files in both charts', () =>
  withReport(golden('comparison.html'), ['percentileChart', 'timelineChart'], async (page) => {
    const files = ['1: base.json', '2: faster.json', '3: older & other.json'];
    for (const [id, points, x] of [['percentileChart', [101, 101, 101], 'Share of frames (%)'],
                                   ['timelineChart', [100, 100, 400], 'Time (seconds)']]) {
      const chart = await shown(page, id);
      assert.deepEqual(chart.datasets.map(([label, , data]) => [label, data.length]), files.map((f, i) => [f, points[i]]));
      assert.equal(chart.titles.x, x);
      assert.ok(chart.painted > 1000, `${id} painted ${chart.painted} pixels`);
    }
  }, 'comparison.png'));
