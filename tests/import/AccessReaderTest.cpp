#include "ImportTestSupport.h"
#include "import/cADOX.h"
#include "import/cDAO.h"

#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <fstream>
#include <tuple>

using namespace importtest;

namespace {

std::unique_ptr<cDAO> daoReader(const std::string& path, const std::string& password = "")
{
    auto r = std::make_unique<cDAO>();
    r->DatabasePath = path;
    r->AccessPassword = password;
    r->DatabaseName = "db";
    r->DatabaseEngine = "MS Access 2000";
    return r;
}

std::unique_ptr<cADOX> adoxReader(const std::string& path, const std::string& password = "")
{
    auto r = std::make_unique<cADOX>();
    r->ConnectionString = "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=\"" + path +
                          "\";Jet OLEDB:Database Password=\"" + password + "\"";
    return r;
}

}  // namespace

// Both readers' whole documents for the three files (Jet 3, Jet 4, ACE), checked by hand
// against the catalogue dumps of the files. The same documents come from copies whose Products
// and Asset Items definitions number their columns and indexes as Jet does after deletions.
TEST(AccessReaders, DocumentsMatchTheExpectedFiles)
{
    testsupport::TempDir dir;
    testsupport::ScopedPrompter prompts;
    ErrorCapture errors;
    for (const auto& [file, renumbered] : std::vector<std::pair<const char*, unsigned>>{
             {"nwind.mdb", 0}, {"DateTestDatabase.mdb", 0}, {"ASampleDatabase.accdb", 0}, {"nwind.mdb", 567},
             {"ASampleDatabase.accdb", 42}}) {
        const std::string path = testsupport::accessCopy(dir, file, renumbered ? std::string("gaps-") + file : file);
        if (renumbered) testsupport::renumberAccessColumns(path, renumbered, 2);
        std::vector<std::unique_ptr<StructureReader>> readers;
        readers.push_back(daoReader(path));
        readers.push_back(adoxReader(path));
        for (std::size_t i = 0; i < readers.size(); ++i) {
            StructureReader& r = *readers[i];
            ASSERT_TRUE(r.OpenDalvDatabase()) << file << ": " << prompts->lastMessage();
            ASSERT_TRUE(r.GenerateXML()) << file;
            xml::Node root = r.oResultXML.documentElement();
            if (root.hasAttribute("Created_On")) root.setAttribute("Created_On", "today");
            const std::string expectedPath = testsupport::fixturePath(
                std::string("import/access_") + file + (i == 0 ? ".dao.xml" : ".adox.xml"));
            if (std::getenv("DALV_WRITE_EXPECTED")) r.oResultXML.save(expectedPath + ".actual");
            xml::Document expected;
            ASSERT_TRUE(expected.load(expectedPath)) << expectedPath;
            EXPECT_EQ(r.oResultXML.xml(), expected.xml()) << expectedPath;
        }
    }
    EXPECT_TRUE(errors.entries.empty());
    EXPECT_EQ(TakeWarnings(), std::vector<std::string>{});

    // Each right of a PRIVILEGE from its own bits: Users' read-only access to the catalogue,
    // admin's right to its permissions alone, full access.
    using Rights = std::array<std::string, 6>;
    EXPECT_EQ(cADOX::Rights("TABLE", jet::ReadData), (Rights{"No", "No", "No", "Yes", "No", "NA"}));
    EXPECT_EQ(cADOX::Rights("TABLE", 0x60000), (Rights{"No", "No", "No", "No", "No", "NA"}));
    EXPECT_EQ(cADOX::Rights("TABLE", 0xFFFFF), (Rights{"Yes", "Yes", "Yes", "Yes", "Yes", "NA"}));
}

