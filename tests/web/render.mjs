// Opens a page in headless Chromium and saves the PNG picture it makes: the page sets
// window.bspwalkPicture to a promise of a PNG data URL. Talks to the browser over its DevTools pipe,
// so the picture is taken when the page says it is done, not after a guessed time.
//   node render.mjs CHROMIUM PAGE_URL OUT.png [SECONDS]
import { spawn } from 'node:child_process';
import { mkdtemp, rm, writeFile } from 'node:fs/promises';
import os from 'node:os';
import path from 'node:path';

const [chromium, url, out, seconds = '120'] = process.argv.slice(2);
const profile = await mkdtemp(path.join(os.tmpdir(), 'bspwalk-chromium-'));
const browser = spawn(chromium, [
  '--headless', '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
  '--disable-background-networking', '--disable-component-update', '--disable-sync',
  `--user-data-dir=${profile}`,
  // The page, three.js and the .glb are files: they may read each other.
  '--allow-file-access-from-files',
  // WebGL on the CPU (SwiftShader), which newer Chromium offers only when asked.
  '--enable-unsafe-swiftshader',
  '--remote-debugging-pipe', 'about:blank',
], { stdio: ['ignore', 'ignore', 'ignore', 'pipe', 'pipe'] });

async function finish(code, message) {
  if (message) console.error(`render.mjs: ${message}`);
  if (browser.exitCode === null && browser.signalCode === null) {
    const ended = new Promise((resolve) => browser.once('exit', resolve));
    browser.kill('SIGKILL');
    await ended;
  }
  await rm(profile, { recursive: true, force: true, maxRetries: 5 });
  process.exit(code);
}
setTimeout(() => finish(1, `no picture after ${seconds} s`), Number(seconds) * 1000).unref();
browser.on('error', (error) => finish(1, `cannot start ${chromium}: ${error.message}`));

// DevTools messages are JSON texts, each ended by a NUL byte.
const replies = new Map();
let nextId = 0;
let pending = '';
browser.stdio[4].on('data', (chunk) => {
  pending += chunk.toString('utf8');
  for (let end; (end = pending.indexOf('\0')) >= 0; pending = pending.slice(end + 1)) {
    const message = JSON.parse(pending.slice(0, end));
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

try {
  const { targetId } = await send('Target.createTarget', { url });
  const { sessionId } = await send('Target.attachToTarget', { targetId, flatten: true });
  for (;;) {
    const reply = await send('Runtime.evaluate',
      { expression: 'window.bspwalkPicture', awaitPromise: true, returnByValue: true }, sessionId);
    if (reply.exceptionDetails) throw new Error(reply.exceptionDetails.exception?.description ?? reply.exceptionDetails.text);
    if (reply.result.type === 'string') {
      await writeFile(out, Buffer.from(reply.result.value.replace(/^data:image\/png;base64,/, ''), 'base64'));
      break;
    }
    await new Promise((resolve) => setTimeout(resolve, 100));  // the page's module has not run yet
  }
  await finish(0);
} catch (error) {
  await finish(1, error.message);
}
