// Reads the PNG files that the player's and the browser's captures write (8-bit RGB or
// RGBA, not interlaced) into RGBA pixels, and measures how far two pictures differ.

import zlib from 'node:zlib';

const Signature = Buffer.from([0x89, 0x50, 0x4e, 0x47, 0x0d, 0x0a, 0x1a, 0x0a]);
// Larger than any capture (8192 x 8192), small enough that a damaged header cannot ask for
// gigabytes.
const MaxPixels = 8192 * 8192;

function paeth(a, b, c) {
    const p = a + b - c;
    const pa = Math.abs(p - a);
    const pb = Math.abs(p - b);
    const pc = Math.abs(p - c);
    if (pa <= pb && pa <= pc) return a;
    return pb <= pc ? b : c;
}

// Decodes buffer; returns { width, height, data } with data width * height * 4 bytes of
// RGBA (opaque alpha for RGB). Throws an Error saying what is wrong with any other file.
export function decodePng(buffer) {
    if (buffer.length < 8 || !buffer.subarray(0, 8).equals(Signature)) throw new Error('not a PNG file');
    let offset = 8;
    let header = null;
    const compressed = [];
    let ended = false;
    while (offset + 12 <= buffer.length) {
        const length = buffer.readUInt32BE(offset);
        const type = buffer.toString('latin1', offset + 4, offset + 8);
        if (offset + 12 + length > buffer.length) throw new Error(`the ${type} chunk runs past the end of the file`);
        const body = buffer.subarray(offset + 8, offset + 8 + length);
        const crc = buffer.readUInt32BE(offset + 8 + length);
        if (zlib.crc32(buffer.subarray(offset + 4, offset + 8 + length)) !== crc) throw new Error(`the ${type} chunk's CRC is wrong`);
        offset += 12 + length;
        if (header === null && type !== 'IHDR') throw new Error('the file does not start with IHDR');
        if (type === 'IHDR') {
            if (length !== 13) throw new Error('IHDR is not 13 bytes');
            header = {
                width: body.readUInt32BE(0),
                height: body.readUInt32BE(4),
                depth: body[8],
                colour: body[9],
                interlace: body[12],
            };
        } else if (type === 'IDAT') compressed.push(body);
        else if (type === 'IEND') {
            ended = true;
            break;
        }
    }
    if (header === null) throw new Error('no IHDR chunk');
    if (!ended) throw new Error('no IEND chunk');
    const { width, height, depth, colour, interlace } = header;
    if (depth !== 8 || (colour !== 2 && colour !== 6)) throw new Error(`colour type ${colour} at ${depth} bits is not 8-bit RGB or RGBA`);
    if (interlace !== 0) throw new Error('interlaced PNG');
    if (width === 0 || height === 0 || width * height > MaxPixels) throw new Error(`picture size ${width}x${height} is out of range`);
    const channels = colour === 6 ? 4 : 3;
    const stride = width * channels;
    const expected = (stride + 1) * height;
    let raw;
    try {
        raw = zlib.inflateSync(Buffer.concat(compressed), { maxOutputLength: expected + 1 });
    } catch (error) {
        throw new Error(`the picture data does not inflate: ${error.message}`);
    }
    if (raw.length !== expected) throw new Error(`the picture data is ${raw.length} bytes, not ${expected}`);
    const data = new Uint8Array(width * height * 4);
    let previous = new Uint8Array(stride);
    let line = new Uint8Array(stride);
    for (let y = 0; y < height; y++) {
        const start = y * (stride + 1);
        const filter = raw[start];
        const source = raw.subarray(start + 1, start + 1 + stride);
        for (let x = 0; x < stride; x++) {
            const left = x >= channels ? line[x - channels] : 0;
            const up = previous[x];
            const upLeft = x >= channels ? previous[x - channels] : 0;
            let value = source[x];
            switch (filter) {
                case 0: break;
                case 1: value += left; break;
                case 2: value += up; break;
                case 3: value += (left + up) >> 1; break;
                case 4: value += paeth(left, up, upLeft); break;
                default: throw new Error(`line ${y} has filter type ${filter}`);
            }
            line[x] = value & 0xff;
        }
        const row = y * width * 4;
        for (let x = 0; x < width; x++) {
            data[row + x * 4] = line[x * channels];
            data[row + x * 4 + 1] = line[x * channels + 1];
            data[row + x * 4 + 2] = line[x * channels + 2];
            data[row + x * 4 + 3] = channels === 4 ? line[x * channels + 3] : 255;
        }
        [previous, line] = [line, previous];
    }
    return { width, height, data };
}

// The share (0 to 1) of pixels whose largest channel difference, alpha included, exceeds
// threshold. Throws when the pictures differ in size.
export function differingShare(a, b, threshold = 8) {
    if (a.width !== b.width || a.height !== b.height) throw new Error(`sizes differ: ${a.width}x${a.height} and ${b.width}x${b.height}`);
    let differing = 0;
    for (let i = 0; i < a.data.length; i += 4) {
        const difference = Math.max(
            Math.abs(a.data[i] - b.data[i]),
            Math.abs(a.data[i + 1] - b.data[i + 1]),
            Math.abs(a.data[i + 2] - b.data[i + 2]),
            Math.abs(a.data[i + 3] - b.data[i + 3]),
        );
        if (difference > threshold) differing++;
    }
    return differing / (a.width * a.height);
}

// Writes an 8-bit RGBA picture (the test bench's own pictures: stand-in pages, damaged files).
export function encodePng({ width, height, data }) {
    const raw = Buffer.alloc((width * 4 + 1) * height);
    for (let y = 0; y < height; y++) {
        raw[y * (width * 4 + 1)] = 0;
        Buffer.from(data.buffer, data.byteOffset + y * width * 4, width * 4).copy(raw, y * (width * 4 + 1) + 1);
    }
    const chunk = (type, body) => {
        const out = Buffer.alloc(12 + body.length);
        out.writeUInt32BE(body.length, 0);
        out.write(type, 4, 'latin1');
        body.copy(out, 8);
        out.writeUInt32BE(zlib.crc32(out.subarray(4, 8 + body.length)), 8 + body.length);
        return out;
    };
    const header = Buffer.alloc(13);
    header.writeUInt32BE(width, 0);
    header.writeUInt32BE(height, 4);
    header[8] = 8;
    header[9] = 6;
    return Buffer.concat([Signature, chunk('IHDR', header), chunk('IDAT', zlib.deflateSync(raw)), chunk('IEND', Buffer.alloc(0))]);
}
