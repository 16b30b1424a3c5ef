// Shows made to hurt the page: a picture named out of the show through "..\..", a part
// whose scene file is missing, a truncated PNG, and archives whose entry inflates to a
// gigabyte of zeros (saying so, or claiming a kilobyte). For each, within 10 s the page
// plays, ends or refuses, naming the file that the desktop player's --check names; it
// answers at once; nothing outside the show is asked of the server; and no process of the
// browser ever holds the gigabyte.

import assert from 'node:assert/strict';
import fs from 'node:fs';
import path from 'node:path';
import { test } from 'node:test';
import { folderEntries, writeZipBomb } from '../../scripts/web/zip.mjs';
import { WebShow, bundledHeader, desktopCheck, makeShow, part, requirePage, temporaryFolder, web, withSession } from './lib.mjs';

await requirePage({ player: true });

const SettleMs = 10000;
const AnswerMs = 1000;
const Gigabyte = 1024 ** 3;
// Below the gigabyte a bomb inflates to: a page that held it whole in any one process (the
// tab's heap or the program's memory) fails. The bundled show itself peaks near 250 MiB.
const MostMemory = Gigabyte;

const work = temporaryFolder('taldrex-web-hostile');

// A header listing one more picture than the bundled show's.
function headerWithTexture(name) {
    return bundledHeader().replace(/^\[textures\]\n/m, `[textures]\n${name}\n`);
}

function headerWithScene(name) {
    return bundledHeader().replace(/^\[scenes\]\n/m, `[scenes]\n${name}\n`);
}

const Intro = part('intro.scn', 3000, 'intro_cam', 'sky.jpg', 'title.png');

// Each case makes its show in folder and returns the path to serve (the folder or an archive).
const cases = [
    {
        name: 'a picture named out of the show through ..\\..',
        make(folder) {
            // A real picture where the name leads, two levels up from the show's data/.
            fs.copyFileSync(path.join(WebShow, 'data', 'title.png'), path.join(folder, 'secret.png'));
            return makeShow(path.join(folder, 'show'), [part('intro.scn', 3000, 'intro_cam', '..\\..\\secret.png', 'title.png')], {
                header: headerWithTexture('..\\..\\secret.png'),
            });
        },
    },
    {
        name: 'a part naming a missing scene file',
        make(folder) {
            return makeShow(path.join(folder, 'show'), [Intro, part('nothere.scn', 6000, 'nothere_cam')], { header: headerWithScene('nothere.scn') });
        },
    },
    {
        name: 'a truncated PNG',
        make(folder) {
            const show = makeShow(path.join(folder, 'show'), [Intro]);
            const picture = path.join(show, 'data', 'title.png');
            const bytes = fs.readFileSync(picture);
            fs.writeFileSync(picture, bytes.subarray(0, bytes.length >> 2));
            return show;
        },
    },
    {
        name: 'an archive whose picture inflates to 1 GiB',
        async make(folder) {
            return bomb(folder, Gigabyte);
        },
    },
    {
        name: 'an archive whose picture claims 1 KiB and inflates to 1 GiB',
        async make(folder) {
            return bomb(folder, 1024);
        },
    },
];

// An archive of a show whose background is data/bomb.png, a gigabyte of zeros whose
// headers say declaredSize.
async function bomb(folder, declaredSize) {
    const show = makeShow(path.join(folder, 'show'), [part('intro.scn', 3000, 'intro_cam', 'bomb.png', 'title.png')], { header: headerWithTexture('bomb.png') });
    const archive = path.join(folder, 'bomb.zip');
    await writeZipBomb(archive, { entries: folderEntries(show), bombName: 'data/bomb.png', size: Gigabyte, declaredSize });
    return archive;
}

for (const [index, hostile] of cases.entries()) {
    test(hostile.name, { timeout: 180000 }, async (t) => {
        const folder = path.join(work, String(index));
        fs.mkdirSync(folder, { recursive: true });
        const show = await hostile.make(folder);

        const check = await desktopCheck(show);
        assert.equal(check.status, 1, `the desktop player's --check found nothing wrong with ${show}`);
        const named = [...new Set(check.files)].filter((file) => file !== 'script.txt' || check.files.length === 1);
        t.diagnostic(`--check: ${check.lines.join(' | ')}`);

        await withSession({ show }, async ({ server, browser, page, open }) => {
            const opened = Date.now();
            await open({ autostart: 1, nosound: 1 });
            let state = await web.waitForState(page, ['playing', 'ended', 'failed'], Math.max(1000, SettleMs - (Date.now() - opened)), page.taldrexErrors);
            const saying = (now) => [now.message || '', ...(now.problems || [])].join('\n');
            // The problems may be listed a moment after the show starts, within the same 10 s.
            while (!named.every((file) => saying(state).includes(file)) && Date.now() - opened < SettleMs) {
                await new Promise((done) => setTimeout(done, 100));
                state = await web.pageState(page);
            }
            const said = saying(state);
            t.diagnostic(`the page: ${state.state}: ${said.replace(/\n/g, ' | ')}`);
            for (const file of named) assert.ok(said.includes(file), `the page (${state.state}) does not name ${file}; it says:\n${said}`);

            // Responsive now and a second later (nothing left grinding through the file).
            for (let i = 0; i < 2; i++) {
                const asked = Date.now();
                const answer = await Promise.race([page.evaluate(() => 1), new Promise((done) => setTimeout(() => done('no answer'), AnswerMs))]);
                assert.equal(answer, 1, `the page did not answer within ${AnswerMs} ms`);
                assert.ok(Date.now() - asked < AnswerMs);
                await new Promise((done) => setTimeout(done, 1000));
            }
            assert.deepEqual(page.taldrexErrors, [], 'the page threw');

            const metrics = await page.metrics();
            assert.ok(metrics.JSHeapUsedSize < MostMemory, `the page's heap holds ${(metrics.JSHeapUsedSize / 2 ** 20).toFixed(0)} MiB`);
            const peak = web.browserPeakMemory(browser);
            t.diagnostic(`heap ${(metrics.JSHeapUsedSize / 2 ** 20).toFixed(0)} MiB, largest process peak ${(peak.bytes / 2 ** 20).toFixed(0)} MiB (${peak.type})`);
            assert.ok(peak.bytes < MostMemory, `the browser's ${peak.type} process peaked at ${(peak.bytes / 2 ** 20).toFixed(0)} MiB`);

            const outside = server.requests.filter((request) => /secret/i.test(decodeURIComponent(request)));
            assert.deepEqual(outside, [], 'the page asked the server for a file outside the show');
        });
    });
}
