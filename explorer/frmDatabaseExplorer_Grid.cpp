// The details grid: the selected part of the structure as bands of rows, the Report check
// written back into the structure, print and print preview.
#include "explorer/ExplorerShared.h"
#include "explorer/frmDatabaseExplorer.h"

#include "core/bErrorHandler.h"
#include "core/bGlobal.h"
#include "options/StructureVocabulary.h"
#include "options/cReport.h"
#include "platform/fs/Paths.h"
#include "platform/text/Text.h"

#include <QHeaderView>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QStandardItemModel>
#include <QStyledItemDelegate>
#include <QTextDocument>
#include <QTreeView>

#include <exception>
#include <map>
#include <unordered_map>

using namespace explorer;

namespace {

constexpr int kXPathRole = Qt::UserRole + 1;
constexpr int kCaptionRole = Qt::UserRole + 2;  // the row names a band's columns

// name[n] of an element among its parent's children of that name.
std::string step(const xml::Node& n, int index) { return n.name() + "[" + std::to_string(index) + "]"; }

// The positional path of an element, from the root ("DATABASE/TABLE[3]").
std::string positionalPath(const xml::Node& n) {
    xml::Node parent = n.parent();
    if (!parent || !parent.isElement()) return n.name();
    int index = 0;
    for (const xml::Node& c : parent.childElements()) {
        if (c.name() == n.name()) ++index;
        if (c == n) break;
    }
    return positionalPath(parent) + "/" + step(n, index);
}

// Copies original under target, marking every element with its place in the structure.
void copyMarked(const xml::Node& original, xml::Node target, const std::string& path) {
    xml::Node copy = target.appendElement(original.name());
    for (const auto& [name, value] : original.attributes()) copy.setAttribute(name, value);
    copy.setAttribute("CurrentXPath", path);
    std::map<std::string, int> seen;
    bool hasElements = false;
    for (const xml::Node& c : original.childElements()) {
        hasElements = true;
        copyMarked(c, copy, path + "/" + step(c, ++seen[c.name()]));
    }
    if (!hasElements) {
        std::string text = original.text();
        if (!text::trim(text).empty()) copy.setText(text);
    }
}

// A check the user cannot change (Null Allowed) is drawn greyed, so a click does not look
// as if it could toggle it.
class ReadOnlyCheckDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override {
        QStyledItemDelegate::initStyleOption(option, index);
        if ((option->features & QStyleOptionViewItem::HasCheckIndicator) &&
            !(index.flags() & Qt::ItemIsUserCheckable)) {
            option->state &= ~(QStyle::State_Enabled | QStyle::State_MouseOver);
            option->palette.setCurrentColorGroup(QPalette::Disabled);
        }
    }
};

// Whether the foreign key at path is one that points at the table it is kept under.
bool referencesItsTable(const xml::Document& structure, const std::string& path) {
    const xml::Node key = path.empty() ? xml::Node() : structure.selectSingleNode(path);
    if (!key || !key.parent()) return false;
    const std::string referencing = vocab::foreignKeyPair(key).referencingTable;
    return !referencing.empty() && referencing != key.parent().attribute("Name");
}

QString caption(const std::string& key, const std::string& band) {
    if (key == "$Text") return band == "SQLSCRIPT" ? QStringLiteral("Script") : QString();
    return QString::fromStdString(key).replace(QLatin1Char('_'), QLatin1Char(' '));
}

}  // namespace

