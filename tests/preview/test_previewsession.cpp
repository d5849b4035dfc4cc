// The preview session against simulated cameras and plain sockets on loopback: what it refuses and when it
// gives up, stopping in every state with pictures in flight, and reopening a stream that stops, falling back
// to RTP over UDP at each attempt and keeping the attempts apart.
#include <QTcpServer>
#include <QTcpSocket>
#include <QtTest>

#include <arpa/inet.h>
#include <sys/socket.h>
#include <unistd.h>

#include "cameralog.h"
#include "previewsession.h"
#include "rtspthread.h"

namespace
{
// What a session reported, and when.
struct SessionLog {
    QElapsedTimer clock;
    QStringList events; // "opened", "failed Unreachable", "reconnecting"...
    QList<qint64> frames;

    explicit SessionLog(PreviewSession& session)
    {
        clock.start();
        QObject::connect(&session, &PreviewSession::opened, [this] { events << "opened"; });
        QObject::connect(&session, &PreviewSession::failed, [this](PreviewSession::Failure failure) {
            events << QString("failed ") +
                          QMetaEnum::fromType<PreviewSession::Failure>().valueToKey(int(failure));
        });
        QObject::connect(&session, &PreviewSession::reconnecting, [this] { events << "reconnecting"; });
        QObject::connect(&session, &PreviewSession::frame, [this] { frames << clock.elapsed(); });
    }
};

// An RTSP port that drops each connection unanswered, or answers every request with `status` and closes; it
// notes when each connection came.
struct RtspPeer : QTcpServer {
    QElapsedTimer* clock;
    QByteArray status;
    QList<qint64> accepted;
    RtspPeer(const char* address, quint16 port, QElapsedTimer* clock, const QByteArray& status = QByteArray())
        : clock(clock), status(status)
    {
        listen(QHostAddress(address), port);
        connect(this, &QTcpServer::newConnection, [this] {
            QTcpSocket* peer = nextPendingConnection();
            accepted << this->clock->elapsed();
            if (this->status.isEmpty())
                return delete peer;
            connect(peer, &QTcpSocket::readyRead, [this, peer] {
                const QByteArray request = peer->readAll();
                const int at = request.indexOf("CSeq:");
                const QByteArray seq = request.mid(at + 5, request.indexOf('\r', at) - at - 5).trimmed();
                peer->write("RTSP/1.0 " + this->status + "\r\nCSeq: " + seq + "\r\n\r\n");
                peer->disconnectFromHost();
            });
        });
    }
};

// A port whose accept queue is full: a connection attempt gets no answer at all.
struct Blackhole {
    int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    QTcpSocket filler[2];
    Blackhole(const char* address, quint16 port)
    {
        sockaddr_in name{};
        name.sin_family = AF_INET;
        name.sin_port = htons(port);
        inet_pton(AF_INET, address, &name.sin_addr);
        const int one = 1;
        setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
        if (::bind(fd, reinterpret_cast<sockaddr*>(&name), sizeof name) == 0 && ::listen(fd, 0) == 0)
            for (QTcpSocket& socket : filler) {
                socket.connectToHost(address, port);
                socket.waitForConnected(200);
            }
    }
    ~Blackhole() { ::close(fd); }
};

int threadsOf(const PreviewSession& session)
{
    return session.findChildren<RtspThread*>().size();
}

// Nothing left to fire later: no probe limit, stall watchdog or retry pending.
bool nothingScheduled(const PreviewSession& session)
{
    for (const QTimer* timer : session.findChildren<QTimer*>())
        if (timer->isActive())
            return false;
    return true;
}
} // namespace

class TestPreviewSession : public QObject
{
    Q_OBJECT

private slots:
    // Address, port, outcome, and the time it may take: refused by start() itself, or a failure signalled
    // later, never from within start().
    void refused_data()
    {
        QTest::addColumn<QString>("address");
        QTest::addColumn<QString>("port");
        QTest::addColumn<QString>("outcome");
        QTest::addColumn<int>("minMs");
        QTest::addColumn<int>("maxMs");
        struct Row {
            const char *name, *address, *port, *outcome;
            int minMs, maxMs;
        };
        const Row rows[] = {
            {"empty address", "", "8711", "refused", 0, 0},
            {"empty port", "127.0.0.11", "", "refused", 0, 0},
            {"octet above 255", "192.168.1.300", "8711", "refused", 0, 0},
            {"port of letters", "127.0.0.11", "rtsp", "failed Unreachable", 0, 300},
            {"nobody listening", "127.0.0.12", "8712", "failed Unreachable", 0, 300},
            {"no answer to the probe", "127.0.0.13", "8713", "failed Unreachable", 1490, 1700},
            // The probe's connection, then the stream's over TCP and over UDP: a connection dropped
            // unanswered reads like an answer offering another transport. A busy camera is asked once.
            {"no RTSP answer", "127.0.0.11", "8711", "failed StreamFailed", 0, 2000},
            {"camera busy", "127.0.0.18", "8718", "failed StreamFailed", 0, 2000},
        };
        for (const Row& r : rows)
            QTest::newRow(r.name) << QString(r.address) << QString(r.port) << QString(r.outcome) << r.minMs
                                  << r.maxMs;
    }
    void refused()
    {
        QFETCH(QString, address);
        QFETCH(QString, port);
        QFETCH(QString, outcome);
        QFETCH(int, minMs);
        QFETCH(int, maxMs);
        QElapsedTimer clock;
        clock.start();
        RtspPeer dropping("127.0.0.11", 8711, &clock);
        RtspPeer busy("127.0.0.18", 8718, &clock, "503 Service Unavailable");
        Blackhole blackhole("127.0.0.13", 8713);
        PreviewSession session;
        SessionLog log(session);
        clock.restart();
        QCOMPARE(session.start(address, port), outcome != "refused");
        QVERIFY(log.events.isEmpty());
        if (outcome == "refused") {
            QCOMPARE(session.state(), PreviewSession::State::Idle);
            return;
        }
        QCOMPARE(session.state(), PreviewSession::State::Probing);
        QTRY_VERIFY_WITH_TIMEOUT(!log.events.isEmpty(), 5000);
        QVERIFY2(clock.elapsed() >= minMs && clock.elapsed() <= maxMs,
                 qPrintable(QString::number(clock.elapsed())));
        QTest::qWait(300);
        QCOMPARE(log.events, QStringList{outcome});
        QCOMPARE(dropping.accepted.size() + busy.accepted.size(), port == "8711"   ? 3
                                                                  : port == "8718" ? 2
                                                                                   : 0);
        QVERIFY(!session.isActive() && !session.decoder() && nothingScheduled(session));
        QTRY_COMPARE(threadsOf(session), 0);
    }

