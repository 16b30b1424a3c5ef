// The start panel: without autostart the page offers "Run Demo", "No Sound" and "Loop
// Demo", and "Run Demo" plays the show with the choices ticked: as it is, the show plays
// and ends; with "Loop Demo" it starts again instead of ending.

import assert from 'node:assert/strict';
import path from 'node:path';
import { test } from 'node:test';
import { ShortShowEnds, clickLabelled, makeShortShow, requirePage, showsLabel, temporaryFolder, watchForRestartOrEnd, web, withSession } from './lib.mjs';

await requirePage();

const ShowMs = ShortShowEnds[ShortShowEnds.length - 1];
const show = makeShortShow(path.join(temporaryFolder('taldrex-web-panel'), 'show'));

const cases = [
    { name: 'the bundled show plays from "Run Demo"', show: null, tick: [], watch: null },
    { name: '"Run Demo" plays the show to its end', show, tick: [], watch: 'ended' },
    { name: '"No Sound" and "Loop Demo" play it again and again', show, tick: ['No Sound', 'Loop Demo'], watch: 'restarted' },
];

for (const panel of cases) {
    test(panel.name, { timeout: 120000 }, async () => {
        await withSession({ show: panel.show }, async ({ page, open }) => {
            await open();
            await web.waitForState(page, ['panel'], 30000, page.taldrexErrors);
            for (const label of ['Run Demo', 'No Sound', 'Loop Demo']) assert.ok(await showsLabel(page, label), `the panel shows no "${label}"`);
            for (const label of panel.tick) assert.equal(await clickLabelled(page, label), true, `"${label}" is not a checkbox ticked by a click`);
            await clickLabelled(page, 'Run Demo');
            await web.waitForState(page, ['playing'], 30000, page.taldrexErrors);
            await page.waitForFunction(() => (window.taldrexPage.partLog || []).length > 0, { timeout: 10000, polling: 50 });
            if (panel.watch) {
                const watched = await watchForRestartOrEnd(page, ShowMs + 10000);
                assert.ok(watched[panel.watch], `the show was expected to be ${panel.watch}: ${JSON.stringify(watched)}`);
            }
            assert.deepEqual(page.taldrexErrors, []);
        });
    });
}
