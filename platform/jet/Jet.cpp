#include "platform/jet/Jet.h"

#include "platform/jet/ReaderProcess.h"

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

// The catalogue read whole; a part that could not be read keeps its error, reported when asked for.
struct Snapshot {
    std::vector<Table> tables;  // whole, MSysObjects order
    std::vector<std::string> tableErrors;
    std::vector<Relation> relations;
    std::string relationsError;
    std::vector<Query> queries;
    std::string queriesError;
    std::vector<AccessEntry> permissions;
    std::string permissionsError;
    std::string engineOwner;  // the SID, as stored, that owns the system tables
    bool accountsFound = false;
    std::vector<Account> accounts;
    std::string accountsError;
    std::vector<std::string> warnings;
    std::string readError;  // what libmdb reported while it read, failing every part not failed already
};

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

// The snapshot travels from the reader process as length-prefixed fields.
class Encoder {
public:
    void number(long long v) { out.append(reinterpret_cast<const char*>(&v), sizeof v); }
    void text(const std::string& s)
    {
        number(static_cast<long long>(s.size()));
        out += s;
    }
    std::string out;
};

class Decoder {
public:
    explicit Decoder(const std::string& in) : in_(in) {}
    long long number()
    {
        long long v = 0;
        if (at_ + sizeof v > in_.size()) throw std::runtime_error("short");
        std::memcpy(&v, in_.data() + at_, sizeof v);
        at_ += sizeof v;
        return v;
    }
    std::string text()
    {
        const auto n = static_cast<unsigned long long>(number());
        if (n > in_.size() - at_) throw std::runtime_error("short");
        std::string s = in_.substr(at_, n);
        at_ += n;
        return s;
    }
    std::size_t count() { return static_cast<std::size_t>(std::min<unsigned long long>(number(), in_.size())); }
    bool done() const { return at_ == in_.size(); }

private:
    const std::string& in_;
    std::size_t at_ = 0;
};

std::string encode(const Snapshot& s)
{
    Encoder e;
    e.number(static_cast<long long>(s.tables.size()));
    for (std::size_t i = 0; i < s.tables.size(); ++i) {
        const Table& t = s.tables[i];
        e.text(s.tableErrors[i]);
        e.text(t.name);
        e.text(t.created);
        e.number(t.flags);
        e.number(static_cast<long long>(t.fields.size()));
        for (const Field& f : t.fields) {
            e.text(f.name);
            for (long long v : {f.type, f.size, int(f.fixed), int(f.autoNumber), int(f.hyperlink), f.precision, f.scale,
                                int(f.required), int(f.allowZeroLength)})
                e.number(v);
            e.text(f.description);
            e.text(f.defaultValue);
            e.text(f.validationRule);
            e.text(f.complexKind);
        }
        e.number(static_cast<long long>(t.indexes.size()));
        for (const Index& x : t.indexes) {
            e.text(x.name);
            for (bool b : {x.primary, x.unique, x.ignoreNulls, x.required, x.foreign, x.clustered}) e.number(b);
            e.number(static_cast<long long>(x.fields.size()));
            for (const IndexField& f : x.fields) {
                e.text(f.name);
                e.number(f.descending);
            }
        }
    }
    e.text(s.relationsError);
    e.number(static_cast<long long>(s.relations.size()));
    for (const Relation& r : s.relations) {
        e.text(r.name);
        e.text(r.table);
        e.text(r.foreignTable);
        e.number(r.attributes);
        e.number(static_cast<long long>(r.fields.size()));
        for (const RelationField& f : r.fields) {
            e.text(f.name);
            e.text(f.foreignName);
        }
    }
    e.text(s.queriesError);
    e.number(static_cast<long long>(s.queries.size()));
    for (const Query& q : s.queries) {
        e.text(q.name);
        e.text(q.created);
        e.number(q.type);
        e.number(q.hasParameters);
        e.text(q.sql);
        e.text(q.problem);
    }
    e.text(s.permissionsError);
    e.number(static_cast<long long>(s.permissions.size()));
    for (const AccessEntry& a : s.permissions) {
        e.text(a.objectName);
        e.number(a.objectType);
        e.text(a.sid);
        e.number(a.mask);
    }
    e.text(s.engineOwner);
    e.number(s.accountsFound);
    e.text(s.accountsError);
    e.number(static_cast<long long>(s.accounts.size()));
    for (const Account& a : s.accounts) {
        e.text(a.name);
        e.text(a.sid);
        e.number(a.group);
        e.text(a.password);
    }
    e.number(static_cast<long long>(s.warnings.size()));
    for (const std::string& w : s.warnings) e.text(w);
    return std::move(e.out);
}