    // Stopped while probing, opening or playing at 25 pictures a second with pictures in flight: back to Idle
    // at once, nothing reported or scheduled afterwards, the thread gone, a stream that was set up torn down.
    void stops_data()
    {
        QTest::addColumn<PreviewSession::State>("state");
        QTest::newRow("probing") << PreviewSession::State::Probing;
        QTest::newRow("opening") << PreviewSession::State::Opening;
        QTest::newRow("playing") << PreviewSession::State::Playing;
    }
    void stops()
    {
        QFETCH(PreviewSession::State, state);
        CamsimRun camera;
        QVERIFY(camera.start({"--address", "127.0.0.15", "--no-discovery", "--no-visca", "--rtsp-port",
                              "8715", "--rtsp-size", "320x240", "--duration", "60"}));
        PreviewSession session;
        SessionLog log(session);
        QVERIFY(session.start("127.0.0.15", "8715"));
        QTRY_COMPARE_WITH_TIMEOUT(session.state(), state, 10000);
        if (state == PreviewSession::State::Playing) {
            QTRY_VERIFY_WITH_TIMEOUT(log.frames.size() >= 5, 10000);
            QThread::msleep(200); // the decoder's next pictures wait to be handed over
        }
        const QStringList before = log.events;
        const int frames = log.frames.size();
        QElapsedTimer clock;
        clock.start();
        session.stop();
        QVERIFY(clock.elapsed() < 50);
        QCOMPARE(session.state(), PreviewSession::State::Idle);
        QVERIFY(!session.decoder() && !session.thread() && nothingScheduled(session));
        QTest::qWait(600);
        QCOMPARE(log.events, before);
        QCOMPARE(log.frames.size(), frames);
        QTRY_COMPARE_WITH_TIMEOUT(threadsOf(session), 0, 2000);
        QStringList methods;
        for (const QJsonObject& e : camera.events("rtsp"))
            methods << e.value("method").toString();
        if (state == PreviewSession::State::Probing)
            QVERIFY(methods.isEmpty());
        else if (methods.contains("PLAY"))
            QCOMPARE(methods.last(), QString("TEARDOWN"));
    }

    // A stream that stops sending is opened again 5 s after its last picture, TCP first again, reported, and
    // plays again; when the camera then goes away, the attempts follow 5 s apart, silently, until stopped.
    void reopensStoppedStream()
    {
        const qint64 stall = 5000;
        CamsimRun camera;
        QVERIFY(camera.start({"--address", "127.0.0.16", "--no-discovery", "--no-visca", "--rtsp-port",
                              "8716", "--rtsp-size", "176x144", "--rtsp-udp-only", "--rtsp-stall-after", "1",
                              "--duration", "60"}));
        PreviewSession session;
        SessionLog log(session);
        QVERIFY(session.start("127.0.0.16", "8716"));
        QTRY_VERIFY_WITH_TIMEOUT(log.events.contains("reconnecting"), 15000);
        QVERIFY(session.isPlaying());
        const qint64 reported = log.clock.elapsed();
        const qint64 lastPicture = log.frames.last();
        QVERIFY2(reported - lastPicture >= stall - 20 && reported - lastPicture < stall + 600,
                 qPrintable(QString::number(reported - lastPicture)));
        QTRY_VERIFY_WITH_TIMEOUT(log.frames.last() > reported, 5000);
        QCOMPARE(log.events, QStringList({"opened", "reconnecting"}));
        QCOMPARE(setupTransports(camera), QString("TCP UDP TCP UDP"));

        camera.stop();
        RtspPeer gone("127.0.0.16", 8716, &log.clock, "503 Service Unavailable");
        QTRY_VERIFY_WITH_TIMEOUT(gone.accepted.size() >= 2, 3 * stall);
        const qint64 first = gone.accepted[0] - log.frames.last();
        const qint64 second = gone.accepted[1] - gone.accepted[0];
        QVERIFY2(first >= stall - 20 && first < stall + 600, qPrintable(QString::number(first)));
        QVERIFY2(second >= stall - 20 && second < stall + 600, qPrintable(QString::number(second)));
        QCOMPARE(log.events, QStringList({"opened", "reconnecting", "reconnecting"}));
        QVERIFY(session.isPlaying());
        session.stop();
        QVERIFY(nothingScheduled(session));
        QTRY_COMPARE_WITH_TIMEOUT(threadsOf(session), 0, 2000);
    }
};

QTEST_GUILESS_MAIN(TestPreviewSession)
#include "test_previewsession.moc"
