#include "platform/jet/Jet.h"

#include "platform/jet/JetSnapshot.h"

#include <mdbtools.h>

#include <openssl/evp.h>

#include <fcntl.h>
#include <iconv.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <set>
#include <stop_token>
#include <thread>
#include <unordered_map>
#include <utility>

namespace jet {

namespace {

// The header page is masked with RC4 under this fixed key from offset 0x18 on.
constexpr std::array<unsigned char, 4> kHeaderKey{0xC7, 0xDA, 0x39, 0x6B};
constexpr std::size_t kMaskStart = 0x18;
constexpr std::size_t kPasswordAt = 0x42;
constexpr std::size_t kKeyAt = 0x3E;
constexpr std::size_t kCreatedAt = 0x72;
constexpr std::size_t kCodePageAt = 0x3C;

void rc4Apply(const unsigned char* key, std::size_t keyLength, unsigned char* data, std::size_t n)
{
    unsigned char s[256];
    for (int i = 0; i < 256; ++i) s[i] = static_cast<unsigned char>(i);
    for (std::size_t i = 0, j = 0; i < 256; ++i) {
        j = (j + s[i] + key[i % keyLength]) & 0xFF;
        std::swap(s[i], s[j]);
    }
    for (std::size_t k = 0, i = 0, j = 0; k < n; ++k) {
        i = (i + 1) & 0xFF;
        j = (j + s[i]) & 0xFF;
        std::swap(s[i], s[j]);
        data[k] ^= s[(s[i] + s[j]) & 0xFF];
    }
}

void appendUtf8(std::string& out, std::uint32_t cp)
{
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

std::string lower(std::string s)
{
    for (char& c : s)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return s;
}

bool lessNoCase(const std::string& a, const std::string& b)
{
    const std::string la = lower(a), lb = lower(b);
    return la != lb ? la < lb : a < b;
}

bool yes(const char* prop, bool fallback)
{
    if (!prop) return fallback;
    const std::string v = lower(prop);
    return v == "yes" || v == "true" || v == "1" || v == "-1";
}

std::string text(const char* prop) { return prop ? std::string(prop) : std::string(); }

using Row = std::vector<std::optional<std::string>>;

// The little-endian 32-bit number at p + at.
std::uint32_t u32(const unsigned char* p, std::size_t at)
{
    return static_cast<std::uint32_t>(p[at]) | static_cast<std::uint32_t>(p[at + 1]) << 8 |
           static_cast<std::uint32_t>(p[at + 2]) << 16 | static_cast<std::uint32_t>(p[at + 3]) << 24;
}
std::uint32_t u32(const std::vector<unsigned char>& p, std::size_t at) { return u32(p.data(), at); }
std::size_t u16(const unsigned char* p, std::size_t at) { return p[at] | static_cast<std::size_t>(p[at + 1]) << 8; }

}  // namespace

Header ReadHeader(const std::string& path)
{
    // A FIFO or device would block the read or never end.
    struct stat st{};
    if (::stat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode))
        throw Error(Error::NotADatabase, "\"" + path + "\" is not a regular file, so it is not an Access database.");
    std::ifstream in(path, std::ios::binary);
    if (!in) throw Error(Error::NotFound, "The file \"" + path + "\" cannot be opened.");
    unsigned char page[0x100] = {};
    in.read(reinterpret_cast<char*>(page), sizeof page);
    const auto got = static_cast<std::size_t>(in.gcount());
    const bool workgroup = std::memcmp(page + 4, "Jet System DB", 13) == 0;
    const bool magic = got == sizeof page && page[0] == 0 && page[1] == 1 && page[2] == 0 && page[3] == 0 &&
                       (std::memcmp(page + 4, "Standard Jet DB", 15) == 0 ||
                        std::memcmp(page + 4, "Standard ACE DB", 15) == 0 || workgroup);
    if (!magic) throw Error(Error::NotADatabase, "\"" + path + "\" is not an Access database.");

