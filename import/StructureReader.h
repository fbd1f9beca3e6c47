// Contract shared by the structure readers (cADODB and its siblings): a public structure
// document, the connection fields, OpenDalvDatabase / GenerateXML and the ImportingDB event.
// cReport creates a fresh reader for every open; one reader serves one connection and one import.
#pragma once

#include "platform/xml/Xml.h"

#include <cstdint>
#include <functional>
#include <string>

class StructureReader {
public:
    // ImportingDB(Status, Message, IncrementValue, Cancel), every argument by reference.
    // Status: 1 start, 2 or 3 a step, 4 stop. IncrementValue: a step in per cent of the
    // progress bar. Cancel: the reader's cancel flag; a handler sets it True to stop the import.
    using ImportingDBHandler = std::function<void(std::int32_t& Status, std::string& Message,
                                                  std::int16_t& IncrementValue, bool& Cancel)>;

    virtual ~StructureReader() = default;

    // The structure document (root DATABASE) written by GenerateXML. The caller takes it over
    // (std::move) once GenerateXML has returned.
    xml::Document oResultXML;
    // Connection string in the option documents' keywords (Data Source, Initial Catalog ...).
    std::string ConnectionString;
    // Database name of the connection options, shown in the start event's message.
    std::string DatabaseName;
    // Handler of the ImportingDB event; none set means nobody listens.
    ImportingDBHandler ImportingDB;

    // True when the connection is open. On failure tells the user (per reader) and returns False.
    virtual bool OpenDalvDatabase() = 0;
    // Builds oResultXML. False when the connection is not open, the import was cancelled or
    // GenerateXML's own statements failed.
    virtual bool GenerateXML() = 0;

    bool cancelled() const { return m_Cancel; }

protected:
    // Raises ImportingDB with the reader's cancel flag; the flag is never reset by the reader.
    void RaiseImportingDB(std::int32_t Status, std::string Message, std::int16_t IncrementValue)
    {
        if (ImportingDB) ImportingDB(Status, Message, IncrementValue, m_Cancel);
    }

    // The message for a provider that cannot be loaded, followed by the connection layer's
    // cause, which names the driver that is not installed.
    static std::string ProviderMissingMessage(const std::string& cause)
    {
        std::string text = "Selected provider does not exist, please install required components and check again.";
        if (!cause.empty()) text += "\n\n" + cause;
        return text;
    }

    bool m_Cancel = false;
};
