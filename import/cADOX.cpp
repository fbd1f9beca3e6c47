#include "import/cADOX.h"

#include "core/bErrorHandler.h"
#include "import/cDAO.h"
#include "platform/db/ConnectionString.h"

#include <QString>

#include <algorithm>
#include <exception>

namespace {

std::string boolText(bool b) { return b ? "True" : "False"; }

const char* const kRightNames[] = {"Insert", "Update", "Delete", "Select", "References", "Execute"};

}  // namespace

cADOX::cADOX() = default;
cADOX::~cADOX() = default;

bool cADOX::OpenDalvDatabase()
{
    std::string path, password, workgroup, user, userPassword;
    try {
        const db::ConnectionParameters params = db::parseConnectionString(ConnectionString);
        path = db::parameterValue(params, "Data Source");
        password = db::parameterValue(params, "Jet OLEDB:Database Password");
        workgroup = db::parameterValue(params, "Jet OLEDB:System Database");
        user = db::parameterValue(params, "User Id");
        userPassword = db::parameterValue(params, "Password");
    } catch (const std::exception& e) {
        HandleError(jet::ErrorNumber, e.what(), "cADOX.OpenDalvDatabase");
        return false;
    }
    m_Database =
        cDAO::OpenAccessFile(path, password, workgroup, user, userPassword, "cADOX.OpenDalvDatabase", &m_Accounts);
    m_RightsUnread = false;
    if (m_Database) cDAO::ReportWarnings(*m_Database, "cADOX.OpenDalvDatabase");
    return m_Database != nullptr;
}

bool cADOX::GenerateXML()
{
    if (!m_Database) return false;
    try {
        raise(3, "Initialing XML...", 2);
        if (m_Cancel) return false;
        InitXmlDocument("DATABASE");
        GenerateAccessTables_ADOX();
        if (m_Cancel || m_Failed) return false;
        GenerateViewsXML();
        if (m_Failed) return false;
        raise(4, "Database imported", 2);
        return !m_Cancel;
    } catch (const std::exception& e) {
        HandleError(jet::ErrorNumber, e.what(), "cADOX.GenerateXML");
        return false;
    }
}

void cADOX::InitXmlDocument(const std::string& rootName)
{
    oResultXML = xml::Document();
    m_Root = oResultXML.createRoot(rootName);
}

long cADOX::AdoType(const jet::Field& f)
{
    switch (f.type) {
    case jet::Boolean: return 11;
    case jet::Byte: return 17;
    case jet::Integer: return 2;
    case jet::Long: return 3;
    case jet::Currency: return 6;
    case jet::Single: return 4;
    case jet::Double: return 5;
    case jet::DateTime: return 7;
    case jet::Binary: return 128;
    case jet::Text: return f.fixed ? 130 : 202;
    case jet::LongBinary: return 205;
    case jet::Memo: return 203;
    case jet::Guid: return 72;
    case jet::Decimal: return 131;
    default: return 0;
    }
}

std::string cADOX::GetAccessDataType(long type, long size, bool fixedLength, bool autoIncrement, bool hyperlink)
{
    switch (type) {
    case 2: return "Integer";  // a two-byte integer
    case 4: return "Single";
    case 3: return autoIncrement ? "AutoNumber" : "Long Integer";
    case 5: return "Double";
    case 6: return "Currency";
    case 7: return "Date";
    case 11: return "Yes/No";
    case 17: return "Byte";
    case 72: return "GUID";
    case 128: return "Binary";
    case 129:
    case 130:
    case 200:
    case 202: return fixedLength ? "Memo" : size >= 255 ? "Long Text" : "Text";
    case 131: return "Decimal";
    case 201:
    case 203: return hyperlink ? "HyperLink" : "Memo";
    case 205: return "OLE Object";
    default: return "";
    }
}

std::string cADOX::TypeName(const jet::Field& f)
{
    if (f.type == jet::Decimal || f.type == jet::Complex) return cDAO::jetTypeName(f);
    const long size = f.size != 0 ? f.size : f.precision;
    return GetAccessDataType(AdoType(f), size, f.type == jet::Text && f.fixed, f.autoNumber, f.hyperlink);
}

