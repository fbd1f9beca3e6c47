#include "import/cDAO.h"

#include "core/bErrorHandler.h"
#include "core/bGlobal.h"
#include "platform/ui/Prompter.h"

#include <QString>

#include <algorithm>
#include <exception>

namespace {

bool sameNoCase(const std::string& a, const std::string& b)
{
    return QString::fromStdString(a).compare(QString::fromStdString(b), Qt::CaseInsensitive) == 0;
}

const char* yesNo(bool b) { return b ? "Yes" : "No"; }

}  // namespace

cDAO::cDAO() = default;
cDAO::~cDAO() = default;

std::unique_ptr<jet::Database> cDAO::OpenAccessFile(const std::string& path, const std::string& password,
                                                    const std::string& workgroup, const std::string& user,
                                                    const std::string& userPassword, const char* source,
                                                    std::vector<jet::Account>* accounts)
{
    const auto refuse = [](const std::string& message) {
        ui::MsgBox(message, ui::MsgButtons::OK, ui::MsgIcon::Critical, "Dalvane 4.5");
        return nullptr;
    };
    // The user is admin with an empty password when none is given.
    const bool named = !user.empty();
    const std::string login = named ? user : "admin";
    const std::string loginPassword = named ? userPassword : std::string();
    try {
        // A file that is no Access database is named as such before any login is looked at.
        jet::ReadHeader(path);
        // Without a workgroup file, Jet's default workgroup knows admin alone, with no password.
        if (workgroup.empty() && (!sameNoCase(login, "admin") || !loginPassword.empty()))
            return refuse("Incorrect database login name and password, try again!");
        if (!workgroup.empty()) {
            std::vector<jet::Account> known;
            jet::Header header;
            try {
                const jet::Database system(workgroup, "");
                if (!system.HasAccounts())
                    return refuse("\"" + workgroup + "\" holds no users or groups, so it is not a workgroup information file.");
                known = system.Accounts();
                header = system.header();
            } catch (const jet::Error&) {
                return refuse("The workgroup information file \"" + workgroup + "\" cannot be read.");
            }
            // The user must be one of the file's users, with the password the file keeps for it.
            const auto account = std::find_if(known.begin(), known.end(),
                                              [&](const jet::Account& a) { return !a.group && sameNoCase(a.name, login); });
            if (account == known.end() || !jet::PasswordMatches(account->password, loginPassword, header))
                return refuse("Incorrect database login name and password, try again!");
            for (jet::Account& a : known) a.password.clear();
            if (accounts) *accounts = std::move(known);
        }
        return std::make_unique<jet::Database>(path, password);
    } catch (const jet::Error& e) {
        if (e.kind() == jet::Error::WrongPassword)
            ui::MsgBox("Incorrect database login name and password, try again!", ui::MsgButtons::OK,
                       ui::MsgIcon::Critical, "Dalvane 4.5");
        else
            ui::MsgBox(e.what(), ui::MsgButtons::OK, ui::MsgIcon::Critical, "Dalvane 4.5");
    } catch (const std::exception& e) {
        HandleError(jet::ErrorNumber, e.what(), source);
    }
    return nullptr;
}

bool cDAO::OpenDalvDatabase()
{
    raise(1, "Connecting to database " + DatabaseName);
    // The workgroup file, user and password belong to this reader only; nothing carries over to
    // the next import.
    m_Database =
        OpenAccessFile(DatabasePath, AccessPassword, WorkgroupDatabase, UserName, Password, "cDAO.OpenDalvDatabase");
    if (m_Database) ReportWarnings(*m_Database, "cDAO.OpenDalvDatabase");
    return m_Database != nullptr;
}

void cDAO::ReportWarnings(const jet::Database& database, const std::string& source)
{
    for (const std::string& w : database.Warnings()) ReportWarning(w, source);
}

bool cDAO::GenerateXML()
{
    if (!m_Database) return false;
    try {
        StartXML("DATABASE");
        GenerateTables();
        if (stopped()) return false;
        GenerateViewsXML();
        if (stopped()) return false;
        raise(4, "Database imported");
        return !m_Cancel;
    } catch (const std::exception& e) {
        HandleError(jet::ErrorNumber, e.what(), "GenerateXML");
        return false;
    }
}

