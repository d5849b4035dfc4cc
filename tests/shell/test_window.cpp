// The window's behaviour: languages, work type, drops, the control pad and the upgrade type list.
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QPushButton>
#include <QTabWidget>
#include <QTreeWidget>
#include <QtTest>

#include "dialogs.h"
#include "shellaccess.h"
#include "workdir.h"

namespace {
void chooseLanguage(MainWindow& w, int index)
{
    auto* box = w.findChild<QComboBox*>("language_comboBox");
    box->setCurrentIndex(index);
    QMetaObject::invokeMethod(box, "activated", Q_ARG(int, index));
}

QString text(MainWindow& w, const char* name)
{
    if (auto* button = w.findChild<QPushButton*>(name))
        return button->text();
    if (auto* label = w.findChild<QLabel*>(name))
        return label->text();
    return w.findChild<QLineEdit*>(name)->text();
}

void drop(MainWindow& w, const QList<QUrl>& urls)
{
    QMimeData data;
    data.setUrls(urls);
    // The application hands a drop only to the widget that accepted the drag's entry.
    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&w, &enter);
    QVERIFY(enter.isAccepted());
    QDropEvent event(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&w, &event);
}
} // namespace

class TestWindow : public QObject
{
    Q_OBJECT
private slots:
    void init() { m_dir.reset(new ScopedWorkDir); }
    void cleanup() { m_dir.reset(); }

    void formAsBuilt();
    void switchToEnglishAndBack();
    void languageRefusedWhileUpgrading();
    void retranslationResetsTheForm();
    void workTypeSurvivesRetranslation();
    void workTypeChangeDropsConnection();
    void dropTakesFirstLocalFile();
    void padStaysInCorner();
    void refillList_data();
    void refillList();
    void noMenuWithoutCurrentRow();
    void logoIsShown();

private:
    QScopedPointer<ScopedWorkDir> m_dir;
};

void TestWindow::formAsBuilt()
{
    MainWindow w;
    auto* tabs = w.findChild<QTabWidget*>("tabWidget");
    QCOMPARE(tabs->count(), 6);
    QCOMPARE(tabs->currentIndex(), 0);
    QCOMPARE(tabs->tabText(4), QString::fromUtf8("预览"));
    auto* tree = w.findChild<QTreeWidget*>("treeWidget");
    QCOMPARE(tree->columnCount(), 9);
    QCOMPARE(tree->columnWidth(6), 238);
    QVERIFY(tree->isSortingEnabled());
    QCOMPARE(tree->header()->sortIndicatorSection(), 0);
    QCOMPARE(tree->header()->sortIndicatorOrder(), Qt::AscendingOrder);
    QCOMPARE(tree->selectionMode(), QAbstractItemView::ExtendedSelection);
    QVERIFY(!w.findChild<QLineEdit*>("mac1_lineEdit")->isEnabled());
    QVERIFY(w.findChild<QLineEdit*>("mac4_lineEdit")->isEnabled());
    QVERIFY(w.findChild<QLineEdit*>("mac4_lineEdit")->validator());
    QVERIFY(!w.findChild<QLineEdit*>("mac1_lineEdit")->validator());
    QVERIFY(w.findChild<QLineEdit*>("txtPort")->validator());
    QVERIFY(w.findChild<QPushButton*>("query_Button")->isDefault());
    QVERIFY(w.acceptDrops());
    QVERIFY(!w.findChild<QLineEdit*>("upgrade_filename_lineEdit")->acceptDrops());
    QCOMPARE(Shell::clientId(w).size(), 32);
}