// A wrong database password is refused with a message by both readers. A cancelled import,
// and one that fails on a damaged table definition, return False.
TEST(AccessReaders, WrongPasswordCancelAndDamageAreNoSuccess)
{
    testsupport::TempDir dir;
    testsupport::ScopedPrompter prompts;
    const std::string path = testsupport::accessCopy(dir, "DateTestDatabase.mdb");
    testsupport::setAccessPassword(path, "Sesam", true);
    EXPECT_FALSE(daoReader(path, "sesam")->OpenDalvDatabase());
    EXPECT_EQ(prompts->lastMessage(), "Incorrect database login name and password, try again!");
    EXPECT_FALSE(adoxReader(path, "")->OpenDalvDatabase());
    EXPECT_EQ(prompts->lastMessage(), "Incorrect database login name and password, try again!");

    // A workgroup file must be one, holding users and groups: a database file or a missing file
    // refuses the login.
    auto dao = daoReader(path, "Sesam");
    dao->WorkgroupDatabase = testsupport::accessCopy(dir, "nwind.mdb", "system.mdw");
    dao->UserName = "admin";
    EXPECT_FALSE(dao->OpenDalvDatabase());
    EXPECT_EQ(prompts->lastMessage(), "\"" + dao->WorkgroupDatabase +
                                          "\" holds no users or groups, so it is not a workgroup information file.");
    auto adox = adoxReader(path, "Sesam");
    adox->ConnectionString += ";Jet OLEDB:System Database=\"" + dir.file("absent.mdw") + "\";User Id=admin";
    EXPECT_FALSE(adox->OpenDalvDatabase());
    EXPECT_EQ(prompts->lastMessage(), "The workgroup information file \"" + dir.file("absent.mdw") + "\" cannot be read.");
    ASSERT_TRUE(daoReader(path, "Sesam")->OpenDalvDatabase());

    // The default workgroup file, or Jet's own (admin alone) without one, through either reader; a file
    // that is no database is named so whatever the login. Privileges then name every account.
    const std::string system = testsupport::accessCopy(dir, "System.mdw"), text = dir.file("notes.mdb");
    std::ofstream(text) << std::string(4096, 'x');
    for (const auto& [file, workgroup, user, password, ok] : std::vector<std::tuple<std::string, std::string, std::string, std::string, bool>>{
             {path, system, "Admin", "x", false}, {path, system, "nobody", "", false}, {path, "", "bob", "secret", false},
             {path, "", "admin", "x", false}, {text, system, "bob", "", false}, {path, "", "Admin", "", true}, {path, system, "admin", "", true}}) {
        dao = daoReader(file, "Sesam");
        dao->WorkgroupDatabase = workgroup;
        dao->UserName = user;
        dao->Password = password;
        adox = adoxReader(file, "Sesam");
        adox->ConnectionString += ";Jet OLEDB:System Database=\"" + workgroup + "\";User Id=" + user + ";Password=" + password;
        for (StructureReader* r : {static_cast<StructureReader*>(dao.get()), static_cast<StructureReader*>(adox.get())}) {
            ASSERT_EQ(r->OpenDalvDatabase(), ok) << user << " " << workgroup;
            if (!ok) { EXPECT_EQ(prompts->lastMessage(), file == text ? "\"" + text + "\" is not an Access database."
                                                                      : "Incorrect database login name and password, try again!"); }
        }
    }
    ASSERT_TRUE(adox->GenerateXML());
    std::vector<std::string> privileges;
    for (xml::Node p : adox->oResultXML.selectNodes("/DATABASE/TABLE/PRIVILEGE"))
        privileges.push_back(p.attribute("User_Name") + ":" + p.attribute("Select") + p.attribute("Update"));
    // The database was secured by another workgroup: its Admins group has another SID.
    EXPECT_EQ(privileges, (std::vector<std::string>{"Admins:NoNo", "Users:YesYes", "Engine:NoNo", "Creator:NoNo",
                                                    "admin:YesYes"}));

    dao = daoReader(testsupport::accessCopy(dir, "nwind.mdb"));

    EventLog log;
    log.attach(*dao);
    log.stopAt = [](const Event& e) { return e.message == "Importing table Orders"; };
    ASSERT_TRUE(dao->OpenDalvDatabase());
    EXPECT_FALSE(dao->GenerateXML());
    EXPECT_EQ(log.count("Importing table "), 5);  // stopped at the fifth table, Orders
    EXPECT_EQ(log.count("Database imported"), 0);

    // Cut so that the catalogue is whole but the properties of Shippers and later tables, and the
    // last table's definition, are gone: the properties are left out with a warning naming them,
    // and the table whose definition is gone fails the import.
    const std::string cut = testsupport::accessCopy(dir, "nwind.mdb", "cut.mdb");
    std::filesystem::resize_file(cut, 750 * 2048);
    ErrorCapture errors;
    std::vector<std::unique_ptr<StructureReader>> readers;
    readers.push_back(daoReader(cut));
    readers.push_back(adoxReader(cut));
    for (auto& r : readers) {
        ASSERT_TRUE(r->OpenDalvDatabase());
        EXPECT_FALSE(r->GenerateXML());
    }
    ASSERT_EQ(errors.entries.size(), 2u);
    EXPECT_EQ(errors.entries[0].source, "cDAO.GenerateTables");
    EXPECT_EQ(errors.entries[1].source, "cADODB.GenerateAccessTables_ADOX");
    for (const auto& e : errors.entries)
        EXPECT_NE(e.description.find("damaged and cannot be read: the definition of the table \"Umsätze\" is missing"),
                  std::string::npos)
            << e.description;
    EXPECT_EQ(TakeWarnings().front(), "the properties of the table \"Shippers\" are missing: the defaults, validation "
                                      "rules, descriptions and Required settings of its columns are left out");
}
