// The Rollout tab over the core's rollout, against simulated cameras on loopback (127.0.0.230-239).
#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
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
} // namespace

class TestRolloutTab : public QObject
{
    Q_OBJECT
private slots:
    void stopInTheWindow();
};

// Stop lets the running camera finish and skips the rest; meanwhile the Upgrade tab keeps off that camera.
void TestRolloutTab::stopInTheWindow()
{
    ScopedWorkDir dir;
    QVERIFY(writeFile("config.ini", "[upgrade]\nlanguage=English\nmodel_type=true\n"));
    QVERIFY(writeFile(kFirmware, QByteArray(300000, 'f')));
    CamsimRun camsim;
    QVERIFY(camsim.start({"--no-discovery", "--no-rtsp", "--no-visca", "--verify-ms", "10", "--flash-ms",
                          "50", "--reboot-ms", "400", "--duration", "120", "--cameras", "3", "--address",
                          address(0), "--address", address(1), "--address", address(2)}));
    DialogAnswerer answers;
    MainWindow window;
    auto* tabs = window.findChild<QTabWidget*>("tabWidget");
    auto* tab = window.findChild<RolloutTab*>();
    QCOMPARE(tabs->indexOf(tab), 5);
    QCOMPARE(tabs->tabText(5), QString("Rollout"));

    auto* devices = window.findChild<QTreeWidget*>("treeWidget");
    for (int i = 0; i < 3; ++i)
        devices->addTopLevelItem(new QTreeWidgetItem(
            QStringList{QString::number(i + 1), address(i), "", "", "", "", QStringLiteral("ID%1").arg(i)}));
    devices->selectAll();
    tab->menuAction()->trigger();
    QCOMPARE(tabs->currentWidget(), tab);
    window.findChild<QLineEdit*>("rollout_file_lineEdit")->setText(dir.file(kFirmware));
    window.findChild<QSpinBox*>("rollout_parallel_spinBox")->setValue(1);
    window.findChild<QCheckBox*>("rollout_confirm_checkBox")->setChecked(false);
    auto* start = window.findChild<QPushButton*>("rollout_start_Button");
    start->click();
    window.findChild<QPushButton*>("rollout_stop_Button")->click();

    window.findChild<QLineEdit*>("upgrade_ip_lineEdit")->setText(address(0));
    QTest::mouseClick(window.findChild<QPushButton*>("upgrade_Button"), Qt::LeftButton);
    QCOMPARE(answers.texts(),
             QStringList{address(0) + " is being upgraded by the rollout; wait until it is done."});

    QTRY_VERIFY_WITH_TIMEOUT(start->isEnabled(), 20000);
    auto* table = window.findChild<QTableWidget*>("rollout_tableWidget");
    QStringList states;
    for (int row = 0; row < table->rowCount(); ++row)
        states << table->item(row, 2)->text();
    QCOMPARE(states, (QStringList{"succeeded", "skipped", "skipped"}));
    QVERIFY(window.findChild<QLabel*>("rollout_summary_label")->text().endsWith("(stopped)"));
}

QTEST_MAIN(TestRolloutTab)
#include "test_rollouttab.moc"
