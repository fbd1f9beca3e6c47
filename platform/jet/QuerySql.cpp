// A saved query's SQL text rebuilt from its MSysQueries rows. Attributes: 1 type, 2 parameters,
// 3 select options, 4 external database, 5 tables (or union parts), 6 output columns, 7 joins,
// 8 WHERE, 9 GROUP BY, 10 HAVING, 11 ORDER BY; 0 and 255 open and close the rows.
#include "platform/jet/Jet.h"

#include <algorithm>
#include <cctype>
#include <map>

namespace jet {

namespace {

const char* const kEol = "\r\n";

// Select options (attribute 3 flag).
constexpr long kAllFields = 0x1, kDistinct = 0x2, kOwnerAccess = 0x4, kDistinctRow = 0x8, kTop = 0x10,
               kPercent = 0x20;

bool plainName(const std::string& s)
{
    if (s.empty()) return false;
    for (unsigned char c : s)
        if (!(c == '_' || (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c >= 0x80))
            return false;
    return true;
}

std::string bracket(const std::string& name) { return plainName(name) ? name : "[" + name + "]"; }

// A column reference that may carry its table ("Table1.Col 1"): each part bracketed as needed.
std::string reference(const std::string& name)
{
    if (name.find('[') != std::string::npos) return name;
    std::string out;
    for (std::size_t start = 0;;) {
        const std::size_t dot = name.find('.', start);
        out += bracket(name.substr(start, dot - start));
        if (dot == std::string::npos) return out;
        out += '.';
        start = dot + 1;
    }
}

// Parameter names like "Forms!Dialog!Field" are references: each part bracketed.
std::string parameterName(const std::string& name)
{
    if (!name.empty() && name.front() == '[') return name;
    std::string out;
    std::size_t start = 0;
    for (;;) {
        const std::size_t bang = name.find('!', start);
        out += "[" + name.substr(start, bang - start) + "]";
        if (bang == std::string::npos) break;
        out += "!";
        start = bang + 1;
    }
    return out;
}

std::string parameterType(long code)
{
    switch (code) {
    case 1: return "Bit";
    case 2: return "Byte";
    case 3: return "Short";
    case 4: return "Long";
    case 5: return "Currency";
    case 6: return "IEEESingle";
    case 7: return "IEEEDouble";
    case 8: return "DateTime";
    case 9: return "Binary";
    case 10: return "Text";
    case 11: return "LongBinary";
    case 12: return "Memo";
    case 15: return "Guid";
    default: return "Value";
    }
}

std::string trim(const std::string& s)
{
    const auto b = s.find_first_not_of(" \t\r\n");
    if (b == std::string::npos) return {};
    const auto e = s.find_last_not_of(" \t\r\n;");
    return s.substr(b, e - b + 1);
}

// Line breaks as CR LF, however the part was stored.
std::string crlf(const std::string& s)
{
    std::string out;
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '\r') continue;
        if (s[i] == '\n') {
            while (!out.empty() && out.back() == ' ') out.pop_back();
            out += "\r\n";
            continue;
        }
        out += s[i];
    }
    return out;
}

std::string joinList(const std::vector<std::string>& items, const char* sep = ", ")
{
    std::string out;
    for (const std::string& s : items) {
        if (!out.empty()) out += sep;
        out += s;
    }
    return out;
}

struct Rows {
    std::map<int, std::vector<const QueryRow*>> byAttribute;
    const std::vector<const QueryRow*>& operator[](int a) const
    {
        static const std::vector<const QueryRow*> none;
        auto it = byAttribute.find(a);
        return it == byAttribute.end() ? none : it->second;
    }
    const QueryRow* first(int a) const { return (*this)[a].empty() ? nullptr : (*this)[a].front(); }
};

// The FROM list with its joins; missing gets the name a join refers to that no table row has.
std::string fromClause(const Rows& rows, std::string* missing)
{
    // Each table (or alias) belongs to one group; a join merges the groups of its two sides.
    struct Group {
        std::string text;
        bool joined = false;
    };
    std::vector<Group> groups;
    std::map<std::string, std::size_t> groupOf;  // table or alias name -> group
    std::vector<std::string> order;               // names in listing order
    for (const QueryRow* t : rows[5]) {
        std::string item;
        std::string key;
        if (!t->expression.empty()) {  // a derived table
            item = "(" + trim(t->expression) + ")";
            key = t->name2;
            if (!t->name2.empty()) item += " AS " + bracket(t->name2);
        } else {
            item = bracket(t->name1);
            key = t->name2.empty() ? t->name1 : t->name2;
            if (!t->name2.empty()) item += " AS " + bracket(t->name2);
        }
        if (const QueryRow* ext = rows.first(4); ext && t->expression.empty() && !ext->name1.empty())
            item += " IN '" + ext->name1 + "'";
        groupOf[key] = groups.size();
        order.push_back(key);
        groups.push_back({item, false});
    }
    for (const QueryRow* j : rows[7]) {
        auto l = groupOf.find(j->name1), r = groupOf.find(j->name2);
        if (l == groupOf.end() || r == groupOf.end()) {
            *missing = l == groupOf.end() ? j->name1 : j->name2;
            return {};
        }
        const std::size_t gl = l->second, gr = r->second;
        if (gl == gr) {
            groups[gl].text += " AND " + j->expression;
            continue;
        }
        const char* kind = j->flag == 2 ? " LEFT JOIN " : j->flag == 3 ? " RIGHT JOIN " : " INNER JOIN ";
        auto side = [&](std::size_t g) { return groups[g].joined ? "(" + groups[g].text + ")" : groups[g].text; };
        groups[gl].text = side(gl) + kind + side(gr) + " ON " + j->expression;
        groups[gl].joined = true;
        for (auto& [name, g] : groupOf)
            if (g == gr) g = gl;
    }
    std::vector<std::string> items;
    std::vector<bool> used(groups.size(), false);
    for (const std::string& name : order) {
        const std::size_t g = groupOf[name];
        if (used[g]) continue;
        used[g] = true;
        items.push_back(groups[g].text);
    }
    return joinList(items);
}

// Whether the SQL text has UNION as a word outside quotes, brackets and parentheses.
bool hasUnion(const std::string& sql)
{
    int depth = 0;
    char quote = 0;
    for (std::size_t i = 0; i < sql.size(); ++i) {
        const char c = sql[i];
        if (quote) {
            if (c == quote) quote = 0;
        } else if (c == '"' || c == '\'') {
            quote = c;
        } else if (c == '[') {
            quote = ']';
        } else if (c == '(') {
            ++depth;
        } else if (c == ')') {
            --depth;
        } else if (depth == 0 && i + 5 <= sql.size() && (i == 0 || !std::isalnum(static_cast<unsigned char>(sql[i - 1]))) &&
                   (i + 5 == sql.size() || !std::isalnum(static_cast<unsigned char>(sql[i + 5])))) {
            std::string word = sql.substr(i, 5);
            for (char& w : word) w = static_cast<char>(std::toupper(static_cast<unsigned char>(w)));
            if (word == "UNION") return true;
        }
    }
    return false;
}

std::string selectHead(const Rows& rows)
{
    std::string head = "SELECT ";
    if (const QueryRow* opt = rows.first(3)) {
        if (opt->flag & kDistinct) head += "DISTINCT ";
        if (opt->flag & kDistinctRow) head += "DISTINCTROW ";
        if (opt->flag & kTop) head += "TOP " + opt->name1 + ((opt->flag & kPercent) ? " PERCENT " : " ");
    }
    return head;
}

std::string column(const QueryRow* c)
{
    return c->name1.empty() ? c->expression : c->expression + " AS " + bracket(c->name1);
}

std::vector<std::string> orderBy(const Rows& rows)
{
    std::vector<std::string> items;
    for (const QueryRow* o : rows[11]) items.push_back(o->expression + (o->name1 == "D" ? " DESC" : ""));
    return items;
}

// The tail shared by select-like queries: WHERE, GROUP BY, HAVING, ORDER BY.
void appendClauses(std::vector<std::string>& lines, const Rows& rows, bool crosstab)
{
    if (const QueryRow* w = rows.first(8)) lines.push_back("WHERE " + w->expression);
    std::vector<std::string> group;
    for (const QueryRow* g : rows[9])
        if (!crosstab || g->flag != 1) group.push_back(g->expression);
    if (!group.empty()) lines.push_back("GROUP BY " + joinList(group));
    if (const QueryRow* h = rows.first(10)) lines.push_back("HAVING " + h->expression);
    if (auto o = orderBy(rows); !o.empty()) lines.push_back("ORDER BY " + joinList(o));
}

}  // namespace

