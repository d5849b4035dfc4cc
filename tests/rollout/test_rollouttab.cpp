// The Rollout tab over the core's rollout, against simulated cameras on loopback (127.0.0.230-239).
#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
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

// Three cameras in the device list, added to the rollout.
void addCameras(MainWindow& window, int first)
{
    auto* devices = window.findChild<QTreeWidget*>("treeWidget");
    for (int i = 0; i < 3; ++i)
        devices->addTopLevelItem(new QTreeWidgetItem(QStringList{
            QString::number(i + 1), address(first + i), "", "", "", "", QStringLiteral("ID%1").arg(i)}));
    devices->selectAll();
    window.findChild<RolloutTab*>()->menuAction()->trigger();
}

bool startCameras(CamsimRun& camsim, int first, const QStringList& faults)
{
    QStringList args{
        "--no-discovery", "--no-rtsp", "--no-visca", "--verify-ms", "10",        "--flash-ms", "50",
        "--reboot-ms",    "400",       "--duration", "120",         "--cameras", "3"};
    for (int i = 0; i < 3; ++i)
        args << "--address" << address(first + i);
    return camsim.start(args + faults);
}
} // namespace

class TestRolloutTab : public QObject
{
    Q_OBJECT
private slots:
    void stopInTheWindow();
    void versionsBackupsAndRetry();
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
    QTRY_COMPARE(table->item(0, 2)->text(), QString("uploading"));
    window.findChild<QPushButton*>("rollout_stop_Button")->click();

    window.findChild<QLineEdit*>("upgrade_ip_lineEdit")->setText(address(0));
    QTest::mouseClick(window.findChild<QPushButton*>("upgrade_Button"), Qt::LeftButton);
    QCOMPARE(answers.texts(),
             QStringList{address(0) + " is being upgraded by the rollout; wait until it is done."});

    QTRY_VERIFY_WITH_TIMEOUT(start->isEnabled(), 20000);
    QCOMPARE(column(table, 2), (QStringList{"succeeded", "skipped", "skipped"}));
    QVERIFY(window.findChild<QLabel*>("rollout_summary_label")->text().endsWith("(stopped)"));
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
    QCOMPARE(column(table, 2), (QStringList{"answered", "answered", "answered"}));
    QCOMPARE(column(table, 4).filter("MODEL").size(), 3);
    QCOMPARE(column(table, 5), (QStringList{"5 partitions", "5 partitions", "5 partitions"}));

    window.findChild<QPushButton*>("rollout_backup_all_Button")->click();
    QTRY_COMPARE_WITH_TIMEOUT(summary->text(), QString("2 saved, 1 failed, 0 skipped"), 10000);
    QCOMPARE(QDir("backups").entryList(QDir::Files),
             (QStringList{address(3) + ".tar.gz", address(5) + ".tar.gz"}));
    QCOMPARE(column(table, 5)[1], QString("backup failed"));
    QVERIFY(retry->isEnabled());
    retry->click();
    QTRY_VERIFY_WITH_TIMEOUT(retry->isEnabled() && start->isEnabled(), 10000);
    QCOMPARE(column(table, 2), (QStringList{"done before", "failed", "done before"}));
    QCOMPARE(summary->text(), QString("0 saved, 1 failed, 0 skipped, 2 done before"));
    QCOMPARE(requests(0, "B") + requests(1, "B") + requests(2, "B"), 4);

    // An upgrade of all three, then Start once more: asked, and nothing runs on No.
    window.findChild<QLineEdit*>("rollout_file_lineEdit")->setText(dir.file(kFirmware));
    window.findChild<QSpinBox*>("rollout_canary_spinBox")->setValue(0);
    window.findChild<QCheckBox*>("rollout_confirm_checkBox")->setChecked(false);
    start->click();
    QTRY_VERIFY_WITH_TIMEOUT(start->isEnabled(), 20000);
    QCOMPARE(column(table, 2), (QStringList{"succeeded", "succeeded", "succeeded"}));
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
    QTRY_COMPARE(column(table, 2).filter("failed").size() + column(table, 2).filter("saved").size(), 3);
}

QTEST_MAIN(TestRolloutTab)
#include "test_rollouttab.moc"
