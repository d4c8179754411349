#pragma once

#include <QListWidget>

// The automatic engines of the open project: a list kept sorted by name (letter
// case ignored, earlier additions first among equal names) whose items each have
// a checked flag and an enabled flag. A disabled item is shown greyed and can
// still be highlighted, but the user cannot toggle it.
//
// The user toggles the highlighted item by releasing the left button over its
// check glyph (pressed on the same item) or by releasing the space bar;
// checkChanging(i) is emitted before the flag flips and checkChanged(i) after.
// Changes made through the functions below emit neither.
class EngineCheckList : public QListWidget
{
    Q_OBJECT

public:
    explicit EngineCheckList(QWidget *parent = nullptr);

    // Replaces all items; every item starts unchecked and enabled, none highlighted.
    void setEngines(const QStringList &names);
    // Adds one unchecked, enabled item in its sorted place and returns its index.
    int addEngine(const QString &name);

    // Accessors by index; an index out of range reads as "", unchecked and
    // disabled, and is ignored by the setters.
    QString text(int index) const;
    bool isChecked(int index) const;
    void setChecked(int index, bool checked);
    bool isItemEnabled(int index) const;
    void setItemEnabled(int index, bool enabled);

    // The index of the item whose text equals name exactly, or -1.
    int indexOf(const QString &name) const;
    // The highlighted item, or -1 when none is.
    int selectedIndex() const;
    // Highlights item index; -1 (or any index out of range) removes the highlight.
    void setSelectedIndex(int index);

signals:
    void checkChanging(int index);
    void checkChanged(int index);
    // A click anywhere in the list, or the highlight moved by the keyboard.
    void listClicked();

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void keyReleaseEvent(QKeyEvent *event) override;

private:
    void toggleHighlighted();
    bool isOnCheckGlyph(int row, const QPoint &pos) const;

    int m_pressedRow = -1;
};
