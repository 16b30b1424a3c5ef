// The browser tests' own tools, which need no page and no browser: the server refuses
// every path out of its folders and labels what it serves; web-capture refuses bad
// options as "taldrex --capture" does; the archives written are what they claim (and the
// hostile one inflates to what it was made to).

import assert from 'node:assert/strict';
import fs from 'node:fs';
import http from 'node:http';
import path from 'node:path';
import { test } from 'node:test';
import zlib from 'node:zlib';
import { startServer } from '../../scripts/web/browser.mjs';
import { writeZipBomb, zipFolder } from '../../scripts/web/zip.mjs';
import { WebCapture, run, temporaryFolder } from './lib.mjs';

const work = temporaryFolder('taldrex-web-tools');

function get(origin, rawPath, method = 'GET') {
    return new Promise((resolve, reject) => {
        const request = http.request(`${origin}/`, { method, path: rawPath }, (response) => {
            const chunks = [];
            response.on('data', (chunk) => chunks.push(chunk));
            response.on('end', () => resolve({ status: response.statusCode, type: response.headers['content-type'], body: Buffer.concat(chunks) }));
        });
        request.on('error', reject);
        request.end();
    });
}

test('the server serves its folders and nothing outside them', async () => {
    const page = path.join(work, 'page');
    const show = path.join(work, 'show');
    fs.mkdirSync(path.join(show, 'data'), { recursive: true });
    fs.mkdirSync(page, { recursive: true });
    fs.writeFileSync(path.join(work, 'secret.txt'), 'secret');
    for (const [name, body] of [['taldrex.html', '<html>'], ['taldrex.js', 'js'], ['taldrex.wasm', 'wasm'], ['page.js', 'page']]) fs.writeFileSync(path.join(page, name), body);
    fs.writeFileSync(path.join(show, 'script.txt'), 'script');
    fs.writeFileSync(path.join(show, 'data', 'music.mp3'), 'mp3');
    fs.writeFileSync(path.join(show, 'data', 'intro.scn'), 'scene');
    fs.symlinkSync(path.join(work, 'secret.txt'), path.join(show, 'data', 'link.png'));
    const server = await startServer({ pageDir: page, show });
    try {
        const cases = [
            ['/taldrex.html', 200, 'text/html; charset=utf-8', '<html>'],
            ['/taldrex.wasm', 200, 'application/wasm', 'wasm'],
            ['/taldrex.js?v=1', 200, 'text/javascript; charset=utf-8', 'js'],
            ['/showfiles/script.txt', 200, 'text/plain; charset=utf-8', 'script'],
            ['/showfiles/data/music.mp3', 200, 'audio/mpeg', 'mp3'],
            ['/showfiles/data/intro.scn', 200, 'application/octet-stream', 'scene'],
            ['/showfiles/data/%69ntro.scn', 200, 'application/octet-stream', 'scene'],
            ['/showfiles/data/../../secret.txt', 404],
            ['/showfiles/data/%2e%2e/%2E%2E/secret.txt', 404],
            ['/showfiles/data/..%2f..%2fsecret.txt', 404],
            ['/showfiles/data/..%5c..%5csecret.txt', 404],
            ['/showfiles/data\\..\\..\\secret.txt', 404],
            ['/../secret.txt', 404],
            ['//etc/passwd', 404],
            ['/showfiles//etc/passwd', 404],
            ['/%2fetc%2fpasswd', 404],
            ['/showfiles/data/link.png', 404],
            ['/showfiles/data/intro.scn%00.png', 404],
            ['/showfiles/%zz', 404],
            ['/showfiles/data/', 404],
            ['/showfiles/show.zip', 404],
            ['/', 404],
        ];
        const wrong = [];
        for (const [rawPath, status, type, body] of cases) {
            const answer = await get(server.origin, rawPath);
            if (answer.status !== status) wrong.push(`${rawPath}: status ${answer.status}, not ${status}`);
            else if (type && answer.type !== type) wrong.push(`${rawPath}: type ${answer.type}, not ${type}`);
            else if (body && answer.body.toString() !== body) wrong.push(`${rawPath}: served "${answer.body}"`);
            if (answer.body.toString().includes('secret')) wrong.push(`${rawPath}: served the secret`);
        }
        assert.deepEqual(wrong, []);
        assert.equal((await get(server.origin, '/taldrex.html', 'POST')).status, 405);
        assert.equal((await get(server.origin, '/taldrex.html', 'HEAD')).status, 200);
        assert.ok(server.origin.startsWith('http://127.0.0.1:'));
    } finally {
        await server.close();
    }
});

test('the server serves an archive as show.zip', async () => {
    const archive = path.join(work, 'served.zip');
    fs.writeFileSync(archive, 'PK');
    const page = path.join(work, 'page-for-zip');
    fs.mkdirSync(page, { recursive: true });
    const server = await startServer({ pageDir: page, show: archive });
    try {
        assert.equal(server.showUrl, '/showfiles/show.zip');
        const answer = await get(server.origin, '/showfiles/show.zip');
        assert.equal(answer.status, 200);
        assert.equal(answer.type, 'application/zip');
        assert.equal((await get(server.origin, '/showfiles/served.zip')).status, 404);
    } finally {
        await server.close();
    }
});

