#ifndef ROLLOUTTAB_H
#define ROLLOUTTAB_H

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
class QTreeWidget;
QT_END_NAMESPACE

// The Rollout tab: cameras picked in the device list, one firmware file, the rollout's options and a row per
// camera with its state, progress, versions and the reason of a failure.
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

protected:
    void changeEvent(QEvent* event) override;

private slots:
    void on_rollout_open_Button_clicked();
    void on_rollout_remove_Button_clicked();
    void on_rollout_start_Button_clicked();
    void on_rollout_stop_Button_clicked();
    void on_rollout_export_Button_clicked();

private:
    void addSelectedDevices();
    void retranslate();
    void fillKinds();
    void showCamera(int row);
    void showProgress(int row, qint64 sent, qint64 total);
    void showSummary();
    void setRunning(bool running);
    void warn(const QString& text);
    QString stateText(Rollout::State state) const;
    QString failureWords(Failure failure, const QString& detail) const;
    QString failureText(const Rollout::Camera& camera) const;
    static QString withDetail(const QString& words, const QString& detail);

    Ui::RolloutTab* ui;
    QMainWindow* m_window;
    QTabWidget* m_tabs;
    QTreeWidget* m_devices;
    QComboBox* m_workType;
    QLineEdit* m_upgradeAddress;
    QPushButton* m_upgradeButton;
    QAction* m_addAction;
    Rollout* m_rollout = nullptr;
};

#endif // ROLLOUTTAB_H
