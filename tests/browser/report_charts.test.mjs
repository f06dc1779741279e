// The program's pages in headless Chromium offline, chart libraries inline from third_party/: the charts they build.
import { test, before, after } from 'node:test';
import assert from 'node:assert/strict';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { fileURLToPath, pathToFileURL } from 'node:url';
import { chromium } from 'playwright-core';

const here = path.dirname(fileURLToPath(import.meta.url));
const repo = path.resolve(here, '..', '..');
const artifacts = process.env.ORVALIS_ARTIFACTS || path.join(repo, 'artifacts');
const pages = fs.mkdtempSync(path.join(os.tmpdir(), 'orvalis-pages-'));
let browser;

before(async () => {
  browser = await chromium.launch({
    executablePath: process.env.CHROMIUM || '/usr/bin/chromium',
    args: ['--no-sandbox', '--disable-gpu', '--disable-background-networking', '--disable-component-update',
      '--disable-sync', '--no-first-run', '--disable-quic'],
  });
});
after(() => { fs.rmSync(pages, { recursive: true, force: true }); return browser?.close(); });

// Opens the golden tests/data/`name` offline (its "{{third_party/...}}" filled in, CR LF) and checks it draws exactly
// `charts`, runs `check`, and made no other request, logged no error and showed no dialog.
async function withReport(name, charts, check, screenshot) {
  const file = path.join(pages, name);
  fs.writeFileSync(file, fs.readFileSync(path.join(repo, 'tests', 'data', name), 'latin1').replace(/\{\{(third_party\/[^}]+)\}\}/g,
    (_, library) => fs.readFileSync(path.join(repo, library), 'latin1').replaceAll('\n', '\r\n')), 'latin1');
  const page = await browser.newPage({ viewport: { width: 1280, height: 900 }, offline: true });
  const url = pathToFileURL(file).href;
  const errors = [];
  const requests = [];
  page.on('console', (msg) => { if (msg.type() === 'error') errors.push(msg.text()); });
  page.on('pageerror', (err) => errors.push(String(err)));
  page.on('dialog', (dialog) => { errors.push('dialog: ' + dialog.message()); dialog.dismiss(); });
  page.on('request', (request) => { if (request.url() !== url) requests.push(request.url()); });
  await page.route('**/*', (route) => (route.request().url() === url ? route.continue() : route.abort()));
  await page.goto(url);
  await page.waitForFunction((ids) => typeof chartInstances !== 'undefined' && ids.every((id) => chartInstances[id]), charts);
  assert.deepEqual(await page.evaluate(() => Object.keys(chartInstances).sort()), charts);
  // The lines rise into place; a chart is drawn once they have.
  await page.waitForFunction(() => Object.values(chartInstances).every((c) => !Chart.animator.running(c)));
  for (const id of charts) assert.ok((await shown(page, id)).painted > 1000, `${id} is drawn`);
  if (screenshot) {
    fs.mkdirSync(artifacts, { recursive: true });
    await page.screenshot({ path: path.join(artifacts, screenshot), fullPage: true });
  }
  await check(page);
  assert.deepEqual([errors, requests], [[], []]);
  await page.close();
}

// A chart's datasets (labels, data, axes), its scales' titles, and how many of its canvas's pixels are painted.
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

// A chart's x and y ranges (a timeline has no y scale) and whether it is zoomed or panned.
const range = (page, id) => page.evaluate((id) => {
  const { x, y } = chartInstances[id].scales;
  return [x.min, x.max, y?.min, y?.max, chartInstances[id].isZoomedOrPanned()];
}, id);

// Zooms chart `id` with the wheel (its x range narrows) and, unless `drag` is false, pans it left; returns the range before.
async function zoomAndPan(page, id, drag = true) {
  await page.locator('#' + id).scrollIntoViewIfNeeded();
  const [initial, box] = [await range(page, id), await page.locator('#' + id).boundingBox()];
  await page.mouse.move(box.x + box.width / 2, box.y + box.height / 2);
  await page.mouse.wheel(0, -300);
  await page.waitForFunction((id) => chartInstances[id].isZoomedOrPanned(), id);
  const zoomed = await range(page, id);
  assert.ok(zoomed[1] - zoomed[0] < initial[1] - initial[0], `the wheel zooms ${id} in: ${initial} to ${zoomed}`);
  if (drag) {
    await page.mouse.move(box.x + box.width * 0.6, box.y + box.height / 2);
    await page.mouse.down();
    await page.mouse.move(box.x + box.width * 0.3, box.y + box.height / 2, { steps: 12 });
    await page.mouse.up();
    const panned = await range(page, id);
    assert.notEqual(panned[0], zoomed[0], `the x range of ${id} moves with the drag`);
    assert.ok(Math.abs((panned[1] - panned[0]) - (zoomed[1] - zoomed[0])) < 1e-9, `a drag keeps the zoom of ${id}`);
  }
  return initial;
}

test('a two-run report draws one timeline per run and the scatter chart', () =>
  withReport('report_multi.html', ['chart1', 'chart2', 'scatterChart'], async (page) => {
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

test('wheel zoom and drag pan; Reset Zoom and a double-click restore the chart of a deterministic report', () =>
  withReport('report_deterministic_multi.html', ['chart1', 'chart2', 'scatterChart'], async (page) => {
    const timeline = await zoomAndPan(page, 'chart1', false);  // two records: nothing to pan to
    await page.click("button[onclick=\"resetZoom('chart1')\"]");
    assert.deepEqual(await range(page, 'chart1'), timeline);
    const scatter = await zoomAndPan(page, 'scatterChart');
    await page.locator('#scatterChart').dblclick();
    assert.deepEqual(await range(page, 'scatterChart'), scatter);
  }));

test('a comparison page overlays its files in both charts, which zoom and pan', () =>
  withReport('comparison.html', ['percentileChart', 'timelineChart'], async (page) => {
    const files = ['1: base.json', '2: faster.json', '3: older & other.json'];
    for (const [id, points, x] of [['percentileChart', [101, 101, 101], 'Share of frames (%)'],
                                   ['timelineChart', [100, 100, 400], 'Time (seconds)']]) {
      const chart = await shown(page, id);
      assert.deepEqual(chart.datasets.map(([label, , data]) => [label, data.length]), files.map((f, i) => [f, points[i]]));
      assert.equal(chart.titles.x, x);
      await zoomAndPan(page, id);
    }
  }, 'comparison.png'));

test('a stress report draws every loop against the pass mark and folds each loop\'s timeline away until opened', () =>
  withReport('report_stress.html', ['chart1', 'chart2', 'chart3', 'scatterChart', 'stressChart'], async (page) => {
    const stress = await shown(page, 'stressChart');
    assert.deepEqual([stress.labels, stress.datasets.map(([label, , data]) => [label, data])], [[1, 2, 3], [
      ['Average FPS', [60.5, 59.25, 50]],
      ['97 % of the best loop (pass mark)', [58.68, 58.68, 58.68]],
    ]]);
    const visible = () => page.evaluate(() => chartInstances.chart2.canvas.checkVisibility());
    assert.equal(await visible(), false);  // folded away
    await page.click('summary >> text=Loop 2 - Timeline');
    assert.deepEqual([await visible(), (await shown(page, 'chart2')).datasets[0]], [true, ['FPS', 'fps', [59.5, 59]]]);
  }, 'report-stress.png'));
