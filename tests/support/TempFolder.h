#pragma once

#include "foundation/Paths.h"

#include <QTemporaryDir>

#include <memory>

// A fresh folder for one test, with every user folder root (caches, support, config, tmp,
// home) moved under it while alive.
class TempFolder {
public:
    TempFolder() : paths_(std::make_unique<Paths::Override>(dir_.path())) {}
    QString path() const { return dir_.path(); }
    QString file(const QString& relative) const { return dir_.filePath(relative); }

private:
    QTemporaryDir dir_;
    std::unique_ptr<Paths::Override> paths_;
};