void cDAO::StartXML(const std::string& rootName)
{
    oResultXML = xml::Document();
    m_Root = oResultXML.createRoot(rootName);
    m_Root.setAttribute("Report", "1");
    m_Root.setAttribute("Created_On", FormatShortDate());
    m_Root.setAttribute("Name", DatabaseName);
    m_Root.setAttribute("Database_Engine", DatabaseEngine);
    m_TableNodes.clear();
}

void cDAO::GenerateTables()
{
    try {
        raise(3, "Importing tables in " + DatabaseName);
        for (const jet::Table& entry : m_Database->Tables()) {
            if (entry.system() || entry.hidden()) continue;
            raise(3, "Importing table " + entry.name);
            if (m_Cancel) return;
            const jet::Table table = m_Database->ReadTable(entry.name);
            xml::Node t = m_Root.appendElement("TABLE");
            t.setAttribute("Name", table.name);
            t.setAttribute("Created_On", table.created);
            t.setAttribute("Report", "1");
            t.setAttribute("Migrate", "0");
            m_TableNodes.emplace(table.name, t);
            int position = 1;
            for (const jet::Field& f : table.fields) {
                raise(3, "Importing properties of column - " + f.name + " in table " + table.name);
                // A zero-length string is a value, not a Null: only Required forbids Nulls, and a
                // Yes/No field is never Null.
                const char* nullAllowed = f.required || f.type == jet::Boolean ? "False" : "True";
                if (m_Cancel) return;
                const std::string primaryKey = GetPrimaryKey(table, f.name);
                if (m_Cancel) return;
                xml::Node c = t.appendElement("COLUMN");
                c.setAttribute("Column_Name", f.name);
                c.setAttribute("Data_Type", jetTypeName(f));
                // A decimal's precision, not its 16 bytes: its scale goes with the type name.
                c.setAttribute("Precision", std::to_string(f.type == jet::Decimal ? f.precision : f.size));
                c.setAttribute("Ordinal_Position", std::to_string(position++));
                c.setAttribute("Column_Default", f.defaultValue);
                c.setAttribute("Null_Allowed", nullAllowed);
                c.setAttribute("Check_Constraint", f.validationRule);
                c.setAttribute("Description", f.description);
                c.setAttribute("Primary_Key", primaryKey);
                c.setAttribute("Report", "1");
                c.setAttribute("Migrate", "0");
                if (m_Cancel) return;
            }
            GenerateIndexXML(table, t);
            if (stopped()) return;
        }
    } catch (const std::exception& e) {
        m_Failed = true;
        HandleError(jet::ErrorNumber, e.what(), "cDAO.GenerateTables");
        return;
    }
    GenerateForeignKeysXML();
}

std::string cDAO::jetTypeName(const jet::Field& field)
{
    switch (field.type) {
    case jet::Boolean: return "Boolean";
    case jet::Byte: return "Byte";
    case jet::Integer: return "Integer";
    case jet::Long: return "Long Integer";
    case jet::Currency: return "Currency";
    case jet::Single: return "Single";
    case jet::Double: return "Double";
    case jet::DateTime: return "Date / Time";
    case jet::Binary: return "Binary";
    case jet::Text: return "Text";
    case jet::LongBinary: return "Long Binary (OLE Object)";
    case jet::Memo: return "Memo";
    case jet::Guid: return "Replication ID";
    case jet::Decimal: return "Decimal(" + std::to_string(field.precision) + "," + std::to_string(field.scale) + ")";
    case jet::Complex: return field.complexKind.empty() ? "Complex" : field.complexKind;
    default: return "";
    }
}

std::string cDAO::QueryText(const jet::Query& q)
{
    if (!q.problem.empty()) return "-- The SQL text of this query cannot be rebuilt from the file: " + q.problem + ".";
    // A carriage return would not survive the document being saved and read again (XML turns it
    // into a line feed), so every line break becomes a blank.
    return jet::SqlOnOneLine(q.sql);
}

