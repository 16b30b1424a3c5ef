// Shared by the browser tests: where the built page, the desktop player and its bundled
// show are; skipping (status 77) when one is missing, or failing instead under CI; shows
// of our own made in temporary folders; one served page in one browser, closed whatever
// the outcome.

import { execFile } from 'node:child_process';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { fileURLToPath } from 'node:url';
import * as web from '../../scripts/web/browser.mjs';

export { web };

const Here = path.dirname(fileURLToPath(import.meta.url));
export const SourceDir = path.resolve(Here, '../..');
export const BinaryDir = process.env.TALDREX_BINARY_DIR || path.join(SourceDir, 'build');
export const WebDir = process.env.TALDREX_WEB_DIR || path.join(SourceDir, 'build-web');
export const Player = process.env.TALDREX_PLAYER || path.join(BinaryDir, 'src', 'taldrex');
export const WebCapture = path.join(SourceDir, 'scripts', 'web-capture');
// The show the page plays when told no other, and the desktop player's copy of it.
export const WebShow = path.join(WebDir, 'show');
export const DesktopShow = path.join(BinaryDir, 'show');

export const Skipped = 77;

function underCi() {
    const value = process.env.CI || '';
    return value !== '' && value !== '0' && value !== 'false';
}

// Ends the test file because something it needs is not there: status 77 (skipped), or
// under CI a failure, so that a build step that did not run cannot turn the test green.
export function skip(reason) {
    if (underCi()) {
        console.error(`FAIL: missing under CI: ${reason}`);
        process.exit(1);
    }
    console.log(`SKIP: ${reason}`);
    process.exit(Skipped);
}

// Ends the test file because it does not apply to this build (the sanitizer suite's
// desktop player draws with another software rasteriser): a skip, under CI as well.
export function notApplicable(reason) {
    console.log(`SKIP: ${reason}`);
    process.exit(Skipped);
}

// Skips unless the built page, Chromium and (with player) the desktop player and its show
// are there, and puppeteer-core installs.
export async function requirePage({ player = false } = {}) {
    if (!fs.existsSync(path.join(WebDir, 'taldrex.html'))) skip(`the web page is not built (${WebDir}/taldrex.html; "make web" builds it)`);
    if (!fs.existsSync(path.join(WebShow, 'script.txt'))) skip(`the page's bundled show is not built (${WebShow})`);
    if (!fs.existsSync(web.ChromiumPath)) skip(`Chromium is not installed at ${web.ChromiumPath}`);
    if (player) {
        if (!fs.existsSync(Player)) skip(`the desktop player is not built (${Player})`);
        if (!fs.existsSync(path.join(DesktopShow, 'script.txt'))) skip(`the desktop player's bundled show is not built (${DesktopShow})`);
    }
    try {
        await web.loadPuppeteer();
    } catch (error) {
        skip(error.message);
    }
}

// A temporary folder, removed when the process ends, unless TALDREX_WEB_KEEP is set (to
// look at what a failed test captured: its path is printed).
export function temporaryFolder(name = 'taldrex-web-test') {
    const folder = fs.mkdtempSync(path.join(os.tmpdir(), `${name}-`));
    if (process.env.TALDREX_WEB_KEEP) console.log(`# keeping ${folder}`);
    else process.on('exit', () => fs.rmSync(folder, { recursive: true, force: true }));
    return folder;
}

// Runs a program; resolves to { status, stdout, stderr } (status null when it was killed
// at timeoutMs).
export function run(program, args, { timeoutMs = 600000, env = process.env } = {}) {
    return new Promise((resolve) => {
        execFile(program, args, { timeout: timeoutMs, env, maxBuffer: 64 << 20, killSignal: 'SIGTERM' }, (error, stdout, stderr) => {
            resolve({ status: error ? (typeof error.code === 'number' ? error.code : null) : 0, stdout, stderr });
        });
    });
}

// The desktop player without a display: its off-screen context.
export function playerEnvironment() {
    const env = { ...process.env, SDL_VIDEODRIVER: 'offscreen' };
    delete env.DISPLAY;
    delete env.WAYLAND_DISPLAY;
    return env;
}

// What "taldrex --check" says of show: { status, lines, files }, files the file named by
// each problem line ("FILE: problem", "FILE:LINE: problem"), the closing count left out.
export async function desktopCheck(show) {
    const result = await run(Player, ['--check', show], { timeoutMs: 120000, env: playerEnvironment() });
    const lines = result.stdout.split('\n').filter((line) => line && !/: (\d+ problems?|no problems) found$/.test(line));
    const files = lines.map((line) => /^([^:]+):/.exec(line)?.[1]).filter(Boolean);
    return { status: result.status, lines, files };
}

// The bundled show's script up to its first part: the music and every picture and scene.
export function bundledHeader() {
    const script = fs.readFileSync(path.join(WebShow, 'script.txt'), 'utf8');
    const first = script.search(/^\[part\]/m);
    return first < 0 ? script : script.slice(0, first);
}

// A script's part: scene, end time, camera, background, overlay.
export function part(scene, end, camera, background = 'standard', overlay = 'standard') {
    return `[part]\n${scene}\n${end}\n${camera}\n${background}\n${overlay}\n\n`;
}

// Makes folder a show with the bundled show's data and the given parts (strings of part())
// after header (by default the bundled show's). Returns folder.
export function makeShow(folder, parts, { header = bundledHeader() } = {}) {
    fs.mkdirSync(path.join(folder, 'data'), { recursive: true });
    fs.cpSync(path.join(WebShow, 'data'), path.join(folder, 'data'), { recursive: true });
    fs.writeFileSync(path.join(folder, 'script.txt'), `${header}\n${parts.join('')}`);
    return folder;
}