    Header h;
    h.version = page[0x14];
    h.workgroup = workgroup;
    rc4Apply(kHeaderKey.data(), kHeaderKey.size(), page + kMaskStart, h.version == 0 ? 126 : 128);
    h.key = u32(page, kKeyAt);
    if (h.version == 0) {
        h.codePage = page[kCodePageAt] | page[kCodePageAt + 1] << 8;
        // Jet 3: up to 20 single-byte (Windows-1252, taken as Latin-1) characters.
        for (std::size_t i = 0; i < 20 && page[kPasswordAt + i]; ++i) appendUtf8(h.password, page[kPasswordAt + i]);
    } else {
        // Jet 4 and later: 20 UCS-2 characters, further masked with the whole days of the
        // creation date stored at 0x72.
        double created = 0;
        std::memcpy(&created, page + kCreatedAt, sizeof created);
        std::uint32_t days = 0;
        if (std::isfinite(created) && created > 0 && created < 4294967295.0) days = static_cast<std::uint32_t>(created);
        const unsigned char mask[4] = {static_cast<unsigned char>(days), static_cast<unsigned char>(days >> 8),
                                       static_cast<unsigned char>(days >> 16), static_cast<unsigned char>(days >> 24)};
        std::vector<std::uint16_t> units;
        for (std::size_t i = 0; i < 40; i += 2) {
            const unsigned lo = page[kPasswordAt + i] ^ mask[i % 4];
            const unsigned hi = page[kPasswordAt + i + 1] ^ mask[(i + 1) % 4];
            const auto u = static_cast<std::uint16_t>(lo | hi << 8);
            if (u == 0) break;
            units.push_back(u);
        }
        for (std::size_t i = 0; i < units.size(); ++i) {
            std::uint32_t cp = units[i];
            if (cp >= 0xD800 && cp < 0xDC00 && i + 1 < units.size() && units[i + 1] >= 0xDC00 && units[i + 1] < 0xE000)
                cp = 0x10000 + ((cp - 0xD800) << 10) + (units[++i] - 0xDC00);
            appendUtf8(h.password, cp);
        }
    }
    return h;
}

namespace {

// The password in the form a workgroup file enciphers it: Jet 3 in the file's code page, later
// files UTF-16LE. Nothing when it has no such form.
std::optional<std::string> passwordBytes(const std::string& password, const Header& header)
{
    std::string out;
    if (header.version == 0) {
        const std::string page = "CP" + std::to_string(header.codePage > 0 ? header.codePage : 1252);
        iconv_t cd = ::iconv_open(page.c_str(), "UTF-8");
        if (cd == reinterpret_cast<iconv_t>(-1)) cd = ::iconv_open("CP1252", "UTF-8");
        if (cd == reinterpret_cast<iconv_t>(-1)) return std::nullopt;
        std::string in = password;
        out.assign(in.size() * 4 + 4, '\0');
        char* from = in.data();
        char* to = out.data();
        std::size_t left = in.size(), room = out.size();
        const bool ok = ::iconv(cd, &from, &left, &to, &room) != static_cast<std::size_t>(-1);
        ::iconv_close(cd);
        OPENSSL_cleanse(in.data(), in.size());
        out.resize(out.size() - room);
        if (!ok) return std::nullopt;
        return out;
    }
    for (std::size_t i = 0; i < password.size();) {
        const auto c = static_cast<unsigned char>(password[i]);
        const int extra = c < 0x80 ? 0 : (c & 0xE0) == 0xC0 ? 1 : (c & 0xF0) == 0xE0 ? 2 : (c & 0xF8) == 0xF0 ? 3 : -1;
        if (extra < 0 || (extra > 0 && i + static_cast<std::size_t>(extra) >= password.size())) return std::nullopt;
        std::uint32_t cp = extra == 0 ? c : c & (0x3F >> extra);
        for (int k = 1; k <= extra; ++k) cp = cp << 6 | (static_cast<unsigned char>(password[i + k]) & 0x3F);
        i += static_cast<std::size_t>(extra) + 1;
        const auto unit = [&](std::uint32_t u) {
            out += static_cast<char>(u & 0xFF);
            out += static_cast<char>(u >> 8);
        };
        if (cp >= 0x10000) {
            unit(0xD800 + ((cp - 0x10000) >> 10));
            unit(0xDC00 + ((cp - 0x10000) & 0x3FF));
        } else {
            unit(cp);
        }
    }
    return out;
}

}  // namespace

bool PasswordMatches(const std::string& stored, const std::string& password, const Header& header)
{
    // Two-key triple DES (EDE) in ECB mode under fixed keys, over the password padded with zeros.
    static const unsigned char key[16] = {'k', 'j', 'h', 'g', 'g', 'a', 'u', 't',
                                          'n', 'i', 't', 'r', 'e', 'm', 'v', 'k'};
    const std::size_t size = header.version == 0 ? 16 : 40;
    std::optional<std::string> expected = passwordBytes(password, header);
    if (!expected || expected->size() > size) return false;
    expected->resize(size, '\0');
    if (stored.empty()) return expected->find_first_not_of('\0') == std::string::npos;  // none kept
    if (stored.size() < size) return false;

    std::string plain(size + 8, '\0');
    int written = 0, tail = 0;
    EVP_CIPHER_CTX* ctx = EVP_CIPHER_CTX_new();
    const bool ok = ctx && EVP_DecryptInit_ex(ctx, EVP_des_ede_ecb(), nullptr, key, nullptr) == 1 &&
                    EVP_CIPHER_CTX_set_padding(ctx, 0) == 1 &&
                    EVP_DecryptUpdate(ctx, reinterpret_cast<unsigned char*>(plain.data()), &written,
                                      reinterpret_cast<const unsigned char*>(stored.data()), static_cast<int>(size)) == 1 &&
                    EVP_DecryptFinal_ex(ctx, reinterpret_cast<unsigned char*>(plain.data()) + written, &tail) == 1;
    EVP_CIPHER_CTX_free(ctx);
    if (!ok) throw Error(Error::Unreadable, "The workgroup password cannot be checked: triple DES is not available.");
    const bool same = static_cast<std::size_t>(written + tail) == size && CRYPTO_memcmp(plain.data(), expected->data(), size) == 0;
    OPENSSL_cleanse(plain.data(), plain.size());
    OPENSSL_cleanse(expected->data(), expected->size());
    return same;
}

namespace {

// Page-level checks against the file itself, made before libmdb follows a page reference: a
// reference to a page that is zero, missing or of the wrong kind means the file is damaged.
// Encoded pages are read decoded: RC4 under the file's key XOR the page number.
class PageFile {
public:
    PageFile(const std::string& path, std::size_t pageSize, bool jet3, std::uint32_t key)
        : fd_(::open(path.c_str(), O_RDONLY | O_CLOEXEC)), size_(pageSize), jet3_(jet3), rowCountAt_(jet3 ? 8 : 12), key_(key)
    {
        struct stat st{};
        if (fd_ < 0 || ::fstat(fd_, &st) != 0) throw Error(Error::Unreadable, "\"" + path + "\" cannot be read.");
        pages_ = static_cast<std::uint32_t>(static_cast<std::uintmax_t>(st.st_size) / size_);
    }
    ~PageFile()
    {
        if (fd_ >= 0) ::close(fd_);
    }
    PageFile(const PageFile&) = delete;
    PageFile& operator=(const PageFile&) = delete;

    // The page, or empty when it lies beyond the end of the file.
    const std::vector<unsigned char>& page(std::uint32_t number)
    {
        buffer_.assign(size_, 0);
        if (number == 0 || number >= pages_ ||
            ::pread(fd_, buffer_.data(), size_, static_cast<off_t>(number) * static_cast<off_t>(size_)) !=
                static_cast<ssize_t>(size_))
            buffer_.clear();
        if (key_ != 0 && !buffer_.empty()) {
            const std::uint32_t k = key_ ^ number;
            const unsigned char bytes[4] = {static_cast<unsigned char>(k), static_cast<unsigned char>(k >> 8),
                                            static_cast<unsigned char>(k >> 16), static_cast<unsigned char>(k >> 24)};
            rc4Apply(bytes, sizeof bytes, buffer_.data(), buffer_.size());
        }
        return buffer_;
    }

    // A table definition and its continuation pages.
    bool tableDefinitionSound(std::uint32_t number)
    {
        for (std::uint32_t hops = 0; number != 0; ++hops) {
            const auto& p = page(number);
            if (p.empty() || p[0] != 0x02 || hops > pages_) return false;
            number = u32(p, 4);
        }
        return true;
    }

    // A table definition as libmdb reads it: the first page whole, then each continuation page
    // after its 8-byte header.
    std::vector<unsigned char> definition(std::uint32_t number)
    {
        std::vector<unsigned char> out;
        for (std::uint32_t hops = 0; number != 0 && hops <= pages_; ++hops) {
            const auto& p = page(number);
            if (p.empty()) break;
            out.insert(out.end(), p.begin() + (out.empty() ? 0 : 8), p.end());
            number = u32(p, 4);
        }
        return out;
    }

