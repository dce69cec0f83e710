// The page of `tarnvel serve` with two engines in headless Chromium: a
// move played by clicking its squares, the engine's reply on the board, a
// PDN loaded, walked back and branched, an ending's winning move coloured
// from the 3-piece database, two engines playing each other, and
// screenshots at 1280 and 360 pixels that show something.
//   node play_page.test.js PATH/TO/tarnvel OUTPUT_DIR
'use strict';

const { spawn, spawnSync } = require('node:child_process');
const fs = require('node:fs');
const os = require('node:os');
const path = require('node:path');
const zlib = require('node:zlib');
const { chromium } = require('playwright-core');

const [tarnvel, outDir] = process.argv.slice(2).map((a) => path.resolve(a));
const CHROMIUM = '/usr/bin/chromium';
const PDN = '[Event "browser test"]\n1. 9-14 22-17 2. 11-15 25-22 *\n';
// Black wins with every move but 19-24, which lets the king take.
const ENDING = 'B:WK28:B14,K19.';

function startServer() {
  const dir = fs.mkdtempSync(path.join(os.tmpdir(), 'tarnvel-browser-'));
  const built = spawnSync(path.join(path.dirname(tarnvel), 'tarnvel-egdb'),
                          ['build', '--pieces', '3', '--out', path.join(dir, 'db')]);
  if (built.status !== 0) throw new Error('cannot build the 3-piece database');
  // The second engine is another instance of the same library.
  const library = path.join(path.dirname(tarnvel), 'libTarnvel.so');
  const server = spawn(tarnvel, ['serve', '--listen', '127.0.0.1:0', '--hash', '16', '--engine', 'v1.3',
                                 '--engine', library], { cwd: dir, stdio: ['ignore', 'pipe', 'inherit'] });
  const url = new Promise((resolve, reject) => {
    let out = '';
    server.stdout.on('data', (chunk) => {
      out += chunk;
      const found = out.match(/http:\/\/\S+\//);
      if (found) resolve(found[0]);
    });
    server.on('error', reject);
    server.on('exit', (code) => reject(new Error('tarnvel serve ended with ' + code)));
  });
  return { server, url, dir };
}

// The PNG's pixels, inflated: a blank page has a handful of byte values.
function distinctPixelBytes(file) {
  const png = fs.readFileSync(file);
  const chunks = [];
  let width = 0, height = 0;
  for (let at = 8; at < png.length;) {
    const length = png.readUInt32BE(at);
    const type = png.toString('latin1', at + 4, at + 8);
    const data = png.subarray(at + 8, at + 8 + length);
    if (type === 'IHDR') { width = data.readUInt32BE(0); height = data.readUInt32BE(4); }
    if (type === 'IDAT') chunks.push(data);
    at += 12 + length;
  }
  const pixels = zlib.inflateSync(Buffer.concat(chunks));
  if (width < 300 || height < 300 || pixels.length < width * height * 3) throw new Error('not a page-sized PNG');
  return new Set(pixels).size;
}

async function main() {
  const { server, url, dir } = startServer();
  let browser;
  try {
    browser = await chromium.launch({
      executablePath: CHROMIUM,
      args: ['--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
             '--disable-background-networking', '--disable-component-update', '--disable-sync'],
    });
    const page = await browser.newPage({ viewport: { width: 1100, height: 820 } });
    await page.goto(await url);
    await page.waitForSelector('body[data-ply="0"]');
    await page.fill('#seconds', '0.1');
    await page.click('[data-square="11"]');
    await page.click('[data-square="15"]');
    // The engine plays White by default: its reply lands on the board.
    await page.waitForSelector('body[data-ply="2"][data-searching="false"]', { timeout: 10000 });
    const label = await page.getAttribute('[data-square="15"]', 'aria-label');
    if (!label.includes('black man')) throw new Error('11-15 not on the board: ' + label);
    const position = await page.getAttribute('body', 'data-position');
    if (!position.startsWith('B:') || position.includes('21,22,23,24,25,26,27,28,29,30,31,32')) {
      throw new Error('no engine reply in ' + position);
    }

    await page.selectOption('#engine-side', 'none');
    await page.fill('#pdn', PDN);
    await page.click('#pdn-load');
    await page.waitForSelector('body[data-ply="4"]');
    const loaded = await page.getAttribute('body', 'data-position');
    if (loaded !== 'B:W17,21,22,23,24,26,27,28,29,30,31,32:B1,2,3,4,5,6,7,8,10,12,14,15.') {
      throw new Error('PDN loaded as ' + loaded);
    }

    // Two moves back with the keyboard, then another move there: the old
    // continuation stays as a variation.
    await page.focus('#back');
    await page.keyboard.press('ArrowLeft');
    await page.waitForSelector('body[data-ply="3"]');
    await page.keyboard.press('ArrowLeft');
    await page.waitForSelector('body[data-ply="2"]');
    const back = await page.getAttribute('body', 'data-position');
    if (back !== 'B:W17,21,23,24,25,26,27,28,29,30,31,32:B1,2,3,4,5,6,7,8,10,11,12,14.') {
      throw new Error('two moves back shows ' + back);
    }
    await page.fill('#move-text', '10-15');
    await page.press('#move-text', 'Enter');
    await page.waitForSelector('body[data-ply="3"]');
    const pdn = await page.inputValue('#pdn');
    if (!pdn.includes('2. 10-15 (2. 11-15 25-22) *')) throw new Error('no variation in ' + pdn);

    // Engine 2 plays Black against engine 1: two moves watched.
    await page.click('#new');
    await page.waitForSelector('body[data-ply="0"]');
    await page.selectOption('#engine-black', '1');
    await page.fill('#seconds', '0.5');
    await page.selectOption('#engine-side', 'both');
    await page.waitForFunction(() => Number(document.body.dataset.ply) >= 2, null, { timeout: 10000 });
    if (await page.locator('#moves .move').count() < 2) throw new Error('the engines\' moves are not listed');

    // An ending the database covers, set while the third move is searched:
    // the search is stopped, and the winning moves' squares coloured.
    await page.fill('#position-text', ENDING);
    await page.click('#position-set');
    await page.waitForSelector('[data-square="18"].verdict-win');
    await page.waitForSelector('[data-square="24"].verdict-draw');
    const first = await page.textContent('#verdicts li:first-child');
    if (first !== '14-18 win') throw new Error('verdict list starts with ' + first);

    // Analysed until stopped: its score is on the chart, its move not played.
    await page.click('#analyse');
    await page.waitForSelector('body[data-searching="true"]');
    await page.waitForTimeout(500);
    await page.click('#stop');
    await page.waitForSelector('body[data-searching="false"][data-ply="0"] #chart .chart-point');

    await page.setViewportSize({ width: 1280, height: 900 });
    const shot = path.join(outDir, 'serve-1280.png');
    await page.screenshot({ path: shot });
    const distinct = distinctPixelBytes(shot);
    if (distinct < 32) throw new Error('screenshot looks blank: ' + distinct + ' distinct bytes');
    await page.setViewportSize({ width: 360, height: 800 });
    await page.screenshot({ path: path.join(outDir, 'serve-360.png'), fullPage: true });
    console.log('browser test passed: move clicked, engine replied, PDN loaded, walked back and branched, ' +
                'verdicts coloured, engines watched, screenshots in ' + outDir);
  } finally {
    if (browser) await browser.close();
    server.kill('SIGTERM');
    fs.rmSync(dir, { recursive: true, force: true });
  }
}

main().catch((e) => {
  console.error('browser test failed: ' + e.message);
  process.exit(1);
});
