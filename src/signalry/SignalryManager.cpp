#include "signalry/SignalryManager.h"

#include "signalry/Clock.h"
#include "signalry/DefaultsSuite.h"
#include "signalry/MainThread.h"
#include "signalry/ReservedNames.h"
#include "signalry/Sha256Hex.h"
#include "signalry/SignalManager.h"
#include "signalry/Signalry.h"
#include "signalry/SignalryManagerConfiguration.h"
#include "signalry/SignalryManagerStorage.h"

#include <QUuid>

namespace signalry {

namespace {
constexpr int kSessionStartDelayMs = 500;
constexpr double kImmediateSyncIntervalSeconds = 10.0;
constexpr int kImmediateSyncDelayMs = 50;

std::shared_ptr<DefaultsSuite> makeSuite(const SignalryManagerConfiguration& configuration)
{
    const QString name = DefaultsSuite::suiteName(configuration.signalryAppID());
    return std::make_shared<DefaultsSuite>(DefaultsSuite::defaultFilePath(name), configuration.logHandler());
}
} // namespace

SignalryManager::SignalryManager(std::shared_ptr<SignalryManagerConfiguration> configuration)
    : SignalryManager(configuration, std::make_unique<SignalManager>(configuration))
{
}

SignalryManager::SignalryManager(std::shared_ptr<SignalryManagerConfiguration> configuration,
                                 std::unique_ptr<SignalManageable> signalManager)
    : configuration_(std::move(configuration)), defaultsSuite_(makeSuite(*configuration_)), signalManager_(std::move(signalManager))
{
}

SignalryManager::~SignalryManager() = default;

void SignalryManager::initialize(std::shared_ptr<SignalryManagerConfiguration> configuration)
{
    install(std::make_shared<SignalryManager>(std::move(configuration)));
}

void SignalryManager::install(std::shared_ptr<SignalryManager> manager)
{
    const std::weak_ptr<SignalryManager> installed = manager;
    std::shared_ptr<SignalryManager> replaced = SignalryManagerStorage::setManager(std::move(manager));
    // Only the manager still installed then starts its session; one replaced meanwhile does not
    // start a session on its successor.
    MainThread::postAfter(kSessionStartDelayMs, [installed] {
        const std::shared_ptr<SignalryManager> current = installed.lock();
        if (current && current == shared())
            current->generateNewSession();
    });
    replaced.reset();
}

bool SignalryManager::isInitialized() { return shared() != nullptr; }

std::shared_ptr<SignalryManager> SignalryManager::shared() { return SignalryManagerStorage::manager(); }

void SignalryManager::terminate() { SignalryManagerStorage::setManager(nullptr).reset(); }

std::shared_ptr<DefaultsSuite> SignalryManager::analyticsDefaultsSuite()
{
    const std::shared_ptr<SignalryManager> manager = shared();
    return manager ? manager->defaultsSuite_ : nullptr;
}

void SignalryManager::deliverSignal(const QString& signalType, const Parameters& parameters, std::optional<double> floatValue,
                                    const std::optional<QString>& customUserID)
{
    if (const std::shared_ptr<SignalryManager> manager = shared()) {
        manager->deliver(signalType, parameters, floatValue, customUserID);
        return;
    }
    LogHandler::standard(LogHandler::LogLevel::Info)
        .log(LogHandler::LogLevel::Error, QStringLiteral("Signalry is not initialized, dropping signal ") + signalType);
}

void SignalryManager::deliver(const QString& signalType, const Parameters& parameters, std::optional<double> floatValue,
                              const std::optional<QString>& customUserID)
{
    if (configuration_->swiftUIPreviewMode() || configuration_->analyticsDisabled())
        return;
    const Parameters defaults = prefixedParameters(configuration_->defaultParameters()(), *configuration_);
    ReservedNames::warnAboutParameterKeys(*configuration_, defaults);
    MainThread::post([self = shared_from_this(), signalType, parameters = merged(defaults, parameters), floatValue, customUserID] {
        self->signalManager_->enqueueSignal(signalType, parameters, floatValue, customUserID, self->configuration_);
    });
}

void SignalryManager::send(const QString& signalType, const Parameters& parameters) { send(signalType, std::nullopt, std::nullopt, parameters); }

void SignalryManager::send(const QString& signalType, const std::optional<QString>& customUserID, std::optional<double> floatValue,
                           const Parameters& parameters)
{
    Signalry::signal(signalType, parameters, floatValue, customUserID);
}

void SignalryManager::generateNewSession() { configuration_->setSessionID(QUuid::createUuid()); }

void SignalryManager::requestImmediateSync()
{
    {
        std::lock_guard lock(syncMutex_);
        const double now = Clock::current().monotonicSeconds();
        if (lastTimeImmediateSyncRequested_ && now - *lastTimeImmediateSyncRequested_ <= kImmediateSyncIntervalSeconds)
            return;
        lastTimeImmediateSyncRequested_ = now;
    }
    MainThread::postAfter(kImmediateSyncDelayMs, [weak = weak_from_this()] {
        if (const std::shared_ptr<SignalryManager> manager = weak.lock())
            manager->signalManager_->sendNextBatch();
    });
}

void SignalryManager::updateDefaultUser(std::optional<QString> user) { configuration_->setDefaultUser(std::move(user)); }

QString SignalryManager::hashedDefaultUser() const
{
    return sha256Hex(signalManager_->defaultUserIdentifier(), configuration_->salt());
}

} // namespace signalry