void TestWindow::switchToEnglishAndBack()
{
    MainWindow w;
    chooseLanguage(w, 1);
    QCOMPARE(w.windowTitle(), QString("UPGRADE v2.7"));
    QCOMPARE(text(w, "osd_down_Button"), QString("Down"));
    QCOMPARE(text(w, "osd_up_Button"), QString("UP"));
    QCOMPARE(text(w, "osd_left_Button"), QString("LEFT"));
    QCOMPARE(text(w, "osd_right_Button"), QString("RIGHT"));
    QCOMPARE(Shell::language(w), QString("English"));
    QCOMPARE(w.findChild<QComboBox*>("language_comboBox")->currentIndex(), 1);
    QCOMPARE(QCoreApplication::translate("QPlatformTheme", "Cancel"), QString("Cancel"));

    chooseLanguage(w, 0);
    // Message box buttons follow the interface language too.
    QCOMPARE(QCoreApplication::translate("QPlatformTheme", "Cancel"), QString::fromUtf8("取消"));
    QCOMPARE(w.windowTitle(), QString::fromUtf8("升级软件 v2.7"));
    QCOMPARE(w.findChild<QTabWidget*>("tabWidget")->tabText(4), QString::fromUtf8("预览"));
    QCOMPARE(Shell::language(w), QString("Chinese"));

    // Warnings are titled in the interface language.
    w.show();
    DialogAnswerer answerer(QMessageBox::Cancel);
    w.close();
    QCOMPARE(answerer.titles(), QStringList{QString::fromUtf8("警告")});
    QCOMPARE(answerer.texts(), QStringList{QString::fromUtf8("是否退出程序?")});
}

void TestWindow::languageRefusedWhileUpgrading()
{
    MainWindow w;
    Shell::upgrading(w) = true;
    chooseLanguage(w, 1);
    QCOMPARE(w.windowTitle(), QString::fromUtf8("升级软件 v2.7"));
    QCOMPARE(Shell::language(w), QString("Chinese"));
    QCOMPARE(w.findChild<QComboBox*>("language_comboBox")->currentIndex(), 1);
}

void TestWindow::retranslationResetsTheForm()
{
    MainWindow w;
    w.findChild<QComboBox*>("dhcp_comboBox")->setCurrentIndex(1);
    w.findChild<QLineEdit*>("ip_address_lineEdit")->setText("10.0.0.5");
    w.findChild<QLineEdit*>("mac4_lineEdit")->setText("AB");
    w.findChild<QLineEdit*>("txtPort")->setText("8554");
    w.findChild<QComboBox*>("upgrade_preview_comboBox")->setCurrentIndex(1);
    w.findChild<QLabel*>("label_21")->setText("exist");

    chooseLanguage(w, 1);
    QCOMPARE(w.findChild<QComboBox*>("dhcp_comboBox")->currentIndex(), 0);
    QCOMPARE(w.findChild<QComboBox*>("dhcp_comboBox")->currentText(), QString("Manual"));
    QCOMPARE(text(w, "ip_address_lineEdit"), QString());
    QCOMPARE(text(w, "mac4_lineEdit"), QString());
    QCOMPARE(text(w, "mac1_lineEdit"), QString("02"));
    QCOMPARE(text(w, "txtPort"), QString("554"));
    QCOMPARE(w.findChild<QComboBox*>("upgrade_preview_comboBox")->currentText(), QString("PTZ"));
    QCOMPARE(text(w, "label_21"), QString("none"));
    QCOMPARE(text(w, "label_23"), QString("disconnect"));
    QCOMPARE(w.findChild<QComboBox*>("worktype_comboBox")->count(), 2);
}

void TestWindow::workTypeSurvivesRetranslation()
{
    MainWindow w;
    auto* worktype = w.findChild<QComboBox*>("worktype_comboBox");
    worktype->setCurrentIndex(1);
    QMetaObject::invokeMethod(worktype, "activated", Q_ARG(int, 1));
    QCOMPARE(Shell::workType(w), 2);
    chooseLanguage(w, 1);
    QCOMPARE(worktype->currentText(), QString("TYPE1"));
    QCOMPARE(Shell::workType(w), 2);
    QVERIFY(!Shell::modelType(w));
}

void TestWindow::workTypeChangeDropsConnection()
{
    MainWindow w;
    w.findChild<QLabel*>("label_4")->setText("connected");
    w.findChild<QLabel*>("label_23")->setText("start backup");
    w.findChild<QPushButton*>("upgrade_Button")->setEnabled(false);
    auto* worktype = w.findChild<QComboBox*>("worktype_comboBox");
    QMetaObject::invokeMethod(worktype, "activated", Q_ARG(int, 1));
    const QString disconnected = QString::fromUtf8("未连接");
    QCOMPARE(text(w, "label_4"), disconnected);
    QCOMPARE(text(w, "label_6"), disconnected);
    QCOMPARE(text(w, "label_23"), disconnected);
    QVERIFY(w.findChild<QPushButton*>("upgrade_Button")->isEnabled());
    QMetaObject::invokeMethod(worktype, "activated", Q_ARG(int, 0));
    QCOMPARE(Shell::workType(w), 1);
    QVERIFY(Shell::modelType(w));
}