Snapshot decode(const std::string& in)
{
    Decoder d(in);
    Snapshot s;
    for (std::size_t n = d.count(); n > 0; --n) {
        Table t;
        s.tableErrors.push_back(d.text());
        t.name = d.text();
        t.created = d.text();
        t.flags = static_cast<std::uint32_t>(d.number());
        for (std::size_t k = d.count(); k > 0; --k) {
            Field f;
            f.name = d.text();
            f.type = static_cast<int>(d.number());
            f.size = static_cast<int>(d.number());
            f.fixed = d.number() != 0;
            f.autoNumber = d.number() != 0;
            f.hyperlink = d.number() != 0;
            f.precision = static_cast<int>(d.number());
            f.scale = static_cast<int>(d.number());
            f.required = d.number() != 0;
            f.allowZeroLength = d.number() != 0;
            f.description = d.text();
            f.defaultValue = d.text();
            f.validationRule = d.text();
            f.complexKind = d.text();
            t.fields.push_back(std::move(f));
        }
        for (std::size_t k = d.count(); k > 0; --k) {
            Index x;
            x.name = d.text();
            for (bool* b : {&x.primary, &x.unique, &x.ignoreNulls, &x.required, &x.foreign, &x.clustered})
                *b = d.number() != 0;
            for (std::size_t j = d.count(); j > 0; --j) {
                IndexField f;
                f.name = d.text();
                f.descending = d.number() != 0;
                x.fields.push_back(std::move(f));
            }
            t.indexes.push_back(std::move(x));
        }
        s.tables.push_back(std::move(t));
    }
    s.relationsError = d.text();
    for (std::size_t n = d.count(); n > 0; --n) {
        Relation r;
        r.name = d.text();
        r.table = d.text();
        r.foreignTable = d.text();
        r.attributes = static_cast<long>(d.number());
        for (std::size_t k = d.count(); k > 0; --k) {
            RelationField f;
            f.name = d.text();
            f.foreignName = d.text();
            r.fields.push_back(std::move(f));
        }
        s.relations.push_back(std::move(r));
    }
    s.queriesError = d.text();
    for (std::size_t n = d.count(); n > 0; --n) {
        Query q;
        q.name = d.text();
        q.created = d.text();
        q.type = static_cast<int>(d.number());
        q.hasParameters = d.number() != 0;
        q.sql = d.text();
        q.problem = d.text();
        s.queries.push_back(std::move(q));
    }
    s.permissionsError = d.text();
    for (std::size_t n = d.count(); n > 0; --n) {
        AccessEntry a;
        a.objectName = d.text();
        a.objectType = static_cast<int>(d.number());
        a.sid = d.text();
        a.mask = static_cast<std::uint32_t>(d.number());
        s.permissions.push_back(std::move(a));
    }
    s.engineOwner = d.text();
    s.accountsFound = d.number() != 0;
    s.accountsError = d.text();
    for (std::size_t n = d.count(); n > 0; --n) {
        Account a;
        a.name = d.text();
        a.sid = d.text();
        a.group = d.number() != 0;
        a.password = d.text();
        s.accounts.push_back(std::move(a));
    }
    for (std::size_t n = d.count(); n > 0; --n) s.warnings.push_back(d.text());
    if (!d.done()) throw std::runtime_error("long");
    return s;
}

bool writeAll(int fd, const std::string& data)
{
    for (std::size_t at = 0; at < data.size();) {
        const ssize_t n = ::write(fd, data.data() + at, data.size() - at);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        at += static_cast<std::size_t>(n);
    }
    return true;
}

// The reply of the reader program: a snapshot ('S') or an error ('E' with its kind), after the
// length of what follows.
std::string errorReply(Error::Kind kind, const std::string& what)
{
    Encoder error, reply;
    error.number(kind);
    error.text(what);
    reply.text("E" + error.out);
    return std::move(reply.out);
}

