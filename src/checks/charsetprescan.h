#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <functional>

namespace checks {

// Where a page names its encoding outside a byte order mark: the header's
// charset parameter and the <meta> a browser's prescan finds.

// The charset parameter of a Content-Type value, lower case and unquoted; "" when none.
QByteArray charsetOf(QByteArrayView contentType);

// The label a <meta charset> or <meta http-equiv="content-type"> names in the
// first bytes of a page, skipping comments, as a browser's prescan finds it;
// labels for which known() is false are passed over. "" when none.
QByteArray prescanCharset(QByteArrayView start, const std::function<bool(const QByteArray &)> &known);

} // namespace checks
