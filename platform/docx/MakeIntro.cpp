// Writes the Word report's introduction document (intro.docx) to the path given.
#include "platform/docx/Docx.h"

#include <iostream>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: dalv_make_intro <output.docx>\n";
        return 2;
    }
    docx::Document doc;
    doc.addStyle({"DVHeading1", "Arial", 16, true, std::nullopt});
    doc.addStyle({"DVHeading2", "Arial", 13, true, false});
    doc.addStyle({"DVNormal", "Arial", 9, false, false});
    doc.setTitle("About Quorvel Group");
    auto para = [&](const char* text, const char* style) { doc.append(docx::Paragraph::plain(text, style)); };
    para("About Quorvel Group", "DVHeading1");
    para("Quorvel Group makes tools for the people who build and look after databases: "
         "Dalvane reads the structure of a database and turns it into reports, diagrams and "
         "scripts for other database engines.", "DVNormal");
    para("", "DVNormal");
    para("About this report", "DVHeading2");
    para("This report describes the structure of one database as Dalvane 4.5 read it from the "
         "database catalogue: its tables with their columns, keys and indexes, its views with "
         "their source and, where the engine provides them, its stored procedures and triggers.",
         "DVNormal");
    para("", "DVNormal");
    para("Each table section lists the columns with data type, length, whether nulls are "
         "allowed, default value and primary key, followed by the primary key, the indexes and "
         "the foreign keys of the table. The table of contents lists every section; its page "
         "numbers are refreshed when the document is opened in a word processor.", "DVNormal");
    if (!doc.save(argv[1])) {
        std::cerr << "dalv_make_intro: " << doc.error() << "\n";
        return 1;
    }
    return 0;
}
