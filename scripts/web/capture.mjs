// web-capture: the show's frames as the web player draws them, in headless Chromium, with
// the options of "taldrex --capture". The page and the show are served on 127.0.0.1, the
// page opens in capture mode and hands over one PNG a frame. scripts/web-capture runs main.

import fs from 'node:fs';
import path from 'node:path';
import { fileURLToPath } from 'node:url';
import * as web from './browser.mjs';

const Here = path.dirname(fileURLToPath(import.meta.url));
const Root = path.dirname(path.dirname(Here));
const ReadyTimeoutMs = 120000;
const FrameTimeoutMs = 60000;

const Usage = `Usage: web-capture --capture DIR [--size WxH] [--fps N] [--from MS] [--to MS] [--page DIR] [SHOW]

Plays SHOW in the web player (headless Chromium, WebGL on SwiftShader) on a frame clock
and writes its frames as DIR/frame-NNNNNN.png, NNNNNN the frame number k, which shows
the show's clock at floor(k * 1000 / fps) ms: the same names as "taldrex --capture".

  SHOW            a show folder (script.txt and data/) or a .zip archive of one
                  (default: the show bundled beside the page)
  --capture DIR   where the frames go (made when missing)
  --size WxH      picture size, 16x16 to 8192x8192 (default 1280x720)
  --fps N         frames per second of show time, 1 to 1000 (default 30)
  --from MS       first show time written, in ms (default 0)
  --to MS         last show time written, in ms (default: the show's end)
  --page DIR      the built page: taldrex.html, taldrex.js, taldrex.wasm, page.js
                  (default: build-web in the repository, ${path.join(Root, 'build-web')})
  -h, --help      this text

Prints one line of summary and exits 0; exits 1 with the reason when the show cannot be
played (the page's own message), the page fails or does not get ready within
${ReadyTimeoutMs / 1000} s, and 2 for a usage error. Needs Chromium at /usr/bin/chromium
(TALDREX_CHROMIUM names another) and Node.js; puppeteer-core is installed into
scripts/web/node_modules from its lock file on first use.
`;

class UsageError extends Error {}

function integer(option, text, low, high) {
    if (!/^\d+$/.test(text)) throw new UsageError(`${option}: expected a whole number, got "${text}"`);
    const value = Number(text);
    if (value < low || value > high) throw new UsageError(`${option}: ${value} is not in the range ${low} to ${high}`);
    return value;
}

export function parseArguments(argv) {
    const options = { capture: null, width: 1280, height: 720, fps: 30, from: 0, to: null, page: path.join(Root, 'build-web'), show: null, help: false };
    const seen = new Set();
    const takesValue = new Set(['--capture', '--size', '--fps', '--from', '--to', '--page']);
    for (let i = 0; i < argv.length; i++) {
        let argument = argv[i];
        if (argument === '-h' || argument === '--help') {
            options.help = true;
            continue;
        }
        if (argument === '--') {
            for (const rest of argv.slice(i + 1)) {
                if (options.show !== null) throw new UsageError(`one SHOW only, got "${options.show}" and "${rest}"`);
                options.show = rest;
            }
            break;
        }
        if (argument.startsWith('-') && argument !== '-') {
            let value;
            const equals = argument.indexOf('=');
            if (equals > 0) {
                value = argument.slice(equals + 1);
                argument = argument.slice(0, equals);
            }
            if (!takesValue.has(argument)) throw new UsageError(`unknown option ${argument}`);
            if (seen.has(argument)) throw new UsageError(`${argument} given twice`);
            seen.add(argument);
            if (value === undefined) {
                if (i + 1 >= argv.length) throw new UsageError(`${argument} needs a value`);
                value = argv[++i];
            }
            switch (argument) {
                case '--capture':
                    if (value === '') throw new UsageError('--capture: the folder name is empty');
                    options.capture = value;
                    break;
                case '--size': {
                    const match = /^(\d+)x(\d+)$/.exec(value);
                    const width = match ? Number(match[1]) : 0;
                    const height = match ? Number(match[2]) : 0;
                    if (!match || width < 16 || height < 16 || width > 8192 || height > 8192)
                        throw new UsageError(`--size: expected WIDTHxHEIGHT between 16x16 and 8192x8192, got "${value}"`);
                    options.width = width;
                    options.height = height;
                    break;
                }
                case '--fps':
                    options.fps = integer('--fps', value, 1, 1000);
                    break;
                case '--from':
                    options.from = integer('--from', value, 0, Number.MAX_SAFE_INTEGER);
                    break;
                case '--to':
                    options.to = integer('--to', value, 0, Number.MAX_SAFE_INTEGER);
                    break;
                case '--page':
                    options.page = value;
                    break;
            }
            continue;
        }
        if (options.show !== null) throw new UsageError(`one SHOW only, got "${options.show}" and "${argument}"`);
        options.show = argument;
    }
    if (options.help) return options;
    if (options.capture === null) throw new UsageError('--capture DIR is required');
    return options;
}

// The width and height in a PNG's header, or null when bytes are not a PNG.
function pngSize(bytes) {
    const signature = Buffer.from([0x89, 0x50, 0x4e, 0x47, 0x0d, 0x0a, 0x1a, 0x0a]);
    if (bytes.length < 24 || !bytes.subarray(0, 8).equals(signature) || bytes.toString('latin1', 12, 16) !== 'IHDR') return null;
    return { width: bytes.readUInt32BE(16), height: bytes.readUInt32BE(20) };
}

class CaptureError extends Error {}

function frameName(k) {
    return `frame-${String(k).padStart(6, '0')}.png`;
}

