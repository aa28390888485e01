// The helper's client of an RGB lighting server over TCP: negotiates the
// version, enumerates the controllers, and shows each light command on
// the selected ones, animating the moving effects itself. Only a
// controller's "Direct" mode that does not store each update is driven
// often; a named controller without one gets a still colour per command.
// Every controller gets at most 30 updates in any second. On the GUI
// thread, never blocking.
#pragma once

#include "light_command.h"
#include "search_schedule.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <memory>

// What the lighting server's controllers show where the shutdown profile
// would: what they had before the helper took them, or the profile.
enum class AtExit { Restore, Profile };

struct OpenRgbSettings {
    QString host = QStringLiteral("127.0.0.1");
    quint16 port = 6742;
    QStringList devices;  // controller names; empty = every controller
    qint64 searchFastPhaseMs = SearchSchedule::kFastPhaseMs;
    AtExit atExit = AtExit::Restore;
};

class OpenRgbClient : public QObject
{
    Q_OBJECT
public:
    explicit OpenRgbClient(const OpenRgbSettings &settings, QObject *parent = nullptr);
    // Sends what is still queued, the restoring packets as soon as the
    // update limit allows (at most two slots), without waiting for more.
    ~OpenRgbClient() override;

    // Connects now, and after a failure on the search schedule; after a
    // connection that stayed good for kStableMs, at once and then on a
    // schedule begun anew. Does nothing while started.
    void start();
    // Ends the connection, the retries and the animation, giving the
    // controllers back first when the settings say so (waiting for that at
    // most a few update slots); the last command is kept for the next start.
    void stop();
    bool isStarted() const;
    // Begins the search schedule anew; started but not connected: connects
    // now instead of at the next retry.
    void searchAgain();
    // Connected, enumerated, and at least one selected controller known.
    bool isReady() const;

    // Keeps the command as the one to show; shows it when ready (true
    // then, though it may wait for the next slot), else once the server is
    // ready (false now).
    bool show(const protocol::LightCommand &command);
    // Where the shutdown profile shows: with AtExit::Restore every
    // controller it took gets back the mode (and, for a per-LED mode, the
    // colours) it had then, and nothing more until the next show();
    // otherwise as show().
    bool showShutdown(const protocol::LightCommand &shutdownProfile);
    void forgetLastCommand();

    static constexpr int kRetryIntervalMs = int(SearchSchedule::kFastIntervalMs);
    // A version request left unanswered this long means a version 0 server.
    static constexpr int kVersionWaitMs = 1000;
    // Any other request left unanswered this long ends the connection.
    static constexpr int kAnswerWaitMs = 3000;
    // A connection that lasted this long after its enumeration was good:
    // its loss is retried at once and logged again.
    static constexpr qint64 kStableMs = 10000;
    // What enumeration keeps in all; controllers past it are skipped.
    static constexpr std::size_t kMaxTotalLeds = 65536;

signals:
    void readyChanged(bool ready);

private:
    struct Private;
    std::unique_ptr<Private> d;
};
