#include "dialogs.h"

#include <QAbstractButton>
#include <QApplication>

DialogAnswerer::DialogAnswerer(QMessageBox::StandardButton answer, QObject* parent)
    : QObject(parent), m_answer(answer)
{
    connect(&m_timer, &QTimer::timeout, this, &DialogAnswerer::poll);
    m_timer.start(20);
}

void DialogAnswerer::clear()
{
    m_titles.clear();
    m_texts.clear();
}

void DialogAnswerer::poll()
{
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (!box || !box->isVisible())
        return;
    m_titles << box->windowTitle();
    m_texts << box->text();
    if (whileOpen)
        whileOpen();
    QAbstractButton* button = box->button(m_answer);
    if (!button)
        button = box->buttons().value(0);
    if (button)
        button->click();
    else
        box->reject();
}
