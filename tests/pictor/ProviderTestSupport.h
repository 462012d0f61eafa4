#pragma once

#include "pictor/retrieval/ImageDataProvider.h"

#include <QImage>
#include <QProcess>
#include <QStandardPaths>
#include <QString>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>
#include <optional>

// Waits for a provider's one answer.
inline pictor::ImageDataProvider::DataResult loadData(const pictor::ImageDataProvider& provider)
{
    auto answer = std::make_shared<std::optional<pictor::ImageDataProvider::DataResult>>();
    provider.data([answer](pictor::ImageDataProvider::DataResult result) { answer->emplace(std::move(result)); });
    EXPECT_TRUE(QTest::qWaitFor([&] { return answer->has_value(); }, 10000));
    if (!answer->has_value())
        return pictor::ImageDataProvider::DataResult::failure({pictor::ImageDataProviderError::Reason::userCancelled, "timed out"});
    return std::move(**answer);
}

// Runs the ffmpeg tool with the given arguments (after -y), into the given file.
inline bool ffmpeg(const QStringList& arguments)
{
    QProcess process;
    process.start(QStringLiteral("ffmpeg"), QStringList{QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-y")} + arguments);
    return process.waitForFinished(60000) && process.exitCode() == 0;
}

// The mean difference of two pictures' RGB channels, 0 to 255 (255 for different sizes).
inline double meanDifference(const QImage& a, const QImage& b)
{
    if (a.size() != b.size() || a.isNull())
        return 255;
    const QImage x = a.convertToFormat(QImage::Format_RGB32), y = b.convertToFormat(QImage::Format_RGB32);
    double sum = 0;
    for (int row = 0; row < x.height(); ++row) {
        for (int column = 0; column < x.width(); ++column) {
            const QRgb p = x.pixel(column, row), q = y.pixel(column, row);
            sum += std::abs(qRed(p) - qRed(q)) + std::abs(qGreen(p) - qGreen(q)) + std::abs(qBlue(p) - qBlue(q));
        }
    }
    return sum / (3.0 * x.width() * x.height());
}
