#!/usr/bin/env node
// Plays morph .glb files in three.js in headless chromium (software GL) and
// writes, for each FILE, OUT/NAME.json (what the page saw) and
// OUT/NAME-tTIME.png (a frame at each --shots time).
//
//   node play_morph.cjs --modules DIR --out DIR [--shots T,T,...] [--samples N]
//                       [--size PIXELS] [--chromium PATH] FILE.glb...
//
// DIR/node_modules holds three and playwright-core (install_web_deps.sh).
// The page's files are served from this folder, the modules and the .glb
// files from disk through request interception: nothing reaches a network.
'use strict';
const fs = require('fs');
const path = require('path');

function usage(message) {
  process.stderr.write(`play_morph: ${message}\n`);
  process.exit(2);
}

function parse(argv) {
  const o = { shots: null, samples: 64, size: 512, chromium: process.env.VORLANE_CHROMIUM || '/usr/bin/chromium', files: [] };
  for (let i = 0; i < argv.length; ++i) {
    const a = argv[i];
    const value = () => { if (i + 1 >= argv.length) usage(`${a} needs a value`); return argv[++i]; };
    if (a === '--modules') o.modules = value();
    else if (a === '--out') o.out = value();
    else if (a === '--shots') o.shots = value().split(',').map(Number);
    else if (a === '--samples') o.samples = Number(value());
    else if (a === '--size') o.size = Number(value());
    else if (a === '--chromium') o.chromium = value();
    else if (a.startsWith('--')) usage(`unknown option ${a}`);
    else o.files.push(a);
  }
  if (!o.modules || !o.out || o.files.length === 0) usage('give --modules DIR --out DIR and at least one .glb');
  if (o.shots && o.shots.some((t) => !Number.isFinite(t) || t < 0)) usage('--shots takes times in seconds, not negative');
  if (!Number.isInteger(o.samples) || o.samples < 1) usage('--samples takes a whole number above 0');
  if (!Number.isInteger(o.size) || o.size < 16 || o.size > 4096) usage('--size takes 16 to 4096 pixels');
  for (const f of o.files) {
    let st;
    try { st = fs.statSync(f); } catch (e) { usage(`cannot read ${f}: ${e.code === 'ENOENT' ? 'no such file' : e.message}`); }
    if (!st.isFile()) usage(`cannot read ${f}: not a regular file`);
  }
  if (!fs.existsSync(o.chromium)) usage(`no chromium at ${o.chromium} (Debian's chromium package, or --chromium PATH)`);
  return o;
}

// The file under root that a request path names, or null when it leaves root.
function under(root, rest) {
  const full = path.resolve(root, '.' + path.posix.normalize('/' + decodeURIComponent(rest)));
  return full.startsWith(path.resolve(root) + path.sep) ? full : null;
}

async function main() {
  const o = parse(process.argv.slice(2));
  const { chromium } = require(path.join(path.resolve(o.modules), 'node_modules', 'playwright-core'));
  fs.mkdirSync(o.out, { recursive: true });
  const origin = 'http://vorlane.invalid';
  const browser = await chromium.launch({
    executablePath: o.chromium,
    args: ['--use-angle=swiftshader', '--enable-unsafe-swiftshader', '--no-sandbox', '--disable-gpu-driver-bug-workarounds'],
  });
  let failed = false;
  try {
    const page = await browser.newPage({ viewport: { width: o.size, height: o.size } });
    const problems = [];
    page.on('pageerror', (e) => problems.push(e.message));
    page.on('console', (m) => { if (m.type() === 'error') problems.push(m.text()); });
    await page.route(`${origin}/**`, (route) => {
      const p = new URL(route.request().url()).pathname;
      let file = null;
      if (p.startsWith('/modules/')) file = under(path.join(o.modules, 'node_modules'), p.slice('/modules/'.length));
      else if (p.startsWith('/files/')) file = o.files[Number(p.slice('/files/'.length))] || null;
      else if (p.startsWith('/page/')) file = under(__dirname, p.slice('/page/'.length));
      if (!file || !fs.existsSync(file)) return route.fulfill({ status: 404, body: 'not found' });
      return route.fulfill({ path: file });
    });
    await page.goto(`${origin}/page/play.html?size=${o.size}`);
    await page.waitForFunction(() => window.vorlaneReady === true || undefined, null, { timeout: 60000 })
      .catch(() => { throw new Error(`the page did not start: ${problems.join('; ') || 'no word from it'}`); });

    for (let index = 0; index < o.files.length; ++index) {
      const file = o.files[index];
      const name = path.basename(file).replace(/\.glb$/i, '');
      process.stderr.write(`play_morph: ${file}\n`);
      let info;
      try {
        info = await page.evaluate((url) => window.vorlane.load(url), `${origin}/files/${index}`);
      } catch (e) {
        process.stderr.write(`play_morph: ${file}: three.js could not load it: ${e.message.split('\n')[0]}\n`);
        failed = true;
        continue;
      }
      const times = [];
      for (let k = 0; k <= o.samples; ++k) times.push(info.duration * k / o.samples);
      const samples = await page.evaluate((ts) => ts.map((t) => window.vorlane.at(t)), times);
      const shots = [];
      for (const t of o.shots || [0, info.duration / 2]) {
        const shot = await page.evaluate((time) => window.vorlane.render(time), t);
        shot.png = `${name}-t${t}.png`;
        await page.locator('canvas').screenshot({ path: path.join(o.out, shot.png) });
        shots.push(shot);
      }
      const report = { file: path.resolve(file), ...info, samples, shots, problems: problems.splice(0) };
      // Whole or not at all: a reader never meets half a report.
      const json = path.join(o.out, `${name}.json`);
      fs.writeFileSync(`${json}.part`, JSON.stringify(report, null, 1) + '\n');
      fs.renameSync(`${json}.part`, json);
    }
  } finally {
    await browser.close();
  }
  process.exit(failed ? 1 : 0);
}

main().catch((e) => {
  process.stderr.write(`play_morph: ${e.message.split('\n')[0]}\n`);
  process.exit(1);
});
