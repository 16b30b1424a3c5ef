#!/usr/bin/env node
// The web page's figures, as JSON lines on standard output: the time from navigation to
// the first drawn frame, the mean frame time at 1280x720, and what a visitor downloads
// (the page's files and the bundled show, plain and gzipped at level 9). The page and the
// show are served on 127.0.0.1 to headless Chromium (WebGL on SwiftShader).
//
// Usage: node scripts/web/bench.mjs [--page DIR] [--seconds N] [--runs N]
//   --page DIR   the built page (default: build-web in the repository)
//   --seconds N  how long frames are timed (default 5)
//   --runs N     page loads timed for the first frame, the median printed (default 3)
// Progress goes to standard error. Exit status 1 when the page does not play.

import fs from 'node:fs';
import path from 'node:path';
import { fileURLToPath } from 'node:url';
import zlib from 'node:zlib';
import { launchBrowser, openPage, pageUrl, startServer, waitForState } from './browser.mjs';

const Root = path.resolve(path.dirname(fileURLToPath(import.meta.url)), '../..');

function options(argv) {
    const chosen = { page: path.join(Root, 'build-web'), seconds: 5, runs: 3 };
    for (let i = 0; i < argv.length; i += 2) {
        const [name, value] = [argv[i], argv[i + 1]];
        if (value === undefined) throw new Error(`${name} needs a value`);
        if (name === '--page') chosen.page = value;
        else if (name === '--seconds' || name === '--runs') {
            const number = Number(value);
            if (!Number.isInteger(number) || number < 1 || number > 600) throw new Error(`${name}: expected a whole number 1 to 600, got "${value}"`);
            chosen[name.slice(2)] = number;
        } else throw new Error(`unknown option ${name}`);
    }
    return chosen;
}

const print = (name, value, unit, extra = {}) => console.log(JSON.stringify({ name, value, unit, ...extra }));
const say = (text) => process.stderr.write(`bench: ${text}\n`);
const round = (value, digits = 1) => Number(value.toFixed(digits));

function median(values) {
    const sorted = [...values].sort((a, b) => a - b);
    const middle = sorted.length >> 1;
    return sorted.length % 2 ? sorted[middle] : (sorted[middle - 1] + sorted[middle]) / 2;
}

// Plain and gzipped (level 9) sizes of files, each compressed on its own as a server sends it.
function sizes(files) {
    let plain = 0;
    let gzipped = 0;
    for (const file of files) {
        const bytes = fs.readFileSync(file);
        plain += bytes.length;
        gzipped += zlib.gzipSync(bytes, { level: 9 }).length;
    }
    return { plain, gzipped };
}

function filesBelow(folder) {
    return fs.readdirSync(folder, { recursive: true, withFileTypes: true })
        .filter((entry) => entry.isFile())
        .map((entry) => path.join(entry.parentPath ?? entry.path, entry.name));
}

async function main() {
    const chosen = options(process.argv.slice(2));
    const pageDir = path.resolve(chosen.page);
    if (!fs.existsSync(path.join(pageDir, 'taldrex.html'))) throw new Error(`${pageDir} holds no taldrex.html: build the page first ("make web")`);

    for (const name of ['taldrex.wasm', 'taldrex.js', 'page.js']) {
        const { plain, gzipped } = sizes([path.join(pageDir, name)]);
        print(`web.download.${name}`, plain, 'bytes', { gzip9: gzipped });
    }
    const show = sizes(filesBelow(path.join(pageDir, 'show')));
    print('web.download.show', show.plain, 'bytes', { gzip9: show.gzipped });

    const server = await startServer({ pageDir });
    const browser = await launchBrowser();
    try {
        const firsts = [];
        for (let run = 0; run < chosen.runs; run++) {
            const page = await openPage(browser, { width: 1280, height: 720 });
            await page.goto(pageUrl(server, { autostart: 1, nosound: 1 }), { waitUntil: 'load', timeout: 120000 });
            await waitForState(page, ['playing', 'failed'], 120000, page.taldrexErrors);
            await page.waitForFunction(() => typeof window.taldrexPage.firstFrameMs === 'number' || window.taldrexPage.state === 'failed', { timeout: 120000, polling: 20 });
            const state = await page.evaluate(() => ({ state: window.taldrexPage.state, message: window.taldrexPage.message, first: window.taldrexPage.firstFrameMs }));
            if (state.state === 'failed') throw new Error(`the page failed: ${state.message}`);
            firsts.push(state.first);
            say(`first frame after ${state.first.toFixed(0)} ms`);

            if (run === chosen.runs - 1) {
                // Frames of a second on are timed: the first ones wait for the show's uploads.
                await new Promise((done) => setTimeout(done, 1000));
                const from = await page.evaluate(() => window.taldrexPage.partLog.length);
                await new Promise((done) => setTimeout(done, chosen.seconds * 1000));
                const times = await page.evaluate((start) => window.taldrexPage.partLog.slice(start).map((entry) => entry.t), from);
                const intervals = times.slice(1).map((t, i) => t - times[i]);
                if (intervals.length < 2) throw new Error(`only ${times.length} frames drawn in ${chosen.seconds} s`);
                const mean = intervals.reduce((a, b) => a + b, 0) / intervals.length;
                const sorted = [...intervals].sort((a, b) => a - b);
                print('web.frame_time_1280x720', round(mean, 2), 'ms', {
                    frames: times.length,
                    p95: round(sorted[Math.floor(sorted.length * 0.95)], 2),
                    fps: round(1000 / mean, 1),
                });
            }
            await page.close();
        }
        print('web.first_frame', round(median(firsts), 0), 'ms', { runs: firsts.map((ms) => round(ms, 0)) });
    } finally {
        await browser.close();
        await server.close();
    }
}

main().catch((error) => {
    process.stderr.write(`bench: ${error.message}\n`);
    process.exitCode = 1;
});
