#include "devicesession.h"
#include "mainwindow.h"
#include "ui_mainwindow.h"
#include "upgradetypes.h"

#include <QDebug>
#include <QFile>
#include <QSettings>

namespace
{
const char* const kConfigFile = "config.ini";
} // namespace

void MainWindow::read_config()
{
    if (!QFile::exists(kConfigFile)) {
        qDebug() << "不存在配置文件";
        mode = QStringLiteral("Simple");
        language = QStringLiteral("Chinese");
        verify = true;
        ui->upgrade_type_comboBox->addItems(upgrade_types_for_mode(mode));
        install_translator();
        ui->upgrade_ip_lineEdit->setText(QStringLiteral("192.168.100.88"));
        qDebug() << "workmode: " << mode;
    } else {
        QSettings settings(kConfigFile, QSettings::IniFormat);
        language = settings.value("upgrade/language").toString();
        verify = settings.value("upgrade/verify").toBool();
        auto_backup = settings.value("upgrade/auto_backup").toBool();
        model_type = settings.value("upgrade/model_type").toBool();
        mac_modify = settings.value("upgrade/mac_modify").toBool();
        install_translator();

        mode = settings.value("upgrade/mode").toString();
        qDebug() << "workmode: " << mode;
        ui->upgrade_type_comboBox->addItems(upgrade_types_for_mode(mode));
        ui->upgrade_ip_lineEdit->setText(settings.value("upgrade/ipaddr").toString());
        file_name = settings.value("upgrade/path").toString();
        ui->upgrade_filename_lineEdit->setText(file_name);

        const UpgradeTypeChoice choice =
            upgrade_type_from_setting(mode, settings.value("upgrade/type").toString());
        if (choice.valid) {
            ui->upgrade_type_comboBox->setCurrentIndex(choice.index);
            upgrade_file_type = choice.file_type;
        }

        work_type = model_type ? 1 : 2;
        ui->worktype_comboBox->setCurrentIndex(model_type ? 0 : 1);
    }

    if (QFile::exists(kArchive))
        ui->label_21->setText(tr("exist"));
}

void MainWindow::save_config()
{
    // Start from an empty file so that only the keys below survive.
    if (QFile::exists(kConfigFile))
        QFile::remove(kConfigFile);

    mac_modify = ui->change_mac_pushButton->isVisible();
    QSettings settings(kConfigFile, QSettings::IniFormat);
    settings.beginGroup("upgrade");
    settings.setValue("language", language);
    settings.setValue("mode", mode);
    settings.setValue("verify", verify);
    settings.setValue("auto_backup", auto_backup);
    settings.setValue("model_type", model_type);
    settings.setValue("mac_modify", mac_modify);
    settings.setValue("type", ui->upgrade_type_comboBox->currentText());
    settings.setValue("ipaddr", ui->upgrade_ip_lineEdit->text());
    settings.setValue("path", ui->upgrade_filename_lineEdit->text());
    settings.endGroup();
}

void MainWindow::on_worktype_comboBox_activated(int index)
{
    if (index == 0) {
        model_type = true;
        work_type = 1;
    } else if (index == 1) {
        model_type = false;
        work_type = 2;
    } else {
        return;
    }
    // The record layout changes, so the open connection no longer fits.
    tcpClient->close();
    connect_flag = false;
    ui->label_4->setText(tr("disconnect"));
    ui->label_6->setText(tr("disconnect"));
    ui->label_23->setText(tr("disconnect"));
    ui->progressBar->reset();
    ui->upgrade_Button->setEnabled(true);
}
