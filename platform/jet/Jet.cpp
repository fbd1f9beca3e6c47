#include "platform/jet/Jet.h"

#include <mdbtools.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <unordered_map>

namespace jet {

namespace {

// The header page is masked with RC4 under this fixed key from offset 0x18 on.
constexpr std::array<unsigned char, 4> kHeaderKey{0xC7, 0xDA, 0x39, 0x6B};
constexpr std::size_t kMaskStart = 0x18;
constexpr std::size_t kPasswordAt = 0x42;
constexpr std::size_t kKeyAt = 0x3E;
constexpr std::size_t kCreatedAt = 0x72;

void rc4Apply(unsigned char* data, std::size_t n)
{
    unsigned char s[256];
    for (int i = 0; i < 256; ++i) s[i] = static_cast<unsigned char>(i);
    for (int i = 0, j = 0; i < 256; ++i) {
        j = (j + s[i] + kHeaderKey[i % kHeaderKey.size()]) & 0xFF;
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

}  // namespace

Header ReadHeader(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) throw Error(Error::NotFound, "The file \"" + path + "\" cannot be opened.");
    unsigned char page[0x100] = {};
    in.read(reinterpret_cast<char*>(page), sizeof page);
    const auto got = static_cast<std::size_t>(in.gcount());
    const bool magic = got == sizeof page && page[0] == 0 && page[1] == 1 && page[2] == 0 && page[3] == 0 &&
                       (std::memcmp(page + 4, "Standard Jet DB", 15) == 0 ||
                        std::memcmp(page + 4, "Standard ACE DB", 15) == 0);
    if (!magic) throw Error(Error::NotADatabase, "\"" + path + "\" is not an Access database.");

    Header h;
    h.version = page[0x14];
    rc4Apply(page + kMaskStart, h.version == 0 ? 126 : 128);
    h.key = static_cast<std::uint32_t>(page[kKeyAt]) | static_cast<std::uint32_t>(page[kKeyAt + 1]) << 8 |
            static_cast<std::uint32_t>(page[kKeyAt + 2]) << 16 | static_cast<std::uint32_t>(page[kKeyAt + 3]) << 24;
    if (h.version == 0) {
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

struct Database::Impl {
    MdbHandle* mdb = nullptr;
    struct Object {
        long id = 0;
        std::string name, created;
        int type = 0;
        std::uint32_t flags = 0;
    };
    std::vector<Object> objects;  // MSysObjects, file order

    ~Impl()
    {
        if (mdb) mdb_close(mdb);
    }

    MdbCatalogEntry* entry(const std::string& name, int type) const
    {
        for (guint i = 0; i < mdb->num_catalog; ++i) {
            auto* e = static_cast<MdbCatalogEntry*>(g_ptr_array_index(mdb->catalog, i));
            if (e->object_type == type && name == e->object_name) return e;
        }
        return nullptr;
    }

    // Rows of a system table, the named columns as text (nullopt for Null). Empty when the
    // table is missing.
    std::vector<Row> rows(const char* tableName, const std::vector<const char*>& columns, bool* found = nullptr) const
    {
        std::vector<Row> out;
        MdbCatalogEntry* e = entry(tableName, MDB_TABLE);
        if (found) *found = e != nullptr;
        if (!e) return out;
        MdbTableDef* t = mdb_read_table(e);
        if (!t) {
            if (found) *found = false;
            return out;
        }
        mdb_read_columns(t);
        mdb_rewind_table(t);
        std::vector<std::vector<char>> buffers(columns.size(), std::vector<char>(mdb->bind_size + 1));
        std::vector<int> lengths(columns.size(), 0);
        std::vector<bool> bound(columns.size(), false);
        for (std::size_t c = 0; c < columns.size(); ++c)
            for (guint k = 0; k < t->num_cols; ++k) {
                auto* col = static_cast<MdbColumn*>(g_ptr_array_index(t->columns, k));
                if (std::strcmp(col->name, columns[c]) == 0) {
                    mdb_bind_column(t, static_cast<int>(k + 1), buffers[c].data(), &lengths[c]);
                    bound[c] = true;
                    break;
                }
            }
        // A damaged file can make the page chain loop: never read more rows than the table has.
        unsigned fetched = 0;
        for (; fetched < t->num_rows && mdb_fetch_row(t); ++fetched) {
            Row row(columns.size());
            for (std::size_t c = 0; c < columns.size(); ++c) {
                if (!bound[c] || lengths[c] <= 0) continue;
                row[c] = std::string(buffers[c].data(), static_cast<std::size_t>(lengths[c]));
            }
            out.push_back(std::move(row));
            for (std::size_t c = 0; c < columns.size(); ++c) buffers[c][0] = '\0';
        }
        const bool complete = fetched == t->num_rows;
        mdb_free_tabledef(t);
        // Rows on pages that are gone would silently drop objects from the catalogue.
        if (!complete)
            throw Error(Error::Unreadable, std::string("The file is damaged: rows of ") + tableName + " are missing.");
        return out;
    }

    const Object* object(const std::string& name, int type) const
    {
        for (const Object& o : objects)
            if (o.type == type && o.name == name) return &o;
        return nullptr;
    }
};

Database::Database(const std::string& path, const std::string& password) : d_(std::make_unique<Impl>())
{
    header_ = ReadHeader(path);
    if (header_.version >= 2 && (header_.key != 0 || !header_.password.empty()))
        throw Error(Error::EncryptedAccdb,
                    "\"" + path + "\" is protected by a database password, which encrypts an ACCDB file; "
                    "such a file cannot be read here. Remove the password in Access and try again.");
    if (header_.key != 0)
        throw Error(Error::Unreadable, "\"" + path + "\" is an encrypted Access database and cannot be read.");
    if (header_.password != password)
        throw Error(Error::WrongPassword, "The database password is not valid.");

    std::error_code ec;
    const auto size = std::filesystem::file_size(path, ec);
    const std::uintmax_t page = header_.version == 0 ? 2048 : 4096;
    if (ec || size % page != 0 || size < 3 * page)
        throw Error(Error::Unreadable, "\"" + path + "\" is incomplete or damaged and cannot be read.");

    d_->mdb = mdb_open(path.c_str(), MDB_NOFLAGS);
    if (!d_->mdb) throw Error(Error::NotADatabase, "\"" + path + "\" is not an Access database.");
    mdb_set_bind_size(d_->mdb, 1 << 16);
    mdb_set_date_fmt(d_->mdb, "%Y-%m-%d %H:%M:%S");
    mdb_set_boolean_fmt_numbers(d_->mdb);
    // The pages of an ACCDB protected by a password are encrypted: its catalogue reads as noise.
    const auto unreadable = [&] {
        if (header_.version >= 2)
            return Error(Error::EncryptedAccdb, "The catalogue of \"" + path + "\" cannot be read: the file is damaged "
                                                "or encrypted with a database password, and an encrypted ACCDB file "
                                                "cannot be read here.");
        return Error(Error::Unreadable, "The catalogue of \"" + path + "\" cannot be read; the file is damaged.");
    };
    if (!mdb_read_catalog(d_->mdb, MDB_ANY) || d_->mdb->num_catalog == 0) throw unreadable();

    bool found = false;
    std::vector<Row> objectRows;
    try {
        objectRows = d_->rows("MSysObjects", {"Id", "Name", "Type", "DateCreate", "Flags"}, &found);
    } catch (const Error&) {
        throw unreadable();
    }
    for (const Row& r : objectRows) {
        if (!r[0] || !r[1] || !r[2]) continue;
        Impl::Object o;
        o.id = std::strtol(r[0]->c_str(), nullptr, 10);
        o.name = *r[1];
        o.type = static_cast<int>(std::strtol(r[2]->c_str(), nullptr, 10));
        o.created = r[3].value_or("");
        o.flags = r[4] ? static_cast<std::uint32_t>(std::strtoll(r[4]->c_str(), nullptr, 10)) : 0u;
        d_->objects.push_back(std::move(o));
    }
    if (!found || d_->objects.empty()) throw unreadable();
}

Database::~Database() = default;

std::vector<Table> Database::Tables() const
{
    std::vector<Table> tables;
    for (const Impl::Object& o : d_->objects) {
        if (o.type != MDB_TABLE || !d_->entry(o.name, MDB_TABLE)) continue;
        Table t;
        t.name = o.name;
        t.created = o.created;
        t.flags = o.flags;
        tables.push_back(std::move(t));
    }
    std::stable_sort(tables.begin(), tables.end(), [](const Table& a, const Table& b) { return lessNoCase(a.name, b.name); });
    return tables;
}

Table Database::ReadTable(const std::string& name) const
{
    MdbCatalogEntry* e = d_->entry(name, MDB_TABLE);
    if (!e) throw Error(Error::Unreadable, "The table \"" + name + "\" is not in the catalogue.");
    std::unique_ptr<MdbTableDef, void (*)(MdbTableDef*)> t(mdb_read_table(e), mdb_free_tabledef);
    if (!t) throw Error(Error::Unreadable, "The definition of the table \"" + name + "\" cannot be read.");
    mdb_read_columns(t.get());
    mdb_read_indices(t.get());

    Table table;
    table.name = name;
    if (const Impl::Object* o = d_->object(name, MDB_TABLE)) {
        table.created = o->created;
        table.flags = o->flags;
    }

    std::vector<MdbColumn*> cols;
    for (guint k = 0; k < t->num_cols; ++k) cols.push_back(static_cast<MdbColumn*>(g_ptr_array_index(t->columns, k)));
    std::stable_sort(cols.begin(), cols.end(), [](MdbColumn* a, MdbColumn* b) { return a->col_num < b->col_num; });
    const bool wide = d_->mdb->f->jet_version != MDB_VER_JET3;
    for (MdbColumn* c : cols) {
        Field f;
        f.name = c->name;
        f.type = c->col_type;
        f.fixed = c->is_fixed != 0;
        f.autoNumber = c->is_long_auto != 0;
        switch (c->col_type) {
        case MDB_TEXT: f.size = wide ? c->col_size / 2 : c->col_size; break;
        case MDB_MEMO:
        case MDB_OLE: f.size = 0; break;
        case MDB_NUMERIC:
            f.size = 16;
            f.precision = c->col_prec;
            f.scale = c->col_scale;
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
        default: f.size = c->col_size; break;
        }
        f.description = text(mdb_col_get_prop(c, "Description"));
        f.defaultValue = text(mdb_col_get_prop(c, "DefaultValue"));
        f.validationRule = text(mdb_col_get_prop(c, "ValidationRule"));
        f.required = yes(mdb_col_get_prop(c, "Required"), false);
        f.allowZeroLength = yes(mdb_col_get_prop(c, "AllowZeroLength"), false);
        table.fields.push_back(std::move(f));
    }

    for (guint i = 0; t->indices && i < t->indices->len; ++i) {
        auto* idx = static_cast<MdbIndex*>(g_ptr_array_index(t->indices, i));
        Index x;
        x.name = idx->name;
        x.primary = idx->index_type == 1;
        x.foreign = idx->index_type == 2;
        x.unique = x.primary || (idx->flags & MDB_IDX_UNIQUE) != 0;
        x.ignoreNulls = (idx->flags & MDB_IDX_IGNORENULLS) != 0;
        x.required = x.primary || (idx->flags & MDB_IDX_REQUIRED) != 0;
        for (unsigned j = 0; j < idx->num_keys && j < MDB_MAX_IDX_COLS; ++j) {
            const int colNum = idx->key_col_num[j] - 1;
            auto it = std::find_if(cols.begin(), cols.end(), [&](MdbColumn* c) { return c->col_num == colNum; });
            if (it == cols.end()) continue;
            x.fields.push_back({(*it)->name, idx->key_col_order[j] == MDB_DESC});
        }
        table.indexes.push_back(std::move(x));
    }
    return table;
}

std::vector<Relation> Database::Relations() const
{
    std::vector<Relation> out;
    std::map<std::string, std::size_t> byName;
    std::vector<std::vector<std::pair<long, RelationField>>> fields;
    for (const Row& r : d_->rows("MSysRelationships", {"szRelationship", "grbit", "icolumn", "szObject", "szColumn",
                                                        "szReferencedObject", "szReferencedColumn"})) {
        if (!r[0]) continue;
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
    for (std::size_t i = 0; i < out.size(); ++i) {
        std::stable_sort(fields[i].begin(), fields[i].end(), [](const auto& a, const auto& b) { return a.first < b.first; });
        for (auto& f : fields[i]) out[i].fields.push_back(std::move(f.second));
    }
    std::stable_sort(out.begin(), out.end(), [](const Relation& a, const Relation& b) { return lessNoCase(a.name, b.name); });
    return out;
}

std::vector<Query> Database::Queries() const
{
    std::unordered_map<long, std::vector<QueryRow>> rowsById;
    for (const Row& r : d_->rows("MSysQueries", {"ObjectId", "Attribute", "Order", "Name1", "Name2", "Expression", "Flag"})) {
        if (!r[0] || !r[1]) continue;
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
    std::vector<Query> out;
    for (const Impl::Object& o : d_->objects) {
        if (o.type != MDB_QUERY) continue;
        Query q;
        q.name = o.name;
        q.created = o.created;
        q.sql = RebuildQuerySql(rowsById[o.id], &q.type, &q.hasParameters);
        out.push_back(std::move(q));
    }
    std::stable_sort(out.begin(), out.end(), [](const Query& a, const Query& b) { return lessNoCase(a.name, b.name); });
    return out;
}

}  // namespace jet