// Memory a sound catalogue never needs: 1 GiB, or eight times the file when that is more.
std::uintmax_t memoryLimitMiB(std::uintmax_t fileSize) { return std::max<std::uintmax_t>(1024, 8 * (fileSize >> 20)); }

// Watches the resident memory of the reader program from a thread of its own. Over the limit, it
// sends the prepared reply, unless the reader has begun its own, and ends the program.
class MemoryWatch {
public:
    MemoryWatch(std::uintmax_t limitMiB, int out, std::string reply)
        : statm_(::open("/proc/self/statm", O_RDONLY | O_CLOEXEC)), out_(out), reply_(std::move(reply)),
          limitPages_((limitMiB << 20) / static_cast<std::uintmax_t>(::sysconf(_SC_PAGESIZE))),
          thread_([this](std::stop_token stop) { watch(stop); })
    {
    }
    ~MemoryWatch()
    {
        thread_.request_stop();
        thread_.join();
        if (statm_ >= 0) ::close(statm_);
    }
    // Takes the reply for the reader; when the watch has taken it, waits for the watch to end the
    // program.
    void claim()
    {
        if (claimed_.exchange(true))
            for (;;) ::pause();
    }

private:
    void watch(const std::stop_token& stop)
    {
        char text[128];
        while (!stop.stop_requested() && statm_ >= 0) {
            const ssize_t n = ::pread(statm_, text, sizeof text - 1, 0);
            if (n <= 0) return;
            text[n] = '\0';
            const char* resident = std::strchr(text, ' ');
            if (resident && std::strtoull(resident, nullptr, 10) > limitPages_ && !claimed_.exchange(true)) {
                writeAll(out_, reply_);
                _exit(0);
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    }

    int statm_;
    int out_;
    std::string reply_;
    std::uintmax_t limitPages_;
    std::atomic<bool> claimed_{false};
    std::jthread thread_;  // last: starts when the rest is set
};

// The program the catalogue is read in, beside the running program; a test program runs from a
// folder of its own and finds it where the build puts it.
const std::string& readerProgram()
{
    static const std::string program = [] {
        std::error_code ec;
        const auto self = std::filesystem::read_symlink("/proc/self/exe", ec);
        if (!ec) {
            const auto beside = self.parent_path() / ReaderProgramName;
            if (::access(beside.c_str(), X_OK) == 0) return beside.string();
        }
        return (std::filesystem::path(DALV_JET_READER_FOLDER) / ReaderProgramName).string();
    }();
    return program;
}

// libmdb trusts the pages it reads: a damaged file can crash it, make it loop or make it grow
// without end. The catalogue is therefore read by a program of its own (ServeReader), killed when
// it takes longer than a file of this size ever needs, and ending itself when it needs more memory.
// A program, not a fork: a forked copy of this threaded process could inherit a lock another
// thread held. What libmdb writes on its standard error is read beside the reply: a failure it
// reports there (a page beyond the end, a record it does not know) means part of the catalogue
// came back short, so the file is damaged.
Snapshot readIsolated(const std::string& path, std::uintmax_t size)
{
    const int seconds = 30 + static_cast<int>(size >> 20);
    const auto unstarted = [&](int error) {
        return Error(Error::Unreadable, "\"" + path + "\" cannot be read: no reader could be started: " + readerProgram() +
                                            ": " + std::strerror(error));
    };
    int fds[2], errs[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) throw unstarted(errno);
    if (::pipe2(errs, O_CLOEXEC) != 0) {
        const int error = errno;
        ::close(fds[0]);
        ::close(fds[1]);
        throw unstarted(error);
    }
    const std::string limit = std::to_string(memoryLimitMiB(size));
    char* const args[] = {const_cast<char*>(readerProgram().c_str()), const_cast<char*>(path.c_str()),
                          const_cast<char*>(limit.c_str()), nullptr};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, errs[1], STDERR_FILENO);
    // The reader starts with no signal blocked or handled as in this thread.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t none, all;
    sigemptyset(&none);
    sigfillset(&all);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setsigdefault(&attributes, &all);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    pid_t pid = 0;
    const int spawned = ::posix_spawn(&pid, args[0], &actions, &attributes, args, environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    ::close(fds[1]);
    ::close(errs[1]);
    if (spawned != 0) {
        ::close(fds[0]);
        ::close(errs[0]);
        throw unstarted(spawned);
    }

    std::string reply, report;
    constexpr std::size_t kReportKept = 8192;  // a damaged file can make libmdb write without end
    bool timedOut = false;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    char buffer[65536];
    pollfd p[2] = {{fds[0], POLLIN, 0}, {errs[0], POLLIN, 0}};
    while (p[0].fd >= 0 || p[1].fd >= 0) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            timedOut = true;
            break;
        }
        const int ready = ::poll(p, 2, static_cast<int>(left.count()));
        if (ready < 0 && errno == EINTR) continue;
        if (ready <= 0) continue;
        for (int i = 0; i < 2; ++i) {
            if (p[i].fd < 0 || p[i].revents == 0) continue;
            const ssize_t n = ::read(p[i].fd, buffer, sizeof buffer);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) {
                ::close(p[i].fd);
                p[i].fd = -1;
                continue;
            }
            std::string& into = i == 0 ? reply : report;
            if (i == 0 || report.size() < kReportKept)
                into.append(buffer, i == 0 ? static_cast<std::size_t>(n)
                                           : std::min(static_cast<std::size_t>(n), kReportKept - report.size()));
        }
    }
    for (const pollfd& f : p)
        if (f.fd >= 0) ::close(f.fd);
    if (timedOut) ::kill(pid, SIGKILL);
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (timedOut)
        throw damaged(path, "reading its catalogue did not end within " + std::to_string(seconds) + " seconds");
    if (WIFSIGNALED(status))
        throw damaged(path, std::string("reading its catalogue stopped on ") + strsignal(WTERMSIG(status)));

    try {
        Decoder outer(reply);
        const std::string body = outer.text();
        if (!outer.done() || body.empty()) throw std::runtime_error("short");
        const std::string rest = body.substr(1);
        if (body[0] == 'S') {
            Snapshot s = decode(rest);
            // The parts take what libmdb reports while they are read; anything else the reader
            // process wrote tells of a failure outside them.
            if (const std::string line = firstLine(report); !line.empty())
                s.readError = damaged(path, "libmdb reported \"" + line + "\" while reading its catalogue").what();
            return s;
        }
        Decoder error(rest);
        const auto kind = static_cast<Error::Kind>(error.number());
        throw Error(kind, error.text());
    } catch (const Error&) {
        throw;
    } catch (const std::exception&) {
        throw damaged(path, "reading its catalogue ended without a result");
    }
}

}  // namespace

