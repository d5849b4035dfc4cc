#include "mainwindow.h"
#include "ui_mainwindow.h"

#include <QDebug>
#include <QMessageBox>
#include <QPixmap>
#include <QTcpSocket>

#include "qffmpeg.h"
#include "rtspthread.h"

namespace
{
const int kReachabilityTimeoutMs = 1500;
// Lets frames already queued be drawn before the thread is torn down.
const int kDisconnectGraceMs = 300;
} // namespace

void MainWindow::on_rtsp_connect_Button_clicked()
{
    if (!rtsp_connected) {
        const QString address = ui->txtUrl->text();
        const QString portText = ui->txtPort->text();
        if (address.isEmpty() || portText.isEmpty() || !is_valid_host_ip(address)) {
            QMessageBox::warning(this, tr("Warning"), tr("Network information fill in error"));
            return;
        }
        if (!IP_Test(address, portText.toInt())) {
            QMessageBox::warning(this, tr("Warning"), tr("Connection timeout"));
            return;
        }
        delete osd_address;
        osd_address = new QHostAddress(address);

        ffmpeg = new QFFmpeg(this);
        connect(ffmpeg, SIGNAL(GetImage(QImage)), this, SLOT(rtsp_SetImage(QImage)));
        ffmpeg->SetUrl(QStringLiteral("rtsp://") + address + QStringLiteral(":") + portText +
                       QStringLiteral("/1"));
        rtsp_thread = new RtspThread(this);
        if (ffmpeg->Init()) {
            rtsp_thread->ffmpeg = ffmpeg;
            rtsp_thread->start();
            rtsp_connected = true;
            ui->rtsp_connect_Button->setText(tr("Disconnect"));
            ui->labVideo->resize(ui->widget->width(), ui->widget->height());
            return;
        }
        QMessageBox::warning(this, tr("Warning"), tr("Connection failure"));
    }

    disconnect(ffmpeg, SIGNAL(GetImage(QImage)), this, SLOT(rtsp_SetImage(QImage)));
    ffmpeg->Stop();
    delay_ms(kDisconnectGraceMs);
    rtsp_thread->stop();
    // The thread's destructor waits for Play() to return, so the decoder goes only after it.
    delete rtsp_thread;
    rtsp_thread = nullptr;
    delete ffmpeg;
    ffmpeg = nullptr;
    rtsp_connected = false;
    ui->labVideo->clear();
    ui->rtsp_connect_Button->setText(tr("Connect"));
}

bool MainWindow::IP_Test(QString address, int port)
{
    QTcpSocket socket;
    socket.abort();
    socket.connectToHost(address, quint16(port), QIODevice::ReadWrite, QAbstractSocket::AnyIPProtocol);
    if (socket.waitForConnected(kReachabilityTimeoutMs)) {
        socket.close();
        return true;
    }
    qDebug() << "connection timeout";
    return false;
}

void MainWindow::rtsp_SetImage(QImage image)
{
    if (!rtsp_connected || image.height() <= 0)
        return;
    const QImage scaled = image.scaled(ui->labVideo->size(), Qt::KeepAspectRatio, Qt::FastTransformation);
    ui->labVideo->setPixmap(QPixmap::fromImage(scaled));
}
