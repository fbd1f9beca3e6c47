#include "platform/ui/BrowserPane.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <fstream>

TEST(BrowserPane, NavigatesFilesAnchorsAndBlank) {
    testsupport::TempDir dir;
    std::string page = dir.file("temp.html");
    std::ofstream(page) << "<html><body><a name='x'>first</a></body></html>";
    ui::BrowserPane pane;
    EXPECT_EQ(pane.LocationURL(), "about:blank");
    pane.Navigate2(QString::fromStdString(page));
    EXPECT_EQ(pane.LocationURL().toStdString(), page);
    EXPECT_TRUE(pane.toPlainText().contains("first"));
    pane.Navigate2(QString::fromStdString(page) + "#x");
    EXPECT_EQ(pane.LocationURL().toStdString(), page + "#x");

    // Refresh2 re-reads the file and keeps the address.
    std::ofstream(page) << "<html><body>second</body></html>";
    pane.Refresh2();
    EXPECT_TRUE(pane.toPlainText().contains("second"));
    EXPECT_EQ(pane.LocationURL().toStdString(), page + "#x");

    pane.Navigate2("about:blank");
    EXPECT_EQ(pane.LocationURL(), "about:blank");
    EXPECT_TRUE(pane.toPlainText().isEmpty());

    pane.Navigate2(QString::fromStdString(dir.file("missing.html")));
    EXPECT_TRUE(pane.toPlainText().contains("cannot be displayed"));
}

TEST(BrowserPane, LinksPassThroughBeforeNavigate) {
    testsupport::TempDir dir;
    std::string start = dir.file("default.html");
    std::string other = dir.file("other.html");
    std::ofstream(start) << "<html><body>start</body></html>";
    std::ofstream(other) << "<html><body>other</body></html>";
    ui::BrowserPane pane;
    pane.Navigate2(QString::fromStdString(start));
    QStringList seen;
    bool cancel = true;
    pane.setBeforeNavigate2([&](const QString& url) {
        seen << url;
        return cancel;
    });
    // A relative link resolves against the shown page; a cancelled link stays put.
    pane.followLink("Dalvane Group|1");
    ASSERT_EQ(seen.size(), 1);
    EXPECT_EQ(seen[0].toStdString(), dir.file("Dalvane Group|1"));
    EXPECT_EQ(pane.LocationURL().toStdString(), start);
    cancel = false;
    pane.followLink("other.html");
    EXPECT_EQ(pane.LocationURL().toStdString(), other);
    EXPECT_TRUE(pane.toPlainText().contains("other"));
    pane.followLink("#top");
    EXPECT_EQ(pane.LocationURL().toStdString(), other + "#top");
}
