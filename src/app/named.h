#pragma once

#include <QString>
#include <utility>

// Creates a widget with an object name: users' scripts and the tests find every
// control by it. The layout it is added to gives it its parent.
template <typename Widget, typename... Args> Widget *Named(const QString &objectName, Args &&...args)
{
    auto *widget = new Widget(std::forward<Args>(args)...);
    widget->setObjectName(objectName);
    return widget;
}
