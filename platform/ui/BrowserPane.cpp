#include "platform/ui/BrowserPane.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QScrollBar>
#include <QUrl>

namespace ui {

BrowserPane::BrowserPane(QWidget* parent) : QTextBrowser(parent) {
    setOpenLinks(false);
    setOpenExternalLinks(false);
    connect(this, &QTextBrowser::anchorClicked, this,
            [this](const QUrl& url) {
                followLink(QUrl::fromPercentEncoding(url.toEncoded()));
            });
}

QString BrowserPane::resolve(const QString& url) const {
    if (url.isEmpty() || url == QLatin1String("about:blank")) return QStringLiteral("about:blank");
    QUrl u(url);
    if (u.isLocalFile()) {
        QString path = u.toLocalFile();
        return u.hasFragment() ? path + QLatin1Char('#') + u.fragment() : path;
    }
    if (url.startsWith(QLatin1Char('#'))) {
        QString base = location_.section(QLatin1Char('#'), 0, 0);
        return base + url;
    }
    if (!u.scheme().isEmpty()) return url;  // another scheme: left as given
    if (QDir::isRelativePath(url) && location_ != QLatin1String("about:blank")) {
        QString base = QFileInfo(location_.section(QLatin1Char('#'), 0, 0)).absolutePath();
        return QDir(base).filePath(url);
    }
    return url;
}

void BrowserPane::followLink(const QString& url) {
    QString target = resolve(url);
    if (before_ && before_(target)) return;
    Navigate2(target);
}

void BrowserPane::Navigate2(const QString& url) {
    QString target = resolve(url);
    location_ = target;
    if (target == QLatin1String("about:blank")) {
        setSource(QUrl());
        clear();
    } else {
        QString path = target.section(QLatin1Char('#'), 0, 0);
        QString anchor = target.contains(QLatin1Char('#')) ? target.section(QLatin1Char('#'), 1)
                                                           : QString();
        QUrl u = QUrl::fromLocalFile(path);
        if (!anchor.isEmpty()) u.setFragment(anchor);
        if (QFileInfo::exists(path) && QFileInfo(path).suffix().compare(QLatin1String("xml"), Qt::CaseInsensitive) == 0) {
            // XML documents are shown as their text.
            QFile file(path);
            setSource(QUrl());
            setPlainText(file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString());
        } else if (QFileInfo::exists(path)) {
            if (source() == u)
                reload();
            else
                setSource(u);
        } else {
            setSource(QUrl());
            setHtml(QStringLiteral("<p>The page cannot be displayed.</p>"));
        }
    }
    emit navigateComplete(location_);
}

void BrowserPane::Refresh2() {
    if (location_ == QLatin1String("about:blank")) return;
    int scroll = verticalScrollBar() ? verticalScrollBar()->value() : 0;
    Navigate2(location_);
    if (verticalScrollBar()) verticalScrollBar()->setValue(scroll);
}

}  // namespace ui
