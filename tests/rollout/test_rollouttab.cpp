// The Rollout tab over the core's rollout, against simulated cameras on loopback (127.0.0.230-239 and
// 127.0.0.76-80).
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTableWidget>
#include <QTreeWidget>
#include <QtTest>

#include "camsimrun.h"
#include "dialogs.h"
#include "mainwindow.h"
#include "rollout/rollouttab.h"
#include "statuscolours.h"
#include "workdir.h"

namespace
{
const QString kFirmware = QStringLiteral("IPC200_SOC_V2.7.6.pkg");

QString address(int index)
{
    return QStringLiteral("127.0.0.%1").arg(230 + index);
}

QStringList column(QTableWidget* table, int column)
{
    QStringList texts;
    for (int row = 0; row < table->rowCount(); ++row)
        texts << table->item(row, column)->text();
    return texts;
}

enum Column { Address, DeviceId, Model, State, Progress, Version, Reason };

// Cameras in the device list (Device IDs ID0, ID1, ...), added to the rollout.
void addCameras(MainWindow& window, const QStringList& addresses)
{
    auto* devices = window.findChild<QTreeWidget*>("treeWidget");
    for (int i = 0; i < addresses.size(); ++i)
        devices->addTopLevelItem(new QTreeWidgetItem(QStringList{QString::number(i + 1), addresses[i], "", "",
                                                                 "", "", QStringLiteral("ID%1").arg(i)}));
    devices->selectAll();
    window.findChild<RolloutTab*>()->menuAction()->trigger();
}

void addCameras(MainWindow& window, int first)
{
    addCameras(window, {address(first), address(first + 1), address(first + 2)});
}

// Cameras at these addresses, each with its model in its version when one is given.
bool startCameras(CamsimRun& camsim, const QStringList& addresses, const QStringList& faults,
                  const QStringList& models = QStringList())
{
    QStringList args = CamsimRun::quickCameras() +
                       QStringList{"--reboot-ms", "400",       "--duration",
                                   "120",         "--cameras", QString::number(addresses.size())};
    for (const QString& address : addresses)
        args << "--address" << address;
    if (!models.isEmpty()) {
        QJsonArray cameras;
        for (const QString& model : models)
            cameras.append(QJsonObject{{"version", QString("V2.7.3D MODEL: %1.R2 2026-05-17").arg(model)}});
        if (!writeFile(camsim.dir.filePath("cams.json"), QJsonDocument(cameras).toJson()))
            return false;
        args << "--config" << camsim.dir.filePath("cams.json");
    }
    return camsim.start(args + faults);
}

bool startCameras(CamsimRun& camsim, int first, const QStringList& faults)
{
    return startCameras(camsim, {address(first), address(first + 1), address(first + 2)}, faults);
}

// The firmware records each camera received, by address.
QMap<QString, int> firmwareRecords(const CamsimRun& camsim)
{
    QMap<QString, int> records;
    for (const QJsonObject& e : camsim.events("record_in"))
        if (e["type"] == "U")
            ++records[e["cam"].toString()];
    return records;
}
} // namespace

class TestRolloutTab : public QObject
{
    Q_OBJECT
private slots:
    void stopInTheWindow();
    void versionsBackupsAndRetry();
    void rowsTellTheOutcome_data();
    void rowsTellTheOutcome();
    void modelsAndAddresses();
};

