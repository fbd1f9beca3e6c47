#include "options/StructureVocabulary.h"

#include <gtest/gtest.h>

namespace {

xml::Document parse(const char* text) {
    xml::Document d;
    EXPECT_TRUE(d.loadXML(text)) << d.parseError();
    return d;
}

// The same two-table database as the ADO reader and the DAO reader write it.
const char* kAdo = R"(<DATABASE>
  <TABLE Name="orders"><COLUMN Name="id" Datatype="integer" Length="10" Ordinal_Position="1"
      Null_Allowed="False" Primary_Key="PK_orders"/>
    <COLUMN Name="cust" Datatype="integer" Length="10" Ordinal_Position="2" Null_Allowed="True" Primary_Key=""/></TABLE>
  <TABLE Name="cust"><COLUMN Name="id" Datatype="integer" Length="10" Ordinal_Position="1" Null_Allowed="False" Primary_Key="PK_cust"/>
    <INDEX Name="PK_cust" Table_Name="cust" Column_Name="id"/>
    <FOREIGNKEY Name="fk_o_c" Related_Column="cust" Primary_Key_Table="cust" Foreign_Key_Table="orders"
      Primary_Key_Column="id" Update_Rule="NO ACTION" Delete_Rule="CASCADE"/></TABLE></DATABASE>)";

const char* kDao = R"(<DATABASE>
  <TABLE Name="orders"><COLUMN Column_Name="cust" Data_Type="Long" Precision="4" Ordinal_Position="2" Null_Allowed="True" Primary_Key="No"/>
    <COLUMN Column_Name="id" Data_Type="Long" Precision="4" Ordinal_Position="1" Null_Allowed="False" Primary_Key="Yes"/>
    <FOREIGNKEY Name="fk_o_c" Foreign_Key_Column="cust" Primary_Key_Table="cust" Foreign_Key_Table="orders"
      Primary_Key_Column="id" Update_Rule="NOACTION" Delete_Rule="CASCADE"/></TABLE>
  <TABLE Name="cust"><COLUMN Column_Name="id" Data_Type="Long" Precision="4" Ordinal_Position="1" Null_Allowed="False" Primary_Key="Yes"/>
    <INDEX Name="PrimaryKey" Table_Name="cust" Index_Type="Non-Clustered" Unique="Yes" Primary_Key="Yes" Ignore_Nulls="No">
      <COLUMN Column_Name="id" Sort_Order="Ascending"/></INDEX>
    <INDEX Name="byName" Table_Name="cust" Index_Type="Non-Clustered" Unique="No" Primary_Key="No" Ignore_Nulls="No"/>
  </TABLE></DATABASE>)";

TEST(StructureVocabulary, BothReadersGiveTheSameFacts) {
    for (const char* text : {kAdo, kDao}) {
        xml::Document d = parse(text);
        auto fks = vocab::foreignKeysOf(d, "orders");
        ASSERT_EQ(fks.size(), 1u) << text;
        EXPECT_EQ(fks[0].referencingColumn, "cust");
        EXPECT_EQ(fks[0].referencedTable, "cust");
        EXPECT_EQ(fks[0].referencedColumn, "id");
        EXPECT_TRUE(vocab::foreignKeysOf(d, "cust").empty());

        auto cols = vocab::tableColumns(d.selectSingleNode("/DATABASE/TABLE[1]"));
        ASSERT_EQ(cols.size(), 2u);
        EXPECT_EQ(vocab::columnName(cols[0]), "id");
        EXPECT_TRUE(vocab::inPrimaryKey(cols[0]));
        EXPECT_FALSE(vocab::nullAllowed(cols[0]));
        EXPECT_FALSE(vocab::inPrimaryKey(cols[1]));
        EXPECT_TRUE(vocab::nullAllowed(cols[1]));

        xml::Node idx = d.selectSingleNode("/DATABASE/TABLE[2]/INDEX[1]");
        EXPECT_TRUE(vocab::indexUnique(idx));
        EXPECT_EQ(vocab::indexColumns(idx), std::vector<std::string>{"id"});
    }
    xml::Document ado = parse(kAdo);
    xml::Node two = ado.selectSingleNode("/DATABASE/TABLE[2]/INDEX[1]");
    two.setAttribute("Column_Name", "id, region");
    EXPECT_EQ(vocab::indexColumns(two), (std::vector<std::string>{"id", "region"}));
    xml::Document dao = parse(kDao);
    EXPECT_FALSE(vocab::indexUnique(dao.selectSingleNode("/DATABASE/TABLE[2]/INDEX[2]")));
}

}  // namespace
