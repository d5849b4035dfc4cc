#ifndef TEST_DIALOGS_H
#define TEST_DIALOGS_H

#include <QMessageBox>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <functional>

// Answers every modal message box that opens while it lives, with the button given, and records each
// box's title and text so a test can assert on what the operator would have seen.
class DialogAnswerer : public QObject
{
    Q_OBJECT
public:
    explicit DialogAnswerer(QMessageBox::StandardButton answer = QMessageBox::Ok, QObject* parent = nullptr);

    void setAnswer(QMessageBox::StandardButton answer) { m_answer = answer; }
    QStringList titles() const { return m_titles; }
    QStringList texts() const { return m_texts; }
    int count() const { return m_texts.size(); }
    void clear();
    // Runs while each box is open, before it is answered: what else happens meanwhile.
    std::function<void()> whileOpen;

private:
    void poll();

    QMessageBox::StandardButton m_answer;
    QTimer m_timer;
    QStringList m_titles;
    QStringList m_texts;
};

#endif // TEST_DIALOGS_H