void cADOX::GenerateAccessTables_ADOX()
{
    try {
        for (const jet::Table& entry : m_Database->Tables()) {
            if (entry.system()) continue;
            raise(3, "Importing Table " + entry.name + "...", 10);
            if (m_Cancel) return;
            jet::Table table = m_Database->ReadTable(entry.name);
            // The catalogue lists a table's columns by name.
            std::stable_sort(table.fields.begin(), table.fields.end(), [](const jet::Field& a, const jet::Field& b) {
                return QString::fromStdString(a.name).compare(QString::fromStdString(b.name), Qt::CaseInsensitive) < 0;
            });
            xml::Node t = m_Root.appendElement("TABLE");
            t.setAttribute("Name", table.name);
            t.setAttribute("Created_On", table.created);
            t.setAttribute("Report", "1");
            t.setAttribute("Migrate", "0");
            int serial = 1;
            for (const jet::Field& f : table.fields) {
                // A decimal's defined size is its precision; its scale goes with the type name.
                const long size = f.size != 0 && f.type != jet::Decimal ? f.size : f.precision;
                const std::string type = TypeName(f);
                // Nulls are barred by Required (and from an AutoNumber and a Yes/No field), never by
                // whether a zero-length string is allowed.
                const std::string nullAllowed = boolText(!f.autoNumber && !f.required && f.type != jet::Boolean);
                if (m_Cancel) return;
                xml::Node c = t.appendElement("COLUMN");
                c.setAttribute("Name", f.name);
                c.setAttribute("Datatype", type);
                c.setAttribute("Length", std::to_string(size));
                c.setAttribute("Serial_Number", std::to_string(serial++));
                c.setAttribute("Column_Default", f.defaultValue);
                c.setAttribute("Null_Allowed", nullAllowed);
                c.setAttribute("Check_Constraint", f.validationRule);
                c.setAttribute("Description", f.description);
                c.setAttribute("Primary_Key", "");
                if (m_Cancel) return;
            }
            if (m_Cancel) return;
            GetAccessObjectPrivileges(table.name, "TABLE", t);
            if (m_Failed) return;
        }
    } catch (const std::exception& e) {
        m_Failed = true;
        HandleError(jet::ErrorNumber, e.what(), "cADODB.GenerateAccessTables_ADOX");
    }
}

std::array<std::string, 6> cADOX::Rights(const std::string& kind, std::uint32_t mask)
{
    const bool table = kind == "TABLE", view = kind == "VIEW";
    const auto right = [&](bool applies, std::uint32_t bits) -> std::string {
        return !applies ? "NA" : (mask & bits) == bits ? "Yes" : "No";
    };
    return {right(table || view, jet::InsertData), right(table || view, jet::UpdateData),
            right(table || view, jet::DeleteData), right(table || view, jet::ReadData),
            right(table, jet::ModifyDesign),       right(!table && !view, jet::ReadData)};
}

bool cADOX::SameAccount(const jet::Account& account, const std::string& sid) const
{
    // The built-in accounts' two-byte SIDs are masked in a database but plain in a workgroup
    // file: those are matched by the account they stand for.
    if (account.sid.size() == 2 && sid.size() == 2)
        return QString::fromStdString(m_Database->BuiltInAccount(sid))
                   .compare(QString::fromStdString(account.name), Qt::CaseInsensitive) == 0;
    return account.sid == sid;
}

void cADOX::GetAccessObjectPrivileges(const std::string& objectName, const std::string& kind, xml::Node object)
{
    try {
        // One element per account of the catalogue: the workgroup file's users and groups, else
        // the built-in admin and Users; "No" rights where the account has no entry for the object.
        std::vector<jet::Account> accounts = m_Accounts;
        if (accounts.empty()) accounts = {{"admin", "", false, ""}, {"Users", "", true, ""}};
        std::vector<std::pair<std::string, std::uint32_t>> rights;
        for (const jet::Account& a : accounts) rights.emplace_back(a.name, 0u);
        const int type = kind == "TABLE" ? 1 : 5;
        for (const jet::AccessEntry& e : m_Database->Permissions()) {
            if (e.objectName != objectName || e.objectType != type) continue;
            for (std::size_t i = 0; i < accounts.size(); ++i) {
                const bool same = m_Accounts.empty()
                                      ? m_Database->BuiltInAccount(e.sid) == accounts[i].name
                                      : SameAccount(accounts[i], e.sid);
                if (same) rights[i].second |= e.mask;
            }
        }
        for (const auto& [name, mask] : rights) {
            xml::Node p = object.appendElement("PRIVILEGE");
            p.setAttribute("User_Name", name);
            p.setAttribute("Object_Name", objectName);
            const auto values = Rights(kind, mask);
            for (std::size_t i = 0; i < values.size(); ++i) p.setAttribute(kRightNames[i], values[i]);
            p.setAttribute("Report", "1");
            p.setAttribute("Migrate", "0");
        }
    } catch (const jet::Error& e) {
        // Rights that could not be read are not shown as none: no object gets privileges.
        if (!m_RightsUnread)
            ReportWarning(std::string("the privileges are left out: ") + e.what(), "cADODB.GetAccessObjectPrivileges");
        m_RightsUnread = true;
    } catch (const std::exception& e) {
        m_Failed = true;
        HandleError(jet::ErrorNumber, e.what(), "cADODB.GetAccessObjectPrivileges");
    }
}

void cADOX::GenerateViewsXML()
{
    try {
        for (const jet::Query& q : m_Database->Queries()) {
            // Views are the row-returning queries without parameters; the rest are procedures.
            const bool rows = q.type == jet::SelectQuery || q.type == jet::UnionQuery || q.type == jet::CrosstabQuery;
            if (!rows || q.hasParameters) continue;
            xml::Node v = m_Root.appendElement("VIEW");
            v.setAttribute("Name", q.name);
            v.setAttribute("Created_On", q.created);
            v.setAttribute("Report", "1");
            v.setAttribute("Migrate", "0");
            v.setAttribute("Query_Type", jet::QueryTypeName(q.type));
            v.appendElement("SQLSCRIPT").appendCData(cDAO::QueryText(q));
        }
    } catch (const std::exception& e) {
        m_Failed = true;
        HandleError(jet::ErrorNumber, e.what(), "cADOX.GenerateViewsXML");
    }
}
