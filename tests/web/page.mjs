// Opens a page of bspwalk --export FILE.html in headless Chromium, saves the picture of its first
// frame (window.bspwalkPicture, a promise of a PNG data URL) and, given a time, holds W that long.
// Prints one JSON line: the console's errors and uncaught exceptions, the pose line before and
// after holding W, and the milliseconds from opening the page to its first frame.
//   node page.mjs CHROMIUM PAGE_URL OUT.png [HOLD_MS]
import { spawn } from 'node:child_process';
import { mkdtemp, rm, writeFile } from 'node:fs/promises';
import os from 'node:os';
import path from 'node:path';

const [chromium, url, out, hold = '0'] = process.argv.slice(2);
const profile = await mkdtemp(path.join(os.tmpdir(), 'bspwalk-chromium-'));
const browser = spawn(chromium, [
  '--headless', '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
  '--disable-background-networking', '--disable-component-update', '--disable-sync',
  `--user-data-dir=${profile}`, '--enable-unsafe-swiftshader', '--window-size=800,600',
  '--remote-debugging-pipe', 'about:blank',
], { stdio: ['ignore', 'ignore', 'ignore', 'pipe', 'pipe'] });

async function finish(code, message) {
  if (message) console.error(`page.mjs: ${message}`);
  if (browser.exitCode === null && browser.signalCode === null) {
    const ended = new Promise((resolve) => browser.once('exit', resolve));
    browser.kill('SIGKILL');
    await ended;
  }
  await rm(profile, { recursive: true, force: true, maxRetries: 5 });
  process.exit(code);
}
setTimeout(() => finish(1, 'no picture after 120 s'), 120000).unref();
browser.on('error', (error) => finish(1, `cannot start ${chromium}: ${error.message}`));

// DevTools messages are JSON texts, each ended by a NUL byte; those without an id are events.
const replies = new Map();
const errors = [];
let nextId = 0;
let pending = '';
browser.stdio[4].on('data', (chunk) => {
  pending += chunk.toString('utf8');
  for (let end; (end = pending.indexOf('\0')) >= 0; pending = pending.slice(end + 1)) {
    const message = JSON.parse(pending.slice(0, end));
    if (message.id === undefined) {
      const p = message.params;
      if (message.method === 'Runtime.exceptionThrown') errors.push(p.exceptionDetails.exception?.description ?? p.exceptionDetails.text);
      if (message.method === 'Runtime.consoleAPICalled' && p.type === 'error') errors.push(p.args.map((a) => a.value ?? a.description).join(' '));
      if (message.method === 'Log.entryAdded' && p.entry.level === 'error') errors.push(p.entry.text);
      continue;
    }
    replies.get(message.id)?.(message);
    replies.delete(message.id);
  }
});
function send(method, params = {}, sessionId = undefined) {
  return new Promise((resolve, reject) => {
    const id = ++nextId;
    replies.set(id, (m) => (m.error ? reject(new Error(`${method}: ${m.error.message}`)) : resolve(m.result)));
    browser.stdio[3].write(JSON.stringify({ id, method, params, sessionId }) + '\0');
  });
}
const sleep = (ms) => new Promise((resolve) => setTimeout(resolve, ms));

try {
  const { targetId } = await send('Target.createTarget', { url: 'about:blank' });
  const { sessionId } = await send('Target.attachToTarget', { targetId, flatten: true });
  const evaluate = async (expression) => {
    const reply = await send('Runtime.evaluate', { expression, awaitPromise: true, returnByValue: true }, sessionId);
    if (reply.exceptionDetails) throw new Error(reply.exceptionDetails.exception?.description ?? reply.exceptionDetails.text);
    return reply.result.value;
  };
  await send('Runtime.enable', {}, sessionId);
  await send('Log.enable', {}, sessionId);
  await send('Page.navigate', { url }, sessionId);
  let picture;
  while (typeof (picture = await evaluate('window.bspwalkPicture')) !== 'string') await sleep(100);
  await writeFile(out, Buffer.from(picture.replace(/^data:image\/png;base64,/, ''), 'base64'));
  const firstFrameMs = await evaluate('window.bspwalkFirstFrameMs');
  const poseLine = "document.getElementById('pose').value";
  const before = await evaluate(poseLine);
  if (Number(hold) > 0) {
    const key = { code: 'KeyW', key: 'w', windowsVirtualKeyCode: 87 };
    await send('Input.dispatchKeyEvent', { type: 'keyDown', ...key }, sessionId);
    await sleep(Number(hold));
    await send('Input.dispatchKeyEvent', { type: 'keyUp', ...key }, sessionId);
    await evaluate('new Promise((resolve) => requestAnimationFrame(() => requestAnimationFrame(resolve)))');
  }
  const after = await evaluate(poseLine);
  console.log(JSON.stringify({ errors, before, after, firstFrameMs }));
  await finish(0);
} catch (error) {
  await finish(1, error.message);
}
