#include "backend/QueryItem.h"

#include <QUrl>

namespace {
// Query characters that need no escape beside the unreserved ones; "&", "=" and "+" are left
// out because servers read them as separators or as a blank.
const QByteArray kKeptInQuery = QByteArrayLiteral("!$'()*,;:@/?");

QString escaped(const QString& text) { return QString::fromLatin1(QUrl::toPercentEncoding(text, kKeptInQuery)); }

QString unescaped(QStringView text) { return QUrl::fromPercentEncoding(text.toUtf8()); }
} // namespace

QString QueryItem::encode(const QList<QueryItem>& items)
{
    QString query;
    for (const QueryItem& item : items) {
        if (!query.isEmpty())
            query += QLatin1Char('&');
        query += escaped(item.name) + QLatin1Char('=') + escaped(item.value);
    }
    return query;
}

QList<QueryItem> QueryItem::decode(const QUrl& url)
{
    QList<QueryItem> items;
    const QString query = url.query(QUrl::FullyEncoded);
    for (QStringView piece : QStringView(query).split(QLatin1Char('&'), Qt::SkipEmptyParts)) {
        const qsizetype equals = piece.indexOf(QLatin1Char('='));
        if (equals < 0)
            items.append({unescaped(piece), QString()});
        else
            items.append({unescaped(piece.left(equals)), unescaped(piece.mid(equals + 1))});
    }
    return items;
}
