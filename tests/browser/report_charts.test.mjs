// Opens reports written by the program's report writer in headless Chromium,
// with chart.js 3.9.1, hammerjs 2.0.8 and chartjs-plugin-zoom 1.2.1 served from node_modules
// in place of the CDN, and checks the charts they build.
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
const scripts = {
  '/npm/chart.js@3.9.1/dist/chart.min.js': path.join(here, 'node_modules/chart.js/dist/chart.min.js'),
  '/npm/hammerjs@2.0.8/hammer.min.js': path.join(here, 'node_modules/hammerjs/hammer.min.js'),
  '/npm/chartjs-plugin-zoom@1.2.1/dist/chartjs-plugin-zoom.min.js':
    path.join(here, 'node_modules/chartjs-plugin-zoom/dist/chartjs-plugin-zoom.min.js'),
};

let browser;

before(async () => {
  browser = await chromium.launch({
    executablePath: process.env.CHROMIUM || '/usr/bin/chromium',
    args: ['--no-sandbox', '--disable-gpu', '--disable-background-networking', '--disable-component-update',
      '--disable-sync', '--no-first-run', '--disable-quic'],
  });
});

after(async () => {
  await browser?.close();
});

// Opens a report (or another page of the program, once `chart` exists);
// returns the page and every error the page logged.
async function openReport(file, chart = 'scatterChart') {
  const page = await browser.newPage({ viewport: { width: 1280, height: 900 } });
  const errors = [];
  const cdnRequests = [];
  page.on('console', (msg) => { if (msg.type() === 'error') errors.push(msg.text()); });
  page.on('pageerror', (err) => errors.push(String(err)));
  await page.route('**/*', async (route) => {
    const url = new URL(route.request().url());
    if (url.protocol === 'file:') return route.continue();
    const local = scripts[url.pathname];
    if (!local) return route.abort();
    cdnRequests.push(url.pathname);
    return route.fulfill({ status: 200, contentType: 'application/javascript', body: fs.readFileSync(local) });
  });
  page.on('dialog', (dialog) => { errors.push('dialog: ' + dialog.message()); dialog.dismiss(); });
  await page.goto(pathToFileURL(file).href);
  await page.waitForFunction((id) => typeof chartInstances !== 'undefined' && chartInstances[id], chart);
  return { page, errors, cdnRequests };
}

const golden = (name) => path.join(repo, 'tests', 'data', name);