bool frmDatabaseExplorer::FillDetailsGrid(std::string& key) {
    try {
        key = text::trim(key);
        if (key.empty()) return false;
        if (key.find("DATABASESTRUCTURES") != std::string::npos) key = "DATABASE";
        if (!structureLoaded()) return false;
        const xml::Document& structure = *oReportEngine->oResultXML;

        xml::Document source;
        xml::Node rows = source.createRoot("ROWSOURCE");
        if (key == "DATABASE") {
            xml::Node root = structure.documentElement();
            std::map<std::string, int> seen;
            for (const xml::Node& c : root.childElements())
                copyMarked(c, rows, root.name() + "/" + step(c, ++seen[c.name()]));
        } else {
            xml::NodeList chosen = structure.selectNodes(key);
            if (chosen.empty()) return false;
            // Positions counted once per parent, so long lists stay linear.
            std::unordered_map<_xmlNode*, std::string> parentPath;
            std::unordered_map<_xmlNode*, int> position;
            for (const xml::Node& n : chosen) {
                if (!n.isElement()) continue;
                xml::Node parent = n.parent();
                if (!parent || !parent.isElement()) {
                    copyMarked(n, rows, n.name());
                    continue;
                }
                if (!parentPath.count(parent.raw())) {
                    parentPath[parent.raw()] = positionalPath(parent);
                    std::map<std::string, int> seen;
                    for (const xml::Node& c : parent.childElements()) position[c.raw()] = ++seen[c.name()];
                }
                copyMarked(n, rows, parentPath[parent.raw()] + "/" + step(n, position[n.raw()]));
            }
        }

        xml::Stylesheet sheet;
        if (!sheet.load(files::joinPath(StylesFolder, "gridxml.xsl"))) return false;
        xml::Document rowset;
        if (!sheet.transform(source, rowset)) return false;

        gridUpdating_ = true;
        if (!dynamic_cast<ReadOnlyCheckDelegate*>(ugDetails->itemDelegate()))
            ugDetails->setItemDelegate(new ReadOnlyCheckDelegate(ugDetails));
        ugDetailsModel->clear();
        int columns = 1;
        std::function<void(const xml::Node&, QStandardItem*)> addBands = [&](const xml::Node& owner,
                                                                              QStandardItem* parent) {
            for (const xml::Node& band : owner.selectNodes("BAND")) {
                const std::string bandKey = band.attribute("Key");
                std::vector<std::string> keys;
                for (const xml::Node& c : band.selectNodes("COLUMN")) {
                    std::string k = c.attribute("Key");
                    if (k == "$Text" && bandKey != "SQLSCRIPT") continue;  // hidden
                    keys.push_back(k);
                }
                columns = std::max(columns, static_cast<int>(keys.size()) + 1);
                // The ODBC reader keeps a key under the table it references: such keys are
                // captioned as what they are, apart from the keys the table holds.
                std::vector<std::pair<QString, std::vector<xml::Node>>> parts{{caption(bandKey, ""), {}}};
                for (const xml::Node& row : band.selectNodes("ROW")) {
                    if (bandKey == "FOREIGNKEY" && referencesItsTable(structure, row.attribute("CurrentXPath"))) {
                        if (parts.size() == 1) parts.push_back({QStringLiteral("Referenced by"), {}});
                        parts.back().second.push_back(row);
                    } else {
                        parts.front().second.push_back(row);
                    }
                }
                for (const auto& [title, rowsOfPart] : parts) {
                    if (rowsOfPart.empty()) continue;
                    QList<QStandardItem*> head;
                    auto* name = new QStandardItem(title);
                    name->setData(true, kCaptionRole);
                    QFont bold = name->font();
                    bold.setBold(true);
                    name->setFont(bold);
                    head << name;
                    for (const std::string& k : keys) {
                        auto* h = new QStandardItem(caption(k, bandKey));
                        h->setFont(bold);
                        head << h;
                    }
                    for (QStandardItem* h : head) {
                        h->setEditable(false);
                        h->setBackground(QColor(230, 230, 230));
                    }
                    parent->appendRow(head);
                    for (const xml::Node& row : rowsOfPart) {
                        QList<QStandardItem*> cells;
                        auto* check = new QStandardItem;
                        check->setEditable(false);
                        check->setData(QString::fromStdString(row.attribute("CurrentXPath")), kXPathRole);
                        if (row.hasAttribute("Report")) {
                            check->setCheckable(true);
                            check->setCheckState(row.attribute("Report") == "1" ? Qt::Checked : Qt::Unchecked);
                        }
                        cells << check;
                        std::map<std::string, std::string> values;
                        for (const xml::Node& cell : row.selectNodes("CELL")) values[cell.attribute("Key")] = cell.text();
                        for (const std::string& k : keys) {
                            auto* item = new QStandardItem;
                            item->setEditable(false);
                            const std::string& v = values[k];
                            if (k == "Null_Allowed") {
                                item->setData(vocab::isTrueText(v) ? Qt::Checked : Qt::Unchecked, Qt::CheckStateRole);
                            } else {
                                item->setText(QString::fromStdString(v));
                                if (k == "$Text") item->setSizeHint(QSize(500, -1));
                            }
                            item->setData(QString::fromStdString(k), Qt::UserRole);
                            cells << item;
                        }
                        parent->appendRow(cells);
                        letEventsRun();
                        ugDetails_InitializeRow(check);
                        addBands(row, check);
                    }
                }
            }
        };
        addBands(rowset.documentElement(), ugDetailsModel->invisibleRootItem());
        ugDetailsModel->setColumnCount(columns);
        QStringList headers;
        // The database of the structure shown: a screenshot file opened over a connection
        // shows another database than the connection's options name.
        std::string shown = oReportEngine->DatabaseName();
        if (xml::Node named = oReportEngine->oResultXML->selectSingleNode("DATABASE/DBOPTIONS/MOREINFO/DATABASE/@Name");
            named && !named.text().empty())
            shown = named.text();
        headers << QString::fromStdString("Database Details: " + shown);
        for (int i = 1; i < columns; ++i) headers << QString();
        ugDetailsModel->setHorizontalHeaderLabels(headers);
        ugDetails->setHeaderHidden(false);
        ugDetails->header()->setStretchLastSection(true);
        gridUpdating_ = false;
        return true;
    } catch (const std::exception& e) {
        gridUpdating_ = false;
        HandleError(-1, e.what(), "frmDatabaseExplorer.FillDetailsGrid");
        return false;
    }
}