    // What is wrong with a table definition as libmdb walks it, "" when nothing is. It must take
    // exactly the length it records (offset 8): header, index, column and name entries and the
    // closing list of column usage maps; a count or name length that is wrong shifts every entry
    // after it. And each column must have a place of its own in the row: fixed ones (but Yes/No,
    // kept in the null mask) must not overlap, and the numbers and the variable-length slots of
    // all must be distinct and below the most columns a row holds.
    std::string definitionProblem(std::uint32_t number)
    {
        const std::vector<unsigned char> def = definition(number);
        const std::size_t size = def.size();
        const char* const length = "does not take the length it records";
        if (size < 0x40) return length;
        const std::size_t nameLength = jet3_ ? 1 : 2, entrySize = jet3_ ? 18 : 25;
        const std::size_t columns = u16(def, jet3_ ? 0x19 : 0x2D);
        const std::size_t indexes = u32(def, jet3_ ? 0x1B : 0x2F), realIndexes = u32(def, jet3_ ? 0x1F : 0x33);
        const std::size_t first = (jet3_ ? 0x2B : 0x3F) + realIndexes * (jet3_ ? 8 : 12);
        std::size_t at = first + columns * entrySize;
        const auto names = [&](std::size_t count) {
            for (std::size_t i = 0; i < count && at + nameLength <= size; ++i)
                at += nameLength + (jet3_ ? def[at] : u16(def, at));
        };
        if (at > size) return length;
        names(columns);
        at += realIndexes * (jet3_ ? 39 : 52) + indexes * (jet3_ ? 20 : 28);
        if (at > size) return length;
        names(indexes);
        // The usage map list takes 10 bytes an entry; its FFFF end is not read, so not asked for.
        const std::size_t recorded = u32(def, 8);
        if (recorded > size || at + 2 > recorded || (recorded - 2 - at) % 10 != 0) return length;

        const std::size_t most = u16(def, jet3_ ? 0x15 : 0x29);
        std::vector<std::pair<std::size_t, std::size_t>> fixed;  // offset, size
        std::vector<std::size_t> slots, numbers;
        for (std::size_t k = 0; k < columns; ++k) {
            const std::size_t e = first + k * entrySize;
            numbers.push_back(u16(def, e + (jet3_ ? 1 : 5)));
            if ((def[e + (jet3_ ? 13 : 15)] & 0x01) == 0) slots.push_back(u16(def, e + (jet3_ ? 3 : 7)));
            else if (def[e] != MDB_BOOL) fixed.emplace_back(u16(def, e + (jet3_ ? 14 : 21)), u16(def, e + (jet3_ ? 16 : 23)));
        }
        std::sort(fixed.begin(), fixed.end());
        std::sort(slots.begin(), slots.end());
        std::sort(numbers.begin(), numbers.end());
        for (std::size_t i = 1; i < fixed.size(); ++i)
            if (fixed[i - 1].first + fixed[i - 1].second > fixed[i].first) return "has columns that overlap";
        if (std::adjacent_find(slots.begin(), slots.end()) != slots.end() ||
            std::adjacent_find(numbers.begin(), numbers.end()) != numbers.end())
            return "has columns that share a place";
        if ((!slots.empty() && slots.back() >= most) || (!numbers.empty() && numbers.back() >= most))
            return "has columns beyond the most a row holds";
        return "";
    }

    // The rows of a data page lie one below the other: the first ends at the end of the page,
    // each further one where the one before it starts, none inside the table of row offsets.
    bool rowsSound(std::uint32_t number)
    {
        const auto& p = page(number);
        if (p.empty() || p[0] != 0x01) return false;
        const std::size_t rows = u16(p, rowCountAt_), table = rowCountAt_ + 2 + 2 * rows;
        if (table > size_) return false;
        std::size_t end = size_;
        for (std::size_t r = 0; r < rows; ++r) {
            const std::size_t start = u16(p, rowCountAt_ + 2 + 2 * r) & 0x1FFF;
            if (start < table || start > end) return false;
            end = start;
        }
        return true;
    }

    // The bytes of the long value (memo or OLE) whose 12-byte header is value, nothing when a
    // page of its chain is not a data page holding the row it names or its parts do not make
    // up the length it records.
    std::optional<std::vector<unsigned char>> longValue(const unsigned char* value, std::size_t length)
    {
        if (length < 12) return std::nullopt;
        const std::uint32_t head = u32(value, 0);
        const std::size_t total = head & 0x3FFFFFFFu;
        if (head & 0x80000000u) {  // inline, after the header
            if (12 + total > length) return std::nullopt;
            return std::vector<unsigned char>(value + 12, value + 12 + total);
        }
        std::vector<unsigned char> out;
        if (total == 0) return out;
        const bool single = (head & 0x40000000u) != 0;
        std::uint32_t pointer = u32(value, 4);
        for (std::uint32_t hops = 0; pointer != 0; ++hops) {
            const auto& p = page(pointer >> 8);
            const std::size_t row = pointer & 0xFF;
            if (p.empty() || p[0] != 0x01 || hops > pages_ || row >= u16(p, rowCountAt_)) return std::nullopt;
            const std::size_t start = u16(p, rowCountAt_ + 2 + 2 * row) & 0x1FFF;
            const std::size_t end = row == 0 ? size_ : u16(p, rowCountAt_ + 2 * row) & 0x1FFF;
            if (start == 0 || start > end || end > size_ || (!single && end - start < 4)) return std::nullopt;
            if (single) {
                out.insert(out.end(), p.begin() + static_cast<std::ptrdiff_t>(start), p.begin() + static_cast<std::ptrdiff_t>(end));
                break;
            }
            pointer = u32(p, start);
            out.insert(out.end(), p.begin() + static_cast<std::ptrdiff_t>(start + 4), p.begin() + static_cast<std::ptrdiff_t>(end));
            if (out.size() > total) return std::nullopt;
        }
        if (out.size() < total) return std::nullopt;
        out.resize(total);
        return out;
    }

private:
    static unsigned u16(const std::vector<unsigned char>& p, std::size_t at) { return p[at] | p[at + 1] << 8; }

    int fd_;
    std::size_t size_;
    bool jet3_;
    std::size_t rowCountAt_;
    std::uint32_t key_;
    std::uint32_t pages_ = 0;
    std::vector<unsigned char> buffer_;
};

// Whether a property list (MSysObjects.LvProp) parses whole as libmdb walks it: after its
// signature, chunks of names (0x80) and of property blocks, each ending where its length says;
// in a block, entries that each name a property of the names chunk and end where the block does.
bool propertiesSound(const std::vector<unsigned char>& list)
{
    const unsigned char* b = list.data();
    const std::size_t size = list.size();
    if (size < 4 || (std::memcmp(b, "KKD", 4) != 0 && std::memcmp(b, "MR2", 4) != 0)) return false;
    std::size_t names = 0;
    bool named = false;
    for (std::size_t at = 4; at < size;) {
        if (size - at < 6) return false;
        const std::size_t length = u32(b, at), type = u16(b, at + 4);
        if (length < 6 || length > size - at) return false;
        const unsigned char* body = b + at + 6;
        const std::size_t n = length - 6;
        if (type == 0x80) {
            names = 0;
            std::size_t p = 0;
            for (; p + 2 <= n; ++names) p += 2 + u16(body, p);
            if (p != n) return false;
            named = true;
        } else if (type <= 2 && named && n >= 6) {
            std::size_t p = 6 + u16(body, 4);  // after the block's name
            while (p < n) {
                if (n - p < 8) return false;
                const std::size_t entry = u16(body, p), element = u16(body, p + 4), data = u16(body, p + 6);
                if (element >= names || entry < 8 + data || entry > n - p) return false;
                p += entry;
            }
            if (p != n) return false;
        } else {
            return false;
        }
        at += length;
    }
    return true;
}

// What libmdb writes on stderr while the reader lives, taken part by part so that a report is
// laid to the part being read. Kept to its first lines: a damaged file can make libmdb write
// without end.
class Reports {
public:
    Reports() : saved_(stderr)
    {
        std::fflush(stderr);
        if (FILE* f = ::fopencookie(this, "w", {nullptr, &Reports::write, nullptr, nullptr})) {
            std::setvbuf(f, nullptr, _IONBF, 0);
            stderr = f;
        }
    }
    ~Reports()
    {
        if (stderr == saved_) return;
        FILE* f = stderr;
        stderr = saved_;
        std::fclose(f);
    }
    Reports(const Reports&) = delete;
    Reports& operator=(const Reports&) = delete;