// Stop lets the uploading camera finish and skips the rest; meanwhile the Upgrade tab keeps off that camera.
void TestRolloutTab::stopInTheWindow()
{
    ScopedWorkDir dir;
    QVERIFY(writeFile("config.ini", "[upgrade]\nlanguage=English\nmodel_type=true\n"));
    QVERIFY(writeFile(kFirmware, QByteArray(300000, 'f')));
    CamsimRun camsim;
    QVERIFY(startCameras(camsim, 0, {"--fault", "0:slow-link=150000"}));
    DialogAnswerer answers;
    MainWindow window;
    auto* tabs = window.findChild<QTabWidget*>("tabWidget");
    auto* tab = window.findChild<RolloutTab*>();
    QCOMPARE(tabs->indexOf(tab), 5);
    QCOMPARE(tabs->tabText(5), QString("Rollout"));
    addCameras(window, 0);
    QCOMPARE(tabs->currentWidget(), tab);
    window.findChild<QLineEdit*>("rollout_file_lineEdit")->setText(dir.file(kFirmware));
    window.findChild<QSpinBox*>("rollout_parallel_spinBox")->setValue(1);
    window.findChild<QCheckBox*>("rollout_confirm_checkBox")->setChecked(false);
    auto* start = window.findChild<QPushButton*>("rollout_start_Button");
    auto* table = window.findChild<QTableWidget*>("rollout_tableWidget");
    start->click();
    QTRY_COMPARE(table->item(0, 3)->text(), QString("uploading"));
    // Start asked the cameras their versions, then about their models.
    QVERIFY(answers.texts().value(0).startsWith("These cameras are of several models"));
    answers.clear();
    window.findChild<QPushButton*>("rollout_stop_Button")->click();

    window.findChild<QLineEdit*>("upgrade_ip_lineEdit")->setText(address(0));
    QTest::mouseClick(window.findChild<QPushButton*>("upgrade_Button"), Qt::LeftButton);
    QCOMPARE(answers.texts(),
             QStringList{address(0) + " is being upgraded by the rollout; wait until it is done."});

    QTRY_VERIFY_WITH_TIMEOUT(start->isEnabled(), 20000);
    QCOMPARE(column(table, 3), (QStringList{"succeeded", "skipped", "skipped"}));
    QVERIFY(window.findChild<QLabel*>("rollout_summary_label")->text().endsWith("(stopped by the operator)"));
}

// Check versions and Back up all on every row; Retry only on the row that failed; Start again asks first; and
// closing the window while a job runs asks too.
void TestRolloutTab::versionsBackupsAndRetry()
{
    ScopedWorkDir dir;
    QVERIFY(writeFile("config.ini", "[upgrade]\nlanguage=English\nmodel_type=true\n"));
    QVERIFY(writeFile(kFirmware, QByteArray(300000, 'f')));
    CamsimRun camsim;
    QVERIFY(startCameras(camsim, 3, {"--fault", "1:backup-fail", "--fault", "2:backup-delay=3000"}));
    DialogAnswerer answers(QMessageBox::No);
    MainWindow window;
    addCameras(window, 3);
    auto* table = window.findChild<QTableWidget*>("rollout_tableWidget");
    auto* summary = window.findChild<QLabel*>("rollout_summary_label");
    auto* start = window.findChild<QPushButton*>("rollout_start_Button");
    auto* retry = window.findChild<QPushButton*>("rollout_retry_Button");
    const auto requests = [&](int camera, const QString& type) {
        int n = 0;
        for (const QJsonObject& e : camsim.events("record_in"))
            n += e["cam"] == address(3 + camera) && e["type"] == type;
        return n;
    };

    window.findChild<QPushButton*>("rollout_check_Button")->click();
    QTRY_COMPARE_WITH_TIMEOUT(summary->text(), QString("3 answered, 0 failed, 0 skipped"), 10000);
    QCOMPARE(column(table, 3), (QStringList{"answered", "answered", "answered"}));
    QCOMPARE(column(table, 5).filter("MODEL").size(), 3);
    QCOMPARE(column(table, 6), (QStringList{"5 partitions", "5 partitions", "5 partitions"}));

    window.findChild<QPushButton*>("rollout_backup_all_Button")->click();
    QTRY_COMPARE_WITH_TIMEOUT(summary->text(), QString("2 saved, 1 failed, 0 skipped"), 10000);
    QCOMPARE(QDir("backups").entryList(QDir::Files),
             (QStringList{address(3) + ".tar.gz", address(5) + ".tar.gz"}));
    QCOMPARE(column(table, 6)[1], QString("backup failed"));
    QVERIFY(retry->isEnabled());
    retry->click();
    QTRY_VERIFY_WITH_TIMEOUT(retry->isEnabled() && start->isEnabled(), 10000);
    QCOMPARE(column(table, 3), (QStringList{"done before", "failed", "done before"}));
    QCOMPARE(summary->text(), QString("0 saved, 1 failed, 0 skipped, 2 done before"));
    QCOMPARE(requests(0, "B") + requests(1, "B") + requests(2, "B"), 4);

    // An upgrade of all three, then Start once more: asked, and nothing runs on No.
    window.findChild<QLineEdit*>("rollout_file_lineEdit")->setText(dir.file(kFirmware));
    window.findChild<QSpinBox*>("rollout_canary_spinBox")->setValue(0);
    window.findChild<QCheckBox*>("rollout_confirm_checkBox")->setChecked(false);
    answers.clear();
    answers.setAnswer(QMessageBox::Yes);
    start->click();
    QTRY_VERIFY_WITH_TIMEOUT(start->isEnabled(), 20000);
    QCOMPARE(answers.texts().value(0).left(44), QString("These cameras are of several models (HX4: 1,"));
    QCOMPARE(column(table, 3), (QStringList{"succeeded", "succeeded", "succeeded"}));
    answers.setAnswer(QMessageBox::No);
    answers.clear();
    start->click();
    QCOMPARE(answers.texts(), QStringList{"3 cameras of this table are upgraded already. Upgrade them again? "
                                          "\"Retry failed and skipped\" upgrades only the others."});
    QCOMPARE(requests(0, "U"), 1);

    // A slow backup under way when the window closes: asked, kept on No; on Yes the job ends with the window.
    const auto up = [&] {
        const QList<QJsonObject> states = camsim.events("state");
        return std::count_if(states.begin(), states.end(),
                             [](const QJsonObject& e) { return e["what"] == "up"; });
    };
    QTRY_COMPARE_WITH_TIMEOUT(up(), 3, 5000); // back from the upgrade's reboot
    window.findChild<QPushButton*>("rollout_backup_all_Button")->click();
    answers.clear();
    QVERIFY(!window.close());
    QCOMPARE(answers.texts().value(0).left(36), QString("The Rollout tab is still at work. Cl"));
    QCOMPARE(answers.count(), 1);
    answers.whileOpen = [&] {
        answers.setAnswer(answers.texts().last().startsWith("Do you") ? QMessageBox::Ok : QMessageBox::Yes);
    };
    QVERIFY(window.close());
    QCOMPARE(answers.count(), 3); // asked again, then the window's own question
    QTRY_COMPARE(column(table, 3).filter("failed").size() + column(table, 3).filter("saved").size(), 3);
}