std::string SqlOnOneLine(const std::string& sql)
{
    std::string out;
    for (std::size_t i = 0; i < sql.size(); ++i) {
        if (sql[i] == '\r' || sql[i] == '\n') {
            out += ' ';
            if (sql[i] == '\r' && i + 1 < sql.size() && sql[i + 1] == '\n') ++i;
        } else {
            out += sql[i];
        }
    }
    return out;
}

std::string QueryTypeName(int type)
{
    switch (type) {
    case SelectQuery: return "Select";
    case MakeTableQuery: return "Make Table";
    case AppendQuery: return "Append";
    case UpdateQuery: return "Update";
    case DeleteQuery: return "Delete";
    case CrosstabQuery: return "Crosstab";
    case DataDefinitionQuery: return "Data Definition";
    case PassThroughQuery: return "Pass-Through";
    case UnionQuery: return "Union";
    default: return "Unknown";
    }
}

Query RebuildQuery(const std::vector<QueryRow>& all, std::uint32_t objectFlags)
{
    Query q;
    Rows rows;
    for (const QueryRow& r : all) rows.byAttribute[r.attribute].push_back(&r);
    const QueryRow* typeRow = rows.first(1);
    // Without a type row the query's MSysObjects flags tell its type: bits 4 to 7 count from select.
    // A type row without a known type defers to them too.
    int type = static_cast<int>((objectFlags >> 4) & 0xF) + 1;
    if (typeRow && typeRow->hasFlag &&
        ((typeRow->flag >= SelectQuery && typeRow->flag <= UnionQuery) || objectFlags == 0))
        type = static_cast<int>(typeRow->flag);
    q.type = type;
    q.hasParameters = !rows[2].empty();
    const auto fail = [&](const std::string& why) {
        q.problem = why;
        return q;
    };
    if (type < SelectQuery || type > UnionQuery) return fail("its type (" + std::to_string(type) + ") is not known");

    std::vector<std::string> lines;
    if (!rows[2].empty()) {
        // The name stands in Name1, or in Name2 where a file keeps it there as it keeps the
        // columns an update sets.
        std::vector<std::string> params;
        for (const QueryRow* p : rows[2]) {
            const std::string& name = !p->name1.empty() ? p->name1 : !p->name2.empty() ? p->name2 : p->expression;
            if (name.empty()) return fail("a parameter has no name");
            params.push_back(parameterName(name) + " " + parameterType(p->flag));
        }
        lines.push_back("PARAMETERS " + joinList(params) + ";");
    }
    const long options = rows.first(3) ? rows.first(3)->flag : 0;
    std::vector<std::string> columns;
    if (options & kAllFields) columns.push_back("*");
    std::string from;
    if (type != UnionQuery && type != DataDefinitionQuery && type != PassThroughQuery) {
        for (const QueryRow* t : rows[5])
            if (t->name1.empty() && t->expression.empty()) return fail("a table it reads has no name");
        std::string missing;
        from = fromClause(rows, &missing);
        if (!missing.empty()) return fail("a join names \"" + missing + "\", which the query does not read");
    }
    const auto fromLine = [&] {
        if (!from.empty()) lines.push_back("FROM " + from);
    };
    // The column a value goes to (append and update): Name2, or Name1 in files that keep it there.
    const auto target = [](const QueryRow* c) { return c->name2.empty() ? c->name1 : c->name2; };

    switch (type) {
    case UnionQuery: {
        // The parts in the order of their generated names (X7YZ_____1, X7YZ_____2); a part may
        // itself hold a whole "SELECT ... UNION SELECT ..." text.
        std::vector<const QueryRow*> partRows = rows[5];
        std::stable_sort(partRows.begin(), partRows.end(), [](const QueryRow* a, const QueryRow* b) {
            return a->name2.size() != b->name2.size() ? a->name2.size() < b->name2.size() : a->name2 < b->name2;
        });
        std::vector<std::string> parts;
        for (const QueryRow* p : partRows) {
            const std::string part = crlf(trim(p->expression));
            if (part.empty()) return fail("a part of the union has no SQL text");
            parts.push_back(part);
        }
        if (parts.empty() || (parts.size() == 1 && !hasUnion(parts.front())))
            return fail("the union has fewer than two parts");
        const std::string sep = std::string(kEol) + ((options & kDistinct) ? "UNION " : "UNION ALL ");
        lines.push_back(joinList(parts, sep.c_str()));
        if (auto o = orderBy(rows); !o.empty()) lines.push_back("ORDER BY " + joinList(o));
        break;
    }
    case CrosstabQuery: {
        std::string value, pivot;
        for (const QueryRow* c : rows[6]) {
            if (c->flag == 0 && value.empty()) value = column(c);
            else if (c->flag == 1) pivot = c->expression;
            else if (c->flag == 2) columns.push_back(column(c));
        }
        if (value.empty() || pivot.empty() || columns.empty() || from.empty())
            return fail("its value, pivot, row headings or tables are missing");
        lines.push_back("TRANSFORM " + value);
        lines.push_back(selectHead(rows) + joinList(columns));
        fromLine();
        appendClauses(lines, rows, true);
        lines.push_back("PIVOT " + pivot);
        break;
    }
    case UpdateQuery: {
        std::vector<std::string> sets;
        for (const QueryRow* c : rows[6]) {
            if (target(c).empty() || c->expression.empty()) return fail("a value it sets has no column or no value");
            sets.push_back(reference(target(c)) + " = " + c->expression);
        }
        if (sets.empty() || from.empty()) return fail("it names no table or no column to set");
        lines.push_back("UPDATE " + from + " SET " + joinList(sets));
        if (const QueryRow* w = rows.first(8)) lines.push_back("WHERE " + w->expression);
        break;
    }
    case DeleteQuery: {
        for (const QueryRow* c : rows[6]) columns.push_back(column(c));
        if (columns.empty() || from.empty()) return fail("it names no table to delete from");
        lines.push_back("DELETE " + joinList(columns));
        fromLine();
        if (const QueryRow* w = rows.first(8)) lines.push_back("WHERE " + w->expression);
        break;
    }
    case AppendQuery: {
        std::vector<std::string> targets;
        for (const QueryRow* c : rows[6]) {
            if (c->expression.empty()) return fail("a value it appends is empty");
            columns.push_back(c->expression);
            if (!target(c).empty()) targets.push_back(reference(target(c)));
        }
        const std::string table = typeRow ? typeRow->name1 : std::string();
        if (table.empty() || columns.empty()) return fail("it names no target table or no values");
        if (!targets.empty() && targets.size() != rows[6].size()) return fail("a value it appends has no target column");
        lines.push_back("INSERT INTO " + bracket(table) + (targets.empty() ? "" : " ( " + joinList(targets) + " )"));
        lines.push_back(selectHead(rows) + joinList(columns));
        fromLine();
        appendClauses(lines, rows, false);
        break;
    }
    case DataDefinitionQuery:
    case PassThroughQuery: {
        // The statement is kept whole, as written, in the type row (Jet 4), or else in the one
        // row that carries text.
        std::string statement = typeRow ? crlf(trim(typeRow->expression)) : std::string();
        for (const QueryRow& r : all)
            if (statement.empty() && r.attribute != 0 && r.attribute != 255) statement = crlf(trim(r.expression));
        if (statement.empty()) return fail("its statement text is missing");
        lines.push_back(statement);
        break;
    }
    default: {  // select and make-table
        for (const QueryRow* c : rows[6]) columns.push_back(column(c));
        if (columns.empty()) return fail("it selects no columns");
        lines.push_back(selectHead(rows) + joinList(columns));
        if (type == MakeTableQuery) {
            if (!typeRow || typeRow->name1.empty()) return fail("it names no table to make");
            lines.push_back("INTO " + bracket(typeRow->name1));
        }
        fromLine();
        appendClauses(lines, rows, false);
        break;
    }
    }
    if (options & kOwnerAccess) lines.push_back("WITH OWNERACCESS OPTION");

    q.sql = joinList(lines, kEol) + ";" + kEol;
    return q;
}

}  // namespace jet
