// Folder tree, objects bar, loading a connection and the previews of the main window.
#include "explorer/ExplorerShared.h"
#include "explorer/frmDatabaseExplorer.h"

#include "core/bErrorHandler.h"
#include "core/bGlobal.h"
#include "options/cReport.h"
#include "platform/fs/FileErrors.h"
#include "platform/fs/Paths.h"
#include "platform/ui/Prompter.h"
#include "platform/text/Text.h"
#include "reports/bXMLSupport.h"
#include "platform/ui/ProgressTarget.h"
#include "platform/ui/WaitCursor.h"

#include <QApplication>
#include <QHash>
#include <QCursor>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QRegularExpression>
#include <QTabBar>
#include <QTabWidget>
#include <QToolBox>
#include <QTreeWidget>
#include <QUrl>

#include <exception>
#include <functional>
#include <map>

std::string SelectedNodeKey;

namespace explorer {

QIcon imageIcon(const QString& file) {
    return QIcon(QString::fromStdString(files::joinPath(ImagesFolder, file.toStdString())));
}

QIcon treeIcon(const QString& imageKey) {
    // A tree of thousands of nodes shares a few pictures: each is read once.
    static QHash<QString, QIcon> icons;
    const QString file = QStringLiteral("tree_") + imageKey.toLower() + QStringLiteral(".svg");
    const QString path = QString::fromStdString(files::joinPath(ImagesFolder, file.toStdString()));
    auto it = icons.find(path);
    if (it == icons.end()) it = icons.insert(path, imageIcon(file));
    return *it;
}

bool structureLoaded() {
    return oReportEngine && oReportEngine->oResultXML && !oReportEngine->oResultXML->isEmpty();
}

std::string connectionPath(int group, int number) {
    return "DATABASESTRUCTURES/DATABASEGROUP[" + std::to_string(group) + "]/DATABASECONNECTION[" +
           std::to_string(number) + "]";
}

std::string appTitle() { return ui::kDefaultTitle; }

}  // namespace explorer

using namespace explorer;

namespace {

// Images of the objects bar, in their fixed order.
const QStringList kOutlookImages = {"TABLES",  "VIEWS",   "STOREDPROCEDURES", "TRIGGERS",
                                    "INDEXES", "DIAGRAM", "FOREIGNKEYS"};

const char* const kClosedImage = "DATABASECONNECTION_CLOSE";

// The current folder and connection numbers live in the connection options; loading another
// connection's options must not move them.
void keepCurrentConnection(int group, int number) {
    xml::Node db = oReportEngine->DBOptionsXML().selectSingleNode("DBOPTIONS/MOREINFO/DATABASE");
    if (!db) return;
    db.setAttribute("CurrentDatabaseGroup", std::to_string(group));
    db.setAttribute("CurrentDatabaseNumber", std::to_string(number));
}

std::string folderUrl(const std::string& folder) {
    return QUrl::fromLocalFile(QString::fromStdString(folder) + QLatin1Char('/')).toString(QUrl::FullyEncoded).toStdString();
}

// A style sheet with its @import rules put in their place (relative to the sheet's folder).
QString importedStyleSheet(const std::string& path, int depth = 0) {
    std::string css;
    if (depth > 4 || !files::readTextFile(path, css)) return {};
    static const QRegularExpression import(QStringLiteral(R"(@import\s+(?:url\()?\s*["']?([^"')\s;]+)["']?\s*\)?[^;]*;)"));
    const QString text = QString::fromStdString(css);
    QString out;
    qsizetype last = 0;
    for (auto it = import.globalMatch(text); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        out += text.mid(last, m.capturedStart() - last);
        out += importedStyleSheet(files::joinPath(files::parentFolder(path), m.captured(1).toStdString()), depth + 1);
        last = m.capturedEnd();
    }
    return out + text.mid(last);
}

// The contents of a list's items.
QStringList listItems(const QString& items) {
    static const QRegularExpression item(QStringLiteral(R"re(<li>(.*?)</li>)re"),
                                         QRegularExpression::DotMatchesEverythingOption);
    QStringList out;
    for (auto it = item.globalMatch(items); it.hasNext();) out << it.next().captured(1);
    return out;
}

// A list's items as the cells of one table row.
QString rowOfItems(const QString& items) {
    const QStringList cells = listItems(items);
    return cells.isEmpty() ? QString() : "<td>" + cells.join(QLatin1String("</td><td>")) + "</td>";
}

