#include "ui/ElidedText.h"

#include <QFontMetricsF>
#include <QStringList>
#include <QTextLayout>

#include <algorithm>

namespace {
// Catalogue texts are shown as one paragraph: a line break in one is a space.
QString flattened(QString text)
{
    for (QChar& unit : text) {
        if (unit == u'\n' || unit == u'\r' || unit == QChar::LineSeparator || unit == QChar::ParagraphSeparator)
            unit = u' ';
    }
    return text;
}
} // namespace

QString ElidedText::bounded(const QString& text, int maxCharacters)
{
    if (text.size() <= maxCharacters)
        return text;
    qsizetype end = std::max(0, maxCharacters - 1);
    if (end > 0 && text.at(end - 1).isHighSurrogate())
        --end;
    return text.left(end) + QChar(0x2026);
}

QString ElidedText::toWidth(const QString& text, const QFontMetricsF& metrics, qreal width)
{
    return metrics.elidedText(flattened(bounded(text)), Qt::ElideRight, std::max<qreal>(0, width));
}

QString ElidedText::wrapped(const QString& text, const QFont& font, qreal width, int maxLines)
{
    const QString bounded = flattened(ElidedText::bounded(text));
    width = std::max<qreal>(1, width);
    QTextLayout layout(bounded, font);
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);
    QStringList lines;
    layout.beginLayout();
    for (QTextLine line = layout.createLine(); line.isValid() && lines.size() < maxLines; line = layout.createLine()) {
        line.setLineWidth(width);
        const bool last = lines.size() == maxLines - 1;
        // The last line allowed takes the rest, cut to the box.
        const QString part = last ? bounded.mid(line.textStart()) : bounded.mid(line.textStart(), line.textLength());
        lines.append(last ? toWidth(part.trimmed(), QFontMetricsF(font), width) : part.trimmed());
    }
    layout.endLayout();
    return lines.join(u'\n');
}