void frmDatabaseExplorer::ShowGridReason(const std::string& reason) {
    gridUpdating_ = true;
    ugDetailsModel->clear();
    if (!reason.empty()) {
        auto* item = new QStandardItem(QString::fromStdString(reason));
        item->setEditable(false);
        item->setForeground(QColor(96, 96, 96));
        ugDetailsModel->appendRow(item);
    }
    ugDetails->setHeaderHidden(true);
    gridUpdating_ = false;
}

void frmDatabaseExplorer::ugDetails_InitializeRow(QStandardItem* row) {
    QStandardItem* parent = row->parent() ? row->parent() : ugDetailsModel->invisibleRootItem();
    for (int c = 1; c < parent->columnCount(); ++c) {
        QStandardItem* cell = parent->child(row->row(), c);
        if (cell && cell->data(Qt::UserRole).toString() == QLatin1String("Name") &&
            cell->text() == QLatin1String("DalvaneSample")) {
            ugDetails->setRowHidden(row->row(), parent->index(), true);
            return;
        }
    }
}

void frmDatabaseExplorer::ugDetails_CellChange(QStandardItem* cell) {
    try {
        if (!cell || cell->column() != 0 || !cell->isCheckable()) return;
        if (busy()) {
            // Long work may be reading the structure beside the window: the check goes back.
            gridUpdating_ = true;
            cell->setCheckState(cell->checkState() == Qt::Checked ? Qt::Unchecked : Qt::Checked);
            gridUpdating_ = false;
            return;
        }
        const std::string value = cell->checkState() == Qt::Checked ? "1" : "0";
        gridUpdating_ = true;
        ChangeChildRow(cell, value);
        SetReportValue(cell, value);
        gridUpdating_ = false;
    } catch (const std::exception& e) {
        gridUpdating_ = false;
        HandleError(-1, e.what(), "frmDatabaseExplorer.ugDetails_CellChange");
    }
}

