#pragma once

#include <QObject>
#include <QStringList>

class QSettings;

namespace zarn::app {

/**
 * The four most recently used session files, newest first, kept in the program's settings file
 * under "Recent File List" (File1 to File4).
 */
class RecentFiles : public QObject {
    Q_OBJECT

public:
    static constexpr int kMaxFiles = 4;

    explicit RecentFiles(QSettings& settings, QObject* parent = nullptr);

    QStringList files() const;
    /** Puts @p path (made absolute) first, dropping an older entry of it and the fifth. */
    void add(const QString& path);
    void remove(const QString& path);

signals:
    void changed();

private:
    void store(const QStringList& files);

    QSettings& settings_;
};

} // namespace zarn::app
