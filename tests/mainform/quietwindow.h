#pragma once
// The main window for a test: its message boxes do not block, errors are collected in errors,
// and a question to save is answered "No".

#include "app/mainform.h"

#include <QCoreApplication>
#include <QMessageBox>
#include <QStringList>

#include <memory>

inline std::unique_ptr<morvilo::TMainform> StartQuietWindow(const QString &home,
                                                            QStringList &errors) {
    auto form = std::make_unique<morvilo::TMainform>(home);
    form->errorBox = [&errors](const QString &message) { errors << message; };
    form->infoBox = [](const QString &) {};
    form->saveQuestion = [] { return QMessageBox::No; };
    form->show();
    QCoreApplication::processEvents();
    return form;
}
