#pragma once

#include <QDialog>

class Platform;
class QLabel;

// The About box: program name, version, what it does, the publisher's address
// and e-mail addresses. Clicking the picture, the version, the description or
// the address opens the publisher's home page.
class TAboutBox : public QDialog
{
    Q_OBJECT

public:
    TAboutBox(Platform &platform, const QString &baseDir, QWidget *parent = nullptr);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QLabel *makeLabel(const QString &objectName, const QString &text, QWidget *parent);

    Platform &m_platform;
};
