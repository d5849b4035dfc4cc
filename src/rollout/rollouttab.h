#ifndef ROLLOUTTAB_H
#define ROLLOUTTAB_H

#include <QSet>
#include <QTimer>
#include <QWidget>

#include "rollout.h"

QT_BEGIN_NAMESPACE
namespace Ui
{
class RolloutTab;
}
class QAction;
class QComboBox;
class QLineEdit;
class QMainWindow;
class QPushButton;
class QTabWidget;
class QTimer;
class QTreeWidget;
QT_END_NAMESPACE

// The Rollout tab: cameras picked in the device list, one firmware file, the rollout's options and a row per
// camera with its model, state, progress, versions and the reason of a failure. Rows are keyed by Device ID
// where it is known, and follow their camera to the address the latest search found it at.
class RolloutTab : public QWidget
{
    Q_OBJECT

public:
    // Puts itself after the window's last tab and finds the window's widgets it works with by their object
    // names, which the window keeps fixed.
    explicit RolloutTab(QMainWindow* window);
    ~RolloutTab() override;

    // "Add to rollout" for the device list's context menu: adds the selected cameras.
    QAction* menuAction() const { return m_addAction; }
    void addCamera(const QString& address, const QString& deviceId);
    // For the Upgrade tab's own connection: warns and returns true when the rollout is upgrading that camera.
    bool refuseBusy(const QString& address);
    // Before the window closes: while a job runs, asks whether to end it; false when the operator says no.
    bool confirmClose();
    // Ends a running job now, its transfers with it.
    void abort();

protected:
    void changeEvent(QEvent* event) override;

private slots:
    void on_rollout_open_Button_clicked();
    void on_rollout_remove_Button_clicked();
    void on_rollout_start_Button_clicked();
    void on_rollout_retry_Button_clicked();
    void on_rollout_check_Button_clicked();
    void on_rollout_backup_all_Button_clicked();
    void on_rollout_stop_Button_clicked();
    void on_rollout_export_Button_clicked();

private:
    enum Column {
        ColumnAddress,
        ColumnDeviceId,
        ColumnModel,
        ColumnState,
        ColumnProgress,
        ColumnVersion,
        ColumnReason,
        ColumnCount
    };

    void addSelectedDevices();
    // The row of this Device ID (any case), or else of this address; -1 when there is none.
    int rowOf(const QString& deviceId, const QString& address) const;
    bool listed(const QString& address) const { return rowOf(QString(), address) >= 0; }
    // Before a job: each row with a Device ID takes the address the latest search found it at. False, after
    // saying why, when two rows would end at one address.
    bool followCameras();
    void moveRow(int row, const QString& address);
    // Asks before one firmware goes to cameras of several models; true to go on.
    bool acceptModels();
    // True when no model is chosen and some row's model is not known yet: Start asks the cameras first.
    bool modelsToAsk() const;
    void fillModels();
    // Runs the job on every row; rows done by the last job are left alone when `retry`.
    void startJob(RolloutJob job, bool retry = false);
    // How many rows the last finished upgrade upgraded.
    int upgradedRows() const;
    void retranslate();
    void fillKinds();
    // Rows changed by the rollout are redrawn together a few times a second: hundreds of cameras must not
    // flood the window with repaints.
    void queueRow(int row);
    void showQueuedRows();
    void showCamera(int row);
    void showProgress(int row, qint64 sent, qint64 total);
    void showSummary();
    void showTimeLeft();
    void setRunning(bool running);
    void warn(const QString& text);
    QString stateText(Rollout::State state) const;
    QString stateText(const Rollout::Camera& camera) const;
    QString stopText(const Rollout& rollout) const;
    QString movedText(int row) const;
    QString failureWords(Failure failure, const QString& detail) const;
    QString reasonText(const Rollout::Camera& camera) const;
    static QString withDetail(const QString& words, const QString& detail);

    Ui::RolloutTab* ui;
    QMainWindow* m_window;
    QTabWidget* m_tabs;
    QTreeWidget* m_devices;
    QComboBox* m_workType;
    QLineEdit* m_upgradeAddress;
    QPushButton* m_upgradeButton;
    QAction* m_addAction;
    QTimer* m_timeLeftTimer; // one for all rebooting rows
    Rollout* m_rollout = nullptr;
    bool m_upgradeAfterCheck = false; // the running version check was started by Start
    QSet<int> m_queuedRows;
    QTimer m_rowTimer;
};

#endif // ROLLOUTTAB_H
