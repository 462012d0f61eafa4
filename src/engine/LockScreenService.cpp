#include "engine/LockScreenService.h"

#include "engine/EntriesJSONService.h"
#include "engine/WallpaperAerialsExtensionService.h"
#include "foundation/AppError.h"
#include "foundation/Async.h"
#include "foundation/Log.h"
#include "foundation/Shared.h"
#include "foundation/UserDefaults.h"

#include <QCoro/QCoroFuture>
#include <QtConcurrent/QtConcurrentRun>

#include <exception>
#include <optional>

namespace {
const QString kType = QStringLiteral("LockScreenService");
} // namespace

LockScreenService::LockScreenService(QObject* parent) : LockScreenService(UserDefaults::standard(), parent) {}

LockScreenService::LockScreenService(UserDefaults& defaults, QObject* parent)
    : QObject(parent), defaults_(defaults), isEnabled_(defaults.boolean(kUserDefaultsKey, false))
{
    // A settings file read only after launch holds the stored choice.
    connect(&defaults_, &UserDefaults::fileRead, this, [this] {
        const bool stored = defaults_.boolean(kUserDefaultsKey, false);
        if (!isProcessing_ && stored != isEnabled_)
            publish(stored);
    });
}

LockScreenService& LockScreenService::shared() { return Shared<LockScreenService>::instance(); }

void LockScreenService::setIsEnabled(bool enabled)
{
    // The running step decides where the switch ends; a toggle that could only contradict it is
    // turned down, and observers are told the value stands.
    if (isProcessing_ && enabled != isEnabled_) {
        emit isEnabledChanged(isEnabled_);
        return;
    }
    setEnabled(enabled);
    publish(enabled);
}

void LockScreenService::publish(bool enabled)
{
    isEnabled_ = enabled;
    emit isEnabledChanged(enabled);
}

void LockScreenService::setEnabled(bool enabled)
{
    if (isProcessing_ || isEnabled_ == enabled)
        return;
    isProcessing_ = true;
    // On a later turn: the assignment is announced before any step runs, as observers expect.
    launch([self = QPointer(this), enabled] { return switchTo(self, enabled); }, kType);
}

QCoro::Task<> LockScreenService::switchTo(QPointer<LockScreenService> self, bool enabled)
{
    std::optional<QString> failure;
    try {
        if (enabled) {
            // File copies and JSON edits: on a worker, so a slow disk never stalls the window.
            EntriesJSONService* entries = &EntriesJSONService::shared();
            auto install = [entries]() -> std::exception_ptr {
                try {
                    entries->backupAndInstallEntries();
                    return nullptr;
                } catch (...) {
                    return std::current_exception();
                }
            };
            QFuture<std::exception_ptr> installed = QtConcurrent::run(install);
            const std::exception_ptr installFailure = co_await installed;
            if (installFailure)
                std::rethrow_exception(installFailure);
        } else
            co_await EntriesJSONService::shared().restoreDefaultEntries();
    } catch (const std::exception& error) {
        failure = describeError(error);
    }
    if (!self)
        co_return;
    if (failure) {
        self->isProcessing_ = false;
        logLine(QStringLiteral("⚠️"), kType,
            (enabled ? QStringLiteral("Could not switch the lock screen on: ") : QStringLiteral("Could not switch the lock screen off: "))
                + *failure);
        // Only the published value goes back; the manifest stays as the failed step left it.
        self->publish(!enabled);
        co_return;
    }

    std::optional<QString> restartFailure;
    try {
        co_await WallpaperAerialsExtensionService::shared().restartExtension();
    } catch (const std::exception& error) {
        restartFailure = describeError(error);
    }
    if (!self)
        co_return;
    if (restartFailure)
        logLine(QStringLiteral("⚠️"), kType, QStringLiteral("Extension restart failed: ") + *restartFailure);
    self->defaults_.setBool(kUserDefaultsKey, enabled);
    self->isProcessing_ = false;
}
