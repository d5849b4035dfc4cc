#include "mainwindow.h"
#include "ui_mainwindow.h"

#include <QDebug>
#include <QMessageBox>
#include <QPixmap>
#include <QTcpSocket>
#include <QTimer>

#include "qffmpeg.h"
#include "rtspthread.h"

namespace
{
const int kReachabilityTimeoutMs = 1500;
// After a disconnect the button rests this long, so the second click of a double click starts nothing.
const int kDisconnectGraceMs = 300;
} // namespace

void MainWindow::on_rtsp_connect_Button_clicked()
{
    if (ffmpeg) {
        stop_preview();
        return;
    }
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

    // The thread is made first: children are destroyed in order, and the thread must end before its decoder.
    rtsp_thread = new RtspThread(this);
    ffmpeg = new QFFmpeg(this);
    connect(ffmpeg, SIGNAL(GetImage(QImage)), this, SLOT(rtsp_SetImage(QImage)));
    connect(ffmpeg, &QFFmpeg::Reconnecting, this,
            [this] { ui->textEdit->append(tr("No picture for 5 s, reconnecting...")); });
    ffmpeg->SetUrl(QStringLiteral("rtsp://") + address + QStringLiteral(":") + portText +
                   QStringLiteral("/1"));
    rtsp_thread->ffmpeg = ffmpeg;
    // The stream opens on the decode thread; the answer may come after this connection was given up.
    const RtspThread* thread = rtsp_thread;
    connect(rtsp_thread, &RtspThread::opened, this, [this, thread](bool ok) {
        if (thread == rtsp_thread)
            preview_opened(ok);
    });
    ui->rtsp_connect_Button->setText(tr("Disconnect"));
    ui->labVideo->setText(tr("connecting..."));
    rtsp_thread->start();
}

void MainWindow::preview_opened(bool ok)
{
    if (ok) {
        rtsp_connected = true;
        ui->labVideo->clear();
        ui->labVideo->resize(ui->widget->width(), ui->widget->height());
        return;
    }
    stop_preview();
    QMessageBox::warning(this, tr("Warning"), tr("Connection failure"));
}

// Nothing here waits: the decoder stops at once, and the thread, which then owns it, deletes itself and the
// decoder when run() has returned.
void MainWindow::stop_preview()
{
    if (!ffmpeg)
        return;
    QFFmpeg* decoder = ffmpeg;
    RtspThread* thread = rtsp_thread;
    ffmpeg = nullptr;
    rtsp_thread = nullptr;
    disconnect(decoder, SIGNAL(GetImage(QImage)), this, SLOT(rtsp_SetImage(QImage)));
    decoder->disconnect(this);
    decoder->Stop();
    thread->stop();
    thread->requestInterruption();
    decoder->setParent(thread);
    connect(thread, &QThread::finished, thread, &QObject::deleteLater);
    if (!thread->isRunning())
        thread->deleteLater();

    rtsp_connected = false;
    ui->labVideo->clear();
    ui->rtsp_connect_Button->setText(tr("Connect"));
    ui->rtsp_connect_Button->setEnabled(false);
    QTimer::singleShot(kDisconnectGraceMs, this, [this] { ui->rtsp_connect_Button->setEnabled(true); });
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
