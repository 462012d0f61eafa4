#pragma once

#include "pictor/processing/ImageProcessor.h"

#include <QStringList>

// Turns command-line steps into one processor chain:
//   blur:R  round:R  resize:WxH[:fit|:fill]  crop:WxH  downsample:WxH  tint:COLOR
//   overlay:COLOR:FRACTION  border:WIDTH:COLOR[:RADIUS]  colors:B:C:S:EV  bw
// Colours are anything QColor reads ("#80ff0000", "red").
class ProcessorChainParser {
public:
    // The chain, or nothing with the reason in error.
    static pictor::ImageProcessorPtr parse(const QStringList& steps, QString& error);

private:
    static pictor::ImageProcessorPtr parseStep(const QString& step, QString& error);
};
