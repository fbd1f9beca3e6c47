#include "core/CLocalInfo.h"

#include <QLocale>

CLocalInfo::CLocalInfo() : locale_(QLocale().name().toStdString()) {}

std::string CLocalInfo::GetDecimalSymbol() const {
    return QLocale(QString::fromStdString(locale_)).decimalPoint().toStdString();
}

std::string CLocalInfo::GetDigitGroupingSymbol() const {
    return QLocale(QString::fromStdString(locale_)).groupSeparator().toStdString();
}
