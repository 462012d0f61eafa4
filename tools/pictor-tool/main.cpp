// pictor-tool INPUT OUTPUT [--quality Q] [--scale S] STEP...
// pictor-tool VIDEO OUTPUT.jpg --frame SECONDS
// Decodes INPUT through the processor chain of the steps (see ProcessorChainParser.h) and writes
// OUTPUT as JPEG (.jpg, .jpeg) or PNG (anything else). Prints the chain's identifier; on failure
// prints the library's error and exits with 1. With --frame, writes the video's frame at that
// time as the video-frame data provider makes it (JPEG).
#include "ProcessorChainParser.h"

#include "pictor/retrieval/AVAssetImageDataProvider.h"
#include "pictor/processing/ImageCoding.h"
#include "pictor/retrieval/PictorParsedOptionsInfo.h"

#include <QFile>
#include <QGuiApplication>
#include <QTextStream>

#include <cstdio>
#include <future>

using namespace pictor;

namespace {

int writeFrame(const QString& video, const QString& path, double seconds)
{
    std::promise<ImageDataProvider::DataResult> answer;
    AVAssetImageDataProvider(QUrl::fromLocalFile(video), seconds).data([&answer](ImageDataProvider::DataResult result) {
        answer.set_value(std::move(result));
    });
    const ImageDataProvider::DataResult result = answer.get_future().get();
    QFile output(path);
    if (result.isFailure()) {
        QTextStream(stderr) << "pictor-tool: " << result.error().description() << "\n";
        return 1;
    }
    if (!output.open(QIODevice::WriteOnly) || output.write(result.value()) != result.value().size()) {
        QTextStream(stderr) << "pictor-tool: cannot write " << path << "\n";
        return 1;
    }
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    QGuiApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    QTextStream err(stderr);
    double quality = 0.9;
    PictorParsedOptionsInfo options;
    for (const QString& flag : {QStringLiteral("--quality"), QStringLiteral("--scale")}) {
        const qsizetype at = args.indexOf(flag);
        if (at >= 0 && at + 1 < args.size()) {
            (flag == "--quality" ? quality : options.scaleFactor) = args[at + 1].toDouble();
            args.remove(at, 2);
        }
    }
    if (const qsizetype at = args.indexOf(QStringLiteral("--frame")); at >= 0 && at + 1 < args.size() && args.size() == 4)
        return writeFrame(args[0], args[1], args[at + 1].toDouble());
    if (args.size() < 2) {
        err << "usage: pictor-tool INPUT OUTPUT [--quality Q] [--scale S] STEP...\n";
        return 2;
    }
    QString parseError;
    const ImageProcessorPtr chain = ProcessorChainParser::parse(args.mid(2), parseError);
    if (!chain) {
        err << "pictor-tool: " << parseError << "\n";
        return 2;
    }
    QFile input(args[0]);
    if (!input.open(QIODevice::ReadOnly)) {
        err << "pictor-tool: cannot read " << args[0] << ": " << input.errorString() << "\n";
        return 1;
    }
    const Result<Image, PictorError> result = process(*chain, ImageProcessItem::data(input.readAll()), options);
    if (result.isFailure()) {
        err << "pictor-tool: " << result.error().what() << "\n";
        return 1;
    }
    const QString& path = args[1];
    const bool jpeg = path.endsWith(".jpg", Qt::CaseInsensitive) || path.endsWith(".jpeg", Qt::CaseInsensitive);
    const std::optional<QByteArray> bytes = pt::data(result.value(), jpeg ? ImageFormat::JPEG : ImageFormat::PNG, quality);
    QFile output(path);
    if (!bytes || !output.open(QIODevice::WriteOnly) || output.write(*bytes) != bytes->size()) {
        err << "pictor-tool: cannot write " << path << "\n";
        return 1;
    }
    std::printf("%s\n", qPrintable(chain->identifier()));
    return 0;
}
