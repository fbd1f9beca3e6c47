#include "core/bGlobal.h"

#include <QDate>
#include <QLocale>

std::string AppFolder, StylesFolder, ImagesFolder, HelpFolder, PreviewFolder;
std::string ReportsFolder, DataFolder, DiagramFolder, TempFolder;
std::string OSName;
xml::Document oStructures;
xml::Document oHistory;
std::vector<std::string> EngineNames;
std::array<int, 14> EnginePanelMap{2, 0, 0, 0, 1, 1, 1, 1, 3, 3, 3, 2, 4, 5};
std::string PassPhrase1, PassPhrase2, PassPhrase3, PassPhrase4;
std::string ShortDateFormat;
std::string CurrentUser;
std::string DecimalSymbol = ".", DigitGroupingSymbol = ",";

std::string FormatShortDate() {
    QString fmt = ShortDateFormat.empty() ? QLocale().dateFormat(QLocale::ShortFormat)
                                          : QString::fromStdString(ShortDateFormat);
    return QDate::currentDate().toString(fmt).toStdString();
}
