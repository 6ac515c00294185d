#pragma once

#include <QLocalServer>
#include <QString>
#include <filesystem>
#include <functional>

namespace qrv::window {

// The name of the local socket through which a second start of the station
// on the same station directory asks the running one to come forward.
QString InstanceChannelName(const std::filesystem::path& stationDirectory);

// Listens on the channel and calls raise for every knock.
class InstanceChannelServer final : public QObject {
    Q_OBJECT
  public:
    InstanceChannelServer(const QString& name, std::function<void()> raise,
                          QObject* parent = nullptr);
    bool IsListening() const { return server_.isListening(); }

  private:
    QLocalServer server_;
    std::function<void()> raise_;
};

// Knocks on the running instance's channel; false when nobody answered.
bool AskRunningInstanceToRaise(const QString& name);

}  // namespace qrv::window
