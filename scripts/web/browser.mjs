// The web player's test bench: a static HTTP server on 127.0.0.1 for the page and a show,
// headless Chromium driven through puppeteer-core, and cleanup of both (and of the
// browser's temporary profile) on every way out: a normal end, an error, SIGINT, SIGTERM.

import { execFileSync } from 'node:child_process';
import fs from 'node:fs';
import http from 'node:http';
import os from 'node:os';
import path from 'node:path';
import { fileURLToPath } from 'node:url';

const Here = path.dirname(fileURLToPath(import.meta.url));

export const ChromiumPath = process.env.TALDREX_CHROMIUM || '/usr/bin/chromium';

// Where a show is served: a folder's files under /showfiles/, an archive as /showfiles/show.zip.
export const ShowPrefix = '/showfiles/';
export const ShowArchivePath = '/showfiles/show.zip';

const ContentTypes = {
    '.html': 'text/html; charset=utf-8',
    '.js': 'text/javascript; charset=utf-8',
    '.mjs': 'text/javascript; charset=utf-8',
    '.css': 'text/css; charset=utf-8',
    '.json': 'application/json',
    '.map': 'application/json',
    '.wasm': 'application/wasm',
    '.txt': 'text/plain; charset=utf-8',
    '.png': 'image/png',
    '.jpg': 'image/jpeg',
    '.jpeg': 'image/jpeg',
    '.bmp': 'image/bmp',
    '.gif': 'image/gif',
    '.svg': 'image/svg+xml',
    '.ico': 'image/x-icon',
    '.mp3': 'audio/mpeg',
    '.ogg': 'audio/ogg',
    '.wav': 'audio/wav',
    '.zip': 'application/zip',
};

export function contentType(file) {
    return ContentTypes[path.extname(file).toLowerCase()] || 'application/octet-stream';
}

// ---------------------------------------------------------------------------------------
// Cleanup. Each resource registers an asynchronous close (for a normal end or a signal) and
// a synchronous one (for process exit, when nothing asynchronous runs any more).

const live = new Set();
let signalsHooked = false;
let stopping = false;

// Whether a stop signal came: what fails while everything closes is no news then.
export function isStopping() {
    return stopping;
}

function hookSignals() {
    if (signalsHooked) return;
    signalsHooked = true;
    process.on('exit', () => {
        for (const resource of [...live].reverse()) resource.closeSync();
        live.clear();
    });
    for (const [signal, status] of [['SIGINT', 130], ['SIGTERM', 143], ['SIGHUP', 129]]) {
        process.on(signal, () => {
            stopping = true;
            // A second signal while closing ends at once; the exit handler still runs.
            process.removeAllListeners(signal);
            process.on(signal, () => process.exit(status));
            closeAll().finally(() => process.exit(status));
        });
    }
}

function track(resource) {
    hookSignals();
    live.add(resource);
    let closing = null;
    return {
        close() {
            if (!closing) {
                closing = Promise.resolve()
                    .then(resource.close)
                    .catch(() => {})
                    .finally(() => {
                        resource.closeSync();
                        live.delete(resource);
                    });
            }
            return closing;
        },
    };
}

// Closes everything still open, newest first, waiting at most 10 s in all.
export async function closeAll() {
    const pending = [...live].reverse().map((resource) => resource.handle.close());
    await Promise.race([Promise.allSettled(pending), new Promise((done) => setTimeout(done, 10000).unref())]);
    for (const resource of [...live].reverse()) resource.closeSync();
    live.clear();
}

function register(close, closeSync) {
    const resource = { close, closeSync };
    resource.handle = track(resource);
    return resource.handle;
}

// ---------------------------------------------------------------------------------------
// The server.

