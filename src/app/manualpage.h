#pragma once

#include <QWidget>

class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QPushButton;
struct ManualEngine;

// "Manual Submit": the engines that must be visited by hand and what the list
// tells about the one clicked.
class ManualPage : public QWidget
{
    Q_OBJECT

public:
    explicit ManualPage(QWidget *parent = nullptr);

    // Lists the engines and empties the details.
    void setEngines(const QStringList &names);
    // The engine clicked last; "" when none is.
    QString currentEngine() const;
    void showEngine(const QString &name, const ManualEngine &engine);
    // Refresh acts only while no run is in progress.
    void setIdle(bool idle);
    void setBusy(bool busy);

signals:
    void engineClicked();
    void refreshClicked();
    // A "Go" button: the address to open.
    void openRequested(const QString &address);

private:
    void enableGoButtons();

    QWidget *m_right;
    QListWidget *m_engines;
    QPushButton *m_refresh;
    QLineEdit *m_name;
    QLineEdit *m_homeUrl;
    QPushButton *m_goHome;
    QLineEdit *m_addUrl;
    QPushButton *m_goAdd;
    QLineEdit *m_mode;
    QLineEdit *m_responseTime;
    QPlainTextEdit *m_likes;
    QPlainTextEdit *m_dislikes;
    QPlainTextEdit *m_comments;
};
