// camupgrade's own options, run without a display: --help and --version answer before the window's
// application is made; Qt's single-dash words are never read as letters; anything else is a usage error.
#include <QProcess>
#include <QtTest>

class TestCommandLine : public QObject
{
    Q_OBJECT

private slots:
    void options_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("out"); // a line of the standard output
        QTest::addColumn<QString>("err"); // a line of the standard error
        const QString version = "camupgrade " CAMUPGRADE_VERSION;
        const QString usage = "Usage: " CAMUPGRADE_PATH " [options]";
        QTest::newRow("--version") << QStringList{"--version"} << 0 << version << "";
        QTest::newRow("-v") << QStringList{"-v"} << 0 << version << "";
        QTest::newRow("--help") << QStringList{"--help"} << 0 << usage << "";
        QTest::newRow("-h after a Qt option") << QStringList{"-reverse", "-h"} << 0 << usage << "";
        // Read as letters, -reverse would ask for the version.
        QTest::newRow("a Qt word holding v")
            << QStringList{"-platform", "offscreen", "-reverse", "extra"} << 2 << ""
            << "camupgrade: Unexpected argument 'extra'.";
        QTest::newRow("unknown option") << QStringList{"-platform", "offscreen", "--bogus"} << 2 << ""
                                        << "camupgrade: Unknown option 'bogus'.";
        QTest::newRow("stray argument") << QStringList{"-platform", "offscreen", "extra"} << 2 << ""
                                        << "camupgrade: Unexpected argument 'extra'.";
    }
    void options()
    {
        QFETCH(QStringList, args);
        QFETCH(int, exitCode);
        QFETCH(QString, out);
        QFETCH(QString, err);
        QProcess camupgrade;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
            environment.remove(name);
        camupgrade.setProcessEnvironment(environment);
        camupgrade.setWorkingDirectory(QDir::tempPath());
        camupgrade.start(CAMUPGRADE_PATH, args);
        QVERIFY(camupgrade.waitForFinished(10000));
        QCOMPARE(camupgrade.exitStatus(), QProcess::NormalExit);
        QCOMPARE(camupgrade.exitCode(), exitCode);
        const QStringList printed = QString(camupgrade.readAllStandardOutput()).split('\n');
        const QStringList complained = QString(camupgrade.readAllStandardError()).split('\n');
        QVERIFY2(out.isEmpty() ? printed == QStringList{""} : printed.contains(out),
                 qPrintable(printed.join('|')));
        QVERIFY2(err.isEmpty() || complained.contains(err), qPrintable(complained.join('|')));
    }
};

QTEST_GUILESS_MAIN(TestCommandLine)
#include "test_commandline.moc"
