#include "platform/docx/Zip.h"

#include "platform/fs/Paths.h"

#include <zip.h>
#include <zlib.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <deque>
#include <memory>
#include <unistd.h>

namespace docx {
namespace {

void setError(std::string* error, std::string text) {
    if (error) *error = std::move(text);
}

std::string zipErrorText(int code) {
    zip_error_t ze;
    zip_error_init_with_code(&ze, code);
    std::string text = zip_error_strerror(&ze);
    zip_error_fini(&ze);
    return text;
}

// An entry deflated here as its text is written, handed to libzip as already compressed data
// with its size and checksum.
struct Deflated {
    std::string bytes;
    zip_uint64_t size = 0, at = 0;
    uLong crc = 0;
    zip_error_t error;
    Deflated() { zip_error_init(&error); }
    ~Deflated() { zip_error_fini(&error); }
    Deflated(const Deflated&) = delete;
    Deflated& operator=(const Deflated&) = delete;
};

bool deflateText(const std::function<void(const ZipWriteText&)>& write, Deflated& out) {
    z_stream zs{};
    // Raw deflate (no zlib header), as a zip entry stores it, at libzip's own level.
    if (deflateInit2(&zs, Z_BEST_COMPRESSION, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) != Z_OK) return false;
    out.crc = crc32(0, nullptr, 0);
    bool ok = true;
    char chunk[1 << 16];
    auto pump = [&](const char* data, size_t n, int flush) {
        zs.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data));
        zs.avail_in = static_cast<uInt>(n);
        do {
            zs.next_out = reinterpret_cast<Bytef*>(chunk);
            zs.avail_out = sizeof chunk;
            const int rc = deflate(&zs, flush);
            if (rc == Z_STREAM_ERROR) {
                ok = false;
                return;
            }
            out.bytes.append(chunk, sizeof chunk - zs.avail_out);
        } while (zs.avail_out == 0);
    };
    // Small pieces are gathered first: deflate is called per 64 KiB, not per paragraph.
    std::string pending;
    pending.reserve(sizeof chunk);
    write([&](std::string_view text) {
        out.crc = crc32_z(out.crc, reinterpret_cast<const Bytef*>(text.data()), text.size());
        out.size += text.size();
        if (pending.size() + text.size() > sizeof chunk && !pending.empty()) {
            pump(pending.data(), pending.size(), Z_NO_FLUSH);
            pending.clear();
        }
        if (text.size() >= sizeof chunk)
            pump(text.data(), text.size(), Z_NO_FLUSH);
        else
            pending.append(text);
    });
    pump(pending.data(), pending.size(), Z_FINISH);
    deflateEnd(&zs);
    return ok;
}

zip_int64_t deflatedSource(void* userdata, void* data, zip_uint64_t len, zip_source_cmd_t cmd) {
    auto* d = static_cast<Deflated*>(userdata);
    switch (cmd) {
    case ZIP_SOURCE_OPEN:
        d->at = 0;
        return 0;
    case ZIP_SOURCE_READ: {
        const zip_uint64_t n = std::min<zip_uint64_t>(len, d->bytes.size() - d->at);
        std::memcpy(data, d->bytes.data() + d->at, n);
        d->at += n;
        return static_cast<zip_int64_t>(n);
    }
    case ZIP_SOURCE_CLOSE:
    case ZIP_SOURCE_FREE:  // the data belongs to writeZip
        return 0;
    case ZIP_SOURCE_STAT: {
        auto* st = static_cast<zip_stat_t*>(data);
        zip_stat_init(st);
        st->valid = ZIP_STAT_SIZE | ZIP_STAT_COMP_SIZE | ZIP_STAT_COMP_METHOD | ZIP_STAT_CRC |
                    ZIP_STAT_ENCRYPTION_METHOD;
        st->size = d->size;
        st->comp_size = d->bytes.size();
        st->comp_method = ZIP_CM_DEFLATE;
        st->crc = static_cast<zip_uint32_t>(d->crc);
        st->encryption_method = ZIP_EM_NONE;
        return sizeof(zip_stat_t);
    }
    case ZIP_SOURCE_ERROR:
        return zip_error_to_data(&d->error, data, len);
    case ZIP_SOURCE_SUPPORTS:
        return zip_source_make_command_bitmap(ZIP_SOURCE_OPEN, ZIP_SOURCE_READ, ZIP_SOURCE_CLOSE, ZIP_SOURCE_STAT,
                                              ZIP_SOURCE_ERROR, ZIP_SOURCE_FREE, -1);
    default:
        zip_error_set(&d->error, ZIP_ER_OPNOTSUPP, 0);
        return -1;
    }
}

}  // namespace

