// With sound, the music's clock picks the part: a three-part show played through changes
// part on the first frame whose clock reading is at or past the previous part's end (the
// music's position read after a frame is drawn picks the next frame's part), never before
// it, reads that clock from the audio context, shows each part while its clock is in the part's time, keeps the
// music position in step with the wall clock, and ends after its last part.

import assert from 'node:assert/strict';
import path from 'node:path';
import { test } from 'node:test';
import { ShortShowEnds, makeShortShow, median, partLog, requirePage, temporaryFolder, web, withSession } from './lib.mjs';

await requirePage();

// Timer and audio-clock granularity on top of a frame's interval.
const SlackMs = 20;

test('the music clock changes parts on time and ends the show', { timeout: 120000 }, async (t) => {
    const show = makeShortShow(path.join(temporaryFolder('taldrex-web-music'), 'show'));
    await withSession({ show }, async ({ page, open }) => {
        await open({ autostart: 1 });
        await web.waitForState(page, ['playing'], 30000, page.taldrexErrors);
        const last = ShortShowEnds[ShortShowEnds.length - 1];
        const state = await web.waitForState(page, ['ended', 'failed'], last + 15000, page.taldrexErrors);
        assert.equal(state.state, 'ended', `the show did not end: ${state.message}`);
        const log = await partLog(page);
        assert.ok(log.length > 10, `only ${log.length} frames were logged`);

        const unmeasured = log.findIndex((entry) => !Number.isFinite(entry.audioMs) || !Number.isFinite(entry.clock) || !Number.isFinite(entry.t));
        assert.equal(unmeasured, -1, `frame ${unmeasured} of the log has no music position, clock or time: ${JSON.stringify(log[unmeasured])}`);

        const interval = median(log.slice(1).map((entry, i) => entry.t - log[i].t).filter((dt) => Number.isFinite(dt)));
        t.diagnostic(`${log.length} frames, median interval ${interval.toFixed(1)} ms`);
        assert.ok(interval > 0, 'the log holds no frame times (t)');

        const wrong = [];
        for (const [i, entry] of log.entries()) {
            const start = entry.part > 0 ? ShortShowEnds[entry.part - 1] : 0;
            if (!(entry.part >= 0 && entry.part < ShortShowEnds.length && entry.clock >= start && entry.clock < ShortShowEnds[entry.part]))
                wrong.push(`frame ${i}: part ${entry.part} at clock ${entry.clock.toFixed(1)} ms`);
            if (i === 0) continue;
            const before = log[i - 1];
            if (entry.part === before.part) continue;
            const end = ShortShowEnds[before.part];
            if (entry.part !== before.part + 1) wrong.push(`frame ${i}: part ${before.part} was followed by part ${entry.part}`);
            else if (entry.clock < end || before.clock >= end) wrong.push(`frame ${i}: part ${entry.part} was chosen at clock ${entry.clock} ms, the frame before at ${before.clock} ms, for an end at ${end} ms`);
        }
        // The clock that chose a frame is the music's position when the frame before was shown.
        for (const [i, entry] of log.entries())
            if (i > 0 && Math.abs(entry.clock - log[i - 1].audioMs) > Math.max(interval, entry.t - log[i - 1].t) + SlackMs)
                wrong.push(`frame ${i}: chosen at clock ${entry.clock} ms, but the music was at ${log[i - 1].audioMs.toFixed(1)} ms a frame before`);
        assert.deepEqual(wrong, [], 'the parts do not follow the music');
        assert.deepEqual([...new Set(log.map((entry) => entry.part))], [0, 1, 2], 'not every part was shown, in order');

        // The music plays at its own pace: its position moves with the wall clock.
        const first = log[0];
        const end = log[log.length - 1];
        const ratio = (end.audioMs - first.audioMs) / (end.t - first.t);
        assert.ok(ratio > 0.95 && ratio < 1.05, `the music position moved ${(end.audioMs - first.audioMs).toFixed(0)} ms in ${(end.t - first.t).toFixed(0)} ms of wall clock`);
        assert.ok(end.audioMs > last - interval - SlackMs, `the last frame was drawn at music ${end.audioMs.toFixed(1)} ms, well before the end at ${last} ms`);
    });
});