test('web-capture refuses bad options with status 2', async () => {
    const page = path.join(work, 'fake-page');
    fs.mkdirSync(page, { recursive: true });
    fs.writeFileSync(path.join(page, 'taldrex.html'), '<html>');
    const cases = [
        [[], 2, '--capture DIR is required'],
        [['--capture', 'x', '--size', '15x100'], 2, 'between 16x16 and 8192x8192'],
        [['--capture', 'x', '--size', '8193x100'], 2, 'between 16x16 and 8192x8192'],
        [['--capture', 'x', '--size', '320x'], 2, '--size'],
        [['--capture', 'x', '--fps', '0'], 2, '--fps'],
        [['--capture', 'x', '--fps', '1001'], 2, '--fps'],
        [['--capture', 'x', '--fps', '2.5'], 2, '--fps'],
        [['--capture', 'x', '--from', '-1'], 2, '--from'],
        [['--capture', 'x', '--to', '1e3'], 2, '--to'],
        [['--capture', 'x', '--to', '1', '--to', '2'], 2, 'twice'],
        [['--capture', 'x', '--frobnicate'], 2, 'unknown option --frobnicate'],
        [['--capture'], 2, 'needs a value'],
        [['--capture', 'x', 'one', 'two'], 2, 'one SHOW only'],
        [['--capture', path.join(work, 'out'), '--page', path.join(work, 'no-page'), 'show'], 1, 'holds no taldrex.html'],
        [['--capture', path.join(work, 'out'), '--page', page, path.join(work, 'no-show')], 1, 'no such show'],
        [['--help'], 0, '--size WxH'],
    ];
    const wrong = [];
    for (const [args, status, text] of cases) {
        const result = await run(process.execPath, [WebCapture, ...args], { timeoutMs: 30000 });
        const said = result.stdout + result.stderr;
        if (result.status !== status) wrong.push(`${args.join(' ')}: status ${result.status}, not ${status}: ${said}`);
        else if (!said.includes(text)) wrong.push(`${args.join(' ')}: does not say "${text}": ${said}`);
    }
    assert.deepEqual(wrong, []);
});

// The entries of a plain ZIP archive, read from its central directory: name, declared size,
// CRC and data inflated (counted by a stream, never held whole when large).
function readZip(file) {
    const bytes = fs.readFileSync(file);
    const end = bytes.lastIndexOf(Buffer.from([0x50, 0x4b, 0x05, 0x06]));
    const count = bytes.readUInt16LE(end + 10);
    let offset = bytes.readUInt32LE(end + 16);
    const entries = [];
    for (let i = 0; i < count; i++) {
        assert.equal(bytes.readUInt32LE(offset), 0x02014b50);
        const nameLength = bytes.readUInt16LE(offset + 28);
        const local = bytes.readUInt32LE(offset + 42);
        const entry = {
            name: bytes.toString('utf8', offset + 46, offset + 46 + nameLength),
            method: bytes.readUInt16LE(offset + 10),
            crc: bytes.readUInt32LE(offset + 16),
            compressedSize: bytes.readUInt32LE(offset + 20),
            size: bytes.readUInt32LE(offset + 24),
        };
        const dataStart = local + 30 + bytes.readUInt16LE(local + 26) + bytes.readUInt16LE(local + 28);
        entry.compressed = bytes.subarray(dataStart, dataStart + entry.compressedSize);
        entries.push(entry);
        offset += 46 + nameLength;
    }
    return entries;
}

test('a show folder zipped holds its files', () => {
    const show = path.join(work, 'zip-show');
    fs.mkdirSync(path.join(show, 'data'), { recursive: true });
    fs.writeFileSync(path.join(show, 'script.txt'), '[part]\n'.repeat(100));
    fs.writeFileSync(path.join(show, 'data', 'noise.bin'), Buffer.from(Array.from({ length: 4096 }, (_, i) => (i * 7919) % 251)));
    const archive = path.join(work, 'show.zip');
    zipFolder(show, archive);
    const entries = readZip(archive);
    assert.deepEqual(entries.map((entry) => entry.name), ['data/noise.bin', 'script.txt']);
    for (const entry of entries) {
        const data = entry.method === 8 ? zlib.inflateRawSync(entry.compressed) : entry.compressed;
        assert.deepEqual(data, fs.readFileSync(path.join(show, entry.name)), entry.name);
        assert.equal(entry.size, data.length);
        assert.equal(entry.crc, zlib.crc32(data));
    }
});

test('the hostile archive inflates to the zeros it was made of, whatever its headers claim', async () => {
    for (const declared of [null, 1024]) {
        const archive = path.join(work, `bomb-${declared}.zip`);
        const size = 64 << 20;
        await writeZipBomb(archive, { entries: [{ name: 'script.txt', data: Buffer.from('script') }], bombName: 'data/bomb.png', size, declaredSize: declared ?? size });
        const [script, bomb] = readZip(archive);
        assert.equal(zlib.inflateRawSync(script.compressed).toString(), 'script');
        assert.equal(bomb.name, 'data/bomb.png');
        assert.equal(bomb.size, declared ?? size);
        assert.ok(bomb.compressedSize < size / 500, `${bomb.compressedSize} bytes is no bomb`);
        let inflated = 0;
        let crc = 0;
        let nonZero = false;
        await new Promise((resolve, reject) => {
            const inflate = zlib.createInflateRaw();
            inflate.on('data', (chunk) => {
                inflated += chunk.length;
                crc = zlib.crc32(chunk, crc);
                if (!nonZero && chunk.some((byte) => byte !== 0)) nonZero = true;
            });
            inflate.on('end', resolve);
            inflate.on('error', reject);
            inflate.end(bomb.compressed);
        });
        assert.equal(inflated, size);
        assert.equal(nonZero, false);
        assert.equal(bomb.crc, crc >>> 0);
    }
});
