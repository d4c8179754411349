#pragma once

#include <QDialog>
#include <QString>
#include <optional>

class QComboBox;
class QPushButton;
class QTabWidget;
class QWidget;

// The project's three Excite settings, as texts ("Nothing Selected" when not given).
struct ExciteValues
{
    QString language;
    QString location;
    QString category;
};

// The Excite settings dialog. It is given the three current settings and gives
// back the ones chosen; it keeps nothing of its own between showings: every time
// it is shown it starts from the values given last. OK takes the three texts as
// shown (typed ones too) and accepts; Cancel and closing reject and choose nothing.
class TAdvancedEngineForm : public QDialog
{
    Q_OBJECT

public:
    explicit TAdvancedEngineForm(QWidget *parent = nullptr);

    // The values the next showing starts from; forgets what was chosen before.
    void setValues(const ExciteValues &values);
    // What OK took since the last setValues(); nullopt when the user cancelled or
    // has not answered yet.
    const std::optional<ExciteValues> &chosen() const { return m_chosen; }

    QTabWidget *PageControl1;
    QWidget *ExciteTabSheet;
    QComboBox *ExciteLanguageComboBox;
    QComboBox *ExciteLocationComboBox;
    QComboBox *ExciteCategoryComboBox;
    QPushButton *OKBitBtn;
    QPushButton *BitBtn1;

public slots:
    // Loads the given values into the boxes; every showing runs it first, so a
    // caller only needs it when it drives the dialog without showing it.
    void FormActivate();

protected:
    void showEvent(QShowEvent *event) override;

private slots:
    void OKBitBtnClick();

private:
    ExciteValues m_values;
    std::optional<ExciteValues> m_chosen;
};