void TestWindow::dropTakesFirstLocalFile()
{
    MainWindow w;
    drop(w, {QUrl::fromLocalFile("/data/first.pkg"), QUrl::fromLocalFile("/data/second.pkg")});
    QCOMPARE(text(w, "upgrade_filename_lineEdit"), QString("/data/first.pkg"));
    drop(w, {QUrl("http://example.invalid/x.pkg")});
    QCOMPARE(text(w, "upgrade_filename_lineEdit"), QString("/data/first.pkg"));
    drop(w, {});
    QCOMPARE(text(w, "upgrade_filename_lineEdit"), QString("/data/first.pkg"));
}

void TestWindow::padStaysInCorner()
{
    MainWindow w;
    w.show();
    auto* tabs = w.findChild<QTabWidget*>("tabWidget");
    tabs->setCurrentIndex(2);
    auto* area = w.findChild<QWidget*>("widget");
    auto* pad = w.findChild<QWidget*>("menu_widget");
    for (const QSize& size : {QSize(900, 700), QSize(1200, 800)}) {
        w.resize(size);
        QTest::qWait(50);
        const QPoint expected(area->width() - pad->width() + 12, area->height() - pad->height() + 10);
        QCOMPARE(pad->pos(), QPoint(qAbs(expected.x()), qAbs(expected.y())));
        QCOMPARE(w.findChild<QLabel*>("labVideo")->size(), area->size());
        QCOMPARE(tabs->currentIndex(), 2);
    }
}

void TestWindow::refillList_data()
{
    QTest::addColumn<QString>("mode");
    QTest::addColumn<int>("fileType");
    QTest::addColumn<QString>("selected");
    QTest::addColumn<bool>("fileKept");
    QTest::newRow("simple MTD") << "Simple" << 4 << "MTD" << true;
    QTest::newRow("full SOC&ARM") << "Full" << 3 << "SOC&ARM" << true;
    QTest::newRow("full partition") << "Full" << 6 << "SOC" << false;
    QTest::newRow("simple partition selects nothing") << "Simple" << 6 << "" << true;
}

void TestWindow::refillList()
{
    QFETCH(QString, mode);
    QFETCH(int, fileType);
    QFETCH(QString, selected);
    QFETCH(bool, fileKept);
    MainWindow w;
    auto* types = w.findChild<QComboBox*>("upgrade_type_comboBox");
    types->addItem("mtd3kernel");
    w.findChild<QLineEdit*>("upgrade_filename_lineEdit")->setText("/data/k.img");
    Shell::mode(w) = mode;
    Shell::upgradeFileType(w) = fileType;
    Shell::upgrading(w) = true;
    Shell::refillUpgradeTypes(w);
    QCOMPARE(types->currentText(), selected);
    QCOMPARE(types->count(), mode == "Full" ? 4 : 3);
    QCOMPARE(text(w, "upgrade_filename_lineEdit").isEmpty(), !fileKept);
    QVERIFY(!Shell::upgrading(w));
}

void TestWindow::noMenuWithoutCurrentRow()
{
    MainWindow w;
    w.show();
    auto* tree = w.findChild<QTreeWidget*>("treeWidget");
    tree->setFocus();
    QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(5, 5), w.mapToGlobal(QPoint(5, 5)));
    QCoreApplication::sendEvent(&w, &event);
    // Returned without popping up the menu, which would have filled it with its actions.
    QVERIFY(!event.isAccepted());
    QVERIFY(w.findChild<QMenu*>()->actions().isEmpty());
}

void TestWindow::logoIsShown()
{
    QImage logo(98, 24, QImage::Format_RGB32);
    logo.fill(Qt::red);
    QVERIFY(logo.save("logo.png"));
    MainWindow w;
    const QPixmap shown = w.findChild<QLabel*>("oem_logo_label")->pixmap(Qt::ReturnByValue);
    QVERIFY(!shown.isNull());
    QCOMPARE(shown.size(), QSize(98, 24));
}

QTEST_MAIN(TestWindow)
#include "test_window.moc"
