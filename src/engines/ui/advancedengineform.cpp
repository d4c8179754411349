#include "engines/ui/advancedengineform.h"

#include "engines/countrycodes.h"

#include <QComboBox>
#include <QCompleter>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QShowEvent>
#include <QTabWidget>
#include <QVBoxLayout>

namespace {

constexpr int ComboWidth = 394;

QComboBox *addLabelledCombo(QVBoxLayout *page, const QString &objectName, const QString &label,
                            const QStringList &items)
{
    auto *caption = new QLabel(label);
    caption->setObjectName(objectName + QStringLiteral("Label"));
    auto *combo = new QComboBox;
    combo->setObjectName(objectName);
    combo->setEditable(true);
    // Typed text is a setting of its own; it must never be added to the pick list.
    combo->setInsertPolicy(QComboBox::NoInsert);
    // ...and what was typed is kept letter for letter: "united states" is not a
    // listed location and must not silently become one.
    combo->completer()->setCaseSensitivity(Qt::CaseSensitive);
    combo->addItems(items);
    combo->setFixedWidth(ComboWidth);
    combo->setMaxVisibleItems(16);
    caption->setBuddy(combo);
    page->addWidget(caption);
    page->addWidget(combo);
    page->addSpacing(12);
    return combo;
}

// Shows a setting as the box's text; a listed value also becomes the current
// item so that the drop-down opens on it.
void showSetting(QComboBox *combo, const QString &value)
{
    const int listed = combo->findText(value, Qt::MatchExactly | Qt::MatchCaseSensitive);
    if (listed >= 0)
        combo->setCurrentIndex(listed);
    combo->setEditText(value);
}

} // namespace

TAdvancedEngineForm::TAdvancedEngineForm(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("AdvancedEngineForm"));
    setWindowTitle(QStringLiteral("Advanced Settings"));
    resize(540, 412);

    PageControl1 = new QTabWidget(this);
    PageControl1->setObjectName(QStringLiteral("PageControl1"));
    ExciteTabSheet = new QWidget;
    ExciteTabSheet->setObjectName(QStringLiteral("ExciteTabSheet"));
    PageControl1->addTab(ExciteTabSheet, QStringLiteral("Excite"));

    auto *page = new QVBoxLayout(ExciteTabSheet);
    ExciteLanguageComboBox = addLabelledCombo(page, QStringLiteral("ExciteLanguageComboBox"),
                                              QStringLiteral("Primary Language"), ExciteLanguages());
    ExciteLocationComboBox = addLabelledCombo(page, QStringLiteral("ExciteLocationComboBox"),
                                              QStringLiteral("Geographical Location"), ExciteLocations());
    ExciteCategoryComboBox = addLabelledCombo(page, QStringLiteral("ExciteCategoryComboBox"),
                                              QStringLiteral("Category"), ExciteCategories());
    page->addStretch();

    OKBitBtn = new QPushButton(QStringLiteral("OK"), this);
    OKBitBtn->setObjectName(QStringLiteral("OKBitBtn"));
    OKBitBtn->setDefault(true);
    BitBtn1 = new QPushButton(QStringLiteral("Cancel"), this);
    BitBtn1->setObjectName(QStringLiteral("BitBtn1"));

    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(OKBitBtn);
    buttons->addWidget(BitBtn1);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(PageControl1);
    layout->addLayout(buttons);

    connect(OKBitBtn, &QPushButton::clicked, this, &TAdvancedEngineForm::OKBitBtnClick);
    connect(BitBtn1, &QPushButton::clicked, this, &QDialog::reject);
}

void TAdvancedEngineForm::showEvent(QShowEvent *event)
{
    // A spontaneous show is the window system restoring a minimised dialog, not
    // a new showing: the user's edits must survive it.
    if (!event->spontaneous())
        FormActivate();
    QDialog::showEvent(event);
}

void TAdvancedEngineForm::setValues(const ExciteValues &values)
{
    m_values = values;
    m_chosen.reset();
}

void TAdvancedEngineForm::FormActivate()
{
    showSetting(ExciteLanguageComboBox, m_values.language);
    showSetting(ExciteLocationComboBox, m_values.location);
    showSetting(ExciteCategoryComboBox, m_values.category);
}

void TAdvancedEngineForm::OKBitBtnClick()
{
    m_chosen = ExciteValues{ExciteLanguageComboBox->currentText(), ExciteLocationComboBox->currentText(),
                            ExciteCategoryComboBox->currentText()};
    accept();
}
