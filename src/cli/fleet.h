#ifndef CLI_FLEET_H
#define CLI_FLEET_H

// What the commands on many cameras share (rollout, inventory, backup --out-dir): the camera list, the
// options, the operator's interrupts and the run of the core's fleet job with its lines and exit status.
#include <QCommandLineParser>
#include <QJsonObject>
#include <QObject>
#include <QString>
#include <QVector>

#include <functional>

#include "rollout.h"
#include "subcommand.h"

class QSocketNotifier;
class RolloutJournal;

namespace fleet
{
// Exit status of a job that ended before every camera began: interrupted, or stopped at a threshold.
constexpr int StoppedStatus = 3;
constexpr int DefaultStallSeconds = 30;

struct Host {
    QString address;
    QString deviceId;
    QString mac;
};

// HOST... and --hosts-file.
void declareHosts(QCommandLineParser& parser);
void declareParallel(QCommandLineParser& parser);
void declareStallTimeout(QCommandLineParser& parser);
// The cameras of HOST... or --hosts-file: -1 when they are read and every one is an address, else the exit
// status after saying why.
int readHosts(const Invocation& in, QVector<Host>* hosts);
// One address per line ('#' starts a comment), or a CSV file whose header names an `ip` or `address` column
// (the output of search --csv, an inventory or a report), its device_id and mac columns read too.
bool readHostsFile(const QString& path, QVector<Host>* hosts, QString* error);
// --parallel, 1 to Rollout::MaxParallel, or -1.
int parallel(const QCommandLineParser& parser);
// --stall-timeout in milliseconds, or -1 when it is no whole number of seconds from 1 to a day.
int stallTimeoutMs(const QCommandLineParser& parser);

// The operator's Ctrl-C and SIGTERM as calls of `handler` with how many came so far, from the event loop.
// A signal ignored when the program started (a background job's SIGINT) stays ignored.
class Interrupts : public QObject
{
public:
    explicit Interrupts(std::function<void(int count)> handler);
    ~Interrupts() override;

private:
    QSocketNotifier* m_notifier;
    std::function<void(int)> m_handler;
    int m_count = 0;
};

// How one command shows its job.
struct Face {
    QString start; // the first line
    // The results counted in the summary, in its order; other results are counted only when they occur.
    QVector<Rollout::State> counted;
    QVector<Rollout::State> optional;
    // A camera's result: the words after its address and result, and the JSON fields beside "state".
    std::function<QString(const Rollout::Camera&)> text;
    std::function<QJsonObject(const Rollout::Camera&)> fields;
    RolloutJournal* journal = nullptr; // written by itself; its last error fails the result
};

// Runs the job to its end: a JSON line per state change (a live line per camera on a terminal), a line per
// result, the summary and the result. Exit status: 0 every camera done, 1 some camera failed or the journal
// could not be written, 3 interrupted or stopped before every camera began.
int run(const Invocation& in, Rollout& rollout, const Face& face);

// backup --out-dir DIR: every camera's archive into DIR/ADDRESS.tar.gz (fleetcommands.cpp).
int runBackups(const Invocation& in);
} // namespace fleet

#endif // CLI_FLEET_H