// The file under root that the URL path names (already without its route prefix), or null
// when the path is malformed or leads outside root: a ".." segment (also percent-encoded),
// a backslash, a NUL, an absolute path inside the path, or a symbolic link out of root.
export function resolveInside(root, urlPath) {
    let decoded;
    try {
        decoded = decodeURIComponent(urlPath);
    } catch {
        return null;
    }
    if (decoded.includes('\0') || decoded.includes('\\')) return null;
    const segments = decoded.split('/');
    if (segments.some((segment) => segment === '..' || segment === '.')) return null;
    if (segments.some((segment, i) => segment === '' && i > 0 && i < segments.length - 1)) return null;
    const relative = segments.filter((segment) => segment !== '').join('/');
    if (relative === '' || path.isAbsolute(relative)) return null;
    const realRoot = fs.realpathSync(root);
    let real;
    try {
        real = fs.realpathSync(path.join(realRoot, relative));
    } catch {
        return null;
    }
    const inside = path.relative(realRoot, real);
    if (inside === '' || inside.startsWith('..') || path.isAbsolute(inside)) return null;
    return real;
}

// Starts a server on 127.0.0.1 at a port of the system's choosing. pageDir is served at /;
// show, a folder or a .zip file on disk, under ShowPrefix (see showUrl). Returns
// { origin, showUrl, requests, close() }; requests lists every path asked for, in order.
export async function startServer({ pageDir, show = null }) {
    const pageRoot = fs.realpathSync(pageDir);
    let showRoot = null;
    let showArchive = null;
    if (show !== null) {
        const stat = fs.statSync(show);
        if (stat.isDirectory()) showRoot = fs.realpathSync(show);
        else showArchive = fs.realpathSync(show);
    }
    const requests = [];
    const server = http.createServer((request, response) => {
        const rawPath = (request.url || '/').split(/[?#]/, 1)[0];
        requests.push(rawPath);
        const refuse = (status, text) => {
            response.writeHead(status, { 'Content-Type': 'text/plain; charset=utf-8', 'Cache-Control': 'no-store' });
            response.end(request.method === 'HEAD' ? undefined : text + '\n');
        };
        if (request.method !== 'GET' && request.method !== 'HEAD') {
            response.setHeader('Allow', 'GET, HEAD');
            refuse(405, 'method not allowed');
            return;
        }
        let file = null;
        if (showArchive !== null && rawPath === ShowArchivePath) file = showArchive;
        else if (rawPath.startsWith(ShowPrefix)) {
            if (showRoot !== null) file = resolveInside(showRoot, rawPath.slice(ShowPrefix.length));
        } else if (rawPath.startsWith('/')) file = resolveInside(pageRoot, rawPath.slice(1));
        if (file === null) {
            refuse(404, 'not found');
            return;
        }
        fs.stat(file, (error, stat) => {
            if (error || !stat.isFile()) {
                refuse(404, 'not found');
                return;
            }
            response.writeHead(200, {
                'Content-Type': contentType(file),
                'Content-Length': stat.size,
                'Cache-Control': 'no-store',
            });
            if (request.method === 'HEAD') {
                response.end();
                return;
            }
            const stream = fs.createReadStream(file);
            stream.on('error', () => response.destroy());
            stream.pipe(response);
        });
    });
    await new Promise((resolve, reject) => {
        server.once('error', reject);
        server.listen(0, '127.0.0.1', resolve);
    });
    const origin = `http://127.0.0.1:${server.address().port}`;
    const handle = register(
        () =>
            new Promise((resolve) => {
                server.close(() => resolve());
                server.closeAllConnections();
            }),
        () => {
            server.closeAllConnections();
            server.close();
        },
    );
    return {
        origin,
        showUrl: show === null ? null : showArchive !== null ? ShowArchivePath : ShowPrefix,
        requests,
        close: handle.close,
    };
}

// ---------------------------------------------------------------------------------------
// The browser.

// Installs puppeteer-core from the lock file when it is not installed yet (scripts/web/install).
let puppeteerModule = null;
export async function loadPuppeteer() {
    if (puppeteerModule) return puppeteerModule;
    try {
        execFileSync(path.join(Here, 'install'), { stdio: ['ignore', 'ignore', 'inherit'] });
    } catch (error) {
        const status = error.status ?? 1;
        const failure = new Error(`cannot install puppeteer-core from ${path.join(Here, 'package-lock.json')}`);
        failure.exitStatus = status;
        throw failure;
    }
    puppeteerModule = (await import('puppeteer-core')).default;
    return puppeteerModule;
}

export const ChromiumArgs = [
    '--no-sandbox',
    '--use-angle=swiftshader',
    '--enable-unsafe-swiftshader',
    '--autoplay-policy=no-user-gesture-required',
    // Nothing of Chromium's own talks to the network: there is none but the loopback.
    '--disable-background-networking',
    '--disable-component-update',
    '--disable-sync',
    '--no-first-run',
    '--disable-quic',
    '--disable-default-apps',
    '--disable-domain-reliability',
    '--no-default-browser-check',
    '--no-pings',
];

// Kills the browser and its helpers: puppeteer starts it as the leader of a process group.
function killTree(pid) {
    if (!pid) return;
    for (const target of [-pid, pid]) {
        try {
            process.kill(target, 'SIGKILL');
        } catch {
            // Already gone, or no group of its own.
        }
    }
}

// Launches headless Chromium (WebGL through SwiftShader, sound allowed without a gesture)
// on a fresh profile, removed again when the browser closes. Returns puppeteer's Browser.
// options.args adds arguments.
export async function launchBrowser(options = {}) {
    if (!fs.existsSync(ChromiumPath)) {
        const failure = new Error(`Chromium is not installed at ${ChromiumPath} (scripts/install-deps installs it)`);
        failure.missing = true;
        throw failure;
    }
    const puppeteer = await loadPuppeteer();
    const profile = fs.mkdtempSync(path.join(os.tmpdir(), 'taldrex-chromium-'));
    let browser = null;
    let closeBrowser = null;
    const handle = register(
        async () => {
            if (closeBrowser) await Promise.race([closeBrowser(), new Promise((done) => setTimeout(done, 5000).unref())]);
        },
        () => {
            if (browser) killTree(browser.process()?.pid);
            fs.rmSync(profile, { recursive: true, force: true, maxRetries: 3 });
        },
    );
    try {
        browser = await puppeteer.launch({
            executablePath: ChromiumPath,
            headless: true,
            pipe: true,
            userDataDir: profile,
            args: [...ChromiumArgs, ...(options.args || [])],
            // Sound plays like a listener's: the clock of a muted tab is not the one tested.
            ignoreDefaultArgs: ['--mute-audio'],
            protocolTimeout: 300000,
            timeout: 60000,
        });
    } catch (error) {
        await handle.close();
        throw error;
    }
    closeBrowser = browser.close.bind(browser);
    // Closing the browser also removes its profile and forgets it for the exit handler.
    browser.close = handle.close;
    return browser;
}

// ---------------------------------------------------------------------------------------
// The page.

// The page's URL for the server's show with the given parameters (an object; values are
// written as given, true as 1).
export function pageUrl(server, parameters = {}, pageName = 'taldrex.html') {
    const query = new URLSearchParams();
    if (server.showUrl !== null) query.set('show', server.showUrl);
    for (const [key, value] of Object.entries(parameters)) {
        if (value === false || value === null || value === undefined) continue;
        query.set(key, value === true ? '1' : String(value));
    }
    return `${server.origin}/${pageName}?${query}`;
}

// The page's state object (window.taldrexPage), or null while there is none.
export async function pageState(page) {
    return page.evaluate(() => {
        const state = window.taldrexPage;
        if (!state) return null;
        return {
            state: state.state,
            message: state.message,
            problems: Array.isArray(state.problems) ? [...state.problems] : state.problems,
            fetchedBytes: state.fetchedBytes,
            partLogLength: Array.isArray(state.partLog) ? state.partLog.length : 0,
        };
    });
}

// Waits until the page's state is one of states; returns the page's state object. Throws
// after timeoutMs, saying which state the page was in, and at once when the page threw.
export async function waitForState(page, states, timeoutMs, errors = null) {
    const wanted = Array.isArray(states) ? states : [states];
    const end = Date.now() + timeoutMs;
    let last = null;
    for (;;) {
        if (errors && errors.length) throw new Error(`the page failed: ${errors[0]}`);
        try {
            last = await pageState(page);
        } catch (error) {
            // A navigation in progress destroys the context; anything else is the page's end.
            if (!/context was destroyed|Cannot find context|detached/i.test(String(error))) throw error;
        }
        if (last && wanted.includes(last.state)) return last;
        if (Date.now() >= end) {
            const where = last ? `'${last.state}'${last.message ? ` (${last.message})` : ''}` : 'no taldrexPage';
            throw new Error(`the page did not reach ${wanted.map((s) => `'${s}'`).join(' or ')} within ${timeoutMs / 1000} s: it is in ${where}`);
        }
        await new Promise((done) => setTimeout(done, 50));
    }
}

// Opens a new tab with a viewport of width x height CSS pixels at one device pixel each,
// collecting the page's uncaught errors and crashes into page.taldrexErrors, and its
// console into page.taldrexConsole (printed as it comes when TALDREX_WEB_VERBOSE is set).
export async function openPage(browser, { width = 1280, height = 720 } = {}) {
    const page = await browser.newPage();
    await page.setViewport({ width, height, deviceScaleFactor: 1 });
    const errors = [];
    const consoleLines = [];
    page.on('pageerror', (error) => errors.push(error?.message || String(error)));
    page.on('error', (error) => errors.push(`the tab crashed: ${error?.message || error}`));
    page.on('console', (message) => {
        const line = `${message.type()}: ${message.text()}`;
        consoleLines.push(line);
        if (consoleLines.length > 2000) consoleLines.shift();
        if (process.env.TALDREX_WEB_VERBOSE) process.stderr.write(`page: ${line}\n`);
    });
    page.taldrexErrors = errors;
    page.taldrexConsole = consoleLines;
    return page;
}

// The largest peak resident memory of any one process of the browser (each process's own
// high-water mark, so an allocation freed again still counts): { bytes, pid, type }, type
// as Chromium names the process ('renderer', 'gpu-process', ...; 'browser' for the main
// one). One process rather than the sum, since every process maps the same program.
export function browserPeakMemory(browser) {
    const root = browser.process()?.pid;
    const largest = { bytes: 0, pid: 0, type: '' };
    if (!root) return largest;
    const parents = new Map();
    for (const entry of fs.readdirSync('/proc')) {
        if (!/^\d+$/.test(entry)) continue;
        try {
            const stat = fs.readFileSync(`/proc/${entry}/stat`, 'utf8');
            // The command name is in parentheses and may hold spaces; the parent id follows it.
            const fields = stat.slice(stat.lastIndexOf(')') + 2).split(' ');
            parents.set(Number(entry), Number(fields[1]));
        } catch {
            // Ended meanwhile.
        }
    }
    const inTree = (pid) => {
        for (let p = pid, hops = 0; p > 1 && hops < 64; p = parents.get(p), hops++) if (p === root) return true;
        return false;
    };
    for (const pid of parents.keys()) {
        if (!inTree(pid)) continue;
        try {
            const status = fs.readFileSync(`/proc/${pid}/status`, 'utf8');
            const match = /^VmHWM:\s+(\d+) kB/m.exec(status);
            const bytes = match ? Number(match[1]) * 1024 : 0;
            if (bytes > largest.bytes) {
                const command = fs.readFileSync(`/proc/${pid}/cmdline`, 'utf8');
                Object.assign(largest, { bytes, pid, type: /--type=([\w-]+)/.exec(command)?.[1] || 'browser' });
            }
        } catch {
            // Ended meanwhile.
        }
    }
    return largest;
}
