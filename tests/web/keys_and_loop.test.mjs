// Ending and repeating a show: Escape ends it at once and "Play again" plays it anew; with
// loop=1 it starts again after its last part instead of ending.

import assert from 'node:assert/strict';
import path from 'node:path';
import { test } from 'node:test';
import { ShortShowEnds, clickLabelled, makeShortShow, requirePage, showsLabel, temporaryFolder, watchForRestartOrEnd, web, withSession } from './lib.mjs';

await requirePage();

const show = makeShortShow(path.join(temporaryFolder('taldrex-web-keys'), 'show'));
const ShowMs = ShortShowEnds[ShortShowEnds.length - 1];

// Waits until the page has drawn a frame.
async function waitForFrames(page, timeoutMs = 10000) {
    await page.waitForFunction(() => (window.taldrexPage.partLog || []).length > 0, { timeout: timeoutMs, polling: 50 });
}

test('Escape ends the show and Play again plays it anew', { timeout: 120000 }, async () => {
    await withSession({ show }, async ({ page, open }) => {
        await open({ autostart: 1, nosound: 1 });
        await web.waitForState(page, ['playing'], 30000, page.taldrexErrors);
        await waitForFrames(page);
        await page.keyboard.press('Escape');
        const pressed = Date.now();
        await web.waitForState(page, ['ended'], 2000, page.taldrexErrors);
        const clock = await page.evaluate(() => window.taldrexPage.partLog.at(-1).clock);
        assert.ok(clock < ShowMs - 1000, `the show ran on to ${clock} ms: Escape did not end it (${Date.now() - pressed} ms)`);

        assert.ok(await showsLabel(page, 'Play again'), 'the ended show offers no "Play again"');
        await clickLabelled(page, 'Play again');
        await web.waitForState(page, ['playing'], 10000, page.taldrexErrors);
        const again = await watchForRestartOrEnd(page, ShowMs + 10000);
        assert.ok(again.ended, 'the show played again did not end by itself');
        assert.deepEqual(page.taldrexErrors, []);
    });
});

test('with loop=1 the show starts again after its end', { timeout: 120000 }, async () => {
    await withSession({ show }, async ({ page, open }) => {
        await open({ autostart: 1, nosound: 1, loop: 1 });
        await web.waitForState(page, ['playing'], 30000, page.taldrexErrors);
        await waitForFrames(page);
        const watched = await watchForRestartOrEnd(page, ShowMs + 10000);
        assert.ok(!watched.ended, 'the looping show ended');
        assert.ok(watched.restarted, `the looping show did not start again within ${(ShowMs + 10000) / 1000} s`);
        assert.equal((await web.pageState(page)).state, 'playing');
        await page.keyboard.press('Escape');
        await web.waitForState(page, ['ended'], 2000, page.taldrexErrors);
        assert.deepEqual(page.taldrexErrors, []);
    });
});
