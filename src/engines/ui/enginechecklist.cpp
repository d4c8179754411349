#include "engines/ui/enginechecklist.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QStyledItemDelegate>

namespace {

// Set on items the program has disabled. Qt's own disabled flag would also stop
// the item from being highlighted, and a disabled engine must stay selectable.
constexpr int DisabledRole = Qt::UserRole + 1;

// Draws disabled items greyed, check glyph included, and tells where the glyph is.
class EngineItemDelegate : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    QRect checkGlyphRect(const QStyleOptionViewItem &option, const QModelIndex &index) const
    {
        QStyleOptionViewItem itemOption(option);
        initStyleOption(&itemOption, index);
        const QWidget *view = option.widget;
        QStyle *style = view ? view->style() : nullptr;
        if (!style)
            return {};
        return style->subElementRect(QStyle::SE_ItemViewItemCheckIndicator, &itemOption, view);
    }

protected:
    void initStyleOption(QStyleOptionViewItem *option, const QModelIndex &index) const override
    {
        QStyledItemDelegate::initStyleOption(option, index);
        if (index.data(DisabledRole).toBool())
            option->state &= ~QStyle::State_Enabled;
    }
};

} // namespace

EngineCheckList::EngineCheckList(QWidget *parent) : QListWidget(parent)
{
    setObjectName(QStringLiteral("SettingsSearchEnginesCheckList"));
    setSelectionMode(QAbstractItemView::SingleSelection);
    setItemDelegate(new EngineItemDelegate(this));
}

void EngineCheckList::setEngines(const QStringList &names)
{
    clear();
    for (const QString &name : names)
        addEngine(name);
}

int EngineCheckList::addEngine(const QString &name)
{
    int row = count();
    for (int i = 0; i < count(); ++i) {
        if (QString::compare(item(i)->text(), name, Qt::CaseInsensitive) > 0) {
            row = i;
            break;
        }
    }
    auto *entry = new QListWidgetItem(name);
    // Not user-checkable for Qt: toggling is ours, so that the changing signal
    // comes first and disabled items stay untouched.
    entry->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled);
    entry->setCheckState(Qt::Unchecked);
    insertItem(row, entry);
    return row;
}

QString EngineCheckList::text(int index) const
{
    const QListWidgetItem *entry = item(index);
    return entry ? entry->text() : QString();
}

bool EngineCheckList::isChecked(int index) const
{
    const QListWidgetItem *entry = item(index);
    return entry && entry->checkState() == Qt::Checked;
}

void EngineCheckList::setChecked(int index, bool checked)
{
    if (QListWidgetItem *entry = item(index))
        entry->setCheckState(checked ? Qt::Checked : Qt::Unchecked);
}

bool EngineCheckList::isItemEnabled(int index) const
{
    const QListWidgetItem *entry = item(index);
    return entry && !entry->data(DisabledRole).toBool();
}

void EngineCheckList::setItemEnabled(int index, bool enabled)
{
    if (QListWidgetItem *entry = item(index))
        entry->setData(DisabledRole, !enabled);
}

int EngineCheckList::indexOf(const QString &name) const
{
    for (int i = 0; i < count(); ++i) {
        if (item(i)->text() == name)
            return i;
    }
    return -1;
}

int EngineCheckList::selectedIndex() const
{
    const QList<QListWidgetItem *> selected = selectedItems();
    return selected.isEmpty() ? -1 : row(selected.first());
}

void EngineCheckList::setSelectedIndex(int index)
{
    if (index < 0 || index >= count()) {
        clearSelection();
        return;
    }
    setCurrentRow(index, QItemSelectionModel::ClearAndSelect);
}

void EngineCheckList::mousePressEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton)
        m_pressedRow = indexAt(event->position().toPoint()).row();
    if (!indexAt(event->position().toPoint()).isValid()) {
        // A click below the items keeps the highlighted engine, as a list box does.
        setFocus(Qt::MouseFocusReason);
        event->accept();
        return;
    }
    QListWidget::mousePressEvent(event);
}

void EngineCheckList::mouseDoubleClickEvent(QMouseEvent *event)
{
    // The second click of a double click is a press of its own for the glyph.
    if (event->button() == Qt::LeftButton)
        m_pressedRow = indexAt(event->position().toPoint()).row();
    QListWidget::mouseDoubleClickEvent(event);
}

void EngineCheckList::mouseReleaseEvent(QMouseEvent *event)
{
    QListWidget::mouseReleaseEvent(event);
    if (event->button() != Qt::LeftButton)
        return;
    const QPoint pos = event->position().toPoint();
    const int pressedRow = m_pressedRow;
    m_pressedRow = -1;
    if (pressedRow >= 0 && indexAt(pos).row() == pressedRow && isOnCheckGlyph(pressedRow, pos))
        toggleHighlighted();
    emit listClicked();
}

void EngineCheckList::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Space && event->modifiers() == Qt::NoModifier) {
        // The toggle happens on release; the press must not move the highlight.
        event->accept();
        return;
    }
    const int before = selectedIndex();
    QListWidget::keyPressEvent(event);
    if (selectedIndex() != before)
        emit listClicked();
}

void EngineCheckList::keyReleaseEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Space && event->modifiers() == Qt::NoModifier) {
        if (!event->isAutoRepeat())
            toggleHighlighted();
        event->accept();
        return;
    }
    QListWidget::keyReleaseEvent(event);
}

void EngineCheckList::toggleHighlighted()
{
    const int index = selectedIndex();
    if (index < 0 || !isItemEnabled(index))
        return;
    const QString name = text(index);
    emit checkChanging(index);
    // A receiver may have reloaded the list; the flip belongs to the item that was asked about.
    if (text(index) != name)
        return;
    setChecked(index, !isChecked(index));
    emit checkChanged(index);
}

bool EngineCheckList::isOnCheckGlyph(int row, const QPoint &pos) const
{
    const QModelIndex index = model()->index(row, 0);
    const auto *delegate = dynamic_cast<const EngineItemDelegate *>(itemDelegate());
    if (!delegate)
        return false;
    QStyleOptionViewItem option;
    initViewItemOption(&option);
    option.rect = visualRect(index);
    return delegate->checkGlyphRect(option, index).contains(pos);
}
