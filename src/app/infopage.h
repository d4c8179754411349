#pragma once

#include <QWidget>

class QLabel;
class QLineEdit;
class QPixmap;
class QPlainTextEdit;
struct ProjectSettings;

// "Sender Info": the site owner's name and e-mail addresses, and the logo.
class InfoPage : public QWidget
{
    Q_OBJECT

public:
    explicit InfoPage(QWidget *parent = nullptr);

    // The sender: first name, middle initial, last name and the e-mail lines.
    void showSettings(const ProjectSettings &settings);
    void fillSettings(ProjectSettings &settings) const;
    // Empties the three name boxes (a closed project); the e-mail box keeps its lines.
    void clearNames();
    void setLogo(const QPixmap &logo);

signals:
    // The user or the program changed a box.
    void edited();
    void logoClicked();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QLineEdit *m_firstName;
    QLineEdit *m_middleInitial;
    QLineEdit *m_lastName;
    QPlainTextEdit *m_emails;
    QLabel *m_logo;
};
