#pragma once

#include <QWidget>

class QPlainTextEdit;

// "Hidden" (shown in debug mode only): the working lists and the answer of the
// current request, and the user agent the requests carry.
class HiddenPage : public QWidget
{
    Q_OBJECT

public:
    explicit HiddenPage(QWidget *parent = nullptr);

    void setUserAgent(const QString &userAgent);
    void appendAnswer(const QString &piece);
    void clearAnswer();

private:
    QPlainTextEdit *m_answer;
    QPlainTextEdit *m_userAgent;
};