    // The first line written since the last call, "" when nothing was.
    std::string take() { return firstLine(std::exchange(text_, {})); }

private:
    static ssize_t write(void* self, const char* data, std::size_t n)
    {
        constexpr std::size_t kKept = 4096;
        std::string& text = static_cast<Reports*>(self)->text_;
        if (text.size() < kKept) text.append(data, std::min(n, kKept - text.size()));
        return static_cast<ssize_t>(n);
    }

    FILE* saved_;
    std::string text_;
};

// A column of a system table the reader asks for, with its Jet type (0: any).
struct SystemColumn {
    const char* name;
    int type;
};

// Reads the whole catalogue over libmdb. Runs in the reader process.
class Reader {
public:
    Reader(const std::string& path, const Header& header)
        : reports_(), path_(path), pages_(path, header.version == 0 ? 2048 : 4096, header.version == 0, header.key)
    {
        // The pages of an ACCDB protected by a password are encrypted: its catalogue reads as noise.
        const auto unreadable = [&] {
            if (header.version >= 2)
                return Error(Error::EncryptedAccdb, "The catalogue of \"" + path + "\" cannot be read: the file is damaged "
                                                    "or encrypted with a database password, and an encrypted ACCDB file "
                                                    "cannot be read here.");
            return Error(Error::Unreadable, "The catalogue of \"" + path + "\" cannot be read; the file is damaged.");
        };
        if (!pages_.tableDefinitionSound(2)) throw unreadable();
        mdb_ = mdb_open(path.c_str(), MDB_NOFLAGS);
        if (!mdb_) throw Error(Error::NotADatabase, "\"" + path + "\" is not an Access database.");
        mdb_set_bind_size(mdb_, 1 << 16);
        mdb_set_date_fmt(mdb_, "%Y-%m-%d %H:%M:%S");
        mdb_set_boolean_fmt_numbers(mdb_);
        if (!mdb_read_catalog(mdb_, MDB_ANY) || mdb_->num_catalog == 0) throw unreadable();

        bool found = false;
        std::vector<Row> objectRows;
        std::vector<std::string> lost;
        try {
            objectRows = rows("MSysObjects",
                              {{"Id", MDB_LONGINT}, {"Name", MDB_TEXT}, {"Type", MDB_INT}, {"DateCreate", MDB_DATETIME},
                               {"Flags", MDB_LONGINT}, {"Owner", MDB_BINARY}},
                              &found, &lost);
        } catch (const Error&) {
            throw unreadable();
        }
        // What libmdb reports while it reads the catalogue must be the property lists found
        // damaged or missing here, which leave out only the properties of their objects.
        const std::string said = reports_.take();
        if (!said.empty() && std::all_of(lost.begin(), lost.end(), [](const std::string& l) { return l.empty(); }))
            throw damaged(path_, "libmdb reported \"" + said + "\" while reading its catalogue");
        for (std::size_t i = 0; i < objectRows.size(); ++i) {
            const Row& r = objectRows[i];
            // An object without them cannot be told apart from any other: it could be a table.
            if (!r[0] || !r[1] || !r[2]) throw damaged(path_, "a row of MSysObjects has no Id, name or type");
            Object o;
            o.id = std::strtol(r[0]->c_str(), nullptr, 10);
            o.name = *r[1];
            o.type = static_cast<int>(std::strtol(r[2]->c_str(), nullptr, 10));
            o.created = r[3].value_or("");
            o.flags = r[4] ? static_cast<std::uint32_t>(std::strtoll(r[4]->c_str(), nullptr, 10)) : 0u;
            o.owner = r[5].value_or("");
            o.propertiesLost = lost[i];
            objects_.push_back(std::move(o));
        }
        if (!found || objects_.empty()) throw unreadable();
        // The Id of a table, and of no other object but a linked table, is its definition's page:
        // a type that does not go with the Id, or two tables on one page, was changed by damage.
        std::set<long> pages;
        for (const Object& o : objects_) {
            const bool page = o.id >= 0 && o.id < (1L << 24);
            if ((o.type == MDB_TABLE) != page && !(page && (o.type == 4 || o.type == 6)))
                throw damaged(path_, "the catalogue row of \"" + o.name + "\" has the type " + std::to_string(o.type) +
                                         ", which does not go with its Id");
            if (o.type == MDB_TABLE && !pages.insert(o.id).second)
                throw damaged(path_, "two tables of the catalogue have one definition, that of \"" + o.name + "\"");
        }
    }
    ~Reader()
    {
        if (mdb_) mdb_close(mdb_);
    }
    Reader(const Reader&) = delete;
    Reader& operator=(const Reader&) = delete;

    Snapshot read()
    {
        Snapshot s;
        // A part fails on its own error or on what libmdb reported while reading it.
        const auto attempt = [&](std::string& error, const std::string& part, auto read) {
            reports_.take();
            try {
                read();
            } catch (const Error& e) {
                error = e.what();
            }
            if (const std::string said = reports_.take(); error.empty() && !said.empty())
                error = damaged(path_, "libmdb reported \"" + said + "\" while reading " + part).what();
        };
        for (const Object& o : objects_) {
            if (o.type != MDB_TABLE || !entry(o.name, MDB_TABLE)) continue;
            s.tables.emplace_back();
            s.tables.back().name = o.name;
            s.tables.back().created = o.created;
            s.tables.back().flags = o.flags;
            s.tableErrors.emplace_back();
            attempt(s.tableErrors.back(), "the table \"" + o.name + "\"", [&] { s.tables.back() = table(o); });
        }
        attempt(s.relationsError, "MSysRelationships", [&] { s.relations = relations(s.tables); });
        attempt(s.queriesError, "the saved queries", [&] { s.queries = queries(); });
        attempt(s.permissionsError, "MSysACEs", [&] { s.permissions = permissions(); });
        for (const Object& o : objects_)
            if (o.type == MDB_TABLE && o.name == "MSysObjects") s.engineOwner = o.owner;
        s.accountsFound = entry("MSysAccounts", MDB_TABLE) != nullptr;
        if (s.accountsFound) attempt(s.accountsError, "MSysAccounts", [&] { s.accounts = accounts(); });
        s.warnings = warnings_;
        return s;
    }

private:
    struct Object {
        long id = 0;
        std::string name, created;
        int type = 0;
        std::uint32_t flags = 0;
        std::string owner;
        std::string propertiesLost;  // "missing" or "damaged" when they are
    };
    using TableDef = std::unique_ptr<MdbTableDef, void (*)(MdbTableDef*)>;

    MdbCatalogEntry* entry(const std::string& name, int type) const
    {
        for (guint i = 0; i < mdb_->num_catalog; ++i) {
            auto* e = static_cast<MdbCatalogEntry*>(g_ptr_array_index(mdb_->catalog, i));
            if (e->object_type == type && name == e->object_name) return e;
        }
        return nullptr;
    }

