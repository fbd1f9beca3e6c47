// Word report: turns the marker text rendered with "WordFormat1.xsl" into a .docx document.
#pragma once

#include "platform/docx/Docx.h"

#include <functional>
#include <memory>
#include <string>

class cReport;

class cWord {
public:
    // Reads the database name and the introduction document from report (the process-wide
    // options object when null).
    explicit cWord(cReport* report = nullptr);
    ~cWord();

    // Progress: Action 1 started, 2 a step, 3 saving, 0 finished (also after a failure).
    std::function<void(int& Action, std::string& Message)> WhileGenerating;

    // Builds the document from the report text and saves it under sFileName. True only when
    // the document was saved. An interactive run then opens it with the desktop.
    bool GenerateWordDocument(std::string& sText, const std::string& sFileName);

private:
    void AddWordStyles();
    void Raise(int action, const std::string& message);

    cReport* report_;
    std::unique_ptr<docx::Document> oDocument;
};
