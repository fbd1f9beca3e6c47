#include "import/cADOX.h"

#include "core/bErrorHandler.h"
#include "import/cDAO.h"
#include "platform/db/ConnectionString.h"

#include <QString>

#include <algorithm>
#include <exception>

namespace {

std::string boolText(bool b) { return b ? "True" : "False"; }

}  // namespace

cADOX::cADOX() = default;
cADOX::~cADOX() = default;

bool cADOX::OpenDalvDatabase()
{
    std::string path, password, workgroup;
    try {
        const db::ConnectionParameters params = db::parseConnectionString(ConnectionString);
        path = db::parameterValue(params, "Data Source");
        password = db::parameterValue(params, "Jet OLEDB:Database Password");
        workgroup = db::parameterValue(params, "Jet OLEDB:System Database");
    } catch (const std::exception& e) {
        HandleError(jet::ErrorNumber, e.what(), "cADOX.OpenDalvDatabase");
        return false;
    }
    m_Database = cDAO::OpenAccessFile(path, password, workgroup, "cADOX.OpenDalvDatabase");
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
                const long size = f.size != 0 ? f.size : f.precision;
                const bool fixedText = f.type == jet::Text && f.fixed;
                // libmdb keeps no column flag that marks a hyperlink memo: such a field reads as "Memo".
                const std::string type = GetAccessDataType(AdoType(f), size, fixedText, f.autoNumber, false);
                std::string nullAllowed;
                if (f.autoNumber) nullAllowed = "False";
                else if (type == "Text" || type == "Memo" || type == "Hyperlink") nullAllowed = boolText(f.allowZeroLength);
                else nullAllowed = boolText(!f.required);
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
        }
    } catch (const std::exception& e) {
        m_Failed = true;
        HandleError(jet::ErrorNumber, e.what(), "cADODB.GenerateAccessTables_ADOX");
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
            v.appendElement("SQLSCRIPT").appendCData(jet::SqlOnOneLine(q.sql));
        }
    } catch (const std::exception& e) {
        m_Failed = true;
        HandleError(jet::ErrorNumber, e.what(), "cADOX.GenerateViewsXML");
    }
}
