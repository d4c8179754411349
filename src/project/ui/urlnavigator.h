#pragma once

#include <QWidget>
#include <array>

class Platform;
class QModelIndex;
class QTableView;
class QToolButton;
class UrlTableModel;

// The record navigator of the URL grid: ten buttons, in order First, Prior,
// Next, Last, Insert, Delete, Edit, Post, Cancel, Refresh, each with its
// "short|long" hint (tool tip and status tip) and the object name
// "URLDBNavigator" + button name. Delete asks "Delete record?" through the
// platform first. Leaving a row that has unsaved changes posts them, as the
// grid's record set does. Failures of the table reach the user through the
// model's failed() signal, which the model's owner shows; the navigator shows
// no error box of its own. grid and model must outlive the navigator.
class URLDBNavigator : public QWidget
{
    Q_OBJECT
public:
    enum Button { First, Prior, Next, Last, Insert, Delete, Edit, Post, Cancel, Refresh, ButtonCount };

    // Binds grid to model when it is not bound yet.
    URLDBNavigator(Platform &platform, QTableView *grid, UrlTableModel *model, QWidget *parent = nullptr);

    QToolButton *button(Button which) const { return m_buttons.at(which); }

public slots:
    void first();
    void prior();
    void next();
    void last();
    void insert();
    void deleteCurrent();
    void edit();
    void post();
    void cancel();
    void refresh();

private slots:
    void updateButtons();
    void leaveRow(const QModelIndex &current, const QModelIndex &previous);

private:
    int currentRow() const;
    void moveTo(int row);
    // The view row of a table rowid, -1 when it is not in the view.
    int rowOf(qint64 rowId) const;
    // The open cell editor of the grid, or nullptr.
    QWidget *openEditor() const;

    Platform &m_platform;
    QTableView *m_grid;
    UrlTableModel *m_model;
    std::array<QToolButton *, ButtonCount> m_buttons{};
};
