#pragma once

#include <QObject>
#include <QString>
#include <stdexcept>

namespace qctest {

// Finds a control by its object name; a missing control fails the test loudly.
template <typename T>
T *control(QObject *root, const QString &name)
{
    T *found = root->findChild<T *>(name);
    if (!found)
        throw std::runtime_error("no control named " + name.toStdString());
    return found;
}

} // namespace qctest
