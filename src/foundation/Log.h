#pragma once

#include <QString>
#include <QStringList>

// One line per event on standard output: emoji, space, "[" type "]", space, message.
// Thread-safe and flushed per line, so lines from several threads never interleave.
void logLine(const QString& emoji, const QString& type, const QString& message);
// A line given whole, for the few lines without a type or an emoji.
void logLine(const QString& text);

// Collects every logged line while alive (tests); lines still go to standard output.
// Captures nest: the innermost receives the lines.
class LogCapture {
public:
    LogCapture();
    ~LogCapture();
    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;

    QStringList lines() const;
    bool contains(const QString& fragment) const;
    void clear();

private:
    friend void logLine(const QString& text);
    void append(const QString& line);

    LogCapture* previous_ = nullptr;
    QStringList lines_;
};