// Failed rows in the error colour with the reason in full in a tooltip and no bar, unchanged ones in the
// warning colour, and the summary saying why the run stopped.
void TestRolloutTab::rowsTellTheOutcome_data()
{
    QTest::addColumn<QStringList>("faults");
    QTest::addColumn<QList<int>>("options"); // parallel, canary, max failures, confirm
    QTest::addColumn<QStringList>("states");
    QTest::addColumn<QString>("summary");
    QTest::newRow("a failing canary")
        << QStringList{"--fault", "0:verify-fail"} << QList<int>{3, 1, 0, 0}
        << QStringList{"failed", "skipped", "skipped"}
        << "0 confirmed, 0 unchanged, 0 succeeded, 1 failed, 2 skipped (stopped: the canary failed)";
    // Both are refused before their uploads: each keeps the only upload place until it fails, so the third
    // never starts.
    QTest::newRow("two failures reach the threshold")
        << QStringList{"--fault", "0:disk-full", "--fault", "1:disk-full"} << QList<int>{1, 0, 2, 0}
        << QStringList{"failed", "failed", "skipped"}
        << "0 confirmed, 0 unchanged, 0 succeeded, 2 failed, 1 skipped (stopped: 2 failures reached the "
           "threshold)";
    // The first camera never comes back: its row counts down the 10 s it is given.
    QTest::newRow("one unchanged, one counting down until it fails")
        << QStringList{"--fault", "0:never-back", "--fault", "1:keep-version"} << QList<int>{3, 0, 0, 1}
        << QStringList{"failed", "unchanged", "confirmed"}
        << "1 confirmed, 1 unchanged, 0 succeeded, 1 failed, 0 skipped";
}

