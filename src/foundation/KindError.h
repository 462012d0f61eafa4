#pragma once

#include "foundation/AppError.h"

#include <QString>

// An error that is one case of an enumeration plus an optional detail text (a path, or the
// underlying library's reason). Each service's error derives from it with its own Kind and
// writes only its messages in localizedDescription().
template <typename KindType>
class KindError : public AppError {
public:
    using Kind = KindType;

    explicit KindError(Kind kind, QString detail = {}) : kind_(kind), detail_(std::move(detail)) {}

    Kind kind() const { return kind_; }
    const QString& detail() const { return detail_; }

protected:
    Kind kind_;
    QString detail_;
};
