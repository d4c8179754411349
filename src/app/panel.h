#pragma once

#include <QFrame>
#include <functional>

// A panel whose children are placed by a rule of its width and height, run
// whenever the panel changes size.
class Panel : public QFrame
{
    Q_OBJECT

public:
    using ResizeRule = std::function<void(int width, int height)>;

    explicit Panel(const QString &objectName, QWidget *parent = nullptr);
    void setResizeRule(ResizeRule rule);

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    ResizeRule m_rule;
};

// Creates a child of parent with the given object name at the given place.
template <typename Widget, typename... Args>
Widget *Place(QWidget *parent, const QString &objectName, int x, int y, int w, int h, Args &&...args)
{
    auto *widget = new Widget(std::forward<Args>(args)..., parent);
    widget->setObjectName(objectName);
    widget->setGeometry(x, y, w, h);
    return widget;
}
