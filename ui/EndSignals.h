#pragma once
// The requests to end that come as signals: SIGTERM (logout, shutdown,
// kill), SIGHUP (the terminal went away) and SIGINT (Ctrl+C). They end the
// program the way its end command does, settings saved, instead of killing
// it on the spot.
//
// A signal handler may do almost nothing, so the handler only writes the
// signal's number into a pipe; a socket notifier on the pipe's other end
// emits endRequested from the event loop, where the save-and-end can run.
// A signal that arrives before the event loop runs waits in the pipe.

#include <QObject>

class QSocketNotifier;

class EndSignals : public QObject {
    Q_OBJECT
public:
    // Installs the handlers. One object at a time; while it lives the three
    // signals no longer end the program by themselves.
    explicit EndSignals(QObject *parent = nullptr);
    // Puts the default handling of the three signals back.
    ~EndSignals() override;

    // False when the handlers could not be installed (the signals then keep
    // their default handling).
    bool isActive() const { return m_notifier != nullptr; }

signals:
    // Emitted from the event loop, once per signal received.
    void endRequested(int signalNumber);

private:
    void readPipe();

    QSocketNotifier *m_notifier = nullptr;
};