    // The definition of a catalogue table with its columns, all of them read.
    TableDef definition(MdbCatalogEntry* e)
    {
        const std::string name = e->object_name;
        if (!pages_.tableDefinitionSound(static_cast<std::uint32_t>(e->table_pg)))
            throw damaged(path_, "the definition of the table \"" + name + "\" is missing");
        if (const std::string problem = pages_.definitionProblem(static_cast<std::uint32_t>(e->table_pg)); !problem.empty())
            throw damaged(path_, "the definition of the table \"" + name + "\" " + problem);
        TableDef t(mdb_read_table(e), mdb_free_tabledef);
        if (!t) throw damaged(path_, "the definition of the table \"" + name + "\" cannot be read");
        if (!mdb_read_columns(t.get()) || t->columns->len != t->num_cols)
            throw damaged(path_, "columns of the table \"" + name + "\" are missing");
        return t;
    }

    // Rows of a system table, the named columns as text (nullopt for Null). Empty when the
    // table is not in the catalogue; a column it lacks or of another type throws. A row whose
    // long value is gone throws, or is marked in lost ("missing"), as is a row whose property
    // list (LvProp) does not parse whole ("damaged").
    std::vector<Row> rows(const char* tableName, const std::vector<SystemColumn>& columns, bool* found = nullptr,
                          std::vector<std::string>* lost = nullptr)
    {
        std::vector<Row> out;
        MdbCatalogEntry* e = entry(tableName, MDB_TABLE);
        if (found) *found = e != nullptr;
        if (!e) return out;
        TableDef t = definition(e);
        mdb_rewind_table(t.get());
        std::vector<std::vector<char>> buffers(columns.size(), std::vector<char>(mdb_->bind_size + 1));
        std::vector<int> lengths(columns.size(), 0);
        std::vector<bool> bound(columns.size(), false);
        std::vector<MdbColumn*> boundColumns(columns.size(), nullptr);
        std::vector<MdbColumn*> longValues;
        for (guint k = 0; k < t->num_cols; ++k) {
            auto* col = static_cast<MdbColumn*>(g_ptr_array_index(t->columns, k));
            if (col->col_type == MDB_MEMO || col->col_type == MDB_OLE) longValues.push_back(col);
            for (std::size_t c = 0; c < columns.size(); ++c)
                if (!bound[c] && std::strcmp(col->name, columns[c].name) == 0) {
                    if (columns[c].type != 0 && col->col_type != columns[c].type)
                        throw damaged(path_, std::string("the column ") + columns[c].name + " of " + tableName +
                                                 " has the type " + std::to_string(col->col_type));
                    mdb_bind_column(t.get(), static_cast<int>(k + 1), buffers[c].data(), &lengths[c]);
                    bound[c] = true;
                    boundColumns[c] = col;
                }
        }
        for (std::size_t c = 0; c < columns.size(); ++c)
            if (!bound[c]) throw damaged(path_, std::string(tableName) + " has no column " + columns[c].name);
        // Every row is read, also past a row count the definition keeps short; a damaged file
        // can make the page chain loop, so a page met a second time ends the read.
        unsigned fetched = 0;
        std::uint32_t pageChecked = 0;
        std::set<std::uint32_t> pagesRead;
        for (; mdb_fetch_row(t.get()); ++fetched) {
            // Rows that overlap read parts of their neighbours as their own.
            if (t->cur_phys_pg != pageChecked) {
                pageChecked = t->cur_phys_pg;
                if (!pagesRead.insert(pageChecked).second)
                    throw damaged(path_, std::string("the pages of ") + tableName + " form a loop");
                if (!pages_.rowsSound(pageChecked)) throw damaged(path_, std::string("a page of ") + tableName + " is damaged");
            }
            // A memo or property list on a page that is gone would read as empty text.
            std::string problem;
            for (MdbColumn* col : longValues) {
                if (col->cur_value_len <= 0 || !problem.empty()) continue;
                const auto& p = pages_.page(t->cur_phys_pg);
                const auto start = static_cast<std::size_t>(col->cur_value_start);
                const auto length = static_cast<std::size_t>(col->cur_value_len);
                const auto value = p.size() >= start + length ? pages_.longValue(p.data() + start, length) : std::nullopt;
                if (!value) problem = "missing";
                else if (lost && std::strcmp(col->name, "LvProp") == 0 && !propertiesSound(*value)) problem = "damaged";
            }
            if (lost) lost->push_back(problem);
            else if (!problem.empty()) throw damaged(path_, std::string("a long value of ") + tableName + " is missing");
            Row row(columns.size());
            for (std::size_t c = 0; c < columns.size(); ++c) {
                // A binary value (a SID) is taken from the page as it is: its text form ends at a zero byte.
                if (MdbColumn* col = boundColumns[c]; col && col->col_type == MDB_BINARY) {
                    const auto start = static_cast<std::size_t>(col->cur_value_start);
                    const auto length = static_cast<std::size_t>(col->cur_value_len);
                    const auto& p = pages_.page(t->cur_phys_pg);
                    if (length > 0 && start + length <= p.size())
                        row[c] = std::string(p.begin() + static_cast<std::ptrdiff_t>(start),
                                             p.begin() + static_cast<std::ptrdiff_t>(start + length));
                    continue;
                }
                if (!bound[c] || lengths[c] <= 0) continue;
                row[c] = std::string(buffers[c].data(), static_cast<std::size_t>(lengths[c]));
            }
            out.push_back(std::move(row));
            for (std::size_t c = 0; c < columns.size(); ++c) buffers[c][0] = '\0';
        }
        // Rows on pages that are gone would silently drop objects from the catalogue.
        if (fetched < t->num_rows) throw damaged(path_, std::string("rows of ") + tableName + " are missing");
        return out;
    }

