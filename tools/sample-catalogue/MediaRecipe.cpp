#include "MediaRecipe.h"

#include <QCryptographicHash>

namespace samplecatalogue {

namespace {
constexpr int kFrameRate = 24;

struct Size {
    int width;
    int height;
};

int even(double value)
{
    return std::max(2, int(value / 2) * 2);
}

// Every asset but the master is scaled down to a fixed height, keeping the wallpaper's shape.
Size outputSize(const MediaRecipe::Source& source, MediaRecipe::Asset asset)
{
    const auto atHeight = [&](int height) {
        return Size{even(double(height) * source.width / source.height), height};
    };
    switch (asset) {
    case MediaRecipe::Asset::Poster: return atHeight(540);
    case MediaRecipe::Asset::Thumbnail: return atHeight(270);
    case MediaRecipe::Asset::Preview: return atHeight(360);
    case MediaRecipe::Asset::PreviewHd: return atHeight(720);
    case MediaRecipe::Asset::Master: break;
    }
    return {even(source.width), even(source.height)};
}

// The pattern is drawn small and scaled up: rendering a fractal at 4K would cost far more than
// encoding it, and a test picture needs no detail.
QString pattern(const MediaRecipe::Source& source, Size canvas)
{
    const QString size = QStringLiteral("size=%1x%2:rate=%3").arg(canvas.width).arg(canvas.height).arg(kFrameRate);
    switch (quint64(source.key) % 4) {
    case 0: return QStringLiteral("testsrc2=") + size;
    case 1: return QStringLiteral("smptebars=") + size;
    case 2: return QStringLiteral("mandelbrot=") + size;
    // The filter picks its colours at random unless told them, and the seed only moves the line
    // between them: a dark and a light one, which the hue shift below turns per wallpaper. Alone
    // it is flat over most of the frame, where a check of the picture (a stretch, a crop) sees
    // nothing change; a faint grid gives it edges everywhere, as the other patterns have.
    default:
        return QStringLiteral("gradients=%1:speed=0.05:seed=%2:c0=0x1d3557:c1=0xf4a261,"
                              "drawgrid=w=iw/12:h=ih/8:t=3:c=white@0.5")
            .arg(size)
            .arg(quint64(source.key) % 100000);
    }
}

// Captions go through the filter graph, whose quoting is fragile: keep plain characters only.
QString caption(const QString& text)
{
    QString plain;
    for (const QChar c : text) {
        if (c.isLetterOrNumber() || c == u' ' || c == u'-' || c == u'.')
            plain.append(c);
    }
    return plain.trimmed();
}

// Colour fields that drift slowly, in one of a few palettes, darker towards the edges.
QString scenery(const MediaRecipe::Source& source, Size canvas, Size out)
{
    static const char* const palettes[][3] = {
        {"0x0f2027", "0x2c5364", "0x4ca1af"}, {"0x2b1055", "0xd53369", "0xf8b500"}, {"0x134e5e", "0x71b280", "0xe2d96e"},
        {"0x1a2a6c", "0xb21f1f", "0xfdbb2d"}, {"0x355c7d", "0x6c5b7b", "0xc06c84"}, {"0x0b132b", "0x3a506b", "0x5bc0be"},
    };
    const auto& colours = palettes[quint64(source.key) % std::size(palettes)];
    QStringList chain{QStringLiteral("gradients=size=%1x%2:rate=%3:speed=0.01:seed=%4:nb_colors=3:c0=%5:c1=%6:c2=%7")
                          .arg(canvas.width)
                          .arg(canvas.height)
                          .arg(kFrameRate)
                          .arg(quint64(source.key) % 100000)
                          .arg(QLatin1String(colours[0]), QLatin1String(colours[1]), QLatin1String(colours[2])),
        QStringLiteral("vignette=PI/5")};
    if (source.monochrome)
        chain << QStringLiteral("hue=s=0");
    chain << QStringLiteral("scale=%1:%2:flags=bicubic").arg(out.width).arg(out.height) << QStringLiteral("format=yuv420p");
    return chain.join(u',');
}

QString filters(const MediaRecipe::Source& source, Size out, MediaRecipe::Look look)
{
    const Size canvas{even(540.0 * source.width / source.height), 540};
    if (look == MediaRecipe::Look::Scenery)
        return scenery(source, canvas, out);
    QStringList chain{pattern(source, canvas)};
    chain << (source.monochrome ? QStringLiteral("hue=s=0")
                                : QStringLiteral("hue=h=%1").arg(quint64(source.key) % 360));
    chain << QStringLiteral("scale=%1:%2:flags=%3")
                 .arg(out.width)
                 .arg(out.height)
                 .arg(out.height > 1080 ? QStringLiteral("neighbor") : QStringLiteral("fast_bilinear"));
    const QString title = caption(source.title.isEmpty() ? QStringLiteral("Untitled") : source.title);
    const int fontSize = std::max(12, out.height / 12);
    const QString text = QStringLiteral("drawtext=font=Sans:text='%1':fontsize=%2:fontcolor=white:box=1:"
                                        "boxcolor=black@0.55:boxborderw=%3:x=(w-tw)/2:y=%4");
    chain << text.arg(title).arg(fontSize).arg(fontSize / 3).arg(QStringLiteral("h-th-%1").arg(out.height / 6));
    chain << text.arg(QStringLiteral("%1  %2x%3").arg(source.key).arg(source.width).arg(source.height))
                 .arg(fontSize / 2)
                 .arg(fontSize / 6)
                 .arg(out.height / 12);
    chain << QStringLiteral("format=yuv420p");
    return chain.join(u',');
}

QStringList encoding(const MediaRecipe::Source& source, MediaRecipe::Asset asset)
{
    if (asset == MediaRecipe::Asset::Poster || asset == MediaRecipe::Asset::Thumbnail)
        return {QStringLiteral("-frames:v"), QStringLiteral("1"), QStringLiteral("-c:v"), QStringLiteral("libwebp"),
                QStringLiteral("-quality"), QStringLiteral("80"), QStringLiteral("-f"), QStringLiteral("webp")};
    return {QStringLiteral("-t"), QString::number(source.seconds), QStringLiteral("-c:v"), QStringLiteral("libx264"),
            QStringLiteral("-preset"), QStringLiteral("ultrafast"), QStringLiteral("-crf"), QStringLiteral("26"),
            QStringLiteral("-g"), QString::number(kFrameRate), QStringLiteral("-pix_fmt"), QStringLiteral("yuv420p"),
            QStringLiteral("-an"), QStringLiteral("-movflags"), QStringLiteral("+faststart"), QStringLiteral("-f"),
            QStringLiteral("mp4")};
}
} // namespace

QString MediaRecipe::fileName(Asset asset)
{
    switch (asset) {
    case Asset::Poster: return QStringLiteral("poster.webp");
    case Asset::Thumbnail: return QStringLiteral("thumbnail.webp");
    case Asset::Preview: return QStringLiteral("preview.mp4");
    case Asset::PreviewHd: return QStringLiteral("previewhd.mp4");
    case Asset::Master: break;
    }
    return QStringLiteral("master.mp4");
}

std::optional<MediaRecipe::Asset> MediaRecipe::assetForFileName(const QString& name)
{
    for (const Asset asset : kAssets) {
        if (fileName(asset) == name)
            return asset;
    }
    return std::nullopt;
}

QByteArray MediaRecipe::contentType(Asset asset)
{
    return fileName(asset).endsWith(QLatin1String(".webp")) ? QByteArray("image/webp") : QByteArray("video/mp4");
}

QStringList MediaRecipe::arguments(const Source& source, Asset asset, const QString& output, Look look)
{
    QStringList arguments{QStringLiteral("-nostdin"), QStringLiteral("-hide_banner"), QStringLiteral("-loglevel"),
                          QStringLiteral("error"), QStringLiteral("-y"), QStringLiteral("-f"), QStringLiteral("lavfi"),
                          QStringLiteral("-i"), filters(source, outputSize(source, asset), look)};
    arguments << encoding(source, asset) << output;
    return arguments;
}

QString MediaRecipe::fingerprint(const Source& source, Asset asset, Look look)
{
    const QByteArray recipe = arguments(source, asset, QString(), look).join(u'\n').toUtf8();
    return QString::fromLatin1(QCryptographicHash::hash(recipe, QCryptographicHash::Sha1).toHex().left(10));
}

} // namespace samplecatalogue
