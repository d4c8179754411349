#include "project/ui/urlnavigator.h"

#include "platform/platform.h"
#include "project/store/urltablemodel.h"

#include <QAbstractItemDelegate>
#include <QHBoxLayout>
#include <QTableView>
#include <QToolButton>

namespace {

struct ButtonLook
{
    const char *name;
    const char *glyph;
    const char *hint;
};

constexpr ButtonLook Looks[URLDBNavigator::ButtonCount] = {
    {"First", "|\u25C0", "First URL|Jump to first URL"},
    {"Prior", "\u25C0", "Previous URL|Go to previous URL"},
    {"Next", "\u25B6", "Next URL|Go to next URL"},
    {"Last", "\u25B6|", "Last URL|Jump to last URL"},
    {"Insert", "+", "Add URL|Add a URL"},
    {"Delete", "\u2212", "Delete URL|Delete the current URL"},
    {"Edit", "\u25B2", "Edit URL|Edit the current URL"},
    {"Post", "\u2713", "Save URL|Save changes made to this URL"},
    {"Cancel", "\u2715", "Cancel|Cancel"},
    {"Refresh", "\u21BB", "Refresh|Refresh the URL list"},
};

} // namespace

URLDBNavigator::URLDBNavigator(Platform &platform, QTableView *grid, UrlTableModel *model, QWidget *parent)
    : QWidget(parent), m_platform(platform), m_grid(grid), m_model(model)
{
    setObjectName(QStringLiteral("URLDBNavigator"));
    if (m_grid->model() != m_model)
        m_grid->setModel(m_model);

    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    using Slot = void (URLDBNavigator::*)();
    constexpr Slot handlers[ButtonCount] = {
        &URLDBNavigator::first,  &URLDBNavigator::prior,         &URLDBNavigator::next, &URLDBNavigator::last,
        &URLDBNavigator::insert, &URLDBNavigator::deleteCurrent, &URLDBNavigator::edit, &URLDBNavigator::post,
        &URLDBNavigator::cancel, &URLDBNavigator::refresh};
    for (int i = 0; i < ButtonCount; ++i) {
        const QString hint = QString::fromUtf8(Looks[i].hint);
        auto *button = new QToolButton(this);
        button->setObjectName(QStringLiteral("URLDBNavigator") + QLatin1String(Looks[i].name));
        button->setText(QString::fromUtf8(Looks[i].glyph));
        button->setToolTip(hint.section(u'|', 0, 0));
        button->setStatusTip(hint.section(u'|', 1));
        button->setProperty("hint", hint);
        // Taking the focus on a click lets an open cell editor hand its text to the model first.
        button->setFocusPolicy(Qt::StrongFocus);
        button->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
        layout->addWidget(button);
        connect(button, &QToolButton::clicked, this, handlers[i]);
        m_buttons[size_t(i)] = button;
    }

    connect(m_model, &QAbstractItemModel::modelReset, this, &URLDBNavigator::updateButtons);
    connect(m_model, &QAbstractItemModel::rowsInserted, this, &URLDBNavigator::updateButtons);
    connect(m_model, &QAbstractItemModel::rowsRemoved, this, &URLDBNavigator::updateButtons);
    connect(m_model, &QAbstractItemModel::dataChanged, this, &URLDBNavigator::updateButtons);
    // Posting can re-read the whole view, which must not happen inside the
    // selection model's own change notification.
    connect(m_grid->selectionModel(), &QItemSelectionModel::currentRowChanged, this, &URLDBNavigator::leaveRow,
            Qt::QueuedConnection);
    connect(m_grid->selectionModel(), &QItemSelectionModel::currentRowChanged, this, &URLDBNavigator::updateButtons);
    updateButtons();
}

int URLDBNavigator::currentRow() const
{
    const QModelIndex current = m_grid->currentIndex();
    return current.isValid() ? current.row() : -1;
}

void URLDBNavigator::moveTo(int row)
{
    if (m_model->rowCount() == 0)
        return;
    row = std::clamp(row, 0, m_model->rowCount() - 1);
    const int column = std::max(m_grid->currentIndex().column(), 0);
    m_grid->setCurrentIndex(m_model->index(row, column));
    m_grid->scrollTo(m_grid->currentIndex());
}