    Table table(const Object& o)
    {
        MdbCatalogEntry* e = entry(o.name, MDB_TABLE);
        TableDef t = definition(e);

        Table table;
        table.name = o.name;
        table.created = o.created;
        table.flags = o.flags;

        std::vector<MdbColumn*> cols;
        for (guint k = 0; k < t->num_cols; ++k) cols.push_back(static_cast<MdbColumn*>(g_ptr_array_index(t->columns, k)));
        // Without its property list a table's columns keep Jet's defaults, which is said.
        const bool properties = o.propertiesLost.empty();
        if (!properties)
            warnings_.push_back("the properties of the table \"" + o.name + "\" are " + o.propertiesLost +
                                ": the defaults, validation rules, descriptions and Required settings of its columns "
                                "are left out");
        // Properties kept for a column the definition does not have are left out.
        for (guint i = 0; properties && e->props && i < e->props->len; ++i) {
            const char* owner = static_cast<MdbProperties*>(g_ptr_array_index(e->props, i))->name;
            if (owner && *owner && o.name != owner &&
                std::none_of(cols.begin(), cols.end(), [&](MdbColumn* c) { return std::strcmp(c->name, owner) == 0; }))
                warnings_.push_back("the properties of a column \"" + std::string(owner) + "\" of the table \"" +
                                    o.name + "\", which it lacks, are left out");
        }
        std::stable_sort(cols.begin(), cols.end(), [](MdbColumn* a, MdbColumn* b) { return a->col_num < b->col_num; });
        const bool wide = mdb_->f->jet_version != MDB_VER_JET3;
        // libmdb keeps only some of a column's flag bits; the hyperlink bit (0x80) is read from the
        // column entries of the definition, matched to the columns by number.
        const std::vector<unsigned char> def = pages_.definition(static_cast<std::uint32_t>(e->table_pg));
        std::map<int, unsigned> flagsOf;
        {
            const MdbFormatConstants* fmt = mdb_->fmt;
            const std::size_t first = fmt->tab_cols_start_offset + t->num_real_idxs * fmt->tab_ridx_entry_size;
            for (guint k = 0; k < t->num_cols; ++k) {
                const std::size_t at = first + k * fmt->tab_col_entry_size;
                if (at + fmt->tab_col_entry_size > def.size()) break;
                flagsOf[def[at + fmt->col_num_offset]] = def[at + fmt->col_flags_offset];
            }
        }
        const auto badDefinition = [&](const std::string& what) {
            return damaged(path_, "the definition of the table \"" + o.name + "\" " + what);
        };
        for (MdbColumn* c : cols) {
            Field f;
            f.name = c->name;
            f.type = c->col_type;
            f.fixed = c->is_fixed != 0;
            f.autoNumber = c->is_long_auto != 0;
            f.hyperlink = c->col_type == MDB_MEMO && (flagsOf[c->col_num & 0xFF] & 0x80) != 0;
            const std::string column = "the column \"" + f.name + "\"";
            switch (c->col_type) {
            case MDB_TEXT:
                f.size = wide ? c->col_size / 2 : c->col_size;
                if (f.size > 255) throw badDefinition("gives " + column + " a length of " + std::to_string(f.size) + " characters");
                break;
            case MDB_MEMO:
            case MDB_OLE: f.size = 0; break;
            case MDB_NUMERIC:
                // libmdb's names for the two are the wrong way round: col_scale holds the precision.
                f.size = 16;
                f.precision = c->col_scale;
                f.scale = c->col_prec;
                if (f.precision < 1 || f.precision > 28 || f.scale > f.precision)
                    throw badDefinition("gives " + column + " the precision " + std::to_string(f.precision) + " and scale " +
                                        std::to_string(f.scale));
                break;
            case MDB_BOOL:
            case MDB_BYTE: f.size = 1; break;
            case MDB_INT: f.size = 2; break;
            case MDB_LONGINT:
            case MDB_FLOAT: f.size = 4; break;
            case MDB_MONEY:
            case MDB_DOUBLE:
            case MDB_DATETIME: f.size = 8; break;
            case MDB_REPID: f.size = 16; break;
            case MDB_BINARY:
            case MDB_COMPLEX: f.size = c->col_size; break;
            default:
                // Types later versions of Access write, which have no name here, from those none writes.
                if (c->col_type != 0x0D && c->col_type != 0x11 && c->col_type != 0x13 && c->col_type != 0x14)
                    throw badDefinition("gives " + column + " the type " + std::to_string(c->col_type) + ", which Jet does not have");
                warnings_.push_back(column + " of the table \"" + o.name + "\" has a type (" + std::to_string(c->col_type) +
                                    ") that cannot be named here: its type is left out");
                f.size = c->col_size;
                break;
            }
            if (properties) {
                f.description = text(mdb_col_get_prop(c, "Description"));
                f.defaultValue = text(mdb_col_get_prop(c, "DefaultValue"));
                f.validationRule = text(mdb_col_get_prop(c, "ValidationRule"));
                f.required = yes(mdb_col_get_prop(c, "Required"), false);
                f.allowZeroLength = yes(mdb_col_get_prop(c, "AllowZeroLength"), false);
            }
            if (c->col_type == MDB_COMPLEX) {
                f.complexKind = complexKind(o.id, f.name);
                if (f.complexKind.empty())
                    warnings_.push_back("what " + column + " of the table \"" + o.name +
                                        "\" holds (an attachment, several values or a history) cannot be read from the file");
            }
            table.fields.push_back(std::move(f));
        }
        table.indexes = indexes(def, cols, o.name);
        return table;
    }

    // The indexes of a table definition, in file order. Each logical index (name, kind) is backed
    // by a real one (key columns, their order, flags), which several logical ones can share; a
    // key column is named by its column number, which keeps counting deleted columns. An index
    // that does not resolve is left out with a warning.
    std::vector<Index> indexes(const std::vector<unsigned char>& def, const std::vector<MdbColumn*>& cols,
                               const std::string& tableName)
    {
        const bool jet3 = mdb_->f->jet_version == MDB_VER_JET3;
        const unsigned char* d = def.data();
        const std::size_t columns = u16(d, jet3 ? 0x19 : 0x2D);
        const std::size_t logical = u32(d, jet3 ? 0x1B : 0x2F), real = u32(d, jet3 ? 0x1F : 0x33);
        const std::size_t realSize = jet3 ? 39 : 52, logicalSize = jet3 ? 20 : 28, skip = jet3 ? 0 : 4;
        std::size_t at = (jet3 ? 0x2B : 0x3F) + real * (jet3 ? 8 : 12) + columns * (jet3 ? 18 : 25);
        const auto nameLength = [&]() -> std::optional<std::size_t> {
            const std::size_t head = jet3 ? 1 : 2;
            if (at + head > def.size()) return std::nullopt;
            const std::size_t n = jet3 ? d[at] : u16(d, at);
            at += head;
            if (at + n > def.size()) return std::nullopt;
            return n;
        };
        for (std::size_t i = 0; i < columns; ++i) {
            const auto n = nameLength();
            if (!n) throw damaged(path_, "the definition of the table \"" + tableName + "\" ends inside its column names");
            at += *n;
        }
        const std::size_t realAt = at, logicalAt = realAt + real * realSize;
        at = logicalAt + logical * logicalSize;
        if (at > def.size()) throw damaged(path_, "the definition of the table \"" + tableName + "\" ends inside its indexes");

        std::vector<Index> out;
        for (std::size_t l = 0; l < logical; ++l) {
            Index x;
            const auto n = nameLength();
            if (!n) throw damaged(path_, "the definition of the table \"" + tableName + "\" ends inside its index names");
            char name[MDB_MAX_OBJ_NAME + 1] = {};
            mdb_unicode2ascii(mdb_, reinterpret_cast<const char*>(d + at), *n, name, sizeof name);
            at += *n;
            x.name = name;
            const std::size_t entry = logicalAt + l * logicalSize + skip;
            const std::uint32_t backing = u32(d, entry + 4);
            const unsigned kind = d[entry + 19];
            x.primary = kind == 1;
            x.foreign = kind == 2;
            bool resolved = kind <= 2 && backing < real;
            if (resolved) {
                const std::size_t keys = realAt + backing * realSize + skip;
                const unsigned flags = d[keys + 30 + 8 + skip];
                x.unique = x.primary || (flags & MDB_IDX_UNIQUE) != 0;
                x.ignoreNulls = (flags & MDB_IDX_IGNORENULLS) != 0;
                x.required = x.primary || (flags & MDB_IDX_REQUIRED) != 0;
                for (std::size_t j = 0; j < MDB_MAX_IDX_COLS && resolved; ++j) {
                    const std::size_t number = u16(d, keys + 3 * j);
                    if (number == 0xFFFF) continue;
                    const auto c = std::find_if(cols.begin(), cols.end(),
                                                [&](MdbColumn* col) { return static_cast<std::size_t>(col->col_num) == number; });
                    if (c == cols.end()) resolved = false;
                    else x.fields.push_back({(*c)->name, (d[keys + 3 * j + 2] & 0x01) == 0});
                }
            }
            if (!resolved || x.fields.empty()) {
                warnings_.push_back("the index \"" + x.name + "\" of the table \"" + tableName +
                                    "\" cannot be resolved and is left out");
                continue;
            }
            out.push_back(std::move(x));
        }
        return out;
    }