bool writeZip(const std::string& path, const std::vector<ZipEntry>& entries, std::string* error) {
    std::string folder = files::parentFolder(path);
    if (folder.empty()) folder = ".";
    if (!files::folderExists(folder)) {
        setError(error, "folder does not exist: " + folder);
        return false;
    }
    // The archive is built in memory, then written like every other file.
    zip_error_t ze;
    zip_error_init(&ze);
    zip_source_t* mem = zip_source_buffer_create(nullptr, 0, 0, &ze);
    if (!mem) {
        setError(error, "cannot create " + path + ": " + zip_error_strerror(&ze));
        zip_error_fini(&ze);
        return false;
    }
    zip_t* za = zip_open_from_source(mem, ZIP_TRUNCATE, &ze);
    if (!za) {
        setError(error, "cannot create " + path + ": " + zip_error_strerror(&ze));
        zip_error_fini(&ze);
        zip_source_free(mem);
        return false;
    }
    zip_error_fini(&ze);
    zip_source_keep(mem);
    auto discard = [&](const std::string& text) {
        setError(error, text);
        zip_discard(za);
        zip_source_free(mem);
        return false;
    };
    std::deque<Deflated> deflated;  // stable: the sources point into it until zip_close
    for (const ZipEntry& e : entries) {
        zip_source_t* src = nullptr;
        if (e.write) {
            Deflated& d = deflated.emplace_back();
            if (!deflateText(e.write, d)) return discard("cannot compress " + e.name);
            src = zip_source_function(za, deflatedSource, &d);
        } else {
            src = zip_source_buffer(za, e.data.data(), e.data.size(), 0);
        }
        if (!src) return discard(zip_strerror(za));
        zip_int64_t idx = zip_file_add(za, e.name.c_str(), src, ZIP_FL_ENC_UTF_8 | ZIP_FL_OVERWRITE);
        if (idx < 0) {
            zip_source_free(src);
            return discard(zip_strerror(za));
        }
        // An entry deflated here keeps its data as it is.
        if (!e.write) zip_set_file_compression(za, static_cast<zip_uint64_t>(idx), ZIP_CM_DEFLATE, 0);
    }
    // The buffers stay alive until zip_close has written them.
    if (zip_close(za) != 0) return discard(std::string("cannot write ") + path + ": " + zip_strerror(za));
    std::string bytes;
    zip_stat_t st;
    zip_stat_init(&st);
    if (zip_source_stat(mem, &st) == 0 && zip_source_open(mem) == 0) {
        bytes.resize(static_cast<size_t>(st.size));
        zip_int64_t n = zip_source_read(mem, bytes.data(), st.size);
        zip_source_close(mem);
        if (n < 0 || static_cast<zip_uint64_t>(n) != st.size) bytes.clear();
    }
    zip_source_free(mem);
    if (bytes.empty()) {
        setError(error, "cannot write " + path);
        return false;
    }
    if (!files::writeTextFile(path, bytes)) {
        setError(error, files::lastWriteError());
        return false;
    }
    return true;
}

bool readZipEntry(const std::string& path, const std::string& entry, std::string& out,
                  std::string* error) {
    int code = 0;
    zip_t* za = zip_open(path.c_str(), ZIP_RDONLY, &code);
    if (!za) {
        setError(error, "cannot open " + path + ": " + zipErrorText(code));
        return false;
    }
    std::unique_ptr<zip_t, decltype(&zip_discard)> guard(za, &zip_discard);
    zip_stat_t st;
    zip_stat_init(&st);
    if (zip_stat(za, entry.c_str(), 0, &st) != 0 || !(st.valid & ZIP_STAT_SIZE)) {
        setError(error, "no entry " + entry + " in " + path);
        return false;
    }
    zip_file_t* zf = zip_fopen(za, entry.c_str(), 0);
    if (!zf) {
        setError(error, zip_strerror(za));
        return false;
    }
    std::string data(static_cast<size_t>(st.size), '\0');
    zip_int64_t n = data.empty() ? 0 : zip_fread(zf, data.data(), data.size());
    zip_fclose(zf);
    if (n < 0 || static_cast<zip_uint64_t>(n) != st.size) {
        setError(error, "cannot read " + entry + " in " + path);
        return false;
    }
    out = std::move(data);
    return true;
}

std::vector<std::string> zipEntryNames(const std::string& path) {
    std::vector<std::string> names;
    int code = 0;
    zip_t* za = zip_open(path.c_str(), ZIP_RDONLY, &code);
    if (!za) return names;
    zip_int64_t n = zip_get_num_entries(za, 0);
    for (zip_int64_t i = 0; i < n; ++i) {
        const char* name = zip_get_name(za, static_cast<zip_uint64_t>(i), 0);
        if (name) names.emplace_back(name);
    }
    zip_discard(za);
    return names;
}

}  // namespace docx
