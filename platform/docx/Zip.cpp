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
    std::string tmp = files::joinPath(folder, "." + files::fileName(path) + "." +
                                                  std::to_string(::getpid()) + ".tmp");
    int code = 0;
    zip_t* za = zip_open(tmp.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &code);
    if (!za) {
        setError(error, "cannot create " + path + ": " + zipErrorText(code));
        return false;
    }
    for (const ZipEntry& e : entries) {
        zip_source_t* src = zip_source_buffer(za, e.data.data(), e.data.size(), 0);
        if (!src) {
            setError(error, zip_strerror(za));
            zip_discard(za);
            return false;
        }
        zip_int64_t idx = zip_file_add(za, e.name.c_str(), src, ZIP_FL_ENC_UTF_8 | ZIP_FL_OVERWRITE);
        if (idx < 0) {
            setError(error, zip_strerror(za));
            zip_source_free(src);
            zip_discard(za);
            return false;
        }
        zip_set_file_compression(za, static_cast<zip_uint64_t>(idx), ZIP_CM_DEFLATE, 0);
    }
    // The buffers stay alive until zip_close has written them.
    if (zip_close(za) != 0) {
        setError(error, std::string("cannot write ") + path + ": " + zip_strerror(za));
        zip_discard(za);
        std::remove(tmp.c_str());
        return false;
    }
    if (std::rename(tmp.c_str(), path.c_str()) != 0) {
        setError(error, "cannot replace " + path);
        std::remove(tmp.c_str());
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