    // What a complex column of the table with MSysObjects id holds, told by its type table
    // (MSysComplexColumns): "Attachment", "Version History" (a date beside the value),
    // "Multi-value"; "" when the file does not tell.
    std::string complexKind(long tableId, const std::string& column)
    {
        try {
            return complexKindOf(tableId, column);
        } catch (const Error&) {
            return "";
        }
    }
    std::string complexKindOf(long tableId, const std::string& column)
    {
        if (!complexRead_) {
            complexRead_ = true;
            for (const Row& r : rows("MSysComplexColumns", {{"ColumnName", MDB_TEXT}, {"ComplexTypeObjectID", MDB_LONGINT},
                                                            {"ConceptualTableID", MDB_LONGINT}}))
                if (r[0] && r[1] && r[2])
                    complexTypes_[{std::strtol(r[2]->c_str(), nullptr, 10), *r[0]}] = std::strtol(r[1]->c_str(), nullptr, 10);
        }
        auto type = complexTypes_.find({tableId, column});
        if (type == complexTypes_.end()) return "";
        const auto object = std::find_if(objects_.begin(), objects_.end(), [&](const Object& o) { return o.id == type->second; });
        if (object == objects_.end()) return "";
        if (object->name == "MSysComplexType_Attachment") return "Attachment";
        MdbCatalogEntry* e = entry(object->name, MDB_TABLE);
        if (!e) return "";
        TableDef t = definition(e);
        for (guint k = 0; k < t->num_cols; ++k) {
            auto* col = static_cast<MdbColumn*>(g_ptr_array_index(t->columns, k));
            if (col->col_type == MDB_DATETIME) return "Version History";
        }
        return "Multi-value";
    }

    // The relationships over the tables read; one naming a table or column the file lacks is
    // left out with a warning (a linked table is not read: its columns are not asked for).
    std::vector<Relation> relations(const std::vector<Table>& tables)
    {
        std::vector<Relation> out;
        std::map<std::string, std::size_t> byName;
        std::vector<std::vector<std::pair<long, RelationField>>> fields;
        for (const Row& r : rows("MSysRelationships", {{"szRelationship", MDB_TEXT}, {"grbit", MDB_LONGINT},
                                                        {"icolumn", MDB_LONGINT}, {"szObject", MDB_TEXT}, {"szColumn", MDB_TEXT},
                                                        {"szReferencedObject", MDB_TEXT}, {"szReferencedColumn", MDB_TEXT}})) {
            if (std::any_of(r.begin(), r.end(), [](const auto& v) { return !v; }))
                throw damaged(path_, "a row of MSysRelationships lacks a value");
            auto [it, added] = byName.emplace(*r[0], out.size());
            if (added) {
                Relation rel;
                rel.name = *r[0];
                rel.attributes = r[1] ? std::strtol(r[1]->c_str(), nullptr, 10) : 0;
                rel.foreignTable = r[3].value_or("");
                rel.table = r[5].value_or("");
                out.push_back(std::move(rel));
                fields.emplace_back();
            }
            const long position = r[2] ? std::strtol(r[2]->c_str(), nullptr, 10) : 0;
            fields[it->second].push_back({position, RelationField{r[6].value_or(""), r[4].value_or("")}});
        }
        const auto lacks = [&](const std::string& table, const std::string& column) {
            const auto same = [](const std::string& a, const std::string& b) { return lower(a) == lower(b); };
            const auto t = std::find_if(tables.begin(), tables.end(), [&](const Table& x) { return same(x.name, table); });
            if (t == tables.end())
                return std::none_of(objects_.begin(), objects_.end(), [&](const Object& o) { return same(o.name, table); });
            return !t->fields.empty() &&
                   std::none_of(t->fields.begin(), t->fields.end(), [&](const Field& f) { return same(f.name, column); });
        };
        std::vector<Relation> kept;
        for (std::size_t i = 0; i < out.size(); ++i) {
            std::stable_sort(fields[i].begin(), fields[i].end(), [](const auto& a, const auto& b) { return a.first < b.first; });
            for (auto& f : fields[i]) out[i].fields.push_back(std::move(f.second));
            const Relation& r = out[i];
            if (std::any_of(r.fields.begin(), r.fields.end(), [&](const RelationField& f) {
                    return lacks(r.table, f.name) || lacks(r.foreignTable, f.foreignName);
                }))
                warnings_.push_back("the relationship \"" + r.name + "\" names a table or column the file lacks and is left out");
            else
                kept.push_back(std::move(out[i]));
        }
        std::stable_sort(kept.begin(), kept.end(), [](const Relation& a, const Relation& b) { return lessNoCase(a.name, b.name); });
        return kept;
    }

    std::vector<Query> queries()
    {
        std::unordered_map<long, std::vector<QueryRow>> rowsById;
        std::string error;
        try {
            for (const Row& r : rows("MSysQueries", {{"ObjectId", MDB_LONGINT}, {"Attribute", MDB_BYTE}, {"Order", MDB_BINARY},
                                                     {"Name1", MDB_TEXT}, {"Name2", MDB_TEXT}, {"Expression", MDB_MEMO},
                                                     {"Flag", MDB_INT}})) {
                if (!r[0] || !r[1]) throw damaged(path_, "a row of MSysQueries has no ObjectId or Attribute");
            QueryRow q;
            q.attribute = static_cast<int>(std::strtol(r[1]->c_str(), nullptr, 10));
            q.order = r[2].value_or("");
            q.name1 = r[3].value_or("");
            q.name2 = r[4].value_or("");
            q.expression = r[5].value_or("");
            q.hasFlag = r[6].has_value();
            q.flag = r[6] ? std::strtol(r[6]->c_str(), nullptr, 10) : 0;
                rowsById[std::strtol(r[0]->c_str(), nullptr, 10)].push_back(std::move(q));
            }
            if (const std::string said = reports_.take(); !said.empty())
                throw damaged(path_, "libmdb reported \"" + said + "\" while reading MSysQueries");
        } catch (const Error& e) {
            error = e.what();
            warnings_.push_back("the saved queries cannot be read (" + error + "): their SQL is left out");
        }
        // Each query is kept by its name, saying why its SQL is not there when it is not.
        std::vector<Query> out;
        for (const Object& o : objects_) {
            if (o.type != MDB_QUERY) continue;
            auto rowsOf = rowsById.find(o.id);
            Query q;
            if (!error.empty()) q.problem = "the query definitions of the file cannot be read";
            // A saved query always has rows; none means they were lost.
            else if (rowsOf == rowsById.end()) q.problem = "its definition is missing";
            else q = RebuildQuery(rowsOf->second, o.flags);
            q.name = o.name;
            q.created = o.created;
            if (!q.problem.empty() && error.empty())
                warnings_.push_back("the SQL of the saved query \"" + o.name + "\" cannot be rebuilt from the file: " +
                                    q.problem);
            out.push_back(std::move(q));
        }
        std::stable_sort(out.begin(), out.end(), [](const Query& a, const Query& b) { return lessNoCase(a.name, b.name); });
        return out;
    }

