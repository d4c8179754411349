#pragma once

#include <QByteArray>
#include <QList>
#include <utility>

namespace qctest {

// Sets environment variables for the life of the object, a null value unsetting
// one, and puts the old values back after, also when the test failed.
//
//   qctest::ScopedEnvironment env({{"https_proxy", proxyUrl}, {"no_proxy", {}}});
class ScopedEnvironment
{
public:
    using Values = QList<std::pair<const char *, QByteArray>>;

    explicit ScopedEnvironment(const Values &values)
    {
        for (const auto &[name, value] : values) {
            m_saved.append({name, qEnvironmentVariableIsSet(name) ? qgetenv(name) : QByteArray()});
            set(name, value);
        }
    }
    ~ScopedEnvironment()
    {
        for (auto it = m_saved.crbegin(); it != m_saved.crend(); ++it)
            set(it->first, it->second);
    }
    ScopedEnvironment(const ScopedEnvironment &) = delete;
    ScopedEnvironment &operator=(const ScopedEnvironment &) = delete;

    // Every proxy variable unset, so the developer's own proxy stays out of a
    // test; values after it set some again.
    static Values withoutProxies(const Values &then = {})
    {
        Values values;
        for (const char *name : {"http_proxy", "HTTP_PROXY", "https_proxy", "HTTPS_PROXY", "no_proxy", "NO_PROXY"})
            values.append({name, QByteArray()});
        return values + then;
    }

private:
    static void set(const char *name, const QByteArray &value)
    {
        if (value.isNull())
            qunsetenv(name);
        else
            qputenv(name, value);
    }

    Values m_saved;
};

} // namespace qctest