std::string cDAO::GetPrimaryKey(const jet::Table& table, const std::string& fieldName)
{
    raise(3, "Fetching primary keys table " + table.name);
    for (const jet::Index& index : table.indexes) {
        if (m_Cancel) return "";
        if (!index.primary) continue;
        for (const jet::IndexField& f : index.fields)
            if (sameNoCase(f.name, fieldName)) return index.name;
    }
    return "";
}

void cDAO::GenerateIndexXML(const jet::Table& table, xml::Node tableNode)
{
    raise(3, "Importing indexes in " + table.name);
    for (const jet::Index& index : table.indexes) {
        if (index.foreign) continue;
        raise(3, "Importing index " + index.name + " in " + table.name);
        if (m_Cancel) return;
        xml::Node x = tableNode.appendElement("INDEX");
        x.setAttribute("Name", index.name);
        x.setAttribute("Table_Name", table.name);
        x.setAttribute("Report", "1");
        x.setAttribute("Migrate", "0");
        x.setAttribute("Index_Type", index.clustered ? "Clustered" : "Non-Clustered");
        x.setAttribute("Unique", yesNo(index.unique));
        x.setAttribute("Primary_Key", yesNo(index.primary));
        x.setAttribute("Ignore_Nulls", yesNo(index.ignoreNulls));
        for (const jet::IndexField& f : index.fields) {
            xml::Node c = x.appendElement("COLUMN");
            c.setAttribute("Column_Name", f.name);
            c.setAttribute("Sort_Order", f.descending ? "Descending" : "Ascending");
            c.setAttribute("Report", "1");
            c.setAttribute("Migrate", "0");
        }
    }
}

void cDAO::GenerateForeignKeysXML()
{
    try {
        raise(3, "Importing foreignkeys in " + DatabaseName);
        for (const jet::Relation& rel : m_Database->Relations()) {
            auto owner = m_TableNodes.find(rel.foreignTable);
            for (const jet::RelationField& f : rel.fields) {
                raise(3, "Importing foreignkey details in " + rel.table);
                if (m_Cancel) return;
                if (owner == m_TableNodes.end()) continue;  // referencing table not imported
                xml::Node k = owner->second.appendElement("FOREIGNKEY");
                k.setAttribute("Name", rel.name);
                k.setAttribute("Foreign_Key_Column", f.foreignName);
                k.setAttribute("Primary_Key_Table", rel.table);
                k.setAttribute("Foreign_Key_Table", rel.foreignTable);
                k.setAttribute("Update_Rule", (rel.attributes & jet::RelationUpdateCascade) ? "CASCADE" : "NOACTION");
                k.setAttribute("Delete_Rule", (rel.attributes & jet::RelationDeleteCascade) ? "CASCADE" : "NOACTION");
                k.setAttribute("Primary_Key_Column", f.name);
                k.setAttribute("Report", "1");
                k.setAttribute("Migrate", "0");
            }
        }
    } catch (const jet::Error& e) {
        // The tables stand without them; what is missing is said.
        ReportWarning(std::string("the relationships are left out: ") + e.what(), "cDAO.GenerateForeignKeysXML");
    } catch (const std::exception& e) {
        m_Failed = true;
        HandleError(jet::ErrorNumber, e.what(), "cDAO.GenerateForeignKeysXML");
    }
}

void cDAO::GenerateViewsXML()
{
    try {
        for (const jet::Query& q : m_Database->Queries()) {
            xml::Node v = m_Root.appendElement("VIEW");
            v.setAttribute("Name", q.name);
            v.setAttribute("Created_On", q.created);
            v.setAttribute("Report", "1");
            v.setAttribute("Migrate", "0");
            v.setAttribute("Query_Type", jet::QueryTypeName(q.type));
            v.appendElement("SQLSCRIPT").appendCData(QueryText(q));
        }
    } catch (const std::exception& e) {
        m_Failed = true;
        HandleError(jet::ErrorNumber, e.what(), "GenerateViewsXML");
    }
}
