#pragma once

#include <QStatusBar>

class QLabel;

// The window's status bar: the open project's ID in the first panel, the long
// part of the hint under the pointer in the second.
class WindowStatusBar : public QStatusBar
{
    Q_OBJECT

public:
    explicit WindowStatusBar(QWidget *parent = nullptr);

    void showProjectId(int id);
    void showHint(const QString &hint);

private:
    QLabel *m_idPanel;
    QLabel *m_hintPanel;
};
