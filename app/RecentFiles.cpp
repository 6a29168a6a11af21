#include "RecentFiles.h"

#include <QFileInfo>
#include <QSettings>

namespace zarn::app {

namespace {

const QString kGroup = QStringLiteral("Recent File List");

QString keyOf(int index) {
    return QStringLiteral("File%1").arg(index + 1);
}

} // namespace

RecentFiles::RecentFiles(QSettings& settings, QObject* parent)
    : QObject(parent), settings_(settings) {}

QStringList RecentFiles::files() const {
    QStringList list;
    settings_.beginGroup(kGroup);
    for (int i = 0; i < kMaxFiles; ++i) {
        const QString path = settings_.value(keyOf(i)).toString();
        if (!path.isEmpty()) {
            list.append(path);
        }
    }
    settings_.endGroup();
    return list;
}

void RecentFiles::add(const QString& path) {
    const QString absolute = QFileInfo(path).absoluteFilePath();
    QStringList list = files();
    list.removeAll(absolute);
    list.prepend(absolute);
    store(list);
}

void RecentFiles::remove(const QString& path) {
    QStringList list = files();
    if (list.removeAll(QFileInfo(path).absoluteFilePath()) + list.removeAll(path) > 0) {
        store(list);
    }
}

void RecentFiles::store(const QStringList& files) {
    settings_.beginGroup(kGroup);
    for (int i = 0; i < kMaxFiles; ++i) {
        if (i < files.size()) {
            settings_.setValue(keyOf(i), files[i]);
        } else {
            settings_.remove(keyOf(i));
        }
    }
    settings_.endGroup();
    settings_.sync();
    emit changed();
}

} // namespace zarn::app