void frmDatabaseExplorer::SetReportValue(QStandardItem* cell, const std::string& value) {
    if (!cell || !structureLoaded()) return;
    const std::string path = cell->data(kXPathRole).toString().toStdString();
    if (path.empty()) return;
    xml::Node object = oReportEngine->oResultXML->selectSingleNode(path);
    if (object && object.hasAttribute("Report")) object.setAttribute("Report", value);
}

void frmDatabaseExplorer::ChangeChildRow(QStandardItem* row, const std::string& value) {
    for (int r = 0; r < row->rowCount(); ++r) {
        QStandardItem* child = row->child(r, 0);
        if (!child || child->data(kCaptionRole).toBool()) continue;
        if (child->isCheckable()) child->setCheckState(value == "1" ? Qt::Checked : Qt::Unchecked);
        SetReportValue(child, value);
        ChangeChildRow(child, value);
    }
}

void frmDatabaseExplorer::SetGridForPreview(bool afterPreview) {
    if (!afterPreview) {
        ugDetails->expandAll();
    } else {
        // The first band as it was; the bands below it folded again.
        ugDetails->collapseAll();
    }
    ugDetails->setColumnHidden(0, !afterPreview);
}

void frmDatabaseExplorer::ugDetails_InitializePrintPreview(QPrintPreviewDialog& preview) {
    preview.setWindowIcon(windowIcon());
    preview.setWindowTitle("Dalvane 4.5");
    preview.setWindowState(preview.windowState() | Qt::WindowMaximized);
}

void frmDatabaseExplorer::PrintDetails(QPrinter& printer) {
    // Rows as the grid shows them: visible rows only, without the Report column.
    QString html = "<html><body style=\"font-family: 'Trebuchet MS'; font-size: 7pt\"><h3>" +
                   ugDetailsModel->headerData(0, Qt::Horizontal).toString().toHtmlEscaped() +
                   "</h3><table border=\"1\" cellspacing=\"0\" cellpadding=\"2\" width=\"100%\">";
    const int columns = ugDetailsModel->columnCount();
    std::function<void(QStandardItem*, const QModelIndex&, int)> rows = [&](QStandardItem* parent,
                                                                          const QModelIndex& parentIndex, int depth) {
        for (int r = 0; r < parent->rowCount(); ++r) {
            if (ugDetails->isRowHidden(r, parentIndex)) continue;
            QStandardItem* first = parent->child(r, 0);
            const bool head = first && first->data(kCaptionRole).toBool();
            html += "<tr>";
            html += QString("<td style=\"padding-left:%1px; white-space: nowrap\">%2</td>")
                        .arg(depth * 12)
                        .arg(head ? "<b>" + first->text().toHtmlEscaped() + "</b>" : QString());
            for (int c = 1; c < columns; ++c) {
                QStandardItem* cell = parent->child(r, c);
                QString t;
                if (cell) {
                    QVariant check = cell->data(Qt::CheckStateRole);
                    t = check.isValid() && cell->text().isEmpty()
                            ? (check.toInt() == Qt::Checked ? QStringLiteral("Yes") : QStringLiteral("No"))
                            : cell->text().toHtmlEscaped();
                    if (head) t = "<b>" + t + "</b>";
                }
                // Cells wrap: the page is as wide as the printer's, however many columns.
                html += "<td>" + t + "</td>";
            }
            html += "</tr>";
            if (first) rows(first, ugDetailsModel->indexFromItem(first), depth + 1);
        }
    };
    rows(ugDetailsModel->invisibleRootItem(), QModelIndex(), 0);
    html += "</table></body></html>";
    QTextDocument doc;
    doc.setHtml(html);
    doc.print(&printer);
}

void frmDatabaseExplorer::PrintPreviewDetails() {
    SetGridForPreview(false);
    QPrintPreviewDialog preview(this);
    ugDetails_InitializePrintPreview(preview);
    connect(&preview, &QPrintPreviewDialog::paintRequested, this, [this](QPrinter* p) { PrintDetails(*p); });
    preview.exec();
    SetGridForPreview(true);
}
