// Zip archives written byte by byte, so that a test can make the ones no archiver would:
// entries whose headers lie, leading out of the archive, encrypted, links, or inflating a
// thousandfold.
#pragma once

#include <zlib.h>

#include <cstdint>
#include <string>
#include <vector>

struct ZipBytesEntry {
    std::string name;
    std::string data;        // as stored: raw deflate when deflated is set
    bool deflated = false;
    uint64_t size = 0;       // declared inflated size
    uint32_t crc = 0;
    uint32_t unixMode = 0;   // 0: no Unix attributes
    bool encrypted = false;
};

// A stored entry holding text.
inline ZipBytesEntry StoredZipEntry(const std::string& name, const std::string& text)
{
    ZipBytesEntry entry;
    entry.name = name;
    entry.data = text;
    entry.size = text.size();
    entry.crc = static_cast<uint32_t>(crc32(0, reinterpret_cast<const Bytef*>(text.data()), static_cast<uInt>(text.size())));
    return entry;
}

// Raw deflate of text, byte-aligned and not final, so that copies may follow one another;
// ZipDeflateEnd closes such a run.
inline std::string ZipDeflateChunk(const std::string& text)
{
    z_stream stream{};
    deflateInit2(&stream, 9, Z_DEFLATED, -15, 9, Z_DEFAULT_STRATEGY);
    std::string out(deflateBound(&stream, static_cast<uLong>(text.size())) + 64, '\0');
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(text.data()));
    stream.avail_in = static_cast<uInt>(text.size());
    stream.next_out = reinterpret_cast<Bytef*>(&out[0]);
    stream.avail_out = static_cast<uInt>(out.size());
    deflate(&stream, Z_FULL_FLUSH);
    out.resize(out.size() - stream.avail_out);
    deflateEnd(&stream);
    return out;
}

// The final, empty block of a deflate stream.
inline std::string ZipDeflateEnd() { return std::string("\x03\x00", 2); }

namespace zip_bytes_detail {
inline void put(std::string& out, uint64_t value, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        out += static_cast<char>((value >> (8 * i)) & 0xff);
}
} // namespace zip_bytes_detail

// The whole archive: local headers and data, the central directory, its end record; sizes
// past 4 GiB go in Zip64 fields.
inline std::string ZipBytes(const std::vector<ZipBytesEntry>& entries)
{
    using zip_bytes_detail::put;
    std::string out, central;
    for (const ZipBytesEntry& e : entries) {
        const bool wide = e.size >= 0xffffffffULL;
        std::string extra;
        if (wide) {
            put(extra, 1, 2);
            put(extra, 16, 2);
            put(extra, e.size, 8);
            put(extra, e.data.size(), 8);
        }
        const uint64_t offset = out.size();
        const uint32_t size32 = wide ? 0xffffffffU : static_cast<uint32_t>(e.size);
        const uint32_t packed32 = wide ? 0xffffffffU : static_cast<uint32_t>(e.data.size());
        const int method = e.deflated ? 8 : 0;
        const int flags = e.encrypted ? 1 : 0;
        put(out, 0x04034b50, 4);
        put(out, wide ? 45 : 20, 2);
        put(out, flags, 2);
        put(out, method, 2);
        put(out, 0, 4); // time and date
        put(out, e.crc, 4);
        put(out, packed32, 4);
        put(out, size32, 4);
        put(out, e.name.size(), 2);
        put(out, extra.size(), 2);
        out += e.name + extra + e.data;

        put(central, 0x02014b50, 4);
        put(central, e.unixMode ? 0x0300 | 45 : 45, 2); // made by Unix when it has a mode
        put(central, wide ? 45 : 20, 2);
        put(central, flags, 2);
        put(central, method, 2);
        put(central, 0, 4);
        put(central, e.crc, 4);
        put(central, packed32, 4);
        put(central, size32, 4);
        put(central, e.name.size(), 2);
        put(central, extra.size(), 2);
        put(central, 0, 2); // comment
        put(central, 0, 2); // disk
        put(central, 0, 2); // internal attributes
        put(central, static_cast<uint64_t>(e.unixMode) << 16, 4);
        put(central, offset, 4);
        central += e.name + extra;
    }
    const uint64_t directory = out.size();
    out += central;
    if (entries.size() > 0xffff) {
        const uint64_t record = out.size();
        put(out, 0x06064b50, 4);
        put(out, 44, 8);
        put(out, 45, 2);
        put(out, 45, 2);
        put(out, 0, 8); // disks
        put(out, entries.size(), 8);
        put(out, entries.size(), 8);
        put(out, central.size(), 8);
        put(out, directory, 8);
        put(out, 0x07064b50, 4);
        put(out, 0, 4);
        put(out, record, 8);
        put(out, 1, 4);
    }
    put(out, 0x06054b50, 4);
    put(out, 0, 4); // disks
    put(out, entries.size() > 0xffff ? 0xffff : entries.size(), 2);
    put(out, entries.size() > 0xffff ? 0xffff : entries.size(), 2);
    put(out, central.size(), 4);
    put(out, directory, 4);
    put(out, 0, 2);
    return out;
}