test('a two-run report draws one timeline per run and the scatter chart', async () => {
  const { page, errors, cdnRequests } = await openReport(golden('report_multi.html'));
  assert.deepEqual(cdnRequests.sort(), Object.keys(scripts).sort());
  const charts = await page.evaluate(() => Object.keys(chartInstances));
  assert.deepEqual(charts.sort(), ['chart1', 'chart2', 'scatterChart']);

  const timeline = await page.evaluate(() => {
    const c = chartInstances.chart2;
    return {
      type: c.config.type,
      labels: c.data.labels,
      datasets: c.data.datasets.map((d) => ({
        label: d.label, data: d.data, borderColor: d.borderColor, backgroundColor: d.backgroundColor,
        borderWidth: d.borderWidth, borderDash: d.borderDash, yAxisID: d.yAxisID, pointStyle: d.pointStyle,
        pointRadius: d.pointRadius, showLine: d.showLine,
      })),
      scales: Object.fromEntries(Object.entries(c.options.scales).map(([id, s]) => [id, {
        type: s.type, position: s.position, title: s.title.text, titleColor: s.title.color,
        beginAtZero: s.beginAtZero, drawOnChartArea: s.grid.drawOnChartArea,
      }])),
      canvas: c.canvas.id,
    };
  });
  assert.equal(timeline.type, 'line');
  assert.equal(timeline.canvas, 'chart2');
  assert.deepEqual(timeline.labels, [0, 0.1, 0.2, 0.4]);  // records' tenths, shown in seconds
  assert.deepEqual(timeline.datasets.map((d) => d.label), ['FPS', 'Outliers', 'Bricks', 'Debris']);
  const [fps, outliers, bricks, debris] = timeline.datasets;
  assert.deepEqual(fps.data, [100, 240, 100, 98]);
  assert.equal(fps.borderColor, '#00ccff');
  assert.equal(fps.backgroundColor, 'rgba(0, 204, 255, 0.1)');
  assert.equal(fps.yAxisID, 'fps');
  assert.deepEqual(outliers.data, [null, 240, null, null]);
  assert.equal(outliers.pointStyle, 'rect');
  assert.equal(outliers.pointRadius, 12);
  assert.equal(outliers.showLine, false);
  assert.deepEqual(bricks.data, [80, 80, 79, 78]);
  assert.deepEqual(bricks.borderDash, [5, 5]);
  assert.equal(bricks.yAxisID, 'scene');
  assert.equal(debris.borderColor, '#ff0099');
  assert.deepEqual(debris.borderDash, [2, 2]);
  assert.equal(timeline.scales.x.title, 'Time (seconds)');
  assert.equal(timeline.scales.fps.position, 'left');
  assert.equal(timeline.scales.fps.titleColor, '#0cf');
  assert.equal(timeline.scales.fps.beginAtZero, true);
  assert.equal(timeline.scales.scene.position, 'right');
  assert.equal(timeline.scales.scene.title, 'Bricks / Debris');
  assert.equal(timeline.scales.scene.drawOnChartArea, false);

  const scatter = await page.evaluate(() => {
    const c = chartInstances.scatterChart;
    return {
      type: c.config.type,
      reverse: c.options.scales.x.reverse,
      xTitle: c.options.scales.x.title.text,
      datasets: c.data.datasets.map((d) => ({
        label: d.label, colour: d.backgroundColor, pointStyle: d.pointStyle,
        points: d.data.map((p) => [p.x, p.y, p.run]),
      })),
    };
  });
  assert.equal(scatter.type, 'scatter');
  assert.equal(scatter.reverse, true);
  assert.equal(scatter.xTitle, 'Brick Count');
  assert.deepEqual(scatter.datasets.map((d) => d.label),
    ['1 Ball', '2 Balls', '3 Balls', '4 Balls', 'Outliers (excluded)']);
  assert.deepEqual(scatter.datasets.map((d) => d.colour), ['#00ff00', '#ffff00', '#ff9900', '#ff0000', '#ff00ff']);
  assert.deepEqual(scatter.datasets[1].points, [[79, 100, 2]]);  // 2.4 balls round to 2
  assert.deepEqual(scatter.datasets[2].points, [[78, 98, 2]]);   // 2.6 balls round to 3
  assert.deepEqual(scatter.datasets[4].points, [[80, 240, 2]]);
  assert.equal(scatter.datasets[4].pointStyle, 'crossRot');
  assert.equal(scatter.datasets[0].points.length, 4);

  fs.mkdirSync(artifacts, { recursive: true });
  await page.screenshot({ path: path.join(artifacts, 'report.png'), fullPage: true });
  assert.deepEqual(errors, []);
  await page.close();
});

test('the timeline of a 40 s run ends at 40 seconds', async () => {
  // The single-run golden with the 401 records of a 40 s run in place of its own.
  const records = Array.from({ length: 401 }, (_, i) => `      {time:${i},avgFps:60.00,minFps:59.00,maxFps:61.00,` +
    'medianFps:60.00,debris:8.00,bricks:80.00,balls:1.00,isOutlier:false}');
  const runsData = 'const runsData = [\n  {\n    seconds: [\n' + records.join(',\n') + '\n    ],\n' +
    '    stats: {avg:60.00,min:60.00,max:60.00,median:60.00,cleaned:60.00,outliers:0,score:1200}\n  }\n];';
  const html = fs.readFileSync(golden('report_single.html'), 'utf8').replace(/const runsData = \[[\s\S]*?\n\];/, runsData);
  const file = path.join(fs.mkdtempSync(path.join(os.tmpdir(), 'orvalis-report-')), 'forty-seconds.html');
  fs.writeFileSync(file, html);
  const { page, errors } = await openReport(file);
  const axis = await page.evaluate(() => {
    const x = chartInstances.chart1.scales.x;
    return { title: x.options.title.text, first: x.getLabelForValue(x.min), last: x.getLabelForValue(x.max),
      ticks: x.ticks.map((t) => Number(t.label)) };
  });
  assert.equal(axis.title, 'Time (seconds)');
  assert.equal(axis.first, 0);
  assert.equal(axis.last, 40);
  assert.ok(Math.max(...axis.ticks) <= 40 && Math.max(...axis.ticks) >= 35, `tick labels ${axis.ticks}`);
  assert.deepEqual(errors, []);
  await page.close();
  fs.rmSync(path.dirname(file), { recursive: true });
});