// The page as the pane lays it out like a browser, which it does with flexible boxes the pane
// lacks: the banner, the tab bar and the overview figures become table rows, the boxed
// sections one-cell tables, and the other section elements blocks classed by their tag, as
// the preview style sheet addresses them.
QString previewLayout(QString page) {
    const auto dot = QRegularExpression::DotMatchesEverythingOption;
    static const QRegularExpression banner(
        QStringLiteral(R"re(<header class="banner"([^>]*)>\s*(<img class="logo"[^>]*>)?\s*(.*?)\s*</header>)re"), dot);
    static const QRegularExpression tabs(QStringLiteral(R"re(<nav class="mainnav"([^>]*)>\s*<ul>(.*?)</ul>\s*</nav>)re"), dot);
    static const QRegularExpression figures(QStringLiteral(R"re(<ul class="figures">(.*?)</ul>)re"), dot);
    static const QRegularExpression onpage(QStringLiteral(R"re(<nav class="onpage"([^>]*)>\s*<ul>(.*?)</ul>\s*</nav>)re"), dot);
    auto each = [&page](const QRegularExpression& re, const std::function<QString(const QRegularExpressionMatch&)>& to) {
        QString out;
        qsizetype from = 0;
        for (auto it = re.globalMatch(page); it.hasNext();) {
            const QRegularExpressionMatch m = it.next();
            out += page.mid(from, m.capturedStart() - from) + to(m);
            from = m.capturedEnd();
        }
        page = out + page.mid(from);
    };
    // A full-width band holding its cells at their own widths.
    auto bar = [](const QString& cls, const QString& attributes, const QString& cells) {
        return QStringLiteral("<table class=\"%1\"%2 width=\"100%\" cellspacing=\"0\"><tr><td>"
                              "<table cellspacing=\"0\" cellpadding=\"8\"><tr>%3</tr></table></td></tr></table>")
            .arg(cls, attributes, cells);
    };
    each(banner, [&bar](const QRegularExpressionMatch& m) {
        return bar(QStringLiteral("banner"), m.captured(1),
                   (m.captured(2).isEmpty() ? QString() : QStringLiteral("<td valign=\"middle\">") + m.captured(2) + "</td>") +
                       QStringLiteral("<td valign=\"middle\">") + m.captured(3) + QStringLiteral("</td>"));
    });
    each(tabs, [&bar](const QRegularExpressionMatch& m) {
        return bar(QStringLiteral("mainnav"), m.captured(1), rowOfItems(m.captured(2)));
    });
    each(figures, [](const QRegularExpressionMatch& m) {
        return QStringLiteral("<table class=\"figures\" cellspacing=\"10\"><tr>") + rowOfItems(m.captured(1)) +
               QStringLiteral("</tr></table>");
    });
    // The links to a page's objects run on as lines of text.
    each(onpage, [](const QRegularExpressionMatch& m) {
        return QStringLiteral("<nav class=\"onpage\"%1><p>").arg(m.captured(1)) +
               listItems(m.captured(2)).join(QLatin1String(" &#160; ")) + QStringLiteral("</p></nav>");
    });
    // Sections with a class the sheet boxes become one-cell tables; the anchor keeps their id.
    static const QRegularExpression section(QStringLiteral(R"re(<section\b([^>]*)>|</section>)re"));
    static const QRegularExpression boxed(QStringLiteral(R"re(class="((?:object|contents|summary|diagram)\b[^"]*)")re"));
    static const QRegularExpression id(QStringLiteral(R"re(\bid="([^"]*)")re"));
    std::vector<bool> open;
    each(section, [&open](const QRegularExpressionMatch& m) {
        if (m.captured(0).startsWith(QLatin1String("</"))) {
            const bool box = !open.empty() && open.back();
            if (!open.empty()) open.pop_back();
            return box ? QStringLiteral("</td></tr></table>") : QStringLiteral("</section>");
        }
        const QRegularExpressionMatch cls = boxed.match(m.captured(1));
        open.push_back(cls.hasMatch());
        if (!cls.hasMatch()) return m.captured(0);
        const QRegularExpressionMatch anchor = id.match(m.captured(1));
        return QStringLiteral("<table class=\"card\"%1 width=\"100%\" cellspacing=\"0\"><tr><td class=\"%2\">")
                   .arg(anchor.hasMatch() ? " " + anchor.captured(0) : QString(), cls.captured(1)) +
               (anchor.hasMatch() ? QStringLiteral("<a name=\"%1\"></a>").arg(anchor.captured(1)) : QString());
    });
    // The remaining section elements: blocks with their tag as the first class.
    static const QRegularExpression tag(QStringLiteral(R"re(<(/?)(header|nav|main|section|footer|figure|figcaption)\b([^>]*)>)re"));
    each(tag, [](const QRegularExpressionMatch& m) {
        if (!m.captured(1).isEmpty()) return QStringLiteral("</div>");
        QString attributes = m.captured(3);
        const qsizetype at = attributes.indexOf(QLatin1String("class=\""));
        if (at >= 0)
            attributes.insert(at + 7, m.captured(2) + QLatin1Char(' '));
        else
            attributes.prepend(QStringLiteral(" class=\"%1\"").arg(m.captured(2)));
        return QStringLiteral("<div") + attributes + QLatin1Char('>');
    });
    return page;
}

// The style sheet as the preview pane can apply it: imports inlined, every var(--name)
// replaced by the value the sheet gives the custom property, rem lengths as em and a colour
// gradient as its first colour (the pane reads none of these), and the section elements'
// selectors made the classes and cells previewLayout gives them.
std::string previewStyleSheet(const std::string& path) {
    QString css = importedStyleSheet(path);
    static const QRegularExpression property(QStringLiteral(R"((--[\w-]+)\s*:\s*([^;}]+))"));
    std::map<QString, QString> values;
    for (auto it = property.globalMatch(css); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        values[m.captured(1)] = m.captured(2).trimmed();
    }
    static const QRegularExpression use(QStringLiteral(R"(var\(\s*(--[\w-]+)\s*(?:,\s*([^)]*))?\))"));
    QString out;
    qsizetype last = 0;
    for (auto it = use.globalMatch(css); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        const auto value = values.find(m.captured(1));
        out += css.mid(last, m.capturedStart() - last) + (value != values.end() ? value->second : m.captured(2).trimmed());
        last = m.capturedEnd();
    }
    out += css.mid(last);
    // The page's section elements arrive as blocks classed by their tag, a boxed section as a
    // table cell (previewLayout).
    static const QRegularExpression sections(QStringLiteral(R"((?<![\w.#-])section(?=\.))"));
    static const QRegularExpression tags(QStringLiteral(R"((?<![\w.#-])(header|nav|main|section|footer|figure|figcaption)(?![\w-]))"));
    static const QRegularExpression figures(QStringLiteral(R"(\.figures\s+a\b)"));
    out.replace(sections, QStringLiteral("td")).replace(tags, QStringLiteral(".\\1")).replace(figures, QStringLiteral(".figures td"));
    static const QRegularExpression rem(QStringLiteral(R"((\d)rem\b)"));
    static const QRegularExpression gradient(QStringLiteral(R"(linear-gradient\([^,()]*,\s*([^,()]+)[^()]*\))"));
    out.replace(rem, QStringLiteral("\\1em")).replace(gradient, QStringLiteral("\\1"));
    return out.replace(QLatin1String("</"), QLatin1String("<\\/")).toStdString();
}

QString lastPathComponent(const QString& url) {
    QString path = url;
    int slash = path.lastIndexOf(QLatin1Char('/'));
    return slash >= 0 ? path.mid(slash + 1) : path;
}

}  // namespace

// A report page names its style sheet and pictures as they lie beside a saved report; the
// preview in the temporary folder reads them where the program keeps them (a style sheet of
// the user's own where it is), with the sheet also in the page, as the pane applies it.

std::string explorer::previewReferences(std::string html, const std::string& css) {
    std::string cssFolder = StylesFolder;
    const std::string cssPath = files::normalizeSeparators(css);
    if (!cssPath.empty() && cssPath.front() == '/' && files::fileExists(cssPath)) cssFolder = files::parentFolder(cssPath);
    html = text::replaceAll(html, "href=\"styles/", "href=\"" + folderUrl(cssFolder));
    const std::size_t head = html.find("</head>");
    if (!cssPath.empty() && head != std::string::npos)
        html.insert(head, "<style>" + previewStyleSheet(files::joinPath(cssFolder, files::fileName(cssPath))) + "</style>");
    html = previewLayout(QString::fromStdString(html)).toStdString();
    const std::string own = PreviewFilePath("images");
    static const QRegularExpression images(QStringLiteral("src=\"images/([^\"]*)\""));
    QString page = QString::fromStdString(html);
    QString out;
    out.reserve(page.size());
    qsizetype from = 0;
    for (auto it = images.globalMatch(page); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        const std::string name = QUrl::fromPercentEncoding(m.captured(1).toUtf8()).toStdString();
        const bool kept = files::fileExists(files::joinPath(own, name));
        out += page.mid(from, m.capturedStart() - from);
        out += QStringLiteral("src=\"") + QString::fromStdString(folderUrl(kept ? own : ImagesFolder)) + m.captured(1) + "\"";
        from = m.capturedEnd();
    }
    out += page.mid(from);
    return out.toStdString();
}

// Makes the options of connection (g, n) the options object's: its DBOPTIONS and its
// connection string. False when the entry is missing or its options do not load.
bool explorer::loadEntryOptions(int group, int number) {
    xml::Node entry = oStructures.selectSingleNode("/" + connectionPath(group, number));
    if (!entry) return false;
    if (xml::Node opts = entry.selectSingleNode("DBOPTIONS")) {
        if (!oReportEngine->LoadDBOptionsXML(opts.xml())) return false;
        keepCurrentConnection(group, number);
    }
    std::string cs = entry.attribute("ConnectionString");
    if (cs.empty())
        if (xml::Node v = oReportEngine->DBOptionsXML().selectSingleNode("DBOPTIONS/CONNECTIONSTRING/@Value"))
            cs = v.text();
    oReportEngine->ConnectionString(cs);
    return true;
}

// ---- folder tree and objects bar ---------------------------------------------------------

void frmDatabaseExplorer::wireTreeAndPreviews() {
    // Handled once the mouse event is over: a load rebuilds the tree and deletes the item.
    connect(stMain, &QTreeWidget::itemClicked, this, [this](QTreeWidgetItem* item, int) {
        const QString key = item->data(0, kKeyRole).toString();
        QMetaObject::invokeMethod(
            this,
            [this, key] {
                if (busy()) return;  // a click queued before long work started
                if (QTreeWidgetItem* node = treeNode(key)) trvMain_NodeClick(node);
            },
            Qt::QueuedConnection);
    });
    stMain->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(stMain, &QTreeWidget::customContextMenuRequested, this,
            [this](const QPoint& p) { stMain_MouseDown(2, 0, p.x(), p.y()); });
    connect(obDBObjects, &QToolBox::currentChanged, this,
            [this](int index) { obDBObjects_GroupButtonClick(index); });
    wbHTMLPreview->setBeforeNavigate2([this](const QString& url) { return wbHTMLPreview_BeforeNavigate2(url); });
    wbWebLayout->setBeforeNavigate2([this](const QString& url) { return wbWebLayout_BeforeNavigate2(url); });
    wbPrintLayout->setBeforeNavigate2([this](const QString& url) { return wbPrintLayout_BeforeNavigate2(url); });
}

QTreeWidgetItem* frmDatabaseExplorer::treeNode(const QString& key) const {
    // The tree's items are made only by DisplayNodes and go only with the rebuild.
    return nodesByKey_.value(key, nullptr);
}

void frmDatabaseExplorer::PopulateLHXML() {
    stMain->clear();
    nodesByKey_.clear();
    // The nodes are made apart from the tree and go into it at once: a tree that shows each
    // new node of thousands lays itself out again for every one.
    newTopLevel_.clear();
    toExpand_.clear();
    xml::Node root = oStructures.documentElement();
    if (root)
        DisplayNodes(root, 1);
    else
        HandleError(91, "The project document has no root element.", "frmDatabaseExplorer.DisplayNodes");
    stMain->addTopLevelItems(newTopLevel_);
    for (QTreeWidgetItem* item : toExpand_) item->setExpanded(true);
    newTopLevel_.clear();
    toExpand_.clear();
    Add2OutlookBar();
    // Every change of folders and connections ends here: stored at once.
    StoreProjectIfChanged();
}

void frmDatabaseExplorer::DisplayNodes(const xml::Node& element, int level) {
    try {
        bool shown = !element.hasAttribute("Display") || element.attribute("Display") == "1";
        if (shown && element.hasAttribute("Key")) {
            if (!element.hasAttribute("Name"))
                throw std::runtime_error("The element " + element.name() + " has no name.");
            QString key = QString::fromStdString(element.attribute("Key"));
            if (treeNode(key)) {
                HandleError(35602, "Key is not unique in collection: " + key.toStdString(),
                            "frmDatabaseExplorer.DisplayNodes");
                return;
            }
            xml::Node parent = element.parent();
            QString parentKey = (parent && parent.isElement() && parent.hasAttribute("Key"))
                                    ? QString::fromStdString(parent.attribute("Key"))
                                    : QString();
            QTreeWidgetItem* item = nullptr;
            if (parentKey.isEmpty()) {
                item = new QTreeWidgetItem();
                newTopLevel_.append(item);
            } else if (QTreeWidgetItem* p = treeNode(parentKey)) {
                item = new QTreeWidgetItem(p);
            }
            // A keyed element whose parent has no node is left out.
            if (item) {
                item->setText(0, QString::fromStdString(element.attribute("Name")));
                item->setData(0, kKeyRole, key);
                nodesByKey_.insert(key, item);
                if (level <= 3)
                    for (QTreeWidgetItem* a = item->parent(); a; a = a->parent()) toExpand_.push_back(a);
                QString image = QString::fromStdString(element.attribute("TreeImage")).trimmed();
                if (!image.isEmpty()) {
                    item->setData(0, kImageRole, image);
                    item->setIcon(0, treeIcon(image));
                }
                if (element.hasAttribute("RHXPath")) {
                    item->setData(0, kTagRole, QString::fromStdString(element.attribute("RHXPath")));
                    item->setData(0, kHasObjectRole, true);
                    if (element.hasAttribute("ContextMenu"))
                        item->setData(0, kMenuRole, QString::fromStdString(element.attribute("ContextMenu")));
                }
            }
        }
    } catch (const std::exception& e) {
        HandleError(-1, e.what(), "frmDatabaseExplorer.DisplayNodes");
        return;
    }
    letEventsRun();
    for (const xml::Node& child : element.childElements()) DisplayNodes(child, level + 1);
}

void frmDatabaseExplorer::Add2OutlookBar() {
    QSignalBlocker block(obDBObjects);
    try {
        while (obDBObjects->count() > 0) {
            // A page may be the sender of the click being handled: deleted later.
            QWidget* page = obDBObjects->widget(0);
            obDBObjects->removeItem(0);
            page->hide();
            page->deleteLater();
        }
        xml::Document defaults;
        defaults.loadXML(txtDefaultXML->toPlainText().toStdString());
        xml::NodeList connections =
            oStructures.selectNodes("DATABASESTRUCTURES/DATABASEGROUP/DATABASECONNECTION");
        if (connections.empty()) connections = defaults.selectNodes("DATABASECONNECTION");
        int last = -1;
        for (const xml::Node& conn : connections) {
            QString groupKey = QString::fromStdString(conn.attribute("Key"));
            auto* list = new QListWidget();
            list->setProperty("key", groupKey);
            list->setProperty("tag", QString::fromStdString(conn.attribute("RHXPath")));
            list->setViewMode(QListView::IconMode);
            list->setFlow(QListView::TopToBottom);
            list->setWrapping(false);
            list->setMovement(QListView::Static);
            list->setIconSize(QSize(32, 32));
            list->setGridSize(QSize(110, 62));
            list->setWordWrap(true);
            list->setContextMenuPolicy(Qt::CustomContextMenu);
            last = obDBObjects->addItem(list, QString::fromStdString(conn.attribute("Name")));
            xml::NodeList children = conn.selectNodes("*[@Key]");
            bool ownKeys = !children.empty();
            if (!ownKeys) children = defaults.selectNodes("DATABASECONNECTION/*[@Key]");
            for (const xml::Node& child : children) {
                QString image = QString::fromStdString(child.attribute("TreeImage")).trimmed();
                if (!child.hasAttribute("Name") || !kOutlookImages.contains(image))
                    throw std::runtime_error("The objects bar has no image for the entry \"" +
                                             child.attribute("Name") + "\".");
                auto* item = new QListWidgetItem(QString::fromStdString(child.attribute("Name")), list);
                item->setData(kKeyRole, ownKeys ? QString::fromStdString(child.attribute("Key")) : groupKey);
                item->setData(kTagRole, QString::fromStdString(child.attribute("RHXPath")));
                item->setData(kImageRole, kOutlookImages.indexOf(image));
                item->setIcon(treeIcon(image));
                item->setTextAlignment(Qt::AlignHCenter | Qt::AlignTop);
            }
            connect(list, &QListWidget::itemClicked, this, [this, list](QListWidgetItem* item) {
                obDBObjects_ItemClick(obDBObjects->indexOf(list), list->row(item));
            });
            connect(list, &QListWidget::customContextMenuRequested, this, [this, list](const QPoint& p) {
                if (QListWidgetItem* item = list->itemAt(p))
                    obDBObjects_ItemRightClick(obDBObjects->indexOf(list), list->row(item));
            });
        }
        if (last >= 0) obDBObjects->setCurrentIndex(last);
        // Once one is chosen, the current connection's group stays open, so its items act on it.
        if (connectionChosen_) showCurrentConnectionInBar();
    } catch (const std::exception& e) {
        HandleError(-1, e.what(), "frmDatabaseExplorer.Add2OutlookBar");
    }
}

void frmDatabaseExplorer::showCurrentConnectionInBar() {
    xml::Node entry = oStructures.selectSingleNode(
        connectionPath(oReportEngine->CurrentDatabaseGroup(), oReportEngine->CurrentDatabaseNumber()));
    if (!entry) return;
    const QString key = QString::fromStdString(entry.attribute("Key"));
    QSignalBlocker block(obDBObjects);
    for (int i = 0; i < obDBObjects->count(); ++i)
        if (obDBObjects->widget(i)->property("key").toString() == key) obDBObjects->setCurrentIndex(i);
}

bool frmDatabaseExplorer::ParseNodeKey(const std::string& key) {
    try {
        QString k = QString::fromStdString(key);
        if (k.isEmpty() || !k.contains(QLatin1Char('|'))) return false;
        QStringList parts = k.split(QLatin1Char('|'));
        if (parts.size() < 2) return false;
        auto number = [](const QString& text) {
            if (text.trimmed().isEmpty()) return 1;
            bool ok = false;
            int v = text.trimmed().toInt(&ok);
            if (!ok) throw std::runtime_error("Type mismatch: \"" + text.toStdString() + "\" is not a number.");
            return v;
        };
        int g = number(parts[1]);
        int c = parts.size() > 2 ? number(parts[2]) : 1;
        if (parts.size() > 2) connectionChosen_ = true;
        if (g != oReportEngine->CurrentDatabaseGroup() || c != oReportEngine->CurrentDatabaseNumber()) {
            oReportEngine->CurrentDatabaseGroup(g);
            oReportEngine->CurrentDatabaseNumber(c);
            return true;
        }
        QTreeWidgetItem* selected = stMain->currentItem();
        return selected && selected->data(0, kImageRole).toString() == QLatin1String(kClosedImage);
    } catch (const std::exception& e) {
        HandleError(13, e.what(), "frmDatabaseExplorer.ParseNodeKey");
        return false;
    }
}

void frmDatabaseExplorer::trvMain_NodeClick(QTreeWidgetItem* node) {
    if (!node) return;
    try {
        // Loading may rebuild the tree and delete the node: work from copies.
        const QString key = node->data(0, kKeyRole).toString();
        const QString tag = node->data(0, kTagRole).toString();
        if (tag.isEmpty()) return;
        if (stMain->currentItem() != node) stMain->setCurrentItem(node);
        bool load = ParseNodeKey(key.toStdString());
        // A popup may have made this connection current while another one stayed loaded.
        if (!load && key.contains(QLatin1Char('|'))) {
            xml::Node entry = oStructures.selectSingleNode(
                connectionPath(oReportEngine->CurrentDatabaseGroup(), oReportEngine->CurrentDatabaseNumber()));
            load = entry && !entry.attribute("TempXMLFileName").empty() && !currentConnectionLoaded();
        }
        if (load) {
            LoadCurrentDB();
            if (QTreeWidgetItem* again = treeNode(key)) stMain->setCurrentItem(again);
        }
        if (key.count(QLatin1Char('|')) >= 2) showCurrentConnectionInBar();
        SelectedNodeKey = tag.contains(QLatin1String("DATABASESTRUCTURES")) ? std::string("DATABASE")
                                                                            : tag.toStdString();
        ShowNodeContent(treeNode(key));
    } catch (const std::exception& e) {
        HandleError(-1, e.what(), "frmDatabaseExplorer.trvMain_NodeClick");
    }
}

bool frmDatabaseExplorer::selectionHasStructure() const {
    QTreeWidgetItem* node = stMain->currentItem();
    if (!node || !oReportEngine) return false;
    const QStringList parts = node->data(0, kKeyRole).toString().split(QLatin1Char('|'));
    if (parts.size() < 3) return false;  // the root or a folder
    return parts[1].toInt() == oReportEngine->CurrentDatabaseGroup() &&
           parts[2].toInt() == oReportEngine->CurrentDatabaseNumber() && currentConnectionLoaded();
}

std::string frmDatabaseExplorer::noStructureReason() const {
    QTreeWidgetItem* node = stMain->currentItem();
    if (!node || !oReportEngine) return "Select a node of the folder tree to see its structure.";
    if (node->data(0, kKeyRole).toString().count(QLatin1Char('|')) < 2)
        return "Select a database connection to see its structure.";
    xml::Node entry = oStructures.selectSingleNode(
        connectionPath(oReportEngine->CurrentDatabaseGroup(), oReportEngine->CurrentDatabaseNumber()));
    const std::string name = entry ? entry.attribute("Name") : node->text(0).toStdString();
    if (entry && !entry.attribute("TempXMLFileName").empty())
        return "The structure of '" + name + "' could not be loaded.";
    if (entry && entry.attribute("Key") == refreshFailedKey_) return "Could not connect to '" + name + "'.";
    return "'" + name + "' is not connected.";
}

void frmDatabaseExplorer::ShowNoStructure(const std::string& reason) {
    if (!GenerateDefaultPage()) DefaultPagePath = "about:blank";
    const QString page = QString::fromStdString(DefaultPagePath);
    wbHTMLPreview->Navigate2(page);
    wbWebLayout->Navigate2(page);
    wbPrintLayout->Navigate2(page);
    wbXMLPreview->Navigate2("about:blank");
    ShowGridReason(reason);
}

void frmDatabaseExplorer::ShowNodeContent(QTreeWidgetItem* node) {
    if (!node) {
        ShowNoStructure(noStructureReason());
        return;
    }
    const QString key = node->data(0, kKeyRole).toString();
    const QString tag = node->data(0, kTagRole).toString();
    if (tag.contains(QLatin1String("DIAGRAM"))) {
        atRHContent->setTabEnabled(1, true);
        atRHContent->setCurrentIndex(1);
        atRHContent->setTabEnabled(0, false);
        atRHContent->setTabEnabled(2, false);
        EnableDiagramTool();
        bool generate = false;
        ShowDiagram(generate);
        return;
    }
    tbMain->setToolVisible("ID_OtherNode_EditDiagram", false);
    const bool connectionPart = key.contains(QLatin1Char('|'));
    atRHContent->setTabEnabled(0, true);
    atRHContent->setTabEnabled(1, connectionPart);
    atRHContent->setTabEnabled(2, connectionPart);
    // Only the node's own connection's structure is shown; the root and the folders show none.
    if (!selectionHasStructure()) {
        ShowNoStructure(noStructureReason());
        return;
    }
    // The previews of a connection node show the whole structure.
    PreviewHTML(SelectedNodeKey);
    letEventsRun();
    std::string gridKey = tag.toStdString();
    if (!FillDetailsGrid(gridKey)) ShowGridReason("Nothing to show for " + node->text(0).toStdString() + ".");
}

bool frmDatabaseExplorer::SelectConnectedDB() {
    try {
        xml::Node entry = oStructures.selectSingleNode(
            connectionPath(oReportEngine->CurrentDatabaseGroup(), oReportEngine->CurrentDatabaseNumber()));
        if (!entry || !entry.hasAttribute("Key")) return false;
        QTreeWidgetItem* node = treeNode(QString::fromStdString(entry.attribute("Key")));
        if (!node) return false;
        // The wizard has just imported this connection: its structure is the loaded one.
        if (structureLoaded()) loadedFrom_ = entry.attribute("TempXMLFileName");
        stMain->setCurrentItem(node);
        trvMain_NodeClick(node);
        return true;
    } catch (const std::exception& e) {
        HandleError(-1, e.what(), "frmDatabaseExplorer.SelectConnectedDB");
        return false;
    }
}

void frmDatabaseExplorer::DisplayContextMenu(QTreeWidgetItem* node, const std::string& source) {
    if (!node || busy()) return;
    try {
        const QString key = node->data(0, kKeyRole).toString();
        const QString text = node->text(0);
        const QString parentText = node->parent() ? node->parent()->text(0) : QString();
        const bool hasParent = node->parent() != nullptr;
        const QString menu = node->data(0, kMenuRole).toString();
        const bool hasObject = node->data(0, kHasObjectRole).toBool();
        stMain->setCurrentItem(node);
        ParseNodeKey(key.toStdString());
        if (!hasObject || menu.isEmpty()) return;
        if (hasParent)
            tbMain->setToolVisible("ID_OtherNode_OpenAllRows",
                                   parentText == QLatin1String("Tables") || parentText == QLatin1String("Views"));
        if (text == QLatin1String("Relationship Diagram"))
            EnableDiagramTool();
        else
            tbMain->setToolVisible("ID_OtherNode_EditDiagram", false);
        const bool fromTree = source != "OutlookBar";
        for (auto id : {"ID_OtherNode_CollapseAll", "ID_OtherNode_ExpandAll", "ID_DatabaseNode_CollapseAll",
                        "ID_DatabaseNode_ExpandAll"})
            tbMain->setToolVisible(id, fromTree);
        tbMain->setToolVisible("ID_DatabaseNode_Migrate",
                               menu == QLatin1String("ID_DatabaseNode") || text == QLatin1String("Tables"));
        if (!tbMain->hasBand(menu)) return;
        lastPopupBand_ = menu;
        tbMain->showPopup(menu);
    } catch (const std::exception& e) {
        HandleError(-1, e.what(), "frmDatabaseExplorer.DisplayContextMenu");
    }
}

void frmDatabaseExplorer::stMain_MouseDown(int button, int /*shift*/, int x, int y) {
    if (button != 2) return;
    if (QTreeWidgetItem* node = stMain->itemAt(x, y)) DisplayContextMenu(node, "TreeView");
}

QTreeWidgetItem* frmDatabaseExplorer::objectsBarNode(int group, int item) const {
    auto* list = qobject_cast<QListWidget*>(obDBObjects->widget(group));
    if (!list) return nullptr;
    if (item < 0) return treeNode(list->property("key").toString());
    QListWidgetItem* it = list->item(item);
    return it ? treeNode(it->data(kKeyRole).toString()) : nullptr;
}

void frmDatabaseExplorer::obDBObjects_GroupButtonClick(int group) {
    if (busy() || pctAnimation->isVisible()) return;  // long work runs: the click is dropped
    if (QTreeWidgetItem* node = objectsBarNode(group, -1)) {
        stMain->scrollToItem(node);
        stMain->setCurrentItem(node);
        trvMain_NodeClick(node);
    }
}

void frmDatabaseExplorer::obDBObjects_ItemClick(int group, int item) {
    if (busy() || pctAnimation->isVisible()) return;
    if (QTreeWidgetItem* node = objectsBarNode(group, item)) {
        stMain->scrollToItem(node);
        stMain->setCurrentItem(node);
        trvMain_NodeClick(node);
    } else if (!wizardVisible_) {
        showConnectionWizard();
    }
}

void frmDatabaseExplorer::obDBObjects_ItemRightClick(int group, int item) {
    if (busy() || pctAnimation->isVisible()) return;
    DisplayContextMenu(objectsBarNode(group, item), "OutlookBar");
}

// ---- loading a connection ----------------------------------------------------------------

bool frmDatabaseExplorer::LoadCurrentDB() {
    const int g = oReportEngine ? oReportEngine->CurrentDatabaseGroup() : 0;
    const int n = oReportEngine ? oReportEngine->CurrentDatabaseNumber() : 0;
    // Whatever fails, no structure of another connection stays beside these options.
    auto fail = [this] {
        loadedFrom_.clear();
        EnableSaveMenus(false);
        if (oReportEngine) oReportEngine->oResultXML.reset();
        return false;
    };
    try {
        if (!oReportEngine) return false;
        xml::Node entry = oStructures.selectSingleNode("/" + connectionPath(g, n));
        if (!entry) return fail();
        if (!loadEntryOptions(g, n)) return fail();
        // An entry without the attribute has not been connected either.
        const std::string temp = entry.attribute("TempXMLFileName");
        if (!temp.empty()) {
            if (!oReportEngine->LoadCurrentDBXML(temp)) {
                ui::MsgBox("Your database structure could not be loaded, please contact dalvane help",
                           ui::MsgButtons::OK, ui::MsgIcon::Information, appTitle());
                return fail();
            }
            keepCurrentConnection(g, n);
            loadedFrom_ = temp;
            return true;
        }
        // Not connected since the program started.
        QTreeWidgetItem* selected = stMain->currentItem();
        if (selected && selected->data(0, kImageRole).toString() == QLatin1String(kClosedImage)) {
            const std::string name = selected->text(0).toStdString();
            if (ui::MsgBox("The database '" + name + "' is not connected. Do you want to connect?",
                           ui::MsgButtons::YesNo, ui::MsgIcon::Question, "Dalvane 4.5") == ui::MsgResult::Yes &&
                RefreshDatabaseConnection())
                return true;
        }
        return fail();
    } catch (const std::exception& e) {
        HandleError(-1, e.what(), "frmDatabaseExplorer.LoadCurrentDB");
        return fail();
    }
}

bool frmDatabaseExplorer::RefreshDatabaseConnection() {
    ui::WaitCursor wait;
    LongWork work(this);
    std::string entryKey;
    try {
        if (!oReportEngine) return false;
        const int g = oReportEngine->CurrentDatabaseGroup();
        const int n = oReportEngine->CurrentDatabaseNumber();
        if (xml::Node entry = oStructures.selectSingleNode(connectionPath(g, n))) entryKey = entry.attribute("Key");
        refreshFailedKey_.clear();
        // The import replaces entry (g, n): it must run with that entry's own options.
        bool ok = loadEntryOptions(g, n);
        // A connection that did not open is not imported; a cancel during the connect ends it.
        if (ok) ok = oReportEngine->OpenDalvDatabase() && !oReportEngine->ImportCancelled() &&
                     oReportEngine->ImportDatabase(false);
        if (!ok) {
            const bool cancelled = oReportEngine->ImportCancelled();
            if (!cancelled) {
                refreshFailedKey_ = entryKey;
                ui::MsgBox("Could not connect to database", ui::MsgButtons::OK, ui::MsgIcon::Critical, "Dalvane 4.5");
            }
            StopProgress("");
            // A structure that is not this connection's does not stay beside its options (the
            // caller shows the node without it).
            if (structureLoaded() && !currentConnectionLoaded()) forgetLoadedStructure();
            work.setResult(cancelled ? "Import cancelled" : "");
            return false;
        }
        EnableSaveMenus(true);
        ui::restartPendingEvents();  // the status is shown before the tree is rebuilt
        setStatusText("Loading the folder tree...");
        oReportEngine->WriteTempFile();
        PopulateLHXML();
        xml::Node entry = oStructures.selectSingleNode(connectionPath(g, n));
        loadedFrom_ = entry ? entry.attribute("TempXMLFileName") : std::string();
        return !loadedFrom_.empty();
    } catch (const files::FileError& e) {
        refreshFailedKey_ = entryKey;
        ReportFileError(e, "You dont have permission to save the xml in the selected folder.",
                        "frmDatabaseExplorer.RefreshDatabaseConnection");
        StopProgress("");
        if (structureLoaded() && !currentConnectionLoaded()) forgetLoadedStructure();
        return false;
    } catch (const std::exception& e) {
        refreshFailedKey_ = entryKey;
        HandleError(-1, e.what(), "frmDatabaseExplorer.RefreshDatabaseConnection");
        if (structureLoaded() && !currentConnectionLoaded()) forgetLoadedStructure();
        return false;
    }
}

// ---- previews ----------------------------------------------------------------------------

bool frmDatabaseExplorer::PreviewHTML(const std::string& key, const std::string& page) {
    try {
        if (key.empty() || !structureLoaded()) return false;
        if (!selectionHasStructure()) {
            ShowNoStructure(noStructureReason());
            return false;
        }
        if (QString::fromStdString(key).contains(QLatin1String("DIAGRAM"), Qt::CaseInsensitive)) {
            atRHContent->setTabEnabled(1, true);
            atRHContent->setCurrentIndex(1);
            atRHContent->setTabEnabled(0, false);
            atRHContent->setTabEnabled(2, false);
            bool generate = false;
            ShowDiagram(generate);
            return false;
        }
        if (oReportEngine->PrinterFriendlyXSL.empty()) {
            // The printable copy uses the catalogue's "Printer Friendly" layout.
            xml::Document catalogue;
            if (catalogue.load(files::joinPath(DataFolder, "dvreport.xml"))) {
                xml::Node layout = catalogue.selectSingleNode(
                    "REPORT/LAYOUT[@Type='BuiltIn'][@Caption=" + xml::xpathLiteral("Printer Friendly") + "]");
                if (layout && layout.hasAttribute("XSLFile"))
                    oReportEngine->PrinterFriendlyXSL = files::joinPath(StylesFolder, layout.attribute("XSLFile"));
                if (xml::Node style = layout ? layout.selectSingleNode("STYLE[1]") : xml::Node();
                    style && style.hasAttribute("CSSFile"))
                    oReportEngine->PrinterFriendlyCSS = "styles/" + style.attribute("CSSFile");
            }
        }
        std::string screenHtml, xmlText, printHtml;
        if (!oReportEngine->PreparePreview(0, key, screenHtml, xmlText, printHtml, page)) return false;
        screenHtml = previewReferences(screenHtml, oReportEngine->HTML_CurrentCSS());
        printHtml = previewReferences(printHtml, oReportEngine->PrinterFriendlyCSS);
        EnableSaveMenus(true);
        const std::string screenPath = PreviewFilePath("temp.html");
        const std::string printPath = PreviewFilePath("temp_print.html");
        const std::string xmlPath = PreviewFilePath("temp.xml");
        if (!files::writeTextFile(screenPath, screenHtml) || !files::writeTextFile(printPath, printHtml))
            throw std::runtime_error("The preview cannot be written to " + files::parentFolder(screenPath) + ".");
        // A pane already on its page (at any anchor) is reloaded in place.
        auto show = [](ui::BrowserPane* pane, const std::string& path) {
            QString target = QString::fromStdString(path);
            if (pane->LocationURL().section(QLatin1Char('#'), 0, 0) == target)
                pane->Refresh2();
            else
                pane->Navigate2(target);
        };
        show(wbHTMLPreview, screenPath);
        letEventsRun();
        show(wbWebLayout, screenPath);
        letEventsRun();
        show(wbPrintLayout, printPath);
        letEventsRun();
        xml::Document doc;
        if (doc.loadXML(xmlText))
            if (xml::Node ro = doc.selectSingleNode("DATABASE/REPORTOPTIONS")) ro.remove();
        if (!doc.save(xmlPath)) throw std::runtime_error("The preview cannot be written to " + xmlPath + ".");
        wbXMLPreview->Navigate2(QString::fromStdString(xmlPath));
        return true;
    } catch (const std::exception& e) {
        HandleError(-1, e.what(), "frmDatabaseExplorer.PreviewHTML");
        return false;
    }
}

bool frmDatabaseExplorer::wbHTMLPreview_BeforeNavigate2(const QString& url) { return NavigateFromPreviewLink(url); }
bool frmDatabaseExplorer::wbWebLayout_BeforeNavigate2(const QString& url) { return NavigateFromPreviewLink(url); }
bool frmDatabaseExplorer::wbPrintLayout_BeforeNavigate2(const QString& url) { return NavigateFromPreviewLink(url); }

std::string frmDatabaseExplorer::BuildCaseInsensitivePredicate(const std::string& attribute, const std::string& value) {
    // Report anchors write white space in names as "_".
    return "[translate(" + attribute + ",'ABCDEFGHIJKLMNOPQRSTUVWXYZ \t\n\r','abcdefghijklmnopqrstuvwxyz____')=" +
           xml::xpathLiteral(value) + "]";
}

std::string frmDatabaseExplorer::StripDigits(const std::string& text) {
    static const QRegularExpression digits(QStringLiteral("\\d+"));
    return QString::fromStdString(text).remove(digits).toStdString();
}

bool frmDatabaseExplorer::NavigateFromPreviewLink(const QString& url) {
    if (busy()) return true;  // a link followed while long work runs goes nowhere
    try {
        const QString current = lastPathComponent(wbHTMLPreview->LocationURL()).section(QLatin1Char('#'), 0, 0);
        const QString target = lastPathComponent(url).toLower();
        if (current.compare(QLatin1String("default.html"), Qt::CaseInsensitive) == 0) {
            // The start page links name tree keys, relative to the page's folder.
            QString folder = QString::fromStdString(files::parentFolder(DefaultPagePath)) + QLatin1Char('/');
            QString key = url.startsWith(folder) ? url.mid(folder.size()) : lastPathComponent(url);
            if (QTreeWidgetItem* node = treeNode(key)) {
                stMain->scrollToItem(node);
                stMain->setCurrentItem(node);
                trvMain_NodeClick(node);
            }
            return true;
        }
        const QString marker = QStringLiteral(".html____");
        const int at = target.indexOf(marker);
        if (at < 0) {
            // A page of the report (contents, tables, ..., summary): the preview shows that page
            // of the whole structure in place, as the saved report would.
            QString page = target.section(QLatin1Char('#'), 0, 0);
            QString stem = QString::fromStdString(bXMLSupport::HtmlFileStem(oReportEngine->DatabaseName())).toLower();
            if (stem.isEmpty() || !page.startsWith(stem) || !page.endsWith(QLatin1String(".html"))) return false;
            page = page.mid(stem.size()).chopped(5);
            static const QStringList kinds = {"index", "tables", "views", "storedprocedures", "diagram", "summary"};
            const QString kind = QString::fromStdString(StripDigits(page.toStdString()));
            if (!kinds.contains(kind)) return false;
            return PreviewHTML("DATABASE", kind.toStdString());
        }
        if (current.isEmpty() || current == QLatin1String("about:blank") || target == QLatin1String("temp2.html") ||
            target.contains(QLatin1String("jpg")))
            return false;
        const QString anchor = target.mid(at + marker.size());
        QString table, kind, object;
        if (anchor.contains(QLatin1String("____"))) {
            QStringList parts = anchor.split(QStringLiteral("____"));
            table = parts.value(0);
            kind = parts.value(1).toUpper();
            object = parts.size() >= 3 ? parts[2] : anchor;
        } else {
            QString page = target.left(at);
            QString stem = QString::fromStdString(bXMLSupport::HtmlFileStem(oReportEngine->DatabaseName())).toLower();
            if (!stem.isEmpty() && page.startsWith(stem)) page = page.mid(stem.size());
            kind = QString::fromStdString(StripDigits(page.toStdString())).toUpper();
            object = anchor;
        }
        auto P = [](const QString& value) {
            return QString::fromStdString(BuildCaseInsensitivePredicate("@Name", value.toStdString()));
        };
        QString relative;
        if (kind == QLatin1String("TABLES"))
            relative = "TABLES/TABLE" + P(object);
        else if (kind == QLatin1String("INDEXES"))
            relative = "TABLES/TABLE" + P(table) + "/INDEXES/INDEX" + P(object);
        else if (kind == QLatin1String("TRIGGERS"))
            relative = "TABLES/TABLE" + P(table) + "/TRIGGERS/TRIGGER" + P(object);
        else if (kind == QLatin1String("FOREIGNKEYS"))
            relative = "TABLES/TABLE" + P(table) + "/FOREIGNKEYS/FOREIGNKEY" + P(object);
        else if (kind == QLatin1String("STOREDPROCEDURES"))
            relative = "STOREDPROCEDURES/STOREDPROCEDURE" + P(object);
        else if (kind == QLatin1String("VIEWS"))
            relative = "VIEWS/VIEW" + P(object);
        else if (kind == QLatin1String("INDEX")) {
            QString o = object.toUpper();
            relative = o == QLatin1String("INDEXES")    ? QString()
                       : o == QLatin1String("TRIGGERS") ? QStringLiteral("TABLES/*/TRIGGERS")
                                                        : o;
            // Only element names can come from the index page.
            static const QRegularExpression name(QStringLiteral("^[A-Z_*/]*$"));
            if (!name.match(relative).hasMatch()) return false;
        } else if (kind.contains(QLatin1String("DIAGRAM")))
            relative = QStringLiteral("RELATIONSHIPDIAGRAM");
        else
            return false;
        std::string full = connectionPath(oReportEngine->CurrentDatabaseGroup(), oReportEngine->CurrentDatabaseNumber());
        if (!relative.isEmpty()) full += "/" + relative.toStdString();
        xml::Node found = oStructures.selectSingleNode(full);
        if (!found || !found.hasAttribute("Key")) return false;
        QTreeWidgetItem* node = treeNode(QString::fromStdString(found.attribute("Key")));
        if (!node) return false;
        stMain->scrollToItem(node);
        stMain->setCurrentItem(node);
        trvMain_NodeClick(node);
        return true;
    } catch (const std::exception& e) {
        HandleError(-1, e.what(), "frmDatabaseExplorer.NavigateFromPreviewLink");
        return false;
    }
}

// ---- right-hand tabs ---------------------------------------------------------------------

bool frmDatabaseExplorer::EnableTabs(int tabIndex, bool show) {
    const int i = tabIndex - 1;
    if (i < 0 || i >= atRHContent->count()) return false;
    int shown = 0;
    for (int t = 0; t < atRHContent->count(); ++t)
        if (atRHContent->isTabVisible(t)) ++shown;
    if (!atRHContent->isTabEnabled(i)) {
        atRHContent->setTabEnabled(i, true);
        tabTags_[i] = QStringLiteral("Disabled");
    } else {
        tabTags_[i].clear();
    }
    if (!show && shown < 2) return false;
    if (atRHContent->currentIndex() == i) {
        bool moved = false;
        if (i > 0 && atRHContent->isTabVisible(i - 1)) {
            atRHContent->setCurrentIndex(i - 1);
            moved = true;
        }
        if (!moved && i < atRHContent->count() - 1 && atRHContent->isTabVisible(i + 1))
            atRHContent->setCurrentIndex(i + 1);
    }
    atRHContent->setTabVisible(i, show);
    if (!show && atRHContent->currentIndex() == i)
        for (int t = 0; t < atRHContent->count(); ++t)
            if (atRHContent->isTabVisible(t)) {
                atRHContent->setCurrentIndex(t);
                break;
            }
    if (show && tabTags_[i] == QLatin1String("Disabled")) atRHContent->setTabEnabled(i, false);
    return true;
}

void frmDatabaseExplorer::DisableNormalLayoutMenu(bool enabled) {
    for (auto id : {"ID_View_DBTreeView", "ID_View_DBObjectsBar", "ID_View_DetailsTab", "ID_View_HTMLPreviewTab",
                    "ID_View_XMLPreviewTab"})
        tbMain->setToolEnabled(id, enabled);
}
