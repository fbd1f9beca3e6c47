// Renders a written report page in headless Chromium: the page loads with its style sheet and
// the screenshot shows the styled tables. Skipped when Chromium is not installed.
#include "test_html_support.h"

#include "platform/fs/Paths.h"
#include "reports/bXMLSupport.h"

#include <QColor>
#include <QImage>
#include <QProcess>
#include <QStandardPaths>
#include <QStringList>

#include <set>

using namespace htmltest;

namespace {

QString findChromium() {
    for (const char* name : {"chromium", "chromium-browser", "google-chrome"}) {
        const QString path = QStandardPaths::findExecutable(name);
        if (!path.isEmpty()) return path;
    }
    return {};
}

// Runs Chromium headless with a fresh profile; returns its standard output.
QByteArray runChromium(const QString& exe, const QString& profile, const QStringList& extra, bool& finished) {
    QStringList args{"--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
                     "--disable-background-networking", "--disable-component-update", "--disable-sync",
                     "--user-data-dir=" + profile};
    args << extra;
    QProcess p;
    p.start(exe, args);
    finished = p.waitForFinished(90000);
    if (!finished) {
        p.kill();
        p.waitForFinished(5000);
    }
    return p.readAllStandardOutput();
}

}  // namespace

TEST_F(HtmlReportTest, ChromiumRendersTheTablesPage) {
    const QString exe = findChromium();
    if (exe.isEmpty()) GTEST_SKIP() << "Chromium is not installed (scripts/setup-chromium.sh)";

    loadStructure("reports/sales_ado.xml");
    const std::string folder = reportFolder("shot");
    ASSERT_FALSE(exportTo(folder).empty());
    const std::string page = folder + "SalesDemoTables1.html";
    const QString url = "file://" + QString::fromStdString(page);

    bool finished = false;
    const QByteArray dom = runChromium(exe, QString::fromStdString(dir.file("profile1")), {"--dump-dom", url}, finished);
    ASSERT_TRUE(finished) << "Chromium did not finish";
    EXPECT_TRUE(dom.contains("<section class=\"object table\" id=\"regions\">")) << dom.left(400).toStdString();
    EXPECT_TRUE(dom.contains("customer_addresses"));

    const std::string png = dir.file("tables.png");
    runChromium(exe, QString::fromStdString(dir.file("profile2")),
                {"--screenshot=" + QString::fromStdString(png), "--window-size=1280,1000", "--hide-scrollbars", url},
                finished);
    ASSERT_TRUE(finished) << "Chromium did not finish";
    ASSERT_TRUE(files::fileExists(png)) << "no screenshot written";
    QImage shot(QString::fromStdString(png));
    ASSERT_FALSE(shot.isNull());
    EXPECT_EQ(shot.width(), 1280);

    // The style sheet was applied: the banner's dark blue and the grid's header tint are there,
    // and the page is not one flat colour.
    const QColor banner(0x13, 0x32, 0x5b), header(0xe6, 0xee, 0xf8);
    bool sawBanner = false, sawHeader = false;
    std::set<QRgb> colours;
    for (int y = 0; y < shot.height(); y += 2)
        for (int x = 0; x < shot.width(); x += 2) {
            const QColor c = shot.pixelColor(x, y);
            colours.insert(c.rgb());
            auto near = [&](const QColor& want) {
                return std::abs(c.red() - want.red()) < 8 && std::abs(c.green() - want.green()) < 8 &&
                       std::abs(c.blue() - want.blue()) < 8;
            };
            sawBanner = sawBanner || near(banner);
            sawHeader = sawHeader || near(header);
        }
    EXPECT_TRUE(sawBanner);
    EXPECT_TRUE(sawHeader);
    EXPECT_GT(colours.size(), 20u);
}
