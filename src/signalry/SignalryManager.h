#pragma once

#include "signalry/Parameters.h"

#include <memory>
#include <mutex>
#include <optional>

namespace signalry {

class DefaultsSuite;
class SignalManageable;
class SignalryManagerConfiguration;

// Owns one configuration, its analytics defaults suite and one signal manager. At most one
// manager is installed at a time (SignalryManagerStorage); signals sent while none is installed
// are dropped with a log line. Installed, replaced and terminated on the GUI thread; its
// operations may be called from any thread.
class SignalryManager : public std::enable_shared_from_this<SignalryManager> {
public:
    explicit SignalryManager(std::shared_ptr<SignalryManagerConfiguration> configuration);
    // With a signal manager of the caller's choosing.
    SignalryManager(std::shared_ptr<SignalryManagerConfiguration> configuration, std::unique_ptr<SignalManageable> signalManager);
    ~SignalryManager();
    SignalryManager(const SignalryManager&) = delete;
    SignalryManager& operator=(const SignalryManager&) = delete;

    static void initialize(std::shared_ptr<SignalryManagerConfiguration> configuration);
    // Installs `manager` in place of any earlier one; its first session starts 0.5 s later.
    static void install(std::shared_ptr<SignalryManager> manager);
    static bool isInitialized();
    // The installed manager, or nothing.
    static std::shared_ptr<SignalryManager> shared();
    static void terminate();
    // The installed manager's suite, or nothing while none is installed.
    static std::shared_ptr<DefaultsSuite> analyticsDefaultsSuite();

    // The client's internal send, used by everything except `Signalry::signal`: no signal-name
    // prefix, no name check; the configuration's default parameters go under `parameters`.
    static void deliverSignal(const QString& signalType, const Parameters& parameters, std::optional<double> floatValue,
                              const std::optional<QString>& customUserID);
    void deliver(const QString& signalType, const Parameters& parameters, std::optional<double> floatValue,
                 const std::optional<QString>& customUserID);

    void send(const QString& signalType, const Parameters& parameters = {});
    void send(const QString& signalType, const std::optional<QString>& customUserID, std::optional<double> floatValue,
              const Parameters& parameters);
    void generateNewSession();
    // At most one early send per 10 seconds, 50 ms after the request.
    void requestImmediateSync();
    void updateDefaultUser(std::optional<QString> user);
    QString hashedDefaultUser() const;

    const std::shared_ptr<SignalryManagerConfiguration>& configuration() const { return configuration_; }
    SignalManageable& signalManager() const { return *signalManager_; }
    const std::shared_ptr<DefaultsSuite>& defaultsSuite() const { return defaultsSuite_; }

private:
    const std::shared_ptr<SignalryManagerConfiguration> configuration_;
    const std::shared_ptr<DefaultsSuite> defaultsSuite_;
    const std::unique_ptr<SignalManageable> signalManager_;
    std::mutex syncMutex_;
    std::optional<double> lastTimeImmediateSyncRequested_; // monotonic seconds
};

} // namespace signalry
