#pragma once

#include <QString>

// Holds a panel's default MQTT id for as long as the panel runs, so that the next panel started
// on the host takes the next one (MqttIdRule): a lock file per id, held with flock(), which the
// system lets go when the process ends, however it ends; the file a killed panel leaves behind
// is simply taken by the next. The files are in the user's runtime folder ($XDG_RUNTIME_DIR),
// else in the panel's cache folder.
class MqttIdClaim
{
public:
    static constexpr int kMostInstances = 99;

    // Lock files go to folder (made when missing); empty: the default folder.
    explicit MqttIdClaim(const QString &folder = QString());
    ~MqttIdClaim();
    MqttIdClaim(const MqttIdClaim &) = delete;
    MqttIdClaim &operator=(const MqttIdClaim &) = delete;

    // The first id for hostName and portOneDevice that no other panel holds, now held by this
    // one. Should no lock file be usable (a read-only folder, all taken), the first id,
    // unheld: the panel publishes as it did before ids were claimed.
    QString claim(const QString &hostName, const QString &portOneDevice);
    bool holds() const { return m_fd >= 0; }

private:
    QString m_folder;
    int m_fd = -1;
};
