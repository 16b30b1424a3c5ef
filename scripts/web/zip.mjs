// Writes .zip archives: a show folder as an archive, and a hostile archive whose one large
// entry inflates to a gigabyte of zeros, made by streaming so that the gigabyte is never
// held in memory. Plain ZIP (no ZIP64): every size stays below 4 GiB.

import fs from 'node:fs';
import path from 'node:path';
import zlib from 'node:zlib';

const Deflate = 8;
const Stored = 0;
// 1 January 2024, 00:00, in MS-DOS form: a fixed time keeps the archives reproducible.
const DosTime = 0;
const DosDate = ((2024 - 1980) << 9) | (1 << 5) | 1;
const Utf8Names = 1 << 11;

function localHeader({ name, method, crc, compressedSize, size }) {
    const nameBytes = Buffer.from(name, 'utf8');
    const header = Buffer.alloc(30 + nameBytes.length);
    header.writeUInt32LE(0x04034b50, 0);
    header.writeUInt16LE(20, 4);
    header.writeUInt16LE(Utf8Names, 6);
    header.writeUInt16LE(method, 8);
    header.writeUInt16LE(DosTime, 10);
    header.writeUInt16LE(DosDate, 12);
    header.writeUInt32LE(crc >>> 0, 14);
    header.writeUInt32LE(compressedSize, 18);
    header.writeUInt32LE(size, 22);
    header.writeUInt16LE(nameBytes.length, 26);
    header.writeUInt16LE(0, 28);
    nameBytes.copy(header, 30);
    return header;
}

function centralHeader({ name, method, crc, compressedSize, size, offset }) {
    const nameBytes = Buffer.from(name, 'utf8');
    const header = Buffer.alloc(46 + nameBytes.length);
    header.writeUInt32LE(0x02014b50, 0);
    header.writeUInt16LE((3 << 8) | 20, 4);
    header.writeUInt16LE(20, 6);
    header.writeUInt16LE(Utf8Names, 8);
    header.writeUInt16LE(method, 10);
    header.writeUInt16LE(DosTime, 12);
    header.writeUInt16LE(DosDate, 14);
    header.writeUInt32LE(crc >>> 0, 16);
    header.writeUInt32LE(compressedSize, 20);
    header.writeUInt32LE(size, 24);
    header.writeUInt16LE(nameBytes.length, 28);
    // Extra field, comment, disk number, internal attributes: none.
    header.writeUInt32LE((0o100644 << 16) >>> 0, 38);
    header.writeUInt32LE(offset, 42);
    nameBytes.copy(header, 46);
    return header;
}

function endRecord(count, centralSize, centralOffset) {
    const record = Buffer.alloc(22);
    record.writeUInt32LE(0x06054b50, 0);
    record.writeUInt16LE(count, 8);
    record.writeUInt16LE(count, 10);
    record.writeUInt32LE(centralSize, 12);
    record.writeUInt32LE(centralOffset, 16);
    return record;
}

function checkSize(value, what) {
    if (value >= 0xffffffff) throw new Error(`${what} is too large for a plain ZIP archive`);
}

// Writes file as an archive of entries [{ name, data }] (data a Buffer), each deflated
// unless deflating does not make it smaller.
export function writeZip(file, entries) {
    const fd = fs.openSync(file, 'w');
    try {
        let offset = 0;
        const central = [];
        for (const { name, data } of entries) {
            const deflated = zlib.deflateRawSync(data, { level: 9 });
            const method = deflated.length < data.length ? Deflate : Stored;
            const body = method === Deflate ? deflated : data;
            const entry = { name, method, crc: zlib.crc32(data), compressedSize: body.length, size: data.length, offset };
            checkSize(offset + body.length, file);
            const header = localHeader(entry);
            fs.writeSync(fd, header);
            fs.writeSync(fd, body);
            offset += header.length + body.length;
            central.push(centralHeader(entry));
        }
        const directory = Buffer.concat(central);
        fs.writeSync(fd, directory);
        fs.writeSync(fd, endRecord(central.length, directory.length, offset));
    } finally {
        fs.closeSync(fd);
    }
}

// The files below folder as archive entries, named by their path inside it with '/',
// in name order. Symbolic links and anything but plain files are left out.
export function folderEntries(folder) {
    const entries = [];
    const walk = (relative) => {
        const names = fs.readdirSync(path.join(folder, relative), { withFileTypes: true });
        names.sort((a, b) => (a.name < b.name ? -1 : a.name > b.name ? 1 : 0));
        for (const item of names) {
            const inner = relative ? `${relative}/${item.name}` : item.name;
            if (item.isDirectory()) walk(inner);
            else if (item.isFile()) entries.push({ name: inner, data: fs.readFileSync(path.join(folder, inner)) });
        }
    };
    walk('');
    return entries;
}

// Writes file as an archive of folder (script.txt at the archive's top).
export function zipFolder(folder, file) {
    writeZip(file, folderEntries(folder));
}

// Writes file as an archive of the small entries [{ name, data }] followed by the entry
// named bombName holding size bytes of zeros, deflated as it is made, a megabyte at a time.
// declaredSize, when given, is the size the headers claim instead of the real one (an
// archive that lies about what its entry inflates to). Resolves to the archive's length.
export async function writeZipBomb(file, { entries = [], bombName, size = 1 << 30, declaredSize = size }) {
    checkSize(size, bombName);
    const fd = fs.openSync(file, 'w');
    try {
        let offset = 0;
        const central = [];
        for (const { name, data } of entries) {
            const body = zlib.deflateRawSync(data, { level: 9 });
            const entry = { name, method: Deflate, crc: zlib.crc32(data), compressedSize: body.length, size: data.length, offset };
            const header = localHeader(entry);
            fs.writeSync(fd, header);
            fs.writeSync(fd, body);
            offset += header.length + body.length;
            central.push(centralHeader(entry));
        }
        const bombOffset = offset;
        const placeholder = localHeader({ name: bombName, method: Deflate, crc: 0, compressedSize: 0, size: 0 });
        fs.writeSync(fd, placeholder);
        offset += placeholder.length;

        const chunk = Buffer.alloc(1 << 20);
        let crc = 0;
        let compressedSize = 0;
        const deflate = zlib.createDeflateRaw({ level: 9, memLevel: 9 });
        deflate.on('data', (piece) => {
            fs.writeSync(fd, piece, 0, piece.length, offset + compressedSize);
            compressedSize += piece.length;
        });
        const finished = new Promise((resolve, reject) => {
            deflate.on('end', resolve);
            deflate.on('error', reject);
        });
        for (let written = 0; written < size; ) {
            const piece = size - written >= chunk.length ? chunk : chunk.subarray(0, size - written);
            crc = zlib.crc32(piece, crc);
            written += piece.length;
            if (!deflate.write(piece)) await new Promise((resolve) => deflate.once('drain', resolve));
        }
        deflate.end();
        await finished;

        const entry = { name: bombName, method: Deflate, crc, compressedSize, size: declaredSize, offset: bombOffset };
        fs.writeSync(fd, localHeader(entry), 0, placeholder.length, bombOffset);
        offset += compressedSize;
        central.push(centralHeader(entry));
        const directory = Buffer.concat(central);
        fs.writeSync(fd, directory, 0, directory.length, offset);
        fs.writeSync(fd, endRecord(central.length, directory.length, offset), 0, 22, offset + directory.length);
        return offset + directory.length + 22;
    } finally {
        fs.closeSync(fd);
    }
}
