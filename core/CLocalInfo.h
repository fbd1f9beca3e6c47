// The user locale's number symbols.
#pragma once

#include <string>

class CLocalInfo {
public:
    CLocalInfo();
    std::string GetDecimalSymbol() const;
    std::string GetDigitGroupingSymbol() const;

private:
    std::string locale_;  // locale name at creation
};
