#pragma once
// An operation that does not go ahead, with the reason in the words the user reads ("Mesa 0014
// está ocupada"). Nothing was changed when it is raised: the screens show the message and the
// database is as it was.

#include <QString>
#include <stdexcept>

namespace Gpe00002 {

class ERefusal : public std::runtime_error {
public:
    explicit ERefusal(const QString& message) : std::runtime_error(message.toStdString()) {}
    QString message() const { return QString::fromUtf8(what()); }
};

}  // namespace Gpe00002