void TestRolloutTab::rowsTellTheOutcome()
{
    QFETCH(QStringList, faults);
    QFETCH(QList<int>, options);
    QFETCH(QStringList, states);
    QFETCH(QString, summary);
    ScopedWorkDir dir;
    QVERIFY(writeFile("config.ini", "[upgrade]\nlanguage=English\nmodel_type=true\n"));
    QVERIFY(writeFile(kFirmware, QByteArray(300000, 'f')));
    const QStringList addresses{"127.0.0.76", "127.0.0.77", "127.0.0.78"};
    CamsimRun camsim;
    QVERIFY(startCameras(camsim, addresses, faults));
    DialogAnswerer answers;
    MainWindow window;
    addCameras(window, addresses);
    auto* table = window.findChild<QTableWidget*>("rollout_tableWidget");
    auto* label = window.findChild<QLabel*>("rollout_summary_label");
    window.findChild<QLineEdit*>("rollout_file_lineEdit")->setText(dir.file(kFirmware));
    window.findChild<QSpinBox*>("rollout_parallel_spinBox")->setValue(options[0]);
    window.findChild<QSpinBox*>("rollout_canary_spinBox")->setValue(options[1]);
    window.findChild<QSpinBox*>("rollout_max_failures_spinBox")->setValue(options[2]);
    window.findChild<QCheckBox*>("rollout_confirm_checkBox")->setChecked(options[3]);
    window.findChild<QSpinBox*>("rollout_timeout_spinBox")->setValue(10);
    auto* start = window.findChild<QPushButton*>("rollout_start_Button");
    start->click();
    if (options[3])
        QTRY_VERIFY_WITH_TIMEOUT(QRegularExpression(R"(^rebooting \(0:0[0-7] left\)$)")
                                     .match(table->item(0, State)->text())
                                     .hasMatch(),
                                 8000);
    QTRY_VERIFY_WITH_TIMEOUT(start->isEnabled(), 20000);
    QCOMPARE(column(table, State), states);
    QCOMPARE(label->text(), summary);
    QCOMPARE(label->palette().color(QPalette::WindowText),
             summary.contains(" 0 failed") ? summary.contains(" 0 unchanged")
                                                 ? window.palette().color(QPalette::WindowText)
                                                 : status_colours::warning()
                                           : status_colours::error());
    for (int row = 0; row < table->rowCount(); ++row) {
        const QString state = states[row];
        const QBrush colour = table->item(row, State)->foreground();
        QCOMPARE(colour.style() == Qt::NoBrush ? QColor() : colour.color(),
                 state == "failed"      ? status_colours::error()
                 : state == "unchanged" ? status_colours::warning()
                                        : QColor());
        QCOMPARE(table->item(row, Reason)->foreground(), table->item(row, State)->foreground());
        // The whole file went before the camera's verdict: said in words, never as a full bar.
        bool received = false;
        for (const QJsonObject& e : camsim.events("file_received"))
            received = received || e["cam"] == addresses[row];
        QCOMPARE(!table->cellWidget(row, Progress), state == "failed" || state == "skipped");
        QCOMPARE(table->item(row, Progress)->text(),
                 state == "failed" && received ? QString("100% sent") : QString());
        const QString reason = table->item(row, Reason)->text();
        QCOMPARE(table->item(row, Reason)->toolTip(), reason.isEmpty() ? QString() : "<p>" + reason + "</p>");
        if (state == "skipped")
            QVERIFY(summary.endsWith(" (" + reason + ")"));
        // The versions differ at their end: that end shows, the whole of both in the tooltip.
        const QString version = table->item(row, Version)->text();
        if (state == "confirmed")
            QVERIFY2(
                QRegularExpression(QString("^…([^ ]+) → …\\1 %1$").arg(kFirmware)).match(version).hasMatch(),
                qPrintable(version));
        if (state != "skipped")
            QVERIFY2(table->item(row, Version)->toolTip().contains(" MODEL: "),
                     qPrintable(table->item(row, Version)->toolTip()));
    }
    QCOMPARE(firmwareRecords(camsim).size(), states.size() - states.count("skipped"));
}