void URLDBNavigator::first()
{
    moveTo(0);
}

void URLDBNavigator::prior()
{
    moveTo(currentRow() - 1);
}

void URLDBNavigator::next()
{
    moveTo(currentRow() + 1);
}

void URLDBNavigator::last()
{
    moveTo(m_model->rowCount() - 1);
}

void URLDBNavigator::insert()
{
    const int row = m_model->insertAt(std::max(currentRow(), 0));
    if (row < 0)
        return;
    const QModelIndex cell = m_model->index(row, UrlTableModel::UrlColumn);
    m_grid->setCurrentIndex(cell);
    m_grid->edit(cell);
}

void URLDBNavigator::deleteCurrent()
{
    const int row = currentRow();
    if (row < 0)
        return;
    const Platform::Button answer = m_platform.messageBox(this, QStringLiteral("Delete record?"),
                                                          QStringLiteral("Confirm"), Platform::Yes | Platform::No);
    if (answer != Platform::Yes)
        return;
    if (QWidget *editor = openEditor())
        emit m_grid->itemDelegate()->closeEditor(editor, QAbstractItemDelegate::RevertModelCache);
    if (m_model->deleteAt(row))
        moveTo(row);
}

void URLDBNavigator::edit()
{
    const int row = currentRow();
    if (row < 0 || !m_model->edit(row))
        return;
    const QModelIndex cell = m_model->index(row, UrlTableModel::UrlColumn);
    m_grid->setCurrentIndex(cell);
    m_grid->edit(cell);
}

void URLDBNavigator::post()
{
    if (QWidget *editor = openEditor()) {
        emit m_grid->itemDelegate()->commitData(editor);
        emit m_grid->itemDelegate()->closeEditor(editor, QAbstractItemDelegate::NoHint);
    }
    const int row = currentRow();
    const qint64 rowId = m_model->rowIdAt(row);
    if (!m_model->post())
        return;
    // A posted insert re-reads the view: stay on the same row where it still is.
    const int found = rowOf(rowId);
    moveTo(found >= 0 ? found : row);
    updateButtons();
}

void URLDBNavigator::cancel()
{
    if (QWidget *editor = openEditor())
        emit m_grid->itemDelegate()->closeEditor(editor, QAbstractItemDelegate::RevertModelCache);
    const int row = currentRow();
    m_model->cancel();
    moveTo(row);
    updateButtons();
}

void URLDBNavigator::refresh()
{
    const int row = currentRow();
    m_model->refresh();
    moveTo(row);
}

QWidget *URLDBNavigator::openEditor() const
{
    // For a cell being edited the view hands out its editor here (the grid has no other index widgets).
    return m_grid->indexWidget(m_grid->currentIndex());
}

void URLDBNavigator::leaveRow(const QModelIndex &current, const QModelIndex &previous)
{
    const int pending = m_model->pendingRow();
    if (pending < 0 || !previous.isValid() || previous.row() != pending || current.row() == pending)
        return;
    const qint64 target = m_model->rowIdAt(current.row());
    if (!m_model->post())
        return;
    const int found = rowOf(target);
    if (found >= 0 && found != currentRow())
        moveTo(found);
    updateButtons();
}

int URLDBNavigator::rowOf(qint64 rowId) const
{
    for (int r = 0; rowId >= 0 && r < m_model->rowCount(); ++r)
        if (m_model->rowIdAt(r) == rowId)
            return r;
    return -1;
}

void URLDBNavigator::updateButtons()
{
    const int rows = m_model->rowCount();
    const int row = currentRow();
    const bool browsing = m_model->state() == UrlTableModel::State::Browse;
    button(First)->setEnabled(rows > 0 && row != 0);
    button(Prior)->setEnabled(rows > 0 && row != 0);
    button(Next)->setEnabled(rows > 0 && row != rows - 1);
    button(Last)->setEnabled(rows > 0 && row != rows - 1);
    button(Insert)->setEnabled(true);
    button(Delete)->setEnabled(rows > 0);
    button(Edit)->setEnabled(browsing && rows > 0);
    button(Post)->setEnabled(!browsing);
    button(Cancel)->setEnabled(!browsing);
    button(Refresh)->setEnabled(browsing);
}