test('Reset Zoom restores the original view after zooming', async () => {
  const { page, errors } = await openReport(golden('report_deterministic_multi.html'));
  const initial = await page.evaluate(() => {
    const s = chartInstances.chart1.scales.x;
    return [s.min, s.max];
  });
  const zoomed = await page.evaluate(() => {
    chartInstances.chart1.zoom(2);
    const s = chartInstances.chart1.scales.x;
    return [s.min, s.max, chartInstances.chart1.isZoomedOrPanned()];
  });
  assert.equal(zoomed[2], true);
  await page.click("button[onclick=\"resetZoom('chart1')\"]");
  const reset = await page.evaluate(() => {
    const s = chartInstances.chart1.scales.x;
    return [s.min, s.max, chartInstances.chart1.isZoomedOrPanned()];
  });
  assert.deepEqual(reset.slice(0, 2), initial);
  assert.equal(reset[2], false);
  // A deterministic report draws its timelines and the scatter chart too.
  const charts = await page.evaluate(() => Object.keys(chartInstances).sort());
  assert.deepEqual(charts, ['chart1', 'chart2', 'scatterChart']);
  assert.deepEqual(errors, []);
  await page.close();
});

test('dragging a zoomed chart pans it and a double-click restores the view', async () => {
  const { page, errors } = await openReport(golden('report_multi.html'));
  const range = () => page.evaluate(() => {
    const { x, y } = chartInstances.scatterChart.scales;
    return { min: x.min, max: x.max, yMin: y.min, yMax: y.max };
  });
  const initial = await range();
  await page.locator('#scatterChart').scrollIntoViewIfNeeded();
  await page.evaluate(() => chartInstances.scatterChart.zoom({ x: 1.5 }));
  const zoomed = await range();
  const box = await page.locator('#scatterChart').boundingBox();
  const y = box.y + box.height / 2;
  await page.mouse.move(box.x + box.width * 0.6, y);
  await page.mouse.down();
  await page.mouse.move(box.x + box.width * 0.3, y, { steps: 12 });
  await page.mouse.up();
  const panned = await range();
  assert.notEqual(panned.min, zoomed.min, 'the x range moves with the drag');
  assert.ok(Math.abs((panned.max - panned.min) - (zoomed.max - zoomed.min)) < 1e-9);
  await page.locator('#scatterChart').dblclick();
  assert.deepEqual(await range(), initial);
  assert.deepEqual(errors, []);
  await page.close();
});

test('a comparison page overlays its files in both charts and shows the verdicts', async () => {
  const { page, errors } = await openReport(golden('comparison.html'), 'timelineChart');
  const charts = await page.evaluate(() => Object.fromEntries(Object.entries(chartInstances).map(([id, c]) => [id, {
    labels: c.data.datasets.map((d) => d.label),
    points: c.data.datasets.map((d) => d.data.length),
    xTitle: c.options.scales.x.title.text,
    drawn: (() => {  // pixels the chart has painted on its canvas
      const data = c.canvas.getContext('2d').getImageData(0, 0, c.canvas.width, c.canvas.height).data;
      let painted = 0;
      for (let i = 3; i < data.length; i += 4) painted += data[i] > 0;
      return painted;
    })(),
  }])));
  assert.deepEqual(Object.keys(charts).sort(), ['percentileChart', 'timelineChart']);
  const files = ['1: base.json', '2: faster.json', '3: older & other.json'];
  assert.deepEqual(charts.percentileChart.labels, files);
  assert.deepEqual(charts.percentileChart.points, [101, 101, 101]);
  assert.deepEqual(charts.timelineChart.labels, files);
  assert.deepEqual(charts.timelineChart.points, [20, 20, 20]);
  assert.equal(charts.timelineChart.xTitle, 'Time (seconds)');
  assert.ok(charts.percentileChart.drawn > 1000 && charts.timelineChart.drawn > 1000);

  const shown = await page.evaluate(() => ({
    verdicts: [...document.querySelectorAll('td.verdict')].map((td) => td.textContent),
    warning: document.querySelector('.warning').textContent,
    adapter: document.querySelectorAll('td.adapter')[2].textContent,
    scripts: document.scripts.length,
  }));
  assert.deepEqual(shown.verdicts, ['faster', 'faster', 'slower', 'slower']);
  assert.match(shown.warning, /The configurations differ: resolution\./);
  assert.equal(shown.adapter, '<script>alert(1)</script>');  // shown as text, never run
  assert.equal(shown.scripts, 4);  // the three libraries and the page's own

  // The lines rise into place; the screenshot waits until they have.
  await page.waitForFunction(() => Object.values(chartInstances).every((c) => !Chart.animator.running(c)));
  fs.mkdirSync(artifacts, { recursive: true });
  await page.screenshot({ path: path.join(artifacts, 'comparison.png'), fullPage: true });
  assert.deepEqual(errors, []);
  await page.close();
});