// The short show: three parts ending at ShortShowEnds, each a scene of the bundled show.
export const ShortShowEnds = [1500, 3000, 4500];
export function makeShortShow(folder) {
    return makeShow(folder, [
        part('intro.scn', ShortShowEnds[0], 'intro_cam', 'sky.jpg', 'title.png'),
        part('orbit.scn', ShortShowEnds[1], 'orbit_cam', 'nebula.jpg', 'logo.png'),
        part('tunnel.scn', ShortShowEnds[2], 'tunnel_cam'),
    ]);
}

// Serves the page with show (a folder or .zip; null for the page's own) in a fresh
// browser, a tab of width x height. Returns { server, browser, page, open(parameters),
// close() }; open navigates the tab to the page with the given URL parameters.
export async function session({ show = null, width = 1280, height = 720 } = {}) {
    const server = await web.startServer({ pageDir: WebDir, show });
    let browser;
    try {
        browser = await web.launchBrowser();
        const page = await web.openPage(browser, { width, height });
        return {
            server,
            browser,
            page,
            async open(parameters = {}) {
                await page.goto(web.pageUrl(server, parameters), { waitUntil: 'load', timeout: 60000 });
            },
            async close() {
                await browser.close();
                await server.close();
            },
        };
    } catch (error) {
        if (browser) await browser.close();
        await server.close();
        throw error;
    }
}

// Runs fn(session) and closes the session whatever happens; on failure, the page's last
// console lines are added to the error.
export async function withSession(options, fn) {
    const opened = await session(options);
    try {
        return await fn(opened);
    } catch (error) {
        const tail = opened.page.taldrexConsole.slice(-20);
        if (tail.length && error instanceof Error) error.message += `\n  the page's last console lines:\n    ${tail.join('\n    ')}`;
        throw error;
    } finally {
        await opened.close();
    }
}

// The page's partLog as it is now.
export function partLog(page) {
    return page.evaluate(() => (window.taldrexPage.partLog || []).map((entry) => ({ ...entry })));
}

// The median of numbers (0 for none).
export function median(values) {
    if (!values.length) return 0;
    const sorted = [...values].sort((a, b) => a - b);
    const middle = sorted.length >> 1;
    return sorted.length % 2 ? sorted[middle] : (sorted[middle - 1] + sorted[middle]) / 2;
}

// Clicks the visible control labelled exactly text (a button, or a checkbox's label) as a
// pointer would. Throws when there is none. Resolves to the checkbox's state after the
// click for a checkbox's label, else null.
export async function clickLabelled(page, text) {
    const found = await page.evaluate((wanted) => {
        const visible = (element) => {
            const box = element.getBoundingClientRect();
            const style = getComputedStyle(element);
            return box.width > 0 && box.height > 0 && style.visibility !== 'hidden' && style.display !== 'none';
        };
        const label = (element) => (element.tagName === 'INPUT' ? element.value || '' : element.textContent || '').replace(/\s+/g, ' ').trim();
        const candidates = document.querySelectorAll('button, input[type=button], input[type=submit], label, [role=button], a');
        for (const element of candidates) {
            if (label(element) !== wanted || !visible(element)) continue;
            const box = element.getBoundingClientRect();
            const control = element.tagName === 'LABEL' ? element.control : null;
            if (control) control.dataset.taldrexTestTarget = wanted;
            return { x: box.x + box.width / 2, y: box.y + box.height / 2, checkbox: !!control && control.type === 'checkbox' };
        }
        return null;
    }, text);
    if (!found) throw new Error(`the page shows no control labelled "${text}"`);
    await page.mouse.click(found.x, found.y);
    if (!found.checkbox) return null;
    return page.evaluate((wanted) => document.querySelector(`[data-taldrex-test-target="${wanted}"]`).checked, text);
}

// Whether the page shows a visible control labelled exactly text.
export async function showsLabel(page, text) {
    return page.evaluate((wanted) => {
        const candidates = document.querySelectorAll('button, input, label, [role=button], a');
        for (const element of candidates) {
            const label = (element.tagName === 'INPUT' ? element.value || '' : element.textContent || '').replace(/\s+/g, ' ').trim();
            const box = element.getBoundingClientRect();
            if (label === wanted && box.width > 0 && box.height > 0 && getComputedStyle(element).visibility !== 'hidden') return true;
        }
        return false;
    }, text);
}

// Watches the page for up to timeoutMs while a show plays: resolves to { restarted, ended }
// as soon as the show starts again (the clock of a newer frame goes back) or the page
// reaches 'ended'. Frames are told apart by their time t, so a log that is trimmed or
// started anew is read right.
export async function watchForRestartOrEnd(page, timeoutMs) {
    const end = Date.now() + timeoutMs;
    let lastT = -Infinity;
    let lastClock = -Infinity;
    while (Date.now() < end) {
        const { state, fresh } = await page.evaluate((after) => {
            const log = window.taldrexPage.partLog || [];
            const fresh = [];
            for (let i = log.length - 1; i >= 0 && log[i].t > after; i--) fresh.unshift({ t: log[i].t, clock: log[i].clock });
            return { state: window.taldrexPage.state, fresh };
        }, lastT);
        for (const { t, clock } of fresh) {
            if (clock < lastClock - 500) return { restarted: true, ended: false };
            lastT = t;
            lastClock = clock;
        }
        if (state === 'ended') return { restarted: false, ended: true };
        await new Promise((done) => setTimeout(done, 50));
    }
    return { restarted: false, ended: false };
}
