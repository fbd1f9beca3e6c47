#include "platform/docx/Zip.h"

#include "platform/fs/Paths.h"

#include <zip.h>

#include <cstdio>
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
    for (const ZipEntry& e : entries) {
        zip_source_t* src = zip_source_buffer(za, e.data.data(), e.data.size(), 0);
        if (!src) return discard(zip_strerror(za));
        zip_int64_t idx = zip_file_add(za, e.name.c_str(), src, ZIP_FL_ENC_UTF_8 | ZIP_FL_OVERWRITE);
        if (idx < 0) {
            zip_source_free(src);
            return discard(zip_strerror(za));
        }
        zip_set_file_compression(za, static_cast<zip_uint64_t>(idx), ZIP_CM_DEFLATE, 0);
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
