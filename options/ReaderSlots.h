// The structure readers cReport holds, one per access technology.
#pragma once

#include "import/StructureReader.h"
#include "options/cReport.h"

#include <memory>

struct cReport::Readers {
    std::unique_ptr<StructureReader> oFetchDBSysQuery;
    std::unique_ptr<StructureReader> oFetchADOX;
    std::unique_ptr<StructureReader> oFetchADODB;
    std::unique_ptr<StructureReader> oFetchDAO;
    std::unique_ptr<StructureReader> oFetchXML;  // engine 13: a saved structure document
};
