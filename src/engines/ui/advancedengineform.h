#pragma once

#include <QDialog>

class QComboBox;
class QPushButton;
class QTabWidget;
class QWidget;

// The Excite settings dialog. It edits three settings that the main window owns
// (language, location, category) and keeps no state of its own between showings:
// every time it is shown it starts from the settings' current values. OK writes
// the three texts back, in that order, and accepts; Cancel and closing reject
// without writing anything.
class TAdvancedEngineForm : public QDialog
{
    Q_OBJECT

public:
    // The three pointers must outlive the dialog; none may be null.
    TAdvancedEngineForm(QString *exciteLanguage, QString *exciteLocation, QString *exciteCategory,
                        QWidget *parent = nullptr);

    QTabWidget *PageControl1;
    QWidget *ExciteTabSheet;
    QComboBox *ExciteLanguageComboBox;
    QComboBox *ExciteLocationComboBox;
    QComboBox *ExciteCategoryComboBox;
    QPushButton *OKBitBtn;
    QPushButton *BitBtn1;

public slots:
    // Loads the three settings into the boxes; every showing runs it first, so a
    // caller only needs it when it drives the dialog without showing it.
    void FormActivate();

protected:
    void showEvent(QShowEvent *event) override;

private slots:
    void OKBitBtnClick();

private:
    QString *m_language;
    QString *m_location;
    QString *m_category;
};
