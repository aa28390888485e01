// The helper's client of an RGB lighting server over TCP: negotiates the
// version, enumerates the controllers, and shows each light command on
// every selected one (per-LED mode, then one update of all its LEDs),
// animating the moving effects itself. On the GUI thread, never blocking.
#pragma once

#include "light_command.h"
#include "search_schedule.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <memory>

struct OpenRgbSettings {
    QString host = QStringLiteral("127.0.0.1");
    quint16 port = 6742;
    QStringList devices;  // controller names; empty = every controller
    qint64 searchFastPhaseMs = SearchSchedule::kFastPhaseMs;
};

class OpenRgbClient : public QObject
{
    Q_OBJECT
public:
    explicit OpenRgbClient(const OpenRgbSettings &settings, QObject *parent = nullptr);
    ~OpenRgbClient() override;  // sends what is still queued, without waiting

    // Connects, and keeps connecting: at once after a lost connection, then
    // every kRetryIntervalMs. Does nothing while started.
    void start();
    // Ends the connection, the retries and the animation; the last command
    // is kept for the next start.
    void stop();
    bool isStarted() const;
    // Started but not connected: connects now instead of at the next retry.
    void searchAgain();
    // Connected, enumerated, and at least one selected controller known.
    bool isReady() const;

    // Keeps the command as the one to show; shows it now when ready (true
    // then), else once the server is ready (false now).
    bool show(const protocol::LightCommand &command);
    void forgetLastCommand();

    static constexpr int kRetryIntervalMs = 2000;
    // A version request left unanswered this long means a version 0 server.
    static constexpr int kVersionWaitMs = 1000;
    // Any other request left unanswered this long ends the connection.
    static constexpr int kAnswerWaitMs = 3000;

signals:
    void readyChanged(bool ready);

private:
    struct Private;
    std::unique_ptr<Private> d;
};