async function capture(options) {
    const pageDir = path.resolve(options.page);
    if (!fs.existsSync(path.join(pageDir, 'taldrex.html')))
        throw new CaptureError(`${pageDir} holds no taldrex.html: build the page first ("make web")`);
    let show = null;
    if (options.show !== null) {
        show = path.resolve(options.show);
        let stat;
        try {
            stat = fs.statSync(show);
        } catch {
            throw new CaptureError(`${options.show}: no such show folder or archive`);
        }
        // Whether the show plays is the page's to say (its message names what is wrong).
        if (!stat.isDirectory() && !/\.zip$/i.test(show)) throw new CaptureError(`${options.show}: neither a folder nor a .zip archive`);
    }
    const outDir = path.resolve(options.capture);
    try {
        fs.mkdirSync(outDir, { recursive: true });
        fs.accessSync(outDir, fs.constants.W_OK);
    } catch (error) {
        throw new CaptureError(`cannot write frames into ${options.capture}: ${error.code === 'EEXIST' || error.code === 'ENOTDIR' ? 'not a folder' : error.message}`);
    }
    if (!fs.statSync(outDir).isDirectory()) throw new CaptureError(`cannot write frames into ${options.capture}: not a folder`);

    const started = Date.now();
    const server = await web.startServer({ pageDir, show });
    let browser;
    try {
        browser = await web.launchBrowser();
        const page = await web.openPage(browser, { width: options.width, height: options.height });
        const parameters = { capture: 1, size: `${options.width}x${options.height}`, fps: options.fps, from: options.from };
        if (options.to !== null) parameters.to = options.to;
        await page.goto(web.pageUrl(server, parameters), { waitUntil: 'load', timeout: ReadyTimeoutMs });
        let state;
        try {
            state = await web.waitForState(page, ['ready', 'failed'], ReadyTimeoutMs, page.taldrexErrors);
        } catch (error) {
            throw new CaptureError(error.message);
        }
        for (const problem of state.problems || []) process.stderr.write(`${problem}\n`);
        if (state.state === 'failed') throw new CaptureError(state.message || 'the page failed and gave no reason');

        let count = 0;
        let bytes = 0;
        let previous = -1;
        let lastProgress = Date.now();
        for (;;) {
            let result;
            try {
                result = await Promise.race([
                    page.evaluate(async () => {
                        const frame = await window.taldrexCapture.next();
                        return frame && typeof frame === 'object' ? { done: !!frame.done, frame: frame.frame, png: frame.png } : { bad: String(frame) };
                    }),
                    new Promise((_, reject) => setTimeout(() => reject(new Error(`no frame within ${FrameTimeoutMs / 1000} s`)), FrameTimeoutMs).unref()),
                ]);
            } catch (error) {
                const now = await web.pageState(page).catch(() => null);
                if (now && now.state === 'failed') throw new CaptureError(now.message || 'the page failed and gave no reason');
                if (page.taldrexErrors.length) throw new CaptureError(`the page failed: ${page.taldrexErrors[0]}`);
                throw new CaptureError(`after frame ${previous}: ${error.message.split('\n')[0]}`);
            }
            if (page.taldrexErrors.length) throw new CaptureError(`the page failed: ${page.taldrexErrors[0]}`);
            if (result.bad !== undefined) throw new CaptureError(`taldrexCapture.next() answered ${result.bad}, not a frame`);
            if (result.done) break;
            const k = result.frame;
            if (!Number.isInteger(k) || k <= previous)
                throw new CaptureError(`the page handed frame ${k} after frame ${previous}`);
            const clock = Math.floor((k * 1000) / options.fps);
            if (clock < options.from || (options.to !== null && clock > options.to))
                throw new CaptureError(`the page handed frame ${k} (${clock} ms), outside ${options.from} to ${options.to ?? 'the end'} ms`);
            const prefix = 'data:image/png;base64,';
            if (typeof result.png !== 'string' || !result.png.startsWith(prefix))
                throw new CaptureError(`frame ${k} is not a PNG data URL`);
            const png = Buffer.from(result.png.slice(prefix.length), 'base64');
            const size = pngSize(png);
            if (size === null) throw new CaptureError(`frame ${k} is not a PNG`);
            if (size.width !== options.width || size.height !== options.height)
                throw new CaptureError(`frame ${k} is ${size.width}x${size.height}, not ${options.width}x${options.height}`);
            fs.writeFileSync(path.join(outDir, frameName(k)), png);
            count++;
            bytes += png.length;
            previous = k;
            if (process.stderr.isTTY && Date.now() - lastProgress > 2000) {
                lastProgress = Date.now();
                process.stderr.write(`frame ${k}, ${(clock / 1000).toFixed(1)} s of show\n`);
            }
        }
        const seconds = (Date.now() - started) / 1000;
        console.log(
            `web-capture: ${count} frames (${(count / options.fps).toFixed(2)} s of show) in ${seconds.toFixed(1)} s, ` +
                `${(count / seconds).toFixed(1)} fps; frames ${(bytes / 1e6).toFixed(1)} MB`,
        );
    } finally {
        if (browser) await browser.close();
        await server.close();
    }
}

// Runs web-capture with the arguments argv; resolves to its exit status.
export async function main(argv) {
    let options;
    try {
        options = parseArguments(argv);
    } catch (error) {
        if (!(error instanceof UsageError)) throw error;
        process.stderr.write(`web-capture: ${error.message}\nRun with --help for more information.\n`);
        return 2;
    }
    if (options.help) {
        process.stdout.write(Usage);
        return 0;
    }
    try {
        await capture(options);
        return 0;
    } catch (error) {
        if (web.isStopping()) return 1;
        const message = error instanceof CaptureError ? error.message : error?.message || String(error);
        process.stderr.write(`web-capture: ${message}\n`);
        return 1;
    }
}
