#include "platform/registry/cRegistry.h"

#include <QDir>
#include <QSettings>
#include <QStandardPaths>
#include <QStringList>

#include <cstdlib>

namespace {

QStringList keyParts(const std::string& subKey) {
    QString s = QString::fromStdString(subKey);
    s.replace('\\', '/');
    return s.split('/', Qt::SkipEmptyParts);
}

QString findChild(const QStringList& names, const QString& wanted) {
    for (const QString& n : names)
        if (n.compare(wanted, Qt::CaseInsensitive) == 0) return n;
    return {};
}

// Enters the groups of subKey with their stored spelling. With create, missing parts are
// entered as given. Returns the number of groups entered, -1 when a part is missing.
int enterKey(QSettings& s, const std::string& subKey, bool create) {
    int depth = 0;
    for (const QString& part : keyParts(subKey)) {
        QString name = findChild(s.childGroups(), part);
        if (name.isEmpty()) {
            if (!create) {
                for (int i = 0; i < depth; ++i) s.endGroup();
                return -1;
            }
            name = part;
        }
        s.beginGroup(name);
        ++depth;
    }
    return depth;
}

QString valueKey(const std::string& valueName) {
    return valueName.empty() ? QStringLiteral("@") : QString::fromStdString(valueName);
}

std::string cleanText(QString t) {
    t.remove(QChar(0));
    return t.trimmed().toStdString();
}

// Reads the value as text; a value that the INI reader split at commas is joined again.
bool readValue(QSettings& s, const std::string& valueName, QString& out) {
    QString key = findChild(s.childKeys(), valueKey(valueName));
    if (key.isEmpty()) return false;
    QVariant v = s.value(key);
    if (v.typeId() == QMetaType::QStringList)
        out = v.toStringList().join(QStringLiteral(", "));
    else
        out = v.toString();
    return true;
}

}  // namespace

std::string cRegistry::hiveFile(std::uint32_t rootKey) {
    QString base;
    if (rootKey == HKEY_CURRENT_USER) {
        base = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    } else if (rootKey == HKEY_LOCAL_MACHINE) {
        const char* dirs = std::getenv("XDG_CONFIG_DIRS");
        QString first = dirs ? QString::fromLocal8Bit(dirs).section(':', 0, 0) : QString();
        base = first.isEmpty() ? QStringLiteral("/etc/xdg") : first;
    } else {
        return "";
    }
    return (base + QStringLiteral("/Torvik/registry.ini")).toStdString();
}

bool cRegistry::CreateRegistryEntry() {
    std::string file = hiveFile(key_);
    if (file.empty() || keyParts(subKey_).isEmpty()) return false;
    QSettings s(QString::fromStdString(file), QSettings::IniFormat);
    enterKey(s, subKey_, true);
    // An INI group exists only with a value in it: give the key its (empty) default value.
    if (!s.contains(QStringLiteral("@"))) s.setValue(QStringLiteral("@"), QString());
    s.sync();
    return s.status() == QSettings::NoError;
}

std::string cRegistry::GetRegistryValue() {
    std::string file = hiveFile(key_);
    if (file.empty()) return "";
    QSettings s(QString::fromStdString(file), QSettings::IniFormat);
    if (s.status() != QSettings::NoError || enterKey(s, subKey_, false) < 0) return "";
    QString text;
    if (!readValue(s, valueName_, text)) return "";
    valueData_ = cleanText(text);
    return valueData_;
}

bool cRegistry::DeleteRegistryEntry() {
    std::string file = hiveFile(key_);
    QStringList parts = keyParts(subKey_);
    if (file.empty() || parts.isEmpty()) return false;
    QSettings s(QString::fromStdString(file), QSettings::IniFormat);
    QString last = parts.takeLast();
    QString parent = parts.join('/');
    if (enterKey(s, parent.toStdString(), false) < 0) return false;
    QString name = findChild(s.childGroups(), last);
    if (name.isEmpty()) return false;
    s.remove(name);
    s.sync();
    return s.status() == QSettings::NoError;
}

long cRegistry::GetRegistryValueLength() {
    std::string file = hiveFile(key_);
    if (file.empty()) return 0;
    QSettings s(QString::fromStdString(file), QSettings::IniFormat);
    if (enterKey(s, subKey_, false) < 0) return 0;
    QString text;
    if (!readValue(s, valueName_, text)) return 0;
    return static_cast<long>(text.toUtf8().size()) + 1;
}

std::string cRegistry::GetKeys() {
    std::string file = hiveFile(key_);
    if (file.empty()) return "";
    QSettings s(QString::fromStdString(file), QSettings::IniFormat);
    if (enterKey(s, subKey_, false) < 0) return "";
    std::string result;
    for (const QString& g : s.childGroups()) {
        std::string name = cleanText(g);
        if (!name.empty()) result = name;
    }
    return result;
}
