#ifndef TEST_DIALOGS_H
#define TEST_DIALOGS_H

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTimer>

#include <functional>

// Answers every modal message box that opens while it lives, with the button given, and records each
// box's title and text so a test can assert on what the operator would have seen.
class DialogAnswerer : public QObject
{
    Q_OBJECT
public:
    explicit DialogAnswerer(QMessageBox::StandardButton answer = QMessageBox::Ok, QObject* parent = nullptr)
        : QObject(parent), m_answer(answer)
    {
        connect(&m_timer, &QTimer::timeout, this, &DialogAnswerer::poll);
        m_timer.start(20);
    }

    void setAnswer(QMessageBox::StandardButton answer) { m_answer = answer; }
    QStringList titles() const { return m_titles; }
    QStringList texts() const { return m_texts; }
    int count() const { return m_texts.size(); }
    void clear() { m_titles.clear(), m_texts.clear(); }
    // Runs while each box is open, before it is answered: what else happens meanwhile.
    std::function<void()> whileOpen;

private:
    void poll()
    {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box || !box->isVisible())
            return;
        m_titles << box->windowTitle();
        m_texts << box->text();
        if (whileOpen)
            whileOpen();
        QAbstractButton* button = box->button(m_answer) ? box->button(m_answer) : box->buttons().value(0);
        if (button)
            button->click();
        else
            box->reject();
    }

    QMessageBox::StandardButton m_answer;
    QTimer m_timer;
    QStringList m_titles;
    QStringList m_texts;
};

#endif // TEST_DIALOGS_H