    std::vector<AccessEntry> permissions()
    {
        std::unordered_map<long, const Object*> byId;
        for (const Object& o : objects_) byId.emplace(o.id, &o);
        std::vector<AccessEntry> out;
        for (const Row& r : rows("MSysACEs", {{"ObjectId", MDB_LONGINT}, {"SID", MDB_BINARY}, {"ACM", MDB_LONGINT}})) {
            if (!r[0] || !r[1] || !r[2]) throw damaged(path_, "a row of MSysACEs lacks a value");
            auto o = byId.find(std::strtol(r[0]->c_str(), nullptr, 10));
            if (o == byId.end()) throw damaged(path_, "a row of MSysACEs names an object the catalogue lacks");
            if (o->second->type != MDB_TABLE && o->second->type != MDB_QUERY) continue;  // a container, the database
            out.push_back({o->second->name, o->second->type, *r[1],
                           static_cast<std::uint32_t>(std::strtoll(r[2]->c_str(), nullptr, 10))});
        }
        return out;
    }

    std::vector<Account> accounts()
    {
        std::vector<Account> out;
        for (const Row& r : rows("MSysAccounts", {{"Name", 0}, {"SID", 0}, {"FGroup", 0}, {"Password", 0}})) {
            if (!r[0] || !r[1]) continue;
            out.push_back({*r[0], *r[1], r[2] && std::strtol(r[2]->c_str(), nullptr, 10) != 0, r[3].value_or("")});
        }
        return out;
    }

    Reports reports_;  // first, so that it outlives libmdb's handle
    std::string path_;
    PageFile pages_;
    MdbHandle* mdb_ = nullptr;
    std::vector<Object> objects_;  // MSysObjects, file order
    std::vector<std::string> warnings_;
    bool complexRead_ = false;
    std::map<std::pair<long, std::string>, long> complexTypes_;  // (table id, column) -> type table id
};

}  // namespace

Snapshot readCatalogue(const std::string& path) { return Reader(path, ReadHeader(path)).read(); }

Error damaged(const std::string& path, const std::string& what)
{
    return Error(Error::Unreadable, "\"" + path + "\" is damaged and cannot be read: " + what + ".");
}

// The first line of text that is not blank, without its trailing blanks; "" when there is none.
std::string firstLine(const std::string& text)
{
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t end = std::min(text.find('\n', at), text.size());
        std::string line = text.substr(at, end - at);
        at = end + 1;
        while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) line.pop_back();
        if (!line.empty()) return line;
    }
    return "";
}

struct Database::Impl {
    Snapshot snapshot;
    // The part's own error, else what libmdb reported.
    void check(const std::string& partError) const
    {
        if (!partError.empty()) throw Error(Error::Unreadable, partError);
        if (!snapshot.readError.empty()) throw Error(Error::Unreadable, snapshot.readError);
    }
};

Database::Database(const std::string& path, const std::string& password) : d_(std::make_unique<Impl>())
{
    header_ = ReadHeader(path);
    if (header_.version >= 2 && (header_.key != 0 || !header_.password.empty()))
        throw Error(Error::EncryptedAccdb,
                    "\"" + path + "\" is protected by a database password, which encrypts an ACCDB file; "
                    "such a file cannot be read here. Remove the password in Access and try again.");
    if (header_.password != password)
        throw Error(Error::WrongPassword, "The database password is not valid.");

    std::error_code ec;
    const auto size = std::filesystem::file_size(path, ec);
    const std::uintmax_t page = header_.version == 0 ? 2048 : 4096;
    if (ec || size % page != 0 || size < 3 * page)
        throw Error(Error::Unreadable, "\"" + path + "\" is incomplete or damaged and cannot be read.");
    d_->snapshot = readIsolated(path, size);
}

Database::~Database() = default;

std::vector<Table> Database::Tables() const
{
    std::vector<Table> tables;
    for (const Table& whole : d_->snapshot.tables) {
        Table t;
        t.name = whole.name;
        t.created = whole.created;
        t.flags = whole.flags;
        tables.push_back(std::move(t));
    }
    std::stable_sort(tables.begin(), tables.end(), [](const Table& a, const Table& b) { return lessNoCase(a.name, b.name); });
    return tables;
}

Table Database::ReadTable(const std::string& name) const
{
    const Snapshot& s = d_->snapshot;
    for (std::size_t i = 0; i < s.tables.size(); ++i) {
        if (s.tables[i].name != name) continue;
        d_->check(s.tableErrors[i]);
        return s.tables[i];
    }
    throw Error(Error::Unreadable, "The table \"" + name + "\" is not in the catalogue.");
}

std::vector<Relation> Database::Relations() const
{
    d_->check(d_->snapshot.relationsError);
    return d_->snapshot.relations;
}

std::vector<Query> Database::Queries() const
{
    d_->check(d_->snapshot.queriesError);
    return d_->snapshot.queries;
}

std::vector<AccessEntry> Database::Permissions() const
{
    d_->check(d_->snapshot.permissionsError);
    return d_->snapshot.permissions;
}

std::string Database::BuiltInAccount(const std::string& sid) const
{
    // The built-in accounts have two-byte SIDs, stored plain in Jet 3 files and masked with two
    // bytes of their own in later ones. The Engine owns the system tables, so its SID as stored
    // against its plain one (02 03) gives the mask.
    const std::string& engine = d_->snapshot.engineOwner;
    if (sid.size() != 2 || engine.size() != 2) return "";
    const unsigned plain = (static_cast<unsigned char>(sid[0]) ^ static_cast<unsigned char>(engine[0]) ^ 0x02u) << 8 |
                           (static_cast<unsigned char>(sid[1]) ^ static_cast<unsigned char>(engine[1]) ^ 0x03u);
    switch (plain) {
    case 0x0201: return "Users";
    case 0x0203: return "Engine";
    case 0x0204: return "Creator";
    case 0x0301: return "admin";
    default: return "";
    }
}

bool Database::HasAccounts() const { return d_->snapshot.accountsFound; }

std::vector<Account> Database::Accounts() const
{
    d_->check(d_->snapshot.accountsError);
    return d_->snapshot.accounts;
}

std::vector<std::string> Database::Warnings() const { return d_->snapshot.warnings; }

}  // namespace jet
