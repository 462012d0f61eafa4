#include "ui/ElidedText.h"

#include "foundation/Text.h"

#include <QFontMetricsF>
#include <QStringList>
#include <QTextLayout>

#include <algorithm>

QString ElidedText::bounded(const QString& text, int maxCharacters)
{
    // Cut before the pass over the characters, so a huge text costs what its bound costs.
    if (text.size() <= maxCharacters)
        return Text::oneLine(text);
    qsizetype end = std::max(0, maxCharacters - 1);
    if (end > 0 && text.at(end - 1).isHighSurrogate())
        --end;
    return Text::oneLine(text.left(end)) + QChar(0x2026);
}

QString ElidedText::toWidth(const QString& text, const QFontMetricsF& metrics, qreal width)
{
    return metrics.elidedText(bounded(text), Qt::ElideRight, std::max<qreal>(0, width));
}

QString ElidedText::wrapped(const QString& text, const QFont& font, qreal width, int maxLines)
{
    const QString bounded = ElidedText::bounded(text);
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
