#pragma once
// A fresh folder for one window test: the settings files (MORVILO_HOME) and the per-user
// settings store point into it, so tests never see each other's or the user's settings.

#include <QByteArray>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>

#include <memory>

inline std::unique_ptr<QTemporaryDir> UseTemporaryHome() {
    auto home = std::make_unique<QTemporaryDir>();
    qputenv("MORVILO_HOME", home->path().toLocal8Bit());
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, home->filePath("settings"));
    return home;
}

// The bytes of a file; empty when it cannot be read.
inline QByteArray FileBytes(const QString &path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}