// Rows follow their camera to the address of the latest search; several models are asked about, and a chosen
// model leaves the others without a firmware byte.
void TestRolloutTab::modelsAndAddresses()
{
    ScopedWorkDir dir;
    QVERIFY(writeFile("config.ini", "[upgrade]\nlanguage=English\nmodel_type=true\n"));
    QVERIFY(writeFile(kFirmware, QByteArray(300000, 'f')));
    CamsimRun camsim;
    QVERIFY(
        startCameras(camsim, {"127.0.0.78", "127.0.0.79", "127.0.0.80"}, {}, {"IPC200", "IPC310", "IPC200"}));
    DialogAnswerer answers(QMessageBox::No);
    MainWindow window;
    // Added when the first camera was still at .77; the latest search found it at .78.
    addCameras(window, {"127.0.0.77", "127.0.0.79", "127.0.0.80"});
    window.findChild<QTreeWidget*>("treeWidget")->topLevelItem(0)->setText(1, "127.0.0.78");
    auto* table = window.findChild<QTableWidget*>("rollout_tableWidget");
    auto* summary = window.findChild<QLabel*>("rollout_summary_label");
    auto* start = window.findChild<QPushButton*>("rollout_start_Button");
    auto* models = window.findChild<QComboBox*>("rollout_model_comboBox");
    QCOMPARE(models->currentText(), QString("any model"));

    // Start on rows of unknown models asks the cameras first, then the operator.
    window.findChild<QLineEdit*>("rollout_file_lineEdit")->setText(dir.file(kFirmware));
    window.findChild<QSpinBox*>("rollout_canary_spinBox")->setValue(0);
    window.findChild<QCheckBox*>("rollout_confirm_checkBox")->setChecked(false);
    answers.clear();
    start->click();
    QTRY_COMPARE_WITH_TIMEOUT(
        answers.texts(),
        QStringList{"These cameras are of several models (IPC200: 2, IPC310: 1). Send " + kFirmware +
                    " to every one of them? To upgrade one model only, choose it under Model."},
        10000);
    QCOMPARE(summary->text(), QString("3 answered, 0 failed, 0 skipped"));
    QCOMPARE(column(table, Address), (QStringList{"127.0.0.78", "127.0.0.79", "127.0.0.80"}));
    QCOMPARE(table->item(0, Address)->toolTip(), QString("now at 127.0.0.78 (was 127.0.0.77)"));
    QCOMPARE(column(table, Model), (QStringList{"IPC200", "IPC310", "IPC200"}));
    QCOMPARE(models->count(), 3);
    QTest::qWait(300);
    QVERIFY(firmwareRecords(camsim).isEmpty());
    QCOMPARE(column(table, State), (QStringList{"answered", "answered", "answered"}));
    QVERIFY(start->isEnabled());

    models->setCurrentIndex(models->findText("IPC200"));
    answers.clear();
    start->click();
    QTRY_VERIFY_WITH_TIMEOUT(start->isEnabled(), 20000);
    QCOMPARE(answers.count(), 0);
    QCOMPARE(column(table, State), (QStringList{"succeeded", "other model", "succeeded"}));
    QCOMPARE(table->item(1, Reason)->text(), QString("model IPC310 was not chosen"));
    QCOMPARE(summary->text(),
             QString("0 confirmed, 0 unchanged, 2 succeeded, 0 failed, 0 skipped, 1 other model"));
    QCOMPARE(firmwareRecords(camsim), (QMap<QString, int>{{"127.0.0.78", 1}, {"127.0.0.80", 1}}));

    // A search that finds another camera where the third one was: nothing goes anywhere.
    window.findChild<QTreeWidget*>("treeWidget")->topLevelItem(2)->setText(6, "IDX");
    answers.clear();
    answers.setAnswer(QMessageBox::Yes);
    start->click();
    QCOMPARE(answers.texts().last(),
             QString("The latest search found another camera (IDX) at 127.0.0.80 and ID2 "
                     "nowhere. Remove its row or search again."));
    QTest::qWait(300);
    QCOMPARE(firmwareRecords(camsim), (QMap<QString, int>{{"127.0.0.78", 1}, {"127.0.0.80", 1}}));
}

QTEST_MAIN(TestRolloutTab)
#include "test_rollouttab.moc"