int ServeReader(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s FILE MEMORY-MIB\n", ReaderProgramName);
        return 2;
    }
    const std::string path = argv[1];
    const std::uintmax_t limitMiB = std::strtoull(argv[2], nullptr, 10);
    // The reply goes where standard output went; libmdb dumps pages it cannot make sense of on
    // standard output, which is then nowhere.
    const int out = ::fcntl(STDOUT_FILENO, F_DUPFD_CLOEXEC, 3);
    const int null = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
    if (out < 0 || null < 0 || ::dup2(null, STDOUT_FILENO) < 0) return 1;
    ::close(null);
    // A request far beyond the limit (a length read from damage) fails at once. A sanitizer's
    // shadow memory takes terabytes of address space, so there the watch alone keeps the limit.
#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
    const rlimit space{limitMiB << 21, limitMiB << 21};
    ::setrlimit(RLIMIT_AS, &space);
#endif
    const std::string overLimit = errorReply(
        Error::Unreadable,
        damaged(path, "reading its catalogue needed more than " + std::to_string(limitMiB) + " MiB of memory").what());
    std::string reply;
    {
        MemoryWatch watch(limitMiB, out, overLimit);
        try {
            Reader reader(path, ReadHeader(path));
            Encoder snapshot;
            snapshot.text("S" + encode(reader.read()));
            reply = std::move(snapshot.out);
        } catch (const std::bad_alloc&) {
            reply = overLimit;
        } catch (const Error& e) {
            reply = errorReply(e.kind(), e.what());
        } catch (const std::exception& e) {
            reply = errorReply(Error::Unreadable, damaged(path, e.what()).what());
        }
        watch.claim();
    }
    std::fflush(stderr);
    return writeAll(out, reply) ? 0 : 1;
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
